// The solver's shared storage and routines.  The fast kernels these routines
// are built on are declared in kernels.hpp, the plain reference they are
// checked against in reference.hpp, the element shapes and table bounds in
// shapes.hpp, the results as VTK files in vtuout.hpp.
//
// All problem data and work tables live here, sized by ALLOC from the counts of
// the data file, once per run.  Tables are 1-based: slot 0 is never used.  A
// table written XE(K,M,I) in the comments (first index fastest, as the data
// file lists them) is XE[I][M][K] here, so that its memory order is the same.
#pragma once

#include <array>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "solver/shapes.hpp"
#include "textio/textio.hpp"

namespace telma {

// ---- problem data, filled by READIN
extern std::string TITLE;                       // 80 characters
extern int NBE, NIP;
extern int ISYMX, ISYMY, ISYMZ;
extern int IREFX, IREFY, IREFZ;                 // -1: plane present, 1: not
extern int IPARX, IPARY, IPARZ;                 // weight of the mirrored term
using POINT = std::array<double, 4>;              // (K), K = 1..3
extern std::vector<int> NPE;
extern std::vector<std::array<POINT, MAXV + 1>> XE;  // XE(K,M,I)
extern std::vector<int> KODE;
extern std::vector<double> VBC;
extern std::vector<POINT> XIP;                       // XIP(K,I)
// Flux groups run from 1 to NGMAX (codes down to -NGMAX): NGROUPS(NBE).
extern int NGMAX;

// NPROC, MYPROC: the processes of the run (a launcher's, mpirun -np P) and
// this one's rank, 0-based; NPHERE: those of them on this machine; 1, 0
// and 1 in a run of one.  In storage.cpp.
extern int NPROC, MYPROC, NPHERE;

// MEMNEED: the bytes a run of N elements and NIP internal points takes in
// the tables of this header and of kernels.hpp, with the dense matrix when
// DENSE.  In storage.cpp.
//   N, NIP  (in)  the counts;  DENSE (in) whether the matrix is held
double MEMNEED(double N, double NIP, bool DENSE);

// SOLHINT: names on standard error the solver that would take this problem
// (N elements, NIP points): --solver=lu while its dense matrix fits in the
// memory available, else --solver=hmat; WHY says what stopped this run.  In
// storage.cpp.
void SOLHINT(const std::string& WHY);


// ALLOC: the element tables sized for N elements, the point tables for NIP
// points, the flux table for NGMAX groups, all zero.  The matrix is not
// touched (AMAT).  In storage.cpp.
//   N, NIP  (in)  the counts
void ALLOC(int N, int NIP);

// CLEAR: the counts, symmetry flags and tables back to an empty problem with
// the tables and the matrix sized for the classic bounds, for drivers that
// set up several problems in one process (tests, the benchmark) and fill the
// tables themselves.  In storage.cpp.
void CLEAR();

// ---- element geometry, filled by GEOM
extern std::vector<POINT> XC;                   // XC(K,I)
extern std::vector<double> AREA;

// ---- the linear system (owned by the driver)
// The dense matrix, allocated by AMAT for the solvers that hold it; its
// storage order is private to the solver, reach it through A(I,J).  NDIM is
// its order, 0 before AMAT.
double& A(int I, int J);
extern int NDIM;
// AMAT: the matrix of order N, in place of the one before (contents left
// undefined).  Throws std::bad_alloc when the memory cannot be had.  In
// storage.cpp.
//   N  (in)  the order, also the row stride of the storage
void AMAT(int N);
// The right-hand sides, then the solutions: B(I,L) at B[(L - 1) * NBE + I]
// for the NRHS of a run (RUN sizes B and XIT for them); B(I) = B(I,1).
extern std::vector<double> B;
extern std::vector<double> XIT;  // the iterates, laid out as B
extern int IER;

// ---- internal points and fluxes
extern std::vector<double> UIP;
extern std::array<std::vector<double>, 4> GRADV;  // GRADV(I,K)
extern std::vector<double> FLUX;                  // FLUX(K), K = 1..NGMAX
extern int NGRP;

// ---- constants of the numerics
constexpr double EPSIT = 1.0E-8;  // tolerance of the solve
constexpr int MAXIT = 999;        // sweep limit of ITSOLV (fits the i3 field)
constexpr double DELTA = 1.0E-4;  // finite-difference step of INTPTS

// WIDEN: the format FMT with its K-th I edit descriptor (in the order
// written, outside quotes) widened to the digits of V(K) where V(K) would
// not fit, when the run is beyond the classic bounds (NBE > NBEMAX or NIP >
// NIPMAX); FMT unchanged otherwise, so that classic runs keep every line
// they wrote.  In widen.cpp.
//   FMT  (in)  the format;  V (in) the largest value each field holds
std::string WIDEN(std::string_view FMT, std::span<const long long> V);
inline std::string WIDEN(std::string_view FMT, std::initializer_list<long long> V) {
    return WIDEN(FMT, std::span<const long long>(V.begin(), V.size()));
}

// ---- the solvers of the boundary system
//
// A solver is a SOLVER: the routines RUN calls for the three phases that
// differ between solvers (the operator, the solve, the internal points),
// filled by each family: GSSOLVER (Gauss-Seidel sweeps, itsolv.cpp), LUSOLVER
// (solver/lu), HMSOLVER (solver/hmat).  Each phase gets the request SOLREQ
// and nothing else: the problem itself is the storage above.  The
// right-hand sides are B's NRHS columns, B(I,L) at B[(L - 1) * NBE + I]; the
// solve leaves the solutions there, and says how it ended in a SOLSTAT.

// The processes of a distributed solve, as the Fortran handle of their MPI
// communicator (MPI_Comm_c2f); WORLD: every process of the run.
constexpr int WORLD = -1;

// Rows of a slice of a compressed operator, at least (SOLREQ::SLICE).
constexpr int HMSLICE = 8192;

// SOLREQ: what one run asks of its solver.
struct SOLREQ {
    double EPS = 0.0;       // the tolerance; 0: the solver's own (SOLVER::TOL)
    int NRHS = 1;           // right-hand sides: the data file's, then NRHS - 1 more
    // The prescribed values of the right-hand sides after the first (which
    // takes VBC): element J of right-hand side L at VRHS[(L - 2) * NBE + J - 1].
    const double* VRHS = nullptr;
    int SLICE = HMSLICE;    // a compressed operator's slices: rows at least
    int COMM = WORLD;       // the processes that share the solve
};

// VPRES: the prescribed value of element J in right-hand side L: VBC(J) in
// the first, VRHS's entry (as SOLREQ::VRHS holds them) in the others.
inline double VPRES(int J, int L, const double* VRHS) {
    return L == 1 ? VBC[J] : VRHS[static_cast<std::size_t>(L - 2) * NBE + J - 1];
}

// How a solve counts its steps, and so how its report names them.
enum class STEPS { SWEEPS, ITERATIONS, FACTORISATION };

// SOLSTAT: how the solve ended, as the solver reports it.
struct SOLSTAT {
    const char* METHOD = "GAUSS-SEIDEL";  // what CNVREP names it: "GMRES", "LU" ...
    STEPS KIND = STEPS::SWEEPS;
    bool CONVGD = true;    // the tolerance was reached (a direct solve: it factorised)
    bool RESULT = true;    // B holds an approximation worth reporting (not after a zero pivot)
    int NSTEP = 0;         // sweeps or iterations; a direct solve: the step of a zero pivot,
                           // 0 when its residual was beyond the tolerance
    double REACHED = 0.0;  // the last RMS change or relative residual (-1: not computed)
    double EPS = 0.0;      // the tolerance asked for
};

// RUNREC: what the last RUN did, for the summary of a run with options:
// how its solve ended, and the seconds of its phases (0 for one not run).
struct RUNREC {
    SOLSTAT ST;
    bool SOLVED = false;  // RUN reached the solve
    double BUILD = 0.0, SOLVE = 0.0, POINTS = 0.0;
};
extern RUNREC LASTRUN;  // in run.cpp

// SOLVER: one way of solving the boundary system.
struct SOLVER {
    const char* NAME;   // as --solver names it
    double TOL;         // tolerance when the request gives none (0: takes none)
    bool BOUNDED;       // the classic bounds of NBEMAX elements and NIPMAX points hold
    bool DENSE;         // holds the dense matrix (READIN counts it in the memory a run needs)
    bool PETSC;         // runs on PETSc, which the program starts for it
    // BUILD: the operator of the system and B's NRHS right-hand sides, with
    // their console lines; the stopwatch runs from its start.
    void (*BUILD)(const SOLREQ& R);
    // DOMTST: the diagonal dominance of the operator BUILD made, for RUN's
    // message (N the order); null: no test and no message.
    bool (*DOMTST)(int N);
    // SOLVE: B's NRHS columns solved in place from the iterates XIT (all 0),
    // with its console lines; R.EPS is the tolerance in force.
    SOLSTAT (*SOLVE)(const SOLREQ& R);
    // POINTS: UIP and GRADV from the solution (after RUN's exchange step).
    void (*POINTS)(const SOLREQ& R);
    // SUMS: with media, the sums of the charges after the solve (MDSUMFN in
    // media.hpp); null: direct sums.
    void (*SUMS)(const SOLREQ& R, std::vector<double>& U, std::vector<double>& K) = nullptr;
    // MEMOP: the bytes its operator is estimated to take in one process of
    // the run, for N elements and NIP points at the tolerance EPS, beside
    // the tables; READIN refuses counts beyond the memory available and
    // says the estimate.  Null: none (the dense matrix of DENSE is counted
    // exactly).
    double (*MEMOP)(int N, int NIP, double EPS) = nullptr;
};

extern const SOLVER GSSOLVER;  // the classic solve: ASSEMB, DOMTST, ITSOLV, INTPTS

// ---- routines, in the order of a run

// FILNAM: the names of the data file and the report, from the command line
// or the console; 80 characters at most.  In filnam.cpp.
//   argc, argv  (in)   the command line
//   inName      (out)  the data file
//   outName     (out)  the report file
void FILNAM(int argc, char** argv, std::string& inName, std::string& outName);

// READIN: reads the problem data file into the storage above and echoes it
// to the report.  The bounds and the memory a run of S needs are checked as
// soon as the counts are read.  In readin.cpp.
//   in   (in/out)  the data file
//   rep  (in/out)  the report
//   S    (in)      the solver of the run
//   EPS  (in)      the tolerance of the run (0: S's own), for S's estimate
void READIN(textio::Reader& in, textio::OutUnit& rep, const SOLVER& S = GSSOLVER, double EPS = 0.0);

// RUN: the run after the data are read, from ELCHK and GEOM to the CURRENTS
// block: geometry, the operator and its dominance message, the solve and its
// elapsed time, the exchange step, the internal points, the RESULTS and
// CURRENTS blocks, and CNVREP.  A solve that leaves no result (a zero pivot)
// ends the report with CNVREP's block after the echo and stops the run with
// status 1.  In run.cpp.
//   rep      (in/out)  the report
//   S        (in)      the solver;  R (in) the request, R.EPS 0 for S.TOL
//   returns  the exit status of the run: 0, or 1 when the solve failed
int RUN(textio::OutUnit& rep, const SOLVER& S = GSSOLVER, const SOLREQ& R = {});

// REFUSE: the console line FMT with ITEMS (each I field widened to its
// integer where the run is beyond the classic bounds, as WIDEN does), then a
// stop with status 1: for an element or a problem the run cannot take.  The
// line is kept in WHY.  In geom.cpp.
[[noreturn]] void REFUSE(std::string_view FMT, std::initializer_list<textio::Item> ITEMS);
// WHY: the console line of the refusal that stopped the run (empty when
// none), which a run with options repeats at the end of its report.  In
// geom.cpp.
extern std::string WHY;

// ELCHK: refuses elements the influence formulas cannot integrate: a corner
// count other than 3 or 4, a shape fault of SHAPECHK, an element lying in an
// odd symmetry plane, a flux group beyond the table, (through SIDECHK)
// elements on both sides of a symmetry plane and (through DUPCHK) elements
// that coincide.  Names the first such element
// on the console and stops with status 1.  In geom.cpp.
void ELCHK();

// SIDECHK: with a symmetry plane the mesh models one side of it and its
// images fill the other: refuses, naming them, elements on both sides of the
// plane or one that crosses it.  Stops with status 1.  In geom.cpp.
void SIDECHK();

// DUPCHK: refuses two elements with the same corners, in whatever order
// (their sum would count that part of the boundary twice), naming the first
// such pair.  Stops with status 1.  In geom.cpp.
void DUPCHK();

// SYMCHK: the symmetry flags other than -1, 0 and 1, which the classic
// reader takes for "no symmetry": with STRICT refused (console line, stop
// with status 1), else a warning on standard error.  In geom.cpp.
void SYMCHK(bool STRICT);

// NEUCHK: whether every element has a prescribed normal derivative on a
// boundary that encloses the region (H applied to a constant vanishes at
// node 1, within NEUTOL), where the potential is fixed only up to a constant;
// says so on standard error, and that there is no solution when the
// prescribed fluxes do not sum to zero.  After GEOM.  In geom.cpp.
bool NEUCHK();
constexpr double NEUTOL = 1.0E-8;

// GEOM: the node XC and the area AREA of elements 1..NBE, and the frames
// INFLU reads (ELD).  In geom.cpp.
void GEOM();

// INFLU: the influence coefficients of element J at the field point
// P = (XP, YP, ZP), in closed form for the plane polygon:
//   G = -1/(4 pi) * integral over the element of 1/r dA,
//   H = -1/(4 pi) * integral over the element of d(1/r)/dn dA
//     = -1/(4 pi) * integral of (P - x) . n / r**3 dA,
// x running over the element, r = |x - P|, n the unit normal of
// (V2 - V1) x (V3 - V2).  At its own node (P exactly XC(:,J)) H is 0: the
// formula would give -1/2 there, and the assembly adds the free term itself.
// In influ.cpp.
//   XP, YP, ZP  (in)   the field point
//   J           (in)   the element, 1..NBE
//   G, H        (out)  the coefficients (overwritten, not accumulated)
void INFLU(double XP, double YP, double ZP, int J, double& G, double& H);

// INFSYM: adds the coefficients of element J over the symmetry images of
// (X, Y, Z): x outermost, z innermost, the mirrored term before the direct
// one, each weighted by the product of the parities of its mirrors.  In
// influ.cpp.
//   X, Y, Z  (in)      the field point
//   J        (in)      the element
//   GS, HS   (in/out)  the sums the image terms are added to
void INFSYM(double X, double Y, double Z, int J, double& GS, double& HS);

// INFGRD: INFLU's G and H of element J at P, and the gradient of G with
// respect to P, in closed form: in the element's plane from the edges' log
// terms, along its normal -H.  In influ.cpp.
//   XP, YP, ZP  (in)   the field point;  J (in) the element
//   G, H        (out)  as INFLU gives them
//   DG          (out)  dG/dX, dG/dY, dG/dZ; finite unless P is on an edge
void INFGRD(double XP, double YP, double ZP, int J, double& G, double& H, double DG[3]);

// GRDSYM: adds the image-summed G and H of element J at (X, Y, Z), as INFSYM
// does, and the derivative of G along the direction D at that point, each
// image's gradient mirrored back.  In influ.cpp.
//   X, Y, Z     (in)      the field point;  J (in) the element
//   D           (in)      the direction (a unit normal)
//   GS, HS, DS  (in/out)  the sums the image terms are added to
void GRDSYM(double X, double Y, double Z, int J, const double D[3], double& GS, double& HS, double& DS);

// ASSEMB: A and B of the boundary system, row I being the equation at node
// I, with a progress line every tenth row; with NRHS > 1 also the further
// right-hand sides, B(I,L) from the prescribed values VRHS as B(I) is from
// VBC; with media (media.hpp) the rows of the charge formulation (MDROW).
// In assemb.cpp.
//   NRHS, VRHS  (in)  as SOLREQ has them
void ASSEMB(int NRHS = 1, const double* VRHS = nullptr);

// DNBILD: the operator of the dense solvers (their SOLVER::BUILD): the
// matrix of order NBE (AMAT), then ASSEMB of R's right-hand sides.  In
// assemb.cpp.
//   R  (in)  the request
void DNBILD(const SOLREQ& R);

// DOMTST: whether the leading N x N block of A is diagonally dominant by
// columns.  In assemb.cpp.
//   N  (in)  the order;  returns true when every column is dominant
bool DOMTST(int N);

// ITSOLV: Gauss-Seidel sweeps on A x = B until the RMS change is at most EPS,
// with a line per sweep on the console.  In itsolv.cpp.
//   A    (in)      the matrix, row-major with row stride LDA
//   B    (in/out)  M right-hand sides of LDA entries; on return the solution
//   X    (in/out)  the starting values, then the iterates
//   N    (in)      the order;  M (in) the number of right-hand sides
//   LDA  (in)      the row stride of A and the column stride of B and X
//   EPS  (in)      the tolerance
//   IER  (out)     minus the sweep count when the sweeps failed or took more
//                  than N sweeps
//   ST   (out)     how the sweeps ended (the overload without it drops it)
//   returns false when the sweeps stopped without reaching EPS (change not
//   finite, or MAXIT sweeps)
bool ITSOLV(const double* A, double* B, double* X, int N, int M, int LDA, double EPS,
            int& IER, SOLSTAT& ST);
bool ITSOLV(const double* A, double* B, double* X, int N, int M, int LDA, double EPS,
            int& IER);

// POTINT: the potential at the point (X, Y, Z) from the boundary solution.
// In intpts.cpp.
//   X, Y, Z  (in)   the point;  UP (out) the potential
void POTINT(double X, double Y, double Z, double& UP);

// IPCHK: the internal points closer to an element (or to an element's
// symmetry image) than half the element's size, its longest edge, where the
// boundary integrals lose their accuracy: IPNEAR gets each such point with
// its nearest element and their distance in element sizes, and standard
// error a warning naming them (the first ten).  After GEOM.  In intpts.cpp.
struct NEARPT {
    int POINT, ELEMENT;
    double SIZES;
};
extern std::vector<NEARPT> IPNEAR;
void IPCHK();

// INTPTS: potential UIP and gradient GRADV at the internal points FIRST..
// LAST (all of them by default), the gradient by forward differences of
// step DELTA.  In intpts.cpp.
void INTPTS(int FIRST, int LAST);
inline void INTPTS() { INTPTS(1, NIP); }

// OUTRES: the RESULTS section of the report.  In outres.cpp.
//   rep  (in/out)  the report
void OUTRES(textio::OutUnit& rep);

// CURRNT: the fluxes of the groups (FLUX, NGRP) and the CURRENTS block.  In
// currnt.cpp.
//   rep  (in/out)  the report
void CURRNT(textio::OutUnit& rep);

// CNVREP: when the solve did not converge (ST.CONVGD false), the last block
// of the report saying so in the solver's own terms: the sweeps and the last
// RMS change, the iterations and the relative residual reached, the zero
// pivot of a factorisation or the residual its solve left; a report outlives
// its console.  Writes nothing
// otherwise.  In currnt.cpp.
//   rep  (in/out)  the report;  ST (in) how the solve ended
void CNVREP(textio::OutUnit& rep, const SOLSTAT& ST);

// BOTH: one line to the report and the same line to the console.  In
// currnt.cpp.
//   rep  (in/out)  the report;  FMT, ITEMS (in) the line
void BOTH(textio::OutUnit& rep, std::string_view FMT, std::span<const textio::Item> ITEMS);
inline void BOTH(textio::OutUnit& rep, std::string_view FMT, std::initializer_list<textio::Item> ITEMS = {}) {
    BOTH(rep, FMT, std::span<const textio::Item>(ITEMS.begin(), ITEMS.size()));
}

}  // namespace telma
