// Potential and gradient at the internal points.
#include "QVLIB/STPWATCH/stpwatch.hpp"
#include "solver/telma.hpp"

namespace telma {

void POTINT(double X, double Y, double Z, double& UP) {
    UP = 0.0;
    for (int J = 1; J <= NBE; ++J) {
        double GSUM = 0.0, HSUM = 0.0;
        INFSYM(X, Y, Z, J, GSUM, HSUM);
        UP = UP + VBC[J] * HSUM - B[J] * GSUM;
    }
}

void INTPTS() {
    if (NIP == 0) return;
    qvlib::SWSTRT();
    textio::OutUnit& con = textio::console();
    for (int I = 1; I <= NIP; ++I) {
        if (I % 10 == 0) {
            con.write("(' Internal points #',i4,'/',i4,\\)", {I, NIP});
            float t;
            qvlib::SWTIME(t);
            con.write("(', time :',f8.3)", {t});
        }
        const double X = XIP[I][1], Y = XIP[I][2], Z = XIP[I][3];
        POTINT(X, Y, Z, UIP[I]);
        POTINT(X + DELTA, Y, Z, GRADV[1][I]);
        POTINT(X, Y + DELTA, Z, GRADV[2][I]);
        POTINT(X, Y, Z + DELTA, GRADV[3][I]);
        for (int K = 1; K <= 3; ++K) GRADV[K][I] = (GRADV[K][I] - UIP[I]) / DELTA;
    }
}

}  // namespace telma
