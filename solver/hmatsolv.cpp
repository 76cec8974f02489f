// The compressed solve: hierarchical matrices of the boundary coefficients,
// built by adaptive cross approximation, applied inside GMRES.
#include <hmat/hmat.h>
#include <omp.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <mutex>
#include <vector>

#include "QVLIB/STPWATCH/stpwatch.hpp"
#include "solver/capaci.hpp"
#include "solver/hmat.hpp"
#include "solver/kernels.hpp"
#include "solver/options.hpp"
#include "solver/telma.hpp"

namespace telma {

namespace {

// Largest cluster of a leaf, and the admissibility parameter: a block is
// approximated when the smaller of its two clusters is at most ETA times as
// wide as their distance.  The blocks are approximated to ACAFRAC times the
// tolerance of the solve's relative residual: with the default tolerance the
// error of the compressed operator, not GMRES, limits the solution.
constexpr int LEAF = 64;
constexpr double ETA = 2.0;
constexpr double ACAFRAC = 100.0;
// GMRES runs first with the diagonal alone as preconditioner, which suits
// most meshes.  When after FIRST iterations it has not reached the tolerance
// and would not at its rate within FIRST more, or has not after 2 FIRST more,
// it goes on with the LU factorisation of the operator compressed to PRETOL,
// which costs more to build than many iterations but tames the badly
// conditioned systems (thin plates, mixed conditions).
constexpr int FIRST = 50;
constexpr double PRETOL = 1.0e-1;
constexpr int MAXITER = 1000;  // GMRES iterations at most

// The BLAS on one thread while it lives.  The compressed operator's
// products are many and small, and OpenBLAS's own threads, woken for each,
// spend more time yielding than computing; they would also contend with the
// compression's threads.
extern "C" int openblas_get_num_threads(void);
extern "C" void openblas_set_num_threads(int);
struct ONEBLAS {
    int before = openblas_get_num_threads();
    ONEBLAS() { openblas_set_num_threads(1); }
    ~ONEBLAS() { openblas_set_num_threads(before); }
};

hmat_interface_t& HI() {
    static hmat_interface_t hi = [] {
        hmat_interface_t h;
        hmat_settings_t s;
        hmat_get_parameters(&s);
        s.maxLeafSize = LEAF;
        s.compressionMinLeafSize = 0;
        hmat_set_parameters(&s);
        hmat_init_default_interface(&h, HMAT_DOUBLE_PRECISION);
        h.init();
        return h;
    }();
    return hi;
}

// The matrix of one compressed operator: row i belongs to the field point
// P(:,i), column j to element j + 1, and the entry is
// WH(j) HS + WG(j) GS, with GS and HS the image-summed coefficients of the
// element for the point, HS starting at -1/2 where the point is the element's
// own node (OWN(i) = j; a null OWN: no row has one).  With FD set the rows
// come in fours: the entry at the point, then its forward differences along
// x, y and z with the step DELTA, each a smooth function of the point, so
// that the gradient is as accurate as the potential.
struct KERNEL {
    const double* P;
    const int* OWN;
    const double *WH, *WG;
    bool FD;
};

double entry(const KERNEL& K, int i, int j) {
    const double wh = K.WH[j], wg = K.WG[j];
    if (wh == 0.0 && wg == 0.0) return 0.0;
    const double X = K.P[3 * i], Y = K.P[3 * i + 1], Z = K.P[3 * i + 2];
    double GS = 0.0, HS = K.OWN && K.OWN[i] == j ? -0.5 : 0.0;
    INFSYM(X, Y, Z, j + 1, GS, HS);
    const double v = wh * HS + wg * GS;
    const int D = K.FD ? i % 4 : 0;
    if (D == 0) return v;
    double G1 = 0.0, H1 = 0.0;
    INFSYM(D == 1 ? X + DELTA : X, D == 2 ? Y + DELTA : Y, D == 3 ? Z + DELTA : Z, j + 1, G1, H1);
    return (wh * H1 + wg * G1 - v) / DELTA;
}

// The progress lines of compressions that share them: one as each tenth of
// all their blocks is begun, whichever thread begins it.
struct COUNTER {
    std::atomic<long> done{0};
    long total = 0;
    std::mutex io;
};

// One compression: its kernel, and its counter (null: no lines).
struct JOB {
    const KERNEL* K;
    COUNTER* C;
};

// One block: its rows and columns in the caller's numbering; ZERO: all its
// entries are zero.
struct BLOCK {
    const KERNEL* K;
    const int *rows, *cols;
    bool ZERO;
};

void release(void* d) { delete static_cast<BLOCK*>(d); }

// Whether the block of rows R(0..NR-1) and columns C(0..NC-1) is zero: its
// columns hold double-layer terms alone, and every field point and each of
// its images lies in the one plane of all its elements, where the closed
// form gives zero up to rounding, a noise that no low-rank product
// approximates.  (A block that holds a free term is not; the caller knows.)
bool flat(const KERNEL& K, const int* R, int NR, const int* C, int NC) {
    const ELDATA& E0 = ELD[C[0] + 1];
    const double* n = E0.EN;
    const double d = n[0] * E0.XN[0] + n[1] * E0.XN[1] + n[2] * E0.XN[2];
    double tol = 0.0;  // a tenth of a millionth of a millionth of its longest edge
    for (int M = 0; M < E0.NV; ++M) tol = std::max(tol, 1.0e-10 * E0.EL[M]);
    for (int c = 0; c < NC; ++c) {
        const ELDATA& E = ELD[C[c] + 1];
        if (K.WG[C[c]] != 0.0) return false;
        const double dot = n[0] * E.EN[0] + n[1] * E.EN[1] + n[2] * E.EN[2];
        const double off = n[0] * E.XN[0] + n[1] * E.XN[1] + n[2] * E.XN[2] - d;
        if (std::fabs(std::fabs(dot) - 1.0) > 1.0e-12 || std::fabs(off) > tol) return false;
    }
    for (int r = 0; r < NR; ++r) {
        const double* p = &K.P[3 * R[r]];
        const int D = K.FD ? R[r] % 4 : 0;  // a difference row moves its point
        double X[8], Y[8], Z[8];
        int W[8];
        const int NI = images(D == 1 ? p[0] + DELTA : p[0], D == 2 ? p[1] + DELTA : p[1],
                              D == 3 ? p[2] + DELTA : p[2], X, Y, Z, W);
        for (int k = 0; k < NI; ++k)
            if (std::fabs(n[0] * X[k] + n[1] * Y[k] + n[2] * Z[k] - d) > tol) return false;
    }
    return true;
}

void prepare(int row_start, int row_count, int col_start, int col_count, int* row_hmat2client, int*,
             int* col_hmat2client, int* col_client2hmat, void* context, hmat_block_info_t* info) {
    if (info->needed_memory == 0) {
        info->needed_memory = sizeof(BLOCK);
        return;
    }
    JOB& job = *static_cast<JOB*>(context);
    if (COUNTER* c = job.C) {
        const long d = ++c->done;
        if (c->total > 0 && (d - 1) * 10 / c->total != d * 10 / c->total) {
            const std::lock_guard<std::mutex> one(c->io);
            float t;
            qvlib::SWTIME(t);
            textio::console().write("(' Compression block #',i8,'/',i8,', time :',f8.3)",
                                    {static_cast<int>(d), static_cast<int>(c->total), t});
        }
    }
    const int* rows = row_hmat2client + row_start;
    const int* cols = col_hmat2client + col_start;
    bool owns = false;  // whether a row's own element is among the columns
    for (int r = 0; job.K->OWN && r < row_count && !owns; ++r) {
        const int c = col_client2hmat[job.K->OWN[rows[r]]];
        owns = c >= col_start && c < col_start + col_count;
    }
    const bool zero = !owns && flat(*job.K, rows, row_count, cols, col_count);
    info->block_type = zero ? hmat_block_null : hmat_block_full;
    info->user_data = new BLOCK{job.K, rows, cols, zero};
    info->release_user_data = release;
    info->is_guaranteed_null_row = nullptr;
    info->is_guaranteed_null_col = nullptr;
    info->number_of_strata = 1;
}

// Entries of a block, whole or one row or column of it, column by column;
// shared among the threads when there are enough of them and the caller
// holds none (a team started inside a team would only add its cost).
void compute(void* data, int r0, int nr, int c0, int nc, void* out) {
    const BLOCK& b = *static_cast<BLOCK*>(data);
    double* v = static_cast<double*>(out);
    const long n = static_cast<long>(nr) * nc;
    if (b.ZERO) {
        std::fill(v, v + n, 0.0);
        return;
    }
#pragma omp parallel for schedule(static) if (n >= 256 && !omp_in_parallel())
    for (long k = 0; k < n; ++k) {
        const int r = static_cast<int>(k % nr), c = static_cast<int>(k / nr);
        v[k] = entry(*b.K, b.rows[r0 + r], b.cols[c0 + c]);
    }
}

// Cluster tree of points or elements.  Each dof is given the points it
// covers: the element's corners, or the field point alone.  The coordinates
// are folded onto one side of every symmetry plane (x to |x| for a plane
// x = 0): the distance of two folded points is the smallest distance
// between one and the images of the other, so a block is admissible only
// when every image of its column cluster is far from its row cluster.  For a
// mesh on one side of each plane the folding changes nothing (an image is
// never nearer than the element itself); it keeps a mesh that crosses a
// plane right, where a dof that crosses also covers its foot on the plane.
hmat_cluster_tree_t* tree(int n, bool elements, const double* P) {
    const int sym[3] = {ISYMX, ISYMY, ISYMZ};
    std::vector<double> xyz;
    std::vector<unsigned> off(n), ids;
    for (int i = 0; i < n; ++i) {
        const int nv = elements ? NPE[i + 1] : 1;
        bool below[3] = {}, above[3] = {};
        for (int M = 1; M <= nv; ++M) {
            ids.push_back(static_cast<unsigned>(xyz.size() / 3));
            for (int K = 0; K < 3; ++K) {
                const double x = elements ? XE[i + 1][M][K + 1] : P[3 * i + K];
                below[K] = below[K] || x < 0.0;
                above[K] = above[K] || x > 0.0;
                xyz.push_back(sym[K] != 0 ? std::fabs(x) : x);
            }
        }
        for (int K = 0; K < 3; ++K)
            if (sym[K] != 0 && below[K] && above[K]) {
                ids.push_back(static_cast<unsigned>(xyz.size() / 3));
                const std::size_t c = ids[ids.size() - 2] * 3;
                for (int L = 0; L < 3; ++L) xyz.push_back(L == K ? 0.0 : xyz[c + L]);
            }
        off[i] = static_cast<unsigned>(ids.size());
    }
    hmat_clustering_algorithm_t* median = hmat_create_clustering_median();
    hmat_clustering_algorithm_t* algo = hmat_create_clustering_max_dof(median, LEAF);
    hmat_cluster_tree_builder_t* ctb = hmat_create_cluster_tree_builder(algo);
    hmat_cluster_tree_create_context_t ctx{};
    ctx.dimension = 3;
    ctx.number_of_points = static_cast<unsigned>(xyz.size() / 3);
    ctx.coordinates = xyz.data();
    ctx.number_of_dof = static_cast<unsigned>(n);
    ctx.span_offsets = off.data();
    ctx.spans = ids.data();
    ctx.group_index = nullptr;
    ctx.builder = ctb;
    hmat_cluster_tree_t* t = hmat_create_cluster_tree_generic(&ctx);
    hmat_delete_cluster_tree_builder(ctb);
    hmat_delete_clustering(algo);
    hmat_delete_clustering(median);
    return t;
}

// An empty compressed operator, rows on the tree R, columns on C; its blocks
// are added to the total of COUNT.
hmat_matrix_t* structure(hmat_cluster_tree_t* R, hmat_cluster_tree_t* C, COUNTER* COUNT) {
    hmat_interface_t& hi = HI();
    hmat_admissibility_t* adm = hmat_create_admissibility_standard(ETA);
    hmat_matrix_t* m = hi.create_empty_hmatrix_admissibility(R, C, 0, adm);
    hmat_delete_admissibility(adm);
    if (COUNT) {
        hmat_info_t info;
        hi.get_info(m, &info);
        COUNT->total += static_cast<long>(info.full_count + info.rk_count);
    }
    return m;
}

// The blocks of the operator m, from kernel K, approximated to eps; its
// progress counted on COUNT, if any.
void assemble(hmat_matrix_t* m, const KERNEL& K, double eps, COUNTER* COUNT) {
    HI().set_low_rank_epsilon(m, eps);
    JOB job{&K, COUNT};
    hmat_assemble_context_t ctx;
    hmat_assemble_context_init(&ctx);
    ctx.user_context = &job;
    ctx.prepare = prepare;
    ctx.block_compute = compute;
    ctx.compression = hmat_create_compression_aca_plus(eps);
    ctx.progress = nullptr;
    HI().assemble_generic(m, &ctx);
    hmat_delete_compression(ctx.compression);
}

// A compressed operator of kernel K, rows on the tree R, columns on C.
hmat_matrix_t* compress(const KERNEL& K, hmat_cluster_tree_t* R, hmat_cluster_tree_t* C, double eps,
                        COUNTER* COUNT) {
    hmat_matrix_t* m = structure(R, C, COUNT);
    assemble(m, K, eps, COUNT);
    return m;
}

// Writes the memory of the compressed operators M against their dense
// matrices.
void memory(const std::vector<hmat_matrix_t*>& M) {
    double compressed = 0.0, dense = 0.0;
    for (hmat_matrix_t* m : M) {
        hmat_info_t info;
        HI().get_info(m, &info);
        compressed += static_cast<double>(info.compressed_size);
        dense += static_cast<double>(info.uncompressed_size);
    }
    const double mb = compressed * sizeof(double) / 1048576.0, pc = 100.0 * compressed / dense;
    float t;
    qvlib::SWTIME(t);
    textio::console().write("(' Compressed matrix :',f10.1,' MB,',f7.2,' % of dense, time :',f8.3)",
                            {mb, pc, t});
}

// Y = M X for NC columns, X in the order of M's column tree, Y in that of
// its row tree.
void gemm(hmat_matrix_t* m, const double* X, double* Y, int NC) {
    const double one = 1.0, zero = 0.0;
    HI().gemm_dense('N', 'N', 'L', &one, m, const_cast<double*>(X), &zero, Y, NC);
}

// Rows of an operator that are field points at nodes: their coordinates, the
// node each is (its own element), and a tree of their own.
struct ROWS {
    std::vector<double> P;
    std::vector<int> OWN;
    hmat_cluster_tree_t* R;
};

// The nodes at the places K0..K0+NR-1 of ORDER, with PALL the coordinates of
// all nodes.
ROWS rowsOf(const double* PALL, const int* ORDER, int K0, int NR) {
    ROWS w{std::vector<double>(3 * static_cast<std::size_t>(NR)), std::vector<int>(NR), nullptr};
    for (int r = 0; r < NR; ++r) {
        w.OWN[r] = ORDER[K0 + r];
        std::copy_n(&PALL[3 * static_cast<std::size_t>(w.OWN[r])], 3, &w.P[3 * static_cast<std::size_t>(r)]);
    }
    w.R = tree(NR, false, w.P.data());
    return w;
}

// A slice of rows of the system: the places K0..K0+NR-1 of the order of the
// elements' tree, its rows, its kernel, its own copy of the elements' tree
// for the columns (the slices are compressed and multiplied side by side, so
// no two threads work on one tree), and its compressed operator.
struct PART {
    int K0, NR;
    ROWS W;
    KERNEL K;
    hmat_cluster_tree_t* C;
    hmat_matrix_t* m;
};

// The system for GMRES, in slices of rows, and its preconditioners: the
// inverse of its diagonal, and the factorised coarse operator once it is
// built.
struct SYSTEM {
    std::vector<PART> A;
    std::vector<double> DINV;
    hmat_matrix_t* LU;
};

// y = A x, the slices side by side, both vectors in the order of the
// elements' tree.
void mult(void* c, const double* x, double* y) {
    SYSTEM& s = *static_cast<SYSTEM*>(c);
    const int NP = static_cast<int>(s.A.size());
#pragma omp parallel for schedule(dynamic, 1) if (NP > 1)
    for (int p = 0; p < NP; ++p) {
        const PART& a = s.A[p];
        gemm(a.m, x, y + a.K0, 1);
        HI().vector_restore(y + a.K0, a.W.R, a.NR, nullptr, 1);
    }
}

void diagonal(void* c, const double* x, double* y) {
    const SYSTEM& s = *static_cast<SYSTEM*>(c);
    for (int I = 0; I < NBE; ++I) y[I] = s.DINV[I] * x[I];
}

void precond(void* c, const double* x, double* y) {
    const SYSTEM& s = *static_cast<SYSTEM*>(c);
    std::copy(x, x + NBE, y);
    HI().solve_dense(s.LU, y, 1);
}

// The nodes as field points, 3 coordinates each.
std::vector<double> nodes() {
    std::vector<double> P(3 * static_cast<std::size_t>(NBE));
    for (int I = 1; I <= NBE; ++I)
        for (int K = 0; K < 3; ++K) P[3 * (I - 1) + K] = XC[I][K + 1];
    return P;
}

// Slices of the right-hand sides' operator at most, and of the system: a
// slice of the system compresses less well than the whole (its first blocks
// are smaller), so it is cut only into as many as GMRES multiplies side by
// side.
constexpr int SLICES = 16, APARTS = 2;

// RHS: rows K0..K0+NR-1 of the right-hand sides B(:,K) = sum over J of
// KR(I,J) Y(J,K), K = 1..M, in the order of the elements' tree T, each row
// approximated to eps; the compressed operator is released before return.
//   KR      (in)      the operator's weights (its points and own elements
//                     are taken from W)
//   W       (in)      the rows
//   T       (in)      the tree of the elements (a copy is used)
//   Y       (in)      N x M multipliers, in the order of T
//   B       (in/out)  N x M; rows K0..K0+NR-1 are set
void RHS(const KERNEL& KR, const ROWS& W, int K0, int NR, hmat_cluster_tree_t* T, const std::vector<double>& Y,
         int M, double eps, std::vector<double>& B) {
    const KERNEL KS{W.P.data(), W.OWN.data(), KR.WH, KR.WG, false};
    hmat_cluster_tree_t* C = hmat_copy_cluster_tree(T);
    hmat_matrix_t* m = compress(KS, W.R, C, eps, nullptr);
    std::vector<double> b(static_cast<std::size_t>(NR) * M);
    gemm(m, Y.data(), b.data(), M);
    HI().vector_restore(b.data(), W.R, NR, nullptr, M);
    HI().destroy(m);
    hmat_delete_cluster_tree(C);
    const std::size_t N = Y.size() / M;
    for (std::size_t K = 0; K < static_cast<std::size_t>(M); ++K)
        std::copy_n(&b[K * NR], NR, &B[K * N + K0]);
}

// Whether GMRES, having brought the relative residual from 1 to RES in NIT
// iterations, reaches EPS at that rate within LATER more.
bool promising(double RES, int NIT, double EPS, int LATER) {
    return NIT > 0 && RES < 1.0 && NIT * std::log(EPS / RES) / std::log(RES) <= LATER;
}

// One system solve, A x = b in the order of the elements' tree T from x = 0,
// to the relative residual EPS: GMRES with the diagonal preconditioner, then,
// unless it converges fast enough, with the LU factorisation of the system's
// kernel KA compressed to PRETOL, built on first need and kept for later
// right-hand sides.  Writes the iterations and the relative residual
// recomputed in full; returns whether EPS was reached.
bool SOLVE1(SYSTEM& S, const KERNEL& KA, hmat_cluster_tree_t* T, const double* b, double* x, double EPS) {
    const int N = NBE;
    hmat_interface_t& hi = HI();
    textio::OutUnit& con = textio::console();
    std::fill(x, x + N, 0.0);
    int nit = 0;
    double res = 1.0;
    bool ok = false;
    if (!S.LU) {
        ok = GMRES({N, mult, diagonal, &S}, b, x, EPS, FIRST, nit, res);
        if (!ok && promising(res, nit, EPS, FIRST))
            ok = GMRES({N, mult, diagonal, &S}, b, x, EPS, 2 * FIRST, nit, res);
    }
    float t;
    if (!ok && !S.LU) {
        S.LU = compress(KA, T, T, PRETOL, nullptr);
        hmat_factorization_context_t fc;
        hmat_factorization_context_init(&fc);
        fc.factorization = hmat_factorization_lu;
        fc.progress = nullptr;
        hi.factorize_generic(S.LU, &fc);
        qvlib::SWTIME(t);
        con.write("(' Preconditioner factorised, time :',f8.3)", {t});
    }
    if (!ok) ok = GMRES({N, mult, precond, &S}, b, x, EPS, MAXITER - nit, nit, res);
    qvlib::SWTIME(t);
    con.write("(' GMRES iterations :',i5,', time :',f8.3)", {nit, t});
    std::vector<double> ax(N);
    mult(&S, x, ax.data());
    double rr = 0.0, bb = 0.0;
    for (int I = 0; I < N; ++I) {
        rr += (b[I] - ax[I]) * (b[I] - ax[I]);
        bb += b[I] * b[I];
    }
    const double rel = bb > 0.0 ? std::sqrt(rr / bb) : std::sqrt(rr);
    con.write("(' Relative residual ||B - A x||/||B|| :',1Pe10.3)", {rel});
    // The residual recomputed may exceed the one GMRES updates by rounding; a
    // breakdown of GMRES ends it with a residual that says nothing of EPS.
    const bool solved = ok && rel <= 1.5 * EPS;
    if (!solved) con.write("(' *** GMRES DID NOT REACH THE TOLERANCE',1Pe10.3,' ***')", {EPS});
    return solved;
}

// The conductors' solutions of a capacitance run, N entries a conductor in
// the caller's numbering.
std::vector<double> XCAP;

}  // namespace

bool HMSOLV(double EPS, int SLICE) {
    const int N = NBE;
    if (N == 0) return true;
    const ONEBLAS one;
    hmat_interface_t& hi = HI();
    const std::vector<double> P = nodes();
    std::vector<int> OWN(N);
    for (int I = 0; I < N; ++I) OWN[I] = I;
    hmat_cluster_tree_t* T = tree(N, true, nullptr);
    // The system's columns are the unknowns' coefficients; those of the
    // right-hand sides the known values', times the values: the data file's,
    // then, in a capacitance run, 1 on each conductor in turn.
    // A column whose values are all 0 is left out (an insulating wall).
    const int M = 1 + NCOND;
    std::vector<double> WHA(N), WGA(N), WHB(N), WGB(N), Y(static_cast<std::size_t>(N) * M, 0.0);
    for (int J = 1; J <= N; ++J) {
        const bool u = KODE[J] <= 0;  // potential prescribed
        Y[J - 1] = u ? VBC[J] : -VBC[J];
        if (NCOND > 0 && ICOND[J] > 0) Y[static_cast<std::size_t>(ICOND[J]) * N + J - 1] = 1.0;
        bool used = false;
        for (int K = 0; K < M; ++K) used = used || Y[static_cast<std::size_t>(K) * N + J - 1] != 0.0;
        WHA[J - 1] = u ? 0.0 : -1.0;
        WGA[J - 1] = u ? 1.0 : 0.0;
        WHB[J - 1] = u && used ? 1.0 : 0.0;
        WGB[J - 1] = !u && used ? 1.0 : 0.0;
    }
    const KERNEL KA{P.data(), OWN.data(), WHA.data(), WGA.data(), false};
    const KERNEL KB{P.data(), OWN.data(), WHB.data(), WGB.data(), false};
    qvlib::SWSTRT();
    // The system's slices and the right-hand sides', all in the order of T,
    // compressed in turn by the threads; each right-hand side slice is
    // released as soon as its rows of B are made.
    const int* ORDER = hmat_cluster_get_indices(T);
    hi.vector_reorder(Y.data(), T, N, nullptr, M);
    const int NS = std::clamp(N / SLICE, 1, SLICES), NA = std::min(NS, APARTS);
    auto first = [N](int p, int n) { return static_cast<int>(static_cast<long>(N) * p / n); };
    SYSTEM S{std::vector<PART>(NA), std::vector<double>(N), nullptr};
    COUNTER progress;
    for (int p = 0; p < NA; ++p) {
        PART& a = S.A[p];
        a.K0 = first(p, NA);
        a.NR = first(p + 1, NA) - a.K0;
        a.W = rowsOf(P.data(), ORDER, a.K0, a.NR);
        a.K = KERNEL{a.W.P.data(), a.W.OWN.data(), KA.WH, KA.WG, false};
        a.C = hmat_copy_cluster_tree(T);
        a.m = structure(a.W.R, a.C, &progress);
    }
    std::vector<double> b(static_cast<std::size_t>(N) * M);
#pragma omp parallel for schedule(dynamic, 1)
    for (int t = 0; t < NA + NS; ++t) {
        if (t < NA) {
            assemble(S.A[t].m, S.A[t].K, ACAFRAC * EPS, &progress);
        } else {
            const int K0 = first(t - NA, NS), NR = first(t - NA + 1, NS) - K0;
            ROWS W = rowsOf(P.data(), ORDER, K0, NR);
            RHS(KB, W, K0, NR, T, Y, M, ACAFRAC * EPS, b);
            hmat_delete_cluster_tree(W.R);
        }
    }
    std::vector<hmat_matrix_t*> parts;
    for (const PART& a : S.A) parts.push_back(a.m);
    memory(parts);
    for (int k = 0; k < N; ++k) {
        const double d = entry(KA, ORDER[k], ORDER[k]);
        S.DINV[k] = d != 0.0 ? 1.0 / d : 1.0;
    }

    std::vector<double> x(static_cast<std::size_t>(N) * M);
    bool solved = true;
    for (int K = 0; K <= NCOND && solved; ++K) {
        const std::size_t at = static_cast<std::size_t>(K) * N;
        solved = SOLVE1(S, KA, T, &b[at], &x[at], EPS);
    }
    hi.vector_restore(x.data(), T, N, nullptr, M);
    for (int I = 1; I <= N; ++I) B[I] = x[I - 1];
    XCAP.assign(x.begin() + N, x.end());
    if (S.LU) hi.destroy(S.LU);
    for (PART& a : S.A) {
        hi.destroy(a.m);
        hmat_delete_cluster_tree(a.W.R);
        hmat_delete_cluster_tree(a.C);
    }
    hmat_delete_cluster_tree(T);
    return solved;
}

void HMINTP(double EPS) {
    if (NIP == 0) return;
    const ONEBLAS one;
    qvlib::SWSTRT();
    hmat_interface_t& hi = HI();
    // four rows a point: its potential, then the three difference quotients
    const int M = 4 * NIP;
    std::vector<double> P(3 * static_cast<std::size_t>(M));
    for (int I = 1; I <= NIP; ++I)
        for (int D = 0; D < 4; ++D)
            for (int K = 0; K < 3; ++K) P[3 * (4 * (I - 1) + D) + K] = XIP[I][K + 1];
    // The potential at a point is the sum of its row, the columns weighted by
    // U and -Q.
    std::vector<double> WH(NBE), WG(NBE);
    for (int J = 1; J <= NBE; ++J) {
        WH[J - 1] = VBC[J];
        WG[J - 1] = -B[J];
    }
    const KERNEL K{P.data(), nullptr, WH.data(), WG.data(), true};
    hmat_cluster_tree_t* R = tree(M, false, P.data());
    hmat_cluster_tree_t* C = tree(NBE, true, nullptr);
    COUNTER progress;
    hmat_matrix_t* m = compress(K, R, C, ACAFRAC * EPS, &progress);
    memory({m});
    std::vector<double> ones(NBE, 1.0), u(M);
    gemm(m, ones.data(), u.data(), 1);
    hi.vector_restore(u.data(), R, M, nullptr, 1);
    hi.destroy(m);
    hmat_delete_cluster_tree(R);
    hmat_delete_cluster_tree(C);
    for (int I = 1; I <= NIP; ++I) {
        UIP[I] = u[4 * (I - 1)];
        for (int K = 1; K <= 3; ++K) GRADV[K][I] = u[4 * (I - 1) + K];
    }
}

namespace {

double RUNEPS = TOLHM;  // the tolerance and slices of the phases HMPHASES gave
int RUNSLICE = HMSLICE;

void noAssembly() {}

bool solvePhase(const double*, double*, double*, int, int, int, double, int&) { return HMSOLV(RUNEPS, RUNSLICE); }

// The compressed sum pays only for large meshes: with 1280 elements and
// 6800 points it kept 81 % of the coefficients and took four times as long
// as the direct sum; with 20,480 elements and 1000 points it took half as
// long.
constexpr int PTSNBE = 16384, PTSNIP = 1000;

void pointsPhase() {
    if (NBE >= PTSNBE && NIP >= PTSNIP)
        HMINTP(RUNEPS);
    else
        INTPTS();
}

}  // namespace

PHASES HMPHASES(double EPS, int SLICE) {
    RUNEPS = EPS;
    RUNSLICE = SLICE;
    return {noAssembly, nullptr, nullptr, 0, solvePhase, pointsPhase};
}

int HMRUN(textio::OutUnit& rep, double EPS, int SLICE) { return SOLVE(rep, HMPHASES(EPS, SLICE)); }

int HMCAP(textio::OutUnit& rep, double EPS, int SLICE) {
    const CAPSCOPE conductors;
    const int status = HMRUN(rep, EPS, SLICE);
    if (status == 0) CAPMAT(XCAP.data(), NBE, rep);
    XCAP.clear();
    return status;
}

}  // namespace telma
