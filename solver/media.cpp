// Piecewise-homogeneous media (see media.hpp):
//
//   MEDRD   reads the media file
//   MEDREP  the MEDIA block of the report
//   MDCOEF  the weights of a row of the charge formulation
//   MDRHS   its right-hand side
//   MDPREP  the corrections of the normal derivative
//   MDROW   a row of the dense operator
//   MDPOST  potential and normal derivative from the charges
#include "solver/media.hpp"

#include <omp.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <sstream>

#include "solver/kernels.hpp"

namespace telma {

bool MEDIA = false;
std::vector<MEDLINE> MEDLST;
std::vector<double> EPSB, EPSN, SIGMA, CSELF;
double EPSREST = 1.0;

namespace {

// The words of a line, blanks and tabs between them.
std::vector<std::string> words(const std::string& line) {
    std::vector<std::string> w;
    std::istringstream is(line);
    for (std::string s; is >> s;) w.push_back(s);
    return w;
}

const MEDLINE* listed(int K) {
    for (const MEDLINE& m : MEDLST)
        if (m.K == K) return &m;
    return nullptr;
}

}  // namespace

void MEDRD(std::istream& in, const std::string& NAME, double REST) {
    MEDIA = false;
    MEDLST.clear();
    int LINE = 0;
    auto fail = [&](int at, const std::string& what) {
        throw textio::IoError(NAME + ":" + std::to_string(at) + ": " + what);
    };
    for (std::string line; textio::readLine(in, line);) {
        ++LINE;
        if (const auto hash = line.find('#'); hash != std::string::npos) line.resize(hash);
        const std::vector<std::string> w = words(line);
        if (w.empty()) continue;
        int K = 0;
        if (!textio::parseInt(w[0], K)) fail(LINE, "expected a code (an integer), found \"" + w[0] + "\"");
        const std::size_t want = K <= 0 ? 2 : 3;
        if (w.size() != want)
            fail(LINE, K <= 0 ? "expected `K EPS` for a conductor code K <= 0, found " + std::to_string(w.size()) + " values"
                              : "expected `K EPS_N EPS_B` for an interface code K >= 1, found " +
                                    std::to_string(w.size()) + " values");
        double e[2] = {0.0, 0.0};
        for (std::size_t k = 1; k < want; ++k)
            if (!textio::parseReal(w[k], e[k - 1]) || !std::isfinite(e[k - 1]) || !(e[k - 1] > 0.0))
                fail(LINE, "expected a positive permittivity, found \"" + w[k] + "\"");
        if (const MEDLINE* m = listed(K))
            fail(LINE, "code " + std::to_string(K) + " is listed twice (first at line " + std::to_string(m->LINE) + ")");
        MEDLST.push_back(K <= 0 ? MEDLINE{K, 0.0, e[0], LINE, 0} : MEDLINE{K, e[0], e[1], LINE, 0});
    }
    if (in.bad()) fail(LINE, "reading failed");

    EPSB.assign(static_cast<std::size_t>(NBE) + 1, REST);
    EPSN.assign(static_cast<std::size_t>(NBE) + 1, 0.0);
    for (int I = 1; I <= NBE; ++I)
        for (MEDLINE& m : MEDLST)
            if (m.K == KODE[I]) {
                ++m.COUNT;
                if (m.K >= 1 && VBC[I] != 0.0) {
                    std::ostringstream v;
                    v << VBC[I];
                    fail(m.LINE, "code " + std::to_string(m.K) + " is an interface, so its elements' value must be 0; element " +
                                     std::to_string(I) + " has " + v.str());
                }
                EPSB[I] = m.EB;
                EPSN[I] = m.EN;
            }
    for (const MEDLINE& m : MEDLST)
        if (m.COUNT == 0) fail(m.LINE, "no element has code " + std::to_string(m.K));
    EPSREST = REST;
    MEDIA = true;
}

void MEDREP(textio::OutUnit& rep) {
    rep.write("(/,' MEDIA',/,/,'  CODE  ELEMENTS  KIND',13X,'EPS-N',8X,'EPS-B')");
    for (const MEDLINE& m : MEDLST)
        if (m.K <= 0)
            rep.write("(I6,I10,'  CONDUCTOR',13X,1P,E13.5)", {m.K, m.COUNT, m.EB});
        else
            rep.write("(I6,I10,'  INTERFACE',1P,E13.5,E13.5)", {m.K, m.COUNT, m.EN, m.EB});
    rep.write("('  OTHER CODES',27X,1P,E13.5)", {EPSREST});
}

void MDCOEF(int I, double& RG, double& RD, double& RJ) {
    if (KODE[I] <= 0) {
        // the potential of the charges: -G each
        RG = -1.0;
        RD = 0.0;
        RJ = 0.0;
    } else {
        // SIGMA/2 - LAMBDA K SIGMA at an interface, SIGMA/2 + K SIGMA at a
        // wall, with K SIGMA = -D SIGMA + CSELF(I) SIGMA(I)
        RG = 0.0;
        RD = EPSN[I] > 0.0 ? (EPSN[I] - EPSB[I]) / (EPSN[I] + EPSB[I]) : -1.0;
        RJ = 0.5 - RD * CSELF[I];
    }
}

double MDMID(int I, int J) {
    constexpr double C4PI = 0.25 / std::numbers::pi;
    const double* X = &XC[I][1];
    const double* N = ELD[I].EN;
    double S = 0.0;
    for (int KX = IREFX; KX <= 1; KX += 2)
        for (int KY = IREFY; KY <= 1; KY += 2)
            for (int KZ = IREFZ; KZ <= 1; KZ += 2) {
                if (J == I && KX == 1 && KY == 1 && KZ == 1) continue;
                const int W = (KX == -1 ? IPARX : 1) * (KY == -1 ? IPARY : 1) * (KZ == -1 ? IPARZ : 1);
                const double K[3] = {double(KX), double(KY), double(KZ)};
                double d[3], r2 = 0.0, dn = 0.0;
                for (int c = 0; c < 3; ++c) {
                    d[c] = X[c] - K[c] * XC[J][c + 1];
                    r2 += d[c] * d[c];
                }
                for (int c = 0; c < 3; ++c) dn += d[c] * (N[c] + K[c] * ELD[J].EN[c]);
                S -= W * AREA[J] * C4PI * dn / (r2 * std::sqrt(r2));
            }
    return S;
}

void MDPREP(void (*CORR)(const SOLREQ& R), const SOLREQ& R) {
    const double t0 = omp_get_wtime();
    CSELF.assign(static_cast<std::size_t>(NBE) + 1, 0.0);
    if (CORR) {
        CORR(R);
    } else {
#pragma omp parallel for schedule(dynamic, 16)
        for (int I = 1; I <= NBE; ++I) {
            if (KODE[I] <= 0) continue;
            double S = 0.0;
            for (int J = 1; J <= NBE; ++J) {
                // the double layer of 1 less the discrete normal derivative of
                // 1, and the difference of the two kernels at the nodes
                double GS = 0.0, HS = 0.0, DS = 0.0;
                GRDSYM(XC[I][1], XC[I][2], XC[I][3], J, ELD[I].EN, GS, HS, DS);
                S += DS - HS + MDMID(I, J);
            }
            CSELF[I] = S;
        }
    }
    textio::console().write("(' Corrections of the normal derivative, time :',f8.3)",
                            {static_cast<float>(omp_get_wtime() - t0)});
}

double MDRHS(int I, double V) { return KODE[I] >= 1 && EPSN[I] > 0.0 ? 0.0 : V; }

void MDROW(int I, int NRHS, const double* VRHS) {
    double RG, RD, RJ;
    MDCOEF(I, RG, RD, RJ);
    const double X = XC[I][1], Y = XC[I][2], Z = XC[I][3];
    double* row = &A(I, 1);
    if (RD == 0.0) {
        double GSUM[PIECE], HSUM[PIECE];
        for (int J0 = 1; J0 <= NBE; J0 += PIECE) {
            const int J1 = std::min(NBE + 1, J0 + PIECE);
            std::fill_n(GSUM, J1 - J0, 0.0);
            std::fill_n(HSUM, J1 - J0, 0.0);
            INFSYMS(X, Y, Z, J0, J1, GSUM, HSUM);
            for (int J = J0; J < J1; ++J) row[J - 1] = RG * GSUM[J - J0];
        }
    } else {
        for (int J = 1; J <= NBE; ++J) {
            double GS = 0.0, DS = 0.0;
            double HS = 0.0;
            GRDSYM(X, Y, Z, J, ELD[I].EN, GS, HS, DS);
            row[J - 1] = RG * GS + RD * DS;
        }
    }
    row[I - 1] += RJ;
    B[I] = MDRHS(I, VBC[I]);
    for (int L = 2; L <= NRHS; ++L)
        B[static_cast<std::size_t>(L - 1) * NBE + I] = MDRHS(I, VRHS[static_cast<std::size_t>(L - 2) * NBE + I - 1]);
}

void MDSUMS(const SOLREQ&, std::vector<double>& U, std::vector<double>& K) {
#pragma omp parallel for schedule(dynamic, 16)
    for (int I = 1; I <= NBE; ++I) {
        if (KODE[I] <= 0) continue;
        const bool face = EPSN[I] > 0.0;
        double u = 0.0, k = 0.0;
        for (int J = 1; J <= NBE; ++J) {
            double GS = 0.0, HS = 0.0, DS = 0.0;
            if (face)
                GRDSYM(XC[I][1], XC[I][2], XC[I][3], J, ELD[I].EN, GS, HS, DS);
            else
                INFSYM(XC[I][1], XC[I][2], XC[I][3], J, GS, HS);
            u -= SIGMA[J] * GS;
            k -= SIGMA[J] * DS;
        }
        U[I] = u;
        K[I] = k;
    }
}

void MDPOST(const SOLREQ& R, MDSUMFN SUMS) {
    const double t0 = omp_get_wtime();
    SIGMA.assign(B.begin(), B.begin() + NBE + 1);
    std::vector<double> U(static_cast<std::size_t>(NBE) + 1, 0.0), K(U);
    (SUMS ? SUMS : MDSUMS)(R, U, K);
    for (int I = 1; I <= NBE; ++I) {
        if (KODE[I] <= 0) {
            B[I] = SIGMA[I];
            continue;
        }
        // a wall keeps its prescribed derivative; an interface's is computed
        B[I] = EPSN[I] > 0.0 ? 0.5 * SIGMA[I] + K[I] + CSELF[I] * SIGMA[I] : VBC[I];
        VBC[I] = U[I];
    }
    textio::console().write("(' Potentials and derivatives from the charges, time :',f8.3)",
                            {static_cast<float>(omp_get_wtime() - t0)});
}

}  // namespace telma
