// Gauss-Seidel solution of the dense boundary system.
#include <omp.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <thread>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "solver/telma.hpp"

namespace telma {

namespace {

// The sum of row I of a sweep is one chain of additions in increasing column
// order: the columns J < I with this sweep's new values, the columns J > I
// with the old ones.  The chain cannot be reordered, but its start can be
// formed early: once X(J) is final for all J below some column, the chain of
// a later row can be advanced up to that column.  Two threads share a sweep
// that way:
//
// - the row thread goes through the rows in order; for row I it takes the
//   prefix sum P(I) that the other thread has formed over the columns below
//   the block before I's block, adds the few remaining new-value columns up
//   to I - 1, then the old-value columns above I, and stores the new X(I);
// - the prefix thread advances the prefix sums of the rows ahead, a block of
//   CB rows side by side, up to the columns whose X is final, the nearest
//   block first.
//
// Every addition is the one a single thread makes, in the same order, so the
// results are the same bits; the row thread's chain covers about half of the
// matrix, and the two threads together read it once.
constexpr int CB = 32;          // rows per block (a multiple of 8)
constexpr int CHUNK = 256;      // columns per piece of work ahead of the nearest block
constexpr int MINSEG = 64;      // fewest columns worth a piece of work ahead of it
constexpr int PD = 1024;        // prefetch distance of the row thread, in entries
constexpr int PDP = 128;        // and of the prefix thread

double P[NBEMAX];               // prefix sums of the rows
int POS[NBEMAX / CB + 2];       // columns summed into P, per block

// Rows done in this sweep, and blocks whose prefix sums are complete; kept
// apart so that the two threads do not write the same cache line.
alignas(64) std::atomic<int> FRONT{0};
alignas(64) std::atomic<int> READY{0};

inline void prefetch(const double* p) {
#if defined(__SSE2__)
    _mm_prefetch(reinterpret_cast<const char*>(p), _MM_HINT_T0);
#else
    (void)p;
#endif
}

inline void relax() {
#if defined(__SSE2__)
    _mm_pause();
#endif
}

// Waits until flag > v; yields the core now and then in case the other
// thread is not running.
inline void waitAbove(const std::atomic<int>& flag, int v) {
    for (int spins = 0; flag.load(std::memory_order_acquire) <= v; ++spins) {
        relax();
        if (spins > 4096) {
            std::this_thread::yield();
            spins = 0;
        }
    }
}

// S + x(J) a(J) for J = j0..j1-1 in order; one prefetch of pf + J per 8 terms.
inline double chain(double S, const double* x, const double* a, int j0, int j1,
                    const double* pf) {
    int J = j0;
    for (; J + 8 <= j1; J += 8) {
        prefetch(pf + J);
        S += x[J] * a[J];
        S += x[J + 1] * a[J + 1];
        S += x[J + 2] * a[J + 2];
        S += x[J + 3] * a[J + 3];
        S += x[J + 4] * a[J + 4];
        S += x[J + 5] * a[J + 5];
        S += x[J + 6] * a[J + 6];
        S += x[J + 7] * a[J + 7];
    }
    for (; J < j1; ++J) S += x[J] * a[J];
    return S;
}

// First column that the row thread sums itself for the rows of block m.
inline int need(int m) { return std::max(0, (m - 1) * CB); }

// The rows of the sweep in order; piped: with the prefix sums of the other
// thread.
double rowsInOrder(const double* A, const double* B, double* X, int N, int LDA, bool piped) {
    double ERR = 0.0;
    for (int I = 0; I < N; ++I) {
        const double* a = A + static_cast<std::size_t>(I) * LDA;
        const int m = I / CB;
        int c0 = 0;
        double S = 0.0;
        if (piped) {
            if (I % CB == 0) waitAbove(READY, m);
            c0 = need(m);
            if (m >= 2) S = P[I];
        }
        // the rest of the row after the next row's start, so that the next
        // row finds its first entries on the way
        const int c0n = piped ? need((I + 1) / CB) : 0;
        const double* next = I + 1 < N ? a + LDA : a;
        const int split = std::max(I + 1, N - PD);
        S = chain(S, X, a, c0, I, a + PD);
        S = chain(S, X, a, I + 1, split, a + PD);
        S = chain(S, X, a, split, N, next + c0n - (N - PD));
        const double XNEW = (B[I] - S) / a[I];
        const double D = X[I] - XNEW;
        X[I] = XNEW;
        ERR += D * D;
        if (piped) FRONT.store(I + 1, std::memory_order_release);
    }
    return ERR;
}

// Advances the prefix sums of rows r0..r1-1 from column c0 to c1, the rows
// side by side.
void advance(const double* A, const double* X, int LDA, int r0, int r1, int c0, int c1) {
    int r = r0;
    for (; r + 4 <= r1; r += 4) {
        const double* a0 = A + static_cast<std::size_t>(r) * LDA;
        const double* a1 = a0 + LDA;
        const double* a2 = a1 + LDA;
        const double* a3 = a2 + LDA;
        double p0 = P[r], p1 = P[r + 1], p2 = P[r + 2], p3 = P[r + 3];
        for (int J = c0; J < c1; ++J) {
            if ((J & 7) == 0) {
                prefetch(a0 + J + PDP);
                prefetch(a1 + J + PDP);
                prefetch(a2 + J + PDP);
                prefetch(a3 + J + PDP);
            }
            const double x = X[J];
            p0 += x * a0[J];
            p1 += x * a1[J];
            p2 += x * a2[J];
            p3 += x * a3[J];
        }
        P[r] = p0;
        P[r + 1] = p1;
        P[r + 2] = p2;
        P[r + 3] = p3;
    }
    for (; r < r1; ++r) {
        const double* a = A + static_cast<std::size_t>(r) * LDA;
        double p = P[r];
        for (int J = c0; J < c1; ++J) p += X[J] * a[J];
        P[r] = p;
    }
}

// The prefix thread's part of a sweep.
void prefixes(const double* A, const double* X, int N, int LDA) {
    const int nb = (N + CB - 1) / CB;
    for (int m = 2; m < nb; ++m) POS[m] = 0;
    for (int I = 2 * CB; I < N; ++I) P[I] = 0.0;
    int lo = 2, idle = 0;
    while (lo < nb) {
        const int f = FRONT.load(std::memory_order_acquire) & ~7;
        bool worked = false;
        for (int m = lo; m < nb && !worked; ++m) {
            int target = std::min(need(m), f);
            if (m > lo) {
                target = std::min(target, POS[m] + CHUNK);
                // long runs of a row read the memory better than short ones
                if (target - POS[m] < MINSEG && target < need(m)) target = POS[m];
            }
            if (target > POS[m]) {
                advance(A, X, LDA, m * CB, std::min(N, (m + 1) * CB), POS[m], target);
                POS[m] = target;
                worked = true;
            }
            if (m == lo && POS[m] == need(m)) {
                READY.store(m + 1, std::memory_order_release);
                ++lo;
                worked = true;
            }
        }
        // the row thread may be sharing this core: give it way now and then
        if (worked)
            idle = 0;
        else if (++idle > 4096) {
            std::this_thread::yield();
            idle = 0;
        } else {
            relax();
        }
    }
}

// Right-hand sides whose row sums advance side by side in a sweep of several.
constexpr int RHSB = 4;

// S(L) = sum over J = 0..N-1, J /= I, of X(J,L) a(J) for the NL columns of X
// (stride LDA), each in increasing J as a sum of its own would be; the NL
// chains of additions are independent, so they overlap in the processor.
template <int NL>
void rowSums(const double* a, const double* X, int LDA, int I, int N, double* S) {
    const std::size_t LD = static_cast<std::size_t>(LDA);
    double s[NL] = {};
    for (int J = 0; J < I; ++J)
        for (int L = 0; L < NL; ++L) s[L] += X[L * LD + J] * a[J];
    for (int J = I + 1; J < N; ++J)
        for (int L = 0; L < NL; ++L) s[L] += X[L * LD + J] * a[J];
    for (int L = 0; L < NL; ++L) S[L] = s[L];
}

}  // namespace

double GSSWEEP(const double* A, const double* B, double* X, int N, int LDA, int THREADS) {
    if (THREADS < 2 || N > NBEMAX)
        return rowsInOrder(A, B, X, N, LDA, false);
    double ERR = 0.0;
    FRONT.store(0, std::memory_order_relaxed);
    READY.store(2, std::memory_order_relaxed);
#pragma omp parallel num_threads(2)
    {
        if (omp_get_num_threads() < 2) {
            ERR = rowsInOrder(A, B, X, N, LDA, false);
        } else if (omp_get_thread_num() == 0) {
            ERR = rowsInOrder(A, B, X, N, LDA, true);
        } else {
            prefixes(A, X, N, LDA);
        }
    }
    return ERR;
}

bool ITERATE(const std::function<double()>& SWEEP, double* B, const double* X, int N, int M,
             int LDA, double EPS, int& IER) {
    // An empty system has nothing to sweep (and no RMS to form).
    if (N <= 0 || M <= 0) return true;
    textio::OutUnit& con = textio::console();
    int NITER = 0;
    double ERR = 2.0 * EPS;
    bool ok = true;
    while (ok && EPS < ERR) {
        ERR = std::sqrt(SWEEP() / (M * N));
        ++NITER;
        con.write("(' Niter :',i3,'  RMS error :',1Pe10.3)", {NITER, ERR});
        if (NITER > N) IER = -NITER;
        if (!std::isfinite(ERR)) {
            con.write("(' SOLUTION FAILED: THE RMS CHANGE IS NOT A FINITE NUMBER AFTER SWEEP',i4)",
                      {NITER});
            ok = false;
        } else if (EPS < ERR && NITER >= MAXIT) {
            con.write("(' SOLUTION FAILED: NO CONVERGENCE IN',i4,' SWEEPS (RMS CHANGE',"
                      "1Pe10.3,', TOLERANCE',1Pe10.3,')')",
                      {NITER, ERR, EPS});
            ok = false;
        }
    }
    if (!ok) IER = -NITER;
    for (int L = 0; L < M; ++L)
        for (int I = 0; I < N; ++I)
            B[static_cast<std::size_t>(L) * LDA + I] = X[static_cast<std::size_t>(L) * LDA + I];
    return ok;
}

bool ITSOLV(const double* A, double* B, double* X, int N, int M, int LDA, double EPS,
            int& IER) {
    // Small systems are not worth a second thread, and the two threads of a
    // sweep wait for each other, so they need two processors of their own.
    const int threads =
        omp_get_max_threads() >= 2 && omp_get_num_procs() >= 2 && N >= 8 * CB ? 2 : 1;
    auto sweep = [&] {
        if (M == 1) return GSSWEEP(A, B, X, N, LDA, threads);
        // several right-hand sides: row by row, each row for all of them
        double ERR = 0.0;
        double S[RHSB];
        for (int I = 0; I < N; ++I) {
            const double* row = A + static_cast<std::size_t>(I) * LDA;
            for (int L0 = 0; L0 < M; L0 += RHSB) {
                const double* x0 = X + static_cast<std::size_t>(L0) * LDA;
                switch (std::min(RHSB, M - L0)) {
                    case 4: rowSums<4>(row, x0, LDA, I, N, S); break;
                    case 3: rowSums<3>(row, x0, LDA, I, N, S); break;
                    case 2: rowSums<2>(row, x0, LDA, I, N, S); break;
                    default: rowSums<1>(row, x0, LDA, I, N, S);
                }
                for (int L = L0; L < std::min(M, L0 + RHSB); ++L) {
                    double* x = X + static_cast<std::size_t>(L) * LDA;
                    const double XNEW = (B[static_cast<std::size_t>(L) * LDA + I] - S[L - L0]) / row[I];
                    const double D = x[I] - XNEW;
                    x[I] = XNEW;
                    ERR += D * D;
                }
            }
        }
        return ERR;
    };
    return ITERATE(sweep, B, X, N, M, LDA, EPS, IER);
}

}  // namespace telma
