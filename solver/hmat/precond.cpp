// One solve of the compressed system, and when it pays the preconditioner
// beyond the diagonal (see hmlib.hpp).
#include <algorithm>
#include <cmath>

#include "QVLIB/STPWATCH/stpwatch.hpp"
#include "solver/hmat/hmlib.hpp"

namespace telma::hm {

namespace {

// GMRES runs first with the diagonal alone as preconditioner, which suits
// most meshes.  When after FIRST iterations it has not reached the tolerance
// and would not at its rate within FIRST more, or has not after 2 FIRST more,
// it goes on with the LU factorisation of the operator compressed to PRETOL,
// which costs more to build than many iterations but tames the badly
// conditioned systems (thin plates, mixed conditions).
constexpr int FIRST = 50;
constexpr double PRETOL = 1.0e-1;
constexpr int MAXITER = 1000;  // GMRES iterations at most

void diagonal(void* c, const double* x, double* y) {
    const SYSTEM& s = *static_cast<SYSTEM*>(c);
    for (std::size_t I = 0; I < s.DINV.size(); ++I) y[I] = s.DINV[I] * x[I];
}

void coarseLU(void* c, const double* x, double* y) {
    const SYSTEM& s = *static_cast<SYSTEM*>(c);
    std::copy(x, x + s.DINV.size(), y);
    HI().solve_dense(s.LU, y, 1);
}

// Whether GMRES, having brought the relative residual from 1 to RES in NIT
// iterations, reaches EPS at that rate within LATER more.
bool promising(double RES, int NIT, double EPS, int LATER) {
    return NIT > 0 && RES < 1.0 && NIT * std::log(EPS / RES) / std::log(RES) <= LATER;
}

}  // namespace

bool SOLVE1(SYSTEM& S, const double* b, double* x, double EPS, int COMM, int& NIT, double& REL) {
    const int N = static_cast<int>(S.DINV.size());
    hmat_interface_t& hi = HI();
    textio::OutUnit& con = textio::console();
    std::fill(x, x + N, 0.0);
    int nit = 0;
    double res = 1.0;
    bool ok = false;
    if (!S.LU) {
        ok = GMRES({N, mult, diagonal, &S}, b, x, EPS, FIRST, COMM, nit, res);
        if (!ok && promising(res, nit, EPS, FIRST))
            ok = GMRES({N, mult, diagonal, &S}, b, x, EPS, 2 * FIRST, COMM, nit, res);
    }
    float t;
    if (!ok && !S.LU) {
        S.LU = compress(S.KA, S.T, S.T, PRETOL, nullptr);
        hmat_factorization_context_t fc;
        hmat_factorization_context_init(&fc);
        fc.factorization = hmat_factorization_lu;
        fc.progress = nullptr;
        hi.factorize_generic(S.LU, &fc);
        qvlib::SWTIME(t);
        con.write("(' Preconditioner factorised, time :',f8.3)", {t});
    }
    if (!ok) ok = GMRES({N, mult, coarseLU, &S}, b, x, EPS, MAXITER - nit, COMM, nit, res);
    qvlib::SWTIME(t);
    con.write("(' GMRES iterations :',i5,', time :',f8.3)", {nit, t});
    std::vector<double> ax(N);
    mult(&S, x, ax.data());
    double rr = 0.0, bb = 0.0;
    for (int I = 0; I < N; ++I) {
        rr += (b[I] - ax[I]) * (b[I] - ax[I]);
        bb += b[I] * b[I];
    }
    REL = bb > 0.0 ? std::sqrt(rr / bb) : std::sqrt(rr);
    NIT = nit;
    con.write("(' Relative residual ||B - A x||/||B|| :',1Pe10.3)", {REL});
    // The residual recomputed may exceed the one GMRES updates by rounding; a
    // breakdown of GMRES ends it with a residual that says nothing of EPS.
    const bool solved = ok && REL <= 1.5 * EPS;
    if (!solved) con.write("(' *** GMRES DID NOT REACH THE TOLERANCE',1Pe10.3,' ***')", {EPS});
    return solved;
}

}  // namespace telma::hm
