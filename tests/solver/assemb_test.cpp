// Assembly of one element under each condition and plane; the diagonal-dominance test.
#include <gtest/gtest.h>

#include <cmath>

#include "QVLIB/STPWATCH/stpwatch.hpp"
#include "support.hpp"

using namespace telma;
constexpr double TOL7 = 1e-7;  // the seventh decimal

TEST(Assemb, OneSquareWithEachConditionAndPlane) {
    const struct { int kode, sz; double z, A, B; } cases[] = {
        {0, 0, 0, -0.2805499, -0.5}, {-3, 0, 0, -0.2805499, -0.5}, {1, 0, 0, 0.5, 0.5610999},
        {0, 1, 1, -0.3195440, -0.4812651}, {0, -1, 1, -0.2415558, -0.5187349},
        {1, 1, 1, 0.4812651, 0.6390880}, {1, -1, 1, 0.5187349, 0.4831116},
    };
    for (const auto& c : cases) {
        CLEAR();
        NBE = 1;
        fx::setElement(1, {{0, 0, c.z}, {1, 0, c.z}, {1, 1, c.z}, {0, 1, c.z}}, c.kode, c.kode == 1 ? 2.0 : 1.0);
        fx::setSymmetry(0, 0, c.sz);
        EXPECT_EQ(fx::runSolve({}, [](textio::OutUnit&) { ELCHK(), GEOM(), qvlib::SWSTRT(), ASSEMB(); return 0; }).console, "\n");
        EXPECT_TRUE(std::fabs(A(1, 1) - c.A) < TOL7 && std::fabs(B[1] - c.B) < TOL7) << c.kode << ' ' << c.sz << ": " << A(1, 1) << ' ' << B[1];
    }
}

// Columns, each strictly: |a_jj| > the sum of |a_ij| over i != j.
TEST(Domtst, ByColumnsStrictlyGreater) {
    const struct { double a11, a12, a21, a22; int n; bool dominant; } cases[] = {
        {-0.3, 9, 9, 9, 1, true},     {1.0, 0.5, 1.5, 2.0, 2, false}, {1.0, -1.9, -0.9, 2.0, 2, true},
        {1.0, -1.9, -1.0, 2.0, 2, false}, {1.0, -2.1, 0.5, 2.0, 2, false}, {1.0, 0.0, 2.0, 5.0, 2, false},
        {1.0, 0.0, 2.0, 5.0, 0, true},
    };
    CLEAR();
    for (const auto& c : cases) {
        A(1, 1) = c.a11, A(1, 2) = c.a12, A(2, 1) = c.a21, A(2, 2) = c.a22;
        EXPECT_EQ(DOMTST(c.n), c.dominant) << c.a11 << ' ' << c.a12 << ' ' << c.a21 << ' ' << c.a22;
    }
}
