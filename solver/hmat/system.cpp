// The compressed system and its right-hand sides (see hmlib.hpp): the
// operator of the unknowns in slices of rows, the right-hand sides from the
// operator of the known values, sliced likewise and released slice by slice.
#include <omp.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <stdexcept>
#include <string>

#include "solver/hmat/hmlib.hpp"
#include "solver/media.hpp"

namespace telma::hm {

std::unique_ptr<SYSTEM> HMSYS;

SYSTEM::~SYSTEM() {
    hmat_interface_t& hi = HI();
    if (LU) hi.destroy(LU);
    if (TL) hmat_delete_cluster_tree(TL);
    for (PART& a : A) {
        if (a.m) HI(SINGLE).destroy(a.m);
        if (a.C) hmat_delete_cluster_tree(a.C);
    }
    if (T) hmat_delete_cluster_tree(T);
}

namespace {

// Slices of the right-hand sides' operator at most, and of the system: a
// slice of the system compresses less well than the whole (its first blocks
// are smaller), so it is cut only into as many as GMRES multiplies side by
// side.
constexpr int SLICES = 16, APARTS = 2;

// The right-hand sides' slices of NL rows: SLICE rows or more each (a
// smaller slice compresses less well), and no more than the threads that
// compress them at once, whose memory the system, which follows them, then
// takes.
int slices(int NL, int SLICE) {
    return std::min(std::clamp(NL / std::max(SLICE, 1), 1, SLICES), omp_get_max_threads());
}

// RHS: rows K0..K0+NR-1 of the right-hand sides B(:,K) = sum over J of
// KR(I,J) Y(J,K), K = 1..M, in the order of the elements' tree T, each row
// approximated to eps; the compressed operator is released before return.
//   KR      (in)      the operator's weights (its points and own elements
//                     are taken from W)
//   W       (in)      the rows
//   T       (in)      the tree of the elements (a copy is used)
//   Y       (in)      N x M multipliers, in the order of T
//   YS      (in)      Y in single precision, for an operator of single
//                     precision (as the system's); empty: double
//   B       (in/out)  LDB x M from the place R0 of T; rows K0..K0+NR-1 are set
void RHS(const KERNEL& KR, const ROWS& W, int K0, int NR, hmat_cluster_tree_t* T, const std::vector<double>& Y,
         const std::vector<float>& YS, int M, double eps, int R0, int LDB, std::vector<double>& B) {
    const KERNEL KS{W.P.data(), W.OWN.data(), KR.WH, KR.WG, false};
    std::vector<double> b(static_cast<std::size_t>(NR) * M);
    product(KS, W, T, Y.data(), b.data(), M, eps, YS.empty() ? nullptr : YS.data());
    for (std::size_t K = 0; K < static_cast<std::size_t>(M); ++K)
        std::copy_n(&b[K * NR], NR, &B[K * LDB + K0 - R0]);
}

}  // namespace

void HMBILD(const SOLREQ& R) {
    HMSYS.reset();
    const int N = NBE, M = R.NRHS;
    auto sys = std::make_unique<SYSTEM>();
    SYSTEM& S = *sys;
    S.PR = procs(PCOMM(R.COMM));
    if (N < S.PR.SIZE)
        throw std::runtime_error("the solve of " + std::to_string(N) + " elements cannot be shared by " +
                                 std::to_string(S.PR.SIZE) + " processes");
    ENTER();
    // This process's rows: its part of the tree's order.
    S.R0 = FIRSTOF(N, S.PR.RANK, S.PR.SIZE);
    S.NL = FIRSTOF(N, S.PR.RANK + 1, S.PR.SIZE) - S.R0;
    const int NL = S.NL;
    if (S.PR.SIZE > 1)
        textio::console().write("(' Processes :',i5,', threads each :',i4)", {S.PR.SIZE, omp_get_max_threads()});
    const ONEBLAS one;
    hmat_interface_t& hi = HI();
    S.P = nodes();
    S.OWN.resize(N);
    std::iota(S.OWN.begin(), S.OWN.end(), 0);
    S.T = tree(N, true, nullptr);
    // The system's columns are the unknowns' coefficients; those of the
    // right-hand sides the known values', times the values: the data file's,
    // then those of the request's further right-hand sides.  A column whose
    // values are all 0 is left out (an insulating wall).
    std::vector<double> WHB(N), WGB(N), Y(static_cast<std::size_t>(N) * M, 0.0);
    S.WHA.resize(N);
    S.WGA.resize(N);
    for (int J = 1; J <= N; ++J) {
        const bool u = KODE[J] <= 0;  // potential prescribed
        bool used = false;
        for (int L = 1; L <= M; ++L) {
            const double v = VPRES(J, L, R.VRHS);
            Y[static_cast<std::size_t>(L - 1) * N + J - 1] = u ? v : -v;
            used = used || v != 0.0;
        }
        S.WHA[J - 1] = u ? 0.0 : -1.0;
        S.WGA[J - 1] = u ? 1.0 : 0.0;
        WHB[J - 1] = u && used ? 1.0 : 0.0;
        WGB[J - 1] = !u && used ? 1.0 : 0.0;
    }
    S.KA = KERNEL{S.P.data(), S.OWN.data(), S.WHA.data(), S.WGA.data(), false};
    if (MEDIA) {
        if (N >= MDHNBE)
            MDPREP(HMCORR, R);
        else
            MDPREP();
        // The charge formulation: the rows carry the weights, and the
        // right-hand sides are the prescribed values themselves.
        S.RG.resize(N);
        S.RD.resize(N);
        S.RJ.resize(N);
        for (int J = 1; J <= N; ++J) MDCOEF(J, S.RG[J - 1], S.RD[J - 1], S.RJ[J - 1]);
        S.KA.RG = S.RG.data();
        S.KA.RD = S.RD.data();
        S.KA.RJ = S.RJ.data();
    }
    const KERNEL KB{S.P.data(), S.OWN.data(), WHB.data(), WGB.data(), false};
    // The right-hand sides' slices, then the system's, all in the order of
    // T, compressed in turn by the threads; each right-hand side slice is
    // released as soon as its rows of B are made, and the system takes the
    // memory they leave.
    const int* ORDER = hmat_cluster_get_indices(S.T);
    HMOK(hi.vector_reorder(Y.data(), S.T, N, nullptr, M), "vector_reorder");
    S.SINGLE = R.EPS >= SINGLETOL;
    const std::vector<float> YS = S.SINGLE ? std::vector<float>(Y.begin(), Y.end()) : std::vector<float>();
    // A process of one thread among several keeps its rows whole: they
    // compress better so, and two processes then hold the halves one
    // process makes.
    const int NA = S.PR.SIZE > 1 && omp_get_max_threads() == 1 ? 1 : std::clamp(NL / std::max(R.SLICE, 1), 1, APARTS);
    const int NS = MEDIA ? 0 : slices(NL, R.SLICE);  // the right-hand sides' slices
    auto first = [&S](int p, int n) { return S.R0 + FIRSTOF(S.NL, p, n); };
    S.A = std::vector<PART>(NA);
    COUNTER progress;
    for (int p = 0; p < NA; ++p) {
        PART& a = S.A[p];
        a.K0 = first(p, NA);
        a.NR = first(p + 1, NA) - a.K0;
        rowsOf(S.P.data(), ORDER, a.K0, a.NR, a.W);
        a.K = S.KA;
        a.K.P = a.W.P.data();
        a.K.OWN = a.W.OWN.data();
        a.C = hmat_copy_cluster_tree(S.T);
        a.m = structure(a.W.R, a.C, &progress, S.SINGLE);
        if (S.SINGLE) a.YS.resize(a.NR);
    }
    const double eps = ACAFRAC * R.EPS;
    S.BT.assign(static_cast<std::size_t>(NL) * M, 0.0);
    if (MEDIA)
        for (int L = 1; L <= M; ++L)
            for (int k = S.R0; k < S.R0 + NL; ++k) {
                const int J = ORDER[k] + 1;
                S.BT[static_cast<std::size_t>(L - 1) * NL + k - S.R0] = MDRHS(J, VPRES(J, L, R.VRHS));
            }
    TRAP trap;
#pragma omp parallel for schedule(dynamic, 1)
    for (int t = 0; t < NA + NS; ++t)
        trap([&] {
            if (t >= NS) {
                assemble(S.A[t - NS].m, S.A[t - NS].K, eps, &progress, S.SINGLE);
            } else {
                const int K0 = first(t, NS), NR = first(t + 1, NS) - K0;
                ROWS W;
                rowsOf(S.P.data(), ORDER, K0, NR, W);
                RHS(KB, W, K0, NR, S.T, Y, YS, M, eps, S.R0, NL, S.BT);
            }
        });
    trap.rethrow();
    std::vector<hmat_matrix_t*> parts;
    for (const PART& a : S.A) parts.push_back(a.m);
    memory(parts, S.PR.COMM, S.SINGLE);
    if (S.SINGLE) S.XS.resize(N);
    S.DINV.resize(NL);
    for (int k = 0; k < NL; ++k) {
        const int J = ORDER[S.R0 + k];
        const double d = entry(S.KA, J, J);
        S.DINV[k] = d != 0.0 ? 1.0 / d : 1.0;
    }
    if (S.PR.SIZE > 1) S.XG.resize(N);
    HMSYS = std::move(sys);
}

double MEMOP(int N, int NIP, double EPS) {
    // Bytes an element of the compressed system at the default tolerance,
    // as measured on spheres: 19.6 KB at 20,480 elements, 27.0 KB at 81,920
    // and, from the peak, about 39 KB at 327,680: as N^0.25.  The ranks of
    // the blocks grow as the digits of their tolerance (--tol=1e-6 halves
    // it), and no row holds more than its dense entries; the system of
    // single precision (SINGLETOL) half that.
    const double eps = ACAFRAC * EPS;
    const double digits = std::max(1.0, -std::log10(eps));
    const double row = std::min(20070.0 * std::pow(N / 20480.0, 0.25) * digits / 8.0, 8.0 * N);
    // This process's rows, or before them the slices of the right-hand
    // sides that its threads compress at once.
    const double NL = std::ceil(static_cast<double>(N) / NPROC);
    const int NS = slices(static_cast<int>(NL), HMSLICE);
    const double system = std::max(NL, NS * std::ceil(NL / NS)) * row * (EPS >= SINGLETOL ? 0.5 : 1.0);
    // The internal points' operator (four rows a point), after the system.
    const double points = N >= PTSNBE && NIP >= PTSNIP ? 4.0 * std::ceil(static_cast<double>(NIP) / NPROC) * row : 0.0;
    return std::max(system, points);
}

void mult(void* c, const double* x, double* y) {
    SYSTEM& s = *static_cast<SYSTEM*>(c);
    const int NP = static_cast<int>(s.A.size());
    // Every process's block row takes the whole vector.
    const double* xg = x;
    if (s.PR.SIZE > 1) {
        std::copy(x, x + s.NL, &s.XG[s.R0]);
        SHAREV(s.XG.data(), static_cast<int>(s.XG.size()), s.PR);
        xg = s.XG.data();
    }
    if (s.SINGLE) std::copy(xg, xg + s.XS.size(), s.XS.begin());
    TRAP trap;
#pragma omp parallel for schedule(dynamic, 1) if (NP > 1)
    for (int p = 0; p < NP; ++p)
        trap([&] {
            PART& a = s.A[p];
            double* ya = y + a.K0 - s.R0;
            if (s.SINGLE) {
                gemm(a.m, s.XS.data(), a.YS.data(), 1);
                std::copy(a.YS.begin(), a.YS.end(), ya);
            } else {
                gemm(a.m, xg, ya, 1);
            }
            HMOK(HI().vector_restore(ya, a.W.R, a.NR, nullptr, 1), "vector_restore");
        });
    trap.rethrow();
}

}  // namespace telma::hm
