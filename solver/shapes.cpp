// Element shapes: nodes, plane frames and the shape check (see shapes.hpp).
#include "solver/shapes.hpp"

#include <unistd.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>

namespace telma {

namespace {

double norm3(const double v[3]) { return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); }

// The first two edges E1 = P1 - P0, E2 = P2 - P1 of an element and their
// cross product C, the normal before it is scaled.
void firstEdges(const double P0[3], const double P1[3], const double P2[3], double E1[3], double E2[3],
                double C[3]) {
    for (int K = 0; K < 3; ++K) {
        E1[K] = P1[K] - P0[K];
        E2[K] = P2[K] - P1[K];
    }
    C[0] = E1[1] * E2[2] - E1[2] * E2[1];
    C[1] = E1[2] * E2[0] - E1[0] * E2[2];
    C[2] = E1[0] * E2[1] - E1[1] * E2[0];
}

}  // namespace

// Node of an element: the plain average of its NP corners.
void centroid(int NP, const CORNERS& X, double xc[3]) {
    for (int K = 0; K < 3; ++K) {
        double s = 0.0;
        for (int M = 0; M < NP; ++M) s += X[M][K];
        xc[K] = s / static_cast<double>(NP);
    }
}

double area(int NP, const CORNERS& X, const double xc[3]) {
    double S = 0.0;
    for (int M = 0; M < NP; ++M) {
        const int M2 = M == NP - 1 ? 0 : M + 1;
        double D1[3], D2[3];
        for (int K = 0; K < 3; ++K) {
            D1[K] = X[M][K] - xc[K];
            D2[K] = X[M2][K] - xc[K];
        }
        const double WX = D1[1] * D2[2] - D2[1] * D1[2];
        const double WY = D2[0] * D1[2] - D1[0] * D2[2];
        const double WZ = D1[0] * D2[1] - D2[0] * D1[1];
        S += 0.5 * std::sqrt(WZ * WZ + WY * WY + WX * WX);
    }
    return S;
}

// Everything of INFLU's work that depends on the element alone: the corners
// about the node, the normal and the in-plane axes, the corners in the
// plane, and each edge's length and direction.
void frame(int NV, const CORNERS& X, const double xc[3], ELDATA& E) {
    double V[MAXV][3];
    for (int M = 0; M < NV; ++M)
        for (int K = 0; K < 3; ++K) V[M][K] = X[M][K] - xc[K];
    double E1[3], E2[3], c[3];
    firstEdges(V[0], V[1], V[2], E1, E2, c);
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
    E.XMAG = 0.0;
    for (int M = 0; M < NV; ++M)
        for (int K = 0; K < 3; ++K) E.XMAG = std::fmax(E.XMAG, std::fabs(X[M][K]));
    for (int M = 0; M < NV; ++M) {
        const double dx = E.XL[M + 1] - E.XL[M];
        const double dy = E.YL[M + 1] - E.YL[M];
        const double L = std::sqrt(dy * dy + dx * dx);
        E.EL[M] = L;
        E.CX[M] = dx / L;
        E.CY[M] = dy / L;
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

// Largest distance from the node xc to a corner: the scale of DEGTOL.
double sizeOf(int NP, const CORNERS& X, const double xc[3]) {
    double size = 0.0;
    for (int M = 0; M < NP; ++M) {
        const double v[3] = {X[M][0] - xc[0], X[M][1] - xc[1], X[M][2] - xc[2]};
        size = std::fmax(size, norm3(v));
    }
    return size;
}

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
    double E1[3], E2[3], c[3];
    firstEdges(X[0].data(), X[1].data(), X[2].data(), E1, E2, c);
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

double MEMAVAIL() {
    // MemAvailable counts the page cache the system would give up; where
    // the file is missing, the physical memory.
    std::ifstream f("/proc/meminfo");
    for (std::string line; std::getline(f, line);) {
        std::istringstream in(line);
        std::string key;
        double kb = 0;
        if (in >> key >> kb && key == "MemAvailable:") return kb * 1024.0;
    }
    return static_cast<double>(sysconf(_SC_PHYS_PAGES)) * static_cast<double>(sysconf(_SC_PAGESIZE));
}

std::string MBTEXT(double BYTES) {
    return std::to_string(static_cast<long long>(std::ceil(BYTES / (1 << 20)))) + " MB";
}

std::string SOLADVICE(double DENSE) {
    const double avail = MEMAVAIL();
    if (DENSE <= avail)
        return "--solver=lu (its dense matrix needs " + MBTEXT(DENSE) + " of the " + MBTEXT(avail) +
               " available) or --solver=hmat";
    return "--solver=hmat (the dense matrix of --solver=lu would need " + MBTEXT(DENSE) + ", more than the " +
           MBTEXT(avail) + " available)";
}

}  // namespace telma
