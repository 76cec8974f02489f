// The plain reference of the solver: the same operations in the same order as
// the routines of telma.hpp, written the straightforward way.  Frames are
// derived on every INFLU call, the matrix is stored by columns and filled one
// row at a time, and everything runs on one thread.  The tests and the
// benchmark check the fast kernels against it bit for bit.
//
// All in reference.cpp; each routine computes what its namesake of telma.hpp
// computes, with the arguments described there.
#pragma once

#include <vector>

#include "solver/telma.hpp"

namespace telma::reference {

// A(I,J) of the column-major matrix, leading dimension NBEMAX.
double& A(int I, int J);
// The column-major matrix, as ITSOLV and SWEEP read it.
const double* matrix();

void INFLU(double XP, double YP, double ZP, int J, double& G, double& H);
void INFSYM(double X, double Y, double Z, int J, double& GS, double& HS);
void ASSEMB();
bool DOMTST(int N);
// SWEEP: one sweep of the column-major matrix for M right-hand sides, each
// row for all of them.
//   A, B, X, N, M, LDA  as for ITSOLV, A column-major
//   returns the sum of the squared changes
double SWEEP(const double* A, const double* B, double* X, int N, int M, int LDA);
// Gauss-Seidel on the column-major matrix, through the solver's own loop of
// sweeps (its lines, messages, IER and status).
bool ITSOLV(const double* A, double* B, double* X, int N, int M, int LDA, double EPS, int& IER,
            SOLSTAT& ST);
void POTINT(double X, double Y, double Z, double& UP);
void INTPTS();
// GSSOLVER with the plain phases above: ASSEMB, DOMTST, ITSOLV on the
// column-major matrix, INTPTS.
extern const SOLVER GSSOLVER;
// The solver's RUN with GSSOLVER.
int RUN(textio::OutUnit& rep);

// RELDIF: the largest difference of two tables relative to the largest
// magnitude of the first (the difference itself where that is 0); infinite
// for tables of different sizes.  How the tests and the benchmark compare
// solvers that cannot give the same bits.
double RELDIF(const std::vector<double>& X, const std::vector<double>& REF);

}  // namespace telma::reference
