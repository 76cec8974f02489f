// Gauss-Seidel solution of the dense boundary system.
#include <cmath>

#include "solver/telma.hpp"

namespace telma {

bool ITSOLV(const double* A, double* B, double* X, int N, int M, int LDA, double EPS,
            int& IER) {
    textio::OutUnit& con = textio::console();
    // An empty system has nothing to sweep (and no RMS to form).
    if (N <= 0 || M <= 0) return true;
    int NITER = 0;
    double ERR = 2.0 * EPS;
    bool ok = true;
    while (EPS < ERR) {
        ERR = 0.0;
        for (int I = 0; I < N; ++I) {
            const double* row = A + static_cast<std::size_t>(I) * LDA;
            for (int L = 0; L < M; ++L) {
                double* x = X + static_cast<std::size_t>(L) * LDA;
                double S = 0.0;
                for (int J = 0; J < I; ++J) S += x[J] * row[J];
                for (int J = I + 1; J < N; ++J) S += x[J] * row[J];
                const double XNEW = (B[static_cast<std::size_t>(L) * LDA + I] - S) / row[I];
                const double D = x[I] - XNEW;
                x[I] = XNEW;
                ERR += D * D;
            }
        }
        ERR = std::sqrt(ERR / (M * N));
        ++NITER;
        con.write("(' Niter :',i3,'  RMS error :',1Pe10.3)", {NITER, ERR});
        if (NITER > N) IER = -NITER;
        if (!std::isfinite(ERR)) {
            con.write("(' SOLUTION FAILED: THE RMS CHANGE IS NOT A FINITE NUMBER AFTER SWEEP',i4)",
                      {NITER});
            ok = false;
            break;
        }
        if (EPS < ERR && NITER >= MAXIT) {
            con.write("(' SOLUTION FAILED: NO CONVERGENCE IN',i4,' SWEEPS (RMS CHANGE',"
                      "1Pe10.3,', TOLERANCE',1Pe10.3,')')",
                      {NITER, ERR, EPS});
            ok = false;
            break;
        }
    }
    if (!ok) IER = -NITER;
    for (int L = 0; L < M; ++L)
        for (int I = 0; I < N; ++I)
            B[static_cast<std::size_t>(L) * LDA + I] = X[static_cast<std::size_t>(L) * LDA + I];
    return ok;
}

}  // namespace telma
