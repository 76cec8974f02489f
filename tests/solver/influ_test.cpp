// Influence coefficients: closed-form values for the unit square, points on
// edge lines in arbitrary orientations, the per-element precomputation, and
// the symmetry images.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>

#include "solver/reference.hpp"
#include "fixtures.hpp"

namespace {

using namespace telma;
const double PI = 4.0 * std::atan(1.0);
constexpr double TOL7 = 5e-8;  // half a unit of the seventh decimal

struct GH {
    double G, H;
};

GH influ(double x, double y, double z, int J = 1) {
    GH r{};
    INFLU(x, y, z, J, r.G, r.H);
    return r;
}

class UnitSquare : public ::testing::Test {
protected:
    void SetUp() override {
        fx::unitSquare();
        GEOM();
    }
};

TEST_F(UnitSquare, OwnNodeHasSelfSingleLayerAndNoDoubleLayer) {
    const GH r = influ(0.5, 0.5, 0.0);
    EXPECT_NEAR(r.G, -std::log(1.0 + std::sqrt(2.0)) / PI, 1e-15);
    EXPECT_NEAR(r.G, -0.2805499, TOL7);
    EXPECT_EQ(r.H, 0.0);
}

TEST_F(UnitSquare, PointsInsideAboveAndBelow) {
    GH r = influ(0.3, 0.4, 0.0);
    EXPECT_NEAR(r.G, -0.2689944, TOL7);
    EXPECT_NEAR(r.H, -0.5, 1e-14);
    r = influ(0.3, 0.4, 0.5);
    EXPECT_NEAR(r.G, -0.1217756, TOL7);
    EXPECT_NEAR(r.H, -0.1545468, TOL7);
    r = influ(0.5, 0.5, -0.7);
    EXPECT_NEAR(r.G, -0.0991336, TOL7);
    EXPECT_NEAR(r.H, 0.1096955, TOL7);
}

TEST_F(UnitSquare, InPlaneOutsideEdgeAndCorner) {
    GH r = influ(0.2, 1.5, 0.0);
    EXPECT_NEAR(r.G, -0.0792678, TOL7);
    EXPECT_NEAR(r.H, 0.0, 1e-15);
    r = influ(1.0, 0.4, 0.0);
    EXPECT_NEAR(r.G, -0.1900334, TOL7);
    EXPECT_NEAR(r.H, -0.25, 1e-15);
    r = influ(1.0, 0.0, 0.0);
    EXPECT_NEAR(r.G, -0.1402750, TOL7);
    EXPECT_NEAR(r.H, -0.125, 1e-15);
}

TEST_F(UnitSquare, FarPointBehavesAsPointSource) {
    const GH r = influ(0.5, 0.5, 100.0);
    EXPECT_NEAR(r.G / (-1.0 / (400.0 * PI)), 1.0, 1e-4);
    EXPECT_NEAR(r.H / (-1.0e-4 / (4.0 * PI)), 1.0, 1e-3);
}

TEST(Influ, ReversedCornersFlipHButNotG) {
    fx::unitSquare();
    fx::setElement(2, {{0, 1, 0}, {1, 1, 0}, {1, 0, 0}, {0, 0, 0}});
    NBE = 2;
    GEOM();
    for (const fx::P3& p : {fx::P3{0.3, 0.4, 0.5}, fx::P3{0.5, 0.5, -0.7}, fx::P3{2, -1, 0.3}}) {
        const GH a = influ(p[0], p[1], p[2], 1);
        const GH b = influ(p[0], p[1], p[2], 2);
        EXPECT_NEAR(a.G, b.G, 1e-15);
        EXPECT_NEAR(a.H, -b.H, 1e-15);
    }
}

TEST(Influ, SmallTriangleFarAwayActsAsPointSource) {
    // A small triangle seen from far above acts as a point source of its area.
    telma::CLEAR();
    NBE = 1;
    fx::setElement(1, {{0, 0, 0}, {2e-3, 0, 0}, {0, 2e-3, 0}});
    GEOM();
    const GH r = influ(2e-3 / 3, 2e-3 / 3, 1.0);
    EXPECT_NEAR(r.G / (-2e-6 / (4.0 * PI)), 1.0, 1e-6);
    EXPECT_NEAR(r.H / (-2e-6 / (4.0 * PI)), 1.0, 1e-5);
}

// --- points on the line of an edge, the square turned into many orientations

struct Rot {
    double m[3][3];
    fx::P3 shift;
    fx::P3 apply(const fx::P3& p) const {
        fx::P3 r;
        for (int i = 0; i < 3; ++i)
            r[i] = m[i][0] * p[0] + m[i][1] * p[1] + m[i][2] * p[2] + shift[i];
        return r;
    }
};

Rot euler(double a, double b, double c, fx::P3 shift) {
    const double ca = std::cos(a), sa = std::sin(a), cb = std::cos(b), sb = std::sin(b);
    const double cc = std::cos(c), sc = std::sin(c);
    const double Rz1[3][3] = {{ca, -sa, 0}, {sa, ca, 0}, {0, 0, 1}};
    const double Ry[3][3] = {{cb, 0, sb}, {0, 1, 0}, {-sb, 0, cb}};
    const double Rz2[3][3] = {{cc, -sc, 0}, {sc, cc, 0}, {0, 0, 1}};
    double T[3][3]{};
    Rot r{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k) T[i][j] += Ry[i][k] * Rz2[k][j];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k) r.m[i][j] += Rz1[i][k] * T[k][j];
    r.shift = shift;
    return r;
}

