// Cluster trees of elements and of field points, with the symmetry planes
// folded in (see hmlib.hpp).
#include <algorithm>
#include <cmath>

#include "solver/hmat/hmlib.hpp"

namespace telma::hm {

// Each dof is given the points it covers: the element's corners, or the
// field point alone.  The coordinates are folded onto one side of every
// symmetry plane (x to |x| for a plane x = 0): the distance of two folded points is the smallest distance
// between one and the images of the other, so a block is admissible only
// when every image of its column cluster is far from its row cluster.  For a
// mesh on one side of each plane the folding changes nothing (an image is
// never nearer than the element itself); it keeps a mesh that crosses a
// plane right, where a dof that crosses also covers its foot on the plane.
hmat_cluster_tree_t* tree(int n, bool elements, const double* P, const int* LIST) {
    const int sym[3] = {ISYMX, ISYMY, ISYMZ};
    std::vector<double> xyz;
    std::vector<unsigned> off(n), ids;
    for (int i = 0; i < n; ++i) {
        const int e = (LIST ? LIST[i] : i) + 1;  // the element
        const int nv = elements ? NPE[e] : 1;
        bool below[3] = {}, above[3] = {};
        for (int M = 1; M <= nv; ++M) {
            ids.push_back(static_cast<unsigned>(xyz.size() / 3));
            for (int K = 0; K < 3; ++K) {
                const double x = elements ? XE[e][M][K + 1] : P[3 * i + K];
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

ROWS::~ROWS() {
    if (R) hmat_delete_cluster_tree(R);
}

std::vector<double> nodes() {
    std::vector<double> P(3 * static_cast<std::size_t>(NBE));
    for (int I = 1; I <= NBE; ++I)
        for (int K = 0; K < 3; ++K) P[3 * (I - 1) + K] = XC[I][K + 1];
    return P;
}

void rowsOf(const double* PALL, const int* ORDER, int K0, int NR, ROWS& W) {
    W.P.assign(3 * static_cast<std::size_t>(NR), 0.0);
    W.OWN.assign(NR, 0);
    for (int r = 0; r < NR; ++r) {
        W.OWN[r] = ORDER[K0 + r];
        std::copy_n(&PALL[3 * static_cast<std::size_t>(W.OWN[r])], 3, &W.P[3 * static_cast<std::size_t>(r)]);
    }
    if (W.R) hmat_delete_cluster_tree(W.R);
    W.R = tree(NR, false, W.P.data());
}

}  // namespace telma::hm
