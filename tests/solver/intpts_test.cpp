// Internal points: the boundary integral representation against known
// harmonic fields, symmetry images, and the progress lines.
#include <gtest/gtest.h>

#include <cmath>
#include <regex>

#include "QVLIB/STPWATCH/stpwatch.hpp"
#include "fixtures.hpp"

namespace {

using namespace telma;

const fx::P3 inner[] = {{0.5, 0.5, 0.5}, {0.3, 0.6, 0.25}, {0.7, 0.2, 0.8}, {0.4, 0.45, 0.65},
                        {0.25, 0.75, 0.5}};

void setPoints() {
    NIP = static_cast<int>(std::size(inner));
    for (int I = 1; I <= NIP; ++I)
        for (int K = 1; K <= 3; ++K) XIP[I][K] = inner[I - 1][K - 1];
}

// Largest errors of potential and gradient at the inner points against u, grad u.
template <class U, class Gr>
std::pair<double, double> errors(U u, Gr grad) {
    double eu = 0.0, eg = 0.0;
    for (int I = 1; I <= NIP; ++I) {
        const double x = XIP[I][1], y = XIP[I][2], z = XIP[I][3];
        eu = std::fmax(eu, std::fabs(UIP[I] - u(x, y, z)));
        const fx::P3 g = grad(x, y, z);
        for (int K = 1; K <= 3; ++K) eg = std::fmax(eg, std::fabs(GRADV[K][I] - g[K - 1]));
    }
    return {eu, eg};
}

// The unit cube problem on an n x n mesh per face: the potential is z inside.
std::pair<double, double> linearField(int n) {
    std::vector<int> face;
    fx::fineCube(n, face);
    for (int I = 1; I <= NBE; ++I) {
        KODE[I] = face[I] <= 1 ? 0 : 1;
        VBC[I] = face[I] == 1 ? 1.0 : 0.0;
    }
    setPoints();
    EXPECT_EQ(fx::runSolve().status, 0);
    return errors([](double, double, double z) { return z; },
                  [](double, double, double) { return fx::P3{0, 0, 1}; });
}

TEST(Intpts, UnitCubePotentialIsZInside) {
    const auto [eu4, eg4] = linearField(4);
    const auto [eu8, eg8] = linearField(8);
    EXPECT_LT(eu8, 2e-3);
    EXPECT_LT(eg8, 1e-2);
    // the error shrinks with the mesh
    EXPECT_LT(eu8, 0.6 * eu4);
    EXPECT_LT(eg8, 0.6 * eg4);
}

TEST(Intpts, DirichletQuadraticField) {
    // u = x^2 - y^2 + z prescribed on every face; gradient (2x, -2y, 1).
    auto u = [](double x, double y, double z) { return x * x - y * y + z; };
    std::vector<int> face;
    fx::fineCube(8, face);
    GEOM();
    for (int I = 1; I <= NBE; ++I) {
        KODE[I] = 0;
        VBC[I] = u(XC[I][1], XC[I][2], XC[I][3]);
    }
    setPoints();
    EXPECT_EQ(fx::runSolve().status, 0);
    const auto [eu, eg] =
        errors(u, [](double x, double y, double) { return fx::P3{2 * x, -2 * y, 1}; });
    EXPECT_LT(eu, 5e-4);
    EXPECT_LT(eg, 5e-3);
}

TEST(Intpts, OddPlaneGivesZeroOnThePlaneAndEvenPlaneEqualMirrors) {
    // Any boundary data will do: the symmetry relations hold term by term.
    telma::CLEAR();
    NBE = 2;
    fx::setElement(1, {{0.2, 0, 0.3}, {1, 0.1, 0.3}, {0.9, 1, 0.4}, {0.1, 0.9, 0.3}});
    fx::setElement(2, {{0.3, 0.2, 1}, {0.4, 1.1, 1.2}, {1.2, 0.3, 1.1}});
    VBC[1] = 0.7;
    VBC[2] = -0.4;
    B[1] = 1.3;
    B[2] = 0.25;
    GEOM();
    fx::setSymmetry(0, 0, -1);
    double up = 1.0;
    POTINT(0.4, 0.5, 0.0, up);
    EXPECT_EQ(up, 0.0);
    fx::setSymmetry(1, 0, 0);
    double ua, ub;
    POTINT(0.35, 0.5, 0.6, ua);
    POTINT(-0.35, 0.5, 0.6, ub);
    EXPECT_EQ(ua, ub);
    EXPECT_NE(ua, 0.0);
}

TEST(Intpts, GradientBesideTheLineOfALongEdge) {
    // Points whose projection on an element lies on the line of one of its
    // edges, at scales where the gradient's step DELTA is a few parts in 1E10
    // of the edge: the forward difference is still the true derivative, the
    // central difference of potentials 1000 units above and below.
    struct Case {
        double S;      // the scale
        bool halfBox;  // the unit cube without its bottom, odd in z = 0; else one square
        fx::P3 p;      // the point, in units of S
        double tol;    // relative: the rounding of the potentials over DELTA
    };
    const Case cases[] = {
        {0x1p21, false, {1.5, 0.0, 0.0}, 1e-5},  // in the square's plane
        {0x1p28, true, {0.5, 0.5, 0.0}, 1e-3},   // on the odd plane
        {0x1p28, true, {0.3, 0.8, 0.0}, 1e-3},
    };
    for (const Case& c : cases) {
        const double S = c.S;
        if (c.halfBox) {
            fx::unitCube();  // potential z in the box: S at the top
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

TEST(Intpts, ProgressLinesAndNoPoints) {
    fx::unitSquare(0, 1.0);
    GEOM();
    qvlib::T0 = 123.0;
    NIP = 0;
    {
        fx::Console con;
        INTPTS();
        EXPECT_EQ(con.text(), "");
    }
    EXPECT_EQ(qvlib::T0, 123.0);  // the stopwatch is not touched
    for (int n : {9, 25}) {
        NIP = n;
        for (int I = 1; I <= n; ++I) {
            XIP[I][1] = 0.5;
            XIP[I][2] = 0.5;
            XIP[I][3] = 0.1 * I;
        }
        fx::Console con;
        INTPTS();
        const std::vector<std::string> out = fx::lines(con.text());
        if (n == 9) {
            EXPECT_TRUE(out.empty());
            continue;
        }
        ASSERT_EQ(out.size(), 2u);
        const std::regex line(R"( Internal points #  (10|20)/  25, time :[ 0-9]{4}\.[0-9]{3})");
        EXPECT_TRUE(std::regex_match(out[0], line)) << out[0];
        EXPECT_EQ(out[0].substr(0, 24), " Internal points #  10/ ");
        EXPECT_EQ(out[1].substr(0, 24), " Internal points #  20/ ");
    }
}

}  // namespace
