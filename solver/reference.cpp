// The plain reference of the solver (see reference.hpp).
#include "solver/reference.hpp"

#include <cfloat>
#include <cmath>
#include <cstddef>
#include <string_view>

#include "QVLIB/STPWATCH/stpwatch.hpp"
#include "solver/kernels.hpp"

namespace telma::reference {

namespace {

double Acm[static_cast<std::size_t>(NBEMAX) * NBEMAX];

const double CF = -0.25 / (4.0 * std::atan(1.0));
constexpr double ONLINE = 16.0 * DBL_EPSILON;  // as in influ.cpp

double norm3(const double v[3]) { return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); }

}  // namespace

double& A(int I, int J) { return Acm[static_cast<std::size_t>(J - 1) * NBEMAX + (I - 1)]; }
const double* matrix() { return Acm; }

void INFLU(double XP, double YP, double ZP, int J, double& G, double& H) {
    const int NV = NPE[J];
    // corners relative to the node, the first two sides, the frame
    double V[MAXV][3];
    for (int M = 0; M < NV; ++M)
        for (int K = 0; K < 3; ++K) V[M][K] = XE[J][M + 1][K + 1] - XC[J][K + 1];
    double E1[3], E2[3];
    for (int K = 0; K < 3; ++K) {
        E1[K] = V[1][K] - V[0][K];
        E2[K] = V[2][K] - V[1][K];
    }
    const double p[3] = {XP - XC[J][1], YP - XC[J][2], ZP - XC[J][3]};
    const double c[3] = {E1[1] * E2[2] - E1[2] * E2[1], E1[2] * E2[0] - E1[0] * E2[2],
                         E1[0] * E2[1] - E1[1] * E2[0]};
    const double cn = norm3(c);
    const double e1n = norm3(E1);
    double n[3], t1[3], t2[3];
    for (int K = 0; K < 3; ++K) {
        n[K] = c[K] / cn;
        t1[K] = E1[K] / e1n;
    }
    t2[0] = n[1] * t1[2] - n[2] * t1[1];
    t2[1] = n[2] * t1[0] - n[0] * t1[2];
    t2[2] = n[0] * t1[1] - n[1] * t1[0];
    const double xp = p[0] * t1[0] + p[1] * t1[1] + p[2] * t1[2];
    const double yp = p[0] * t2[0] + p[1] * t2[1] + p[2] * t2[2];
    double zp = p[0] * n[0] + p[1] * n[1] + p[2] * n[2];
    double xl[MAXV + 1], yl[MAXV + 1];
    for (int M = 0; M < NV; ++M) {
        xl[M] = V[M][0] * t1[0] + V[M][1] * t1[1] + V[M][2] * t1[2];
        yl[M] = V[M][0] * t2[0] + V[M][1] * t2[1] + V[M][2] * t2[2];
    }
    xl[NV] = xl[0];
    yl[NV] = yl[0];
    // on the line of an edge, to within the rounding of the coordinates, the
    // point is in the plane
    const double mag = std::fmax(std::fmax(std::fabs(XP), std::fabs(YP)), std::fabs(ZP));
    double cmag = 0.0;
    for (int M = 1; M <= NV; ++M)
        for (int K = 1; K <= 3; ++K) cmag = std::fmax(cmag, std::fabs(XE[J][M][K]));
    const double zone = ONLINE * std::fmax(mag, cmag);
    if (std::fabs(zp) <= zone) {
        for (int M = 0; M < NV; ++M) {
            const double dx = xl[M + 1] - xl[M], dy = yl[M + 1] - yl[M];
            const double L = std::sqrt(dy * dy + dx * dx);
            const double R0 = (xl[M] - xp) * (dy / L) - (yl[M] - yp) * (dx / L);
            if (std::fabs(R0) <= zone) {
                zp = 0.0;
                break;
            }
        }
    }
    const double SG = zp >= 0.0 ? 1.0 : -1.0;
    const double AZ = std::fabs(zp);
    const double Z2 = zp * zp;
    G = 0.0;
    H = 0.0;
    for (int M = 0; M < NV; ++M) {
        const double x1 = xl[M], y1 = yl[M], x2 = xl[M + 1], y2 = yl[M + 1];
        const double L = std::sqrt((y2 - y1) * (y2 - y1) + (x2 - x1) * (x2 - x1));
        const double cx = (x2 - x1) / L, cy = (y2 - y1) / L;
        const double s1 = (x1 - xp) * cx + (y1 - yp) * cy;
        const double s2 = (x2 - xp) * cx + (y2 - yp) * cy;
        const double R0 = (x1 - xp) * cy - (y1 - yp) * cx;
        if (std::fabs(R0) <= zone) continue;
        const double r1 = std::sqrt((yp - y1) * (yp - y1) + (xp - x1) * (xp - x1) + Z2);
        const double r2 = std::sqrt((yp - y2) * (yp - y2) + (xp - x2) * (xp - x2) + Z2);
        double den = r1 + r2 - L;
        if (!(den > 0.0)) {
            // r1 + r2 - L without cancellation
            const double d2 = R0 * R0 + Z2;
            const double a = s1 < 0.0 ? d2 / (r1 - s1) : r1 + s1;
            const double b = s2 > 0.0 ? d2 / (r2 + s2) : r2 - s2;
            den = a + b;
        }
        const double FL = std::log((r1 + r2 + L) / den);
        const double T1 = R0 * s1 * (AZ - r1) / (AZ * (s1 * s1) + r1 * (R0 * R0));
        const double T2 = R0 * s2 * (AZ - r2) / (AZ * (s2 * s2) + r2 * (R0 * R0));
        const double FA = std::atan2(T2 - T1, 1.0 + T1 * T2);
        G = G + AZ * FA + R0 * FL;
        H = H - SG * FA;
    }
    G = CF * G;
    H = CF * H;
    if (p[0] == 0.0 && p[1] == 0.0 && p[2] == 0.0) H = 0.0;
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

// The progress line before index I of N, every tenth index, with the time.
static void progress(std::string_view fmt, int I, int N) {
    if (I % 10 != 0) return;
    textio::OutUnit& con = textio::console();
    con.write(fmt, {I, N});
    float t;
    qvlib::SWTIME(t);
    con.write("(', time :',f8.3)", {t});
}

void ASSEMB() {
    textio::OutUnit& con = textio::console();
    for (int I = 1; I <= NBE; ++I) {
        progress("(' Calculation line #',i4,'/',i4,\\)", I, NBE);
        B[I] = 0.0;
        for (int J = 1; J <= NBE; ++J) {
            A(I, J) = 0.0;
            double GSUM = 0.0;
            double HSUM = J == I ? -0.5 : 0.0;
            INFSYM(XC[I][1], XC[I][2], XC[I][3], J, GSUM, HSUM);
            if (KODE[J] <= 0) {
                A(I, J) = A(I, J) + GSUM;
                B[I] = B[I] + VBC[J] * HSUM;
            } else {
                A(I, J) = A(I, J) - HSUM;
                B[I] = B[I] - VBC[J] * GSUM;
            }
        }
    }
    con.write("()");
}

bool DOMTST(int N) {
    bool dominant = true;
    for (int J = 1; J <= N; ++J) {
        double S = 0.0;
        for (int I = 1; I <= N; ++I)
            if (I != J) S += std::fabs(A(I, J));
        if (!(dominant && std::fabs(A(J, J)) > S)) dominant = false;
    }
    return dominant;
}

double SWEEP(const double* A, const double* B, double* X, int N, int M, int LDA) {
    double ERR = 0.0;
    for (int I = 0; I < N; ++I) {
        for (int L = 0; L < M; ++L) {
            double* x = X + static_cast<std::size_t>(L) * LDA;
            double S = 0.0;
            for (int J = 0; J < N; ++J)
                if (J != I) S += x[J] * A[static_cast<std::size_t>(J) * LDA + I];
            const double XNEW =
                (B[static_cast<std::size_t>(L) * LDA + I] - S) / A[static_cast<std::size_t>(I) * LDA + I];
            const double D = x[I] - XNEW;
            x[I] = XNEW;
            ERR += D * D;
        }
    }
    return ERR;
}

bool ITSOLV(const double* A, double* B, double* X, int N, int M, int LDA, double EPS, int& IER,
            SOLSTAT& ST) {
    return telma::ITERATE([&] { return SWEEP(A, B, X, N, M, LDA); }, B, X, N, M, LDA, EPS, IER, ST);
}

void POTINT(double X, double Y, double Z, double& UP) {
    UP = 0.0;
    for (int J = 1; J <= NBE; ++J) {
        double GSUM = 0.0, HSUM = 0.0;
        INFSYM(X, Y, Z, J, GSUM, HSUM);
        UP = UP + VBC[J] * HSUM - B[J] * GSUM;
    }
}

void INTPTS() {
    if (NIP == 0) return;
    qvlib::SWSTRT();
    for (int I = 1; I <= NIP; ++I) {
        progress("(' Internal points #',i4,'/',i4,\\)", I, NIP);
        POTINT(XIP[I][1], XIP[I][2], XIP[I][3], UIP[I]);
        POTINT(XIP[I][1] + DELTA, XIP[I][2], XIP[I][3], GRADV[1][I]);
        POTINT(XIP[I][1], XIP[I][2] + DELTA, XIP[I][3], GRADV[2][I]);
        POTINT(XIP[I][1], XIP[I][2], XIP[I][3] + DELTA, GRADV[3][I]);
        for (int K = 1; K <= 3; ++K) GRADV[K][I] = (GRADV[K][I] - UIP[I]) / DELTA;
    }
}

const SOLVER GSSOLVER = {"reference", EPSIT, true, true, false,
                         [](const SOLREQ&) { ASSEMB(); },
                         DOMTST,
                         [](const SOLREQ& R) {
                             SOLSTAT ST;
                             reference::ITSOLV(Acm, &B[1], &XIT[1], NBE, 1, NBEMAX, R.EPS, IER, ST);
                             return ST;
                         },
                         [](const SOLREQ&) { INTPTS(); }};

int RUN(textio::OutUnit& rep) { return telma::RUN(rep, GSSOLVER); }

double RELDIF(const std::vector<double>& X, const std::vector<double>& REF) {
    if (X.size() != REF.size()) return HUGE_VAL;
    double m = 0.0, d = 0.0;
    for (std::size_t I = 0; I < REF.size(); ++I) {
        m = std::fmax(m, std::fabs(REF[I]));
        d = std::fmax(d, std::fabs(X[I] - REF[I]));
    }
    return m > 0.0 ? d / m : d;
}

}  // namespace telma::reference
