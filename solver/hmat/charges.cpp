// The sums of the charge formulation through compressed operators (see
// hmlib.hpp and media.hpp).
#include "solver/hmat/hmlib.hpp"
#include "solver/media.hpp"

#include <algorithm>

namespace telma::hm {

namespace {

// The walls and interfaces (INTERFACES: the interfaces alone), 0-based.
std::vector<int> faces(bool INTERFACES) {
    std::vector<int> list;
    for (int I = 1; I <= NBE; ++I)
        if (KODE[I] >= 1 && (!INTERFACES || EPSN[I] > 0.0)) list.push_back(I - 1);
    return list;
}

// Y = K X over the rows of the elements ROWSOF, K compressed to R.EPS: X by
// element (0-based), Y by row.  The rows are cut into slices of R.SLICE / 4
// rows or more that the threads compress and multiply side by side (a
// block's own entries are too few to share), each with its own trees; KW
// gives the weights, the points and own elements are each slice's.
template <class KT>
void apply(const KT& KW, const std::vector<int>& ROWSOF, std::vector<double> X, const SOLREQ& R,
           std::vector<double>& Y) {
    const int NR = static_cast<int>(ROWSOF.size());
    Y.assign(NR, 0.0);
    if (NR == 0) return;
    const ONEBLAS one;
    const std::vector<double> P = nodes();
    hmat_cluster_tree_t* T = tree(NBE, true, nullptr);
    HMOK(HI().vector_reorder(X.data(), T, NBE, nullptr, 1), "vector_reorder");
    const int NS = std::clamp(NR / std::max(R.SLICE / 4, 1), 1, 16);
    // With several processes each takes its share of the slices, the others'
    // rows left 0 for the sum that gathers them.
    const PROCS PR = procs(PCOMM(R.COMM));
    const int S0 = FIRSTOF(NS, PR.RANK, PR.SIZE), S1 = FIRSTOF(NS, PR.RANK + 1, PR.SIZE);
    TRAP trap;
#pragma omp parallel for schedule(dynamic, 1)
    for (int p = S0; p < S1; ++p)
        trap([&] {
            const int K0 = FIRSTOF(NR, p, NS);
            ROWS W;
            rowsOf(P.data(), ROWSOF.data(), K0, FIRSTOF(NR, p + 1, NS) - K0, W);
            product(KW.of(W), W, T, X.data(), &Y[K0], 1, ACAFRAC * R.EPS);
        });
    hmat_delete_cluster_tree(T);
    trap.rethrow();
    SUMALL(Y.data(), NR, PR);
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

void HMCORR(const SOLREQ& R) {
    const std::vector<int> rows = faces(false);
    std::vector<double> c;
    apply(WEIGHTS(0.0, 1.0, -1.0, 1.0), rows, std::vector<double>(NBE, 1.0), R, c);  // D - H + MDMID
    for (std::size_t r = 0; r < c.size(); ++r) CSELF[rows[r] + 1] = c[r];
}

void HMSUMS(const SOLREQ& R, std::vector<double>& U, std::vector<double>& K) {
    if (NBE < MDHNBE)
        MDSUMS(R, U, K);
    else
        HMCHRG(R, U, K);
}

void HMCHRG(const SOLREQ& R, std::vector<double>& U, std::vector<double>& K) {
    const std::vector<double> S(SIGMA.begin() + 1, SIGMA.begin() + NBE + 1);
    std::vector<double> y;
    const std::vector<int> walls = faces(false), interfaces = faces(true);
    apply(WEIGHTS(-1.0, 0.0, 0.0, 0.0), walls, S, R, y);
    for (std::size_t r = 0; r < y.size(); ++r) U[walls[r] + 1] = y[r];
    apply(WEIGHTS(0.0, -1.0, 0.0, 0.0), interfaces, S, R, y);
    for (std::size_t r = 0; r < y.size(); ++r) K[interfaces[r] + 1] = y[r];
}

}  // namespace telma::hm
