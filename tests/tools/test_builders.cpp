// Mesh builders of telma-mesh: counts, areas, normals, symmetry cuts,
// internal points, orientation.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>

#include "tools/mesh.hpp"
#include "tests/tools/support.hpp"

using namespace tmesh;
using namespace tmtest;

namespace {

// Each undirected edge with the number of elements using it in each sense.
std::map<std::pair<Vec3, Vec3>, std::pair<int, int>> edgeUse(const Mesh& m) {
    std::map<std::pair<Vec3, Vec3>, std::pair<int, int>> use;
    for (const Element& e : m.el)
        for (int j = 0; j < e.npe; ++j) {
            const Vec3& p = e.x[j];
            const Vec3& q = e.x[(j + 1) % e.npe];
            if (p < q) ++use[{p, q}].first;
            else ++use[{q, p}].second;
        }
    return use;
}

// Closed and consistently oriented: every edge run once in each sense.
bool closedAndConsistent(const Mesh& m) {
    for (const auto& [edge, n] : edgeUse(m))
        if (n.first != 1 || n.second != 1) return false;
    return true;
}

// An element as a set-comparable key: its corners in cyclic order from the
// smallest one, so that the same polygon listed from another corner matches.
std::vector<Vec3> key(const Element& e) {
    std::vector<Vec3> c(e.x.begin(), e.x.begin() + e.npe);
    std::rotate(c.begin(), std::min_element(c.begin(), c.end()), c.end());
    return c;
}

Vec3 mirror(Vec3 p, int axis) {
    p[axis] = -p[axis];
    if (p[axis] == 0) p[axis] = 0.0;
    return p;
}

Element mirrored(Element e, int axis) {
    for (int j = 0; j < e.npe; ++j) e.x[j] = mirror(e.x[j], axis);
    flip(e);  // a mirror image reverses the sense of the corners
    return e;
}

std::multiset<std::vector<Vec3>> keys(const Mesh& m) {
    std::multiset<std::vector<Vec3>> s;
    for (const Element& e : m.el) {
        Element c = e;
        for (int j = 0; j < c.npe; ++j)
            for (int k = 0; k < 3; ++k)
                if (c.x[j][k] == 0) c.x[j][k] = 0.0;  // -0 and 0 are the same corner
        s.insert(key(c));
    }
    return s;
}

// The message of the MeshError checkForSolver throws ("" when none).
std::string refusal(const Mesh& m) {
    try {
        checkForSolver(m);
    } catch (const MeshError& e) {
        return e.what();
    }
    return "";
}

}  // namespace

// ---------------------------------------------------------------- box

TEST(Box, UnitCubeIsTheSolversSixElementTestProblem) {
    BoxParams s;
    s.face[ZMIN].bc = {0, 0.0};
    s.face[ZMAX].bc = {0, 1.0};
    Mesh m = makeBox(s);
    const double want[6][4][3] = {
        {{0, 0, 0}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0}}, {{0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}},
        {{0, 0, 0}, {1, 0, 0}, {1, 0, 1}, {0, 0, 1}}, {{0, 1, 0}, {0, 1, 1}, {1, 1, 1}, {1, 1, 0}},
        {{0, 0, 0}, {0, 0, 1}, {0, 1, 1}, {0, 1, 0}}, {{1, 0, 0}, {1, 1, 0}, {1, 1, 1}, {1, 0, 1}}};
    ASSERT_EQ(m.el.size(), 6u);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(m.el[i].npe, 4);
        for (int j = 0; j < 4; ++j)
            for (int k = 0; k < 3; ++k) EXPECT_EQ(m.el[i].x[j][k], want[i][j][k]) << i << ' ' << j << ' ' << k;
    }
    EXPECT_EQ(m.el[0].bc.kode, 0);
    EXPECT_EQ(m.el[0].bc.vbc, 0.0);
    EXPECT_EQ(m.el[1].bc.kode, 0);
    EXPECT_EQ(m.el[1].bc.vbc, 1.0);
    for (int i = 2; i < 6; ++i) EXPECT_EQ(m.el[i].bc.kode, 1);
}