TEST(InfluOnEdgeLine, RotatedSquareKeepsEdgeAndCornerValues) {
    struct Case {
        fx::P3 p;
        double G, H;
    };
    // Every edge midpoint-ish point and every corner, plus points on the
    // extension of an edge line, in the plane and above it.
    const Case cases[] = {
        {{1.0, 0.4, 0.0}, -0.1900334, -0.25}, {{0.4, 0.0, 0.0}, -0.1900334, -0.25},
        {{0.0, 0.6, 0.0}, -0.1900334, -0.25}, {{0.6, 1.0, 0.0}, -0.1900334, -0.25},
        {{1.0, 0.0, 0.0}, -0.1402750, -0.125}, {{1.0, 1.0, 0.0}, -0.1402750, -0.125},
        {{0.0, 1.0, 0.0}, -0.1402750, -0.125}, {{0.0, 0.0, 0.0}, -0.1402750, -0.125},
        {{0.3, 0.4, 0.5}, -0.1217756, -0.1545468},
    };
    // Reference values for points on edge lines outside the element and
    // above an edge, from the axis-aligned square where the exact tests hold.
    const fx::P3 extra[] = {{1.0, 2.5, 0.0}, {-1.5, 0.0, 0.0}, {1.0, 0.4, 0.3},
                            {0.0, 0.0, 0.7}, {3.0, 1.0, -0.2}};
    fx::unitSquare();
    GEOM();
    GH ref[std::size(extra)];
    for (std::size_t k = 0; k < std::size(extra); ++k) {
        ref[k] = influ(extra[k][0], extra[k][1], extra[k][2]);
        ASSERT_TRUE(std::isfinite(ref[k].G) && std::isfinite(ref[k].H));
    }

    std::mt19937_64 rng(12345);
    std::uniform_real_distribution<double> ang(0.0, 2.0 * PI), off(-50.0, 50.0);
    const fx::P3 sq[4] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    int nonAligned = 0;
    for (int n = 0; n < 2000; ++n) {
        const fx::P3 shift = n % 2 ? fx::P3{off(rng), off(rng), off(rng)} : fx::P3{0, 0, 0};
        const Rot R = euler(ang(rng), ang(rng) / 2, ang(rng), shift);
        telma::CLEAR();
        NBE = 1;
        const fx::P3 c[4] = {R.apply(sq[0]), R.apply(sq[1]), R.apply(sq[2]), R.apply(sq[3])};
        fx::setElement(1, {c[0], c[1], c[2], c[3]});
        GEOM();
        if (std::fabs(ELD[1].EN[0]) > 1e-3 && std::fabs(ELD[1].EN[1]) > 1e-3) ++nonAligned;
        for (const Case& cs : cases) {
            const fx::P3 p = R.apply(cs.p);
            const GH r = influ(p[0], p[1], p[2]);
            ASSERT_TRUE(std::isfinite(r.G) && std::isfinite(r.H)) << "orientation " << n;
            ASSERT_NEAR(r.G, cs.G, TOL7) << "orientation " << n;
            ASSERT_NEAR(r.H, cs.H, TOL7) << "orientation " << n;
        }
        for (std::size_t k = 0; k < std::size(extra); ++k) {
            const fx::P3 p = R.apply(extra[k]);
            const GH r = influ(p[0], p[1], p[2]);
            ASSERT_TRUE(std::isfinite(r.G) && std::isfinite(r.H)) << "orientation " << n;
            ASSERT_NEAR(r.G, ref[k].G, 1e-9) << "orientation " << n << " point " << k;
            ASSERT_NEAR(r.H, ref[k].H, 1e-9) << "orientation " << n << " point " << k;
        }
    }
    EXPECT_GT(nonAligned, 1900);
}

