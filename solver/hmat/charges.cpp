// The sums of the charge formulation through compressed operators (see
// hmlib.hpp and media.hpp).
#include "solver/hmat/hmlib.hpp"
#include "solver/media.hpp"

namespace telma::hm {

namespace {

// The walls and interfaces (INTERFACES: the interfaces alone) as rows, their
// elements 0-based.
void faceRows(bool INTERFACES, ROWS& W) {
    std::vector<int> list;
    for (int I = 1; I <= NBE; ++I)
        if (KODE[I] >= 1 && (!INTERFACES || EPSN[I] > 0.0)) list.push_back(I - 1);
    const std::vector<double> P = nodes();
    rowsOf(P.data(), list.data(), 0, static_cast<int>(list.size()), W);
}

// Y = K X over W's rows, K compressed to EPS: X by element (0-based), Y by
// row of W.
void apply(const KERNEL& K, const ROWS& W, std::vector<double> X, double EPS, std::vector<double>& Y) {
    const int NR = static_cast<int>(W.OWN.size());
    Y.assign(NR, 0.0);
    if (NR == 0) return;
    const ONEBLAS one;
    hmat_cluster_tree_t* C = tree(NBE, true, nullptr);
    hmat_matrix_t* m = compress(K, W.R, C, ACAFRAC * EPS, nullptr);
    HI().vector_reorder(X.data(), C, NBE, nullptr, 1);
    gemm(m, X.data(), Y.data(), 1);
    HI().vector_restore(Y.data(), W.R, NR, nullptr, 1);
    HI().destroy(m);
    hmat_delete_cluster_tree(C);
}

// The weights of a kernel of the media: all elements alike.
struct WEIGHTS {
    std::vector<double> RG, RD, RH, RM;
    WEIGHTS(double g, double d, double h, double m) : RG(NBE, g), RD(NBE, d), RH(NBE, h), RM(NBE, m) {}
    KERNEL of(const ROWS& W) const {
        // a weight 0 left out, so that its term is not computed
        return KERNEL{W.P.data(), W.OWN.data(), nullptr, nullptr, false, RG.data(), RD.data(), nullptr,
                      !RH.empty() && RH[0] != 0.0 ? RH.data() : nullptr,
                      !RM.empty() && RM[0] != 0.0 ? RM.data() : nullptr};
    }
};

}  // namespace

void HMCORR(double EPS) {
    ROWS W;
    faceRows(false, W);
    const WEIGHTS w(0.0, 1.0, -1.0, 1.0);  // D - H + MDMID
    std::vector<double> c;
    apply(w.of(W), W, std::vector<double>(NBE, 1.0), EPS, c);
    for (std::size_t r = 0; r < c.size(); ++r) CSELF[W.OWN[r] + 1] = c[r];
}

void HMSUMS(const SOLREQ& R, std::vector<double>& U, std::vector<double>& K) {
    if (NBE < MDHNBE)
        MDSUMS(R, U, K);
    else
        HMCHRG(R.EPS, U, K);
}

void HMCHRG(double EPS, std::vector<double>& U, std::vector<double>& K) {
    const std::vector<double> S(SIGMA.begin() + 1, SIGMA.begin() + NBE + 1);
    std::vector<double> y;
    ROWS W;
    faceRows(false, W);
    apply(WEIGHTS(-1.0, 0.0, 0.0, 0.0).of(W), W, S, EPS, y);
    for (std::size_t r = 0; r < y.size(); ++r) U[W.OWN[r] + 1] = y[r];
    ROWS F;
    faceRows(true, F);
    apply(WEIGHTS(0.0, -1.0, 0.0, 0.0).of(F), F, S, EPS, y);
    for (std::size_t r = 0; r < y.size(); ++r) K[F.OWN[r] + 1] = y[r];
}

}  // namespace telma::hm