TEST(Box, SubdividedFacesCoverTheSurfaceWithOutwardNormals) {
    BoxParams s;
    s.lo = {-1, 0, 0.5};
    s.hi = {2, 1.5, 1.25};
    s.div = {6, 3, 2};
    Mesh m = makeBox(s);
    // zmin/zmax 6x3, ymin/ymax 6x2, xmin/xmax 3x2
    EXPECT_EQ(m.el.size(), 2u * (18 + 12 + 6));
    double lx = 3, ly = 1.5, lz = 0.75;
    EXPECT_NEAR(totalArea(m), 2 * (lx * ly + lx * lz + ly * lz), 1e-12);
    EXPECT_NEAR(signedVolume(m), lx * ly * lz, 1e-12);
    Vec3 mid{0.5, 0.75, 0.875};
    for (const Element& e : m.el) EXPECT_GT(dot(unitNormal(e), minus(centroid(e), mid)), 0);
    EXPECT_TRUE(closedAndConsistent(m));
}

TEST(Box, ExteriorReversesEveryNormalAndKeepsTheFirstCorner) {
    BoxParams s;
    s.div = {2, 2, 2};
    Mesh in = makeBox(s);
    s.exterior = true;
    Mesh out = makeBox(s);
    ASSERT_EQ(in.el.size(), out.el.size());
    for (std::size_t i = 0; i < in.el.size(); ++i) {
        EXPECT_EQ(in.el[i].x[0], out.el[i].x[0]);
        Vec3 n1 = unitNormal(in.el[i]), n2 = unitNormal(out.el[i]);
        EXPECT_NEAR(dot(n1, n2), -1.0, 1e-15);
    }
    EXPECT_NEAR(signedVolume(out), -1.0, 1e-12);
}

TEST(Box, PerFaceDivisionAndCondition) {
    BoxParams s;
    s.face[XMAX] = {{-2, 5.0}, 3, 4};
    Mesh m = makeBox(s);
    EXPECT_EQ(m.el.size(), 5u + 12u);
    int inGroup = 0;
    double a = 0;
    for (const Element& e : m.el)
        if (e.bc.kode == -2) {
            ++inGroup;
            EXPECT_EQ(e.bc.vbc, 5.0);
            EXPECT_EQ(e.x[0][0], 1.0);
            a += area(e);
        }
    EXPECT_EQ(inGroup, 12);
    EXPECT_NEAR(a, 1.0, 1e-14);
}

TEST(Box, RefusesEmptyExtentsAndZeroDivisions) {
    BoxParams s;
    s.hi = {1, 0, 1};
    EXPECT_THROW(makeBox(s), MeshError);
    s = BoxParams{};
    s.div = {1, 0, 1};
    EXPECT_THROW(makeBox(s), MeshError);
}

// ---------------------------------------------------------------- sphere

TEST(Sphere, CountsCornersOnTheSphereAndAreaConvergence) {
    double prevErr = 0;
    for (int level = 0; level <= 4; ++level) {
        SphereParams s;
        s.level = level;
        s.r = 2.5;
        s.c = {1, -2, 0.5};
        Mesh m = makeSphere(s);
        EXPECT_EQ(m.el.size(), 20u << (2 * level));
        for (const Element& e : m.el) {
            ASSERT_EQ(e.npe, 3);
            for (int j = 0; j < 3; ++j) {
                Vec3 d = minus(e.x[j], s.c);
                EXPECT_NEAR(std::sqrt(dot(d, d)), s.r, 1e-14 * s.r);
            }
        }
        // An inscribed polyhedron: area below the sphere's, the gap shrinking
        // about fourfold per level (it goes as the square of the edge).
        double exact = 4 * PI * s.r * s.r;
        double err = exact - totalArea(m);
        EXPECT_GT(err, 0);
        if (level > 0) {
            EXPECT_GT(prevErr / err, 3.2) << level;
            EXPECT_LT(prevErr / err, 4.2) << level;
        }
        prevErr = err;
        EXPECT_TRUE(closedAndConsistent(m));
    }
}

