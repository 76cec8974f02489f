// The compressed solve (--solver=hmat): the boundary system held as
// hierarchical matrices built by adaptive cross approximation from the
// closed-form coefficients, solved by restarted GMRES (PETSc), for problems
// of any size.  What the rest of the program uses of it; the family's
// internals are in hmlib.hpp, one section per file:
//
//   entry.cpp     the matrix entry of an operator, and the zero-block test
//   tree.cpp      cluster trees, with the symmetry planes folded in
//   compress.cpp  the library's setup, compression and products
//   system.cpp    the system and its right-hand sides, compressed in slices
//   precond.cpp   GMRES with the diagonal, then the coarse LU when slow
//   points.cpp    the internal points through a compressed operator
//   charges.cpp   the sums of the media (--media) through compressed operators
//   gmres.cpp     PETSc for the program, and its GMRES
//   run.cpp       HMSOLVER, the solver the run calls
#pragma once

#include "solver/telma.hpp"

namespace telma {

// The tolerance of the compressed solve when none is asked for: the
// relative residual of its GMRES.
constexpr double TOLHM = 1.0E-10;

// HMSOLVER: compresses the system of nodes 1..NBE and its NRHS right-hand
// sides to 100 EPS (the right-hand sides in slices of R.SLICE rows or more,
// the system in two halves from two slices on), solves each right-hand side
// to the relative residual EPS by GMRES, preconditioned by the diagonal and,
// when that converges too slowly, by the LU factorisation of a coarse
// compression, and leaves the solutions in B as the dense solvers do.  The
// internal points of large meshes with many points (16384 elements and 1000
// points or more) are evaluated through a compressed operator (HMINTP),
// others by INTPTS.  With the default EPS (TOLHM) U, Q and the fluxes agree
// with the Gauss-Seidel solve to about 1e-7 of their largest magnitude.
// Console lines give the compression progress, the memory of the compressed
// operator, the iterations and the final relative residual of each solve.
// The status is GMRES's: the iterations made and the residual reached.
// Needs PETSc started (PETSCRUN).
extern const SOLVER HMSOLVER;

// HMINTP: INTPTS through a compressed operator of the internal points
// against the elements, approximated to 100 EPS: four rows a point, its
// potential and the difference quotients of its gradient.
//   EPS  (in)  the tolerance of the solve
void HMINTP(double EPS);

// PETSCRUN: PETSc (and the MPI runtime under it) for the program while it
// lives: started without options files or signal handlers, every error of
// it returned to the caller rather than printed; finished by end(), or by
// the destructor when the program is left by a failure.  One per program,
// made by main before the run (and by the drivers of tests and
// benchmarks).  The constructor and end() throw std::runtime_error, with
// PETSc's words, when PETSc cannot start or finish.
struct PETSCRUN {
    PETSCRUN();
    void end();
    ~PETSCRUN();
    bool ended = false;
    PETSCRUN(const PETSCRUN&) = delete;
    PETSCRUN& operator=(const PETSCRUN&) = delete;
};

}  // namespace telma
