// Influence coefficients of a plane polygon element, in closed form, and their
// sum over the symmetry images.
#include <cmath>

#include "solver/telma.hpp"

namespace telma {

namespace {

const double CF = -0.25 / (4.0 * std::atan(1.0));

// A field point whose distance from the line of an edge is below this
// fraction of the edge length lies on that line to within rounding.
constexpr double ONLINE = 1.0e-10;

// r1 + r2 - L without cancellation, from r1 + s1 and r2 - s2 (s2 - s1 = L);
// d2 is the squared distance from the field point to the line of the edge.
double logDenominator(double r1, double r2, double s1, double s2, double d2) {
    const double a = s1 < 0.0 ? d2 / (r1 - s1) : r1 + s1;
    const double b = s2 > 0.0 ? d2 / (r2 + s2) : r2 - s2;
    return a + b;
}

// True when (xp, yp, zp) lies on the line of an edge of E to within rounding.
bool onEdgeLine(const ELDATA& E, double xp, double yp, double zp) {
    for (int M = 0; M < E.NV; ++M) {
        const double tol = ONLINE * E.EL[M];
        const double R0 = (E.XL[M] - xp) * E.CY[M] - (E.YL[M] - yp) * E.CX[M];
        if (std::fabs(R0) <= tol && std::fabs(zp) <= tol) return true;
    }
    return false;
}

}  // namespace

void INFLU(double XP, double YP, double ZP, int J, double& G, double& H) {
    const ELDATA& E = ELD[J];
    const double px = XP - E.XN[0];
    const double py = YP - E.XN[1];
    const double pz = ZP - E.XN[2];
    const double xp = px * E.T1[0] + py * E.T1[1] + pz * E.T1[2];
    const double yp = px * E.T2[0] + py * E.T2[1] + pz * E.T2[2];
    double zp = px * E.EN[0] + py * E.EN[1] + pz * E.EN[2];
    // On the line of an edge the point is in the plane: zp is rounding noise
    // there, and its sign would decide the side from which H is seen.
    if (std::fabs(zp) <= ONLINE * E.ELMAX && onEdgeLine(E, xp, yp, zp)) zp = 0.0;
    const double SG = zp >= 0.0 ? 1.0 : -1.0;
    const double AZ = std::fabs(zp);
    const double Z2 = zp * zp;

    G = 0.0;
    H = 0.0;
    for (int M = 0; M < E.NV; ++M) {
        const double x1 = E.XL[M], y1 = E.YL[M];
        const double x2 = E.XL[M + 1], y2 = E.YL[M + 1];
        const double L = E.EL[M], cx = E.CX[M], cy = E.CY[M];
        const double s1 = (x1 - xp) * cx + (y1 - yp) * cy;
        const double s2 = (x2 - xp) * cx + (y2 - yp) * cy;
        const double R0 = (x1 - xp) * cy - (y1 - yp) * cx;
        // On the line of the edge (in the plane or above it) the exact tests
        // make both terms of the edge vanish; rounding noise in R0 and AZ must
        // not defeat them, or the log and angle terms blow up.
        if (std::fabs(R0) <= ONLINE * L) continue;
        const double r1 = std::sqrt((yp - y1) * (yp - y1) + (xp - x1) * (xp - x1) + Z2);
        const double r2 = std::sqrt((yp - y2) * (yp - y2) + (xp - x2) * (xp - x2) + Z2);
        const double rs = r1 + r2;
        double den = rs - L;
        if (!(den > 0.0)) den = logDenominator(r1, r2, s1, s2, R0 * R0 + Z2);
        const double FL = std::log((rs + L) / den);
        const double T1 = R0 * s1 * (AZ - r1) / (AZ * (s1 * s1) + r1 * (R0 * R0));
        const double T2 = R0 * s2 * (AZ - r2) / (AZ * (s2 * s2) + r2 * (R0 * R0));
        const double FA = std::atan2(T2 - T1, 1.0 + T1 * T2);
        G = G + AZ * FA + R0 * FL;
        H = H - SG * FA;
    }
    G = CF * G;
    H = CF * H;
    if (px == 0.0 && py == 0.0 && pz == 0.0) H = 0.0;
}

void INFSYM(double X, double Y, double Z, int J, double& GS, double& HS) {
    for (int KX = IREFX; KX <= 1; KX += 2) {
        const int WX = KX == -1 ? IPARX : 1;
        for (int KY = IREFY; KY <= 1; KY += 2) {
            const int WY = KY == -1 ? IPARY : 1;
            for (int KZ = IREFZ; KZ <= 1; KZ += 2) {
                const int WZ = KZ == -1 ? IPARZ : 1;
                const int W = WX * WY * WZ;
                double G, H;
                INFLU(KX * X, KY * Y, KZ * Z, J, G, H);
                GS += W * G;
                HS += W * H;
            }
        }
    }
}

}  // namespace telma