TEST(Sphere, ExteriorNormalsPointToTheCentreInteriorOnesAway) {
    SphereParams s;
    s.level = 2;
    s.c = {0.5, 0.25, -1};
    Mesh ext = makeSphere(s);
    for (const Element& e : ext.el) EXPECT_LT(dot(unitNormal(e), minus(centroid(e), s.c)), -0.9);
    EXPECT_LT(signedVolume(ext), 0);
    s.exterior = false;
    Mesh in = makeSphere(s);
    for (const Element& e : in.el) EXPECT_GT(dot(unitNormal(e), minus(centroid(e), s.c)), 0.9);
    EXPECT_GT(signedVolume(in), 0);
    EXPECT_EQ(ext.el[0].bc.kode, -1);
    EXPECT_EQ(ext.el[0].bc.vbc, 1.0);
}

TEST(Sphere, IsExactlyMirrorSymmetricInTheCoordinatePlanes) {
    SphereParams s;
    s.level = 2;
    Mesh m = makeSphere(s);
    auto all = keys(m);
    for (int axis = 0; axis < 3; ++axis) {
        Mesh r = m;
        for (Element& e : r.el) e = mirrored(e, axis);
        EXPECT_EQ(keys(r), all) << axis;
    }
}

TEST(Sphere, RefusesBadRadiusAndLevel) {
    SphereParams s;
    s.r = 0;
    EXPECT_THROW(makeSphere(s), MeshError);
    s = SphereParams{};
    s.level = 9;
    EXPECT_THROW(makeSphere(s), MeshError);
    s.level = -1;
    EXPECT_THROW(makeSphere(s), MeshError);
}

// ---------------------------------------------------------------- symmetry

TEST(Symmetry, HalfBoxIsTheFiveElementHalfModel) {
    BoxParams s;
    s.lo = {-1, 0, 0};
    s.face[ZMIN].bc = {0, 0.0};
    s.face[ZMAX].bc = {0, 1.0};
    Mesh m = makeBox(s);
    cutSymmetry(m, 0, 1, 1);
    EXPECT_EQ(m.isym, (std::array<int, 3>{1, 0, 0}));
    // The unit cube's elements 1 to 4 and 6, the face x = 0 left out.
    BoxParams u;
    u.face[ZMIN].bc = {0, 0.0};
    u.face[ZMAX].bc = {0, 1.0};
    Mesh cube = makeBox(u);
    cube.el.erase(cube.el.begin() + XMIN);
    ASSERT_EQ(m.el.size(), 5u);
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(key(m.el[i]), key(cube.el[i])) << i;
        EXPECT_EQ(m.el[i].bc.kode, cube.el[i].bc.kode);
        EXPECT_EQ(m.el[i].bc.vbc, cube.el[i].bc.vbc);
        EXPECT_NEAR(dot(unitNormal(m.el[i]), unitNormal(cube.el[i])), 1.0, 1e-15);
    }
}

TEST(Symmetry, ElementsInThePlaneAreDroppedNotKept) {
    BoxParams s;  // the unit cube: its face xmin lies in x = 0
    Mesh m = makeBox(s);
    cutSymmetry(m, 0, 1, -1);
    EXPECT_EQ(m.el.size(), 5u);
    EXPECT_EQ(m.isym[0], -1);
    for (const Element& e : m.el) {
        bool allZero = true;
        for (int j = 0; j < e.npe; ++j) allZero = allZero && e.x[j][0] == 0;
        EXPECT_FALSE(allZero);
    }
    // Keeping the other side leaves only that face, which lies in the plane.
    Mesh n = makeBox(s);
    cutSymmetry(n, 0, -1, 1);
    EXPECT_TRUE(n.el.empty());
}

TEST(Symmetry, EighthSphereCutsCrossingTrianglesAlongThePlanes) {
    SphereParams s;
    s.level = 3;
    s.r = 1.5;
    Mesh full = makeSphere(s);
    Mesh m = full;
    cutSymmetry(m, 0, 1, 1);
    cutSymmetry(m, 1, 1, 1);
    cutSymmetry(m, 2, 1, 1);
    EXPECT_EQ(m.isym, (std::array<int, 3>{1, 1, 1}));
    EXPECT_NEAR(totalArea(m), totalArea(full) / 8, 1e-12);
    bool cut = false;
    for (const Element& e : m.el) {
        ASSERT_GE(e.npe, 3);
        ASSERT_LE(e.npe, 4);
        int onPlane = 0;
        for (int j = 0; j < e.npe; ++j)
            for (int k = 0; k < 3; ++k) {
                EXPECT_GE(e.x[j][k], 0.0);
                onPlane += e.x[j][k] == 0;
            }
        cut = cut || e.npe == 4 || onPlane > 0;
        for (int k = 0; k < 3; ++k) {
            bool inPlane = true;
            for (int j = 0; j < e.npe; ++j) inPlane = inPlane && e.x[j][k] == 0;
            EXPECT_FALSE(inPlane);
        }
        // pieces keep the sense of the triangle they came from: toward the centre
        EXPECT_LT(dot(unitNormal(e), centroid(e)), 0);
        EXPECT_GT(area(e), 0);
    }
    EXPECT_TRUE(cut);
}

