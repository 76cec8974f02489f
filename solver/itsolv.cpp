// Gauss-Seidel solution of the dense boundary system:
//
//   GSSOLVER the classic solver: the dense system assembled, then ITSOLV
//   ITSOLV   the sweeps until the RMS change is below the tolerance
//   ITERATE  the loop of sweeps, its lines and failure messages
//   GSSWEEP  one sweep, on one thread or shared by two
//   PACER    the thread count of each sweep, from the times of the sweeps
#include <omp.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cmath>

// Vector instructions where the processor has them, unless the portable
// paths are asked for (TELMA_SCALAR_KERNELS) to check that they give the same
// bits.
#if defined(__SSE2__) && !defined(TELMA_SCALAR_KERNELS)
#define TELMA_SSE2 1
#include <emmintrin.h>
#endif

#include "solver/kernels.hpp"

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
//   prefix sum PREFIX(I) that the other thread has formed over the columns
//   below the block before I's block, adds the few remaining new-value columns up
//   to I - 1, then the old-value columns above I, and stores the new X(I);
// - the prefix thread advances the prefix sums of the rows ahead, a block of
//   BLOCK rows side by side, up to the columns whose X is final, the nearest
//   block first.  It stays one block behind the row thread: the prefix of
//   block m ends where block m - 1 begins, so it can be completed while the
//   row thread is still in block m - 1 (blocks 0 and 1 have none).
//
// Every addition is the one a single thread makes, in the same order, so the
// results are the same bits; the row thread's chain covers about half of the
// matrix, and the two threads together read it once.
constexpr int BLOCK = 32;       // rows per block (a multiple of 8)
constexpr int CHUNK = 256;      // columns per piece of work ahead of the nearest block
constexpr int MINSEG = 64;      // fewest columns worth a piece of work ahead of it
constexpr int ROW_PREFETCH = 1024;   // how far ahead the row thread prefetches, in entries
constexpr int PREFIX_PREFETCH = 128; // and the prefix thread

double PREFIX[NBEMAX];             // prefix sums of the rows
int SUMMED[NBEMAX / BLOCK + 2];    // per block: columns 0..SUMMED-1 are in its PREFIX

// A count that one thread of a sweep raises and the other waits on.  The
// waiter spins for a short while, since the other thread is normally a few
// rows away, then sleeps until woken: when other processes share the cores,
// the thread it waits for may be off its core for a whole time slice, and a
// waiter that kept spinning would hold a core that thread needs.
struct alignas(64) SIGNAL {
    std::atomic<int> value{0};
    std::atomic<int> want{INT_MAX};  // a sleeping waiter: until value > want
};

// FRONT: rows done in this sweep.  READY: blocks 0..READY-1 have their
// prefix sums complete (blocks 0 and 1 need none, so a sweep starts at 2).
// Kept apart so that the two threads do not write the same cache line.
SIGNAL FRONT, READY;

// How long a waiter spins before it sleeps: longer than the other thread
// takes for a few rows on a core of its own.
constexpr auto SPIN = std::chrono::microseconds(100);

inline void prefetch(const double* p) {
#if defined(TELMA_SSE2)
    _mm_prefetch(reinterpret_cast<const char*>(p), _MM_HINT_T0);
#else
    (void)p;
#endif
}

inline void relax() {
#if defined(TELMA_SSE2)
    _mm_pause();
#endif
}

// Sets S to v, and wakes its waiter if it sleeps until a value below v.
inline void raise(SIGNAL& S, int v) {
    S.value.store(v, std::memory_order_seq_cst);
    int w = S.want.load(std::memory_order_seq_cst);
    // one wake per sleep: the exchange fails if the waiter has moved on
    if (v > w && S.want.compare_exchange_strong(w, INT_MAX)) S.value.notify_one();
}

