// Assembly, sweeps and internal points on one and on two threads: the same
// bits as the plain loops, and the progress lines in order.
#include <gtest/gtest.h>
#include <omp.h>

#include <bit>
#include <cstdint>
#include <random>
#include <regex>
#include <vector>

#include "QVLIB/STPWATCH/stpwatch.hpp"
#include "solver/reference.hpp"
#include "fixtures.hpp"

namespace {

using namespace telma;

bool same(double a, double b) { return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b); }

// Restores the thread count of the tests when it goes.
struct Threads {
    explicit Threads(int n) : old(omp_get_max_threads()) { omp_set_num_threads(n); }
    ~Threads() { omp_set_num_threads(old); }
    int old;
};

// The unit cube with n x n cells per face, every other cell cut into two
// triangles; potential on the bottom and top, derivative on the sides.
void mixedCube(int n) {
    telma::CLEAR();
    const auto& f = fx::cubeFaces();
    int I = 0;
    for (int face = 0; face < 6; ++face) {
        const fx::P3 &c0 = f[face][0], &c1 = f[face][1], &c3 = f[face][3];
        auto at = [&](int i, int j) {
            fx::P3 p;
            for (int K = 0; K < 3; ++K) p[K] = c0[K] + (c1[K] - c0[K]) * i / n + (c3[K] - c0[K]) * j / n;
            return p;
        };
        const int kode = face <= 1 ? (face == 0 ? 0 : -1) : 1;
        const double vbc = face == 1 ? 1.0 : 0.0;
        for (int j = 0; j < n; ++j)
            for (int i = 0; i < n; ++i) {
                const fx::P3 a = at(i, j), b = at(i + 1, j), c = at(i + 1, j + 1), d = at(i, j + 1);
                if ((i + j) % 2) {
                    fx::setElement(++I, {a, b, c}, kode, vbc);
                    fx::setElement(++I, {a, c, d}, kode, vbc);
                } else {
                    fx::setElement(++I, {a, b, c, d}, kode, vbc);
                }
            }
    }
    NBE = I;
}

struct Assembly {
    std::vector<double> A, B;
    std::vector<std::string> console;
};

Assembly assembleOn(int threads) {
    Threads t(threads);
    Assembly r;
    {
        fx::Console con;
        ELCHK();
        GEOM();
        qvlib::SWSTRT();
        ASSEMB();
        r.console = fx::lines(con.text());
    }
    for (int I = 1; I <= NBE; ++I) {
        r.B.push_back(B[I]);
        for (int J = 1; J <= NBE; ++J) r.A.push_back(A(I, J));
    }
    return r;
}

// Progress lines of a loop over n indices: every tenth, in order, each once.
void expectProgress(const std::vector<std::string>& out, const std::string& text, int n,
                    std::size_t first) {
    ASSERT_GE(out.size(), first + n / 10);
    const std::regex time(", time :[ 0-9]{4}\\.[0-9]{3}");
    for (int k = 1; k <= n / 10; ++k) {
        char head[64];
        std::snprintf(head, sizeof head, "%s%4d/%4d", text.c_str(), 10 * k, n);
        const std::string& line = out[first + k - 1];
        EXPECT_EQ(line.substr(0, std::string(head).size()), head);
        EXPECT_TRUE(std::regex_match(line.substr(std::string(head).size()), time)) << line;
    }
}

TEST(Threads, AssemblySameBitsAsThePlainLoopOnOneAndTwoThreads) {
    for (int sym : {0, 1}) {
        mixedCube(6);  // 324 elements
        fx::setSymmetry(0, 0, sym ? 1 : 0);  // the mirrored cube below z = 0
        const Assembly one = assembleOn(1), two = assembleOn(2);
        ASSERT_EQ(one.A.size(), two.A.size());
        // the plain assembly of the reference: per-call coefficients, by columns
        {
            fx::Console quiet;
            reference::ASSEMB();
        }
        int bad = 0;
        for (int I = 1; I <= NBE; ++I) {
            for (int J = 1; J <= NBE; ++J) {
                const std::size_t k = static_cast<std::size_t>(I - 1) * NBE + (J - 1);
                bad += !same(one.A[k], reference::A(I, J)) + !same(two.A[k], reference::A(I, J));
            }
            bad += !same(one.B[I - 1], B[I]) + !same(two.B[I - 1], B[I]);
        }
        EXPECT_EQ(bad, 0) << "symmetry " << sym;
        for (const Assembly* r : {&one, &two}) {
            ASSERT_EQ(r->console.size(), static_cast<std::size_t>(NBE / 10 + 1));
            expectProgress(r->console, " Calculation line #", NBE, 0);
            EXPECT_EQ(r->console.back(), "");
        }
    }
}

