// Element geometry: nodes, areas, the per-element frames of INFLU, and the
// refusal of elements that cannot be integrated.
#include <algorithm>
#include <cmath>

#include "solver/telma.hpp"

namespace telma {

std::array<ELDATA, NBEMAX + 1> ELD{};

namespace {

// Corners of element I as SHAPECHK takes them.
CORNERS cornersOf(int I) {
    CORNERS X{};
    const int NP = std::min(NPE[I], MAXV);
    for (int M = 1; M <= NP; ++M)
        for (int K = 1; K <= 3; ++K) X[M - 1][K - 1] = XE[I][M][K];
    return X;
}

// Node of an element: the plain average of its NP corners.
void centroid(int NP, const CORNERS& X, double xc[3]) {
    for (int K = 0; K < 3; ++K) {
        double s = 0.0;
        for (int M = 0; M < NP; ++M) s += X[M][K];
        xc[K] = s / static_cast<double>(NP);
    }
}

void centroid(int I, double xc[3]) { centroid(NPE[I], cornersOf(I), xc); }

double norm3(const double v[3]) { return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); }

// Steps 1, 2, 4, 5 and 7 of INFLU and the corner-only parts of step 8.1:
// everything that depends on the element alone.
void frame(int NV, const CORNERS& X, const double xc[3], ELDATA& E) {
    double V[MAXV][3];
    for (int M = 0; M < NV; ++M)
        for (int K = 0; K < 3; ++K) V[M][K] = X[M][K] - xc[K];
    double E1[3], E2[3];
    for (int K = 0; K < 3; ++K) {
        E1[K] = V[1][K] - V[0][K];
        E2[K] = V[2][K] - V[1][K];
    }
    const double c[3] = {E1[1] * E2[2] - E1[2] * E2[1], E1[2] * E2[0] - E1[0] * E2[2],
                         E1[0] * E2[1] - E1[1] * E2[0]};
    const double cn = norm3(c);
    const double e1n = norm3(E1);
    double* n = E.EN;
    double* t1 = E.T1;
    double* t2 = E.T2;
    for (int K = 0; K < 3; ++K) {
        n[K] = c[K] / cn;
        t1[K] = E1[K] / e1n;
        E.XN[K] = xc[K];
    }
    t2[0] = n[1] * t1[2] - n[2] * t1[1];
    t2[1] = n[2] * t1[0] - n[0] * t1[2];
    t2[2] = n[0] * t1[1] - n[1] * t1[0];
    for (int M = 0; M < NV; ++M) {
        E.XL[M] = V[M][0] * t1[0] + V[M][1] * t1[1] + V[M][2] * t1[2];
        E.YL[M] = V[M][0] * t2[0] + V[M][1] * t2[1] + V[M][2] * t2[2];
    }
    E.XL[NV] = E.XL[0];
    E.YL[NV] = E.YL[0];
    E.ELMAX = 0.0;
    for (int M = 0; M < NV; ++M) {
        const double dx = E.XL[M + 1] - E.XL[M];
        const double dy = E.YL[M + 1] - E.YL[M];
        const double L = std::sqrt(dy * dy + dx * dx);
        E.EL[M] = L;
        E.CX[M] = dx / L;
        E.CY[M] = dy / L;
        E.ELMAX = std::fmax(E.ELMAX, L);
    }
    // A triangle's unused fourth edge repeats its first, so that INFLU can
    // run the arithmetic of four edges side by side on finite values.
    for (int M = NV; M < MAXV; ++M) {
        E.XL[M + 1] = E.XL[M + 1 - NV];
        E.YL[M + 1] = E.YL[M + 1 - NV];
        E.EL[M] = E.EL[M - NV];
        E.CX[M] = E.CX[M - NV];
        E.CY[M] = E.CY[M - NV];
    }
    E.NV = NV;
}

void frame(int J, const double xc[3], ELDATA& E) { frame(NPE[J], cornersOf(J), xc, E); }

// Largest distance from the node xc to a corner: the scale of DEGTOL.
double sizeOf(int NP, const CORNERS& X, const double xc[3]) {
    double size = 0.0;
    for (int M = 0; M < NP; ++M) {
        const double v[3] = {X[M][0] - xc[0], X[M][1] - xc[1], X[M][2] - xc[2]};
        size = std::fmax(size, norm3(v));
    }
    return size;
}

[[noreturn]] void refuse(std::string_view fmt, std::initializer_list<textio::Item> items) {
    textio::console().write(fmt, items);
    textio::stop("*** FATAL ERROR ***", 1);
}

}  // namespace

