// The compressed solve: the boundary system held as a hierarchical matrix
// built by adaptive cross approximation from the closed-form coefficients,
// solved by restarted GMRES, for problems of any size.
#pragma once

#include "solver/kernels.hpp"
#include "textio/textio.hpp"

namespace telma {

// A linear operator of order N for GMRES: y = A x, and optionally the
// preconditioner y = M^-1 x.  CTX is passed back to both.
struct LINOP {
    int N;
    void (*MULT)(void* CTX, const double* X, double* Y);
    void (*PREC)(void* CTX, const double* X, double* Y);  // null: none
    void* CTX;
};

// Restarted GMRES, right-preconditioned, on A x = B from the start X, until
// the relative residual ||B - A x|| / ||B|| is at most EPS or MAXIT
// iterations.  Writes a console line every iteration, numbered on from NIT.
// On return X is the iterate, NIT has the iterations of this call added and
// RES is the relative residual; returns false when EPS was not reached.
bool GMRES(const LINOP& A, const double* B, double* X, double EPS, int MAXIT, int& NIT,
           double& RES);

// Rows of a slice, at least: HMSOLV compresses the right-hand sides'
// operator in slices of rows (16 at most), each released as soon as its rows
// are made, so that they never hold more than a fraction of a second
// operator beside the system; from two slices on, the system in two halves,
// which GMRES multiplies side by side.  Each thread takes the next piece
// when it is free.  Smaller slices cost time.
constexpr int HMSLICE = 8192;

// Steps 7 to 13 with the compressed operator: compresses the system of
// nodes 1..NBE and its right-hand sides to 100 EPS (in slices of SLICE rows
// or more), solves each to the relative residual EPS by GMRES and
// leaves the solution in B(1..NBE), as ITSOLV does; in a capacitance run
// (NCOND > 0) the conductors' solutions too, for HMCAP.  GMRES is
// preconditioned by the diagonal, and by the LU factorisation of a coarse
// compression of the operator when that converges too slowly.  With the default EPS
// (TOLHM, 1e-10) U, Q and the fluxes agree with the Gauss-Seidel solve to
// about 1e-7 of their largest magnitude.  Console lines give the compression
// progress, the memory of the compressed operator, the iterations and the
// final relative residual of each solve.  Returns false when EPS was not
// reached.
bool HMSOLV(double EPS, int SLICE = HMSLICE);

// INTPTS through a compressed operator of the internal points against the
// elements, approximated to 100 EPS: four rows a point, its potential and
// the difference quotients of its gradient.
void HMINTP(double EPS);

// HMPHASES: the phases of SOLVE that HMRUN runs, with the tolerance EPS and
// slices of SLICE rows (for a driver that times them one by one).
PHASES HMPHASES(double EPS, int SLICE = HMSLICE);

// Steps 6 to 17 of the run with HMSOLV in place of the assembly and the
// Gauss-Seidel solve, and HMINTP in place of INTPTS for large meshes with
// many internal points (16384 elements and 1000 points or more).  Returns
// the exit status: 0, or 1 when the solve did not reach EPS.
int HMRUN(textio::OutUnit& rep, double EPS, int SLICE = HMSLICE);

// The run of --capacitance with the compressed operator: HMRUN in a
// CAPSCOPE, HMSOLV solving the conductors' right-hand sides after the data
// file's with the same operator (and preconditioner, once built), then
// CAPMAT unless a solve failed.  Returns as HMRUN.
int HMCAP(textio::OutUnit& rep, double EPS, int SLICE = HMSLICE);

}  // namespace telma