TEST(InfluOnEdgeLine, PointsJustOffAnEdgeStayFiniteAndContinuous) {
    fx::unitSquare();
    GEOM();
    const double G0 = -0.1900334;
    // Directly above the edge x = 1 and in the plane just inside and just
    // outside it, down to distances where r1 + r2 - L is lost to rounding.
    // G moves by at most h/2 off the plane (its normal derivative is a solid
    // angle over 4 pi), and by O(h log h) along it.  At 1e-13, hundreds of
    // units in the last place, a point is still off the line.
    for (double h : {1e-3, 1e-6, 1e-9, 1e-13}) {
        const GH up = influ(1.0, 0.4, h);
        const GH in = influ(1.0 - h, 0.4, 0.0);
        const GH out = influ(1.0 + h, 0.4, 0.0);
        for (const GH& r : {up, in, out}) ASSERT_TRUE(std::isfinite(r.G) && std::isfinite(r.H)) << h;
        EXPECT_NEAR(up.G, G0, 0.5 * h + TOL7) << h;
        EXPECT_NEAR(in.G, G0, h * (1.0 - std::log(h)) + TOL7) << h;
        EXPECT_NEAR(out.G, G0, h * (1.0 - std::log(h)) + TOL7) << h;
        EXPECT_NEAR(in.H, -0.5, 1e-9) << h;
        EXPECT_NEAR(out.H, 0.0, 1e-9) << h;
    }
    // Within a few units in the last place of the line, a point is on the edge.
    const GH on = influ(1.0 - 4e-16, 0.4, 0.0);
    EXPECT_NEAR(on.G, G0, TOL7);
    EXPECT_NEAR(on.H, -0.25, 1e-12);
}

// --- the per-element data and the two-edge arithmetic give the bits of the
// plain per-call formulas (the benchmark's reference) for any element and point

bool same(double a, double b) { return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b); }

