// The free-format number reader: syntax, the end of the field, and numbers
// longer than the 4-byte accumulator holds.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>

#include "QVLIB/STARREAD/starread.hpp"

using qvlib::RDFIX;
using qvlib::RDREAL;
using qvlib::RDSINT;

namespace {

struct Real {
    int status;
    float value;
};

// RDREAL on a 15-character field, as the dialogue reads an answer.
Real real15(std::string s) {
    s.resize(82, ' ');
    Real r{-1, -99.0f};
    r.status = RDREAL(s, 15, r.value);
    return r;
}

}  // namespace

TEST(Rdreal, ExamplesOfTheTable) {
    struct Case {
        const char* text;
        int status;
        float value;
    };
    const Case cases[] = {
        {"  12.5", 0, 12.5f},  {"-.5", 0, -0.5f},     {"1.5e3", 0, 1500.0f},
        {"1.5 E+3", 0, 1500.0f}, {"7 x", 0, 7.0f},   {"1.2.3", 1, 0.0f},
        {"5-", 1, 0.0f},       {"+-5", 1, 0.0f},      {"12a", 1, 0.0f},
    };
    for (const auto& c : cases) {
        const Real r = real15(c.text);
        EXPECT_EQ(r.status, c.status) << c.text;
        EXPECT_EQ(r.value, c.value) << c.text;
    }
    // 25 / 10 times the 4-byte power 1 / 100.
    const Real r = real15("2.5d-2");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.value, 2.5f * (1.0f / 100.0f));
    EXPECT_NEAR(r.value, 0.025f, 4e-9f);  // one unit of the last place below
}

TEST(Rdreal, BlanksSignsAndPoints) {
    EXPECT_EQ(real15("").status, 0);
    EXPECT_EQ(real15("").value, 0.0f);
    for (const char* s : {"-", "+", "- 5", "+ 7"}) {
        const Real r = real15(s);
        EXPECT_EQ(r.status, 0) << s;
        EXPECT_EQ(r.value, 0.0f) << s;
    }
    EXPECT_EQ(real15(". 5").value, 0.5f);   // the point does not start the number
    EXPECT_EQ(real15("5 .").value, 5.0f);   // the blank ends it
    EXPECT_EQ(real15("5.").value, 5.0f);
    EXPECT_EQ(real15("-0").value, 0.0f);
}

TEST(Rdreal, ExponentLetters) {
    for (const char* s : {"e5", "D2", "E", "d"}) EXPECT_EQ(real15(s).status, 1) << s;
    EXPECT_EQ(real15("3e").value, 3.0f);
    EXPECT_EQ(real15("3e    ").value, 3.0f);
    EXPECT_EQ(real15("3e0").value, 3.0f);
    EXPECT_EQ(real15("1e5e3").status, 1);
    EXPECT_EQ(real15("1e5e3").value, 0.0f);
    EXPECT_EQ(real15("4E-1").value, 4.0f * (1.0f / 10.0f));
    EXPECT_EQ(real15("2D+2").value, 200.0f);
}

TEST(Rdreal, OnlyTheFirstNCharactersCount) {
    // A number starting in column 14 keeps two characters.
    const Real r = real15(std::string(13, ' ') + "12345");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.value, 12.0f);
    // A digit in column 17: the field is blank and reads as 0.
    EXPECT_EQ(real15(std::string(16, ' ') + "7").value, 0.0f);
    // A bad character beyond the field is never seen.
    EXPECT_EQ(real15(std::string(15, ' ') + "x").status, 0);
    // An exponent letter beyond the field is not an exponent.
    EXPECT_EQ(real15("12            9e2").value, 12.0f);
}

TEST(Rdreal, TabIsNotABlank) {
    EXPECT_EQ(real15("\t5").status, 1);
    EXPECT_EQ(real15("5\t").status, 1);
    EXPECT_EQ(real15("1.\t5").value, 0.0f);
}

TEST(Rdreal, FirstCharacterIsExaminedEvenForAnEmptyField) {
    float v = -1;
    EXPECT_EQ(RDREAL("x", 0, v), 1);
    EXPECT_EQ(RDREAL("7", 0, v), 0);
    EXPECT_EQ(v, 7.0f);
    int i = -1;
    EXPECT_EQ(RDSINT("-", 0, i), 0);
    EXPECT_EQ(i, 0);
    EXPECT_EQ(RDFIX("", 0, v), 0);  // beyond the text: blanks
    EXPECT_EQ(v, 0.0f);
}

