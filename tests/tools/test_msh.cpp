// Import through Gmsh's library: meshes and geometries made by gmsh itself at
// test time, and hand-written files for the details and the error cases.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "tools/msh.hpp"
#include "tests/tools/support.hpp"

using namespace tmesh;
using namespace tmtest;

namespace {

namespace fs = std::filesystem;

// A file of the given text in the test's scratch directory; returns its path.
std::string scratch(const std::string& name, const std::string& text) {
    fs::path dir = fs::current_path() / "gmsh_meshes";
    fs::create_directories(dir);
    std::string path = (dir / name).string();
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

Mesh readText(const std::string& text, const std::vector<GroupBC>& groups,
              const std::optional<GroupBC>& rest = std::nullopt, double scale = 1.0) {
    return readMsh(scratch("t.msh", text), groups, rest, scale);
}

// The message of the MeshError that reading `path` throws ("" when none).
std::string errorOf(const std::string& path, const std::vector<GroupBC>& groups,
                    const std::optional<GroupBC>& rest = std::nullopt, const MeshSize& size = {}) {
    try {
        readMsh(path, groups, rest, 1.0, size);
    } catch (const MeshError& e) {
        return e.what();
    }
    return "";
}

// Runs gmsh on a .geo text; returns the path of the .msh written, "" when
// gmsh is not installed.
std::string gmsh(const std::string& name, const std::string& geo, const std::string& args) {
    std::string exe = GMSH_EXECUTABLE;
    if (exe.empty()) return "";
    std::string g = scratch(name + ".geo", geo);
    std::string m = g.substr(0, g.size() - 4) + ".msh";
    std::string cmd = "\"" + exe + "\" " + args + " \"" + g + "\" -o \"" + m + "\" > \"" + m + ".log\" 2>&1";
    if (std::system(cmd.c_str()) != 0) ADD_FAILURE() << "gmsh failed: " << cmd;
    return m;
}

const char* SPHERE_GEO = R"(SetFactory("OpenCASCADE");
Sphere(1) = {0.5, -0.25, 0, 1.5};
Physical Surface("electrode") = {1};
Mesh.MeshSizeMax = 0.4;
)";

const char* BOX_GEO = R"(SetFactory("OpenCASCADE");
Box(1) = {0, 0, 0, 2, 1, 1};
Physical Surface("bottom") = {5};
Physical Surface("top") = {6};
Physical Surface(7) = {1, 2};
Physical Surface("sides") = {3, 4};
Mesh.MeshSizeMax = 0.34;
Mesh.RecombineAll = 1;
)";

}  // namespace

// ---------------------------------------------------------------- meshes made by gmsh

TEST(GmshMade, SphereInEveryFormatGivesTheSameClosedSurface) {
    std::string m22 = gmsh("sphere22", SPHERE_GEO, "-2 -format msh22");
    if (m22.empty()) GTEST_SKIP() << "gmsh is not installed";
    std::vector<GroupBC> g = {{"electrode", {-1, 1.0}, false}};
    Mesh a = readMsh(m22, g, std::nullopt);
    ASSERT_GT(a.el.size(), 100u);
    // The same mesh in binary files, in MSH 4.1, and meshed from the
    // geometry by the library itself.
    const struct {
        std::string path;
        MeshSize size;
    } same[] = {
        {gmsh("sphere22b", SPHERE_GEO, "-2 -format msh22 -bin"), {}},
        {gmsh("sphere41", SPHERE_GEO, "-2 -format msh41"), {}},
        {gmsh("sphere41b", SPHERE_GEO, "-2 -format msh41 -bin"), {}},
        {m22.substr(0, m22.size() - 4) + ".geo", {std::nullopt, true}},
    };
    for (const auto& f : same) {
        Mesh b = readMsh(f.path, g, std::nullopt, 1.0, f.size);
        ASSERT_EQ(a.el.size(), b.el.size()) << f.path;
        for (std::size_t i = 0; i < a.el.size(); ++i) {
            ASSERT_EQ(b.el[i].npe, 3);
            for (int j = 0; j < 3; ++j)  // ASCII files round the coordinates
                for (int k = 0; k < 3; ++k) ASSERT_NEAR(a.el[i].x[j][k], b.el[i].x[j][k], 1e-13) << f.path << " " << i;
            EXPECT_EQ(b.el[i].bc.kode, -1);
        }
    }
    Vec3 c{0.5, -0.25, 0};
    for (const Element& e : a.el)
        for (int j = 0; j < 3; ++j) EXPECT_NEAR(std::sqrt(dot(minus(e.x[j], c), minus(e.x[j], c))), 1.5, 1e-9);
    double exact = 4 * PI * 1.5 * 1.5;
    EXPECT_LT(totalArea(a), exact);
    EXPECT_GT(totalArea(a), 0.97 * exact);

}

