// Influence coefficients: closed-form values for the unit square, points on
// edge lines in arbitrary orientations, the per-element precomputation, and
// the symmetry images.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>

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
    fx::clearProblem();
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
        fx::clearProblem();
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
    // angle over 4 pi), and by O(h log h) along it.
    for (double h : {1e-3, 1e-6, 1e-9}) {
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
    // Closer than rounding to the line, a point counts as on the edge.
    const GH on = influ(1.0 - 1e-13, 0.4, 0.0);
    EXPECT_NEAR(on.G, G0, TOL7);
    EXPECT_NEAR(on.H, -0.25, 1e-12);
}

// --- the per-element precomputation gives the per-call values bit for bit

// INFLU step by step from the corners and the node, nothing kept between calls.
GH influPerCall(double XP, double YP, double ZP, int J) {
    const int NV = NPE[J];
    double V[4][3];
    for (int M = 0; M < NV; ++M)
        for (int K = 0; K < 3; ++K) V[M][K] = XE[J][M + 1][K + 1] - XC[J][K + 1];
    double E1[3], E2[3];
    for (int K = 0; K < 3; ++K) {
        E1[K] = V[1][K] - V[0][K];
        E2[K] = V[2][K] - V[1][K];
    }
    const double p[3] = {XP - XC[J][1], YP - XC[J][2], ZP - XC[J][3]};
    double n[3] = {E1[1] * E2[2] - E1[2] * E2[1], E1[2] * E2[0] - E1[0] * E2[2],
                   E1[0] * E2[1] - E1[1] * E2[0]};
    const double nl = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    const double el = std::sqrt(E1[0] * E1[0] + E1[1] * E1[1] + E1[2] * E1[2]);
    double t1[3];
    for (int K = 0; K < 3; ++K) {
        n[K] = n[K] / nl;
        t1[K] = E1[K] / el;
    }
    const double t2[3] = {n[1] * t1[2] - n[2] * t1[1], n[2] * t1[0] - n[0] * t1[2],
                          n[0] * t1[1] - n[1] * t1[0]};
    const double xp = p[0] * t1[0] + p[1] * t1[1] + p[2] * t1[2];
    const double yp = p[0] * t2[0] + p[1] * t2[1] + p[2] * t2[2];
    const double zp = p[0] * n[0] + p[1] * n[1] + p[2] * n[2];
    const double SG = zp >= 0 ? 1.0 : -1.0, AZ = std::fabs(zp), Z2 = zp * zp;
    double xl[5], yl[5];
    for (int M = 0; M < NV; ++M) {
        xl[M] = V[M][0] * t1[0] + V[M][1] * t1[1] + V[M][2] * t1[2];
        yl[M] = V[M][0] * t2[0] + V[M][1] * t2[1] + V[M][2] * t2[2];
    }
    xl[NV] = xl[0];
    yl[NV] = yl[0];
    double G = 0, H = 0;
    for (int M = 0; M < NV; ++M) {
        const double x1 = xl[M], y1 = yl[M], x2 = xl[M + 1], y2 = yl[M + 1];
        const double L = std::sqrt((y2 - y1) * (y2 - y1) + (x2 - x1) * (x2 - x1));
        const double cx = (x2 - x1) / L, cy = (y2 - y1) / L;
        const double s1 = (x1 - xp) * cx + (y1 - yp) * cy;
        const double s2 = (x2 - xp) * cx + (y2 - yp) * cy;
        const double R0 = (x1 - xp) * cy - (y1 - yp) * cx;
        const double r1 = std::sqrt((yp - y1) * (yp - y1) + (xp - x1) * (xp - x1) + Z2);
        const double r2 = std::sqrt((yp - y2) * (yp - y2) + (xp - x2) * (xp - x2) + Z2);
        const double FL = (R0 == 0 && AZ == 0) ? 0.0 : std::log((r1 + r2 + L) / (r1 + r2 - L));
        double FA = 0.0;
        if (R0 != 0) {
            const double T1 = R0 * s1 * (AZ - r1) / (AZ * (s1 * s1) + r1 * (R0 * R0));
            const double T2 = R0 * s2 * (AZ - r2) / (AZ * (s2 * s2) + r2 * (R0 * R0));
            FA = std::atan2(T2 - T1, 1 + T1 * T2);
        }
        G = G + AZ * FA + R0 * FL;
        H = H - SG * FA;
    }
    const double CF = -0.25 / (4.0 * std::atan(1.0));
    G = CF * G;
    H = CF * H;
    if (p[0] == 0 && p[1] == 0 && p[2] == 0) H = 0;
    return {G, H};
}

TEST(InfluPrecomputed, BitForBitTheSameAsPerCallSteps) {
    std::mt19937_64 rng(777);
    std::uniform_real_distribution<double> u(-3.0, 3.0);
    fx::clearProblem();
    NBE = 40;
    for (int I = 1; I <= NBE; ++I) {
        const fx::P3 o{u(rng), u(rng), u(rng)}, a{u(rng), u(rng), u(rng)}, b{u(rng), u(rng), u(rng)};
        auto pt = [&](double s, double t) {
            return fx::P3{o[0] + s * a[0] + t * b[0], o[1] + s * a[1] + t * b[1],
                          o[2] + s * a[2] + t * b[2]};
        };
        if (I % 2)
            fx::setElement(I, {pt(0, 0), pt(1, 0.1), pt(0.2, 1)});
        else  // a warped quadrilateral: its fourth corner is off the plane
            fx::setElement(I, {pt(0, 0), pt(1, 0), pt(1.2, 0.9), {pt(0, 1)[0], pt(0, 1)[1] + 0.1,
                                                                   pt(0, 1)[2]}});
    }
    GEOM();
    for (int J = 1; J <= NBE; ++J) {
        for (int k = 0; k < 50; ++k) {
            const double x = u(rng), y = u(rng), z = u(rng);
            const GH a = influ(x, y, z, J), b = influPerCall(x, y, z, J);
            ASSERT_EQ(std::bit_cast<std::uint64_t>(a.G), std::bit_cast<std::uint64_t>(b.G));
            ASSERT_EQ(std::bit_cast<std::uint64_t>(a.H), std::bit_cast<std::uint64_t>(b.H));
        }
        for (int I = 1; I <= NBE; ++I) {  // node to node, the assembly's points
            const GH a = influ(XC[I][1], XC[I][2], XC[I][3], J);
            const GH b = influPerCall(XC[I][1], XC[I][2], XC[I][3], J);
            ASSERT_EQ(std::bit_cast<std::uint64_t>(a.G), std::bit_cast<std::uint64_t>(b.G));
            ASSERT_EQ(std::bit_cast<std::uint64_t>(a.H), std::bit_cast<std::uint64_t>(b.H));
        }
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
    fx::clearProblem();
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
    fx::clearProblem();
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
    fx::clearProblem();
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
