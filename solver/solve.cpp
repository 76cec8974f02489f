// Steps 6 to 17 of the run: geometry, assembly, solve, results.
//
//   SOLVE  with the solver's phases, or with others (the plain reference's)
#include <cmath>
#include <utility>

#include "QVLIB/STPWATCH/stpwatch.hpp"
#include "solver/kernels.hpp"
#include "solver/options.hpp"

namespace telma {

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

int SOLVE(textio::OutUnit& rep) { return DNRUN(rep, ITSOLV); }

int DNRUN(textio::OutUnit& rep, MSOLVE SOLVER) {
    AMAT(NBE);
    return SOLVE(rep, {ASSEMB, DOMTST, &A(1, 1), NDIM, SOLVER, INTPTS});
}

int SOLVE(textio::OutUnit& rep, const PHASES& P) {
    textio::OutUnit& con = textio::console();
    ELCHK();
    GEOM();
    qvlib::SWSTRT();
    P.ASSEMB();
    if (P.DOMTST) {
        if (P.DOMTST(NBE))
            con.write("(' The matrix is diagonally dominant')");
        else
            con.write("(' The matrix is NOT diagonally dominant')");
    }
    qvlib::SWSTRT();
    for (int I = 1; I <= NBE; ++I) XIT[I] = 0.0;
    STAT = {};
    const bool solved = P.ITSOLV(P.A, &B[1], &XIT[1], NBE, 1, P.LDA, OPTS.TOL, IER);
    if (!solved) STAT.CONVGD = false;  // whatever the solver said of itself
    if (IER != 0) con.write("(' Ier non zero in PVT :',i4)", {IER});
    qvlib::SWSHOW();
    // Afterwards VBC holds the potential and B the normal derivative.
    for (int I = 1; I <= NBE; ++I)
        if (KODE[I] >= 1) std::swap(B[I], VBC[I]);
    P.INTPTS();
    RESCHK();
    OUTRES(rep);
    CURRNT(rep);
    CNVREP(rep);
    if (!solved) {
        con.write("(' *** THE SYSTEM WAS NOT SOLVED: THE RESULTS ARE NOT VALID ***')");
        return 1;
    }
    return 0;
}

}  // namespace telma
