// Internal points: the boundary integral representation against the known field of the cube
// problem, and the symmetry images.
#include <gtest/gtest.h>

#include <cmath>

#include "support.hpp"

using namespace telma;

namespace {

// Largest errors of potential and gradient at five inner points of the n x n cube problem against
// its field u = z.
std::pair<double, double> errors(int n) {
    const fx::P3 inner[] = {{0.5, 0.5, 0.5}, {0.3, 0.6, 0.25}, {0.7, 0.2, 0.8}, {0.4, 0.45, 0.65}, {0.25, 0.75, 0.5}};
    fx::cube(n);
    NIP = 5;
    for (int I = 1; I <= NIP; ++I)
        for (int K = 1; K <= 3; ++K) XIP[I][K] = inner[I - 1][K - 1];
    EXPECT_EQ(fx::runSolve().status, 0);
    double eu = 0.0, eg = 0.0;
    for (int I = 1; I <= NIP; ++I) {
        eu = std::fmax(eu, std::fabs(UIP[I] - XIP[I][3]));
        for (int K = 1; K <= 3; ++K) eg = std::fmax(eg, std::fabs(GRADV[K][I] - (K == 3)));
    }
    return {eu, eg};
}

}  // namespace

TEST(Intpts, UnitCubePotentialIsZInsideAndConverges) {
    const auto [eu4, eg4] = errors(4);
    const auto [eu8, eg8] = errors(8);
    EXPECT_TRUE(eu8 < 2e-3 && eg8 < 1e-2 && eu8 < 0.6 * eu4 && eg8 < 0.6 * eg4) << eu4 << ' ' << eg4 << ' ' << eu8 << ' ' << eg8;
}

// Any boundary data will do: the symmetry relations hold term by term.
TEST(Intpts, OddPlaneGivesZeroOnThePlaneAndEvenPlaneEqualMirrors) {
    CLEAR();
    NBE = 2;
    fx::setElement(1, {{0.2, 0, 0.3}, {1, 0.1, 0.3}, {0.9, 1, 0.4}, {0.1, 0.9, 0.3}}, 0, 0.7);
    fx::setElement(2, {{0.3, 0.2, 1}, {0.4, 1.1, 1.2}, {1.2, 0.3, 1.1}}, 0, -0.4);
    B[1] = 1.3, B[2] = 0.25;
    GEOM();
    fx::setSymmetry(0, 0, -1);
    double up = 1.0, ua, ub;
    POTINT(0.4, 0.5, 0.0, up);
    EXPECT_EQ(up, 0.0);
    fx::setSymmetry(1, 0, 0);
    POTINT(0.35, 0.5, 0.6, ua);
    POTINT(-0.35, 0.5, 0.6, ub);
    EXPECT_EQ(ua, ub);
    EXPECT_NE(ua, 0.0);
}

TEST(Intpts, GradientBesideTheLineOfALongEdge) {
    // Points p (in units of the scale S) whose projection on an element lies on the line of one of
    // its edges, where the gradient's step DELTA is a few parts in 1E10 of the edge: the forward
    // difference is still the central one of potentials 1000 units above and below, within tol (the
    // potentials' rounding over DELTA); on one square, or the unit cube without its bottom, odd in z = 0.
    struct Case { double S; bool halfBox; fx::P3 p; double tol; };
    const Case cases[] = {
        {0x1p21, false, {1.5, 0.0, 0.0}, 1e-5},  // in the square's plane
        {0x1p28, true, {0.5, 0.5, 0.0}, 1e-3},   // on the odd plane
        {0x1p28, true, {0.3, 0.8, 0.0}, 1e-3},
    };
    for (const Case& c : cases) {
        const double S = c.S;
        if (c.halfBox) {
            fx::cube();  // potential z in the box: S at the top
            for (int I = 1; I <= 5; ++I) {
                for (int M = 1; M <= 4; ++M)
                    for (int K = 1; K <= 3; ++K) XE[I][M][K] = S * XE[I + 1][M][K];
                KODE[I] = KODE[I + 1];
                VBC[I] = S * VBC[I + 1];
            }
            NBE = 5;
            fx::setSymmetry(0, 0, -1);
        } else {
            fx::unitSquare(0, 1.0);
            fx::setElement(1, {{0, 0, 0}, {S, 0, 0}, {S, S, 0}, {0, S, 0}}, 0, 1.0);
        }
        NIP = 1;
        for (int K = 1; K <= 3; ++K) XIP[1][K] = S * c.p[K - 1];
        ASSERT_EQ(fx::runSolve().status, 0) << S;
        const double X = XIP[1][1], Y = XIP[1][2], Z = XIP[1][3];
        double up, down;
        POTINT(X, Y, Z + 1000.0, up);
        POTINT(X, Y, Z - 1000.0, down);
        const double dz = (up - down) / 2000.0;
        EXPECT_NEAR(GRADV[3][1], dz, c.tol * std::fabs(dz)) << S << " " << c.p[0];
    }
}

// Points nearer an element (or its image) than half its size are named with their distance in
// element sizes: over the square, beside an edge, beyond a corner, and across an even plane.
TEST(Intpts, PointsTooNearTheBoundaryAreNamed) {
    const struct { fx::P3 point; int sym; double sizes; } cases[] = {
        {{0.5, 0.5, 0.1}, 0, 0.1},     // above the square
        {{0.5, 0.5, -0.6}, 0, 0.0},    // far enough below
        {{1.3, 0.5, 0.0}, 0, 0.3},     // beside an edge, in its plane
        {{1.3, 1.4, 0.0}, 0, 0.5},     // beyond a corner: 0.5 exactly is not too near
        {{-0.2, 0.5, 0.2}, 0, std::sqrt(0.08)},
        {{-1.2, 0.5, 0.0}, 1, 0.2},    // beside the square's image in the even plane x = 0 (x from -1 to 0)
        {{-1.2, 0.5, 0.0}, 0, 0.0},    // and without the plane, 1.2 from the square
    };
    for (const auto& c : cases) {
        fx::unitSquare();
        fx::setSymmetry(c.sym, 0, 0);
        NIP = 1;
        for (int K = 1; K <= 3; ++K) XIP[1][K] = c.point[K - 1];
        GEOM();
        IPCHK();
        const double got = IPNEAR.empty() ? 0.0 : IPNEAR[0].SIZES;
        EXPECT_NEAR(got, c.sizes, 1e-12) << c.point[0] << ' ' << c.point[1] << ' ' << c.point[2];
        if (!IPNEAR.empty()) {
            EXPECT_EQ(std::pair(IPNEAR[0].POINT, IPNEAR[0].ELEMENT), std::pair(1, 1));
        }
    }
}
