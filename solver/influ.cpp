// Influence coefficients of a plane polygon element, in closed form, and their
// sum over the symmetry images:
//
//   INFLU    the coefficients G and H of one element at one field point
//   INFSYM   their sum over the symmetry images
//   INFSYMS  INFSYM for a run of elements, the calls overlapped
//   INFGRD   INFLU with the gradient of G at the field point
//   GRDSYM   G and a directional derivative of G over the symmetry images
#include <cfloat>
#include <cmath>

// Vector instructions where the processor has them, unless the portable
// paths are asked for (TELMA_SCALAR_KERNELS) to check that they give the same
// bits.
#if defined(__SSE2__) && !defined(TELMA_SCALAR_KERNELS)
#define TELMA_SSE2 1
#include <emmintrin.h>
#endif

#include "solver/kernels.hpp"

namespace telma {

namespace {

const double CF = -0.25 / (4.0 * std::atan(1.0));

// A field point within ONLINE times the largest magnitude of its own and the
// element's corner coordinates from the line of an edge lies on that line to
// within the rounding of those coordinates (a few units in their last place):
// the frame and the local coordinates are formed from them.  A zone scaled by
// the edge length instead would swallow a real step off the line once edges
// are long (the gradient's step of 1E-4 beside an edge of a million units).
constexpr double ONLINE = 16.0 * DBL_EPSILON;

double lineZone(const ELDATA& E, double XP, double YP, double ZP) {
    return ONLINE * std::fmax(std::fmax(std::fabs(XP), std::fabs(YP)), std::fmax(std::fabs(ZP), E.XMAG));
}

// r1 + r2 - L without cancellation, from r1 + s1 and r2 - s2 (s2 - s1 = L);
// d2 is the squared distance from the field point to the line of the edge.
double logDenominator(double r1, double r2, double s1, double s2, double d2) {
    const double a = s1 < 0.0 ? d2 / (r1 - s1) : r1 + s1;
    const double b = s2 > 0.0 ? d2 / (r2 + s2) : r2 - s2;
    return a + b;
}

// True when (xp, yp) lies on the line of an edge of E to within zone.
bool onEdgeLine(const ELDATA& E, double xp, double yp, double zone) {
    for (int M = 0; M < E.NV; ++M) {
        const double R0 = (E.XL[M] - xp) * E.CY[M] - (E.YL[M] - yp) * E.CX[M];
        if (std::fabs(R0) <= zone) return true;
    }
    return false;
}

// The arithmetic of the four edges of one call, lane M for edge M (a
// triangle's fourth lane repeats its first edge and is not used).  Every
// value is formed by exactly the operations of the edge formulas; a corner's
// distance is the r2 of one edge and the r1 of the next.
struct EdgeLanes {
    alignas(16) double R1[MAXV], R2[MAXV], S1[MAXV], S2[MAXV], R0[MAXV];
    alignas(16) double RS[MAXV], DEN[MAXV], Q[MAXV], TY[MAXV], TX[MAXV];
};

#if defined(TELMA_SSE2)

// Two edges per instruction: the same correctly rounded operations as one at
// a time.
void edgeLanes(const ELDATA& E, double xp, double yp, double AZ, double Z2, EdgeLanes& V) {
    const __m128d XP = _mm_set1_pd(xp), YP = _mm_set1_pd(yp);
    const __m128d VAZ = _mm_set1_pd(AZ), VZ2 = _mm_set1_pd(Z2), ONE = _mm_set1_pd(1.0);
    const __m128d dx01 = _mm_sub_pd(_mm_loadu_pd(&E.XL[0]), XP);
    const __m128d dx23 = _mm_sub_pd(_mm_loadu_pd(&E.XL[2]), XP);
    const __m128d dy01 = _mm_sub_pd(_mm_loadu_pd(&E.YL[0]), YP);
    const __m128d dy23 = _mm_sub_pd(_mm_loadu_pd(&E.YL[2]), YP);
    auto dist = [&](__m128d dx, __m128d dy) {
        return _mm_sqrt_pd(_mm_add_pd(_mm_add_pd(_mm_mul_pd(dy, dy), _mm_mul_pd(dx, dx)), VZ2));
    };
    const __m128d r01 = dist(dx01, dy01), r23 = dist(dx23, dy23);
    // second ends: corners 1, 2 and 3, 0 (the closing edge of a quadrilateral)
    const __m128d dx12 = _mm_shuffle_pd(dx01, dx23, 1), dx30 = _mm_shuffle_pd(dx23, dx01, 1);
    const __m128d dy12 = _mm_shuffle_pd(dy01, dy23, 1), dy30 = _mm_shuffle_pd(dy23, dy01, 1);
    const __m128d r12 = _mm_shuffle_pd(r01, r23, 1), r30 = _mm_shuffle_pd(r23, r01, 1);
    auto pair = [&](int M, __m128d dxa, __m128d dya, __m128d ra, __m128d dxb, __m128d dyb,
                    __m128d rb) {
        const __m128d cx = _mm_loadu_pd(&E.CX[M]), cy = _mm_loadu_pd(&E.CY[M]);
        const __m128d L = _mm_loadu_pd(&E.EL[M]);
        const __m128d s1 = _mm_add_pd(_mm_mul_pd(dxa, cx), _mm_mul_pd(dya, cy));
        const __m128d s2 = _mm_add_pd(_mm_mul_pd(dxb, cx), _mm_mul_pd(dyb, cy));
        const __m128d r0 = _mm_sub_pd(_mm_mul_pd(dxa, cy), _mm_mul_pd(dya, cx));
        const __m128d rs = _mm_add_pd(ra, rb);
        const __m128d den = _mm_sub_pd(rs, L);
        const __m128d r00 = _mm_mul_pd(r0, r0);
        const __m128d t1 = _mm_div_pd(_mm_mul_pd(_mm_mul_pd(r0, s1), _mm_sub_pd(VAZ, ra)),
                                      _mm_add_pd(_mm_mul_pd(VAZ, _mm_mul_pd(s1, s1)), _mm_mul_pd(ra, r00)));
        const __m128d t2 = _mm_div_pd(_mm_mul_pd(_mm_mul_pd(r0, s2), _mm_sub_pd(VAZ, rb)),
                                      _mm_add_pd(_mm_mul_pd(VAZ, _mm_mul_pd(s2, s2)), _mm_mul_pd(rb, r00)));
        _mm_store_pd(&V.R1[M], ra);
        _mm_store_pd(&V.R2[M], rb);
        _mm_store_pd(&V.S1[M], s1);
        _mm_store_pd(&V.S2[M], s2);
        _mm_store_pd(&V.R0[M], r0);
        _mm_store_pd(&V.RS[M], rs);
        _mm_store_pd(&V.DEN[M], den);
        _mm_store_pd(&V.Q[M], _mm_div_pd(_mm_add_pd(rs, L), den));
        _mm_store_pd(&V.TY[M], _mm_sub_pd(t2, t1));
        _mm_store_pd(&V.TX[M], _mm_add_pd(ONE, _mm_mul_pd(t1, t2)));
    };
    pair(0, dx01, dy01, r01, dx12, dy12, r12);
    pair(2, dx23, dy23, r23, dx30, dy30, r30);
}

#else

void edgeLanes(const ELDATA& E, double xp, double yp, double AZ, double Z2, EdgeLanes& V) {
    double DX[MAXV + 1], DY[MAXV + 1], R[MAXV + 1];
    for (int M = 0; M < MAXV; ++M) {
        DX[M] = E.XL[M] - xp;
        DY[M] = E.YL[M] - yp;
        R[M] = std::sqrt(DY[M] * DY[M] + DX[M] * DX[M] + Z2);
    }
    DX[MAXV] = DX[0];  // second ends: corners 1, 2, 3 and 0
    DY[MAXV] = DY[0];
    R[MAXV] = R[0];
    for (int M = 0; M < MAXV; ++M) {
        const double cx = E.CX[M], cy = E.CY[M], L = E.EL[M];
        const double s1 = DX[M] * cx + DY[M] * cy;
        const double s2 = DX[M + 1] * cx + DY[M + 1] * cy;
        const double r0 = DX[M] * cy - DY[M] * cx;
        const double rs = R[M] + R[M + 1];
        const double t1 = r0 * s1 * (AZ - R[M]) / (AZ * (s1 * s1) + R[M] * (r0 * r0));
        const double t2 = r0 * s2 * (AZ - R[M + 1]) / (AZ * (s2 * s2) + R[M + 1] * (r0 * r0));
        V.R1[M] = R[M];
        V.R2[M] = R[M + 1];
        V.S1[M] = s1;
        V.S2[M] = s2;
        V.R0[M] = r0;
        V.RS[M] = rs;
        V.DEN[M] = rs - L;
        V.Q[M] = (rs + L) / (rs - L);
        V.TY[M] = t2 - t1;
        V.TX[M] = 1.0 + t1 * t2;
    }
}

#endif

// INFLU in two stages: the geometry of the field point and the edges, then
// the logarithms, angles and sums of the edges.  The loops below run the
// first stage of the next call before the second of this one, so that the
// arithmetic of one overlaps the library calls of the other.
struct Stage {
    EdgeLanes V;
    const ELDATA* E;
    double SG, AZ, Z2;
    double zone;  // of lineZone
    bool own;  // the field point is the element's node
};

[[gnu::always_inline]] inline void geometry(double XP, double YP, double ZP, int J, Stage& S) {
    const ELDATA& E = ELD[J];
    const double px = XP - E.XN[0];
    const double py = YP - E.XN[1];
    const double pz = ZP - E.XN[2];
    const double xp = px * E.T1[0] + py * E.T1[1] + pz * E.T1[2];
    const double yp = px * E.T2[0] + py * E.T2[1] + pz * E.T2[2];
    double zp = px * E.EN[0] + py * E.EN[1] + pz * E.EN[2];
    // On the line of an edge the point is in the plane: zp is rounding noise
    // there, and its sign would decide the side from which H is seen.
    const double zone = lineZone(E, XP, YP, ZP);
    if (std::fabs(zp) <= zone && onEdgeLine(E, xp, yp, zone)) zp = 0.0;
    S.E = &E;
    S.zone = zone;
    S.SG = zp >= 0.0 ? 1.0 : -1.0;
    S.AZ = std::fabs(zp);
    S.Z2 = zp * zp;
    S.own = px == 0.0 && py == 0.0 && pz == 0.0;
    edgeLanes(E, xp, yp, S.AZ, S.Z2, S.V);
}

// G and H from the edges; with GXY also the in-plane gradient of G, by the
// divergence theorem in the element's plane: minus the sum over the edges of
// the outward edge normal (cy, -cx) times the edge's integral of 1/r, its log
// term FL.  The gradient needs FL even where G and H drop the edge (on its
// line, where R0 FL vanishes but FL does not); only on the edge itself is FL
// infinite, and the edge is left out.  Callers without GXY (INFLU, INFSYMS)
// get exactly the operations of the formulas, the gradient's branches
// folded away.
[[gnu::always_inline]] inline void edgeSums(const Stage& S, double& G, double& H, double* GXY = nullptr) {
    const ELDATA& E = *S.E;
    const EdgeLanes& V = S.V;
    const double AZ = S.AZ, SG = S.SG;
    G = 0.0;
    H = 0.0;
    double SX = 0.0, SY = 0.0;
    for (int M = 0; M < E.NV; ++M) {
        const double L = E.EL[M];
        // On the line of the edge (in the plane or above it) the exact tests
        // make both terms of the edge vanish; rounding noise in R0 and AZ must
        // not defeat them, or the log and angle terms blow up.
        const bool online = std::fabs(V.R0[M]) <= S.zone;
        if (online && !GXY) continue;
        double q = V.Q[M];
        if (!(V.DEN[M] > 0.0)) {
            const double d = logDenominator(V.R1[M], V.R2[M], V.S1[M], V.S2[M], V.R0[M] * V.R0[M] + S.Z2);
            if (!(d > 0.0)) continue;  // on the edge itself: only ever on its line
            q = (V.RS[M] + L) / d;
        }
        const double FL = std::log(q);
        if (GXY) {
            SX = SX + E.CY[M] * FL;
            SY = SY + E.CX[M] * FL;
        }
        if (online) continue;
        const double FA = std::atan2(V.TY[M], V.TX[M]);
        G = G + AZ * FA + V.R0[M] * FL;
        H = H - SG * FA;
    }
    G = CF * G;
    H = CF * H;
    // At its own node the element's H is left to the free term.
    if (S.own) H = 0.0;
    if (GXY) {
        GXY[0] = -CF * SX;
        GXY[1] = CF * SY;
    }
}

}  // namespace

void INFGRD(double XP, double YP, double ZP, int J, double& G, double& H, double DG[3]) {
    Stage S;
    geometry(XP, YP, ZP, J, S);
    double GXY[2];
    edgeSums(S, G, H, GXY);
    // Along the normal, the derivative of the single layer is minus the
    // double layer (and 0 at the element's own node, as H is there).
    const double GZ = -H;
    const ELDATA& E = *S.E;
    for (int K = 0; K < 3; ++K) DG[K] = GXY[0] * E.T1[K] + GXY[1] * E.T2[K] + GZ * E.EN[K];
}

void GRDSYM(double X, double Y, double Z, int J, const double D[3], double& GS, double& HS, double& DS) {
    double PX[8], PY[8], PZ[8], KX[8], KY[8], KZ[8];
    int W[8], W1[8];
    const int NI = images(X, Y, Z, PX, PY, PZ, W);
    images(1.0, 1.0, 1.0, KX, KY, KZ, W1);  // the mirror signs of each image
    for (int k = 0; k < NI; ++k) {
        double G, H, DG[3];
        INFGRD(PX[k], PY[k], PZ[k], J, G, H, DG);
        // the image's gradient, mirrored back to the field point
        GS += W[k] * G;
        HS += W[k] * H;
        DS += W[k] * (D[0] * KX[k] * DG[0] + D[1] * KY[k] * DG[1] + D[2] * KZ[k] * DG[2]);
    }
}

// The image points of (X, Y, Z) and their weights, in INFSYM's order:
// x outermost, the mirrored term before the direct one.  Returns their number.
int images(double X, double Y, double Z, double PX[8], double PY[8], double PZ[8], int W[8]) {
    int n = 0;
    for (int KX = IREFX; KX <= 1; KX += 2) {
        const int WX = KX == -1 ? IPARX : 1;
        for (int KY = IREFY; KY <= 1; KY += 2) {
            const int WY = KY == -1 ? IPARY : 1;
            for (int KZ = IREFZ; KZ <= 1; KZ += 2) {
                const int WZ = KZ == -1 ? IPARZ : 1;
                PX[n] = KX * X;
                PY[n] = KY * Y;
                PZ[n] = KZ * Z;
                W[n] = WX * WY * WZ;
                ++n;
            }
        }
    }
    return n;
}

void INFLU(double XP, double YP, double ZP, int J, double& G, double& H) {
    Stage S;
    geometry(XP, YP, ZP, J, S);
    edgeSums(S, G, H);
}

void INFSYM(double X, double Y, double Z, int J, double& GS, double& HS) {
    INFSYMS(X, Y, Z, J, J + 1, &GS, &HS);
}

void INFSYMS(double X, double Y, double Z, int J0, int J1, double* GS, double* HS) {
    double PX[8], PY[8], PZ[8];
    int W[8];
    const int NI = images(X, Y, Z, PX, PY, PZ, W);
    // the terms in order: element by element, image by image within each
    const int n = (J1 - J0) * NI;
    if (n <= 0) return;
    Stage S[2];
    geometry(PX[0], PY[0], PZ[0], J0, S[0]);
    int J = J0, k = 0;
    for (int t = 0; t < n; ++t) {
        if (t + 1 < n) {
            const int k1 = k + 1 < NI ? k + 1 : 0;
            const int J1n = k + 1 < NI ? J : J + 1;
            geometry(PX[k1], PY[k1], PZ[k1], J1n, S[(t + 1) & 1]);
        }
        double G, H;
        edgeSums(S[t & 1], G, H);
        GS[J - J0] += W[k] * G;
        HS[J - J0] += W[k] * H;
        if (++k == NI) {
            k = 0;
            ++J;
        }
    }
}

}  // namespace telma
