#include "measurement/MuLog.h"

#include <cmath>
#include <cstdint>
#include <cstring>

// Four-lane vectors are passed only between inlined functions here.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace {

typedef double Lanes __attribute__((vector_size(32)));
typedef std::int64_t IntLanes __attribute__((vector_size(32)));

// ln(x) for positive normal x in every lane. x = 2^k m with m in
// [sqrt(2)/2, sqrt(2)); f = m - 1, s = f / (2 + f), and
// ln(m) = 2 atanh(s) = f - f^2/2 + s (f^2/2 + R(s^2)), R a minimax polynomial
// (error below 2^-58); k ln 2 is added in two parts so that its product stays
// exact. Plain additions, multiplications and one division, no fused
// multiply-add: every lane, and the one-value path, rounds alike on any x86-64.
inline __attribute__((always_inline)) Lanes logLanes(Lanes x) {
    constexpr double Ln2Hi = 6.93147180369123816490e-01, Ln2Lo = 1.90821492927058770002e-10;
    constexpr double Lg1 = 6.666666666666735130e-01, Lg2 = 3.999999999940941908e-01,
                     Lg3 = 2.857142874366239149e-01, Lg4 = 2.222219843214978396e-01,
                     Lg5 = 1.818357216161805012e-01, Lg6 = 1.531383769920937332e-01,
                     Lg7 = 1.479819860511658591e-01;
    constexpr std::int64_t HalfSqrt2 = 0x3fe6a09e667f3bcdLL;
    // The exponent as a double, exactly: 2^52 + 1024 + k has k in its low bits.
    constexpr std::int64_t ExponentBias = 0x4330000000000000LL + 1024;
    constexpr double ExponentBase = 4503599627370496.0 + 1024.0;
    IntLanes bits;
    std::memcpy(&bits, &x, sizeof bits);
    const IntLanes k = (bits - HalfSqrt2) >> 52;
    const IntLanes mBits = bits - (k << 52);
    const IntLanes kBits = k + ExponentBias;
    Lanes m, kd;
    std::memcpy(&m, &mBits, sizeof m);
    std::memcpy(&kd, &kBits, sizeof kd);
    kd = kd - ExponentBase;
    const Lanes f = m - 1.0;
    const Lanes s = f / (2.0 + f);
    const Lanes z = s * s;
    const Lanes w = z * z;
    const Lanes odd = w * (Lg2 + w * (Lg4 + w * Lg6));
    const Lanes even = z * (Lg1 + w * (Lg3 + w * (Lg5 + w * Lg7)));
    const Lanes r = even + odd;
    const Lanes halfF2 = 0.5 * f * f;
    return kd * Ln2Hi - ((halfF2 - (s * (halfF2 + r) + kd * Ln2Lo)) - f);
}

constexpr double MinNormal = 2.2250738585072014e-308;
constexpr double MaxFinite = 1.7976931348623157e308;

bool normalPositive(double x) {
    return x >= MinNormal && x <= MaxFinite;
}

double logOne(double x) {
    if (!normalPositive(x))
        return std::log(x);
    const Lanes v = {x, x, x, x};
    return logLanes(v)[0];
}

double ratioLog(double r, double v) {
    return r * v > 0 ? logOne(r / v) : 1.0;
}

// Rows of a map run: four values at a time where all four are ordinary, one at
// a time otherwise. Compiled for AVX2 as well when the compiler can, and
// picked at load time; both give the bits of logOne.
#if defined(__GNUC__) && defined(__x86_64__) && !defined(__clang__)
__attribute__((target_clones("avx2", "default")))
#endif
void logRatiosLanes(const double *r, const double *v, double *out, int n) {
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        Lanes a, b;
        std::memcpy(&a, r + i, sizeof a);
        std::memcpy(&b, v + i, sizeof b);
        const Lanes q = a / b;
        const IntLanes ordinary = (a * b > 0.0) & (q >= MinNormal) & (q <= MaxFinite);
        if (!(ordinary[0] & ordinary[1] & ordinary[2] & ordinary[3])) {
            for (int l = 0; l < 4; ++l)
                out[i + l] = ratioLog(r[i + l], v[i + l]);
            continue;
        }
        const Lanes y = logLanes(q);
        std::memcpy(out + i, &y, sizeof y);
    }
    for (; i < n; ++i)
        out[i] = ratioLog(r[i], v[i]);
}

} // namespace

double MuLog::log(double x) {
    return logOne(x);
}

void MuLog::logRatios(const double *r, const double *v, double *out, int n) {
    logRatiosLanes(r, v, out, n);
}
