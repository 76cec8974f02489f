// telma-mesh output read back by the solver's own reader, and solved:
// answers checked against known physics.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "solver/capaci.hpp"
#include "solver/lu.hpp"
#include "solver/telma.hpp"
#include "textio/textio.hpp"
#include "tools/cli.hpp"
#include "tools/datafile.hpp"
#include "tools/msh.hpp"
#include "tests/tools/support.hpp"

using namespace tmesh;
using namespace tmtest;

namespace {

// Reads a data-file text with READIN; the report echo is returned.
std::string readBack(const std::string& text) {
    std::istringstream in(text);
    textio::Reader rd(in, "mesh.in");
    std::ostringstream rs;
    textio::OutUnit rep(rs);
    telma::READIN(rd, rep);
    return rs.str();
}

// Writes the mesh, reads it back with READIN and solves it.
void solve(const Mesh& m) {
    std::ostringstream os;
    writeDataFile(os, m);
    std::istringstream in(os.str());
    textio::Reader rd(in, "mesh.in");
    std::ostringstream rs;
    textio::OutUnit rep(rs);
    telma::READIN(rd, rep);
    telma::IER = 0;
    telma::SOLVE(rep);
}

// Capacitance in units of 4 pi eps0 of the electrode that is flux group 1.
double capacitance() { return telma::FLUX[1] / (4 * PI); }

Mesh sphere(int level, double r, bool split = false) {
    SphereParams s;
    s.level = level;
    s.r = r;
    Mesh m = makeSphere(s);
    if (split)
        for (int k = 0; k < 3; ++k) splitAlong(m, k);
    return m;
}

}  // namespace

// ---------------------------------------------------------------- read back

TEST(ReadBack, SolverReadsExactlyWhatTheToolBuilt) {
    // Off-centre, so that the planes cut triangles anywhere and leave
    // quadrilaterals; through the centre they follow the mesh's edges.
    SphereParams s;
    s.c = {0.25, 0.1, -0.3};
    Mesh m = makeSphere(s);
    cutSymmetry(m, 0, 1, 1);
    cutSymmetry(m, 2, -1, -1);
    addLine(m.ip, {0.1, 0.2, -2}, {3, 0.7, -5}, 7);
    m.title = "read back";
    readBack([&] {
        std::ostringstream os;
        writeDataFile(os, m);
        return os.str();
    }());
    ASSERT_EQ(telma::NBE, int(m.el.size()));
    EXPECT_EQ(telma::NIP, 7);
    EXPECT_EQ(telma::ISYMX, 1);
    EXPECT_EQ(telma::ISYMY, 0);
    EXPECT_EQ(telma::ISYMZ, -1);
    EXPECT_EQ(telma::TITLE.substr(0, 9), "read back");
    bool quads = false;
    for (int i = 1; i <= telma::NBE; ++i) {
        const Element& e = m.el[i - 1];
        ASSERT_EQ(telma::NPE[i], e.npe);
        quads = quads || e.npe == 4;
        for (int j = 1; j <= e.npe; ++j)
            for (int k = 1; k <= 3; ++k) ASSERT_EQ(telma::XE[i][j][k], e.x[j - 1][k - 1]) << i << ' ' << j;
        EXPECT_EQ(telma::KODE[i], e.bc.kode);
        EXPECT_EQ(telma::VBC[i], e.bc.vbc);
    }
    EXPECT_TRUE(quads);
    for (int i = 1; i <= 7; ++i)
        for (int k = 1; k <= 3; ++k) EXPECT_EQ(telma::XIP[i][k], m.ip[i - 1][k - 1]);
}

TEST(ReadBack, FileWrittenByTheCommandLine) {
    std::string path = (std::filesystem::current_path() / "readback_box.in").string();
    std::ostringstream out, err;
    ASSERT_EQ(runTool({"box", "--min", "-0.5,0,0", "--max", "0.5,1,0.3", "--div", "3", "--face", "zmax",
                       "u=1.5,group=2", "--sym", "x=even", "--grid", "0.1,0.1,0.1", "0.4,0.9,0.2", "2,2,2", "-o",
                       path},
                      out, err),
              0)
        << err.str();
    std::ifstream f(path);
    std::stringstream text;
    text << f.rdbuf();
    std::string echo = readBack(text.str());
    EXPECT_NE(echo.find("  X-EVEN SYMMETRY"), std::string::npos);
    EXPECT_EQ(telma::ISYMX, 1);
    EXPECT_EQ(telma::NIP, 8);
    int top = 0;
    for (int i = 1; i <= telma::NBE; ++i) {
        if (telma::KODE[i] == -2) {
            ++top;
            EXPECT_EQ(telma::VBC[i], 1.5);
        }
        for (int j = 1; j <= telma::NPE[i]; ++j) EXPECT_GE(telma::XE[i][j][1], 0.0);
    }
    EXPECT_EQ(top, 6);  // 3 x 3 cells, x >= 0 half of the 3 columns: cut through the middle one
}

