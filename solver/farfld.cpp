// The influence coefficients of an element far from the field point by a
// quadrature rule on the element, in place of the closed form of INFLU,
// where the rule is accurate enough (see kernels.hpp):
//
//   FARSET   the rules to use for a relative error
//   FARPREP  the per-element data of the rules
//   INFFAR   INFSYM with the rules where they are accurate enough
#include <algorithm>
#include <cmath>

// Vector instructions where the processor has them, unless the portable
// paths are asked for (TELMA_SCALAR_KERNELS): two lanes give the bits of the
// portable paths, four (AVX, chosen at run time) the same values to
// rounding.
#if defined(__SSE2__) && !defined(TELMA_SCALAR_KERNELS)
#define TELMA_SSE2 1
#include <emmintrin.h>
#endif
#if defined(TELMA_SSE2) && defined(__GNUC__) && defined(__x86_64__)
#define TELMA_AVX 1
#include <immintrin.h>
#endif

#include "solver/kernels.hpp"

namespace telma {

std::vector<FARDATA> FARD;

namespace {

const double C4PI = 0.25 / (4.0 * std::atan(1.0));  // 1 / (4 pi)

// Symmetric rules on the triangle: points in barycentric coordinates
// (A, B, C) with their weights (summing to 1), of degree 1, 2, 4 and 5, in
// pairs (a rule of an odd count ends with a point of weight 0).  A
// quadrilateral is taken as the triangles (1, 2, 3) and (1, 3, 4), the
// degree-1 rule as one point at its centroid of area.
struct TRIRULE {
    int N;  // points, even
    double A[8], B[8], C[8], W[8];
};
constexpr double T3 = 1.0 / 3, T6 = 1.0 / 6;
constexpr double D4A = 0.445948490915965, D4B = 0.091576213509771;
constexpr double D4WA = 0.223381589678011, D4WB = 0.109951743655322;
constexpr double D5A = 0.470142064105115, D5B = 0.101286507323456;
constexpr double D5WA = 0.132394152788506, D5WB = 0.125939180544827;
const TRIRULE RULES[NFAR] = {
    {2, {T3, T3}, {T3, T3}, {T3, T3}, {1.0, 0.0}},
    {4, {2 * T3, T6, T6, T3}, {T6, 2 * T3, T6, T3}, {T6, T6, 2 * T3, T3}, {T3, T3, T3, 0.0}},
    {6,
     {D4A, D4A, 1 - 2 * D4A, D4B, D4B, 1 - 2 * D4B},
     {D4A, 1 - 2 * D4A, D4A, D4B, 1 - 2 * D4B, D4B},
     {1 - 2 * D4A, D4A, D4A, 1 - 2 * D4B, D4B, D4B},
     {D4WA, D4WA, D4WA, D4WB, D4WB, D4WB}},
    {8,
     {T3, D5A, D5A, 1 - 2 * D5A, D5B, D5B, 1 - 2 * D5B, T3},
     {T3, D5A, 1 - 2 * D5A, D5A, D5B, 1 - 2 * D5B, D5B, T3},
     {T3, 1 - 2 * D5A, D5A, D5A, 1 - 2 * D5B, D5B, D5B, T3},
     {0.225, D5WA, D5WA, D5WA, D5WB, D5WB, D5WB, 0.0}},
};

// The error of each rule, relative to A / (4 pi d) for G and A / (4 pi d^2)
// for H (A the element's area, d the distance from its node, h its size,
// the largest distance from the node to a corner), is at most
// FARC (h / d)^(degree + 1): the largest measured, over triangles and
// quadrilaterals of aspect ratios up to 5 and points in every direction,
// against INFLU, and a tenth more (the test FarRulesKeepTheirTolerance
// checks the rules chosen on random elements).  The largest errors
// measured, of G and of H, at each ratio d / h:
//
//   rule  points  degree  FARC   d/h = 2       4             8             16            32
//   1     1       1       0.8    8.7e-2 1.8e-1 2.0e-2 4.1e-2 4.8e-3 9.9e-3 1.2e-3 2.5e-3 3.0e-4 6.2e-4
//   2     3       2       0.14   4.6e-3 1.6e-2 2.6e-4 7.8e-4 3.2e-5 7.1e-5 3.9e-6 8.8e-6 4.8e-7 1.1e-6
//   3     6       4       0.06   3.4e-4 1.7e-3 4.2e-6 1.9e-5 8.9e-8 3.4e-7 2.7e-9 1.0e-8 8.3e-11 3.2e-10
//   4     7       5       0.064  1.7e-4 9.0e-4 2.1e-6 1.0e-5 3.0e-8 1.4e-7 4.7e-10 2.2e-9 7.4e-12 3.4e-11
//
// (Beyond d / h = 32 INFLU itself loses digits to cancellation, some 1e-11
// of G at 64, where the rules do not.)
constexpr int DEGREE[NFAR] = {1, 2, 4, 5};
constexpr double FARC[NFAR] = {0.8, 0.14, 0.06, 0.064};

// A rule is not used nearer than this, where the error no longer falls as
// a power of the ratio.
constexpr double RHOMIN = 2.0;

// The rule's sums over the triangle of the plane corners (x0, y0), (x1, y1),
// (x2, y2), weight WT, at the point (XP, YP) at height squared Z2, two
// points at a time, into two lanes each: G += w / r, H += w / r^3.
#if defined(TELMA_SSE2)
[[gnu::always_inline]] inline void triangle(const TRIRULE& R, const double* XL, const double* YL, int i1, int i2,
                                            double WT, double XP, double YP, double Z2, __m128d& G, __m128d& H) {
    const __m128d x0 = _mm_set1_pd(XL[0]), x1 = _mm_set1_pd(XL[i1]), x2 = _mm_set1_pd(XL[i2]);
    const __m128d y0 = _mm_set1_pd(YL[0]), y1 = _mm_set1_pd(YL[i1]), y2 = _mm_set1_pd(YL[i2]);
    const __m128d xp = _mm_set1_pd(XP), yp = _mm_set1_pd(YP), z2 = _mm_set1_pd(Z2), wt = _mm_set1_pd(WT);
    const __m128d one = _mm_set1_pd(1.0);
    for (int k = 0; k < R.N; k += 2) {
        const __m128d a = _mm_loadu_pd(&R.A[k]), b = _mm_loadu_pd(&R.B[k]), c = _mm_loadu_pd(&R.C[k]);
        const __m128d dx =
            _mm_sub_pd(_mm_add_pd(_mm_add_pd(_mm_mul_pd(a, x0), _mm_mul_pd(b, x1)), _mm_mul_pd(c, x2)), xp);
        const __m128d dy =
            _mm_sub_pd(_mm_add_pd(_mm_add_pd(_mm_mul_pd(a, y0), _mm_mul_pd(b, y1)), _mm_mul_pd(c, y2)), yp);
        const __m128d r2 = _mm_add_pd(_mm_add_pd(_mm_mul_pd(dx, dx), _mm_mul_pd(dy, dy)), z2);
        const __m128d ir = _mm_div_pd(one, _mm_sqrt_pd(r2));
        const __m128d w = _mm_mul_pd(_mm_mul_pd(wt, _mm_loadu_pd(&R.W[k])), ir);
        G = _mm_add_pd(G, w);
        H = _mm_add_pd(H, _mm_mul_pd(_mm_mul_pd(w, ir), ir));
    }
}
#else
[[gnu::always_inline]] inline void triangle(const TRIRULE& R, const double* XL, const double* YL, int i1, int i2,
                                            double WT, double XP, double YP, double Z2, double G[2], double H[2]) {
    for (int k = 0; k < R.N; ++k) {
        const double a = R.A[k], b = R.B[k], c = R.C[k];
        const double dx = a * XL[0] + b * XL[i1] + c * XL[i2] - XP;
        const double dy = a * YL[0] + b * YL[i1] + c * YL[i2] - YP;
        const double ir = 1.0 / std::sqrt(dx * dx + dy * dy + Z2);
        const double w = WT * R.W[k] * ir;
        G[k & 1] += w;
        H[k & 1] += w * ir * ir;
    }
}
#endif

#if defined(TELMA_AVX)
// The same sums four points at a time, where the processor has the
// instructions (their square roots and divisions, which bound the rules,
// go twice as fast so), into four lanes folded to the two of above: the
// same values to rounding, not the same bits.
const bool AVX = __builtin_cpu_supports("avx");

[[gnu::target("avx")]] void quads(const TRIRULE& R, const ELDATA& E, const FARDATA& D, double XP, double YP,
                                  double Z2, double G[2], double H[2]) {
    __m256d vg = _mm256_setzero_pd(), vh = _mm256_setzero_pd();
    const __m256d xp = _mm256_set1_pd(XP), yp = _mm256_set1_pd(YP), z2 = _mm256_set1_pd(Z2);
    const __m256d one = _mm256_set1_pd(1.0);
    for (int t = 0; t < (E.NV == 4 ? 2 : 1); ++t) {
        const int i1 = t == 0 ? 1 : 2, i2 = t == 0 ? 2 : 3;
        const __m256d x0 = _mm256_set1_pd(E.XL[0]), x1 = _mm256_set1_pd(E.XL[i1]), x2 = _mm256_set1_pd(E.XL[i2]);
        const __m256d y0 = _mm256_set1_pd(E.YL[0]), y1 = _mm256_set1_pd(E.YL[i1]), y2 = _mm256_set1_pd(E.YL[i2]);
        const __m256d wt = _mm256_set1_pd(t == 0 ? D.A1 : D.A2);
        for (int k = 0; k < R.N; k += 4) {
            const __m256d a = _mm256_loadu_pd(&R.A[k]), b = _mm256_loadu_pd(&R.B[k]), c = _mm256_loadu_pd(&R.C[k]);
            const __m256d dx = _mm256_sub_pd(
                _mm256_add_pd(_mm256_add_pd(_mm256_mul_pd(a, x0), _mm256_mul_pd(b, x1)), _mm256_mul_pd(c, x2)), xp);
            const __m256d dy = _mm256_sub_pd(
                _mm256_add_pd(_mm256_add_pd(_mm256_mul_pd(a, y0), _mm256_mul_pd(b, y1)), _mm256_mul_pd(c, y2)), yp);
            const __m256d r2 = _mm256_add_pd(_mm256_add_pd(_mm256_mul_pd(dx, dx), _mm256_mul_pd(dy, dy)), z2);
            const __m256d ir = _mm256_div_pd(one, _mm256_sqrt_pd(r2));
            const __m256d w = _mm256_mul_pd(_mm256_mul_pd(wt, _mm256_loadu_pd(&R.W[k])), ir);
            vg = _mm256_add_pd(vg, w);
            vh = _mm256_add_pd(vh, _mm256_mul_pd(_mm256_mul_pd(w, ir), ir));
        }
    }
    _mm_storeu_pd(G, _mm_add_pd(_mm256_castpd256_pd128(vg), _mm256_extractf128_pd(vg, 1)));
    _mm_storeu_pd(H, _mm_add_pd(_mm256_castpd256_pd128(vh), _mm256_extractf128_pd(vh, 1)));
}
#endif

// The rule's G and H of element J at the point P = (px, py, pz) from its
// node, by RULE.
[[gnu::always_inline]] inline void rule(int RULE, int J, double px, double py, double pz, double& G, double& H) {
    const ELDATA& E = ELD[J];
    const FARDATA& D = FARD[J];
    const double xp = px * E.T1[0] + py * E.T1[1] + pz * E.T1[2];
    const double yp = px * E.T2[0] + py * E.T2[1] + pz * E.T2[2];
    const double zp = px * E.EN[0] + py * E.EN[1] + pz * E.EN[2];
    const double Z2 = zp * zp;
    double g, h;
    if (RULE == 0) {
        const double dx = D.CA - xp, dy = D.CB - yp;
        const double ir = 1.0 / std::sqrt(dx * dx + dy * dy + Z2);
        g = (D.A1 + D.A2) * ir;
        h = g * ir * ir;
    } else {
        const TRIRULE& R = RULES[RULE];
#if defined(TELMA_SSE2)
        alignas(16) double lg[2], lh[2];
#if defined(TELMA_AVX)
        if (AVX) {
            quads(R, E, D, xp, yp, Z2, lg, lh);
        } else
#endif
        {
            __m128d vg = _mm_setzero_pd(), vh = _mm_setzero_pd();
            triangle(R, E.XL, E.YL, 1, 2, D.A1, xp, yp, Z2, vg, vh);
            if (E.NV == 4) triangle(R, E.XL, E.YL, 2, 3, D.A2, xp, yp, Z2, vg, vh);
            _mm_store_pd(lg, vg);
            _mm_store_pd(lh, vh);
        }
#else
        double lg[2] = {0.0, 0.0}, lh[2] = {0.0, 0.0};
        triangle(R, E.XL, E.YL, 1, 2, D.A1, xp, yp, Z2, lg, lh);
        if (E.NV == 4) triangle(R, E.XL, E.YL, 2, 3, D.A2, xp, yp, Z2, lg, lh);
#endif
        g = lg[0] + lg[1];
        h = lh[0] + lh[1];
    }
    G = -C4PI * g;
    H = -C4PI * zp * h;
}

// The rule of F for element J at a point D2 away from its node, squared:
// the cheapest accurate enough, -1 for none.
[[gnu::always_inline]] inline int choose(const FARTAB& F, int J, double D2) {
    const double h2 = FARD[J].H2;
    for (int r = 0; r < NFAR; ++r)
        if (D2 >= F.RHO2[r] * h2) return r;
    return -1;
}

}  // namespace

FARTAB FARSET(double EPS) {
    FARTAB F;
    for (int r = 0; r < NFAR; ++r) {
        const double rho = std::max(RHOMIN, std::pow(FARC[r] / EPS, 1.0 / (DEGREE[r] + 1)));
        F.RHO2[r] = rho * rho;
    }
    return F;
}

void FARPREP() {
    FARD.assign(ELD.size(), FARDATA{});
    for (std::size_t J = 1; J < ELD.size(); ++J) {
        const ELDATA& E = ELD[J];
        FARDATA& D = FARD[J];
        double h2 = 0.0;
        for (int M = 0; M < E.NV; ++M) h2 = std::max(h2, E.XL[M] * E.XL[M] + E.YL[M] * E.YL[M]);
        D.H2 = h2;
        // the triangles' areas and the centroid of the whole
        auto cross = [&E](int a, int b, int c) {
            return 0.5 * std::fabs((E.XL[b] - E.XL[a]) * (E.YL[c] - E.YL[a]) - (E.YL[b] - E.YL[a]) * (E.XL[c] - E.XL[a]));
        };
        D.A1 = cross(0, 1, 2);
        D.A2 = E.NV == 4 ? cross(0, 2, 3) : 0.0;
        const double a = D.A1 + D.A2;
        D.CA = (D.A1 * (E.XL[0] + E.XL[1] + E.XL[2]) + D.A2 * (E.XL[0] + E.XL[2] + E.XL[3])) / (3.0 * a);
        D.CB = (D.A1 * (E.YL[0] + E.YL[1] + E.YL[2]) + D.A2 * (E.YL[0] + E.YL[2] + E.YL[3])) / (3.0 * a);
    }
}

int FARRUL(const FARTAB& F, double X, double Y, double Z, int J) {
    const double* XN = ELD[J].XN;
    const double px = X - XN[0], py = Y - XN[1], pz = Z - XN[2];
    return choose(F, J, px * px + py * py + pz * pz);
}

void FARINF(int RULE, double X, double Y, double Z, int J, double& G, double& H) {
    const double* XN = ELD[J].XN;
    rule(RULE, J, X - XN[0], Y - XN[1], Z - XN[2], G, H);
}

namespace {

// One image (X, Y, Z) of the point, and when Q is set its shift Q: G and H
// by the rule of F chosen at the image, used at the shift too so that their
// difference is as smooth as each, else by INFLU.
[[gnu::always_inline]] inline void term(const FARTAB& F, int J, double X, double Y, double Z, const double* Q,
                                        double& G, double& H, double& G1, double& H1) {
    const double* XN = ELD[J].XN;
    const double px = X - XN[0], py = Y - XN[1], pz = Z - XN[2];
    const int r = choose(F, J, px * px + py * py + pz * pz);
    if (r >= 0)
        rule(r, J, px, py, pz, G, H);
    else
        INFLU(X, Y, Z, J, G, H);
    if (!Q) return;
    if (r >= 0)
        rule(r, J, Q[0] - XN[0], Q[1] - XN[1], Q[2] - XN[2], G1, H1);
    else
        INFLU(Q[0], Q[1], Q[2], J, G1, H1);
}

}  // namespace

void INFFAR(const FARTAB& F, double X, double Y, double Z, int J, double& GS, double& HS, const double* S,
            double* G1, double* H1) {
    double G, H, g1 = 0.0, h1 = 0.0;
    if (IREFX == 1 && IREFY == 1 && IREFZ == 1) {  // the point alone: no images to form
        if (S) {
            const double Q[3] = {X + S[0], Y + S[1], Z + S[2]};
            term(F, J, X, Y, Z, Q, G, H, g1, h1);
            *G1 += g1, *H1 += h1;
        } else {
            term(F, J, X, Y, Z, nullptr, G, H, g1, h1);
        }
        GS += G;
        HS += H;
        return;
    }
    double PX[8], PY[8], PZ[8], QX[8], QY[8], QZ[8];
    int W[8], W1[8];
    const int NI = images(X, Y, Z, PX, PY, PZ, W);
    if (S) images(X + S[0], Y + S[1], Z + S[2], QX, QY, QZ, W1);
    for (int k = 0; k < NI; ++k) {
        const double Q[3] = {S ? QX[k] : 0.0, S ? QY[k] : 0.0, S ? QZ[k] : 0.0};
        term(F, J, PX[k], PY[k], PZ[k], S ? Q : nullptr, G, H, g1, h1);
        GS += W[k] * G;
        HS += W[k] * H;
        if (S) *G1 += W1[k] * g1, *H1 += W1[k] * h1;
    }
}

}  // namespace telma
