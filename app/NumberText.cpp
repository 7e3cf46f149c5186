#include "app/NumberText.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

// When v lies exactly halfway between two 17-digit decimals, the 18 digits
// of v (*d) and the power of ten of the first (*exp10); false otherwise.
// v = m 2^-p with m odd is the decimal m 5^p 10^-p, exact: a tie is an
// m 5^p of 18 digits (ending in 5, as m is odd and p >= 1). No 18-digit
// decimal equals a v with p <= 0: an odd 18-digit number exceeds 2^53.
bool exactTie(double v, std::uint64_t *d, int *exp10) {
    int e = 0;
    const double f = std::frexp(std::fabs(v), &e);
    std::uint64_t m = std::uint64_t(std::ldexp(f, 53));
    e -= 53;
    if (m == 0)
        return false;
    while ((m & 1) == 0) {
        m >>= 1;
        ++e;
    }
    const int p = -e;
    if (p <= 0)
        return false;
    constexpr std::uint64_t Lo = 100000000000000000ull; // 10^17
    unsigned __int128 product = m;
    for (int k = 0; k < p; ++k) {
        product *= 5;
        if (product >= static_cast<unsigned __int128>(Lo) * 10)
            return false;
    }
    if (product < Lo)
        return false;
    *d = std::uint64_t(product);
    *exp10 = 17 - p;
    return true;
}

// %g with 17 significant digits of the decimal digits[0..16] x 10^exp10
// (digits[0] the leading one), trailing zeros dropped.
char *layOut(bool negative, const char *digits, int exp10, char *out) {
    int last = 16;
    while (last > 0 && digits[last] == '0')
        --last;
    if (negative)
        *out++ = '-';
    if (exp10 < -4 || exp10 >= 17) {
        *out++ = digits[0];
        if (last > 0) {
            *out++ = '.';
            std::memcpy(out, digits + 1, size_t(last));
            out += last;
        }
        *out++ = 'e';
        *out++ = exp10 < 0 ? '-' : '+';
        const int a = exp10 < 0 ? -exp10 : exp10;
        if (a < 10)
            *out++ = '0';
        return std::to_chars(out, out + 4, a).ptr;
    }
    if (exp10 < 0) {
        *out++ = '0';
        *out++ = '.';
        for (int k = 0; k < -exp10 - 1; ++k)
            *out++ = '0';
        std::memcpy(out, digits, size_t(last + 1));
        return out + last + 1;
    }
    for (int k = 0; k <= exp10; ++k)
        *out++ = k <= last ? digits[k] : '0';
    if (last > exp10) {
        *out++ = '.';
        std::memcpy(out, digits + exp10 + 1, size_t(last - exp10));
        out += last - exp10;
    }
    return out;
}

} // namespace

char *writeG17(double v, char *out) {
    if (std::isnan(v)) {
        std::memcpy(out, "nan", 3);
        return out + 3;
    }
    if (v == 0) {
        *out = '0';
        return out + 1;
    }
    std::uint64_t d = 0;
    int exp10 = 0;
    if (std::isfinite(v) && exactTie(v, &d, &exp10)) {
        // The 17 leading digits of the 18, rounded up, carrying.
        char digits[18];
        for (int k = 17; k >= 0; --k, d /= 10)
            digits[k] = char('0' + d % 10);
        int k = 16;
        while (k >= 0 && digits[k] == '9')
            digits[k--] = '0';
        if (k < 0) {
            digits[0] = '1';
            ++exp10;
        } else {
            ++digits[k];
        }
        return layOut(v < 0, digits, exp10, out);
    }
    return std::to_chars(out, out + G17Size, v, std::chars_format::general, 17).ptr;
}
