// telma-mesh output read back by the solver's own reader and solved, and the
// shipped examples: answers checked against known physics.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <numbers>
#include <sstream>

#include "solver/telma.hpp"
#include "textio/textio.hpp"
#include "tools/datafile.hpp"

using namespace tmesh;

namespace {

// READIN on a data file (a mesh written by the tool when `m` is given), then SOLVE.
void solve(const Mesh* m, const std::string& file = "mesh.in") {
    std::ostringstream os;
    if (m) writeDataFile(os, *m);
    else os << std::ifstream(std::string(EXAMPLES_DIR) + "/" + file).rdbuf();
    std::istringstream in(os.str());
    textio::Reader rd(in, file);
    std::ostringstream rs;
    textio::OutUnit rep(rs);
    telma::READIN(rd, rep);
    telma::IER = 0;
    ASSERT_EQ(telma::SOLVE(rep), 0) << file;
}

// Capacitance in units of 4 pi eps0 of the electrode that is flux group 1.
double capacitance() { return telma::FLUX[1] / (4 * std::numbers::pi); }

Mesh sphere(int level, double r = 1.0, bool split = false) {
    Mesh m = makeSphere(SphereParams{.r = r, .level = level});
    if (split)
        for (int k = 0; k < 3; ++k) splitAlong(m, k);
    return m;
}

}  // namespace

// The capacitance of a sphere in units of 4 pi eps0 is its radius.  The
// inscribed polyhedron gives a little less, the gap of second order in the
// element size, which halves per level: each level cuts it by over 3.  The
// eighth model carries the refinement past the full mesh's table; the
// potential outside falls off as r / distance.
TEST(Physics, SphereCapacitanceApproachesTheRadius) {
    const double r = 1.5;
    double prev = 1.0;
    for (int level : {2, 3, 4}) {
        Mesh m = sphere(level, r);
        if (level == 4)
            for (int k = 0; k < 3; ++k) cutSymmetry(m, k, 1, 1);
        addLine(m.ip, {3, 0, 0}, {0, 0, 6}, 2);
        solve(&m);
        const double c = (level == 4 ? 8 : 1) * capacitance(), err = 1 - c / r;
        EXPECT_GT(err, 0) << level;
        EXPECT_LT(err, prev / 3) << level;
        prev = err;
        if (level == 3) {
            EXPECT_LT(err, 0.005);
            EXPECT_NEAR(telma::UIP[1], 0.5, 0.005);
            EXPECT_NEAR(telma::UIP[2], 0.25, 0.0025);
        }
    }
}

// Half, quarter and eighth models with even planes stand for the sphere
// split along the planes; an odd plane z = 0 for the full mesh with the
// lower half at -1: the same flux through the upper half.
TEST(Physics, SymmetricModelsGiveTheFullModelsFlux) {
    Mesh full = sphere(2, 1.0, true);
    solve(&full);
    const double even = telma::FLUX[1];
    for (Element& e : full.el) e.bc = centroid(e)[2] > 0 ? BC{-1, 1.0} : BC{-2, -1.0};
    solve(&full);
    const double odd = telma::FLUX[1];
    EXPECT_NEAR(telma::FLUX[2], -odd, 1e-6 * std::fabs(odd));
    for (auto [planes, parity, want] : {std::tuple{1, 1, even}, std::tuple{2, 1, even}, std::tuple{3, 1, even}, std::tuple{1, -1, odd}}) {
        Mesh m = sphere(2, 1.0, true);
        for (int k = 0; k < planes; ++k) cutSymmetry(m, 2 - k, 1, parity);
        solve(&m);
        EXPECT_NEAR(telma::FLUX[1] * (1 << planes) / (parity == 1 ? 1 : 2) / want, 1.0, 1e-6) << planes << ' ' << parity;
    }
}

// A bar 2 x 1 x 1 between electrodes at 0 and 1, insulated elsewhere, its
// ends meshed differently: what flows in flows out, and the current through
// each end is the cross-section times the field 1/2 (constant elements
// overestimate it).  The example bar is meshed evenly.
TEST(Physics, ElectrodeCurrentsAreEqualAndOpposite) {
    BoxParams s{.hi = {2, 1, 1}, .div = {8, 4, 4}};
    s.face[XMIN] = {{-1, 0.0}, 2, 2};
    s.face[XMAX] = {{-2, 1.0}, 5, 3};
    const Mesh bar = makeBox(s);
    using Case = std::tuple<const Mesh*, const char*, double>;
    for (auto [m, file, tol] : {Case{&bar, "mesh.in", 0.01}, Case{nullptr, "electrodes.in", 1e-6}}) {
        solve(m, file);
        ASSERT_EQ(telma::NGRP, 2);
        EXPECT_NEAR(telma::FLUX[1] + telma::FLUX[2], 0.0, tol * telma::FLUX[2]) << file;
        EXPECT_GT(telma::FLUX[2], 0.5 * 0.9) << file;
        EXPECT_LT(telma::FLUX[2], 0.5 * 1.05) << file;
    }
}