TEST(Symmetry, MirroredEighthsRebuildTheSplitFullMeshExactly) {
    SphereParams s;
    s.level = 2;
    Mesh full = makeSphere(s);
    for (int k = 0; k < 3; ++k) splitAlong(full, k);
    EXPECT_NEAR(totalArea(full), totalArea(makeSphere(s)), 1e-12);
    EXPECT_TRUE(closedAndConsistent(full));

    Mesh eighth = makeSphere(s);
    for (int k = 0; k < 3; ++k) cutSymmetry(eighth, k, 1, 1);
    Mesh rebuilt = eighth;
    for (int k = 0; k < 3; ++k) {
        std::size_t n = rebuilt.el.size();
        for (std::size_t i = 0; i < n; ++i) rebuilt.el.push_back(mirrored(rebuilt.el[i], k));
    }
    EXPECT_EQ(rebuilt.el.size(), full.el.size());
    EXPECT_EQ(keys(rebuilt), keys(full));
}

TEST(Symmetry, NegativeSideAndCutSlivers) {
    SphereParams s;
    s.level = 1;
    Mesh m = makeSphere(s);
    cutSymmetry(m, 1, -1, 1);
    for (const Element& e : m.el)
        for (int j = 0; j < e.npe; ++j) EXPECT_LE(e.x[j][1], 0.0);
    EXPECT_NEAR(totalArea(m), totalArea(makeSphere(s)) / 2, 1e-13);

    // A triangle with one corner a hair across the plane: that corner moves
    // onto the plane instead of leaving a sliver.
    Mesh t;
    Element e;
    e.npe = 3;
    e.x = {Vec3{-1e-15, 0, 0}, Vec3{1, 0, 0}, Vec3{1, 1, 0}, Vec3{}};
    t.el.push_back(e);
    cutSymmetry(t, 0, 1, 1);
    ASSERT_EQ(t.el.size(), 1u);
    EXPECT_EQ(t.el[0].npe, 3);
    EXPECT_EQ(t.el[0].x[0][0], 0.0);
}

TEST(Symmetry, QuadrilateralCutAcrossACornerGivesAQuadAndATriangle) {
    Mesh m;
    Element e;
    e.npe = 4;
    e.bc = {-3, 2.0};
    // A trapezium whose corner (3, 0) alone lies beyond x = 2.5.
    e.x = {Vec3{-1, 0, 0}, Vec3{3, 0, 0}, Vec3{2, 2, 0}, Vec3{0, 2, 0}};
    m.el.push_back(e);
    Mesh r = m;
    for (Element& el : r.el)
        for (int j = 0; j < 4; ++j) el.x[j][0] -= 2.5;
    // Keeping x <= 0 leaves a pentagon, written as a quadrilateral and a triangle.
    cutSymmetry(r, 0, -1, 1);
    ASSERT_EQ(r.el.size(), 2u);
    EXPECT_EQ(r.el[0].npe, 4);
    EXPECT_EQ(r.el[1].npe, 3);
    EXPECT_NEAR(area(r.el[0]) + area(r.el[1]), 6 - 0.25, 1e-14);
    for (const Element& p : r.el) {
        EXPECT_EQ(p.bc.kode, -3);
        EXPECT_EQ(p.bc.vbc, 2.0);
        EXPECT_NEAR(unitNormal(p)[2], 1.0, 1e-15);
    }
}

