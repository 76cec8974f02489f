// The hierarchical-matrix library: its setup, the compression of an
// operator from its kernel, and products (see hmlib.hpp).
#include <omp.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <new>
#include <stdexcept>

#include "QVLIB/STPWATCH/stpwatch.hpp"
#include "solver/hmat/hmlib.hpp"

extern "C" int openblas_get_num_threads(void);
extern "C" void openblas_set_num_threads(int);

namespace telma::hm {

namespace {

// Work arrays that LAPACKE could not allocate (see LAPACKE_xerbla below).
std::atomic<int> LAPACKFAIL{0};

}  // namespace

void HMOK(int CODE, const char* WHAT) {
    if (CODE != 0) throw HMFAIL(WHAT);
}

void LAPACKCHK() {
    if (LAPACKFAIL.exchange(0) > 0) throw std::bad_alloc();
}

}  // namespace telma::hm

// LAPACKE's report of an error, in place of its own: the library's routines
// do not all check what LAPACKE returns, and a work array it could not
// allocate would leave a block silently wrong, so it is counted, for
// LAPACKCHK to end the phase, rather than printed.  (The executables
// export it, so that LAPACKE binds to it: see solver/CMakeLists.txt.)
extern "C" void LAPACKE_xerbla(const char* name, int info) {
    constexpr int WORK_MEMORY_ERROR = -1010, TRANSPOSE_MEMORY_ERROR = -1011;
    if (info == WORK_MEMORY_ERROR || info == TRANSPOSE_MEMORY_ERROR)
        ++telma::hm::LAPACKFAIL;
    else
        std::fprintf(stderr, "Wrong parameter %d in %s\n", -info, name);
}

namespace telma::hm {

ONEBLAS::ONEBLAS() : before(openblas_get_num_threads()) { openblas_set_num_threads(1); }
ONEBLAS::~ONEBLAS() { openblas_set_num_threads(before); }

hmat_interface_t& HI(bool SINGLE) {
    auto setup = [](hmat_value_t type) {
        hmat_interface_t h;
        hmat_settings_t s;
        hmat_get_parameters(&s);
        s.maxLeafSize = LEAF;
        s.compressionMinLeafSize = 0;
        hmat_set_parameters(&s);
        hmat_init_default_interface(&h, type);
        h.init();
        return h;
    };
    static hmat_interface_t hd = setup(HMAT_DOUBLE_PRECISION);
    if (!SINGLE) return hd;
    static hmat_interface_t hs = setup(HMAT_SIMPLE_PRECISION);
    return hs;
}

namespace {

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
        const int e = job.K->OWN[rows[r]], j = job.K->COLOF ? job.K->COLOF[e] : e;
        const int c = j >= 0 ? col_client2hmat[j] : -1;
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
// holds none (a team started inside a team would only add its cost).  (The
// library asks for them in double precision for a matrix of single
// precision too, and rounds them itself.)
void compute(void* data, int r0, int nr, int c0, int nc, void* out) {
    const BLOCK& b = *static_cast<BLOCK*>(data);
    double* v = static_cast<double*>(out);
    const long n = static_cast<long>(nr) * nc;
    if (b.ZERO) {
        std::fill(v, v + n, 0.0);
        return;
    }
#pragma omp parallel for collapse(2) schedule(static) if (n >= 256 && !omp_in_parallel())
    for (int c = 0; c < nc; ++c)
        for (int r = 0; r < nr; ++r) v[static_cast<long>(c) * nr + r] = entry(*b.K, b.rows[r0 + r], b.cols[c0 + c]);
}

}  // namespace

hmat_matrix_t* structure(hmat_cluster_tree_t* R, hmat_cluster_tree_t* C, COUNTER* COUNT, bool SINGLE) {
    hmat_interface_t& hi = HI(SINGLE);
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

void assemble(hmat_matrix_t* m, const KERNEL& K, double eps, COUNTER* COUNT, bool SINGLE) {
    hmat_interface_t& hi = HI(SINGLE);
    hi.set_low_rank_epsilon(m, eps);
    // every entry to the blocks' tolerance, far ones by the rules
    const FARTAB far = FARSET(eps);
    KERNEL KF = K;
    KF.FAR = &far;
    JOB job{&KF, COUNT};
    hmat_assemble_context_t ctx;
    hmat_assemble_context_init(&ctx);
    ctx.user_context = &job;
    ctx.prepare = prepare;
    ctx.block_compute = compute;
    ctx.compression = hmat_create_compression_aca_plus(eps);
    ctx.progress = nullptr;
    HMOK(hi.assemble_generic(m, &ctx), "assemble_generic");
    hmat_delete_compression(ctx.compression);
    LAPACKCHK();
}

hmat_matrix_t* compress(const KERNEL& K, hmat_cluster_tree_t* R, hmat_cluster_tree_t* C, double eps,
                        COUNTER* COUNT, bool SINGLE) {
    hmat_matrix_t* m = structure(R, C, COUNT, SINGLE);
    assemble(m, K, eps, COUNT, SINGLE);
    return m;
}

void memory(const std::vector<hmat_matrix_t*>& M, MPI_Comm COMM, bool SINGLE) {
    double size[2] = {0.0, 0.0};  // compressed, dense: in doubles
    for (hmat_matrix_t* m : M) {
        hmat_info_t info;
        HI(SINGLE).get_info(m, &info);
        size[0] += static_cast<double>(info.compressed_size) * (SINGLE ? 0.5 : 1.0);
        size[1] += static_cast<double>(info.uncompressed_size);
    }
    SUMALL(size, 2, procs(COMM));
    const double compressed = size[0], dense = size[1];
    const double mb = compressed * sizeof(double) / 1048576.0, pc = 100.0 * compressed / dense;
    float t;
    qvlib::SWTIME(t);
    textio::console().write("(' Compressed matrix :',f10.1,' MB,',f7.2,' % of dense, time :',f8.3)",
                            {mb, pc, t});
}

void gemm(hmat_matrix_t* m, const double* X, double* Y, int NC) {
    const double one = 1.0, zero = 0.0;
    HMOK(HI().gemm_dense('N', 'N', 'L', &one, m, const_cast<double*>(X), &zero, Y, NC), "gemm_dense");
}

void gemm(hmat_matrix_t* m, const float* X, float* Y, int NC) {
    const float one = 1.0f, zero = 0.0f;
    HMOK(HI(true).gemm_dense('N', 'N', 'L', &one, m, const_cast<float*>(X), &zero, Y, NC), "gemm_dense");
}

void product(const KERNEL& K, const ROWS& W, hmat_cluster_tree_t* T, const double* X, double* Y, int NC,
             double EPS, const float* XS) {
    const int NR = static_cast<int>(W.P.size() / 3);
    hmat_cluster_tree_t* C = hmat_copy_cluster_tree(T);
    hmat_matrix_t* m = compress(K, W.R, C, EPS, nullptr, XS != nullptr);
    if (XS) {
        std::vector<float> ys(static_cast<std::size_t>(NR) * NC);
        gemm(m, XS, ys.data(), NC);
        std::copy(ys.begin(), ys.end(), Y);
    } else {
        gemm(m, X, Y, NC);
    }
    HMOK(HI().vector_restore(Y, W.R, NR, nullptr, NC), "vector_restore");
    HI(XS != nullptr).destroy(m);
    hmat_delete_cluster_tree(C);
}

}  // namespace telma::hm
