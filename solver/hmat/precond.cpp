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
    const int N = static_cast<int>(s.DINV.size());
    std::copy(x, x + N, y);
    if (s.TL) HMOK(HI().vector_reorder(y, s.TL, N, nullptr, 1), "vector_reorder");
    HMOK(HI().solve_dense(s.LU, y, 1), "solve_dense");
    if (s.TL) HMOK(HI().vector_restore(y, s.TL, N, nullptr, 1), "vector_restore");
}

// The coarse operator to factorise: the whole system in one process, else
// the process's diagonal block, on a tree of its own elements (the rows'
// nodes are their own elements').
hmat_matrix_t* coarse(SYSTEM& S) {
    if (S.PR.SIZE == 1) return compress(S.KA, S.T, S.T, PRETOL, nullptr);
    const int* mine = hmat_cluster_get_indices(S.T) + S.R0;
    S.DW.P.resize(3 * static_cast<std::size_t>(S.NL));
    S.DW.OWN.assign(mine, mine + S.NL);
    S.COLOF.assign(S.P.size() / 3, -1);
    for (int c = 0; c < S.NL; ++c) {
        S.COLOF[mine[c]] = c;
        std::copy_n(&S.P[3 * static_cast<std::size_t>(mine[c])], 3, &S.DW.P[3 * static_cast<std::size_t>(c)]);
    }
    KERNEL K = S.KA;
    K.P = S.DW.P.data();
    K.OWN = S.DW.OWN.data();
    K.COLS = mine;
    K.COLOF = S.COLOF.data();
    S.TL = tree(S.NL, true, nullptr, mine);
    return compress(K, S.TL, S.TL, PRETOL, nullptr);
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
        S.LU = coarse(S);
        hmat_factorization_context_t fc;
        hmat_factorization_context_init(&fc);
        fc.factorization = hmat_factorization_lu;
        fc.progress = nullptr;
        HMOK(hi.factorize_generic(S.LU, &fc), "factorize_generic");
        LAPACKCHK();
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
    rr = SUMALL(rr, S.PR);
    bb = SUMALL(bb, S.PR);
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