SHAPEFAULT SHAPECHK(int NP, const CORNERS& X) {
    double xc[3];
    centroid(NP, X, xc);
    const double size = sizeOf(NP, X, xc);
    if (size > 0 && size < SIZEMIN) return {SHAPE::TOO_SMALL, 0};
    for (int M = 0; M < NP; ++M) {
        const int M2 = M == NP - 1 ? 0 : M + 1;
        const double e[3] = {X[M2][0] - X[M][0], X[M2][1] - X[M][1], X[M2][2] - X[M][2]};
        if (!(norm3(e) > DEGTOL * size)) return {SHAPE::ZERO_EDGE, M + 1};
    }
    double E1[3], E2[3];
    for (int K = 0; K < 3; ++K) {
        E1[K] = X[1][K] - X[0][K];
        E2[K] = X[2][K] - X[1][K];
    }
    const double c[3] = {E1[1] * E2[2] - E1[2] * E2[1], E1[2] * E2[0] - E1[0] * E2[2],
                         E1[0] * E2[1] - E1[1] * E2[0]};
    if (!(norm3(c) > DEGTOL * norm3(E1) * norm3(E2))) return {SHAPE::IN_LINE, 0};
    // Seen along the normal, a simple quadrilateral turns the same way at
    // three or four corners; one whose edges cross turns each way twice.
    if (NP == 4) {
        int back = 0;
        for (int M = 0; M < 4; ++M) {
            const auto& P = X[(M + 3) % 4];
            const auto& Q = X[M];
            const auto& R = X[(M + 1) % 4];
            const double a[3] = {Q[0] - P[0], Q[1] - P[1], Q[2] - P[2]};
            const double b[3] = {R[0] - Q[0], R[1] - Q[1], R[2] - Q[2]};
            const double t = (a[1] * b[2] - a[2] * b[1]) * c[0] + (a[2] * b[0] - a[0] * b[2]) * c[1] +
                             (a[0] * b[1] - a[1] * b[0]) * c[2];
            if (t < 0) ++back;
        }
        if (back == 2) return {SHAPE::CROSSED, 0};
    }
    // A warped quadrilateral is integrated as its projection, whose edges
    // must not vanish either.
    ELDATA E;
    frame(NP, X, xc, E);
    for (int M = 0; M < NP; ++M)
        if (!(E.EL[M] > DEGTOL * size)) return {SHAPE::FLAT_ZERO_EDGE, M + 1};
    return {SHAPE::OK, 0};
}

