// Mesh builders of telma-mesh: box, sphere, symmetry cuts, internal points,
// orientation, and the checks of what the solver can take.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>
#include <set>

#include "solver/support.hpp"
#include "tools/mesh.hpp"

using namespace tmesh;

namespace {

double dot(const Vec3& a, const Vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
Vec3 minus(const Vec3& a, const Vec3& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }

// Closed and consistently oriented: every edge run once in each sense.
bool closedAndConsistent(const Mesh& m) {
    std::map<std::pair<Vec3, Vec3>, int> use;
    for (const Element& e : m.el)
        for (int j = 0; j < e.npe; ++j) ++use[{e.x[j], e.x[(j + 1) % e.npe]}];
    for (const auto& [edge, n] : use)
        if (n != 1 || use.count({edge.second, edge.first}) == 0) return false;
    return true;
}

// The elements as comparable keys: corners from the smallest one, -0 as 0.
std::multiset<std::vector<Vec3>> keys(const Mesh& m) {
    std::multiset<std::vector<Vec3>> s;
    for (const Element& e : m.el) {
        std::vector<Vec3> c(e.x.begin(), e.x.begin() + e.npe);
        for (Vec3& p : c)
            for (double& v : p) v = v == 0 ? 0.0 : v;
        std::rotate(c.begin(), std::min_element(c.begin(), c.end()), c.end());
        s.insert(c);
    }
    return s;
}

}  // namespace

TEST(Box, UnitCubeIsTheSolversSixElementProblem) {
    BoxParams s;
    s.face[ZMIN].bc = {0, 0.0};
    s.face[ZMAX].bc = {0, 1.0};
    const Mesh m = makeBox(s);
    fx::cube();
    ASSERT_EQ(m.el.size(), 6u);
    for (int I = 1; I <= 6; ++I) {
        const Element& e = m.el[I - 1];
        for (int M = 1; M <= 4; ++M) EXPECT_EQ(e.x[M - 1], (Vec3{telma::XE[I][M][1], telma::XE[I][M][2], telma::XE[I][M][3]})) << I << M;
        EXPECT_EQ(std::pair(e.bc.kode, e.bc.vbc), std::pair(telma::KODE[I], telma::VBC[I])) << I;
    }
}

TEST(Box, SubdividedExteriorAndPerFaceDivisions) {
    BoxParams s{.lo = {-1, 0, 0.5}, .hi = {2, 1.5, 1.25}, .div = {6, 3, 2}};
    s.face[XMAX] = {{-2, 5.0}, 3, 4};
    const Mesh m = makeBox(s);
    EXPECT_EQ(m.el.size(), 2u * (18 + 12) + 6 + 12);
    EXPECT_NEAR(totalArea(m), 2 * (3 * 1.5 + 3 * 0.75 + 1.5 * 0.75), 1e-12);
    EXPECT_NEAR(signedVolume(m), 3 * 1.5 * 0.75, 1e-12);
    EXPECT_EQ(std::count_if(m.el.begin(), m.el.end(), [](const Element& e) { return e.bc.kode == -2 && e.bc.vbc == 5.0; }), 12);
    s.exterior = true;
    EXPECT_NEAR(signedVolume(makeBox(s)), -3 * 1.5 * 0.75, 1e-12);
    EXPECT_EQ(makeBox(s).el[7].x[0], m.el[7].x[0]);  // the first corner kept
    EXPECT_THROW(makeBox(BoxParams{.hi = {1, 0, 1}}), MeshError);
    EXPECT_THROW(makeBox(BoxParams{.div = {1, 0, 1}}), MeshError);
    Mesh open = makeBox(BoxParams{});  // an open surface cannot be oriented
    open.el.pop_back();
    EXPECT_THROW(orientClosed(open, true), MeshError);
}

// The gap to the sphere's area shrinks about fourfold per level; exterior
// normals point to the centre.
TEST(Sphere, ConvergesAndIsOriented) {
    double prevErr = 0;
    for (int level = 0; level <= 4; ++level) {
        SphereParams s{.r = 2.5, .c = {1, -2, 0.5}, .level = level};
        const Mesh m = makeSphere(s);
        EXPECT_EQ(m.el.size(), 20u << (2 * level));
        for (const Element& e : m.el)
            for (int j = 0; j < 3; ++j) EXPECT_NEAR(std::sqrt(dot(minus(e.x[j], s.c), minus(e.x[j], s.c))), s.r, 1e-14 * s.r);
        const double err = 4 * std::numbers::pi * s.r * s.r - totalArea(m);
        EXPECT_GT(err, 0);
        if (level > 0) { EXPECT_TRUE(prevErr / err > 3.2 && prevErr / err < 4.2) << level; }
        prevErr = err;
        EXPECT_TRUE(closedAndConsistent(m));
        for (const Element& e : m.el) EXPECT_LT(dot(unitNormal(e), minus(centroid(e), s.c)), -0.9);
        s.areaFit = true;
        EXPECT_NEAR(totalArea(makeSphere(s)), 4 * std::numbers::pi * s.r * s.r, 1e-12 * s.r * s.r) << level;
    }
    EXPECT_GT(signedVolume(makeSphere(SphereParams{.exterior = false})), 0);
    EXPECT_THROW(makeSphere(SphereParams{.r = 0}), MeshError);
}

// Cut along the planes the sphere keeps its area share, the pieces keep the sense of the triangles
// they came from, and the mirrored eighths rebuild the sphere split along the planes exactly.
TEST(Symmetry, EighthsOfTheSphereRebuildTheSplitSphere) {
    Mesh full = makeSphere(SphereParams{.r = 1.5, .level = 2}), eighth = full;
    for (int k = 0; k < 3; ++k) {
        splitAlong(full, k);
        cutSymmetry(eighth, k, 1, 1);
    }
    EXPECT_EQ(eighth.isym, (std::array<int, 3>{1, 1, 1}));
    EXPECT_NEAR(totalArea(eighth), totalArea(full) / 8, 1e-12);
    EXPECT_TRUE(closedAndConsistent(full));
    for (const Element& e : eighth.el) {
        for (int j = 0; j < e.npe; ++j) EXPECT_GE(*std::min_element(e.x[j].begin(), e.x[j].end()), 0.0);
        EXPECT_LT(dot(unitNormal(e), centroid(e)), 0);
    }
    Mesh rebuilt = eighth;
    for (int k = 0; k < 3; ++k)
        for (std::size_t i = 0, n = rebuilt.el.size(); i < n; ++i) {
            Element e = rebuilt.el[i];
            for (int j = 0; j < e.npe; ++j) e.x[j][k] = -e.x[j][k];
            flip(e);
            rebuilt.el.push_back(e);
        }
    EXPECT_EQ(keys(rebuilt), keys(full));
}

// A corner a hair across the plane moves onto it: no sliver; a trapezium cut across a corner is a
// pentagon, written as a quadrilateral and a triangle.
TEST(Symmetry, SliversAndQuadCuts) {
    Mesh t;
    t.el.push_back(Element{3, {Vec3{-1e-15, 0, 0}, Vec3{1, 0, 0}, Vec3{1, 1, 0}, Vec3{}}, {}});
    cutSymmetry(t, 0, 1, 1);
    ASSERT_EQ(t.el.size(), 1u);
    EXPECT_EQ(t.el[0].x[0][0], 0.0);
    Mesh q;
    q.el.push_back(Element{4, {Vec3{-3.5, 0, 0}, Vec3{0.5, 0, 0}, Vec3{-0.5, 2, 0}, Vec3{-2.5, 2, 0}}, {-3, 2.0}});
    cutSymmetry(q, 0, -1, 1);
    ASSERT_EQ(q.el.size(), 2u);
    EXPECT_EQ(q.el[0].npe * 10 + q.el[1].npe, 43);
    EXPECT_NEAR(area(q.el[0]) + area(q.el[1]), 6 - 0.25, 1e-14);
    for (const Element& p : q.el) EXPECT_TRUE(p.bc.kode == -3 && p.bc.vbc == 2.0 && unitNormal(p)[2] > 0.999);
    for (auto [axis, side, parity] : {std::tuple{3, 1, 1}, std::tuple{0, 0, 1}, std::tuple{0, 1, 0}})
        EXPECT_THROW(cutSymmetry(q, axis, side, parity), MeshError);
}

// What passes here must pass the solver's own element check.
TEST(CheckForSolver, RefusesWhatTheSolverCannotTake) {
    const Mesh ok = makeBox(BoxParams{});
    const Element tri{3, {Vec3{0, 0, 0}, Vec3{1, 0, 0}, Vec3{2, 1e-11, 0}, Vec3{}}, {}};
    const Element quad{4, {Vec3{0, 0, 0}, Vec3{1, 0, 0}, Vec3{1, 1, 0}, Vec3{1, 1, 1}}, {}};
    const Element shortEdge{4, {Vec3{0, 0, 0}, Vec3{1, 0, 0}, Vec3{1, 1, 0}, Vec3{0, 1e-11, 0}}, {}};
    const struct { std::function<void(Mesh&)> change; std::string says; } cases[] = {
        {[](Mesh& m) { m.el.clear(); }, "no element"},
        {[](Mesh& m) { m.el[2].x[1] = m.el[2].x[0]; }, "element 3 has an edge of zero length at (0.000000, 0.000000, 0.000000)"},
        {[](Mesh& m) { m.el[0].x[0][2] = std::nan(""); }, "element 1"},
        {[](Mesh& m) { m.el[0].bc.kode = -4601; }, "4601"},
        {[](Mesh& m) { m.el[0].bc.kode = -4600; }, ""},
        {[&](Mesh& m) { m.el = {tri}; }, "element 1: its first three corners lie on one line"},
        {[&](Mesh& m) { m.el = {tri}; m.el[0].x[2][1] = 1e-9; }, ""},
        {[&](Mesh& m) { m.el = {quad}; }, "element 1 is so warped that edge 3 has zero length in the plane the solver flattens it to"},
        {[&](Mesh& m) { m.el = {shortEdge}; }, "element 1 has an edge of zero length at (0.000000, 0.000000, 0.000000)"},
    };
    for (const auto& c : cases) {
        Mesh m = ok;
        c.change(m);
        std::string e;
        try { checkForSolver(m); } catch (const MeshError& x) { e = x.what(); }
        EXPECT_EQ(e.empty(), c.says.empty()) << e;
        EXPECT_NE(e.find(c.says), std::string::npos) << e;
    }
}
