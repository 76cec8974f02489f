// Element geometry:
//
//   ELCHK    refuses elements the influence formulas cannot integrate
//   SIDECHK  refuses a mesh on both sides of a symmetry plane
//   GEOM     nodes, areas and the per-element frames of INFLU (ELD)
//   REFUSE   the console line and stop of a refused element or problem
#include <algorithm>
#include <cmath>

#include "solver/kernels.hpp"
#include "solver/telma.hpp"

namespace telma {

std::vector<ELDATA> ELD;

namespace {

// Corners of element I as SHAPECHK takes them.
CORNERS cornersOf(int I) {
    CORNERS X{};
    const int NP = std::min(NPE[I], MAXV);
    for (int M = 1; M <= NP; ++M)
        for (int K = 1; K <= 3; ++K) X[M - 1][K - 1] = XE[I][M][K];
    return X;
}

void centroid(int I, double xc[3]) { telma::centroid(NPE[I], cornersOf(I), xc); }

void frame(int J, const double xc[3], ELDATA& E) { telma::frame(NPE[J], cornersOf(J), xc, E); }

}  // namespace

void REFUSE(std::string_view FMT, std::initializer_list<textio::Item> ITEMS) {
    textio::console().write(WIDEN(FMT, {NBE}), ITEMS);
    textio::stop("*** FATAL ERROR ***", 1);
}

void ELCHK() {
    const int IREF[3] = {IREFX, IREFY, IREFZ};
    const int IPAR[3] = {IPARX, IPARY, IPARZ};
    static constexpr const char* AXIS[3] = {"X", "Y", "Z"};
    for (int I = 1; I <= NBE; ++I) {
        const int NP = NPE[I];
        if (NP < 3 || NP > MAXV)
            REFUSE("(' ELEMENT',I5,' HAS',I5,' EXTREME POINTS (3 OR 4 EXPECTED)')", {I, NP});
        if (KODE[I] < -NGMAX)
            REFUSE("(' ELEMENT',I5,' HAS CODE',I7,': FLUX GROUP BEYOND',I5)",
                   {I, KODE[I], NGMAX});
        const CORNERS X = cornersOf(I);
        const SHAPEFAULT f = SHAPECHK(NP, X);
        if (f.kind == SHAPE::IN_LINE)
            REFUSE("(' ELEMENT',I5,' IS DEGENERATE: ITS FIRST THREE CORNERS LIE IN ONE LINE')",
                   {I});
        if (f.kind == SHAPE::TOO_SMALL)
            REFUSE("(' ELEMENT',I5,' IS TOO SMALL: ITS SIZE IS BELOW 1E-50')", {I});
        if (f.kind == SHAPE::CROSSED)
            REFUSE("(' ELEMENT',I5,' CROSSES ITSELF: TWO OF ITS EDGES INTERSECT')", {I});
        if (f.kind != SHAPE::OK)
            REFUSE("(' ELEMENT',I5,' IS DEGENERATE: EDGE',I2,' HAS ZERO LENGTH')", {I, f.edge});
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
                REFUSE("(' ELEMENT',I5,' LIES IN THE ODD SYMMETRY PLANE ',A,' = 0:',"
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
                    REFUSE("(' ELEMENT',I5,' CROSSES THE SYMMETRY PLANE ',A,' = 0')", {I, AXIS[K]});
                } else if (s != side) {
                    REFUSE("(' ELEMENTS',I5,' AND',I5,' LIE ON BOTH SIDES OF THE SYMMETRY PLANE ',A,' = 0')",
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
        AREA[I] = area(NP, cornersOf(I), xc);
        frame(I, xc, ELD[I]);
    }
}

}  // namespace telma
