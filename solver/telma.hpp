// The solver's shared storage and routines.  The fast kernels these routines
// are built on are declared in kernels.hpp, the plain reference they are
// checked against in reference.hpp, the element shapes and table bounds in
// shapes.hpp, the results as VTK files in vtuout.hpp.
//
// All problem data and work tables live here, sized by ALLOC from the counts of
// the data file, once per run.  Tables are 1-based: slot 0 is never used.  A
// table written XE(K,M,I) in the design notes is XE[I][M][K] here, so that its
// memory order (first index fastest) is the same.
#pragma once

#include <array>
#include <initializer_list>
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

// MEMNEED: the bytes a run of N elements and NIP internal points takes in
// the tables of this header and of kernels.hpp, with the dense matrix when
// DENSE.  In storage.cpp.
//   N, NIP  (in)  the counts;  DENSE (in) whether the matrix is held
double MEMNEED(double N, double NIP, bool DENSE);

// MEMAVAIL: the bytes of memory the system can give this run now.  In
// storage.cpp.
double MEMAVAIL();

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
extern std::vector<double> B;
extern std::vector<double> XIT;
extern int IER;

// ---- how the solve ended, set by whichever solver ran (reset by SOLVE and
// CLEAR): CNVREP writes it into the report when the solution did not converge
struct SOLSTAT {
    bool CONVGD = true;            // the tolerance was reached
    int NSTEP = 0;                 // sweeps (or iterations) made
    double CHANGE = 0.0;           // the last RMS change
    double EPS = 0.0;              // the tolerance
    const char* STEPS = "SWEEPS";  // what one step of the solver is called
};
extern SOLSTAT STAT;

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
std::string WIDEN(std::string_view FMT, std::initializer_list<long long> V);

// MSOLVE: a solve of the dense system for M right-hand sides at once, as
// ITSOLV takes them (ITSOLV is one, LUSTEP another: a direct solver
// factorises once for all of them).
//   A    (in)      the matrix, row-major with row stride LDA
//   B    (in/out)  M right-hand sides of LDA entries; on return the solutions
//   X    (in/out)  the starting values, then the iterates (an iterative solver)
//   N, M, LDA, EPS, IER  as for ITSOLV
//   returns false when the solve failed
using MSOLVE = bool (*)(const double* A, double* B, double* X, int N, int M, int LDA, double EPS,
                        int& IER);

// ---- routines, in the order of a run

// FILNAM: the names of the data file and the report, from the command line
// or the console; 80 characters at most.  In filnam.cpp.
//   argc, argv  (in)   the command line
//   inName      (out)  the data file
//   outName     (out)  the report file
void FILNAM(int argc, char** argv, std::string& inName, std::string& outName);

// READIN: reads the problem data file into the storage above and echoes it
// to the report.  In readin.cpp.
//   in   (in/out)  the data file
//   rep  (in/out)  the report
void READIN(textio::Reader& in, textio::OutUnit& rep);

// SOLVE: steps 6 to 17 of the run, from ELCHK and GEOM to the CURRENTS block.
// In solve.cpp.
//   rep      (in/out)  the report
//   returns  the exit status of the run: 0, or 1 when the solve failed
int SOLVE(textio::OutUnit& rep);

// DNRUN: SOLVE on the dense matrix (AMAT of order NBE) with SOLVER as its
// solve step: SOLVE itself is DNRUN with ITSOLV.  In solve.cpp.
//   rep      (in/out)  the report;  SOLVER (in) the solve step
//   returns  as SOLVE
int DNRUN(textio::OutUnit& rep, MSOLVE SOLVER);

// ELCHK: refuses elements the influence formulas cannot integrate: a corner
// count other than 3 or 4, a shape fault of SHAPECHK, an element lying in an
// odd symmetry plane, a flux group beyond the table, and (through SIDECHK)
// elements on both sides of a symmetry plane.  Names the first such element
// on the console and stops with status 1.  In geom.cpp.
void ELCHK();

// SIDECHK: with a symmetry plane the mesh models one side of it and its
// images fill the other: refuses, naming them, elements on both sides of the
// plane or one that crosses it.  Stops with status 1.  In geom.cpp.
void SIDECHK();

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

// ASSEMB: A and B of the boundary system, row I being the equation at node
// I, with a progress line every tenth row.  In assemb.cpp.
void ASSEMB();

// DOMTST: whether the leading N x N block of A is diagonally dominant by
// columns.  In assemb.cpp.
//   N  (in)  the order;  returns true when every column is dominant
bool DOMTST(int N);

// ITSOLV: Gauss-Seidel sweeps on A x = B until the RMS change is at most EPS,
// with a line per sweep on the console; sets STAT.  In itsolv.cpp.
//   A    (in)      the matrix, row-major with row stride LDA
//   B    (in/out)  M right-hand sides of LDA entries; on return the solution
//   X    (in/out)  the starting values, then the iterates
//   N    (in)      the order;  M (in) the number of right-hand sides
//   LDA  (in)      the row stride of A and the column stride of B and X
//   EPS  (in)      the tolerance
//   IER  (out)     minus the sweep count when the sweeps failed or took more
//                  than N sweeps
//   returns false when the sweeps stopped without reaching EPS (change not
//   finite, or MAXIT sweeps)
bool ITSOLV(const double* A, double* B, double* X, int N, int M, int LDA, double EPS,
            int& IER);

// POTINT: the potential at the point (X, Y, Z) from the boundary solution.
// In intpts.cpp.
//   X, Y, Z  (in)   the point;  UP (out) the potential
void POTINT(double X, double Y, double Z, double& UP);

// INTPTS: potential UIP and gradient GRADV at the internal points, the
// gradient by forward differences of step DELTA.  In intpts.cpp.
void INTPTS();

// OUTRES: the RESULTS section of the report.  In outres.cpp.
//   rep  (in/out)  the report
void OUTRES(textio::OutUnit& rep);

// CURRNT: the fluxes of the groups (FLUX, NGRP) and the CURRENTS block.  In
// currnt.cpp.
//   rep  (in/out)  the report
void CURRNT(textio::OutUnit& rep);

// CNVREP: when the solve did not converge (STAT.CONVGD false), the last block
// of the report, after CURRENTS, saying so with the step count and the last
// change: a report outlives its console.  Writes nothing otherwise.  In
// currnt.cpp.
//   rep  (in/out)  the report
void CNVREP(textio::OutUnit& rep);

}  // namespace telma
