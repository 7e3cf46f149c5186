// The bounds of the batch language: substitution that may not grow an
// argument past its limit, and the cut of overlong lines in the log window.
#include "batch/LogBound.h"
#include "batch/Substitution.h"

#include <gtest/gtest.h>

TEST(Substitution, GrowthIsCheckedBeforeEachReplacement) {
    struct Case {
        QString text, key, value;
        int maxChars;
        Substitution::Status status;
        QString result;
    };
    const Case cases[] = {
        {"a$x$b", "$x$", "1", 100, Substitution::Done, "a1b"},
        {"$x$$x$", "$x$", "12345", 10, Substitution::Done, "1234512345"},
        {"$x$$x$", "$x$", "12345", 9, Substitution::TooLong, "$x$$x$"},
        {"aaa", "aa", "b", 100, Substitution::Done, "ba"},             // left to right, no overlap
        {"a$x$", "$x$", "$x$$x$", 100, Substitution::Done, "a$x$$x$"}, // no rescan
        {"abc", "", "zzz", 100, Substitution::Done, "abc"},
        {"abcdef", "b", "", 3, Substitution::TooLong, "abcdef"}, // too long from the start
    };
    for (const Case &c : cases) {
        Substitution s(c.text, c.maxChars);
        s.replace(c.key, c.value);
        EXPECT_EQ(s.status(), c.status) << c.text.toStdString();
        EXPECT_EQ(s.text(), c.result) << c.text.toStdString();
    }
    std::atomic<bool> stop{true};
    Substitution stopped("a$x$", Substitution::DefaultMaxChars, &stop);
    EXPECT_FALSE(stopped.replace("$x$", "1"));
    EXPECT_EQ(stopped.status(), Substitution::Stopped);
    EXPECT_FALSE(stopped.replace("a", "b")); // nothing happens after a failure
    EXPECT_EQ(stopped.text(), "a$x$");
}

TEST(LogBound, OverlongLinesAreCutAndMarked) {
    const QString longLine(25, 'x');
    EXPECT_EQ(LogBound::clipLongLines("short\n", 10), "short\n");
    EXPECT_EQ(LogBound::clipLongLines(longLine + "\nab\n" + longLine, 10),
              "xxxxxxxxxx ... [15 characters cut]\nab\nxxxxxxxxxx ... [15 characters cut]");
    const QString huge = LogBound::clipLongLines(QString(10 << 20, 'e'), 4000);
    EXPECT_LT(huge.size(), 4100);
    EXPECT_TRUE(LogBound::droppedNote(12).contains("12 earlier lines dropped"));
}
