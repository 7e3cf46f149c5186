#include "measurement/MuLog.h"

#include "app/PointLoops.h"

#include <cmath>

namespace {

// The quotients, four at a time where the compiler can; a value without
// signal gets 1, whose logarithm is replaced afterwards.
LS_POINT_LOOPS
void quotients(const double *__restrict r, const double *__restrict v, double *__restrict out,
               int n) {
    for (int i = 0; i < n; ++i) {
        const bool signal = r[i] * v[i] > 0;
        out[i] = (signal ? r[i] : 1.0) / (signal ? v[i] : 1.0);
    }
}

} // namespace

void MuLog::logRatios(const double *r, const double *v, double *out, int n) {
    quotients(r, v, out, n);
    for (int i = 0; i < n; ++i)
        out[i] = r[i] * v[i] > 0 ? std::log(out[i]) : 1.0;
}