// Elements of every shape in planes of every orientation: triangles, and
// convex quadrilaterals, some of them warped, some long and thin.
void randomElements(std::mt19937_64& rng, int n) {
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    telma::CLEAR();
    for (int I = 1; I <= n; ++I) {
        fx::P3 o, e1, e2;
        for (int K = 0; K < 3; ++K) {
            o[K] = 2.0 * u(rng);
            e1[K] = u(rng);
            e2[K] = u(rng);
        }
        const double s = 0.05 + std::fabs(u(rng)), t = I % 5 == 0 ? 0.01 : 0.05 + std::fabs(u(rng));
        auto at = [&](double a, double b) {
            fx::P3 p;
            for (int K = 0; K < 3; ++K) p[K] = o[K] + a * s * e1[K] + b * t * e2[K];
            return p;
        };
        if (I % 2) {
            fx::setElement(I, {at(0, 0), at(1, 0.2), at(0.3, 1)});
        } else {
            fx::P3 d = at(-0.1, 1.1);
            // A warped quadrilateral: off the plane of the others along its
            // normal, so that its flattened edges do not cross.
            const fx::P3 n = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                              e1[0] * e2[1] - e1[1] * e2[0]};
            const double nn = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
            if (I % 4 == 0)
                for (int K = 0; K < 3; ++K) d[K] += 0.05 * n[K] / nn;
            fx::setElement(I, {at(0, 0), at(1, 0), at(1.2, 0.9), d});
        }
    }
    NBE = n;
}

// Field points that take every branch of the formulas: far, near, in the
// element's plane, on the line of an edge, at a corner and at the node.
std::vector<fx::P3> fieldPoints(std::mt19937_64& rng, int J) {
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    std::vector<fx::P3> p;
    const auto& c = XE[J];
    auto mix = [&](double a, double b, double h) {
        fx::P3 q;
        for (int K = 1; K <= 3; ++K)
            q[K - 1] = c[1][K] + a * (c[2][K] - c[1][K]) + b * (c[3][K] - c[1][K]) + h * ELD[J].EN[K - 1];
        return q;
    };
    for (int k = 0; k < 6; ++k) p.push_back({3 * u(rng), 3 * u(rng), 3 * u(rng)});
    for (int k = 0; k < 4; ++k) p.push_back(mix(u(rng), u(rng), 0.01 * u(rng)));
    for (int k = 0; k < 4; ++k) p.push_back(mix(u(rng), u(rng), 0.0));
    p.push_back(mix(2.5, 0.0, 0.0));   // on the line of the first edge
    p.push_back(mix(-0.5, 0.0, 0.3));  // above that line
    p.push_back(mix(0.0, 0.0, 0.0));   // the first corner
    p.push_back({XC[J][1], XC[J][2], XC[J][3]});
    return p;
}

TEST(InfluPrecomputed, SameBitsAsThePlainFormulasForEveryShapeAndPoint) {
    std::mt19937_64 rng(2024);
    randomElements(rng, 200);
    ELCHK();
    GEOM();
    int calls = 0, bad = 0;
    for (int J = 1; J <= NBE; ++J)
        for (const fx::P3& q : fieldPoints(rng, J)) {
            double G, H, g, h;
            INFLU(q[0], q[1], q[2], J, G, H);
            reference::INFLU(q[0], q[1], q[2], J, g, h);
            ASSERT_TRUE(std::isfinite(G) && std::isfinite(H)) << "element " << J;
            bad += !same(G, g) + !same(H, h);
            ++calls;
        }
    EXPECT_EQ(bad, 0) << "of " << calls << " calls";
}

TEST(InfluPrecomputed, RowsOfElementsOverTheImagesAsElementByElement) {
    std::mt19937_64 rng(77);
    for (int sym : {0, 1, 2}) {
        randomElements(rng, 150);
        // keep the elements off the symmetry planes by moving them into x, y, z > 0
        for (int I = 1; I <= NBE; ++I)
            for (int M = 1; M <= NPE[I]; ++M)
                for (int K = 1; K <= 3; ++K) XE[I][M][K] += 5.0;
        if (sym == 1) fx::setSymmetry(1, 0, -1);
        if (sym == 2) fx::setSymmetry(-1, 1, 1);
        ELCHK();
        GEOM();
        int bad = 0;
        for (int I = 1; I <= NBE; I += 7) {
            // every piece of a row, from one element to all of them
            for (int J0 : {1, 2, NBE / 2}) {
                std::vector<double> gs(NBE + 1, 0.0), hs(NBE + 1, 0.0);
                INFSYMS(XC[I][1], XC[I][2], XC[I][3], J0, NBE + 1, &gs[J0], &hs[J0]);
                for (int J = J0; J <= NBE; ++J) {
                    double g = 0.0, h = 0.0;
                    reference::INFSYM(XC[I][1], XC[I][2], XC[I][3], J, g, h);
                    bad += !same(gs[J], g) + !same(hs[J], h);
                }
            }
        }
        EXPECT_EQ(bad, 0) << "symmetry case " << sym;
    }
}


