// The direct solve (see lu.hpp):
//
//   LUSOLV    LU factorisation and solve of the dense system
//   LUSOLVER  the solver made of it
#include <cmath>
#include <limits>
#include <cstddef>
#include <vector>

#include "QVLIB/STPWATCH/stpwatch.hpp"
#include "solver/kernels.hpp"
#include "solver/lu/lu.hpp"

extern "C" {
void dgetrf_(const int* m, const int* n, double* a, const int* lda, int* ipiv, int* info);
void dgetrs_(const char* trans, const int* n, const int* nrhs, const double* a, const int* lda,
             const int* ipiv, double* b, const int* ldb, int* info, std::size_t transLen);
void dgecon_(const char* norm, const int* n, const double* a, const int* lda, const double* anorm, double* rcond,
             double* work, int* iwork, int* info, std::size_t normLen);
}

namespace telma {

bool LUSOLV(int N, int M, double* A, int LDA, double* B, int LDB, int& INFO, double* RCOND) {
    INFO = 0;
    if (RCOND) *RCOND = 1.0;
    if (N == 0) return true;
    // The factors are those of the transpose: A x = b is its transposed
    // system, whose 1-norm is A's largest row sum.
    double ANORM = 0.0;
    if (RCOND)
#pragma omp parallel for reduction(max : ANORM)
        for (int I = 0; I < N; ++I) {
            double S = 0.0;
            for (int J = 0; J < N; ++J) S += std::fabs(A[static_cast<std::size_t>(I) * LDA + J]);
            ANORM = std::fmax(ANORM, S);
        }
    std::vector<int> IPIV(static_cast<std::size_t>(N));
    dgetrf_(&N, &N, A, &LDA, IPIV.data(), &INFO);
    if (INFO > 0) return false;
    if (RCOND) {
        std::vector<double> WORK(4 * static_cast<std::size_t>(N));
        std::vector<int> IWORK(static_cast<std::size_t>(N));
        int CINFO = 0;
        dgecon_("1", &N, A, &LDA, &ANORM, RCOND, WORK.data(), IWORK.data(), &CINFO, 1);
    }
    const char T = 'T';
    dgetrs_(&T, &N, &M, A, &LDA, IPIV.data(), B, &LDB, &INFO, 1);
    return true;
}

namespace {

// The solve of LUSOLVER: B's NRHS columns, stride NDIM.
SOLSTAT LUSTEP(const SOLREQ& R) {
    textio::OutUnit& con = textio::console();
    const int N = NBE, M = R.NRHS, LDA = NDIM;
    double* AF = &A(1, 1);
    SOLSTAT ST{"LU", STEPS::FACTORISATION};
    ST.EPS = R.EPS;
    ST.REACHED = -1.0;
    const std::size_t NN = static_cast<std::size_t>(N) * LDA;
    // The copy of the matrix that the residual needs, taken only when it
    // fits in half the free memory, so that the run never depends on swap.
    std::vector<double> A0;
    if (2.0 * NN * sizeof(double) < MEMAVAIL()) A0.assign(AF, AF + NN);
    const std::size_t NB = static_cast<std::size_t>(M - 1) * LDA + N;
    const std::vector<double> B0(&B[1], &B[1] + NB);
    qvlib::SWSTRT();
    int INFO = 0;
    double RCOND = 1.0;
    if (!LUSOLV(N, M, AF, LDA, &B[1], LDA, INFO, &RCOND)) {
        con.write("(' The matrix is singular : zero pivot at step',I8)", {INFO});
        ST.CONVGD = ST.RESULT = false;
        ST.NSTEP = INFO;
        return ST;
    }
    float t;
    qvlib::SWTIME(t);
    con.write("(' LU factorisation, time :',f8.3)", {t});
    con.write("(' Condition number estimate (1-norm) :',1PE10.3)", {1.0 / RCOND});
    // A solution is only reported when its residual is within the tolerance:
    // a singular system (an all-Neumann problem whose fluxes do not balance)
    // otherwise gives large numbers with a plausible look.
    const double LIMIT = R.EPS > 0.0 ? R.EPS : LUTOL;
    ST.EPS = LIMIT;
    if (A0.empty()) {
        con.write("(' Relative residual not computed: no memory for a copy of the matrix')");
        if (!(RCOND > std::numeric_limits<double>::epsilon())) ST.CONVGD = ST.RESULT = false;
        return ST;
    }
    // ||B - A x|| / ||B|| of each right-hand side, the largest of them.
    double worst = 0.0;
    for (int L = 0; L < M; ++L) {
        const double* x = &B[1] + static_cast<std::size_t>(L) * LDA;
        const double* b = B0.data() + static_cast<std::size_t>(L) * LDA;
        double rr = 0.0, bb = 0.0;
#pragma omp parallel for reduction(+ : rr, bb)
        for (int I = 0; I < N; ++I) {
            const double* row = A0.data() + static_cast<std::size_t>(I) * LDA;
            double s = 0.0;
            for (int J = 0; J < N; ++J) s += row[J] * x[J];
            rr += (b[I] - s) * (b[I] - s);
            bb += b[I] * b[I];
        }
        worst = std::fmax(worst, bb > 0.0 ? std::sqrt(rr / bb) : std::sqrt(rr));
    }
    con.write("(' Relative residual ||B - A x|| / ||B|| :',1PE10.3)", {worst});
    ST.REACHED = worst;
    if (!(worst <= LIMIT)) ST.CONVGD = ST.RESULT = false;
    return ST;
}

}  // namespace

const SOLVER LUSOLVER = {"lu", 0.0, false, true, false, DNBILD, DOMTST, LUSTEP, [](const SOLREQ&) { INTPTS(); }};

}  // namespace telma
