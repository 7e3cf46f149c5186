#include "app/NumberText.h"

#include <QString>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <random>

namespace {

QString g17(double v) {
    char text[G17Size];
    return QString::fromLatin1(text, int(writeG17(v, text) - text));
}

} // namespace

// The text files' numbers keep the form QString::number(v, 'g', 17) gave them:
// ties at the 17th digit away from zero (with carries), -0 and -NaN plainly,
// both exponent forms, and random bit patterns.
TEST(NumberTextTest, WritesWhatQStringNumberWrites) {
    const double inf = std::numeric_limits<double>::infinity();
    const double cases[] = {0.0,
                            -0.0,
                            std::nan(""),
                            -std::nan(""),
                            inf,
                            -inf,
                            0.28203201293945312,   // a tie, rounded up
                            -0.090715408325195312, // negative tie
                            0.99999999999999994,   // close to a carry
                            1e-5,
                            1.2345e-300,
                            5e-324,
                            1e16,
                            1e17,
                            123456789012345678.0,
                            0.1,
                            7112.5};
    for (double v : cases)
        EXPECT_EQ(g17(v), QString::number(v, 'g', 17)) << v;
    std::mt19937_64 random(17);
    for (int i = 0; i < 200000; ++i) {
        const std::uint64_t bits = random();
        double v = 0;
        std::memcpy(&v, &bits, sizeof v);
        const double grid = std::ldexp(double(random() % 1000000), int(random() % 60) - 40);
        ASSERT_EQ(g17(v), QString::number(v, 'g', 17)) << v;
        ASSERT_EQ(g17(grid), QString::number(grid, 'g', 17)) << grid;
    }
}