TEST(Symmetry, RefusesBadArguments) {
    Mesh m = makeBox(BoxParams{});
    EXPECT_THROW(cutSymmetry(m, 3, 1, 1), MeshError);
    EXPECT_THROW(cutSymmetry(m, 0, 0, 1), MeshError);
    EXPECT_THROW(cutSymmetry(m, 0, 1, 0), MeshError);
    EXPECT_THROW(splitAlong(m, -1), MeshError);
}

// ---------------------------------------------------------------- internal points

TEST(InternalPoints, LineIncludesBothEndsExactly) {
    Mesh m;
    addLine(m.ip, {0, 0, 0.1}, {0, 0, 0.9}, 9);
    ASSERT_EQ(m.ip.size(), 9u);
    EXPECT_EQ(m.ip.front(), (Vec3{0, 0, 0.1}));
    EXPECT_EQ(m.ip.back(), (Vec3{0, 0, 0.9}));
    EXPECT_NEAR(m.ip[4][2], 0.5, 1e-15);
    addLine(m.ip, {1, 2, 3}, {4, 5, 6}, 1);
    ASSERT_EQ(m.ip.size(), 10u);
    EXPECT_EQ(m.ip.back(), (Vec3{1, 2, 3}));
    EXPECT_THROW(addLine(m.ip, {0, 0, 0}, {1, 1, 1}, 0), MeshError);
}

TEST(InternalPoints, GridVariesXFastest) {
    Mesh m;
    addGrid(m.ip, {0, 0, 0}, {1, 2, 3}, {3, 2, 1});
    ASSERT_EQ(m.ip.size(), 6u);
    EXPECT_EQ(m.ip[0], (Vec3{0, 0, 0}));
    EXPECT_EQ(m.ip[1], (Vec3{0.5, 0, 0}));
    EXPECT_EQ(m.ip[2], (Vec3{1, 0, 0}));
    EXPECT_EQ(m.ip[3], (Vec3{0, 2, 0}));
    EXPECT_EQ(m.ip[5], (Vec3{1, 2, 0}));
    EXPECT_THROW(addGrid(m.ip, {0, 0, 0}, {1, 1, 1}, {2, 0, 2}), MeshError);
}

// ---------------------------------------------------------------- orientation

TEST(Orientation, RestoresAScrambledSphereEitherWay) {
    SphereParams s;
    s.level = 2;
    s.exterior = false;
    Mesh ref = makeSphere(s);
    Mesh m = ref;
    for (std::size_t i = 0; i < m.el.size(); i += 3) flip(m.el[i]);
    EXPECT_FALSE(closedAndConsistent(m));
    orientClosed(m, true);
    EXPECT_TRUE(closedAndConsistent(m));
    for (std::size_t i = 0; i < m.el.size(); ++i)
        EXPECT_NEAR(dot(unitNormal(m.el[i]), unitNormal(ref.el[i])), 1.0, 1e-12) << i;
    orientClosed(m, false);
    EXPECT_LT(signedVolume(m), 0);
    EXPECT_TRUE(closedAndConsistent(m));
}

TEST(Orientation, EachClosedSurfaceOnItsOwn) {
    // Two boxes apart, one listed inward and one outward: both come out outward.
    BoxParams a;
    a.div = {2, 1, 1};
    BoxParams b = a;
    b.lo = {3, 0, 0};
    b.hi = {4, 1, 1};
    b.exterior = true;
    Mesh m = makeBox(a);
    Mesh mb = makeBox(b);
    m.el.insert(m.el.end(), mb.el.begin(), mb.el.end());
    orientClosed(m, true);
    EXPECT_NEAR(signedVolume(m), 2.0, 1e-12);
}

TEST(Orientation, RefusesAnOpenSurface) {
    Mesh m = makeBox(BoxParams{});
    m.el.pop_back();
    try {
        orientClosed(m, true);
        FAIL() << "no error";
    } catch (const MeshError& e) {
        EXPECT_NE(std::string(e.what()).find("not closed"), std::string::npos) << e.what();
    }
}

TEST(Orientation, FlipKeepsTheFirstCorner) {
    Element e;
    e.npe = 4;
    e.x = {Vec3{0, 0, 0}, Vec3{1, 0, 0}, Vec3{1, 1, 0}, Vec3{0, 1, 0}};
    flip(e);
    EXPECT_EQ(e.x[0], (Vec3{0, 0, 0}));
    EXPECT_EQ(e.x[1], (Vec3{0, 1, 0}));
    EXPECT_EQ(e.x[3], (Vec3{1, 0, 0}));
    EXPECT_NEAR(unitNormal(e)[2], -1.0, 0);
}

