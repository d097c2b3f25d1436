#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "cadhost/app/value_input.h"

using cadhost::app::parsePoint;
using cadhost::app::parseReal;

TEST(ValueInput, NumbersAreReadWholeAndWithoutTheLocale) {
    EXPECT_EQ(parseReal("2.5"), 2.5);
    EXPECT_EQ(parseReal("-0.5"), -0.5);
    EXPECT_EQ(parseReal("+4"), 4.0);
    EXPECT_EQ(parseReal("1e3"), 1000.0);
    for (const char* refused :
         {"", "+", "+-1", "2,5", "2.5x", " 2", "2 ", "inf", "nan", "1e999", "0x10"}) {
        EXPECT_EQ(parseReal(refused), std::nullopt) << refused;
    }
}

TEST(ValueInput, PointsHaveTwoOrThreeCoordinates) {
    EXPECT_EQ(parsePoint("10,20"), AcGePoint3d(10, 20, 0));
    EXPECT_EQ(parsePoint("-1.5,+2,3e1"), AcGePoint3d(-1.5, 2, 30));
    for (const char* refused : {"", "1", "1,", ",2", "1,2,", "1,,2", "1,2,3,4", "1;2", "1, 2"}) {
        EXPECT_EQ(parsePoint(refused), std::nullopt) << refused;
    }
}
