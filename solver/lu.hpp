// The direct solve: the dense boundary system factorised by LU with partial
// pivoting (LAPACK), for problems of any size the memory takes.
//
//   LUSOLV  M right-hand sides with one factorisation          lusolv.cpp
//   LUSTEP  the solve step of SOLVE with LUSOLV                  lusolv.cpp
//   LURUN   steps 6 to 17 of the run with LUSOLV as the solve   lusolv.cpp
#pragma once

#include "textio/textio.hpp"

namespace telma {

// LUSOLV: solves A X = B for M right-hand sides with one LU factorisation
// of A, in place: the row-major A is factorised as the column-major
// transpose it is (no copy), and the transposed system solved.
//   N     (in)      the order
//   M     (in)      the number of right-hand sides
//   A     (in/out)  the matrix, row-major with row stride LDA; on return the
//                   factors of its transpose
//   LDA   (in)      the row stride of A, N or more
//   B     (in/out)  M right-hand sides, column L at B + L*LDB; on return the
//                   solutions
//   LDB   (in)      the column stride of B, N or more
//   INFO  (out)     0, or K > 0 when the pivot of step K is zero
//   returns false when A is singular (INFO > 0); B is then unchanged
bool LUSOLV(int N, int M, double* A, int LDA, double* B, int LDB, int& INFO);

// LUSTEP: the solve step of SOLVE (the ITSOLV of its phases) with LUSOLV on
// the solver's own matrix, factorised in place: the factorisation time and
// the relative residual on the console; a singular matrix stops the run with
// status 1.
//   A, B, X, N, M, LDA, EPS, IER  as for ITSOLV (EPS unused, IER set to 0);
//                                  A is overwritten with the factors
//   returns true
bool LUSTEP(const double* A, double* B, double* X, int N, int M, int LDA, double EPS, int& IER);

// LURUN: the run's steps 6 to 17 as SOLVE, the Gauss-Seidel sweeps replaced
// by LUSOLV: console lines for the factorisation time and the relative
// residual ||B - A x|| / ||B|| (computed with a copy of the matrix kept only
// when the memory holds one; else a line says it was not).  A singular
// matrix is reported on the console and stops the run with status 1.
//   rep      (in/out)  the report
//   returns  the exit status, 0
int LURUN(textio::OutUnit& rep);

}  // namespace telma
