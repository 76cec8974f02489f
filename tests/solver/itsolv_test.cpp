// Gauss-Seidel sweeps: sweep lines, the sweep count code, several right-hand
// sides, and the ends of a solve that does not converge; the LU solve.
#include <gtest/gtest.h>

#include <cmath>

#include "solver/lu/lu.hpp"
#include "support.hpp"

using namespace telma;

TEST(Itsolv, SweepLinesAndEnds) {
    constexpr int LD = 3, MORE = 1;  // MORE: minus the number of sweeps, which exceeds N
    const struct {
        double a[LD * LD], b[LD], x[LD]; int N; double eps; bool ok; int ier;
        std::vector<std::string> out; double sol[LD];  // out: the first line and the last
    } cases[] = {
        {{2, 0, 0, 0, 4, 0, 0, 0, 5}, {1, 2, 10}, {}, 3, 1e-8, true, 0,
         {" Niter :  1  RMS error : 1.225E+00", " Niter :  2  RMS error : 0.000E+00"}, {0.5, 0.5, 2}},
        // first sweep: x1 = 1/4, x2 = 7/12, RMS = sqrt((x1^2 + x2^2)/2); more sweeps than unknowns
        {{4, 1, 0, 1, 3, 0}, {1, 2}, {}, 2, 1e-8, true, MORE, {" Niter :  1  RMS error : 4.488E-01"}, {1 / 11., 7 / 11.}},
        {{4, 1, 0, 1, 3, 0}, {1, 2}, {0.125, -3}, 2, 0.0, true, 0, {}, {0.125, -3}},  // no sweep
        {{}, {7}, {}, 0, 1e-8, true, 0, {}, {7}},                                          // empty system
        {{0, 1, 0, 1, 1, 0}, {1, 2}, {}, 2, 1e-8, false, -1,
         {" Niter :  1  RMS error :  Infinity",
          " SOLUTION FAILED: THE RMS CHANGE IS NOT A FINITE NUMBER AFTER SWEEP   1"}, {NAN, NAN}},
        // inconsistent: every sweep changes both unknowns by 1
        {{1, 1, 0, 1, 1, 0}, {1, 2}, {}, 2, 1e-8, false, -MAXIT,
         {" Niter :  1  RMS error : 1.000E+00",
          " SOLUTION FAILED: NO CONVERGENCE IN 999 SWEEPS (RMS CHANGE 1.000E+00, TOLERANCE 1.000E-08)"}, {NAN, NAN}},
    };
    for (const auto& c : cases) {
        double b[LD], x[LD];
        std::copy(c.b, c.b + LD, b);
        std::copy(c.x, c.x + LD, x);
        int ier = 0;
        fx::Console con;
        EXPECT_EQ(ITSOLV(c.a, b, x, c.N, 1, LD, c.eps, ier), c.ok) << c.a[0];
        const std::vector<std::string> out = fx::lines(con.text());
        EXPECT_EQ(ier, c.ier == MORE ? -static_cast<int>(out.size()) : c.ier) << c.a[0];
        EXPECT_EQ(out.empty(), c.out.empty()) << c.a[0];
        EXPECT_TRUE(out.empty() || c.out.empty() || (out.front() == c.out.front() && (c.out.size() == 1 || out.back() == c.out.back())))
            << con.text();
        if (c.ier == -MAXIT) { EXPECT_EQ(out.size(), MAXIT + 1u); }
        for (int I = 0; I < std::max(c.N, 1); ++I)
            if (!std::isnan(c.sol[I])) { EXPECT_NEAR(b[I], c.sol[I], 1e-8) << c.a[0]; }
    }
}

// Five different columns, whose row sums are formed side by side: every
// value has the bits of the plain loop run for as many sweeps.
TEST(Itsolv, ManyRightHandSidesKeepThePlainOrder) {
    constexpr int N = 37, M = 5;
    std::vector<double> a(N * N), b(N * M), x(N * M, 0.0), xp(N * M, 0.0);
    for (int I = 0; I < N; ++I) {
        for (int J = 0; J < N; ++J) a[I * N + J] = 0.5 * std::sin(7.0 * I + 3.0 * J) / N;
        a[I * N + I] = 1.0 + 0.1 * std::cos(I);
    }
    for (int K = 0; K < N * M; ++K) b[K] = std::cos(1.3 * K);
    const std::vector<double> b0 = b;
    int ier = 0;
    fx::Console con;
    ASSERT_TRUE(ITSOLV(a.data(), b.data(), x.data(), N, M, N, 1e-12, ier));
    for (std::size_t sweep = 0; sweep < fx::lines(con.text()).size(); ++sweep)
        for (int I = 0; I < N; ++I)
            for (int L = 0; L < M; ++L) {
                double S = 0.0;
                for (int J = 0; J < N; ++J)
                    if (J != I) S += xp[L * N + J] * a[I * N + J];
                xp[L * N + I] = (b0[L * N + I] - S) / a[I * N + I];
            }
    for (int K = 0; K < N * M; ++K) ASSERT_EQ(b[K], xp[K]) << K;
}

// Not symmetric, so that a transposed solve would show; strides past the order.
TEST(Lusolv, RowMajorSystemsWithTwoRightHandSidesAndASingularOne) {
    double a[3][4] = {{4, 1, 0, 9}, {2, 5, 1, 9}, {0, 3, 6, 9}}, b[2][4] = {};
    const double x[2][3] = {{1, 2, 3}, {-1, 0, 1}};
    for (int L = 0; L < 2; ++L)
        for (int I = 0; I < 3; ++I)
            for (int J = 0; J < 3; ++J) b[L][I] += a[I][J] * x[L][J];
    int info = -1;
    ASSERT_TRUE(LUSOLV(3, 2, &a[0][0], 4, &b[0][0], 4, info));
    EXPECT_EQ(info, 0);
    for (int L = 0; L < 2; ++L)
        for (int I = 0; I < 3; ++I) EXPECT_NEAR(b[L][I], x[L][I], 1e-14) << L << I;
    double s[2][2] = {{1, 2}, {2, 4}}, c[2] = {1, 2};
    EXPECT_FALSE(LUSOLV(2, 1, &s[0][0], 2, c, 2, info));
    EXPECT_EQ(info, 2);
    EXPECT_EQ(c[1], 2.0);  // unchanged
}
