// Assembly of the boundary system, row by row, and the dominance test.
#include <cmath>

#include "QVLIB/STPWATCH/stpwatch.hpp"
#include "solver/telma.hpp"

namespace telma {

void ASSEMB() {
    textio::OutUnit& con = textio::console();
    for (int I = 1; I <= NBE; ++I) {
        if (I % 10 == 0) {
            con.write("(' Calculation line #',i4,'/',i4,\\)", {I, NBE});
            float t;
            qvlib::SWTIME(t);
            con.write("(', time :',f8.3)", {t});
        }
        const double X = XC[I][1], Y = XC[I][2], Z = XC[I][3];
        double* row = &A(I, 1);
        double BI = 0.0;
        for (int J = 1; J <= NBE; ++J) {
            double AIJ = 0.0;
            double GSUM = 0.0;
            double HSUM = J == I ? -0.5 : 0.0;
            INFSYM(X, Y, Z, J, GSUM, HSUM);
            if (KODE[J] <= 0) {
                AIJ = AIJ + GSUM;
                BI = BI + VBC[J] * HSUM;
            } else {
                AIJ = AIJ - HSUM;
                BI = BI - VBC[J] * GSUM;
            }
            row[J - 1] = AIJ;
        }
        B[I] = BI;
    }
    con.write("()");
}

bool DOMTST(int N) {
    // Column sums gathered row by row: each column is still summed in
    // increasing row order, but the matrix is read in its storage order.
    static std::array<double, NBEMAX + 1> S;
    for (int J = 1; J <= N; ++J) S[J] = 0.0;
    for (int I = 1; I <= N; ++I) {
        const double* row = &A(I, 1);
        for (int J = 1; J <= N; ++J)
            if (I != J) S[J] += std::fabs(row[J - 1]);
    }
    bool dominant = true;
    for (int J = 1; J <= N; ++J)
        if (!(dominant && std::fabs(A(J, J)) > S[J])) dominant = false;
    return dominant;
}

}  // namespace telma
