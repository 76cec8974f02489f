// Element geometry:
//
//   ELCHK    refuses elements the influence formulas cannot integrate
//   SIDECHK  refuses a mesh on both sides of a symmetry plane
//   DUPCHK   refuses two elements with the same corners
//   SYMCHK   the symmetry flags other than -1, 0 and 1
//   NEUCHK   an all-Neumann problem whose potential is free by a constant
//   GEOM     nodes, areas and the per-element frames of INFLU (ELD)
//   REFUSE   the console line and stop of a refused element or problem
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

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

std::string WHY;

void REFUSE(std::string_view FMT, std::initializer_list<textio::Item> ITEMS) {
    // The integers in order are the values of the I fields.
    std::vector<long long> V;
    for (const textio::Item& it : ITEMS)
        if (it.kind() == textio::Item::Kind::Int) V.push_back(it.i());
    WHY = textio::format(WIDEN(FMT, V), ITEMS);
    textio::console().put(WHY);
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
    DUPCHK();
}

namespace {

// Element I's corners in one order, whatever order the file gives them.
CORNERS sortedCorners(int I) {
    CORNERS C = cornersOf(I);
    std::sort(C.begin(), C.end());  // a triangle's unused corner (0, 0, 0) among them
    return C;
}

}  // namespace

void DUPCHK() {
    // A hash of each element's sorted corners, the elements sorted by it:
    // two that coincide are then neighbours, and only equal hashes are
    // compared corner by corner.
    std::vector<std::pair<std::uint64_t, int>> keys(static_cast<std::size_t>(NBE));
#pragma omp parallel for
    for (int I = 1; I <= NBE; ++I) {
        const auto C = sortedCorners(I);
        std::uint64_t h = 1469598103934665603ULL ^ static_cast<std::uint64_t>(NPE[I]);
        for (const auto& P : C)
            for (double x : P) {
                std::uint64_t b = 0;
                const double z = x == 0.0 ? 0.0 : x;  // -0 and 0 are one coordinate
                std::memcpy(&b, &z, sizeof b);
                h = (h ^ b) * 1099511628211ULL;
                h ^= h >> 29;
            }
        keys[I - 1] = {h, I};
    }
    std::sort(keys.begin(), keys.end());
    int FIRST = 0, SECOND = 0;
    for (std::size_t K = 0; K < keys.size(); ++K)
        for (std::size_t L = K + 1; L < keys.size() && keys[L].first == keys[K].first; ++L) {
            const int I = keys[K].second, J = keys[L].second;  // I < J: equal hashes sort by element
            if (NPE[I] != NPE[J] || sortedCorners(I) != sortedCorners(J)) continue;
            // the pair that comes first in the file (J is I's first twin)
            if (FIRST == 0 || I < FIRST) FIRST = I, SECOND = J;
            break;
        }
    if (FIRST == 0) return;
    REFUSE("(' ELEMENTS',I5,' AND',I5,' COINCIDE: THEY HAVE THE SAME CORNERS')", {FIRST, SECOND});
}

void SYMCHK(bool STRICT) {
    const int ISYM[3] = {ISYMX, ISYMY, ISYMZ};
    static constexpr const char* AXIS[3] = {"X", "Y", "Z"};
    for (int K = 0; K < 3; ++K) {
        if (ISYM[K] >= -1 && ISYM[K] <= 1) continue;
        if (STRICT)
            REFUSE("(' SYMMETRY FLAG',I12,' OF THE PLANE ',A,' = 0: 1 (EVEN), -1 (ODD) OR 0 (NONE) EXPECTED')",
                   {ISYM[K], AXIS[K]});
        textio::notice("telma: warning: the symmetry flag %d of the plane %s = 0 is taken as 0 (no symmetry);"
                       " 1 (even), -1 (odd) or 0 expected", ISYM[K], AXIS[K]);
    }
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
    FARPREP();
}

bool NEUCHK() {
    for (int I = 1; I <= NBE; ++I)
        if (KODE[I] <= 0) return false;
    if (NBE == 0) return false;
    // A constant potential has no normal derivative where the boundary
    // encloses the region: then H applied to 1 vanishes (flat elements give
    // the solid angle exactly), at node 1 as everywhere on that boundary.
    std::vector<double> G(PIECE), H(PIECE);
    double S = -0.5;
    for (int J0 = 1; J0 <= NBE; J0 += PIECE) {
        const int J1 = std::min(NBE + 1, J0 + PIECE);
        std::fill(G.begin(), G.end(), 0.0);
        std::fill(H.begin(), H.end(), 0.0);
        INFSYMS(XC[1][1], XC[1][2], XC[1][3], J0, J1, G.data(), H.data());
        for (int J = J0; J < J1; ++J) S += H[J - J0];
    }
    if (!(std::fabs(S) < NEUTOL)) return false;
    double NET = 0.0, ABS = 0.0;
    for (int I = 1; I <= NBE; ++I) NET += VBC[I] * AREA[I], ABS += std::fabs(VBC[I] * AREA[I]);
    textio::notice("telma: note: every element has a prescribed normal derivative and the boundary encloses the"
                   " region, so the potential is fixed only up to a constant%s",
                   std::fabs(NET) > NEUTOL * ABS ? "; the prescribed fluxes do not sum to zero, so there is no solution"
                                                 : "");
    return true;
}

}  // namespace telma
