// HMSOLVER: the compressed solve as the run calls it (see hmat.hpp).
#include <sys/resource.h>

#include <algorithm>
#include <new>
#include <stdexcept>
#include <string>

#include "solver/hmat/hmlib.hpp"

namespace telma {

namespace hm {

SOLSTAT HMSTEP(const SOLREQ& R) {
    // The system is released with this solve, whichever way it ends.
    const std::unique_ptr<SYSTEM> S = std::move(HMSYS);
    const ONEBLAS one;
    const int N = NBE, M = R.NRHS;
    SOLSTAT ST{"GMRES", STEPS::ITERATIONS};
    ST.EPS = R.EPS;
    // B's columns hold the solutions in the tree's order until restored,
    // each process's rows gathered on every process.
    double* x = &B[1];
    std::fill(x, x + static_cast<std::size_t>(N) * M, 0.0);
    for (int L = 0; L < M && ST.CONVGD; ++L) {
        const std::size_t at = static_cast<std::size_t>(L) * N;
        ST.CONVGD = SOLVE1(*S, &S->BT[static_cast<std::size_t>(L) * S->NL], x + at + S->R0, R.EPS, R.COMM,
                           ST.NSTEP, ST.REACHED);
    }
    for (int L = 0; L < M; ++L) SHAREV(x + static_cast<std::size_t>(L) * N, N, S->PR);
    HMOK(HI().vector_restore(x, S->T, N, nullptr, M), "vector_restore");
    return ST;
}

// What memory there was when an allocation failed: the system's, and the
// limit of the process's address space when one is set (ulimit -v).
std::string memoryNow() {
    std::string s = MBTEXT(MEMAVAIL()) + " available now";
    rlimit r{};
    if (getrlimit(RLIMIT_AS, &r) == 0 && r.rlim_cur != RLIM_INFINITY)
        s += ", the process limited to " + MBTEXT(static_cast<double>(r.rlim_cur)) + " of address space";
    return s;
}

// PHASE: runs the phase F of the solve with a heartbeat on the console (a
// compression can run for minutes between its counter's lines); an
// allocation that fails in it is said in its words.
template <class F>
auto PHASE(const char* WHAT, F&& f) {
    const textio::HEARTBEAT beat(WHAT);
    try {
        return f();
    } catch (const std::bad_alloc&) {
        throw std::runtime_error(std::string("not enough memory for ") + WHAT + " (" + memoryNow() + ")");
    } catch (const HMFAIL& e) {
        throw std::runtime_error(std::string("the hierarchical-matrix library failed in ") + e.what() + ", in " +
                                 WHAT + ": most often not enough memory (" + memoryNow() +
                                 "); its own words are above");
    }
}

void BUILD(const SOLREQ& R) {
    PHASE("the compression", [&] { HMBILD(R); });
}
SOLSTAT STEP(const SOLREQ& R) {
    return PHASE("the solve", [&] { return HMSTEP(R); });
}
void POINTS(const SOLREQ& R) {
    PHASE("the internal points", [&] { HMPNTS(R); });
}
void SUMS(const SOLREQ& R, std::vector<double>& U, std::vector<double>& K) {
    PHASE("the sums over the charges", [&] { HMSUMS(R, U, K); });
}

}  // namespace hm

const SOLVER HMSOLVER = {"hmat", TOLHM, false, false, true, hm::BUILD, nullptr, hm::STEP, hm::POINTS, hm::SUMS, hm::MEMOP};

}  // namespace telma