TEST(Threads, DominanceTestIndependentOfThreads) {
    mixedCube(3);
    assembleOn(1);
    bool d1, d2;
    {
        Threads t(1);
        d1 = DOMTST(NBE);
    }
    {
        Threads t(2);
        d2 = DOMTST(NBE);
    }
    EXPECT_EQ(d1, d2);
    // a matrix that is dominant except in its last column
    const int N = 37;
    for (int I = 1; I <= N; ++I)
        for (int J = 1; J <= N; ++J) A(I, J) = I == J ? 10.0 : 0.2;
    A(N, N) = 7.2;  // the other 36 entries of column N sum to 7.2
    for (int n : {1, 2}) {
        Threads t(n);
        EXPECT_FALSE(DOMTST(N));
        EXPECT_TRUE(DOMTST(N - 1));
    }
}

// A plain sweep of the row-major system: the definition.
double plainSweep(const std::vector<double>& a, const std::vector<double>& b, std::vector<double>& x,
                  int N, int LD) {
    double err = 0.0;
    for (int I = 0; I < N; ++I) {
        double S = 0.0;
        for (int J = 0; J < N; ++J)
            if (J != I) S += x[J] * a[static_cast<std::size_t>(I) * LD + J];
        const double xn = (b[I] - S) / a[static_cast<std::size_t>(I) * LD + I];
        const double d = x[I] - xn;
        x[I] = xn;
        err += d * d;
    }
    return err;
}

TEST(Threads, SweepOnTwoThreadsGivesTheBitsOfThePlainSweep) {
    std::mt19937_64 rng(12345);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    // sizes below, at and around the block boundaries of the two-thread sweep
    for (int N : {1, 2, 7, 31, 32, 33, 63, 64, 65, 95, 97, 130, 257, 411}) {
        const int LD = N + 5;
        std::vector<double> a(static_cast<std::size_t>(N) * LD), b(N);
        for (int I = 0; I < N; ++I) {
            for (int J = 0; J < N; ++J) a[static_cast<std::size_t>(I) * LD + J] = u(rng) * 0.5 / N;
            a[static_cast<std::size_t>(I) * LD + I] = 1.0 + 0.3 * u(rng);
            b[I] = u(rng);
        }
        std::vector<double> x0(N), x1(N), x2(N);
        for (double& v : x0) v = u(rng);
        x1 = x2 = x0;
        Threads t(2);
        for (int sweep = 0; sweep < 6; ++sweep) {
            const double e0 = plainSweep(a, b, x0, N, LD);
            const double e1 = GSSWEEP(a.data(), b.data(), x1.data(), N, LD, 1);
            const double e2 = GSSWEEP(a.data(), b.data(), x2.data(), N, LD, 2);
            ASSERT_TRUE(same(e0, e1) && same(e0, e2)) << "N " << N << " sweep " << sweep;
            int bad = 0;
            for (int I = 0; I < N; ++I) bad += !same(x0[I], x1[I]) + !same(x0[I], x2[I]);
            ASSERT_EQ(bad, 0) << "N " << N << " sweep " << sweep;
        }
    }
}

TEST(Threads, SweepOnTwoThreadsRepeatedly) {
    // many sweeps of one system, to give a race a chance to show
    std::mt19937_64 rng(99);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    const int N = 700, LD = 701;
    std::vector<double> a(static_cast<std::size_t>(N) * LD), b(N), x1(N, 0.0), x2(N, 0.0);
    for (int I = 0; I < N; ++I) {
        for (int J = 0; J < N; ++J) a[static_cast<std::size_t>(I) * LD + J] = u(rng) / N;
        a[static_cast<std::size_t>(I) * LD + I] = 1.0;
        b[I] = u(rng);
    }
    Threads t(2);
    for (int sweep = 0; sweep < 150; ++sweep) {
        // a slightly different right-hand side each time keeps the changes alive
        b[sweep % N] += 1e-3;
        const double e1 = GSSWEEP(a.data(), b.data(), x1.data(), N, LD, 1);
        const double e2 = GSSWEEP(a.data(), b.data(), x2.data(), N, LD, 2);
        ASSERT_TRUE(same(e1, e2)) << sweep;
        ASSERT_TRUE(x1 == x2) << sweep;
    }
}

