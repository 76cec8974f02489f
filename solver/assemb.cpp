// The boundary system:
//
//   ASSEMB  assembles A and B row by row, the rows on several threads
//   DNBILD  the dense operator: the matrix made, then ASSEMB (after MDPREP
//           with media)
//   DOMTST  diagonal dominance of A by columns
#include <omp.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "solver/kernels.hpp"
#include "solver/media.hpp"

namespace telma {

namespace {

// Row I of A and B(I), the columns in increasing order; with NRHS > 1 the
// further right-hand sides B(I,L) from VRHS likewise.
void assembleRow(int I, int NRHS, const double* VRHS) {
    const double X = XC[I][1], Y = XC[I][2], Z = XC[I][3];
    double* row = &A(I, 1);
    double BI = 0.0;
    double GSUM[PIECE], HSUM[PIECE];
    std::vector<double> BL(NRHS > 1 ? static_cast<std::size_t>(NRHS) : 0, 0.0);  // B(I,L) at L - 1
    for (int J0 = 1; J0 <= NBE; J0 += PIECE) {
        const int J1 = std::min(NBE + 1, J0 + PIECE);
        for (int J = J0; J < J1; ++J) {
            GSUM[J - J0] = 0.0;
            HSUM[J - J0] = J == I ? -0.5 : 0.0;
        }
        INFSYMS(X, Y, Z, J0, J1, GSUM, HSUM);
        for (int J = J0; J < J1; ++J) {
            double AIJ = 0.0;
            if (KODE[J] <= 0) {
                AIJ = AIJ + GSUM[J - J0];
                BI = BI + VBC[J] * HSUM[J - J0];
            } else {
                AIJ = AIJ - HSUM[J - J0];
                BI = BI - VBC[J] * GSUM[J - J0];
            }
            row[J - 1] = AIJ;
        }
        for (int L = 2; L <= NRHS; ++L) {
            const double* V = VRHS + static_cast<std::size_t>(L - 2) * NBE;  // V[J - 1]: element J
            double S = BL[L - 1];
            for (int J = J0; J < J1; ++J)
                S += KODE[J] <= 0 ? V[J - 1] * HSUM[J - J0] : -V[J - 1] * GSUM[J - J0];
            BL[L - 1] = S;
        }
    }
    B[I] = BI;
    for (int L = 2; L <= NRHS; ++L) B[static_cast<std::size_t>(L - 1) * NBE + I] = BL[L - 1];
}

}  // namespace

void ASSEMB(int NRHS, const double* VRHS) {
    // Each row is computed whole by one thread and written to its own place,
    // so A and B do not depend on the number of threads.
    PROGRESS progress("(' Calculation line #',i4,'/',i4,\\)", NBE);
#pragma omp parallel for schedule(dynamic, 1)
    for (int I = 1; I <= NBE; ++I) {
        if (MEDIA)
            MDROW(I, NRHS, VRHS);
        else
            assembleRow(I, NRHS, VRHS);
        progress.done(I);
    }
    textio::console().write("()");
}

void DNBILD(const SOLREQ& R) {
    AMAT(NBE);
    if (MEDIA) MDPREP();
    ASSEMB(R.NRHS, R.VRHS);
}

bool DOMTST(int N) {
    // Column sums gathered row by row: each column is still summed in
    // increasing row order, but the matrix is read in its storage order.  The
    // threads take separate ranges of columns.
    std::vector<double> S(static_cast<std::size_t>(N) + 1);
#pragma omp parallel
    {
        const int nt = omp_get_num_threads(), t = omp_get_thread_num();
        const int J0 = 1 + static_cast<int>(static_cast<long long>(N) * t / nt);
        const int J1 = static_cast<int>(static_cast<long long>(N) * (t + 1) / nt);
        for (int J = J0; J <= J1; ++J) S[J] = 0.0;
        for (int I = 1; I <= N; ++I) {
            const double* row = &A(I, 1);
            for (int J = J0; J <= std::min(J1, I - 1); ++J) S[J] += std::fabs(row[J - 1]);
            for (int J = std::max(J0, I + 1); J <= J1; ++J) S[J] += std::fabs(row[J - 1]);
        }
    }
    for (int J = 1; J <= N; ++J)
        if (!(std::fabs(A(J, J)) > S[J])) return false;
    return true;
}

}  // namespace telma