TEST(GmshMade, RecombinedBoxWithNamedAndNumberedGroups) {
    std::string m41 = gmsh("box41", BOX_GEO, "-2 -format msh41");
    if (m41.empty()) GTEST_SKIP() << "gmsh is not installed";
    std::string m22 = gmsh("box22", BOX_GEO, "-2 -format msh22");
    std::vector<GroupBC> g = {{"bottom", {-1, 0.0}, false}, {"top", {-2, 1.0}, false}, {"7", {1, 0.0}, false}};
    for (const std::string& path : {m41, m22}) {
        SCOPED_TRACE(path);
        // The faces y = 0 and y = 1 ("sides") get no condition: an error without --rest.
        try {
            readMsh(path, g);
            ADD_FAILURE() << "no error";
        } catch (const MeshError& e) {
            EXPECT_TRUE(has(e.what(), "\"sides\" has no boundary condition")) << e.what();
        }
        Mesh m = readMsh(path, g, GroupBC{"", {1, 0.5}, false});
        int quads = 0;
        double a1 = 0, a2 = 0, aq = 0, ar = 0;
        for (const Element& e : m.el) {
            quads += e.npe == 4;
            if (e.bc.kode == -1) a1 += area(e);
            if (e.bc.kode == -2) a2 += area(e);
            if (e.bc.kode == 1 && e.bc.vbc == 0.0) aq += area(e);
            if (e.bc.kode == 1 && e.bc.vbc == 0.5) ar += area(e);
        }
        EXPECT_GT(quads, 0);
        EXPECT_NEAR(a1, 2.0, 1e-12);
        EXPECT_NEAR(a2, 2.0, 1e-12);
        EXPECT_NEAR(aq, 2 * 1, 1e-12);  // x = 0 and x = 2
        EXPECT_NEAR(ar, 2 * 2, 1e-12);  // y = 0 and y = 1
        orientClosed(m, true);
        EXPECT_NEAR(signedVolume(m), 2.0, 1e-12);
    }
}

// ---------------------------------------------------------------- hand-written files

namespace {

const char* TWO22 = R"($MeshFormat
2.2 0 8
$EndMeshFormat
$PhysicalNames
2
2 3 "wall"
2 4 "plate"
$EndPhysicalNames
$Nodes
5
1 0 0 0
2 1 0 0
3 1 1 0
4 0 1 0
5 2 0.5 0
$EndNodes
$Elements
3
1 15 2 0 1 1
2 3 2 3 10 1 2 3 4
3 2 2 4 11 2 5 3
$EndElements
)";

std::string replace(std::string s, const std::string& from, const std::string& to) {
    auto k = s.find(from);
    if (k == std::string::npos) ADD_FAILURE() << "no \"" << from << "\"";
    else s.replace(k, from.size(), to);
    return s;
}

}  // namespace

TEST(MshFile, Version22TrianglesQuadsGroupsFlipAndScale) {
    Mesh m = readText(TWO22, {{"wall", {1, 0.5}, false}, {"4", {-2, 3.0}, true}}, std::nullopt, 2.0);
    ASSERT_EQ(m.el.size(), 2u);  // the point element is passed over
    EXPECT_EQ(m.el[0].npe, 4);
    EXPECT_EQ(m.el[0].x[2], (Vec3{2, 2, 0}));
    EXPECT_EQ(m.el[0].bc.kode, 1);
    EXPECT_EQ(m.el[0].bc.vbc, 0.5);
    EXPECT_EQ(m.el[1].npe, 3);
    EXPECT_EQ(m.el[1].bc.kode, -2);
    // flipped: 2 5 3 becomes 2 3 5
    EXPECT_EQ(m.el[1].x[1], (Vec3{2, 2, 0}));
    EXPECT_EQ(m.el[1].x[2], (Vec3{4, 1, 0}));
}

TEST(MshFile, ElementWrittenOncePerGroupIsMerged) {
    // The 2.2 writer repeats an element for each physical group it is in.
    std::string t = replace(TWO22, "3\n1 15", "4\n4 3 2 4 10 1 2 3 4\n1 15");
    Mesh m = readText(t, {{"wall", {1, 0.0}, false}}, GroupBC{"", {0, 1.0}, false});
    ASSERT_EQ(m.el.size(), 2u);
    EXPECT_EQ(m.el[0].bc.kode, 1);  // in "wall" and "plate"; only "wall" is given
    EXPECT_EQ(m.el[1].bc.kode, 0);
    // Both groups given: the merged element is in two of them.
    std::string e = errorOf(scratch("t.msh", t), {{"wall", {1, 0.0}, false}, {"plate", {0, 1.0}, false}});
    EXPECT_TRUE(has(e, "both given a condition")) << e;
}