void ELCHK() {
    const int IREF[3] = {IREFX, IREFY, IREFZ};
    const int IPAR[3] = {IPARX, IPARY, IPARZ};
    static constexpr const char* AXIS[3] = {"X", "Y", "Z"};
    for (int I = 1; I <= NBE; ++I) {
        const int NP = NPE[I];
        if (NP < 3 || NP > MAXV)
            refuse("(' ELEMENT',I5,' HAS',I5,' EXTREME POINTS (3 OR 4 EXPECTED)')", {I, NP});
        if (KODE[I] < -NBEMAX)
            refuse("(' ELEMENT',I5,' HAS CODE',I7,': FLUX GROUP BEYOND',I5)",
                   {I, KODE[I], NBEMAX});
        const CORNERS X = cornersOf(I);
        const SHAPEFAULT f = SHAPECHK(NP, X);
        if (f.kind == SHAPE::IN_LINE)
            refuse("(' ELEMENT',I5,' IS DEGENERATE: ITS FIRST THREE CORNERS LIE IN ONE LINE')",
                   {I});
        if (f.kind == SHAPE::TOO_SMALL)
            refuse("(' ELEMENT',I5,' IS TOO SMALL: ITS SIZE IS BELOW 1E-50')", {I});
        if (f.kind == SHAPE::CROSSED)
            refuse("(' ELEMENT',I5,' CROSSES ITSELF: TWO OF ITS EDGES INTERSECT')", {I});
        if (f.kind != SHAPE::OK)
            refuse("(' ELEMENT',I5,' IS DEGENERATE: EDGE',I2,' HAS ZERO LENGTH')", {I, f.edge});
        // In an odd plane the element meets its own mirror image with weight
        // -1: its potential is zero by symmetry and its row would vanish.
        double xc[3];
        centroid(NP, X, xc);
        const double size = sizeOf(NP, X, xc);
        for (int K = 0; K < 3; ++K) {
            if (IREF[K] != -1 || IPAR[K] != -1) continue;
            bool inPlane = true;
            for (int M = 0; M < NP; ++M)
                if (!(std::fabs(X[M][K]) <= DEGTOL * size)) inPlane = false;
            if (inPlane)
                refuse("(' ELEMENT',I5,' LIES IN THE ODD SYMMETRY PLANE ',A,' = 0:',"
                       "' ITS POTENTIAL IS ZERO BY SYMMETRY; DO NOT MESH IT')",
                       {I, AXIS[K]});
        }
    }
    SIDECHK();
}

void SIDECHK() {
    const int IREF[3] = {IREFX, IREFY, IREFZ};
    static constexpr const char* AXIS[3] = {"X", "Y", "Z"};
    double scale = 0.0;
    for (int I = 1; I <= NBE; ++I)
        for (int M = 1; M <= NPE[I]; ++M)
            for (int K = 1; K <= 3; ++K) scale = std::fmax(scale, std::fabs(XE[I][M][K]));
    for (int K = 0; K < 3; ++K) {
        if (IREF[K] != -1) continue;
        int first = 0, side = 0;
        for (int I = 1; I <= NBE; ++I)
            for (int M = 1; M <= NPE[I]; ++M) {
                const double v = XE[I][M][K + 1];
                if (std::fabs(v) <= DEGTOL * scale) continue;
                const int s = v > 0 ? 1 : -1;
                if (side == 0) {
                    side = s;
                    first = I;
                } else if (s != side && first == I) {
                    refuse("(' ELEMENT',I5,' CROSSES THE SYMMETRY PLANE ',A,' = 0')", {I, AXIS[K]});
                } else if (s != side) {
                    refuse("(' ELEMENTS',I5,' AND',I5,' LIE ON BOTH SIDES OF THE SYMMETRY PLANE ',A,' = 0')",
                           {first, I, AXIS[K]});
                }
            }
    }
}

void GEOM() {
    for (int I = 1; I <= NBE; ++I) {
        const int NP = NPE[I];
        double xc[3];
        centroid(I, xc);
        for (int K = 1; K <= 3; ++K) XC[I][K] = xc[K - 1];
        AREA[I] = 0.0;
        for (int M = 1; M <= NP; ++M) {
            const int M2 = M == NP ? 1 : M + 1;
            double D1[3], D2[3];
            for (int K = 0; K < 3; ++K) {
                D1[K] = XE[I][M][K + 1] - XC[I][K + 1];
                D2[K] = XE[I][M2][K + 1] - XC[I][K + 1];
            }
            const double WX = D1[1] * D2[2] - D2[1] * D1[2];
            const double WY = D2[0] * D1[2] - D1[0] * D2[2];
            const double WZ = D1[0] * D2[1] - D2[0] * D1[1];
            AREA[I] += 0.5 * std::sqrt(WZ * WZ + WY * WY + WX * WX);
        }
        frame(I, xc, ELD[I]);
    }
}

}  // namespace telma
