// Influence coefficients: closed-form values for the unit square, the fast kernels against the
// plain per-call formulas bit for bit, and the symmetry images.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "solver/reference.hpp"
#include "support.hpp"

namespace {

using namespace telma;
const double PI = 4.0 * std::atan(1.0);
constexpr double TOL7 = 5e-8;  // half a unit of the seventh decimal

// Triangles and convex quadrilaterals, some warped, some long and thin, in
// planes of every orientation, moved into x, y, z > `lift`.
void randomElements(std::mt19937_64& rng, int n, double lift) {
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    CLEAR();
    for (int I = 1; I <= n; ++I) {
        fx::P3 o, e1, e2;
        for (int K = 0; K < 3; ++K) o[K] = 2.0 * u(rng) + lift, e1[K] = u(rng), e2[K] = u(rng);
        const double s = 0.05 + std::fabs(u(rng)), t = I % 5 == 0 ? 0.01 : 0.05 + std::fabs(u(rng));
        auto at = [&](double a, double b) {
            fx::P3 p;
            for (int K = 0; K < 3; ++K) p[K] = o[K] + a * s * e1[K] + b * t * e2[K];
            return p;
        };
        // warped: off the plane of the others along its normal, so that its
        // flattened edges do not cross
        const fx::P3 n = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]};
        fx::P3 d = at(-0.1, 1.1);
        for (int K = 0; K < 3 && I % 4 == 0; ++K) d[K] += 0.05 * n[K] / std::hypot(n[0], n[1], n[2]);
        if (I % 2) fx::setElement(I, {at(0, 0), at(1, 0.2), at(0.3, 1)});
        else fx::setElement(I, {at(0, 0), at(1, 0), at(1.2, 0.9), d});
    }
    NBE = n;
    ELCHK();
    GEOM();
}

}  // namespace

// The closed form at the own node, inside, in the plane outside, above,
// below, on an edge, at a corner.
TEST(Influ, UnitSquareClosedForms) {
    const struct { fx::P3 p; double G, H; } cases[] = {
        {{0.5, 0.5, 0.0}, -std::log(1.0 + std::sqrt(2.0)) / PI, 0.0}, {{0.3, 0.4, 0.0}, -0.2689944, -0.5},
        {{0.2, 1.5, 0.0}, -0.0792678, 0.0}, {{0.3, 0.4, 0.5}, -0.1217756, -0.1545468}, {{0.5, 0.5, -0.7}, -0.0991336, 0.1096955},
        {{1.0, 0.4, 0.0}, -0.1900334, -0.25}, {{0.4, 0.0, 0.0}, -0.1900334, -0.25},
        {{1.0, 0.0, 0.0}, -0.1402750, -0.125}, {{0.0, 1.0, 0.0}, -0.1402750, -0.125},
    };
    fx::unitSquare();
    GEOM();
    for (const auto& c : cases) {
        double G, H;
        INFLU(c.p[0], c.p[1], c.p[2], 1, G, H);
        EXPECT_TRUE(std::fabs(G - c.G) < TOL7 && std::fabs(H - c.H) < TOL7) << c.p[0] << ' ' << c.p[1] << ' ' << c.p[2] << ": " << G << ' ' << H;
    }
}

// Field points on every branch: far, near, in the plane, on the line of an
// edge and above it, at a corner and at the node.
TEST(Influ, SameBitsAsThePlainFormulas) {
    std::mt19937_64 rng(2024);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    randomElements(rng, 200, 0.0);
    int bad = 0;
    for (int J = 1; J <= NBE; ++J) {
        const auto& c = XE[J];
        auto mix = [&](double a, double b, double h) {
            fx::P3 q;
            for (int K = 1; K <= 3; ++K)
                q[K - 1] = c[1][K] + a * (c[2][K] - c[1][K]) + b * (c[3][K] - c[1][K]) + h * ELD[J].EN[K - 1];
            return q;
        };
        std::vector<fx::P3> pts = {mix(2.5, 0, 0), mix(-0.5, 0, 0.3), mix(0, 0, 0), {XC[J][1], XC[J][2], XC[J][3]}};
        for (int k = 0; k < 4; ++k) {
            pts.push_back({3 * u(rng), 3 * u(rng), 3 * u(rng)});
            pts.push_back(mix(u(rng), u(rng), 0.01 * u(rng)));
            pts.push_back(mix(u(rng), u(rng), 0.0));
        }
        for (const fx::P3& q : pts) {
            double G, H, g, h;
            INFLU(q[0], q[1], q[2], J, G, H);
            reference::INFLU(q[0], q[1], q[2], J, g, h);
            bad += !fx::same(G, g) + !fx::same(H, h);
        }
    }
    EXPECT_EQ(bad, 0);
}