// ---------------------------------------------------------------- sphere capacitance

// The capacitance of a sphere in units of 4 pi eps0 is its radius.  The mesh
// is an inscribed polyhedron, so the computed value is a little low, and the
// gap shrinks as the mesh is refined: it is of second order in the element
// size, which halves from one level to the next, so each level must cut the
// error by well over a factor of 3.  The eighth model carries the refinement
// one level past what the full mesh's element table holds.
TEST(Physics, SphereCapacitanceApproachesTheRadius) {
    const double r = 1.5;
    solve(sphere(2, r));
    double err2 = std::fabs(capacitance() / r - 1);
    EXPECT_LT(capacitance(), r);
    // The potential outside falls off as r / distance.
    Mesh m = sphere(3, r);  // 1280 elements
    addLine(m.ip, {3, 0, 0}, {0, 0, 6}, 2);
    solve(m);
    double err3 = std::fabs(capacitance() / r - 1);
    EXPECT_LT(capacitance(), r);
    EXPECT_LT(err3, 0.005) << capacitance();
    EXPECT_LT(err3, err2 / 3);
    EXPECT_NEAR(telma::UIP[1], 0.5, 0.005);
    EXPECT_NEAR(telma::UIP[2], 0.25, 0.0025);
    Mesh e = sphere(4, r);
    for (int k = 0; k < 3; ++k) cutSymmetry(e, k, 1, 1);
    solve(e);
    double err4 = std::fabs(8 * capacitance() / r - 1);
    EXPECT_LT(8 * capacitance(), r);
    EXPECT_LT(err4, err3 / 3) << 8 * capacitance();
}

// Half, quarter and eighth models with even planes stand for the same full
// mesh (the sphere split along the planes), so they give its capacitance to
// the tolerance of the iterative solver.
TEST(Physics, SymmetricModelsGiveTheFullCapacitance) {
    Mesh full = sphere(2, 1.0, true);
    solve(full);
    double cFull = capacitance();
    for (int planes = 1; planes <= 3; ++planes) {
        Mesh m = sphere(2, 1.0, true);
        for (int k = 0; k < planes; ++k) cutSymmetry(m, k, 1, 1);
        solve(m);
        double c = capacitance() * (1 << planes);
        EXPECT_NEAR(c / cFull, 1.0, 1e-6) << planes << " planes";
    }
}

// Odd symmetry: the upper hemisphere at +1 and the lower at -1; the half
// model z >= 0 with an odd plane gives the full mesh's flux through the top.
TEST(Physics, OddPlaneGivesTheFullDipoleFlux) {
    Mesh full = sphere(2, 1.0, true);
    for (Element& e : full.el) e.bc = centroid(e)[2] > 0 ? BC{-1, 1.0} : BC{-2, -1.0};
    solve(full);
    double f1 = telma::FLUX[1];
    EXPECT_NEAR(telma::FLUX[2], -f1, 1e-6 * std::fabs(f1));
    Mesh half = sphere(2, 1.0, true);
    for (Element& e : half.el) e.bc = BC{-1, 1.0};
    cutSymmetry(half, 2, 1, -1);
    solve(half);
    EXPECT_NEAR(telma::FLUX[1] / f1, 1.0, 1e-6);
}

// ---------------------------------------------------------------- capacitance matrix

