// Clock readings to seconds, and the stopwatch.
#include <gtest/gtest.h>

#include "QVLIB/GTIME/gtime.hpp"
#include "QVLIB/STPWATCH/stpwatch.hpp"

using qvlib::S;

TEST(Stopwatch, SecondsOfTheDayAndFromTheStart) {
    EXPECT_NEAR(S(11, 0, 0, 1) - S(10, 59, 59, 99), 0.02, 1e-9);
    EXPECT_EQ(S(1, 2, 3, 0), 3723.0);
    // before any start the time counts from midnight, then from the start
    int h, m, sec, c;
    qvlib::GTIME(h, m, sec, c);
    float t = -1, u = -1;
    qvlib::SWTIME(t);
    qvlib::SWSTRT();
    qvlib::SWTIME(u);
    EXPECT_NEAR(t, S(h, m, sec, c), 1.0);
    EXPECT_NEAR(u, 0.0, 1.0);
}