TEST(MshFile, MissingAndUnmappedGroups) {
    std::string e = errorOf(scratch("t.msh", TWO22), {{"lid", {0, 1.0}, false}});
    EXPECT_TRUE(has(e, "no physical surface \"lid\"")) << e;
    EXPECT_TRUE(has(e, "3 \"wall\"")) << e;
    EXPECT_TRUE(has(e, "4 \"plate\"")) << e;
    e = errorOf(scratch("t.msh", TWO22), {{"wall", {0, 1.0}, false}});
    EXPECT_TRUE(has(e, "4 \"plate\" has no boundary condition")) << e;
    e = errorOf(scratch("t.msh", TWO22), {{"wall", {0, 1.0}, false}, {"3", {0, 1.0}, false}});
    EXPECT_TRUE(has(e, "twice")) << e;
    // No groups in the file at all: everything needs --rest.
    std::string bare = replace(replace(TWO22, "2 3 2 3 10", "2 3 2 0 10"), "3 2 2 4 11", "3 2 2 0 11");
    e = errorOf(scratch("t.msh", bare), {});
    EXPECT_TRUE(has(e, "in no physical surface")) << e;
    EXPECT_EQ(readText(bare, {}, GroupBC{"", {0, 1.0}, false}).el.size(), 2u);
}

TEST(MshFile, FilesTheSolverCannotTakeAreRefused) {
    std::vector<GroupBC> g = {{"wall", {1, 0.0}, false}};
    std::optional<GroupBC> rest = GroupBC{"", {1, 0.0}, false};
    const struct {
        std::string text;
        const char* says;
    } cases[] = {
        {replace(TWO22, "2 3 2 3 10 1 2 3 4", "2 3 2 3 10 1 2 3 9"), "node index 9"},
        {replace(TWO22, "2 3 2 3 10 1 2 3 4", "2 9 2 3 10 1 2 3 4 5 1"), "second or higher order"},
        {replace(TWO22, "2 3 2 3 10 1 2 3 4", "2 4 2 3 12 1 2 3 5"), "element 2 is a tetrahedron"},
        {replace(TWO22, "2 3 2 3 10 1 2 3 4", "2 5 2 3 10 1 2 3 4 1 2 3 4"), "hexahedron"},
        {replace(replace(TWO22, "2 3 2 3 10 1 2 3 4", "2 1 2 3 10 1 2"), "3 2 2 4 11 2 5 3", "3 1 2 4 11 2 5"),
         "no triangles or quadrilaterals"},
        {"", "no triangles or quadrilaterals"},
        {"solid cube\nfacet normal 0 0 1\n", "t.msh: "},
    };
    for (const auto& c : cases) {
        std::string e = errorOf(scratch("t.msh", c.text), g, rest);
        EXPECT_TRUE(has(e, c.says)) << c.says << ": " << e;
    }
}

// A geometry file is meshed with the size given, or with its own; a mesh
// file takes no size.
TEST(GmshMade, GeometryFilesAreMeshedWithTheSizeAsked) {
    std::string geo = scratch("sized.geo", SPHERE_GEO);
    std::string msh = scratch("sized.msh", TWO22);
    std::vector<GroupBC> g = {{"electrode", {-1, 1.0}, false}};
    const struct {
        std::string path;
        MeshSize size;
        const char* says;
    } refused[] = {
        {geo, {}, "give the element size with --size H"},
        {msh, {1.0, false}, "holds a mesh"},
        {msh, {std::nullopt, true}, "holds a mesh"},
    };
    for (const auto& r : refused) EXPECT_TRUE(has(errorOf(r.path, g, std::nullopt, r.size), r.says)) << r.says;
    // Mean edge length near the size asked: the file's own 0.4, or 0.8.
    for (double h : {0.4, 0.8}) {
        Mesh m = readMsh(geo, g, std::nullopt, 1.0, h == 0.4 ? MeshSize{std::nullopt, true} : MeshSize{h, false});
        double sum = 0;
        for (const Element& e : m.el)
            for (int j = 0; j < 3; ++j) sum += std::sqrt(dot(minus(e.x[j], e.x[(j + 1) % 3]), minus(e.x[j], e.x[(j + 1) % 3])));
        EXPECT_NEAR(sum / (3 * m.el.size()), h, 0.2 * h) << m.el.size();
    }
}