// Waits until S's value is above v.
inline void waitAbove(SIGNAL& S, int v) {
    if (S.value.load(std::memory_order_acquire) > v) return;
    const auto until = std::chrono::steady_clock::now() + SPIN;
    for (int k = 1;; ++k) {
        relax();
        if (S.value.load(std::memory_order_acquire) > v) return;
        if (k % 64 == 0 && std::chrono::steady_clock::now() > until) break;
    }
    S.want.store(v, std::memory_order_seq_cst);
    for (int cur; (cur = S.value.load(std::memory_order_seq_cst)) <= v;) S.value.wait(cur);
    S.want.store(INT_MAX, std::memory_order_seq_cst);
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

// First column that the row thread sums itself for the rows of block m: the
// prefix thread covers the columns below block m - 1.
inline int firstOwnColumn(int m) { return std::max(0, (m - 1) * BLOCK); }

// The rows of the sweep in order; piped: with the prefix sums of the other
// thread.
double rowsInOrder(const double* A, const double* B, double* X, int N, int LDA, bool piped) {
    double ERR = 0.0;
    for (int I = 0; I < N; ++I) {
        const double* a = A + static_cast<std::size_t>(I) * LDA;
        const int m = I / BLOCK;  // the block of row I
        int own = 0;              // first column this thread sums for row I
        double S = 0.0;
        if (piped) {
            if (I % BLOCK == 0) waitAbove(READY, m);
            own = firstOwnColumn(m);
            if (m >= 2) S = PREFIX[I];
        }
        // the rest of the row after the next row's start, so that the next
        // row finds its first entries on the way
        const int nextOwn = piped ? firstOwnColumn((I + 1) / BLOCK) : 0;
        const double* next = I + 1 < N ? a + LDA : a;
        const int split = std::max(I + 1, N - ROW_PREFETCH);
        S = chain(S, X, a, own, I, a + ROW_PREFETCH);
        S = chain(S, X, a, I + 1, split, a + ROW_PREFETCH);
        S = chain(S, X, a, split, N, next + nextOwn - (N - ROW_PREFETCH));
        const double XNEW = (B[I] - S) / a[I];
        const double D = X[I] - XNEW;
        X[I] = XNEW;
        ERR += D * D;
        if (piped) raise(FRONT, I + 1);
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
        double p0 = PREFIX[r], p1 = PREFIX[r + 1], p2 = PREFIX[r + 2], p3 = PREFIX[r + 3];
        for (int J = c0; J < c1; ++J) {
            if ((J & 7) == 0) {
                prefetch(a0 + J + PREFIX_PREFETCH);
                prefetch(a1 + J + PREFIX_PREFETCH);
                prefetch(a2 + J + PREFIX_PREFETCH);
                prefetch(a3 + J + PREFIX_PREFETCH);
            }
            const double x = X[J];
            p0 += x * a0[J];
            p1 += x * a1[J];
            p2 += x * a2[J];
            p3 += x * a3[J];
        }
        PREFIX[r] = p0;
        PREFIX[r + 1] = p1;
        PREFIX[r + 2] = p2;
        PREFIX[r + 3] = p3;
    }
    for (; r < r1; ++r) {
        const double* a = A + static_cast<std::size_t>(r) * LDA;
        double p = PREFIX[r];
        for (int J = c0; J < c1; ++J) p += X[J] * a[J];
        PREFIX[r] = p;
    }
}

// The prefix thread's part of a sweep.
void prefixes(const double* A, const double* X, int N, int LDA) {
    const int blocks = (N + BLOCK - 1) / BLOCK;
    for (int m = 2; m < blocks; ++m) SUMMED[m] = 0;
    for (int I = 2 * BLOCK; I < N; ++I) PREFIX[I] = 0.0;
    int nearest = 2;  // the nearest block whose prefix sums are not complete
    while (nearest < blocks) {
        // the columns whose X is final, rounded down to a multiple of 8 so
        // that pieces of work start on a cache line (8 entries) of each row
        const int done = FRONT.value.load(std::memory_order_acquire) & ~7;
        bool worked = false;
        for (int m = nearest; m < blocks && !worked; ++m) {
            int target = std::min(firstOwnColumn(m), done);
            if (m > nearest) {
                target = std::min(target, SUMMED[m] + CHUNK);
                // long runs of a row read the memory better than short ones
                if (target - SUMMED[m] < MINSEG && target < firstOwnColumn(m)) target = SUMMED[m];
            }
            if (target > SUMMED[m]) {
                advance(A, X, LDA, m * BLOCK, std::min(N, (m + 1) * BLOCK), SUMMED[m], target);
                SUMMED[m] = target;
                worked = true;
            }
            if (m == nearest && SUMMED[m] == firstOwnColumn(m)) {
                raise(READY, m + 1);
                ++nearest;
                worked = true;
            }
        }
        // nothing to do until the row thread has done the next cache line
        if (!worked) waitAbove(FRONT, done + 7);
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
    FRONT.value.store(0, std::memory_order_relaxed);
    READY.value.store(2, std::memory_order_relaxed);  // blocks 0 and 1 have no prefix
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

PACER::PACER(int MOST) : best_(MOST), next_(MOST), fixed_(MOST < 2) {}

void PACER::took(double SECONDS) {
    if (fixed_) return;
    const int k = next_;
    if (!warm_) {
        warm_ = true;
        next_ = 1;
        return;
    }
    // the count in use follows the load smoothly; a trial is one sample
    T_[k] = T_[k] == 0.0 || k != best_ ? SECONDS : T_[k] + 0.25 * (SECONDS - T_[k]);
    if (T_[2] == 0.0) {
        next_ = 2;
        return;
    }
    const int was = best_;
    best_ = T_[2] <= T_[1] ? 2 : 1;
    const int other = 3 - best_;
    if (k != was || best_ != was || wait_ == 0) {
        // after a trial, a change or the first timings: a trial costs r - 1
        // sweeps' worth of time, one every wait_ sweeps
        const double r = T_[other] / T_[best_];
        wait_ = static_cast<int>(std::clamp(std::ceil((r - 1.0) / TRIAL), 4.0, 64.0));
    } else {
        --wait_;
    }
    next_ = wait_ <= 0 ? other : best_;
}

bool ITERATE(const std::function<double()>& SWEEP, double* B, const double* X, int N, int M,
             int LDA, double EPS, int& IER, SOLSTAT& ST) {
    ST = {};
    ST.EPS = EPS;
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
    ST.CONVGD = ok;
    ST.NSTEP = NITER;
    ST.REACHED = ERR;
    for (int L = 0; L < M; ++L)
        for (int I = 0; I < N; ++I)
            B[static_cast<std::size_t>(L) * LDA + I] = X[static_cast<std::size_t>(L) * LDA + I];
    return ok;
}

bool ITSOLV(const double* A, double* B, double* X, int N, int M, int LDA, double EPS,
            int& IER) {
    SOLSTAT ST;
    return ITSOLV(A, B, X, N, M, LDA, EPS, IER, ST);
}

bool ITSOLV(const double* A, double* B, double* X, int N, int M, int LDA, double EPS,
            int& IER, SOLSTAT& ST) {
    // Small systems are not worth a second thread, and the two threads of a
    // sweep wait for each other, so they need two processors; PACER keeps to
    // one while other work on the processors makes two the slower.
    const int threads =
        omp_get_max_threads() >= 2 && omp_get_num_procs() >= 2 && N >= 8 * BLOCK ? 2 : 1;
    PACER pace(threads);
    auto sweep = [&] {
        if (M == 1) {
            const auto t0 = std::chrono::steady_clock::now();
            const double ERR = GSSWEEP(A, B, X, N, LDA, pace.threads());
            pace.took(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
            return ERR;
        }
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
    return ITERATE(sweep, B, X, N, M, LDA, EPS, IER, ST);
}

const SOLVER GSSOLVER = {
    "gs", EPSIT, true, true, false,
    DNBILD,
    DOMTST,
    [](const SOLREQ& R) {
        SOLSTAT ST;
        ITSOLV(&A(1, 1), &B[1], &XIT[1], NBE, R.NRHS, NDIM, R.EPS, IER, ST);
        return ST;
    },
    [](const SOLREQ&) { INTPTS(); }};

}  // namespace telma
