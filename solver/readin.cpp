// The problem data file: read, check the bounds, derive the symmetry
// parameters and echo everything to the report while reading.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "solver/telma.hpp"

namespace telma {

namespace {

// One symmetry flag: the report line, the first sign and the mirror weight.
void symmetry(textio::OutUnit& rep, int isym, int& iref, int& ipar, const char* even, const char* odd) {
    iref = 1;
    if (isym == 1) {
        rep.write(even);
        iref = -1;
        ipar = 1;
    } else if (isym == -1) {
        rep.write(odd);
        iref = -1;
        ipar = -1;
    }
}

std::string of(const char* what, int i) { return std::string(what) + std::to_string(i); }

// Refuses counts whose tables, and dense matrix for the solvers that hold
// one (DENSE) or the estimate of a solver's operator (MEMOP), would not fit
// in the memory the system can give now, before any of it is taken; the
// estimate is said on the console.  The reader stands on the control record.
void MEMCHK(const textio::Reader& in, const SOLVER& S, double EPS) {
    const bool dense = S.DENSE;
    const double op = S.MEMOP ? S.MEMOP(NBE, NIP, EPS > 0.0 ? EPS : S.TOL) : 0.0;
    // the processes of a shared solve that are on this machine share its memory
    const double need = MEMNEED(NBE, NIP, dense) + op, avail = MEMAVAIL(), here = need * NPHERE;
    if (S.MEMOP)
        textio::console().write("(' Memory estimate : ',A,' (compressed operator ',A,'), ',A,' available')",
                                {MBTEXT(need) + (NPROC > 1 ? " a process" : ""), MBTEXT(op), MBTEXT(avail)});
    if (here <= avail) return;
    const std::string each = NPHERE > 1 ? " in each of the " + std::to_string(NPHERE) + " processes on this machine" : "";
    in.fail(std::string(dense     ? "the dense matrix and the tables of "
                        : S.MEMOP ? "the compressed operator and the tables of "
                                  : "the tables of ") +
            std::to_string(NBE) + " elements need " + (S.MEMOP ? "about " : "") + MBTEXT(need) + " of memory" + each +
            ", " + MBTEXT(avail) + " available" +
            (dense     ? " (--solver=hmat holds no dense matrix)"
             : S.MEMOP ? " (mpirun -np P on P machines shares it among them)"
                       : ""));
}

// Refuses a value beyond XBIG (an overflowed number included), naming it.
void bounded(textio::Reader& in, double v, const std::string& what) {
    if (std::fabs(v) <= XBIG) return;
    char shown[32];
    std::snprintf(shown, sizeof shown, "%.5E", v);
    in.fail("expected a number from -1E+50 to 1E+50 (" + what + "), found " +
            (std::isfinite(v) ? std::string(shown) : std::string("a number beyond the range of reals")));
}

}  // namespace

void READIN(textio::Reader& in, textio::OutUnit& rep, const SOLVER& S, double EPS) {
    auto& con = textio::console();

    rep.write("(' ',79('*'))");
    TITLE = in.readA(80);
    rep.write("(A)", {TITLE});

    in.begin();
    in.read(NBE, "NBE");
    in.read(ISYMX, "ISYMX");
    in.read(ISYMY, "ISYMY");
    in.read(ISYMZ, "ISYMZ");
    in.read(NIP, "NIP");
    in.end();

    rep.write(WIDEN("(/,/,' DATA',/,/,2X,'NUMBER OF BOUNDARY ELEMENTS =',I4,/,2X,"
                    "'NUMBER OF INTERNAL POINTS WHERE THE FUNCTION IS CALCULATED =',I4,/)",
                    {NBE, NIP}),
              {NBE, NIP});

    // The classic bounds hold for the classic solve; the others take any
    // count the memory allows.
    const bool lifted = !S.BOUNDED;
    if (NBE > NBEMAX && !lifted) {
        WHY = textio::format("(' TOO MANY ELEMENTS :',I4,'/',I4,' (maximum)')", {NBE, NBEMAX});
        con.put(WHY);
        SOLHINT(std::to_string(NBE) + " elements are beyond the " + std::to_string(NBEMAX) + " of the classic solve");
        textio::stop("*** FATAL ERROR ***", 1);
    }
    if (NIP > NIPMAX && !lifted) {
        WHY = textio::format("(' TOO INTERNAL POINTS :',I4,'/',I4,' (maximum)')", {NIP, NIPMAX});
        con.put(WHY);
        SOLHINT(std::to_string(NIP) + " internal points are beyond the " + std::to_string(NIPMAX) + " of the classic solve");
        textio::stop("*** FATAL ERROR ***", 1);
    }
    // Counts that would leave nothing to solve or index outside the tables;
    // the reader still stands on the control record.
    if (NBE <= 0) in.fail("expected 1 or more boundary elements (NBE), found " + std::to_string(NBE));
    if (NIP < 0) in.fail("expected 0 or more internal points (NIP), found " + std::to_string(NIP));
    MEMCHK(in, S, EPS);
    ALLOC(NBE, NIP);

    symmetry(rep, ISYMX, IREFX, IPARX, "('  X-EVEN SYMMETRY')", "('  X-ODD SYMMETRY')");
    symmetry(rep, ISYMY, IREFY, IPARY, "('  Y-EVEN SYMMETRY')", "('  Y-ODD SYMMETRY')");
    symmetry(rep, ISYMZ, IREFZ, IPARZ, "('  Z-EVEN SYMMETRY')", "('  Z-ODD SYMMETRY')");

    rep.write("(/,/,2X,'COORDINATES OF THE EXTREME POINTS OF THE BOUNDARY',' ELEMENTS',/,/,"
              "1X,'POINT',7X,'X',15X,'Y')");
    static const char* const axis[] = {"", "x", "y", "z"};
    std::vector<textio::Item> items;
    const std::string corners = WIDEN("(1X,I4,4(2X,1P,3E14.5))", {NBE});
    for (int I = 1; I <= NBE; ++I) {
        in.begin();
        in.read(NPE[I], of("NPE of element ", I));
        if (NPE[I] < 3 || NPE[I] > MAXV)
            in.fail("expected 3 or 4 corners (NPE of element " + std::to_string(I) + "), found " +
                           std::to_string(NPE[I]));
        for (int M = 1; M <= NPE[I]; ++M)
            for (int K = 1; K <= 3; ++K) {
                const std::string what =
                    std::string(axis[K]) + " of corner " + std::to_string(M) + " of element " + std::to_string(I);
                in.read(XE[I][M][K], what);
                bounded(in, XE[I][M][K], what);
            }
        in.end();
        items.assign({I});
        for (int M = 1; M <= NPE[I]; ++M)
            for (int K = 1; K <= 3; ++K) items.emplace_back(XE[I][M][K]);
        rep.write(corners, items);
    }

    rep.write("(/,/,2X,'BOUNDARY CONDITIONS',/,/,2X,'NODE',7X,'CODE',8X,'PRESCRIBED VALUE')");
    for (int I = 1; I <= NBE; ++I) {
        in.begin();
        in.read(KODE[I], of("KODE of node ", I));
        in.read(VBC[I], of("prescribed value of node ", I));
        bounded(in, VBC[I], of("prescribed value of node ", I));
        in.end();
        // A flux group is -KODE and must fit the flux table.
        if (KODE[I] < -NGMAX)
            in.fail("expected a code of -" + std::to_string(NGMAX) + " or more (KODE of node " +
                           std::to_string(I) + "), found " + std::to_string(KODE[I]));
        rep.write(WIDEN("(1X,I4,9X,I3,8X,1P,E14.5)", {NBE, KODE[I]}), {I, KODE[I], VBC[I]});
    }

    if (NIP == 0) return;
    in.begin();
    for (int I = 1; I <= NIP; ++I)
        for (int K = 1; K <= 3; ++K) {
            const std::string what = std::string(axis[K]) + " of internal point " + std::to_string(I);
            in.read(XIP[I][K], what);
            bounded(in, XIP[I][K], what);
        }
    in.end();
}

}  // namespace telma
