// The solver's shared storage and routines.
//
// All problem data and work tables live here, sized by compile-time bounds and
// zero at program start.  Tables are 1-based: slot 0 is never used.  A table
// written XE(K,M,I) in the design notes is XE[I][M][K] here, so that its memory
// order (first index fastest) is the same.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <string_view>

#include "textio/textio.hpp"

namespace telma {

constexpr int NBEMAX = 4600;  // boundary elements = nodes = unknowns
constexpr int NIPMAX = 7000;  // internal points
constexpr int MAXV = 4;       // corners per element

// ---- problem data, filled by READIN
extern std::string TITLE;                       // 80 characters
extern int NBE, NIP;
extern int ISYMX, ISYMY, ISYMZ;
extern int IREFX, IREFY, IREFZ;                 // -1: plane present, 1: not
extern int IPARX, IPARY, IPARZ;                 // weight of the mirrored term
extern std::array<int, NBEMAX + 1> NPE;
extern double XE[NBEMAX + 1][MAXV + 1][4];      // XE(K,M,I)
extern std::array<int, NBEMAX + 1> KODE;
extern std::array<double, NBEMAX + 1> VBC;
extern double XIP[NIPMAX + 1][4];               // XIP(K,I)
// The counts, symmetry flags, element codes and values, B, XIT and IER back to
// their state at program load, for drivers that set up several problems in one
// process (tests, the benchmark); the tables indexed by these counts are left.
void CLEAR();

// ---- element geometry, filled by GEOM
extern double XC[NBEMAX + 1][4];                // XC(K,I)
extern std::array<double, NBEMAX + 1> AREA;

// ---- the linear system (owned by the driver)
// The matrix is one static NBEMAX x NBEMAX table; its storage order is private
// to the solver, reach it through A(I,J).
double& A(int I, int J);
extern std::array<double, NBEMAX + 1> B;
extern std::array<double, NBEMAX + 1> XIT;
extern int IER;

// ---- internal points and fluxes
extern std::array<double, NIPMAX + 1> UIP;
extern double GRADV[4][NIPMAX + 1];             // GRADV(I,K)
extern std::array<double, NBEMAX + 1> FLUX;
extern int NGRP;

// ---- routines
// File names from the command line or the console; 80 characters at most.
void FILNAM(int argc, char** argv, std::string& inName, std::string& outName);
// Reads and echoes the problem data file.
void READIN(textio::Reader& in, textio::OutUnit& rep);

}  // namespace telma

namespace telma {
// Steps 6 to 17 of the run, from element geometry to the CURRENTS block.
// Returns the exit status of the run: 0, or 1 when the solve failed.
int SOLVE(textio::OutUnit& rep);
// The phases of SOLVE that may be given in other versions: the benchmark runs
// its plain reference through the same steps.
struct PHASES {
    void (*ASSEMB)();
    bool (*DOMTST)(int N);
    const double* A;  // the matrix ASSEMB fills, as ITSOLV reads it
    bool (*ITSOLV)(const double* A, double* B, double* X, int N, int M, int LDA, double EPS,
                   int& IER);
    void (*INTPTS)();
};
int SOLVE(textio::OutUnit& rep, const PHASES& P);
}  // namespace telma

