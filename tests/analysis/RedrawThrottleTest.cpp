#include "analysis/RedrawThrottle.h"

#include <gtest/gtest.h>

// Times in ms: a redraw of 20 ms at 4 % waits 480 ms after it ends; the first
// is always due; a longer redraw stretches the wait.
TEST(RedrawThrottleTest, RedrawsTakeAtMostTheirShareOfTheTime) {
    constexpr qint64 ms = 1000000;
    RedrawThrottle t(0.04);
    EXPECT_TRUE(t.dueAt(0));
    t.redrawnAt(100 * ms, 120 * ms);
    const struct {
        qint64 at;
        bool due;
    } steps[] = {{120, false}, {599, false}, {600, true}, {2000, true}};
    for (const auto &s : steps)
        EXPECT_EQ(t.dueAt(s.at * ms), s.due) << s.at;
    t.redrawnAt(600 * ms, 700 * ms);
    EXPECT_FALSE(t.dueAt(3000 * ms));
    EXPECT_TRUE(t.dueAt(3100 * ms));
    int drawn = 0;
    RedrawThrottle fresh;
    EXPECT_FALSE(fresh.redrawRowsIfDue(8, 8, [&] { ++drawn; })); // the run's end redraws
    EXPECT_TRUE(fresh.redrawRowsIfDue(7, 8, [&] { ++drawn; }));
    EXPECT_EQ(drawn, 1);
}
