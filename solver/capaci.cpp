// The capacitance matrix of the flux groups:
//
//   CAPSCOPE  the refusals, the conductors and their right-hand sides
//   CAPRUN    the run: every right-hand side solved by one solver
//   CAPMAT    the matrix from the solutions, its blocks and its checks
#include "solver/capaci.hpp"

#include <algorithm>
#include <cmath>
#include <string>

#include "solver/kernels.hpp"
#include "solver/media.hpp"
#include "solver/options.hpp"

namespace telma {

int NCOND = 0;
std::vector<int> ICOND;
std::vector<double> VCOND;
std::vector<int> IGRP;
std::vector<double> CAP;

namespace {

constexpr double EPS0 = 8.8541878128E-12;  // permittivity of vacuum, F/m
// Relative size beyond which an asymmetry (against the largest entry) or an
// entry of the wrong sign (against the largest of its row) is more than the
// discretisation leaves.
constexpr double CAPTOL = 1.0E-3;

// One block: its heading, then per conductor its group and its row times S.
void block(textio::OutUnit& rep, std::string_view head, double S) {
    BOTH(rep, head);
    const std::string fmt = "(I5," + std::to_string(NCOND) + "(2X,1P,E14.5))";
    std::vector<textio::Item> row;
    for (int H = 1; H <= NCOND; ++H) {
        row.assign(1, IGRP[H - 1]);
        for (int G = 1; G <= NCOND; ++G) row.emplace_back(S * CAP[(G - 1) * NCOND + H - 1]);
        BOTH(rep, fmt, row);
    }
}

}  // namespace

CAPSCOPE::CAPSCOPE() {
    // The elements first: a group number beyond the table is refused there.
    ELCHK();
    // A conductor and its image in an odd plane are at opposite potentials.
    const int IREF[3] = {IREFX, IREFY, IREFZ}, IPAR[3] = {IPARX, IPARY, IPARZ};
    static constexpr const char* AXIS[3] = {"X", "Y", "Z"};
    for (int K = 0; K < 3; ++K)
        if (IREF[K] == -1 && IPAR[K] == -1)
            REFUSE("(' ODD SYMMETRY PLANE ',A,' = 0: EACH CONDUCTOR WOULD FACE ITS OWN IMAGE AT',"
                   "' THE OPPOSITE POTENTIAL, WHICH IS NO CAPACITANCE PROBLEM; MESH BOTH SIDES')",
                   {AXIS[K]});
    int KMAX = 0;
    for (int I = 1; I <= NBE; ++I) {
        if (KODE[I] >= 1 && VBC[I] != 0.0)
            REFUSE("(' ELEMENT',I5,' HAS THE NORMAL DERIVATIVE',1PE12.5,': A CAPACITANCE NEEDS',"
                   "' EVERY PRESCRIBED DERIVATIVE 0')",
                   {I, VBC[I]});
        if (KODE[I] < 0) KMAX = std::max(KMAX, -KODE[I]);
    }
    if (KMAX == 0) REFUSE("(' NO FLUX GROUP (NEGATIVE CODE): THERE IS NO CONDUCTOR')", {});

    // Conductors in increasing group order; slot K of COND is group K's.
    std::vector<int> COND(static_cast<std::size_t>(KMAX) + 1, 0);
    for (int I = 1; I <= NBE; ++I)
        if (KODE[I] < 0) COND[-KODE[I]] = 1;
    IGRP.clear();
    for (int K = 1; K <= KMAX; ++K)
        if (COND[K]) {
            IGRP.push_back(K);
            COND[K] = static_cast<int>(IGRP.size());
        }
    ICOND.assign(static_cast<std::size_t>(NBE) + 1, 0);
    for (int I = 1; I <= NBE; ++I)
        if (KODE[I] < 0) ICOND[I] = COND[-KODE[I]];
    NCOND = static_cast<int>(IGRP.size());
    VCOND.assign(static_cast<std::size_t>(NBE) * NCOND, 0.0);
    for (int J = 1; J <= NBE; ++J)
        if (ICOND[J] > 0) VCOND[static_cast<std::size_t>(ICOND[J] - 1) * NBE + J - 1] = 1.0;
}

CAPSCOPE::~CAPSCOPE() {
    NCOND = 0;
    VCOND.clear();
}

int CAPRUN(textio::OutUnit& rep, const SOLVER& S, const SOLREQ& R) {
    const CAPSCOPE conductors;
    // One conductor at 1 and every other potential 0 is the data file's own
    // right-hand side already: its solution is the capacitance's column.
    bool own = NCOND == 1 && !MEDIA;
    for (int I = 1; I <= NBE && own; ++I)
        if (KODE[I] <= 0) own = VBC[I] == (ICOND[I] > 0 ? 1.0 : 0.0);
    SOLREQ RC = R;
    RC.NRHS = own ? 1 : 1 + NCOND;
    RC.VRHS = own ? nullptr : VCOND.data();
    const int status = RUN(rep, S, RC);
    // RUN has said that a failed solve leaves no valid result.
    if (status == 0) CAPMAT(&B[own ? 1 : static_cast<std::size_t>(NBE) + 1], NBE, rep);
    return status;
}

double CAPFARAD() { return EPS0 * (MEDIA ? 1.0 : OPTS.EPSR) * OPTS.LUNIT; }

void CAPMAT(const double* X, int LDX, textio::OutUnit& rep) {
    // The meshed conductor stands for itself and its images in the planes.
    const int IMAGES = (IREFX == -1 ? 2 : 1) * (IREFY == -1 ? 2 : 1) * (IREFZ == -1 ? 2 : 1);
    CAP.assign(static_cast<std::size_t>(NCOND) * NCOND, 0.0);
    for (int G = 1; G <= NCOND; ++G) {
        const double* Q = X + static_cast<std::size_t>(G - 1) * LDX;
        double* C = &CAP[static_cast<std::size_t>(G - 1) * NCOND];
        for (int I = 1; I <= NBE; ++I)
            if (ICOND[I] > 0) C[ICOND[I] - 1] += (MEDIA ? EPSB[I] : 1.0) * Q[I - 1] * AREA[I];
        for (int H = 0; H < NCOND; ++H) C[H] *= IMAGES;
    }
    const double FARAD = CAPFARAD();
    for (double c : CAP)
        if (!std::isfinite(c) || !std::isfinite(FARAD * c))
            REFUSE("(' THE CAPACITANCE IS NOT A FINITE NUMBER IN FARADS: THE PERMITTIVITY OR THE SIZE IS TOO LARGE')",
                   {});
    block(rep, "(/' CAPACITANCE'/)", 1.0);
    block(rep, "(/' CAPACITANCE (F)'/)", FARAD);

    // The checks: symmetry, and the signs of a Maxwell matrix.
    auto C = [](int H, int G) { return CAP[static_cast<std::size_t>(G - 1) * NCOND + H - 1]; };
    double CMAX = 0.0, ASYM = 0.0;
    for (double c : CAP) CMAX = std::max(CMAX, std::fabs(c));
    for (int H = 1; H <= NCOND; ++H)
        for (int G = 1; G < H; ++G) ASYM = std::max(ASYM, std::fabs(C(H, G) - C(G, H)));
    ASYM = CMAX > 0.0 ? ASYM / CMAX : 0.0;
    const textio::Item asym[] = {ASYM};
    BOTH(rep, "(/' ASYMMETRY MAX|C(H,G)-C(G,H)|/MAX|C| :',1PE10.3)", asym);
    bool bad = ASYM > CAPTOL;
    if (bad) BOTH(rep, "(' *** WARNING: THE MATRIX IS NOT SYMMETRIC')");
    // The signs are judged against the largest entry of the row: a small
    // conductor beside a large one has a small row.
    for (int H = 1; H <= NCOND; ++H) {
        const std::string h = std::to_string(IGRP[H - 1]);
        double S = 0.0, RMAX = 0.0;
        for (int G = 1; G <= NCOND; ++G) RMAX = std::max(RMAX, std::fabs(C(H, G)));
        for (int G = 1; G <= NCOND; ++G) {
            S += C(H, G);
            const std::string g = std::to_string(IGRP[G - 1]);
            const textio::Item hg[] = {h, g};
            if (G == H && !(C(H, G) > CAPTOL * RMAX)) {
                BOTH(rep, "(' *** WARNING: C(',A,',',A,') IS NOT POSITIVE')", hg);
                bad = true;
            } else if (G != H && C(H, G) > CAPTOL * RMAX) {
                BOTH(rep, "(' *** WARNING: C(',A,',',A,') IS POSITIVE')", hg);
                bad = true;
            }
        }
        if (S < -CAPTOL * RMAX) {
            const textio::Item hi[] = {h};
            BOTH(rep, "(' *** WARNING: THE ROW SUM OF GROUP ',A,' IS NEGATIVE')", hi);
            bad = true;
        }
    }
    if (bad)
        BOTH(rep, "(' *** THE MESH IS TOO COARSE, OR A CONDUCTOR IS NOT CLOSED OR FACES THE WRONG',"
                  "' SIDE')");
    rep.write("(' ',79('*'))");
}

}  // namespace telma
