// Assembly of the boundary system, and the diagonal-dominance test.
#include <gtest/gtest.h>

#include <regex>

#include "QVLIB/STPWATCH/stpwatch.hpp"
#include "fixtures.hpp"

namespace {

using namespace telma;
constexpr double TOL7 = 5e-8;

void assemble() {
    fx::Console con;
    ELCHK();
    GEOM();
    ASSEMB();
}

TEST(Assemb, OneSquareWithPrescribedPotential) {
    for (int kode : {0, -3}) {  // a group code assembles like 0
        fx::unitSquare(kode, 1.0);
        assemble();
        EXPECT_NEAR(A(1, 1), -0.2805499, TOL7);
        EXPECT_EQ(B[1], -0.5);
    }
}

TEST(Assemb, OneSquareWithPrescribedDerivative) {
    fx::unitSquare(1, 2.0);
    assemble();
    EXPECT_EQ(A(1, 1), 0.5);
    // -2 x -0.28054992617 = 0.56109985 rounds to 0.5610999
    EXPECT_NEAR(B[1], 0.5610999, TOL7);
}

TEST(Assemb, LiftedSquareWithEvenAndOddPlaneZ0) {
    for (int s : {1, -1}) {
        telma::CLEAR();
        NBE = 1;
        fx::setElement(1, {{0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}}, 0, 1.0);
        fx::setSymmetry(0, 0, s);
        assemble();
        EXPECT_NEAR(A(1, 1), s == 1 ? -0.3195440 : -0.2415558, TOL7);
        EXPECT_NEAR(B[1], s == 1 ? -0.4812651 : -0.5187349, TOL7);
        // as a derivative node the diagonal is minus HSUM
        KODE[1] = 1;
        VBC[1] = 0.0;
        assemble();
        EXPECT_NEAR(A(1, 1), s == 1 ? 0.4812651 : 0.5187349, TOL7);
    }
}

TEST(Assemb, UnitCubeRowsAndRightHandSide) {
    fx::unitCube();
    assemble();
    const double row1[6] = {-0.2805499, -0.0738955, -0.1089764, -0.1089764, -0.1089764, -0.1089764};
    const double row3[6] = {-0.1057196, -0.1057196, 0.5, -0.0640942, -0.1089764, -0.1089764};
    const double rhs[6] = {0.0640942, -0.5, 0.1089764, 0.1089764, 0.1089764, 0.1089764};
    for (int J = 1; J <= 6; ++J) {
        EXPECT_NEAR(A(1, J), row1[J - 1], TOL7) << J;
        EXPECT_NEAR(A(3, J), row3[J - 1], TOL7) << J;
        EXPECT_NEAR(B[J], rhs[J - 1], TOL7) << J;
    }
    EXPECT_FALSE(DOMTST(6));
}

// A flat n x n grid of unit squares: n^2 rows to assemble.
void grid(int n) {
    telma::CLEAR();
    int I = 0;
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i)
            fx::setElement(++I, {{1.0 * i, 1.0 * j, 0}, {i + 1.0, 1.0 * j, 0}, {i + 1.0, j + 1.0, 0},
                                 {1.0 * i, j + 1.0, 0}}, 0, 1.0);
    NBE = I;
}

std::vector<std::string> assemblyConsole() {
    fx::Console con;
    ELCHK();
    GEOM();
    qvlib::SWSTRT();
    ASSEMB();
    return fx::lines(con.text());
}

TEST(Assemb, ProgressLineEveryTenthRowThenAnEmptyLine) {
    grid(3);
    std::vector<std::string> out = assemblyConsole();
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0], "");
    grid(5);
    out = assemblyConsole();
    ASSERT_EQ(out.size(), 3u);
    const std::regex line(R"( Calculation line #  (10|20)/  25, time :[ 0-9]{4}\.[0-9]{3})");
    EXPECT_TRUE(std::regex_match(out[0], line)) << out[0];
    EXPECT_TRUE(std::regex_match(out[1], line)) << out[1];
    EXPECT_EQ(out[0].substr(0, 26), " Calculation line #  10/  ");
    EXPECT_EQ(out[1].substr(0, 26), " Calculation line #  20/  ");
    EXPECT_EQ(out[2], "");
}

TEST(Domtst, ByColumnsStrictlyGreater) {
    telma::CLEAR();
    A(1, 1) = -0.3;
    EXPECT_TRUE(DOMTST(1));  // nothing off the diagonal
    // rows are dominant, column 1 is not
    A(1, 1) = 1.0;
    A(1, 2) = 0.5;
    A(2, 1) = 1.5;
    A(2, 2) = 2.0;
    EXPECT_FALSE(DOMTST(2));
    A(2, 1) = -0.9;
    A(1, 2) = -1.9;
    EXPECT_TRUE(DOMTST(2));
    A(2, 1) = -1.0;  // equal is not enough
    EXPECT_FALSE(DOMTST(2));
    // a later dominant column does not restore the flag
    A(1, 1) = 1.0;
    A(2, 1) = 2.0;
    A(1, 2) = 0.0;
    A(2, 2) = 5.0;
    EXPECT_FALSE(DOMTST(2));
    // only the leading N x N block counts
    EXPECT_TRUE(DOMTST(1));
    // an empty matrix is dominant
    EXPECT_TRUE(DOMTST(0));
}

}  // namespace
