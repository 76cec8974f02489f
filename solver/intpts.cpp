// The internal points:
//
//   POTINT  the potential at one point
//   INTPTS  potential and gradient at every internal point
#include <algorithm>

#include "QVLIB/STPWATCH/stpwatch.hpp"
#include "solver/kernels.hpp"
#include "solver/media.hpp"

namespace telma {

void POTINT(double X, double Y, double Z, double& UP) {
    double up = 0.0;
    double GSUM[PIECE], HSUM[PIECE];
    for (int J0 = 1; J0 <= NBE; J0 += PIECE) {
        const int J1 = std::min(NBE + 1, J0 + PIECE);
        for (int J = J0; J < J1; ++J) GSUM[J - J0] = HSUM[J - J0] = 0.0;
        INFSYMS(X, Y, Z, J0, J1, GSUM, HSUM);
        if (MEDIA)  // the potential of the charges
            for (int J = J0; J < J1; ++J) up = up - SIGMA[J] * GSUM[J - J0];
        else
            for (int J = J0; J < J1; ++J) up = up + VBC[J] * HSUM[J - J0] - B[J] * GSUM[J - J0];
    }
    UP = up;
}

void INTPTS() {
    if (NIP == 0) return;
    qvlib::SWSTRT();
    // Each point is computed whole by one thread and written to its own
    // place, so the results do not depend on the number of threads.
    PROGRESS progress("(' Internal points #',i4,'/',i4,\\)", NIP);
#pragma omp parallel for schedule(dynamic, 1)
    for (int I = 1; I <= NIP; ++I) {
        const double X = XIP[I][1], Y = XIP[I][2], Z = XIP[I][3];
        POTINT(X, Y, Z, UIP[I]);
        POTINT(X + DELTA, Y, Z, GRADV[1][I]);
        POTINT(X, Y + DELTA, Z, GRADV[2][I]);
        POTINT(X, Y, Z + DELTA, GRADV[3][I]);
        for (int K = 1; K <= 3; ++K) GRADV[K][I] = (GRADV[K][I] - UIP[I]) / DELTA;
        progress.done(I);
    }
}

}  // namespace telma
