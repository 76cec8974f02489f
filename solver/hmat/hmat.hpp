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
//   procs.cpp     the processes of a launcher (mpirun) that share the solve
//   run.cpp       HMSOLVER, the solver the run calls
//
// Started by a launcher (mpirun -np P), the solve is shared: every process
// reads the data and holds the whole mesh; process p compresses the rows of
// the p-th of P consecutive parts of the elements' tree against all columns,
// and the right-hand sides of those rows; GMRES runs on PETSc's distributed
// vectors, its product gathering the vector and multiplying each process's
// block row, its preconditioner block Jacobi (each process's diagonal, then
// the coarse LU of its diagonal block).  The solution and the internal
// points, shared out in the same way, are gathered on every process, so
// that the rest of the run is the same everywhere; the first process alone
// writes the console, the report and the other files.
#pragma once

#include <stdexcept>
#include <string>

#include "solver/telma.hpp"

namespace telma {

// The tolerance of the compressed solve when none is asked for: the
// relative residual of its GMRES.
constexpr double TOLHM = 1.0E-10;

// HMSOLVER: compresses the system of nodes 1..NBE and its NRHS right-hand
// sides to 100 EPS (the right-hand sides first, in slices of R.SLICE rows or
// more, as many as threads at most; then the system, in two halves from two
// slices on, of single precision for EPS of 1e-6 and above), the entries of
// distant elements by the far-field rules (INFFAR), solves each right-hand side
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
// FIRST..LAST against the elements, approximated to 100 EPS: four rows a
// point, its potential and the difference quotients of its gradient.
// Collective over COMM: the console's memory line is of every process's
// points.
//   EPS  (in)  the tolerance of the solve
void HMINTP(double EPS, int FIRST, int LAST, int COMM = WORLD);
inline void HMINTP(double EPS) { HMINTP(EPS, 1, NIP); }

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

// ---- the processes of a launcher (procs.cpp)
//
// NPROC and MYPROC (telma.hpp) are set by PETSCRUN, which sends the
// standard output and error of every process but the first to /dev/null:
// the first says what all say alike.

// LAUNCHED: whether a launcher started this program as one of several
// processes (before PETSc is started, which then joins them).
bool LAUNCHED();

// PEERFAIL: thrown where the processes meet before the shared solve, by a
// process that has come there when another has not (it failed before).
struct PEERFAIL : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// PEERSTOP: says the failure WHY of this process of a run of several (on
// the standard error it was started with).  Before the shared solve the
// processes first agree which is to say it, the lowest that failed, so that
// a failure of all (bad data) is said once and every process ends; within
// it this process says it, naming itself, and ends every process of the
// run (MPI_Abort), so that none is left waiting for it.  After a PEERFAIL
// the first process says it.
void PEERSTOP(const std::string& WHY);

// PEAKALL: the largest peak memory of the run's processes so far, in MB
// (collective: every process calls it, before PETSc ends).
double PEAKALL();

}  // namespace telma