// ---------------------------------------------------------------- measures and checks

TEST(Measures, AreaIsTheFanFromTheCentroid) {
    Element e;
    e.npe = 4;
    e.x = {Vec3{0, 0, 0}, Vec3{1, 0, 0}, Vec3{1, 1, 1}, Vec3{0, 1, 0}};  // warped
    EXPECT_NEAR(area(e), 1.3090170, 1e-7);
    Element t;
    t.npe = 3;
    t.x = {Vec3{0, 0, 0}, Vec3{2, 0, 0}, Vec3{0, 2, 0}, Vec3{}};
    EXPECT_NEAR(area(t), 2.0, 1e-15);
    Vec3 c = centroid(t);
    EXPECT_NEAR(c[0], 2.0 / 3, 1e-15);
}

TEST(CheckForSolver, RefusesWhatTheSolverCannotTake) {
    Mesh ok = makeBox(BoxParams{});
    EXPECT_NO_THROW(checkForSolver(ok));
    Mesh m;
    EXPECT_THROW(checkForSolver(m), MeshError);  // no element

    m = ok;
    m.el.resize(4601, m.el[0]);
    EXPECT_NO_THROW(checkForSolver(m));  // a note, see beyondClassic
    EXPECT_TRUE(beyondClassic(m));
    m.el.resize(4600);
    EXPECT_FALSE(beyondClassic(m));
    m.ip.resize(7001);
    EXPECT_TRUE(beyondClassic(m));

    m = ok;
    m.el[2].x[1] = m.el[2].x[0];  // edge of zero length
    EXPECT_TRUE(has(refusal(m), "element 3 has an edge of zero length at (0.000000, 0.000000, 0.000000)"))
        << refusal(m);
    m = ok;
    m.el[2].npe = 3;
    m.el[2].x[1] = {0.5, 0, 0};  // first three corners in one line
    m.el[2].x[2] = {1, 0, 0};
    EXPECT_THROW(checkForSolver(m), MeshError);
    m = ok;
    m.el[0].x[0][2] = std::nan("");
    EXPECT_THROW(checkForSolver(m), MeshError);
    m = ok;
    m.el[0].bc.kode = -4601;
    EXPECT_THROW(checkForSolver(m), MeshError);
    m.el[0].bc.kode = -4600;
    EXPECT_NO_THROW(checkForSolver(m));
}

// The shapes the solver refuses, at the solver's tolerance: what passes here
// must pass its element check.
TEST(CheckForSolver, RefusesShapesAtTheSolversTolerance) {
    Mesh m = makeBox(BoxParams{});
    m.el.resize(1);
    Element& e = m.el[0];
    // A sliver: its sine 1e-11 is below the solver's 1e-10.
    e.npe = 3;
    e.x = {Vec3{0, 0, 0}, Vec3{1, 0, 0}, Vec3{2, 1e-11, 0}, Vec3{}};
    EXPECT_EQ(refusal(m), "element 1: its first three corners lie on one line");
    e.x[2] = {2, 1e-9, 0};
    EXPECT_EQ(refusal(m), "");
    // The fourth corner straight above the third: the edge from the third to
    // the fourth vanishes once the quadrilateral is flattened.
    e.npe = 4;
    e.x = {Vec3{0, 0, 0}, Vec3{1, 0, 0}, Vec3{1, 1, 0}, Vec3{1, 1, 1}};
    EXPECT_EQ(refusal(m), "element 1 is so warped that edge 3 has zero length in the plane the solver "
                          "flattens it to");
    // An edge short against the element, though not against 1e-12 of it.
    e.x = {Vec3{0, 0, 0}, Vec3{1, 0, 0}, Vec3{1, 1, 0}, Vec3{0, 1, 0}};
    e.x[3] = {0, 1e-11, 0};
    EXPECT_EQ(refusal(m), "element 1 has an edge of zero length at (0.000000, 0.000000, 0.000000)");
}
