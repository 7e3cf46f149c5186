#include "measurement/MuLog.h"

#include <cmath>

namespace {

// The quotients, four at a time where the compiler can (a division rounds
// alike in every lane); a value without signal gets 1, whose logarithm is
// replaced afterwards.
#if defined(__GNUC__) && defined(__x86_64__) && !defined(__clang__)
__attribute__((target_clones("avx2", "default")))
#endif
void quotients(const double *__restrict r, const double *__restrict v, double *__restrict out,
               int n) {
    for (int i = 0; i < n; ++i)
        out[i] = r[i] * v[i] > 0 ? r[i] / v[i] : 1.0;
}

} // namespace

void MuLog::logRatios(const double *r, const double *v, double *out, int n) {
    quotients(r, v, out, n);
    for (int i = 0; i < n; ++i)
        out[i] = r[i] * v[i] > 0 ? std::log(out[i]) : 1.0;
}
