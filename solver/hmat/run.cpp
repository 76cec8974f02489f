// HMSOLVER: the compressed solve as the run calls it (see hmat.hpp).
#include <algorithm>

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
    HI().vector_restore(x, S->T, N, nullptr, M);
    return ST;
}

// The phases as the run calls them, each with a heartbeat on the console:
// a compression can run for minutes between its counter's lines.
void BUILD(const SOLREQ& R) {
    const textio::HEARTBEAT beat("the compression");
    HMBILD(R);
}
SOLSTAT STEP(const SOLREQ& R) {
    const textio::HEARTBEAT beat("the solve");
    return HMSTEP(R);
}
void POINTS(const SOLREQ& R) {
    const textio::HEARTBEAT beat("the internal points");
    HMPNTS(R);
}
void SUMS(const SOLREQ& R, std::vector<double>& U, std::vector<double>& K) {
    const textio::HEARTBEAT beat("the sums over the charges");
    HMSUMS(R, U, K);
}

}  // namespace hm

const SOLVER HMSOLVER = {"hmat", TOLHM, false, false, true, hm::BUILD, nullptr, hm::STEP, hm::POINTS, hm::SUMS};

}  // namespace telma