namespace {

// Solves the mesh with --capacitance; the matrix is left in telma::CAP, the
// report in `report`.
int capacitanceRun(const Mesh& m, std::string* report = nullptr, telma::MSOLVE solver = telma::ITSOLV) {
    std::ostringstream os;
    writeDataFile(os, m);
    std::istringstream in(os.str());
    textio::Reader rd(in, "mesh.in");
    std::ostringstream rs;
    textio::OutUnit rep(rs);
    telma::READIN(rd, rep);
    telma::IER = 0;
    const int status = telma::CAPRUN(rep, solver);
    if (report) *report = rs.str();
    return status;
}

double cap(int h, int g) { return telma::CAP[(g - 1) * telma::IGRP.size() + h - 1]; }

// Spheres of radius 1 at x = -1.5 (group 1) and x = 1.5 (group 2); their
// quarter y, z >= 0 with even planes, or the full mesh split along them.
Mesh twoSpheresMesh(int level, bool quarter) {
    Mesh m;
    for (int k = 0; k < 2; ++k) {
        SphereParams s;
        s.level = level;
        s.c = {k ? 1.5 : -1.5, 0, 0};
        s.bc = {-1 - k, 0.0};
        for (const Element& e : makeSphere(s).el) m.el.push_back(e);
    }
    for (int axis = 1; axis <= 2; ++axis) quarter ? cutSymmetry(m, axis, 1, 1) : splitAlong(m, axis);
    return m;
}

}  // namespace

// Two spheres three radii apart against the series: the error of C11 and C12
// is of second order in the element size, like that of a lone sphere, so it
// falls by well over 3 a level; the matrix is symmetric to well within the
// discretisation error.  The quarter models stand for the full meshes; the
// last row is the lone unit sphere, C = 4 pi.
TEST(Capacitance, SpheresConvergeToTheSeries) {
    const auto exact = twoSpheres(1.0, 3.0);
    struct Case {
        int level;
        bool pair;
        double bound;  // relative error of each entry
    } cases[] = {{1, true, 0.12}, {2, true, 0.035}, {3, true, 0.009}, {3, false, 0.004}};
    double last = 1;
    for (const Case& c : cases) {
        Mesh m = twoSpheresMesh(c.level, true);
        if (!c.pair) m.el.resize(m.el.size() / 2);
        ASSERT_EQ(capacitanceRun(m), 0);
        if (!c.pair) {
            ASSERT_EQ(telma::IGRP.size(), 1u);
            EXPECT_LT(cap(1, 1), 4 * PI);
            EXPECT_NEAR(cap(1, 1) / (4 * PI), 1.0, c.bound);
            continue;
        }
        const double e11 = std::fabs(cap(1, 1) / exact[0] - 1), e12 = std::fabs(cap(1, 2) / exact[1] - 1);
        EXPECT_LT(std::max(e11, e12), c.bound) << c.level << ": " << cap(1, 1) << " " << cap(1, 2);
        EXPECT_LT(std::max(e11, e12), last / 3) << c.level;
        last = std::max(e11, e12);
        EXPECT_NEAR(cap(2, 2), cap(1, 1), 1e-6 * cap(1, 1));
        EXPECT_NEAR(cap(2, 1), cap(1, 2), 1e-3 * cap(1, 1));
    }
}

// A quarter model with two even planes gives the matrix of the full mesh,
// to the tolerance of the iterative solver.
TEST(Capacitance, QuarterModelIsTheFullModel) {
    ASSERT_EQ(capacitanceRun(twoSpheresMesh(2, true)), 0);
    const std::vector<double> quarter = telma::CAP;
    ASSERT_EQ(capacitanceRun(twoSpheresMesh(2, false)), 0);
    ASSERT_EQ(quarter.size(), 4u);
    for (std::size_t k = 0; k < 4; ++k) EXPECT_NEAR(quarter[k] / telma::CAP[k], 1.0, 1e-6) << k;
}

