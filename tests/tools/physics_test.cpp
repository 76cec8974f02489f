// telma-mesh output read back by the solver's own reader and solved: answers checked against
// known physics.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <sstream>

#include "solver/capaci.hpp"
#include "solver/lu/lu.hpp"
#include "solver/telma.hpp"
#include "textio/textio.hpp"
#include "tools/cli.hpp"
#include "tools/datafile.hpp"

using namespace tmesh;

namespace {

std::string report;  // of the last run

// READIN on the data file the tool writes for `m`, then RUN, or with `capacitance` the run of
// --capacitance (the matrix left in telma::CAP); returns the exit status.
int run(const Mesh& m, bool capacitance = false, const telma::SOLVER& S = telma::GSSOLVER) {
    std::ostringstream os, rs;
    writeDataFile(os, m);
    std::istringstream in(os.str());
    textio::Reader rd(in, "mesh.in");
    textio::OutUnit rep(rs);
    telma::READIN(rd, rep);
    const int status = capacitance ? telma::CAPRUN(rep, S) : telma::RUN(rep, S);
    report = rs.str();
    return status;
}

Mesh sphere(int level, double r = 1.0, bool split = false) {
    Mesh m = makeSphere(SphereParams{.r = r, .level = level});
    if (split)
        for (int k = 0; k < 3; ++k) splitAlong(m, k);
    return m;
}

double cap(int h, int g) { return telma::CAP[(g - 1) * telma::IGRP.size() + h - 1]; }

}  // namespace