// ======================================================================
// Numerics: element geometry, influence coefficients, assembly, solve,
// internal points, results and fluxes.
namespace telma {

// Per-element data that INFLU derives from the corners alone, computed once
// by GEOM with exactly the operations INFLU would use, so every value is bit
// for bit the same as a per-call computation.
struct ELDATA {
    double XN[3];          // the node XC(:,J)
    double T1[3], T2[3];   // in-plane axes
    double EN[3];          // unit normal
    double XL[MAXV + 1];   // local plane corners, slot NV repeats corner 0 (and a
                           // triangle's slot 4 corner 1: its fourth edge repeats the first)
    double YL[MAXV + 1];
    double EL[MAXV];       // edge lengths in the plane
    double CX[MAXV], CY[MAXV];
    double ELMAX;          // longest edge
    int NV;
};
extern std::array<ELDATA, NBEMAX + 1> ELD;

constexpr double EPSIT = 1.0E-8;  // tolerance of the solve
constexpr int MAXIT = 999;        // sweep limit of ITSOLV (fits the i3 field)
constexpr double DELTA = 1.0E-4;  // finite-difference step of INTPTS

// Progress lines of a loop over I = 1..N whose indices are done on several
// threads in any order: the line of I (I a multiple of 10) is written once
// indices 1..I-1 are all done, so the lines come out in order, each once,
// with the stopwatch time when it is written; with one thread that is the
// moment before index I starts.  done() may be called from any thread.
class PROGRESS {
public:
    PROGRESS(std::string_view fmt, int N);
    void done(int I);

private:
    std::string_view fmt_;
    int N_, next_ = 1;
};

// Relative size below which a length or a sine counts as zero; lengths are
// measured against the largest distance from the node to a corner.
constexpr double DEGTOL = 1.0e-10;

// The corners of one element, corner M (1-based) in slot M - 1.
using CORNERS = std::array<std::array<double, 3>, MAXV>;
// Smallest element size (largest distance from the node to a corner): below
// it the squares and cubes of lengths that the formulas form underflow.
constexpr double SIZEMIN = 1.0e-50;

// What keeps an element's shape from being integrated: a size below SIZEMIN,
// an edge of zero length, first three corners in one line, an edge that
// vanishes in the plane a warped quadrilateral is flattened to, or two edges
// of a quadrilateral that cross (a bow-tie).  `edge` is the edge's number
// (1..NP) for the two edge faults, 0 otherwise.
enum class SHAPE { OK, ZERO_EDGE, IN_LINE, FLAT_ZERO_EDGE, TOO_SMALL, CROSSED };
struct SHAPEFAULT {
    SHAPE kind;
    int edge;
};
// The first shape fault of an element of NP (3 or 4) corners, in the order
// ELCHK reports them; touches no shared storage.
SHAPEFAULT SHAPECHK(int NP, const CORNERS& X);

// Refuses elements the influence formulas cannot integrate: a corner count
// other than 3 or 4, a shape fault of SHAPECHK, an element lying in an odd
// symmetry plane, elements on both sides of a symmetry plane, a flux group
// beyond the table.
// Names the first such element on the console and stops with status 1.
void ELCHK();
// With a symmetry plane the mesh models one side of it and its images fill
// the other: refuses, naming them, elements on both sides of the plane or one
// that crosses it.  Stops with status 1.
void SIDECHK();
// Nodes, areas and per-element frames of elements 1..NBE.
void GEOM();
// Coefficients G and H of element J for the field point (XP, YP, ZP).
void INFLU(double XP, double YP, double ZP, int J, double& G, double& H);
// Adds the coefficients of element J summed over the symmetry images.
void INFSYM(double X, double Y, double Z, int J, double& GS, double& HS);
// INFSYM for the elements J = J0..J1-1 in turn: adds into GS(J - J0) and
// HS(J - J0).
void INFSYMS(double X, double Y, double Z, int J0, int J1, double* GS, double* HS);
// Elements per INFSYMS call of the assembly and the internal points: their
// coefficients fit the first-level cache.
constexpr int PIECE = 128;
// Assembles A and B row by row, with a progress line every tenth row.
void ASSEMB();
// Diagonal dominance by columns of the leading N x N block of A.
bool DOMTST(int N);
// Gauss-Seidel sweeps on A x = B.  A is row-major with row stride LDA; B and
// X hold M columns of LDA entries.  Returns false when the sweeps stopped
// without reaching EPS (change not finite, or MAXIT sweeps); IER is then
// minus the sweep count.
bool ITSOLV(const double* A, double* B, double* X, int N, int M, int LDA, double EPS,
            int& IER);
// The sweeps of ITSOLV until the RMS change is at most EPS: SWEEP() makes one
// sweep over the M right-hand sides of N unknowns in X and returns the sum of
// the squared changes.  Writes the sweep lines and the failure messages, sets
// IER and copies X into B as ITSOLV does; returns false on failure.
bool ITERATE(const std::function<double()>& SWEEP, double* B, const double* X, int N, int M,
             int LDA, double EPS, int& IER);
// One Gauss-Seidel sweep of A x = B (one right-hand side, A row-major with
// row stride LDA), rows in increasing order; returns the sum of the squared
// changes of X in row order.  With THREADS = 2 two threads share the sweep
// without changing the order of any sum: the result is bit for bit that of
// THREADS = 1.
double GSSWEEP(const double* A, const double* B, double* X, int N, int LDA, int THREADS);
// Potential at an internal point (X, Y, Z).
void POTINT(double X, double Y, double Z, double& UP);
// Potential and gradient at the internal points.
void INTPTS();
// The RESULTS section of the report.
void OUTRES(textio::OutUnit& rep);
// Fluxes of the groups and the CURRENTS block.
void CURRNT(textio::OutUnit& rep);

}  // namespace telma
