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

// T0 as the program finds it, before any test has started the stopwatch
// (T0 is constant-initialised, so this copy sees its initial value).
const double T0_AT_LOAD = qvlib::T0;

double clockNow() {
    int h, m, s, c;
    qvlib::GTIME(h, m, s, c);
    EXPECT_TRUE(h >= 0 && h < 24 && m >= 0 && m < 60 && s >= 0 && s < 61 && c >= 0 && c < 100);
    return S(h, m, s, c);
}

// A reading between two clock readings, give or take the float's rounding
// of times of day (1/128 s at most); skipped in the rare case midnight falls
// between them.
#define EXPECT_BETWEEN(t, lo, hi)                      \
    do {                                               \
        if ((hi) < (lo)) GTEST_SKIP() << "midnight";   \
        EXPECT_GE((t), (lo) - 0.01);                   \
        EXPECT_LE((t), (hi) + 0.01);                   \
    } while (0)

TEST(Stopwatch, BeforeAnyStartTimeCountsFromMidnight) {
    EXPECT_EQ(T0_AT_LOAD, 0.0);
    qvlib::T0 = T0_AT_LOAD;
    const double before = clockNow();
    float t = -1;
    qvlib::SWTIME(t);
    const double after = clockNow();
    EXPECT_BETWEEN(t, before, after);
}

TEST(Stopwatch, StartTakesTheClockAndTimeCountsFromIt) {
    const double before = clockNow();
    qvlib::SWSTRT();
    const double started = clockNow();
    EXPECT_BETWEEN(qvlib::T0, before, started);
    float t = -1;
    qvlib::SWTIME(t);
    const double after = clockNow();
    EXPECT_BETWEEN(t, 0.0, after - before);
}
