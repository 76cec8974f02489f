// The run after the data are read (RUN): geometry, the operator, the solve,
// the internal points and the report, the same sequence for every solver.
#include <chrono>
#include <cmath>
#include <utility>

#include "QVLIB/STPWATCH/stpwatch.hpp"
#include "solver/kernels.hpp"
#include "solver/media.hpp"

namespace telma {

RUNREC LASTRUN;

namespace {

// Refuses to report a result that is not a finite number, naming the node or
// the internal point that holds it.
void RESCHK() {
    for (int I = 1; I <= NBE; ++I)
        if (!std::isfinite(VBC[I]) || !std::isfinite(B[I])) {
            textio::console().write("(' NODE',I5,': THE RESULT IS NOT A FINITE NUMBER')", {I});
            textio::stop("*** FATAL ERROR ***", 1);
        }
    for (int I = 1; I <= NIP; ++I)
        if (!std::isfinite(UIP[I]) || !std::isfinite(GRADV[1][I]) || !std::isfinite(GRADV[2][I]) ||
            !std::isfinite(GRADV[3][I])) {
            textio::console().write("(' INTERNAL POINT',I5,': THE RESULT IS NOT A FINITE NUMBER')", {I});
            textio::stop("*** FATAL ERROR ***", 1);
        }
}

}  // namespace

int RUN(textio::OutUnit& rep, const SOLVER& S, const SOLREQ& REQ) {
    textio::OutUnit& con = textio::console();
    SOLREQ R = REQ;
    if (!(R.EPS > 0.0)) R.EPS = S.TOL;
    ELCHK();
    GEOM();
    if (!MEDIA) NEUCHK();
    IPCHK();
    // B and the iterates hold every right-hand side, NBE entries each.
    const std::size_t NB = static_cast<std::size_t>(R.NRHS) * NBE + 1;
    if (B.size() < NB) B.resize(NB);
    XIT.assign(std::max(NB, XIT.size()), 0.0);
    using CLOCK = std::chrono::steady_clock;
    auto since = [](CLOCK::time_point t0) { return std::chrono::duration<double>(CLOCK::now() - t0).count(); };
    LASTRUN = RUNREC{};
    auto t0 = CLOCK::now();
    qvlib::SWSTRT();
    S.BUILD(R);
    LASTRUN.BUILD = since(t0);
    if (S.DOMTST) {
        if (S.DOMTST(NBE))
            con.write("(' The matrix is diagonally dominant')");
        else
            con.write("(' The matrix is NOT diagonally dominant')");
    }
    qvlib::SWSTRT();
    IER = 0;
    t0 = CLOCK::now();
    const SOLSTAT ST = S.SOLVE(R);
    LASTRUN.ST = ST;
    LASTRUN.SOLVED = true;
    LASTRUN.SOLVE = since(t0);
    if (IER != 0) con.write("(' Ier non zero in PVT :',i4)", {IER});
    if (!ST.RESULT) {
        // Nothing to report but why.
        CNVREP(rep, ST);
        textio::stop("*** FATAL ERROR ***", 1);
    }
    qvlib::SWSHOW();
    // Afterwards VBC holds the potential and B the normal derivative.
    if (MEDIA)
        MDPOST(R, S.SUMS);
    else
        for (int I = 1; I <= NBE; ++I)
            if (KODE[I] >= 1) std::swap(B[I], VBC[I]);
    t0 = CLOCK::now();
    S.POINTS(R);
    LASTRUN.POINTS = since(t0);
    RESCHK();
    OUTRES(rep);
    CURRNT(rep);
    CNVREP(rep, ST);
    if (!ST.CONVGD) {
        con.write("(' *** THE SYSTEM WAS NOT SOLVED: THE RESULTS ARE NOT VALID ***')");
        if (ST.KIND == STEPS::SWEEPS) SOLHINT("the Gauss-Seidel sweeps did not converge");
        return 1;
    }
    return 0;
}

}  // namespace telma
