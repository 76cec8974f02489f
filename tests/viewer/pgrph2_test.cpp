// PostScript plotting primitives: header, trailer, numbering and mapping.
#include <gtest/gtest.h>

#include <sstream>

#include "QVLIB/PGRPH2/pgrph2.hpp"

using namespace qvlib;

namespace {

class Pgrph2 : public ::testing::Test {
protected:
    void SetUp() override { PSSTATE = {}; }
    std::ostringstream out;
    textio::OutUnit unit{out};
};

const char* const HEADER1 =
    " % *** DEBUT IMAGE   1 ***\n"
    "  % Trace Graphique QV Version 07/90\n"
    "  18 14.5 translate % amener O en (0,0)\n"
    "  /Courrier findfont [10 0 0 11 0 0] makefont setfont\n"
    "  .25 setlinewidth\n";

}  // namespace

TEST_F(Pgrph2, HeaderAndTrailerRecords) {
    PSBEGIN(unit);
    PSEND();
    EXPECT_EQ(out.str(), std::string(HEADER1) + " showpage \n % *** FIN IMAGE   1 ***\n");
}

TEST_F(Pgrph2, SecondBeginWhileOpenWritesNoHeader) {
    PSBEGIN(unit);
    PSSCALE({0, 10, 0, 10}, {0, 1, 0, 1});
    PSBEGIN(unit);
    EXPECT_EQ(out.str(), HEADER1);
    float x, y;
    PSXFORM(3, 4, x, y);  // the mapping was reset by the second call
    EXPECT_EQ(x, 3.0f);
    EXPECT_EQ(y, 4.0f);
    PSEND();
    EXPECT_EQ(out.str(), std::string(HEADER1) + " showpage \n % *** FIN IMAGE   1 ***\n");

    std::ostringstream second;
    textio::OutUnit unit2(second);
    PSBEGIN(unit2);
    PSEND();
    EXPECT_EQ(second.str().rfind(" % *** DEBUT IMAGE   2 ***\n", 0), 0u);
    EXPECT_NE(second.str().find(" % *** FIN IMAGE   2 ***\n"), std::string::npos);
    EXPECT_EQ(PSSTATE.counter, 3);
    EXPECT_FALSE(PSSTATE.open);
}

TEST_F(Pgrph2, EndWithoutAnyBeginWritesNothing) {
    PSEND();
    EXPECT_EQ(PSSTATE.counter, 2);
    EXPECT_EQ(out.str(), "");
}

TEST_F(Pgrph2, ScaleAndTransform) {
    PSBEGIN(unit);
    float x = 0, y = 0;
    PSXFORM(0.25f, -7, x, y);  // before any PSSCALE: unchanged
    EXPECT_EQ(x, 0.25f);
    EXPECT_EQ(y, -7.0f);

    PSSCALE({2, 18, 2, 26}, {0, 1, 0, 1});
    PSXFORM(0.5f, 0.5f, x, y);
    EXPECT_EQ(x, 10.0f);
    EXPECT_EQ(y, 14.0f);

    // The window ends map onto the page ends.
    PSSCALE({100, 300, -50, 50}, {-2, 6, 10, 12});
    PSXFORM(-2, 10, x, y);
    EXPECT_FLOAT_EQ(x, 100);
    EXPECT_FLOAT_EQ(y, -50);
    PSXFORM(6, 12, x, y);
    EXPECT_FLOAT_EQ(x, 300);
    EXPECT_FLOAT_EQ(y, 50);
}