// Four bars in two layers, groups 1 and 2 along x below, 4 and 5 along y
// above (no group 3): the whole matrix in one run, with the symmetries of
// the arrangement (x to -x, y to -y) and no warning, and the same from the
// LU solve.  With the normals of bar 5 turned inward its own solution is
// that of the inside of the bar, and the checks say so.
TEST(Capacitance, FourCrossingBars) {
    struct Bar {
        Vec3 lo, hi;
        int group;
    } bars[] = {{{-1, -0.6, 0}, {1, -0.4, 0.2}, 1},
                {{-1, 0.4, 0}, {1, 0.6, 0.2}, 2},
                {{-0.6, -1, 0.4}, {-0.4, 1, 0.6}, 4},
                {{0.4, -1, 0.4}, {0.6, 1, 0.6}, 5}};
    for (bool inward : {false, true}) {
        Mesh m;
        for (const Bar& b : bars) {
            BoxParams s;
            s.lo = b.lo;
            s.hi = b.hi;
            s.div = {b.group < 3 ? 8 : 1, b.group < 3 ? 1 : 8, 1};
            s.exterior = !(inward && b.group == 5);
            for (FaceParams& f : s.face) f.bc = {-b.group, 0.0};
            for (const Element& e : makeBox(s).el) m.el.push_back(e);
        }
        std::string report;
        ASSERT_EQ(capacitanceRun(m, &report), 0);
        ASSERT_EQ(telma::IGRP, (std::vector<int>{1, 2, 4, 5}));
        if (inward) {
            EXPECT_TRUE(has(report, " *** WARNING: C(5,5) IS NOT POSITIVE\n")) << report;
            continue;
        }
        EXPECT_FALSE(has(report, "WARNING")) << report;
        const double c11 = cap(1, 1), c13 = cap(1, 3);
        EXPECT_GT(c11, 0);
        EXPECT_LT(c13, 0);
        EXPECT_NEAR(cap(2, 2), c11, 1e-6 * c11);
        EXPECT_NEAR(cap(4, 4), cap(3, 3), 1e-6 * c11);
        for (auto [h, g] : {std::pair{1, 4}, {2, 3}, {2, 4}, {3, 1}, {4, 2}}) EXPECT_NEAR(cap(h, g), c13, 1e-3 * c11);
        const std::vector<double> gs = telma::CAP;
        ASSERT_EQ(capacitanceRun(m, nullptr, telma::LUSTEP), 0);
        for (std::size_t k = 0; k < gs.size(); ++k) EXPECT_NEAR(telma::CAP[k], gs[k], 1e-6 * c11) << k;
    }
}

// ---------------------------------------------------------------- interior problems

namespace {

// Box [0,1]^3 with the potential u prescribed on the top and bottom and its
// normal derivative on the sides, taken at each element's centroid.
template <class U, class G>
Mesh harmonicBox(int div, U u, G grad) {
    BoxParams s;
    s.div = {div, div, div};
    Mesh m = makeBox(s);
    for (Element& e : m.el) {
        Vec3 c = centroid(e);
        Vec3 n = unitNormal(e);
        if (std::fabs(n[2]) > 0.5) {
            e.bc = {0, u(c)};
        } else {
            Vec3 g = grad(c);
            e.bc = {1, g[0] * n[0] + g[1] * n[1] + g[2] * n[2]};
        }
    }
    addGrid(m.ip, {0.3, 0.3, 0.3}, {0.7, 0.7, 0.7}, {3, 3, 3});
    return m;
}

// Largest error of the potential and of the gradient at the internal points.
template <class U, class G>
std::pair<double, double> interiorError(int div, U u, G grad) {
    Mesh m = harmonicBox(div, u, grad);
    solve(m);
    double eu = 0, eg = 0;
    for (int i = 1; i <= telma::NIP; ++i) {
        Vec3 p = m.ip[i - 1];
        eu = std::max(eu, std::fabs(telma::UIP[i] - u(p)));
        Vec3 g = grad(p);
        for (int k = 1; k <= 3; ++k) eg = std::max(eg, std::fabs(telma::GRADV[k][i] - g[k - 1]));
    }
    return {eu, eg};
}

}  // namespace

// The boundary values are constant over each element while the true ones
// vary: an element of size h misrepresents a field of gradient g by up to
// g h / 2 at its edges, but seen from a point inside the body these errors
// largely cancel over neighbouring elements, leaving a few hundredths of g h
// for the potential and a tenth of g h for its gradient.
TEST(Physics, InteriorLinearFieldAndItsGradient) {
    auto u = [](const Vec3& p) { return p[2]; };
    auto g = [](const Vec3&) { return Vec3{0, 0, 1}; };
    const double h = 0.25;
    auto [eu, eg] = interiorError(4, u, g);
    EXPECT_LT(eu, 0.02 * h);
    EXPECT_LT(eg, 0.1 * h);
}

