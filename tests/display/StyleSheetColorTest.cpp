#include "display/StyleSheetColor.h"

#include <gtest/gtest.h>

TEST(StyleSheetColorTest, ScalesAndClampsBackgroundKeepingTheRest) {
    EXPECT_EQ(StyleSheetColor::scaled("background-color: rgb(100, 200, 50);", 0.5),
              "background-color: rgb(50,100,25);");
    EXPECT_EQ(
        StyleSheetColor::scaled("color: red; background-color: rgb(100,200,50); border: 0", 1.5),
        "color: red; background-color: rgb(150,255,75); border: 0");
    EXPECT_EQ(StyleSheetColor::scaled("background-color: rgb(10,20,30);", -1),
              "background-color: rgb(0,0,0);");
}

TEST(StyleSheetColorTest, SheetWithoutRgbBackgroundIsUnchanged) {
    EXPECT_EQ(StyleSheetColor::scaled("", 2), "");
    EXPECT_EQ(StyleSheetColor::scaled("background-color: red;", 2), "background-color: red;");
    EXPECT_EQ(StyleSheetColor::scaled("color: rgb(1,2,3);", 2), "color: rgb(1,2,3);");
}
