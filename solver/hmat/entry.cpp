// The matrix entry of a compressed operator, and the test of a block that is
// zero (see hmlib.hpp).
#include <algorithm>
#include <cmath>

#include "solver/hmat/hmlib.hpp"
#include "solver/media.hpp"

namespace telma::hm {

namespace {

// The entry of the charge formulation.
double mediaEntry(const KERNEL& K, int i, int j) {
    const int e = K.OWN[i];
    const double rg = K.RG[e], rd = K.RD[e];
    const double X = K.P[3 * i], Y = K.P[3 * i + 1], Z = K.P[3 * i + 2];
    double GS = 0.0, HS = 0.0, DS = 0.0;  // DS stays 0 without RD
    if (rd != 0.0)
        GRDSYM(X, Y, Z, j + 1, ELD[e + 1].EN, GS, HS, DS);
    else if (rg != 0.0 || K.RH)  // else an interface between equal media: no G
        INFSYM(X, Y, Z, j + 1, GS, HS);
    double v = rg * GS + rd * DS;
    if (K.RH) v += K.RH[e] * HS;
    if (K.RM) v += K.RM[e] * MDMID(e + 1, j + 1);
    if (K.RJ && e == j) v += K.RJ[e];
    return v;
}

}  // namespace

double entry(const KERNEL& K, int i, int c) {
    const int j = K.COLS ? K.COLS[c] : c;
    if (K.RD) return mediaEntry(K, i, j);
    const double wh = K.WH[j], wg = K.WG[j];
    if (wh == 0.0 && wg == 0.0) return 0.0;
    const double X = K.P[3 * i], Y = K.P[3 * i + 1], Z = K.P[3 * i + 2];
    double GS = 0.0, HS = K.OWN && K.OWN[i] == j ? -0.5 : 0.0;
    const int D = K.FD ? i % 4 : 0;
    if (D == 0) {
        if (K.FAR)
            INFFAR(*K.FAR, X, Y, Z, j + 1, GS, HS);
        else
            INFSYM(X, Y, Z, j + 1, GS, HS);
        return wh * HS + wg * GS;
    }
    double G1 = 0.0, H1 = 0.0;
    if (K.FAR) {
        const double S[3] = {D == 1 ? DELTA : 0.0, D == 2 ? DELTA : 0.0, D == 3 ? DELTA : 0.0};
        INFFAR(*K.FAR, X, Y, Z, j + 1, GS, HS, S, &G1, &H1);
    } else {
        INFSYM(X, Y, Z, j + 1, GS, HS);
        INFSYM(D == 1 ? X + DELTA : X, D == 2 ? Y + DELTA : Y, D == 3 ? Z + DELTA : Z, j + 1, G1, H1);
    }
    return (wh * H1 + wg * G1 - (wh * HS + wg * GS)) / DELTA;
}

bool flat(const KERNEL& K, const int* R, int NR, const int* C, int NC) {
    auto element = [&K, C](int c) { return K.COLS ? K.COLS[C[c]] : C[c]; };
    const ELDATA& E0 = ELD[element(0) + 1];
    const double* n = E0.EN;
    const double d = n[0] * E0.XN[0] + n[1] * E0.XN[1] + n[2] * E0.XN[2];
    double tol = 0.0;  // a tenth of a millionth of a millionth of its longest edge
    for (int M = 0; M < E0.NV; ++M) tol = std::max(tol, 1.0e-10 * E0.EL[M]);
    for (int c = 0; c < NC; ++c) {
        const ELDATA& E = ELD[element(c) + 1];
        if (!K.RD && K.WG[element(c)] != 0.0) return false;
        const double dot = n[0] * E.EN[0] + n[1] * E.EN[1] + n[2] * E.EN[2];
        const double off = n[0] * E.XN[0] + n[1] * E.XN[1] + n[2] * E.XN[2] - d;
        if (std::fabs(std::fabs(dot) - 1.0) > 1.0e-12 || std::fabs(off) > tol) return false;
    }
    for (int r = 0; r < NR; ++r) {
        if (K.RD) {
            // a normal derivative along the plane's normal only, its direction
            // mirrored as each image's gradient is
            const int e = K.OWN[R[r]];
            if (K.RG[e] != 0.0) return false;
            const double* m = ELD[e + 1].EN;
            double KX[8], KY[8], KZ[8];
            int W[8];
            const int NI = images(1.0, 1.0, 1.0, KX, KY, KZ, W);  // the mirror signs of each image
            for (int k = 0; k < NI; ++k)
                if (std::fabs(std::fabs(KX[k] * n[0] * m[0] + KY[k] * n[1] * m[1] + KZ[k] * n[2] * m[2]) - 1.0) > 1.0e-12)
                    return false;
        }
        const double* p = &K.P[3 * R[r]];
        const int D = K.FD ? R[r] % 4 : 0;  // a difference row moves its point
        double X[8], Y[8], Z[8];
        int W[8];
        const int NI = images(D == 1 ? p[0] + DELTA : p[0], D == 2 ? p[1] + DELTA : p[1],
                              D == 3 ? p[2] + DELTA : p[2], X, Y, Z, W);
        for (int k = 0; k < NI; ++k)
            if (std::fabs(n[0] * X[k] + n[1] * Y[k] + n[2] * Z[k] - d) > tol) return false;
    }
    return true;
}

}  // namespace telma::hm