// u = x^2 - y^2 has the curvature 2: the centroid value of an element is its
// mean value to O(h^2), and the error at interior points is of second order
// in h.  The gradient is a forward difference with the step 1e-4, which adds
// 1e-4 times the second derivative.
TEST(Physics, InteriorQuadraticFieldConvergesWithTheMesh) {
    auto u = [](const Vec3& p) { return p[0] * p[0] - p[1] * p[1]; };
    auto g = [](const Vec3& p) { return Vec3{2 * p[0], -2 * p[1], 0}; };
    auto [eu4, eg4] = interiorError(4, u, g);
    auto [eu8, eg8] = interiorError(8, u, g);
    const double h4 = 0.25, h8 = 0.125;
    EXPECT_LT(eu4, 0.2 * h4 * h4);
    EXPECT_LT(eu8, 0.2 * h8 * h8);
    EXPECT_LT(eg4, 0.8 * h4 * h4 + 2e-4);
    EXPECT_LT(eg8, 0.8 * h8 * h8 + 2e-4);
    EXPECT_LT(eu8, eu4 / 3);
}

// ---------------------------------------------------------------- electrodes

namespace {
BoxParams bar(int n) {
    BoxParams s;
    s.hi = {2, 1, 1};
    s.div = {2 * n, n, n};
    s.face[XMIN].bc = {-1, 0.0};
    s.face[XMAX].bc = {-2, 1.0};
    return s;
}
}  // namespace

// A bar 2 x 1 x 1 between electrodes at 0 and 1, insulated elsewhere: the
// field is u = x / 2, the flux through each end is the cross-section times
// 1/2, and the two currents are equal and opposite (here also by the
// symmetry of the mesh, so to the solver's tolerance).  Constant elements
// overestimate the current; the error falls as the mesh is refined.
TEST(Physics, ElectrodeCurrentsAreEqualAndOpposite) {
    solve(makeBox(bar(4)));
    EXPECT_EQ(telma::NGRP, 2);
    double f1 = telma::FLUX[1], f2 = telma::FLUX[2];
    EXPECT_NEAR(f1 + f2, 0.0, 1e-6 * f2);
    EXPECT_NEAR(f2, 0.5, 0.05 * 0.5);
    solve(makeBox(bar(8)));
    EXPECT_NEAR(telma::FLUX[1] + telma::FLUX[2], 0.0, 1e-6 * f2);
    EXPECT_LT(std::fabs(telma::FLUX[2] - 0.5), std::fabs(f2 - 0.5) / 2);
}

// With the two ends meshed differently nothing but the physics makes the
// currents cancel: what flows in flows out, up to the discretisation error.
TEST(Physics, ElectrodeCurrentsCancelOnAnUnevenMesh) {
    BoxParams s = bar(4);
    s.face[XMIN].na = s.face[XMIN].nb = 2;
    s.face[XMAX].na = 5;
    s.face[XMAX].nb = 3;
    solve(makeBox(s));
    double f1 = telma::FLUX[1], f2 = telma::FLUX[2];
    EXPECT_GT(f2, 0.45);
    EXPECT_NEAR(f1 + f2, 0.0, 0.01 * f2);
}

// ---------------------------------------------------------------- Gmsh

TEST(Physics, GmshSphereCapacitance) {
    std::string geo = (std::filesystem::current_path() / "capsphere.geo").string(), in = geo + ".in";
    std::ofstream(geo) << "SetFactory(\"OpenCASCADE\");\nSphere(1) = {0, 0, 0, 2};\n"
                          "Physical Surface(\"electrode\") = {1};\n";
    std::ostringstream out, err;
    ASSERT_EQ(runTool({"gmsh", geo, "--size", "0.35", "--group", "electrode", "u=1,group=1", "--orient", "inward",
                       "-o", in}, out, err), 0)
        << err.str();
    std::ifstream f(in);
    std::stringstream text;
    text << f.rdbuf();
    std::istringstream is(text.str());
    textio::Reader rd(is, in);
    std::ostringstream rs;
    textio::OutUnit rep(rs);
    telma::READIN(rd, rep);
    EXPECT_GT(telma::NBE, 500);
    EXPECT_LT(telma::NBE, 2500);
    telma::IER = 0;
    telma::SOLVE(rep);
    EXPECT_NEAR(capacitance() / 2.0, 1.0, 0.01) << telma::NBE << " elements";
}

// ---------------------------------------------------------------- the shipped examples

namespace {

// Reads and solves one of the data files in examples/.
void solveExample(const std::string& name) {
    std::string path = std::string(EXAMPLES_DIR) + "/" + name;
    std::ifstream f(path);
    ASSERT_TRUE(f) << path;
    textio::Reader rd(f, name);
    std::ostringstream rs;
    textio::OutUnit rep(rs);
    telma::READIN(rd, rep);
    telma::IER = 0;
    ASSERT_EQ(telma::SOLVE(rep), 0) << name;
}

}  // namespace

