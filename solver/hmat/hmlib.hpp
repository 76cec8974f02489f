// The internals of the compressed solve, shared by the files of solver/hmat
// (and their tests) only; one section per file.
#pragma once

#include <hmat/hmat.h>
#include <mpi.h>

#include <atomic>
#include <exception>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <vector>

#include "solver/hmat/hmat.hpp"
#include "solver/kernels.hpp"

namespace telma::hm {

// ---------------------------------------------------------------- entry.cpp
//
// The matrix of one compressed operator: row i belongs to the field point
// P(:,i), column j to element j + 1, and the entry is WH(j) HS + WG(j) GS,
// with GS and HS the image-summed coefficients of the element for the point,
// HS starting at -1/2 where the point is the element's own node (OWN(i) = j;
// a null OWN: no row has one).  With FD set the rows come in fours: the
// entry at the point, then its forward differences along x, y and z with
// the step DELTA, each a smooth function of the point, so that the gradient
// is as accurate as the potential.
//
// With RD set the operator is that of the charge formulation (media.hpp)
// instead: every row is a node (OWN), and its entry RG GS + RD DS, plus RJ
// on the diagonal, with DS the derivative of GS along the row's normal; the
// weights are those of MDCOEF, indexed by the row's element (0-based).  The
// sums of the media add RH HS and RM MDMID; a null RJ, RH or RM is 0.
//
// With COLS set the columns are some elements only: column j is element
// COLS(j) + 1, and COLOF the other way round (-1: not a column).
//
// With FAR set, GS and HS are those of INFFAR with its rules (assemble sets
// them for the tolerance of the blocks); the charge formulation keeps the
// closed form.
struct KERNEL {
    const double* P;
    const int* OWN;
    const double *WH, *WG;
    bool FD;
    const double *RG = nullptr, *RD = nullptr, *RJ = nullptr, *RH = nullptr, *RM = nullptr;
    const int *COLS = nullptr, *COLOF = nullptr;
    const FARTAB* FAR = nullptr;
};

// entry: the entry (i, j) of K, both 0-based.
double entry(const KERNEL& K, int i, int j);

// flat: whether the block of rows R(0..NR-1) and columns C(0..NC-1) of K is
// zero: its columns hold double-layer terms alone (with RD: its rows hold
// normal derivatives alone, each along the normal of the plane), and every
// field point and each of its images lies in the one plane of all its
// elements, where the closed form gives zero up to rounding, a noise that no
// low-rank product approximates.  (A block that holds a free term is not;
// the caller knows.)
bool flat(const KERNEL& K, const int* R, int NR, const int* C, int NC);

// ---------------------------------------------------------------- tree.cpp
//
// tree: the cluster tree of N points (ELEMENTS false: P holds 3 N
// coordinates) or of N elements (P unused): 1..N, or with LIST the
// elements LIST(i) + 1, i = 0..N-1.  Each dof is given the
// points it covers, folded onto one side of every symmetry plane, so that a
// block is admissible only when every image of its column cluster is far
// from its row cluster.
hmat_cluster_tree_t* tree(int N, bool ELEMENTS, const double* P, const int* LIST = nullptr);

// Rows of an operator that are field points at nodes: their coordinates, the
// node each is (its own element), and a tree of their own (released by the
// destructor).
struct ROWS {
    std::vector<double> P;
    std::vector<int> OWN;
    hmat_cluster_tree_t* R = nullptr;
    ROWS() = default;
    ROWS(const ROWS&) = delete;
    ROWS& operator=(const ROWS&) = delete;
    ~ROWS();
};

// nodes: the nodes XC as field points, 3 coordinates each.
std::vector<double> nodes();

// rowsOf: W as the nodes at the places K0..K0+NR-1 of ORDER, PALL the
// coordinates of all nodes.
void rowsOf(const double* PALL, const int* ORDER, int K0, int NR, ROWS& W);

// ---------------------------------------------------------------- compress.cpp
//
// Largest cluster of a leaf, and the admissibility parameter: a block is
// approximated when the smaller of its two clusters is at most ETA times as
// wide as their distance.  The blocks are approximated to ACAFRAC times the
// tolerance of the solve's relative residual: with the default tolerance the
// error of the compressed operator, not GMRES, limits the solution.
constexpr int LEAF = 64;
constexpr double ETA = 2.0;
constexpr double ACAFRAC = 100.0;

// The BLAS on one thread while it lives.  The compressed operator's
// products are many and small, and OpenBLAS's own threads, woken for each,
// spend more time yielding than computing; they would also contend with the
// compression's threads.
struct ONEBLAS {
    ONEBLAS();
    ~ONEBLAS();
    int before;
};

// HI: the library's interface, set up on first use: of double precision,
// or with SINGLE of single precision.
hmat_interface_t& HI(bool SINGLE = false);

// The system and its right-hand sides' operator are stored in single
// precision for tolerances of the solve of SINGLETOL and above: their blocks
// are approximated to 100 times that, far above the rounding of single
// precision, and the vectors of GMRES, its residual among them, stay in
// double precision.  (Below, the products' rounding in single precision,
// some 1e-7, would keep GMRES from its tolerance.)
constexpr double SINGLETOL = 1.0E-6;

// TRAP: the first exception of the bodies of a parallel loop, kept for the
// thread that started the loop to rethrow after it (one that left a body
// of the loop would end the program).
class TRAP {
public:
    template <class F>
    void operator()(F&& body) {
        try {
            body();
        } catch (...) {
            const std::lock_guard<std::mutex> one(m_);
            if (!e_) e_ = std::current_exception();
        }
    }
    void rethrow() const {
        if (e_) std::rethrow_exception(e_);
    }

private:
    std::mutex m_;
    std::exception_ptr e_;
};

// The progress lines of compressions that share them: one as each tenth of
// all their blocks is begun, whichever thread begins it.
struct COUNTER {
    std::atomic<long> done{0};
    long total = 0;
    std::mutex io;
};

// structure: an empty compressed operator, rows on the tree R, columns on
// C, in single precision with SINGLE; its blocks are added to the total of
// COUNT (null: none).
hmat_matrix_t* structure(hmat_cluster_tree_t* R, hmat_cluster_tree_t* C, COUNTER* COUNT, bool SINGLE = false);

// assemble: the blocks of M (of single precision with SINGLE) from the
// kernel K, approximated to EPS, its progress counted on COUNT (null: no
// lines).
void assemble(hmat_matrix_t* M, const KERNEL& K, double EPS, COUNTER* COUNT, bool SINGLE = false);

// HMFAIL: a routine of the library failed (its interface returns an error
// code and has said why on standard error; most often an allocation
// failed), its name the exception's words.
struct HMFAIL : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// HMOK: throws HMFAIL naming the routine WHAT unless CODE is 0.
void HMOK(int CODE, const char* WHAT);

// LAPACKCHK: throws std::bad_alloc when LAPACKE could not allocate a work
// array since the last call (the library's result is then not to be
// trusted).
void LAPACKCHK();

// compress: structure, then assemble.
hmat_matrix_t* compress(const KERNEL& K, hmat_cluster_tree_t* R, hmat_cluster_tree_t* C, double EPS,
                        COUNTER* COUNT, bool SINGLE = false);

// memory: the console line of the memory of the operators M (of single
// precision with SINGLE) of every process of COMM against their dense
// matrices in double precision (collective).
void memory(const std::vector<hmat_matrix_t*>& M, MPI_Comm COMM = MPI_COMM_SELF, bool SINGLE = false);

// gemm: Y = M X for NC columns, X in the order of M's column tree, Y in that
// of its row tree; the second for M of single precision.
void gemm(hmat_matrix_t* M, const double* X, double* Y, int NC);
void gemm(hmat_matrix_t* M, const float* X, float* Y, int NC);

// product: Y = K X for the rows W, through an operator compressed to EPS on
// W's tree and a copy of the elements' tree T, released before return; with
// XS (X in single precision) the operator is of single precision.
//   X   (in)   NBE x NC, in the order of T;  Y (out) NR x NC, in W's order
void product(const KERNEL& K, const ROWS& W, hmat_cluster_tree_t* T, const double* X, double* Y, int NC,
             double EPS, const float* XS = nullptr);

// ---------------------------------------------------------------- procs.cpp
//
// The processes of a communicator, and this one's rank in it.
struct PROCS {
    MPI_Comm COMM = MPI_COMM_SELF;
    int SIZE = 1, RANK = 0;
};
PROCS procs(MPI_Comm COMM);

// FIRSTOF: the first of N places that process P of NP holds: they are
// shared out in order, as evenly as they divide.
inline int FIRSTOF(int N, int P, int NP) { return static_cast<int>(static_cast<long long>(N) * P / NP); }

// SHAREV: V(0..N-1) made whole on every process of PR, each having set its
// own places (FIRSTOF).
void SHAREV(double* V, int N, const PROCS& PR);

// SUMALL: the sum of V over the processes of PR; the second V(0..N-1)
// summed in place.
double SUMALL(double V, const PROCS& PR);
void SUMALL(double* V, int N, const PROCS& PR);

// QUIET: the standard output and error of every process but the first to
// /dev/null (PETSCRUN, once it knows the ranks).
void QUIET();

// ENTER: the processes of the run meet before the shared solve; throws
// PEERFAIL when one of them failed on its way.  Only the first call does.
void ENTER();

// LEAVE: PETSc has ended: a failure now is the first process's alone.
void LEAVE();

// ---------------------------------------------------------------- system.cpp
//
// A slice of rows of the system: the places K0..K0+NR-1 of the order of the
// elements' tree, its rows, its kernel, its own copy of the elements' tree
// for the columns (the slices are compressed and multiplied side by side, so
// no two threads work on one tree), and its compressed operator.
struct PART {
    int K0 = 0, NR = 0;
    ROWS W;
    KERNEL K{};
    hmat_cluster_tree_t* C = nullptr;
    hmat_matrix_t* m = nullptr;
    std::vector<float> YS;  // a product's rows, with SINGLE
};

// The compressed system of one run, in the order of the elements' tree T:
// the nodes and the weights of its kernel KA, the processes that share it
// (this one holds the NL rows from the place R0), its slices of those rows,
// their right-hand sides BT (NL x NRHS), the inverse of their diagonal, the
// whole vector of a product (XG, with more than one process), and the
// factorised coarse operator once it is built: of the whole system in one
// process, else of the diagonal block, its rows and columns the process's
// elements, on a tree of their own (TL, with DW and COLOF for its kernel).
// Its destructor releases what the library holds.
struct SYSTEM {
    std::vector<double> P, WHA, WGA;
    std::vector<double> RG, RD, RJ;  // with media: the rows' weights
    std::vector<int> OWN;
    KERNEL KA{};
    hmat_cluster_tree_t* T = nullptr;
    PROCS PR;
    int R0 = 0, NL = 0;
    bool SINGLE = false;  // its slices in single precision (SINGLETOL)
    std::vector<PART> A;
    std::vector<float> XS;  // a product's vector, with SINGLE
    std::vector<double> BT;
    std::vector<double> DINV;
    std::vector<double> XG;
    hmat_matrix_t* LU = nullptr;
    hmat_cluster_tree_t* TL = nullptr;
    ROWS DW;
    std::vector<int> COLOF;
    SYSTEM() = default;
    SYSTEM(const SYSTEM&) = delete;
    SYSTEM& operator=(const SYSTEM&) = delete;
    ~SYSTEM();
};

// HMSYS: the system HMBILD made, until the solve takes it.
extern std::unique_ptr<SYSTEM> HMSYS;

// HMBILD: HMSYS compressed from the storage and the request R (HMSOLVER's
// BUILD).
void HMBILD(const SOLREQ& R);

// MEMOP: HMSOLVER's estimate of the memory of its operators in one process
// (SOLVER::MEMOP).
double MEMOP(int N, int NIP, double EPS);

// mult: y = A x for GMRES, the slices side by side, both vectors this
// process's rows in the order of the elements' tree; C the SYSTEM.
void mult(void* C, const double* x, double* y);

// ---------------------------------------------------------------- precond.cpp
//
// SOLVE1: A x = b of S from x = 0, to the relative residual EPS (b and x
// this process's rows; collective over its processes): GMRES with
// the diagonal preconditioner, then, unless it converges fast enough, with
// the LU factorisation of S's kernel compressed coarsely, built on first
// need and kept for later right-hand sides.  Writes the iterations and the
// relative residual recomputed in full.
//   S     (in/out)  the system (its LU once built)
//   b     (in)      the right-hand side, x (out) the solution
//   EPS   (in)      the tolerance;  COMM (in) the processes of the solve
//   NIT   (out)     the iterations;  REL (out) the relative residual
//                   recomputed
//   returns whether EPS was reached
bool SOLVE1(SYSTEM& S, const double* b, double* x, double EPS, int COMM, int& NIT, double& REL);

// ---------------------------------------------------------------- points.cpp
//
// The compressed sum pays only for large meshes: with 1280 elements and
// 6800 points it kept 81 % of the coefficients and took four times as long
// as the direct sum; with 20,480 elements and 1000 points it took half as
// long.
constexpr int PTSNBE = 16384, PTSNIP = 1000;
//
// HMPNTS: the internal points of HMSOLVER: HMINTP for 16384 elements and
// 1000 points or more, where it pays, INTPTS below.
void HMPNTS(const SOLREQ& R);

// ---------------------------------------------------------------- charges.cpp
//
// The sums of the charge formulation through compressed operators, for
// meshes of MDHNBE elements or more (smaller ones are faster by the direct
// sums of media.cpp): the rows of the walls and interfaces against every
// element, approximated to 100 EPS.
constexpr int MDHNBE = 16384;

// HMCORR: CSELF as MDPREP's CORR takes it, the rows in slices of R.SLICE / 4
// or more.
void HMCORR(const SOLREQ& R);

// HMCHRG: the sums after the solve, as MDSUMFN gives them, to about R.EPS,
// sliced as by HMCORR.
void HMCHRG(const SOLREQ& R, std::vector<double>& U, std::vector<double>& K);

// HMSUMS: HMSOLVER's SUMS: HMCHRG from MDHNBE elements on, MDSUMS below.
void HMSUMS(const SOLREQ& R, std::vector<double>& U, std::vector<double>& K);

// ---------------------------------------------------------------- run.cpp
//
// HMSTEP: HMSOLVER's SOLVE: each of HMSYS's right-hand sides by SOLVE1, in
// order until one fails, the solutions into B; HMSYS is released.
SOLSTAT HMSTEP(const SOLREQ& R);

// ---------------------------------------------------------------- gmres.cpp
//
// A linear operator of order N for GMRES: y = A x, and optionally the
// preconditioner y = M^-1 x.  CTX is passed back to both, which may throw:
// GMRES then rethrows the exception once PETSc has stopped.
struct LINOP {
    int N;
    void (*MULT)(void* CTX, const double* X, double* Y);
    void (*PREC)(void* CTX, const double* X, double* Y);  // null: none
    void* CTX;
};

// GMRES: restarted GMRES, right-preconditioned, on A x = B from the start
// X, until the relative residual ||B - A x|| / ||B|| is at most EPS or MAXIT
// iterations.  Writes a console line every iteration, numbered on from NIT.
// On return X is the iterate, NIT has the iterations of this call added and
// RES is the relative residual; returns false when EPS was not reached.
// With more than one process in COMM, N, B and X are this process's rows
// (and the maps take and give them).  Throws std::runtime_error with PETSc's
// words when a PETSc call fails.
bool GMRES(const LINOP& A, const double* B, double* X, double EPS, int MAXIT, int COMM, int& NIT,
           double& RES);

// PCOMM: the MPI communicator of the handle COMM (WORLD: PETSc's world).
// Throws std::logic_error when PETSc was not started.
MPI_Comm PCOMM(int COMM);

// PCHECK: throws std::runtime_error naming the PETSc routine WHAT and the
// error CODE, unless CODE is 0.
void PCHECK(int CODE, const char* WHAT);

}  // namespace telma::hm
