#include "app/TextLine.h"
#include "app/DebugLog.h"

#include <gtest/gtest.h>

TEST(TextLine, CommentStartsAtFirstHashOutsideQuotes) {
    EXPECT_EQ(TextLine::stripComment("DataRoot  D:/scan   # where"), "DataRoot  D:/scan   ");
    EXPECT_EQ(TextLine::stripComment("a \"x#y\" # c"), "a \"x#y\" ");
    // An apostrophe toggles the same flag as a double quote.
    EXPECT_EQ(TextLine::stripComment("a \"it's\" # not a comment"), "a \"it's\" # not a comment");
    QString comment;
    TextLine::stripComment("k v #note", &comment);
    EXPECT_EQ(comment, "note");
    EXPECT_TRUE(TextLine::isBlank("   # only a comment"));
    EXPECT_TRUE(TextLine::isBlank(" \t "));
    EXPECT_FALSE(TextLine::isBlank(" x "));
}

TEST(TextLine, NextItemHandlesQuotesAndReportsUnbalancedOnes) {
    QString rest;
    EXPECT_EQ(TextLine::nextItem("  \"D:/my data\" tail", &rest), "D:/my data");
    EXPECT_EQ(rest, " tail");
    EXPECT_EQ(TextLine::nextItem("plain  next", &rest), "plain");
    EXPECT_EQ(rest, "  next");
    EXPECT_EQ(TextLine::nextItem("   ", &rest), "");
    EXPECT_EQ(rest, "");
    DebugLog::Capture log;
    EXPECT_EQ(TextLine::nextItem("\"abc", &rest), "abc");
    EXPECT_EQ(rest, "");
    EXPECT_TRUE(log.contains("item is started from quote but not ended by quote"));
    EXPECT_EQ(TextLine::nextItem("abc\" x", &rest), "abc\"");
    EXPECT_TRUE(log.contains("item is started from not quote but ended by quote"));
}

TEST(TextLine, PrefixItemsContinuationAndDigitGrouping) {
    QStringList items;
    EXPECT_TRUE(TextLine::prefixWithItems("# Size 10 20", 2, "# Size", &items));
    EXPECT_EQ(items, QStringList({"10", "20"}));
    EXPECT_FALSE(TextLine::prefixWithItems("# size 10 20", 2, "# Size", &items));
    EXPECT_FALSE(TextLine::prefixWithItems("# Size 10", 2, "# Size", &items));

    QString t = "load_I1_files NEW \\  ";
    EXPECT_TRUE(TextLine::stripContinuationMark(&t));
    EXPECT_EQ(t, "load_I1_files NEW ");
    QString u = "no mark";
    EXPECT_FALSE(TextLine::stripContinuationMark(&u));
    EXPECT_EQ(u, "no mark");

    EXPECT_EQ(TextLine::groupDigits("1234567.25"), "1,234,567.25");
    EXPECT_EQ(TextLine::groupDigits("123"), "123");
    EXPECT_EQ(TextLine::groupDigits("1234"), "1,234");
    EXPECT_EQ(TextLine::groupDigits("-123456.5"), "-123,456.5");
    EXPECT_EQ(TextLine::groupDigits("-123"), "-123");
}

// Splitting walks the line once: a header or batch line of hundreds of
// thousands of items (a damaged or hostile file) splits at once instead of
// copying the rest of the line after every item.
TEST(TextLine, HugeLinesSplitInOnePass) {
    const int n = 300000;
    QString line;
    line.reserve(n * 3);
    for (int i = 0; i < n; ++i)
        line += i % 1000 == 0 ? QStringLiteral("\"a b\" ") : QStringLiteral("7 ");
    const QStringList items = TextLine::allItems(line);
    ASSERT_EQ(items.size(), n + 1); // the trailing blank gives a last, empty item
    EXPECT_EQ(items.first(), "a b");
    EXPECT_EQ(items.at(1), "7");
    EXPECT_TRUE(items.last().isEmpty());
}