TEST(Threads, PacerKeepsToTheFasterCountAndFollowsTheLoad) {
    // Seconds per sweep on one and on two threads, before and after a change
    // of load halfway through 300 sweeps: the time of the sweeps against the
    // best that knowing those times beforehand gives.
    struct Case {
        double one0, two0, one1, two1, bound;
    };
    const Case cases[] = {
        {1.0, 0.6, 1.0, 0.6, 1.03},    // quiet: two threads
        {1.0, 3.0, 1.0, 3.0, 1.05},    // busy: one
        {1.0, 1.05, 1.0, 1.05, 1.03},  // about the same
        {1.0, 0.6, 1.2, 3.5, 1.05},    // the load comes
        {1.2, 3.5, 1.0, 0.6, 1.15},    // and goes: found by a trial
    };
    for (const Case& c : cases) {
        PACER pace(2);
        double total = 0.0, best = 0.0;
        for (int k = 0; k < 300; ++k) {
            const double t1 = k < 150 ? c.one0 : c.one1, t2 = k < 150 ? c.two0 : c.two1;
            const double t = pace.threads() == 2 ? t2 : t1;
            total += t;
            best += std::min(t1, t2);
            pace.took(t);
        }
        EXPECT_LE(total, c.bound * best) << c.one0 << " " << c.two0 << " " << c.one1 << " " << c.two1;
    }
    PACER one(1);
    for (int k = 0; k < 10; ++k) {
        ASSERT_EQ(one.threads(), 1);
        one.took(k % 2 ? 1.0 : 0.1);
    }
}

TEST(Threads, SolveLinesAndSolutionIndependentOfThreads) {
    if (omp_get_num_procs() < 2) GTEST_SKIP() << "the two-thread sweep needs two processors";
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    const int N = 300, LD = 300;
    std::vector<double> a(static_cast<std::size_t>(N) * LD), b0(N);
    for (int I = 0; I < N; ++I) {
        for (int J = 0; J < N; ++J) a[static_cast<std::size_t>(I) * LD + J] = u(rng) * 0.9 / N;
        a[static_cast<std::size_t>(I) * LD + I] = 1.0;
        b0[I] = u(rng);
    }
    std::vector<std::string> out[2];
    std::vector<double> sol[2];
    int ier[2];
    for (int n : {1, 2}) {
        Threads t(n);
        std::vector<double> b = b0, x(N, 0.0);
        fx::Console con;
        ier[n - 1] = 0;
        EXPECT_TRUE(ITSOLV(a.data(), b.data(), x.data(), N, 1, LD, EPSIT, ier[n - 1]));
        out[n - 1] = fx::lines(con.text());
        sol[n - 1] = b;
    }
    EXPECT_GT(out[0].size(), 3u);
    EXPECT_EQ(out[0], out[1]);
    EXPECT_EQ(ier[0], ier[1]);
    EXPECT_TRUE(sol[0] == sol[1]);
}

TEST(Threads, InternalPointsSameBitsAsThePlainLoopOnOneAndTwoThreads) {
    mixedCube(4);
    fx::setSymmetry(1, 0, 0);
    assembleOn(1);
    for (int I = 1; I <= NBE; ++I) {  // any boundary values will do
        VBC[I] = 0.25 * I / NBE;
        B[I] = KODE[I] >= 1 ? 0.0 : 0.1;
    }
    NIP = 123;
    for (int I = 1; I <= NIP; ++I) {
        XIP[I][1] = 0.1 + 0.8 * ((I * 37) % 101) / 101.0;
        XIP[I][2] = 0.1 + 0.8 * ((I * 53) % 103) / 103.0;
        XIP[I][3] = 0.1 + 0.8 * ((I * 71) % 107) / 107.0;
    }
    std::vector<double> res[2];
    std::vector<std::string> out[2];
    for (int n : {1, 2}) {
        Threads t(n);
        fx::Console con;
        INTPTS();
        out[n - 1] = fx::lines(con.text());
        for (int I = 1; I <= NIP; ++I) {
            res[n - 1].push_back(UIP[I]);
            for (int K = 1; K <= 3; ++K) res[n - 1].push_back(GRADV[K][I]);
        }
    }
    // the plain evaluation of the reference, point by point
    int bad = 0;
    auto potential = [](double X, double Y, double Z) {
        double UP;
        reference::POTINT(X, Y, Z, UP);
        return UP;
    };
    for (int I = 1; I <= NIP; ++I) {
        const double X = XIP[I][1], Y = XIP[I][2], Z = XIP[I][3];
        const double u0 = potential(X, Y, Z);
        const double g[3] = {(potential(X + DELTA, Y, Z) - u0) / DELTA,
                             (potential(X, Y + DELTA, Z) - u0) / DELTA,
                             (potential(X, Y, Z + DELTA) - u0) / DELTA};
        for (int n = 0; n < 2; ++n) {
            bad += !same(res[n][4 * (I - 1)], u0);
            for (int K = 0; K < 3; ++K) bad += !same(res[n][4 * (I - 1) + 1 + K], g[K]);
        }
    }
    EXPECT_EQ(bad, 0);
    for (int n = 0; n < 2; ++n) {
        ASSERT_EQ(out[n].size(), static_cast<std::size_t>(NIP / 10));
        expectProgress(out[n], " Internal points #", NIP, 0);
    }
}

}  // namespace
