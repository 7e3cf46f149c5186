#include "measurement/MuLog.h"
#include "measurement/MeasurementStack.h"

#include <gtest/gtest.h>
#include <limits>
#include <vector>

// A row at once gives what muOf gives value by value, to the bit, whatever the
// mix of ordinary and degenerate ratios.
TEST(MuLog, RowsGiveTheBitsOfSingleValues) {
    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<double> r = {100, 3, -5, 0, 7, 1e300, 2, 9, 1, 5, 6, 1e-300, 8};
    const std::vector<double> v = {50, 3, -10, 4, -7, 1e-300, 0, 3, inf, 5e-10, 0.5, 1e300, 7};
    std::vector<double> out(r.size());
    MuLog::logRatios(r.data(), v.data(), out.data(), int(r.size()));
    for (size_t i = 0; i < r.size(); ++i)
        EXPECT_EQ(out[i], MeasurementStack::muOf(r[i], v[i], false)) << i;
}
