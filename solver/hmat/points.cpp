// The internal points of the compressed solve (see hmlib.hpp): through a
// compressed operator of the points against the elements when the mesh and
// the points are many, else the direct sum of INTPTS.
#include "QVLIB/STPWATCH/stpwatch.hpp"
#include "solver/hmat/hmlib.hpp"
#include "solver/media.hpp"

namespace telma {

using namespace hm;

void HMINTP(double EPS, int FIRST, int LAST, int COMM) {
    if (NIP == 0) return;
    const MPI_Comm comm = PCOMM(COMM);
    const int NP = LAST - FIRST + 1;
    if (NP <= 0) {
        memory({}, comm);  // the others' line
        return;
    }
    const ONEBLAS one;
    qvlib::SWSTRT();
    hmat_interface_t& hi = HI();
    // four rows a point: its potential, then the three difference quotients
    const int M = 4 * NP;
    std::vector<double> P(3 * static_cast<std::size_t>(M));
    for (int I = FIRST; I <= LAST; ++I)
        for (int D = 0; D < 4; ++D)
            for (int K = 0; K < 3; ++K) P[3 * (4 * (I - FIRST) + D) + K] = XIP[I][K + 1];
    // The potential at a point is the sum of its row, the columns weighted by
    // U and -Q (with media: by the charges, -SIGMA on G alone).
    std::vector<double> WH(NBE), WG(NBE);
    for (int J = 1; J <= NBE; ++J) {
        WH[J - 1] = MEDIA ? 0.0 : VBC[J];
        WG[J - 1] = MEDIA ? -SIGMA[J] : -B[J];
    }
    const KERNEL K{P.data(), nullptr, WH.data(), WG.data(), true};
    hmat_cluster_tree_t* R = tree(M, false, P.data());
    hmat_cluster_tree_t* C = tree(NBE, true, nullptr);
    COUNTER progress;
    hmat_matrix_t* m = compress(K, R, C, ACAFRAC * EPS, &progress);
    memory({m}, comm);
    std::vector<double> ones(NBE, 1.0), u(M);
    gemm(m, ones.data(), u.data(), 1);
    HMOK(hi.vector_restore(u.data(), R, M, nullptr, 1), "vector_restore");
    hi.destroy(m);
    hmat_delete_cluster_tree(R);
    hmat_delete_cluster_tree(C);
    for (int I = FIRST; I <= LAST; ++I) {
        UIP[I] = u[4 * (I - FIRST)];
        for (int K = 1; K <= 3; ++K) GRADV[K][I] = u[4 * (I - FIRST) + K];
    }
}

namespace hm {

void HMPNTS(const SOLREQ& R) {
    // Each process its share of the points, then every process all of them.
    const PROCS PR = procs(PCOMM(R.COMM));
    const int FIRST = 1 + FIRSTOF(NIP, PR.RANK, PR.SIZE), LAST = FIRSTOF(NIP, PR.RANK + 1, PR.SIZE);
    if (NBE >= PTSNBE && NIP >= PTSNIP)
        HMINTP(R.EPS, FIRST, LAST, R.COMM);
    else
        INTPTS(FIRST, LAST);
    if (NIP == 0) return;
    SHAREV(&UIP[1], NIP, PR);
    for (int K = 1; K <= 3; ++K) SHAREV(&GRADV[K][1], NIP, PR);
}

}  // namespace hm

}  // namespace telma