// Each example states the figure it should give; these are the physical
// reasons for those figures, checked on the files as shipped.

// Outside a charged sphere u = C / r and du/dr = -C / r^2.  The polyhedron
// departs from the sphere only in multipoles of high order, which are gone a
// little way out, so the points agree with C / r far better than C with R.
TEST(Examples, SphereGivesItsRadiusAndTheFieldOfAPointCharge) {
    solveExample("sphere.in");
    const double c = capacitance();
    EXPECT_NEAR(c, 1.0, 0.005);
    EXPECT_LT(c, 1.0);
    ASSERT_EQ(telma::NIP, 6);
    for (int i = 1; i <= telma::NIP; ++i) {
        const double r = telma::XIP[i][1];
        EXPECT_NEAR(telma::UIP[i] * r / c, 1.0, 1e-3) << r;
        EXPECT_NEAR(-telma::GRADV[1][i] * r * r / c, 1.0, 1e-3) << r;
    }
}

// The ends of the insulated bar pass the same current, 1/2 for the exact
// field u = x / 2, which constant elements of a quarter overestimate by a few
// percent.
TEST(Examples, ElectrodesPassEqualAndOppositeCurrents) {
    solveExample("electrodes.in");
    ASSERT_EQ(telma::NGRP, 2);
    const double f2 = telma::FLUX[2];
    EXPECT_NEAR(telma::FLUX[1] + f2, 0.0, 1e-6 * f2);
    EXPECT_GT(f2, 0.5);
    EXPECT_LT(f2, 0.5 * 1.05);
}

// u = z in the box: the bounds of InteriorLinearFieldAndItsGradient for
// elements of size h = 0.25.
TEST(Examples, InteriorFieldIsLinear) {
    solveExample("interior.in");
    const double h = 0.25;
    ASSERT_EQ(telma::NIP, 9);
    for (int i = 1; i <= telma::NIP; ++i) {
        EXPECT_NEAR(telma::UIP[i], telma::XIP[i][3], 0.02 * h) << i;
        EXPECT_NEAR(telma::GRADV[1][i], 0.0, 0.1 * h) << i;
        EXPECT_NEAR(telma::GRADV[2][i], 0.0, 0.1 * h) << i;
        EXPECT_NEAR(telma::GRADV[3][i], 1.0, 0.1 * h) << i;
    }
}

// The half model gives what the full box, its elements split along x = 0,
// gives, element for element and at the internal points (to the solver's
// tolerance: the two are different linear systems).
TEST(Examples, HalfCubeIsTheFullBox) {
    solveExample("cube_half.in");
    const int n = telma::NBE;
    ASSERT_EQ(n, 5);
    std::array<Vec3, 5> node{};
    std::array<double, 5> u{}, q{};
    for (int i = 1; i <= n; ++i) {
        node[i - 1] = {telma::XC[i][1], telma::XC[i][2], telma::XC[i][3]};
        u[i - 1] = telma::VBC[i];
        q[i - 1] = telma::B[i];
    }
    std::array<Vec3, 2> ip{};
    std::array<double, 2> uip{};
    for (int i = 1; i <= 2; ++i) {
        ip[i - 1] = {telma::XIP[i][1], telma::XIP[i][2], telma::XIP[i][3]};
        uip[i - 1] = telma::UIP[i];
    }

    BoxParams s;
    s.lo = {-1, 0, 0};
    s.face[ZMIN].bc = {0, 0.0};
    s.face[ZMAX].bc = {0, 1.0};
    Mesh full = makeBox(s);
    splitAlong(full, 0);
    for (const Vec3& p : ip) full.ip.push_back(p);
    solve(full);
    ASSERT_EQ(telma::NBE, 10);
    for (int k = 0; k < n; ++k) {
        int match = 0;
        for (int i = 1; i <= telma::NBE; ++i)
            if (telma::XC[i][1] == node[k][0] && telma::XC[i][2] == node[k][1] && telma::XC[i][3] == node[k][2]) {
                ++match;
                EXPECT_NEAR(telma::VBC[i], u[k], 1e-6) << k;
                EXPECT_NEAR(telma::B[i], q[k], 1e-6) << k;
            }
        EXPECT_EQ(match, 1) << k;
    }
    for (int i = 1; i <= 2; ++i) EXPECT_NEAR(telma::UIP[i], uip[i - 1], 1e-6) << i;
}
