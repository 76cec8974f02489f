// Assembly, sweeps and internal points on one and on two threads: the bits
// of the plain loops, and the progress lines in order.
#include <gtest/gtest.h>
#include <omp.h>

#include <random>
#include <regex>

#include "QVLIB/STPWATCH/stpwatch.hpp"
#include "solver/reference.hpp"
#include "solver/support.hpp"

namespace {

using namespace telma;

// Runs `step` on n threads; returns its console lines.
template <class F>
std::vector<std::string> onThreads(int n, F step) {
    const int old = omp_get_max_threads();
    omp_set_num_threads(n);
    fx::Console con;
    step();
    omp_set_num_threads(old);
    return fx::lines(con.text());
}

// Progress lines of a loop over n indices: every tenth, in order, each once.
void expectProgress(const std::vector<std::string>& out, const std::string& text, int n) {
    ASSERT_GE(out.size(), std::size_t(n / 10));
    for (int k = 1; k <= n / 10; ++k)
        EXPECT_TRUE(std::regex_match(out[k - 1], std::regex(text + textio::format("(i4,'/',i4)", {10 * k, n}).substr(0, 9) +
                                                             ", time :[ 0-9]{4}\\.[0-9]{3}")))
            << out[k - 1];
}

}  // namespace

TEST(Threads, AssemblyAndDominanceTheSameOnOneAndTwoThreads) {
    for (int sym : {0, 1}) {
        fx::cube(6, true, -1);  // 324 elements, the mirrored cube below z = 0 with sym
        fx::setSymmetry(0, 0, sym);
        ELCHK();
        GEOM();
        { fx::Console quiet; reference::ASSEMB(); }  // per-call coefficients, by columns
        for (int n : {1, 2}) {
            const std::vector<std::string> out = onThreads(n, [] { qvlib::SWSTRT(), ASSEMB(); });
            ASSERT_EQ(out.size(), std::size_t(NBE / 10 + 1));
            expectProgress(out, " Calculation line #", NBE);
            EXPECT_EQ(out.back(), "");
            int bad = 0;
            for (int I = 1; I <= NBE; ++I)
                for (int J = 1; J <= NBE; ++J) bad += !fx::same(A(I, J), reference::A(I, J));
            EXPECT_EQ(bad, 0) << "symmetry " << sym << ", threads " << n;
        }
    }
    // dominant except in its last column
    const int N = 37;
    for (int I = 1; I <= N; ++I)
        for (int J = 1; J <= N; ++J) A(I, J) = I == J ? 10.0 : -0.2;
    A(N, N) = 7.2;  // the other 36 entries of column N sum to 7.2
    for (int n : {1, 2}) onThreads(n, [&] { EXPECT_TRUE(!DOMTST(N) && DOMTST(N - 1)) << n; });
}

// Sizes below, at and around the block boundaries of the two-thread sweep,
// and a large one swept many times, to give a race a chance to show.
TEST(Threads, SweepOnTwoThreadsGivesTheBitsOfThePlainSweep) {
    std::mt19937_64 rng(12345);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    for (int N : {1, 2, 7, 31, 32, 33, 63, 64, 65, 95, 97, 130, 257, 411, 700}) {
        const int LD = N + 5, sweeps = N == 700 ? 60 : 6;
        std::vector<double> a(std::size_t(N) * LD), b(N), x0(N), x1, x2;
        for (int I = 0; I < N; ++I) {
            for (int J = 0; J < N; ++J) a[std::size_t(I) * LD + J] = u(rng) * 0.5 / N;
            a[std::size_t(I) * LD + I] = 1.0 + 0.3 * u(rng);
            b[I] = u(rng), x0[I] = u(rng);
        }
        x1 = x2 = x0;
        onThreads(2, [&] { for (int sweep = 0; sweep < sweeps; ++sweep) {
            b[sweep % N] += 1e-3;  // keeps the changes alive
            double e0 = 0.0;  // the plain sweep: the definition
            for (int I = 0; I < N; ++I) {
                double S = 0.0;
                for (int J = 0; J < N; ++J)
                    if (J != I) S += x0[J] * a[std::size_t(I) * LD + J];
                const double xn = (b[I] - S) / a[std::size_t(I) * LD + I], d = x0[I] - xn;
                x0[I] = xn;
                e0 += d * d;
            }
            const double e1 = GSSWEEP(a.data(), b.data(), x1.data(), N, LD, 1);
            const double e2 = GSSWEEP(a.data(), b.data(), x2.data(), N, LD, 2);
            ASSERT_TRUE(fx::same(e0, e1) && fx::same(e0, e2) && x0 == x1 && x0 == x2) << "N " << N << " sweep " << sweep;
        }});
    }
}

TEST(Threads, InternalPointsSameBitsAsThePlainLoopOnOneAndTwoThreads) {
    fx::cube(4, true, -1);
    fx::setSymmetry(1, 0, 0);
    GEOM();
    for (int I = 1; I <= NBE; ++I) VBC[I] = 0.25 * I / NBE, B[I] = KODE[I] >= 1 ? 0.0 : 0.1;  // any will do
    NIP = 123;
    const int step[] = {37, 53, 71}, cycle[] = {101, 103, 107};
    for (int I = 1; I <= NIP; ++I)
        for (int K = 1; K <= 3; ++K) XIP[I][K] = 0.1 + 0.8 * ((I * step[K - 1]) % cycle[K - 1]) / double(cycle[K - 1]);
    auto potential = [](double X, double Y, double Z) { double UP; reference::POTINT(X, Y, Z, UP); return UP; };
    for (int n : {1, 2}) {
        const std::vector<std::string> out = onThreads(n, [] { INTPTS(); });
        ASSERT_EQ(out.size(), std::size_t(NIP / 10));
        expectProgress(out, " Internal points #", NIP);
        int bad = 0;
        for (int I = 1; I <= NIP; ++I) {
            const double X = XIP[I][1], Y = XIP[I][2], Z = XIP[I][3], u0 = potential(X, Y, Z);
            bad += !fx::same(UIP[I], u0) + !fx::same(GRADV[1][I], (potential(X + DELTA, Y, Z) - u0) / DELTA) +
                   !fx::same(GRADV[2][I], (potential(X, Y + DELTA, Z) - u0) / DELTA) +
                   !fx::same(GRADV[3][I], (potential(X, Y, Z + DELTA) - u0) / DELTA);
        }
        EXPECT_EQ(bad, 0) << n << " threads";
    }
}

TEST(Threads, PacerKeepsToTheFasterCountAndFollowsTheLoad) {
    // Seconds per sweep on one and on two threads, before and after a change
    // of load halfway through 300 sweeps: the time of the sweeps against the
    // best that knowing those times beforehand gives.
    const struct { double one0, two0, one1, two1, bound; } cases[] = {
        {1.0, 0.6, 1.0, 0.6, 1.03},    // quiet: two threads
        {1.0, 3.0, 1.0, 3.0, 1.05},    // busy: one
        {1.0, 1.05, 1.0, 1.05, 1.03},  // about the same
        {1.0, 0.6, 1.2, 3.5, 1.05},    // the load comes
        {1.2, 3.5, 1.0, 0.6, 1.15},    // and goes: found by a trial
    };
    for (const auto& c : cases) {
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
}