// --- symmetry images

TEST(Infsym, NoSymmetryIsTheDirectTermOnly) {
    fx::unitSquare();
    GEOM();
    double GS = 1.0, HS = 2.0;
    INFSYM(0.3, 0.4, 0.5, 1, GS, HS);
    const GH d = influ(0.3, 0.4, 0.5);
    EXPECT_EQ(GS, 1.0 + d.G);
    EXPECT_EQ(HS, 2.0 + d.H);
}

TEST(Infsym, OddPlaneCancelsOnThePlane) {
    telma::CLEAR();
    NBE = 1;
    fx::setElement(1, {{0.5, 0, 0}, {1.5, 0, 0}, {1.5, 1, 0}, {0.5, 1, 0}});
    fx::setSymmetry(-1, 0, 0);
    GEOM();
    double GS = 0.0, HS = 0.0;
    INFSYM(0.0, 0.3, 0.7, 1, GS, HS);
    EXPECT_EQ(GS, 0.0);
    EXPECT_EQ(HS, 0.0);
}

TEST(Infsym, ImagesInOrderMirroredBeforeDirect) {
    // All three planes: eight terms, x outermost, reflected before direct,
    // weights the products of the parities.
    telma::CLEAR();
    NBE = 1;
    fx::setElement(1, {{0.2, 0.1, 0.3}, {1.1, 0.3, 0.2}, {0.9, 1.2, 0.5}});
    fx::setSymmetry(-1, 1, -1);
    GEOM();
    const double X = 0.4, Y = 0.7, Z = 0.9;
    double G = 0.0, H = 0.0;
    for (int kx : {-1, 1})
        for (int ky : {-1, 1})
            for (int kz : {-1, 1}) {
                const int w = (kx == -1 ? -1 : 1) * (kz == -1 ? -1 : 1);
                const GH t = influ(kx * X, ky * Y, kz * Z);
                G += w * t.G;
                H += w * t.H;
            }
    double GS = 0.0, HS = 0.0;
    INFSYM(X, Y, Z, 1, GS, HS);
    EXPECT_EQ(std::bit_cast<std::uint64_t>(GS), std::bit_cast<std::uint64_t>(G));
    EXPECT_EQ(std::bit_cast<std::uint64_t>(HS), std::bit_cast<std::uint64_t>(H));
}

TEST(Infsym, LiftedSquareWithPlaneZ0) {
    telma::CLEAR();
    NBE = 1;
    fx::setElement(1, {{0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}});
    GEOM();
    const GH m = influ(0.5, 0.5, -1.0);
    EXPECT_NEAR(m.G, -0.0389941, TOL7);
    EXPECT_NEAR(m.H, 0.0187349, TOL7);
    for (int s : {1, -1}) {
        fx::setSymmetry(0, 0, s);
        double GS = 0.0, HS = -0.5;
        INFSYM(0.5, 0.5, 1.0, 1, GS, HS);
        EXPECT_NEAR(GS, s == 1 ? -0.3195440 : -0.2415558, TOL7);
        EXPECT_NEAR(HS, s == 1 ? -0.4812651 : -0.5187349, TOL7);
    }
}

}  // namespace
