// Gauss-Seidel sweeps: convergence, sweep lines, the sweep count code, and the
// ends of a solve that does not converge; the LU solve of the same systems.
#include <gtest/gtest.h>

#include <cmath>

#include "fixtures.hpp"
#include "solver/lu.hpp"

namespace {

using namespace telma;

constexpr int LD = 3;  // leading dimension of the small test systems

struct Sweeps {
    bool ok;
    int IER;
    std::vector<std::string> out;
};

// Solves the N x N row-major system a with M right-hand sides b (columns of ld).
Sweeps solve(const double* a, double* b, double* x, int N, int M, double eps, int ld = LD) {
    Sweeps r{};
    fx::Console con;
    r.ok = ITSOLV(a, b, x, N, M, ld, eps, r.IER);
    r.out = fx::lines(con.text());
    return r;
}

TEST(Itsolv, DiagonalSystemSolvedInTheFirstSweep) {
    const double a[LD * LD] = {2, 0, 0, 0, 4, 0, 0, 0, 5};
    double b[LD] = {1, 2, 10}, x[LD] = {0, 0, 0};
    const Sweeps r = solve(a, b, x, 3, 1, 1e-8);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.IER, 0);
    ASSERT_EQ(r.out.size(), 2u);
    EXPECT_EQ(r.out[1], " Niter :  2  RMS error : 0.000E+00");
    EXPECT_EQ(b[0], 0.5);
    EXPECT_EQ(b[1], 0.5);
    EXPECT_EQ(b[2], 2.0);
}

TEST(Itsolv, TwoByTwoSweepsAndCountCode) {
    const double a[LD * LD] = {4, 1, 0, 1, 3, 0};
    double b[LD] = {1, 2}, x[LD] = {0, 0};
    const Sweeps r = solve(a, b, x, 2, 1, 1e-8);
    EXPECT_TRUE(r.ok);
    // first sweep: x1 = 0.25, x2 = 1.75/3, RMS = sqrt((x1^2 + x2^2)/2) = 0.44876
    ASSERT_GT(r.out.size(), 2u);
    EXPECT_EQ(r.out[0], " Niter :  1  RMS error : 4.488E-01");
    // more sweeps than unknowns: minus the sweep count
    EXPECT_EQ(r.IER, -static_cast<int>(r.out.size()));
    EXPECT_NEAR(b[0], 1.0 / 11.0, 1e-8);
    EXPECT_NEAR(b[1], 7.0 / 11.0, 1e-8);
}

TEST(Itsolv, ZeroToleranceMakesNoSweep) {
    const double a[LD * LD] = {4, 1, 0, 1, 3, 0};
    double b[LD] = {1, 2}, x[LD] = {0.125, -3};
    const Sweeps r = solve(a, b, x, 2, 1, 0.0);
    EXPECT_TRUE(r.ok);
    EXPECT_TRUE(r.out.empty());
    EXPECT_EQ(b[0], 0.125);
    EXPECT_EQ(b[1], -3.0);
}

TEST(Itsolv, TwoRightHandSidesSweptTogether) {
    // Two equal columns: each sweep has the same RMS as one column alone.
    const double a[LD * LD] = {4, 1, 0.5, 1, 3, 0.2, 0.3, 0.1, 2};
    double b1[LD] = {1, 2, 3}, x1[LD] = {0, 0, 0};
    double b2[2 * LD] = {1, 2, 3, 1, 2, 3}, x2[2 * LD] = {};
    const Sweeps one = solve(a, b1, x1, 3, 1, 1e-10);
    const Sweeps two = solve(a, b2, x2, 3, 2, 1e-10);
    EXPECT_EQ(one.out, two.out);
    for (int I = 0; I < 3; ++I) {
        EXPECT_EQ(b2[I], b1[I]);
        EXPECT_EQ(b2[LD + I], b1[I]);
    }
}

TEST(Itsolv, ManyRightHandSidesKeepThePlainOrder) {
    // Five different columns, whose row sums are formed side by side: every
    // value has the bits of the plain loop run for as many sweeps.
    constexpr int N = 37, M = 5;
    std::vector<double> a(N * N), b(N * M), x(N * M, 0.0), xp(N * M, 0.0);
    for (int I = 0; I < N; ++I) {
        for (int J = 0; J < N; ++J) a[I * N + J] = 0.5 * std::sin(7.0 * I + 3.0 * J) / N;
        a[I * N + I] = 1.0 + 0.1 * std::cos(I);
    }
    for (int K = 0; K < N * M; ++K) b[K] = std::cos(1.3 * K);
    const std::vector<double> b0 = b;
    const Sweeps r = solve(a.data(), b.data(), x.data(), N, M, 1e-12, N);
    ASSERT_TRUE(r.ok);
    for (std::size_t sweep = 0; sweep < r.out.size(); ++sweep)
        for (int I = 0; I < N; ++I)
            for (int L = 0; L < M; ++L) {
                double S = 0.0;
                for (int J = 0; J < N; ++J)
                    if (J != I) S += xp[L * N + J] * a[I * N + J];
                xp[L * N + I] = (b0[L * N + I] - S) / a[I * N + I];
            }
    for (int K = 0; K < N * M; ++K) ASSERT_EQ(b[K], xp[K]) << K;
}