// Rows, and pieces of rows, over the images: the bits of the plain element-by-element sum.
TEST(Influ, RowsOverTheImagesSameBitsAsThePlainSum) {
    std::mt19937_64 rng(77);
    for (const fx::P3 sym : {fx::P3{0, 0, 0}, fx::P3{1, 0, -1}, fx::P3{-1, 1, 1}}) {
        randomElements(rng, 150, 5.0);
        fx::setSymmetry(sym[0], sym[1], sym[2]);  // after CLEAR
        int bad = 0;
        for (int I = 1; I <= NBE; I += 7)
            for (int J0 : {1, NBE / 2}) {
                std::vector<double> gs(NBE + 1, 0.0), hs(NBE + 1, 0.0);
                INFSYMS(XC[I][1], XC[I][2], XC[I][3], J0, NBE + 1, &gs[J0], &hs[J0]);
                for (int J = J0; J <= NBE; ++J) {
                    double g = 0.0, h = 0.0;
                    reference::INFSYM(XC[I][1], XC[I][2], XC[I][3], J, g, h);
                    bad += !fx::same(gs[J], g) + !fx::same(hs[J], h);
                }
            }
        EXPECT_EQ(bad, 0) << "symmetry " << sym[0] << sym[1] << sym[2];
    }
}

// The gradient of G against central differences of G: above, below and beside random elements
// (in the plane, on the line of an edge beyond it, close to a corner), alone and with the images of
// even and odd planes, each derivative along a unit direction mirrored as GRDSYM takes it; at the
// own node the derivative along the normal is 0.
TEST(Influ, GradientOfTheSingleLayerMatchesDifferences) {
    std::mt19937_64 rng(11);
    randomElements(rng, 12, 0.5);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    const double h = 1e-5;
    const int syms[][3] = {{0, 0, 0}, {1, 0, 0}, {0, -1, 1}, {1, 1, -1}};
    for (const auto& sym : syms) {
        fx::setSymmetry(sym[0], sym[1], sym[2]);
        for (int J = 1; J <= NBE; ++J) {
            const ELDATA& E = ELD[J];
            const double* t = E.T1;
            // points off the element: in space, in its plane, on an edge's line past its end
            std::vector<fx::P3> pts;
            for (int k = 0; k < 3; ++k) pts.push_back({E.XN[0] + u(rng), E.XN[1] + u(rng), E.XN[2] + u(rng)});
            pts.push_back({E.XN[0] + 3 * t[0], E.XN[1] + 3 * t[1], E.XN[2] + 3 * t[2]});
            // on the line of the first edge past its end, and above that line (where G's log term
            // drops out but the gradient's does not)
            for (double up : {0.0, 0.3}) {
                fx::P3 q;
                for (int K = 0; K < 3; ++K)
                    q[K] = E.XN[K] + E.XL[0] * t[K] + E.YL[0] * E.T2[K] +
                           2 * E.EL[0] * (E.CX[0] * t[K] + E.CY[0] * E.T2[K]) + up * E.EN[K];
                pts.push_back(q);
            }
            for (const fx::P3& p : pts) {
                const double D[3] = {u(rng), u(rng), u(rng)};
                const double n = std::hypot(D[0], D[1], D[2]), d[3] = {D[0] / n, D[1] / n, D[2] / n};
                double GS = 0, HS = 0, DS = 0, GP = 0, GM = 0, H1 = 0, H2 = 0;
                GRDSYM(p[0], p[1], p[2], J, d, GS, HS, DS);
                INFSYM(p[0] + h * d[0], p[1] + h * d[1], p[2] + h * d[2], J, GP, H1);
                INFSYM(p[0] - h * d[0], p[1] - h * d[1], p[2] - h * d[2], J, GM, H2);
                double G0 = 0, H0 = 0;
                INFSYM(p[0], p[1], p[2], J, G0, H0);
                EXPECT_EQ(GS, G0);
                EXPECT_EQ(HS, H0);
                EXPECT_NEAR(DS, (GP - GM) / (2 * h), 1e-6 * (1 + std::fabs(DS))) << "element " << J;
            }
        }
    }
    fx::setSymmetry(0, 0, 0);
    for (int J = 1; J <= NBE; ++J) {
        double G, H, DG[3];
        INFGRD(ELD[J].XN[0], ELD[J].XN[1], ELD[J].XN[2], J, G, H, DG);
        EXPECT_NEAR(DG[0] * ELD[J].EN[0] + DG[1] * ELD[J].EN[1] + DG[2] * ELD[J].EN[2], 0.0, 1e-14);
        EXPECT_TRUE(std::isfinite(DG[0]) && std::isfinite(DG[1]) && std::isfinite(DG[2]));
    }
}

