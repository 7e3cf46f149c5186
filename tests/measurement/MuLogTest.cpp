#include "measurement/MuLog.h"
#include "measurement/MeasurementStack.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <vector>

namespace {

double ulpsApart(double a, double b) {
    return std::fabs(a - b) / std::fabs(std::nextafter(b, HUGE_VAL) - b);
}

} // namespace

// Within one unit in the last place of the library's logarithm over the whole
// range of positive numbers, and the library's own value where the four-lane
// path does not apply.
TEST(MuLog, AgreesWithTheLibraryLogarithm) {
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> exponent(-700.0, 700.0);
    double worst = 0;
    for (int i = 0; i < 200000; ++i) {
        const double x = std::exp(i % 2 ? exponent(random) : exponent(random) / 700.0);
        worst = std::max(worst, ulpsApart(MuLog::log(x), std::log(x)));
    }
    EXPECT_LE(worst, 1.0);
    const double inf = std::numeric_limits<double>::infinity();
    for (double x : {0.0, 4.9e-324, 1e-310, inf})
        EXPECT_EQ(MuLog::log(x), std::log(x)) << x;
    EXPECT_TRUE(std::isnan(MuLog::log(std::nan(""))) && std::isnan(MuLog::log(-1.0)));
    EXPECT_EQ(MuLog::log(1.0), 0.0);
}

// A row at once gives what muOf gives value by value, to the bit, whatever the
// mix of ordinary and degenerate ratios in a group of four.
TEST(MuLog, RowsGiveTheBitsOfSingleValues) {
    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<double> r = {100, 3, -5, 0, 7, 1e300, 2, 9, 1, 5, 6, 1e-300, 8};
    const std::vector<double> v = {50, 3, -10, 4, -7, 1e-300, 0, 3, inf, 5e-10, 0.5, 1e300, 7};
    std::vector<double> out(r.size());
    MuLog::logRatios(r.data(), v.data(), out.data(), int(r.size()));
    for (size_t i = 0; i < r.size(); ++i)
        EXPECT_EQ(out[i], MeasurementStack::muOf(r[i], v[i], false)) << i;
}
