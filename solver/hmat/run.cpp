// HMSOLVER: the compressed solve as the run calls it (see hmat.hpp).
#include "solver/hmat/hmlib.hpp"

namespace telma {

namespace hm {

SOLSTAT HMSTEP(const SOLREQ& R) {
    // The system is released with this solve, whichever way it ends.
    const std::unique_ptr<SYSTEM> S = std::move(HMSYS);
    const ONEBLAS one;
    const int N = NBE, M = S->NRHS;
    SOLSTAT ST{"GMRES", STEPS::ITERATIONS};
    ST.EPS = R.EPS;
    std::vector<double> x(static_cast<std::size_t>(N) * M, 0.0);
    for (int L = 0; L < M && ST.CONVGD; ++L) {
        const std::size_t at = static_cast<std::size_t>(L) * N;
        ST.CONVGD = SOLVE1(*S, &S->BT[at], &x[at], R.EPS, R.COMM, ST.NSTEP, ST.REACHED);
    }
    HI().vector_restore(x.data(), S->T, N, nullptr, M);
    for (int L = 0; L < M; ++L)
        for (int I = 1; I <= N; ++I) B[static_cast<std::size_t>(L) * N + I] = x[static_cast<std::size_t>(L) * N + I - 1];
    return ST;
}

}  // namespace hm

const SOLVER HMSOLVER = {"hmat", TOLHM, false, false, hm::HMBILD, nullptr, hm::HMSTEP, hm::HMPNTS};

}  // namespace telma
