// The internal points:
//
//   POTINT  the potential at one point
//   IPCHK   the points too close to the boundary for its integrals
//   INTPTS  potential and gradient at every internal point
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <unordered_map>
#include <vector>

#include "QVLIB/STPWATCH/stpwatch.hpp"
#include "solver/kernels.hpp"
#include "solver/media.hpp"

namespace telma {

std::vector<NEARPT> IPNEAR;

namespace {

// The distance from P to the plane polygon of element J (its frame in ELD).
double distance(const double P[3], int J) {
    const ELDATA& E = ELD[J];
    double d[3], u = 0, v = 0, h = 0;
    for (int K = 0; K < 3; ++K) d[K] = P[K] - E.XN[K];
    for (int K = 0; K < 3; ++K) u += d[K] * E.T1[K], v += d[K] * E.T2[K], h += d[K] * E.EN[K];
    // inside by the crossings of a ray along +u; else the nearest edge
    bool inside = false;
    double edge2 = 1e300;
    for (int M = 0; M < E.NV; ++M) {
        const double x0 = E.XL[M], y0 = E.YL[M], x1 = E.XL[M + 1], y1 = E.YL[M + 1];
        if ((y0 > v) != (y1 > v) && u < x0 + (v - y0) * (x1 - x0) / (y1 - y0)) inside = !inside;
        const double ex = x1 - x0, ey = y1 - y0, L2 = ex * ex + ey * ey;
        const double t = L2 > 0 ? std::clamp(((u - x0) * ex + (v - y0) * ey) / L2, 0.0, 1.0) : 0.0;
        const double px = x0 + t * ex - u, py = y0 + t * ey - v;
        edge2 = std::min(edge2, px * px + py * py);
    }
    return inside ? std::fabs(h) : std::sqrt(h * h + edge2);
}

}  // namespace

void IPCHK() {
    IPNEAR.clear();
    if (NIP == 0 || NBE == 0) return;
    // The elements' nodes in cubes of the largest element size: a point within
    // half an element's size of it lies within two cubes of its node.
    std::vector<double> SIZE(static_cast<std::size_t>(NBE) + 1, 0.0);
    double H = 0.0;
    for (int J = 1; J <= NBE; ++J) {
        for (int M = 0; M < ELD[J].NV; ++M) SIZE[J] = std::max(SIZE[J], ELD[J].EL[M]);
        H = std::max(H, SIZE[J]);
    }
    if (!(H > 0.0)) return;
    auto cell = [H](double x) { return static_cast<long long>(std::floor(x / H)); };
    auto key = [](long long a, long long b, long long c) { return (a * 73856093LL) ^ (b * 19349663LL) ^ (c * 83492791LL); };
    std::unordered_map<long long, std::vector<int>> GRID;
    for (int J = 1; J <= NBE; ++J) GRID[key(cell(XC[J][1]), cell(XC[J][2]), cell(XC[J][3]))].push_back(J);
    for (int I = 1; I <= NIP; ++I) {
        double PX[8], PY[8], PZ[8];
        int W[8];
        const int NI = images(XIP[I][1], XIP[I][2], XIP[I][3], PX, PY, PZ, W);
        NEARPT best{I, 0, 0.5};
        for (int L = 0; L < NI; ++L) {
            const double P[3] = {PX[L], PY[L], PZ[L]};
            const long long cx = cell(P[0]), cy = cell(P[1]), cz = cell(P[2]);
            for (long long a = cx - 2; a <= cx + 2; ++a)
                for (long long b = cy - 2; b <= cy + 2; ++b)
                    for (long long c = cz - 2; c <= cz + 2; ++c) {
                        const auto it = GRID.find(key(a, b, c));
                        if (it == GRID.end()) continue;
                        for (const int J : it->second) {
                            const double r = distance(P, J) / SIZE[J];
                            if (r < best.SIZES) best = {I, J, r};
                        }
                    }
        }
        if (best.ELEMENT != 0) IPNEAR.push_back(best);
    }
    for (std::size_t K = 0; K < IPNEAR.size() && K < 10; ++K)
        textio::notice("telma: warning: internal point %d lies %.3g element sizes from element %d: its values are not"
                       " accurate there (keep points half an element size or more from the boundary)",
                       IPNEAR[K].POINT, IPNEAR[K].SIZES, IPNEAR[K].ELEMENT);
    if (IPNEAR.size() > 10) textio::notice("telma: warning: and %zu more such points", IPNEAR.size() - 10);
}

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

void INTPTS(int FIRST, int LAST) {
    if (LAST < FIRST) return;
    qvlib::SWSTRT();
    // Each point is computed whole by one thread and written to its own
    // place, so the results do not depend on the number of threads.
    PROGRESS progress("(' Internal points #',i4,'/',i4,\\)", LAST - FIRST + 1);
#pragma omp parallel for schedule(dynamic, 1)
    for (int I = FIRST; I <= LAST; ++I) {
        const double X = XIP[I][1], Y = XIP[I][2], Z = XIP[I][3];
        POTINT(X, Y, Z, UIP[I]);
        POTINT(X + DELTA, Y, Z, GRADV[1][I]);
        POTINT(X, Y + DELTA, Z, GRADV[2][I]);
        POTINT(X, Y, Z + DELTA, GRADV[3][I]);
        for (int K = 1; K <= 3; ++K) GRADV[K][I] = (GRADV[K][I] - UIP[I]) / DELTA;
        progress.done(I - FIRST + 1);
    }
}

}  // namespace telma
