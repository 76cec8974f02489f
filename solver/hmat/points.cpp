// The internal points of the compressed solve (see hmlib.hpp): through a
// compressed operator of the points against the elements when the mesh and
// the points are many, else the direct sum of INTPTS.
#include "QVLIB/STPWATCH/stpwatch.hpp"
#include "solver/hmat/hmlib.hpp"
#include "solver/media.hpp"

namespace telma {

using namespace hm;

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

namespace hm {

namespace {

// The compressed sum pays only for large meshes: with 1280 elements and
// 6800 points it kept 81 % of the coefficients and took four times as long
// as the direct sum; with 20,480 elements and 1000 points it took half as
// long.
constexpr int PTSNBE = 16384, PTSNIP = 1000;

}  // namespace

void HMPNTS(const SOLREQ& R) {
    if (NBE >= PTSNBE && NIP >= PTSNIP)
        HMINTP(R.EPS);
    else
        INTPTS();
}

}  // namespace hm

}  // namespace telma
