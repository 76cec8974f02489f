// The influence coefficients of the solver, two edges at a time on per-element
// data, against the plain per-call formulas of the benchmark's reference: the
// same bits for any element and any field point.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>

#include "bench/reference.hpp"
#include "fixtures.hpp"

namespace {

using namespace telma;

bool same(double a, double b) { return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b); }

// Elements of every shape in planes of every orientation: triangles, and
// convex quadrilaterals, some of them long and thin.
void randomElements(std::mt19937_64& rng, int n) {
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    fx::clearProblem();
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
        if (I % 2)
            fx::setElement(I, {at(0, 0), at(1, 0.2), at(0.3, 1)});
        else
            fx::setElement(I, {at(0, 0), at(1, 0), at(1.2, 0.9), at(-0.1, 1.1)});
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

TEST(InfluLanes, SameBitsAsThePlainFormulasForEveryShapeAndPoint) {
    std::mt19937_64 rng(2024);
    randomElements(rng, 200);
    ELCHK();
    GEOM();
    int calls = 0, bad = 0;
    for (int J = 1; J <= NBE; ++J)
        for (const fx::P3& q : fieldPoints(rng, J)) {
            double G, H, g, h;
            INFLU(q[0], q[1], q[2], J, G, H);
            ref::INFLU(q[0], q[1], q[2], J, g, h);
            ASSERT_TRUE(std::isfinite(G) && std::isfinite(H)) << "element " << J;
            bad += !same(G, g) + !same(H, h);
            ++calls;
        }
    EXPECT_EQ(bad, 0) << "of " << calls << " calls";
}

TEST(InfluLanes, RowsOfElementsOverTheImagesAsElementByElement) {
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
                    ref::INFSYM(XC[I][1], XC[I][2], XC[I][3], J, g, h);
                    bad += !same(gs[J], g) + !same(hs[J], h);
                }
            }
        }
        EXPECT_EQ(bad, 0) << "symmetry case " << sym;
    }
}

}  // namespace
