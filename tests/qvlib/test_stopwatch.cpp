// Clock readings to seconds, and the stopwatch.
#include <gtest/gtest.h>

#include "QVLIB/GTIME/gtime.hpp"
#include "QVLIB/STPWATCH/stpwatch.hpp"

using qvlib::S;

TEST(Stopwatch, AcrossAFullSecond) {
    EXPECT_NEAR(S(11, 0, 0, 1) - S(10, 59, 59, 99), 0.02, 1e-9);
}

TEST(Stopwatch, AcrossMidnightIsNegative) {
    EXPECT_NEAR(S(0, 0, 1, 0) - S(23, 59, 59, 0), 2.0 - 86400.0, 1e-9);
}

TEST(Stopwatch, SameHundredthIsExactlyZero) {
    EXPECT_EQ(S(12, 34, 56, 78) - S(12, 34, 56, 78), 0.0);
    EXPECT_EQ(S(1, 2, 3, 0), 3723.0);
}

TEST(Stopwatch, ClockReadingsAreInRange) {
    int h, m, s, c;
    qvlib::GTIME(h, m, s, c);
    EXPECT_TRUE(h >= 0 && h < 24 && m >= 0 && m < 60 && s >= 0 && s < 61 && c >= 0 && c < 100);
    qvlib::SWSTRT();
    float t = -1;
    qvlib::SWTIME(t);
    EXPECT_GE(t, -86400.0f);
    EXPECT_LT(t, 5.0f);
}
