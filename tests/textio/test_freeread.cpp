// Free-form reading and whole-line reading.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "textio/textio.hpp"

namespace {

struct Src {
    std::istringstream s;
    textio::Reader r;
    explicit Src(const std::string& text) : s(text), r(s, "T.IN") {}
};

std::string errorOf(textio::Reader& r, auto&& read) {
    try {
        read(r);
    } catch (const textio::IoError& e) {
        return e.what();
    }
    return "";
}

}  // namespace

TEST(FreeRead, ControlRecordSplitOverTwoLines) {
    Src one("12 0 1 0 5\nnext\n");
    Src two("12 0\n1 0 5\nnext\n");
    for (Src* s : {&one, &two}) {
        int v[5] = {};
        s->r.begin();
        for (int& x : v) s->r.read(x, "x");
        s->r.end();
        EXPECT_EQ(v[0], 12);
        EXPECT_EQ(v[2], 1);
        EXPECT_EQ(v[4], 5);
        EXPECT_EQ(s->r.readA(4), "next");
    }
}

TEST(FreeRead, RestOfTheLastLineIsSkipped) {
    Src s("4 1.0 2.0 comment\n7\n");
    int n = 0;
    s.r.begin();
    s.r.read(n, "n");
    s.r.end();
    EXPECT_EQ(n, 4);
    s.r.begin();
    s.r.read(n, "n");
    s.r.end();
    EXPECT_EQ(n, 7);
}

TEST(FreeRead, CommasEmptyLinesAndCrLf) {
    Src s("1.5 ,2,\r\n\r\n   \n 3e0 , 4d1\r\n");
    double v[4] = {};
    s.r.begin();
    for (double& x : v) s.r.read(x, "x");
    s.r.end();
    EXPECT_EQ(v[0], 1.5);
    EXPECT_EQ(v[1], 2.0);
    EXPECT_EQ(v[2], 3.0);
    EXPECT_EQ(v[3], 40.0);
}

TEST(FreeRead, RepeatsNullsAndSlash) {
    Src s("3*0.5 2*\n1,,2\n9 /\n");
    double v[5] = {9, 9, 9, 9, 9};
    s.r.begin();
    for (double& x : v) s.r.read(x, "x");
    s.r.end();
    EXPECT_EQ(v[0], 0.5);
    EXPECT_EQ(v[2], 0.5);
    EXPECT_EQ(v[3], 9);  // n* stands for n empty values: unchanged
    double w[3] = {7, 7, 7};
    s.r.begin();
    for (double& x : w) s.r.read(x, "w");
    s.r.end();
    EXPECT_EQ(w[0], 1);
    EXPECT_EQ(w[1], 7);
    EXPECT_EQ(w[2], 2);
    double z[3] = {5, 5, 5};
    s.r.begin();
    EXPECT_TRUE(s.r.read(z[0], "z"));
    EXPECT_FALSE(s.r.read(z[1], "z"));  // the slash ended the statement
    EXPECT_FALSE(s.r.read(z[2], "z"));
    s.r.end();
    EXPECT_EQ(z[0], 9);
    EXPECT_EQ(z[1], 5);
}

TEST(FreeRead, ExponentForms) {
    double v = 0;
    EXPECT_TRUE(textio::parseReal("1.25D-3", v));
    EXPECT_EQ(v, 1.25e-3);
    EXPECT_TRUE(textio::parseReal("1.25000-100", v));
    EXPECT_EQ(v, 1.25e-100);
    EXPECT_TRUE(textio::parseReal("-2.5+101", v));
    EXPECT_EQ(v, -2.5e101);
    EXPECT_TRUE(textio::parseReal(".5", v));
    EXPECT_EQ(v, 0.5);
    EXPECT_TRUE(textio::parseReal("7", v));
    EXPECT_EQ(v, 7);
    for (const char* bad : {"", ".", "e5", "1e", "1.2.3", "1-", "abc", "1e5x", "--1"})
        EXPECT_FALSE(textio::parseReal(bad, v)) << bad;
    float f = 0;
    EXPECT_TRUE(textio::parseReal("0.1", f));
    EXPECT_EQ(f, 0.1f);
}

TEST(FreeRead, IntegersAreStrict) {
    int v = 0;
    EXPECT_TRUE(textio::parseInt("-42", v));
    EXPECT_EQ(v, -42);
    EXPECT_TRUE(textio::parseInt("+7", v));
    EXPECT_EQ(v, 7);
    for (const char* bad : {"4.5", "4.", "1e3", "+", "x1", "2147483648"}) EXPECT_FALSE(textio::parseInt(bad, v)) << bad;
    EXPECT_TRUE(textio::parseInt("-2147483648", v));
}

TEST(FreeRead, ErrorsNameFileLineAndWhatWasExpected) {
    Src s("title\n  4.5 0 0\n");
    s.r.readA(80);
    const std::string e = errorOf(s.r, [](textio::Reader& r) {
        int n;
        r.begin();
        r.read(n, "NPE of element 3");
    });
    EXPECT_EQ(e, "T.IN:2: expected an integer (NPE of element 3), found \"4.5\"");

    Src t("1 2\n");
    const std::string eof = errorOf(t.r, [](textio::Reader& r) {
        double x;
        r.begin();
        for (int k = 0; k < 3; ++k) r.read(x, "y of corner 1");
    });
    EXPECT_EQ(eof, "T.IN:1: unexpected end of file, expected a real (y of corner 1)");
}

TEST(FreeRead, WholeLines) {
    Src s("short\n" + std::string(90, 'x') + "\na\nb\nc\nd\ne\nlast\n");
    EXPECT_EQ(s.r.readA(8), "short   ");
    EXPECT_EQ(s.r.readA(80), std::string(80, 'x'));
    s.r.skipLines(5);
    EXPECT_EQ(s.r.readA(4), "last");
    EXPECT_THROW(s.r.readA(4), textio::IoError);
}

TEST(FreeRead, LineEndsLfAndCrLf) {
    // Only a CR that ends the line belongs to the line end; a last line may
    // lack its LF.
    std::istringstream in("a\r\n\r\nb\rc\nd\r\r\nlast");
    std::string line;
    std::vector<std::string> got;
    while (textio::readLine(in, line)) got.push_back(line);
    EXPECT_EQ(got, (std::vector<std::string>{"a", "", "b\rc", "d\r", "last"}));
    EXPECT_FALSE(textio::readLine(in, line));
}

TEST(FreeRead, EveryScientificFieldReadsBackToThePrintedValue) {
    std::mt19937_64 rng(12345);
    std::uniform_real_distribution<double> mant(-10, 10);
    std::uniform_int_distribution<int> ex(-320, 308);
    std::string text;
    std::vector<std::string> fields;
    for (int k = 0; k < 2000; ++k) {
        double v = k == 0 ? 0.0 : mant(rng) * std::pow(10.0, ex(rng));
        if (k == 1) v = 1.7976931348623157e308;
        if (k == 2) v = -4.9e-324;
        if (!std::isfinite(v)) v = 1;
        fields.push_back(textio::editE(v, 14, 5, 1));
        text += "  " + fields.back();
    }
    Src s(text + "\n");
    s.r.begin();
    for (const std::string& f : fields) {
        double back = 0;
        s.r.read(back, "x");
        EXPECT_EQ(textio::editE(back, 14, 5, 1), f);
    }
}
