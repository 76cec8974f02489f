// The direct solve: the dense boundary system factorised by LU with partial
// pivoting (LAPACK), for problems of any size the memory takes.
//
//   LUSOLV    M right-hand sides with one factorisation       lusolv.cpp
//   LUSOLVER  the solver of --solver=lu: DNBILD, then LUSOLV    lusolv.cpp
#pragma once

#include "solver/telma.hpp"

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
//   RCOND (out)     when not null: LAPACK's estimate of the reciprocal of
//                   A's condition number in the 1-norm (of its transpose)
//   returns false when A is singular (INFO > 0); B is then unchanged
bool LUSOLV(int N, int M, double* A, int LDA, double* B, int LDB, int& INFO, double* RCOND = nullptr);

// The largest relative residual that LUSOLVER accepts when --tol gives none.
constexpr double LUTOL = 1.0E-8;

// LUSOLVER: the dense system (DNBILD, DOMTST) solved by LUSOLV on the
// solver's own matrix, factorised in place, for any number of elements and
// points the memory holds.  The console gets the factorisation time and the
// relative residual ||B - A x|| / ||B|| (the largest over the right-hand
// sides, computed with a copy of the matrix kept only when half the free
// memory holds one; else a line says it was not); a zero pivot is named on
// the console, and the status says so (no result).  The condition estimate
// follows the time.  A residual beyond the tolerance (--tol, else LUTOL), or
// a matrix singular to working precision when the residual could not be
// computed, is a failed solve (no result): a singular system gives large
// numbers that look like a solution.
extern const SOLVER LUSOLVER;

}  // namespace telma