TEST(Rdreal, NineDigitsKeepTheAccumulatorArithmetic) {
    // 123456789 is not a 4-byte real: the accumulated integer is converted,
    // then divided by the 4-byte divisor.
    const Real r = real15("1.23456789");
    EXPECT_EQ(r.value, static_cast<float>(123456789) / 100000000.0f);
    // An exponent by repeated multiplication: 10^5 is exact.
    EXPECT_EQ(real15("12345678e1").value, 123456780.0f);
    EXPECT_EQ(real15("1e10").value, 1e10f);
    // Nine mantissa digits and an exponent: each part fits, so the algorithm
    // applies (the nearest real would be 922.1915 and 123.45679).
    EXPECT_EQ(real15("922191441e-6").value, 922.1914f);
    EXPECT_EQ(real15("123456.789e-3").value, 123.456795f);
}

TEST(Rdreal, LongNumbersReadAsTheNearestReal) {
    // 3, a point and twenty decimals of pi: the field holds 13 decimals.
    EXPECT_EQ(real15("3.14159265358979323846").value, 3.1415927f);
    EXPECT_EQ(real15("-0000000000012").value, -12.0f);        // leading zeros count
    EXPECT_EQ(real15("12345678901").value, 12345678901.0f);   // nearest 4-byte real
    EXPECT_EQ(real15("0.1234567891").value, 0.1234567891f);
    EXPECT_EQ(real15("1.5e00000000003").value, 1500.0f);      // exponent digits count
    EXPECT_EQ(real15("9999999999e-40").value, 9999999999e-40f);
    EXPECT_EQ(real15("12345.678901.2").status, 1);            // syntax still checked
}

TEST(Rdreal, ZeroMantissaStaysZeroUnderAHugeExponent) {
    EXPECT_EQ(real15("0e99").value, 0.0f);
    EXPECT_FALSE(std::isnan(real15("0.0e-99").value));
    EXPECT_TRUE(std::isinf(real15("1e99").value));
    EXPECT_EQ(real15("1e-99").value, 0.0f);
}

TEST(Rdsint, SignsDigitsAndErrors) {
    int v = -1;
    EXPECT_EQ(RDSINT("  -42 7", 7, v), 0);
    EXPECT_EQ(v, -42);
    EXPECT_EQ(RDSINT("+8", 2, v), 0);
    EXPECT_EQ(v, 8);
    EXPECT_EQ(RDSINT("4.5", 3, v), 1);
    EXPECT_EQ(v, 0);
    v = 3;
    EXPECT_EQ(RDSINT("4-", 2, v), 1);
    EXPECT_EQ(v, 0);
    EXPECT_EQ(RDSINT("123456", 3, v), 0);
    EXPECT_EQ(v, 123);
}

TEST(Rdsint, LongNumbersDoNotOverflow) {
    int v = 0;
    EXPECT_EQ(RDSINT("0000000000042", 13, v), 0);
    EXPECT_EQ(v, 42);
    EXPECT_EQ(RDSINT("2147483647", 10, v), 0);
    EXPECT_EQ(v, INT_MAX);
    EXPECT_EQ(RDSINT("99999999999999999999999", 23, v), 0);
    EXPECT_EQ(v, INT_MAX);
    EXPECT_EQ(RDSINT("-99999999999", 12, v), 0);
    EXPECT_EQ(v, INT_MIN);
}

TEST(Rdfix, PointRulesAndNoExponent) {
    float v = -1;
    EXPECT_EQ(RDFIX("-12.25", 6, v), 0);
    EXPECT_EQ(v, -12.25f);
    EXPECT_EQ(RDFIX("1e3", 3, v), 1);
    EXPECT_EQ(v, 0.0f);
    EXPECT_EQ(RDFIX("..5", 3, v), 1);
    EXPECT_EQ(RDFIX(".125", 4, v), 0);
    EXPECT_EQ(v, 0.125f);
}