TEST(Itsolv, EmptySystemEndsAtOnce) {
    double b[LD] = {7}, x[LD] = {0};
    const double a[LD * LD] = {};
    const Sweeps r = solve(a, b, x, 0, 1, 1e-8);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.IER, 0);
    EXPECT_TRUE(r.out.empty());
    EXPECT_EQ(b[0], 7.0);
}

TEST(Itsolv, ChangeNotFiniteStopsAndFails) {
    const double a[LD * LD] = {0, 1, 0, 1, 1, 0};  // zero diagonal
    double b[LD] = {1, 2}, x[LD] = {0, 0};
    const Sweeps r = solve(a, b, x, 2, 1, 1e-8);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.IER, -1);
    ASSERT_EQ(r.out.size(), 2u);
    EXPECT_EQ(r.out[1], " SOLUTION FAILED: THE RMS CHANGE IS NOT A FINITE NUMBER AFTER SWEEP   1");
}

TEST(Itsolv, SweepLimitStopsAndFails) {
    // An inconsistent system: every sweep changes both unknowns by 1.
    const double a[LD * LD] = {1, 1, 0, 1, 1, 0};
    double b[LD] = {1, 2}, x[LD] = {0, 0};
    const Sweeps r = solve(a, b, x, 2, 1, 1e-8);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.IER, -MAXIT);
    ASSERT_EQ(r.out.size(), static_cast<std::size_t>(MAXIT) + 1);
    EXPECT_EQ(r.out[MAXIT - 1], " Niter :999  RMS error : 1.000E+00");
    EXPECT_EQ(r.out[MAXIT],
              " SOLUTION FAILED: NO CONVERGENCE IN 999 SWEEPS (RMS CHANGE 1.000E+00,"
              " TOLERANCE 1.000E-08)");
    EXPECT_TRUE(std::isfinite(b[0]) && std::isfinite(b[1]));
}

TEST(Itsolv, UnitCubeSeventeenSweeps) {
    fx::unitCube();
    {
        fx::Console con;
        GEOM();
        ASSEMB();
    }
    for (int I = 1; I <= NBE; ++I) XIT[I] = 0.0;
    int ier = 0;
    fx::Console con;
    const bool ok = ITSOLV(&A(1, 1), &B[1], &XIT[1], NBE, 1, NDIM, EPSIT, ier);
    const std::vector<std::string> out = fx::lines(con.text());
    const char* rms[17] = {"9.730E-01", "7.812E-01", "2.950E-01", "7.074E-02", "7.359E-03",
                           "3.842E-03", "2.053E-03", "5.963E-04", "9.357E-05", "1.715E-05",
                           "1.331E-05", "4.711E-06", "9.720E-07", "8.725E-08", "7.821E-08",
                           "3.465E-08", "8.860E-09"};
    EXPECT_TRUE(ok);
    EXPECT_EQ(ier, -17);
    ASSERT_EQ(out.size(), 17u);
    for (int k = 0; k < 17; ++k) {
        char want[64];
        std::snprintf(want, sizeof want, " Niter :%3d  RMS error : %s", k + 1, rms[k]);
        EXPECT_EQ(out[k], want);
    }
    const double sol[6] = {-1.364825, 1.364825, 0.5, 0.5, 0.5, 0.5};
    for (int I = 1; I <= 6; ++I) EXPECT_NEAR(B[I], sol[I - 1], 5e-7) << I;
}

}  // namespace

TEST(Lusolv, RowMajorSystemsWithTwoRightHandSidesAndASingularOne) {
    // Not symmetric, so that a transposed solve would show; stride LD + 1.
    double a[3][LD + 1] = {{4, 1, 0, 9}, {2, 5, 1, 9}, {0, 3, 6, 9}};
    const double x[2][3] = {{1, 2, 3}, {-1, 0, 1}};
    double b[2][LD + 1] = {};
    for (int L = 0; L < 2; ++L)
        for (int I = 0; I < 3; ++I)
            for (int J = 0; J < 3; ++J) b[L][I] += a[I][J] * x[L][J];
    int info = -1;
    ASSERT_TRUE(LUSOLV(3, 2, &a[0][0], LD + 1, &b[0][0], LD + 1, info));
    EXPECT_EQ(info, 0);
    for (int L = 0; L < 2; ++L)
        for (int I = 0; I < 3; ++I) EXPECT_NEAR(b[L][I], x[L][I], 1e-14) << L << I;
    double s[2][2] = {{1, 2}, {2, 4}}, c[2] = {1, 2};
    EXPECT_FALSE(LUSOLV(2, 1, &s[0][0], 2, c, 2, info));
    EXPECT_EQ(info, 2);
    EXPECT_EQ(c[1], 2.0);
}
