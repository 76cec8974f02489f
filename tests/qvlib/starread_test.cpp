// The dialogue's number reader: syntax, the field's end, numbers beyond the 4-byte accumulator.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>

#include "QVLIB/STARREAD/starread.hpp"

using namespace qvlib;

TEST(Rdreal, FifteenColumnFields) {
    const struct { std::string text; int status; float value; } cases[] = {
        {"  12.5", 0, 12.5f}, {"-.5", 0, -0.5f}, {"1.5 E+3", 0, 1500.0f}, {"7 x", 0, 7.0f},
        {"1.2.3", 1, 0}, {"5-", 1, 0}, {"+-5", 1, 0}, {"12a", 1, 0}, {"", 0, 0}, {"- 5", 0, 0},
        {". 5", 0, 0.5f}, {"5 .", 0, 5.0f}, {"e5", 1, 0}, {"D2", 1, 0}, {"3e    ", 0, 3.0f},
        {"1e5e3", 1, 0}, {"2.5d-2", 0, 2.5f * (1.0f / 100.0f)}, {"4E-1", 0, 4.0f * (1.0f / 10.0f)},
        {"2D+2", 0, 200.0f}, {std::string(13, ' ') + "12345", 0, 12.0f}, {std::string(16, ' ') + "7", 0, 0},
        {std::string(15, ' ') + "x", 0, 0}, {"12            9e2", 0, 12.0f}, {"\t5", 1, 0}, {"1.\t5", 1, 0},
        // nine digits: the accumulated integer converted, then divided
        {"1.23456789", 0, static_cast<float>(123456789) / 100000000.0f},
        {"12345678e1", 0, 123456780.0f},
        // nine mantissa digits and an exponent: each part fits, so the same (the
        // nearest reals would be 922.1915 and 123.45679)
        {"922191441e-6", 0, 922.1914f}, {"123456.789e-3", 0, 123.456795f},
        // longer numbers (leading zeros and exponent digits counted): the nearest real
        {"3.14159265358979323846", 0, 3.1415927f}, {"-0000000000012", 0, -12.0f},
        {"9999999999", 0, 9999999999.0f}, {"0.1234567891", 0, 0.1234567891f}, {"1.5e00000000003", 0, 1500.0f},
        {"9999999999e-40", 0, 9999999999e-40f}, {"12345.678901.2", 1, 0},
        {"0e99", 0, 0}, {"1e-99", 0, 0}, {"1e99", 0, INFINITY},
    };
    for (const auto& c : cases) {
        std::string s = c.text;
        s.resize(82, ' ');
        float v = -99;
        EXPECT_EQ(std::pair(RDREAL(s, 15, v), v), std::pair(c.status, c.value)) << c.text;
    }
}

TEST(Rdsint, IntegersSaturate) {
    const struct { const char* text; int n, status, value; } cases[] = {
        {"  -42 7", 7, 0, -42}, {"4.5", 3, 1, 0}, {"4-", 2, 1, 0}, {"123456", 3, 0, 123}, {"-", 0, 0, 0},
        {"0000000000042", 13, 0, 42}, {"2147483647", 10, 0, INT_MAX}, {"99999999999999999999999", 23, 0, INT_MAX},
        {"-99999999999", 12, 0, INT_MIN},
    };
    for (const auto& c : cases) {
        int v = 3;
        EXPECT_EQ(std::pair(RDSINT(c.text, c.n, v), v), std::pair(c.status, c.value)) << c.text;
    }
    float v = -1;
    EXPECT_EQ(std::pair(RDFIX("-12.25", 6, v), v), std::pair(0, -12.25f));
    EXPECT_EQ(RDFIX("1e3", 3, v), 1);
    EXPECT_EQ(RDREAL("x", 0, v), 1);  // the first character is examined even for an empty field
}