// A point at the distance RHO times the size of element J from its node, along a random direction.
fx::P3 around(std::mt19937_64& rng, int J, double RHO) {
    std::normal_distribution<double> g;
    const double v[3] = {g(rng), g(rng), g(rng)}, n = std::hypot(v[0], v[1], v[2]);
    const double d = RHO * std::sqrt(FARD[J].H2);
    return {ELD[J].XN[0] + d * v[0] / n, ELD[J].XN[1] + d * v[1] / n, ELD[J].XN[2] + d * v[2] / n};
}

// The far-field rules against the closed form, for the tolerances of the compressed solve's blocks:
// over random elements (warped, long and thin among them) and points all round, from 1.5 to 256
// times their size away, the rule chosen is within the tolerance of G (relative to A / (4 pi d))
// and of H (to A / (4 pi d^2)); none is chosen nearer than twice the size, and each rule is chosen
// somewhere.
TEST(Influ, FarRulesKeepTheirTolerance) {
    std::mt19937_64 rng(5);
    randomElements(rng, 40, 0.0);
    fx::setSymmetry(0, 0, 0);
    std::vector<int> used(NFAR, 0);
    for (double eps : {1e-4, 1e-6, 1e-8}) {
        const FARTAB F = FARSET(eps);
        double worst = 0.0;
        for (int J = 1; J <= NBE; ++J)
            for (double rho : {1.5, 2.0, 3.0, 4.0, 6.0, 8.0, 12.0, 16.0, 24.0, 32.0, 64.0, 128.0, 256.0})
                for (int k = 0; k < 10; ++k) {
                    const fx::P3 p = around(rng, J, rho);
                    const int r = FARRUL(F, p[0], p[1], p[2], J);
                    if (rho < 2.0) {
                        EXPECT_EQ(r, -1) << J;
                    }
                    if (r < 0) continue;
                    ++used[r];
                    double G, H, g, h;
                    INFLU(p[0], p[1], p[2], J, G, H);
                    FARINF(r, p[0], p[1], p[2], J, g, h);
                    const double d = rho * std::sqrt(FARD[J].H2), a = AREA[J] / (4 * PI * d);
                    worst = std::max({worst, std::fabs(g - G) / a, std::fabs(h - H) * d / a});
                }
        EXPECT_LE(worst, eps) << eps;
    }
    for (int r = 0; r < NFAR; ++r) EXPECT_GT(used[r], 0) << "rule " << r + 1;
}

// INFFAR over the images of even and odd planes against INFSYM, within the tolerance of the
// nearest image's scale, and its values at a shifted point: their difference quotient (the
// gradient of the internal points) within ten times it of the closed form's, up to 20 times the
// element's size (beyond, the closed form's own quotient loses digits to cancellation).
TEST(Influ, FarSumsOverImagesAndShiftsAgreeWithTheClosedForm) {
    std::mt19937_64 rng(9);
    randomElements(rng, 20, 0.5);
    const double eps = 1e-6, S[3] = {0.0, DELTA, 0.0};
    const FARTAB F = FARSET(eps);
    const int syms[][3] = {{0, 0, 0}, {1, 0, 0}, {-1, 1, 0}, {1, -1, 1}};
    for (const auto& sym : syms) {
        fx::setSymmetry(sym[0], sym[1], sym[2]);
        double worst = 0.0, worstd = 0.0;
        for (int J = 1; J <= NBE; ++J)
            for (double rho : {1.0, 3.0, 8.0, 12.0, 20.0, 40.0, 200.0}) {
                const fx::P3 p = around(rng, J, rho);
                double G = 0, H = 0, G1 = 0, H1 = 0, g = 0, h = 0, g1 = 0, h1 = 0;
                INFSYM(p[0], p[1], p[2], J, G, H);
                INFSYM(p[0] + S[0], p[1] + S[1], p[2] + S[2], J, G1, H1);
                INFFAR(F, p[0], p[1], p[2], J, g, h, S, &g1, &h1);
                const double d = rho * std::sqrt(FARD[J].H2), a = AREA[J] / (4 * PI * d);
                worst = std::max({worst, std::fabs(g - G) / a, std::fabs(h - H) * d / a});
                const double dq = ((g1 - g) - (G1 - G)) / DELTA, dh = ((h1 - h) - (H1 - H)) / DELTA;
                if (rho <= 20.0) worstd = std::max({worstd, std::fabs(dq) * d / a, std::fabs(dh) * d * d / a});
            }
        EXPECT_LE(worst, eps) << sym[0] << sym[1] << sym[2];
        EXPECT_LE(worstd, 10 * eps) << sym[0] << sym[1] << sym[2];
    }
    fx::setSymmetry(0, 0, 0);
}