// The capacitance of a sphere in units of 4 pi eps0 is its radius.  The inscribed polyhedron gives
// a little less, the gap of second order in the element size, which halves per level: each level
// cuts it by over 3.  The eighth model carries the refinement past the full mesh's table; the
// potential outside falls off as r / distance.
TEST(Physics, SphereCapacitanceApproachesTheRadius) {
    const double r = 1.5;
    double prev = 1.0;
    for (int level : {2, 3, 4}) {
        Mesh m = sphere(level, r);
        if (level == 4)
            for (int k = 0; k < 3; ++k) cutSymmetry(m, k, 1, 1);
        addLine(m.ip, {3, 0, 0}, {0, 0, 6}, 2);
        ASSERT_EQ(run(m), 0);
        const double c = (level == 4 ? 8 : 1) * telma::FLUX[1] / (4 * std::numbers::pi), err = 1 - c / r;  // in 4 pi eps0
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

// Half, quarter and eighth models with even planes stand for the sphere split along the planes; an
// odd plane z = 0 for the full mesh with the lower half at -1: the same flux through the upper half.
TEST(Physics, SymmetricModelsGiveTheFullModelsFlux) {
    Mesh full = sphere(2, 1.0, true);
    ASSERT_EQ(run(full), 0);
    const double even = telma::FLUX[1];
    for (Element& e : full.el) e.bc = centroid(e)[2] > 0 ? BC{-1, 1.0} : BC{-2, -1.0};
    ASSERT_EQ(run(full), 0);
    const double odd = telma::FLUX[1];
    EXPECT_NEAR(telma::FLUX[2], -odd, 1e-6 * std::fabs(odd));
    for (auto [planes, parity, want] : {std::tuple{1, 1, even}, std::tuple{2, 1, even}, std::tuple{3, 1, even}, std::tuple{1, -1, odd}}) {
        Mesh m = sphere(2, 1.0, true);
        for (int k = 0; k < planes; ++k) cutSymmetry(m, 2 - k, 1, parity);
        ASSERT_EQ(run(m), 0);
        EXPECT_NEAR(telma::FLUX[1] * (1 << planes) / (parity == 1 ? 1 : 2) / want, 1.0, 1e-6) << planes << ' ' << parity;
    }
}

// Two spheres three radii apart against the series in bispherical coordinates (cosh(al) = d / 2a,
// C11 = 4 pi a sinh(al) sum over n >= 0 of 1 / sinh((2n + 1) al), C12 = -4 pi a sinh(al) sum over
// n >= 1 of 1 / sinh(2n al), 200 terms exact to rounding): the error of second order in the element
// size falls by well over 3 a level; the matrix is symmetric to well within it.
TEST(Capacitance, SpheresConvergeToTheSeries) {
    const double pi = std::numbers::pi, al = std::acosh(1.5);
    double s11 = 1 / std::sinh(al), s12 = 0;
    for (int n = 200; n >= 1; --n) {
        s11 += 1 / std::sinh((2 * n + 1) * al);
        s12 += 1 / std::sinh(2 * n * al);
    }
    const double exact[2] = {4 * pi * std::sinh(al) * s11, -4 * pi * std::sinh(al) * s12};
    double last = 1;
    for (auto [level, bound] : {std::pair{1, 0.12}, {2, 0.035}, {3, 0.009}}) {  // bound: relative error of each entry
        Mesh m;  // radius 1 at x = -1.5 (group 1) and x = 1.5 (group 2), their quarter y, z >= 0
        for (int k = 0; k < 2; ++k)
            for (const Element& e : makeSphere(SphereParams{.c = {k ? 1.5 : -1.5, 0, 0}, .level = level, .bc = {-1 - k, 0.0}}).el)
                m.el.push_back(e);
        for (int axis = 1; axis <= 2; ++axis) cutSymmetry(m, axis, 1, 1);
        ASSERT_EQ(run(m, true), 0);
        const double e = std::max(std::fabs(cap(1, 1) / exact[0] - 1), std::fabs(cap(1, 2) / exact[1] - 1));
        EXPECT_LT(e, bound) << level << ": " << cap(1, 1) << " " << cap(1, 2);
        EXPECT_LT(e, last / 3) << level;
        last = e;
        EXPECT_NEAR(cap(2, 2), cap(1, 1), 1e-6 * cap(1, 1));
        EXPECT_NEAR(cap(2, 1), cap(1, 2), 1e-3 * cap(1, 1));
    }
}

// Four bars in two layers, groups 1 and 2 along x below, 4 and 5 along y above (no group 3): the
// whole matrix in one run, with the symmetries of the arrangement and no warning.  With the normals
// of bar 5 turned inward its own solution is that of the inside.
TEST(Capacitance, FourCrossingBars) {
    const struct { Vec3 lo, hi; int group; } bars[] = {{{-1, -0.6, 0}, {1, -0.4, 0.2}, 1}, {{-1, 0.4, 0}, {1, 0.6, 0.2}, 2},
                {{-0.6, -1, 0.4}, {-0.4, 1, 0.6}, 4}, {{0.4, -1, 0.4}, {0.6, 1, 0.6}, 5}};
    for (bool inward : {false, true}) {
        Mesh m;
        for (const auto& b : bars) {
            BoxParams s{.lo = b.lo, .hi = b.hi, .div = {b.group < 3 ? 8 : 1, b.group < 3 ? 1 : 8, 1}, .exterior = !(inward && b.group == 5)};
            for (FaceParams& f : s.face) f.bc = {-b.group, 0.0};
            for (const Element& e : makeBox(s).el) m.el.push_back(e);
        }
        ASSERT_EQ(run(m, true), 0);
        ASSERT_EQ(telma::IGRP, (std::vector<int>{1, 2, 4, 5}));
        if (inward) {
            EXPECT_NE(report.find(" *** WARNING: C(5,5) IS NOT POSITIVE\n"), std::string::npos) << report;
            continue;
        }
        EXPECT_EQ(report.find("WARNING"), std::string::npos) << report;
        const double c11 = cap(1, 1), c13 = cap(1, 3);
        EXPECT_GT(c11, 0);
        EXPECT_LT(c13, 0);
        EXPECT_NEAR(cap(2, 2), c11, 1e-6 * c11);
        EXPECT_NEAR(cap(4, 4), cap(3, 3), 1e-6 * c11);
        for (auto [h, g] : {std::pair{1, 4}, {2, 3}, {2, 4}, {3, 1}, {4, 2}}) EXPECT_NEAR(cap(h, g), c13, 1e-3 * c11);
    }
}

// Potential flow past a sphere, U = 1 along x: the disturbance potential has q = -nx, given to
// telma-mesh as a formula; on the surface the whole potential is 1.5 x, so the fitted slope of
// x + U against x, the surface speed at the equator, is 1.5 (an eighth model of level 5, 2608
// elements: odd in x, even in y and z).  A formula that cannot be read, or gives no number, is
// refused.
TEST(Physics, PotentialFlowPastASphereFromAFormula) {
    std::string out;
    const Mesh m = buildFromArgs({"sphere", "--level", "5", "--sym", "x=odd", "--sym", "y=even", "--sym", "z=even",
                                  "--bc", "q=-nx"}, out);
    ASSERT_EQ(m.el.size(), 2608u);
    ASSERT_EQ(run(m, false, telma::LUSOLVER), 0);
    double ux = 0, xx = 0;
    for (int I = 1; I <= telma::NBE; ++I) ux += telma::VBC[I] * telma::XC[I][1], xx += telma::XC[I][1] * telma::XC[I][1];
    EXPECT_NEAR(1.0 + ux / xx, 1.5, 1.5e-3);
    // u=z on a box: each face's value is its centroid's z; the normals' signs as the solver's
    const Mesh b = buildFromArgs({"box", "--face", "zmax", "u=z*2", "--face", "xmin", "q=nx+10*y"}, out);
    for (const Element& e : b.el) {
        if (e.bc.kode == 0) { EXPECT_EQ(e.bc.vbc, 2.0); }
        if (e.bc.kode == 1 && e.x[0][0] == 0.0 && e.x[1][0] == 0.0 && e.x[2][0] == 0.0) { EXPECT_EQ(e.bc.vbc, -1.0 + 5.0); }
    }
    const struct { std::vector<std::string> args; const char* says; } bad[] = {
        {{"sphere", "--bc", "q=-(nx"}, "the formula \"-(nx\" cannot be read: "},
        {{"sphere", "--bc", "u=w"}, "the formula \"w\" cannot be read: "},
        {{"sphere", "--bc", "u=1/(x-x)"}, "element 1: the formula \"1/(x-x)\" gives inf, beyond the +/-1e50"},
    };
    for (const auto& c : bad) {
        try {
            buildFromArgs(c.args, out);
            ADD_FAILURE() << c.says;
        } catch (const std::exception& e) {
            EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << e.what();
        }
    }
}
