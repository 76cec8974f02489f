// The straightforward solver the benchmark measures against: the same
// operations in the same order as the solver, written the plain way.  Frames
// are derived on every INFLU call, the matrix is stored by columns and filled
// one row at a time, and everything runs on one thread.
#pragma once

#include "solver/telma.hpp"

namespace ref {

// A(I,J) of the column-major matrix, leading dimension NBEMAX.
double& A(int I, int J);
const double* matrix();

void INFLU(double XP, double YP, double ZP, int J, double& G, double& H);
void INFSYM(double X, double Y, double Z, int J, double& GS, double& HS);
void ASSEMB();
bool DOMTST(int N);
// One sweep of the column-major matrix for M right-hand sides, each row for
// all of them; returns the sum of the squared changes.
double SWEEP(const double* A, const double* B, double* X, int N, int M, int LDA);
// Gauss-Seidel on the column-major matrix, through the solver's own loop of
// sweeps (its lines, messages and IER).
bool ITSOLV(const double* A, double* B, double* X, int N, int M, int LDA, double EPS, int& IER);
void POTINT(double X, double Y, double Z, double& UP);
void INTPTS();
// Steps 6 to 17 of the solver's SOLVE with the plain phases above.
int SOLVE(textio::OutUnit& rep);

}  // namespace ref
