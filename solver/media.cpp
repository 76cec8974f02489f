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
    // The images of the node with its normal mirrored (the same distances and
    // products as the element's images seen from the node)
    double PX[8], PY[8], PZ[8], KX[8], KY[8], KZ[8];
    int W[8], W1[8];
    const int NI = images(XC[I][1], XC[I][2], XC[I][3], PX, PY, PZ, W);
    images(1.0, 1.0, 1.0, KX, KY, KZ, W1);  // the mirror signs of each image
    const double* N = ELD[I].EN;
    const double* M = ELD[J].EN;
    double S = 0.0;
    for (int k = 0; k < (J == I ? NI - 1 : NI); ++k) {  // the direct term, last, not for the own element
        const double d[3] = {PX[k] - XC[J][1], PY[k] - XC[J][2], PZ[k] - XC[J][3]};
        const double r2 = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
        const double dn = d[0] * (KX[k] * N[0] + M[0]) + d[1] * (KY[k] * N[1] + M[1]) + d[2] * (KZ[k] * N[2] + M[2]);
        S -= W[k] * AREA[J] * C4PI * dn / (r2 * std::sqrt(r2));
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
    if (RG == 0.0 && RD == 0.0) {
        std::fill_n(row, NBE, 0.0);  // an interface between equal media
    } else if (RD == 0.0) {
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
            double GS = 0.0, HS = 0.0, DS = 0.0;
            GRDSYM(X, Y, Z, J, ELD[I].EN, GS, HS, DS);
            row[J - 1] = RG * GS + RD * DS;
        }
    }
    row[I - 1] += RJ;
    for (int L = 1; L <= NRHS; ++L) B[static_cast<std::size_t>(L - 1) * NBE + I] = MDRHS(I, VPRES(I, L, VRHS));
}

void MDSUMS(const SOLREQ&, std::vector<double>& U, std::vector<double>& K) {
#pragma omp parallel for schedule(dynamic, 16)
    for (int I = 1; I <= NBE; ++I) {
        if (KODE[I] <= 0) continue;
        if (EPSN[I] == 0.0) {
            POTINT(XC[I][1], XC[I][2], XC[I][3], U[I]);  // a wall: its potential alone
            continue;
        }
        double u = 0.0, k = 0.0;
        for (int J = 1; J <= NBE; ++J) {
            double GS = 0.0, HS = 0.0, DS = 0.0;
            GRDSYM(XC[I][1], XC[I][2], XC[I][3], J, ELD[I].EN, GS, HS, DS);
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
