// Import of Gmsh .msh files: meshes made by gmsh at test time, and
// hand-written files for the details and the error cases.
#include <gtest/gtest.h>

#include <fstream>

#include "tools/msh.hpp"

using namespace tmesh;

namespace {

// The mesh read from `text` (a file in the working directory), or the
// message of the error in `err`.
Mesh read(const std::string& text, const std::vector<GroupBC>& groups, std::string& err,
          const std::optional<GroupBC>& rest = std::nullopt, double scale = 1.0, const MeshSize& size = {},
          const char* name = "t.msh") {
    std::ofstream(name, std::ios::binary) << text;
    err.clear();
    try { return readMsh(name, groups, rest, scale, size); } catch (const MeshError& e) { err = e.what(); }
    return {};
}

std::string replace(std::string s, const std::string& from, const std::string& to) {
    const auto k = s.find(from);
    EXPECT_NE(k, std::string::npos) << from;
    return k == std::string::npos ? s : s.replace(k, from.size(), to);
}

const std::string TWO22 =
    "$MeshFormat\n2.2 0 8\n$EndMeshFormat\n$PhysicalNames\n2\n2 3 \"wall\"\n2 4 \"plate\"\n$EndPhysicalNames\n"
    "$Nodes\n5\n1 0 0 0\n2 1 0 0\n3 1 1 0\n4 0 1 0\n5 2 0.5 0\n$EndNodes\n"
    "$Elements\n3\n1 15 2 0 1 1\n2 3 2 3 10 1 2 3 4\n3 2 2 4 11 2 5 3\n$EndElements\n";

}  // namespace

// Triangles and quadrilaterals, groups by name or number, a flipped group, the rest, a scale.
TEST(Msh, ElementsGroupsAndConditions) {
    std::string err;
    Mesh m = read(TWO22, {{"wall", {1, 0.5}, false}, {"4", {-2, 3.0}, true}}, err);
    ASSERT_EQ(m.el.size(), 2u) << err;  // the point element is passed over
    EXPECT_EQ(m.el[0].x, (std::array<Vec3, 4>{Vec3{0, 0, 0}, Vec3{1, 0, 0}, Vec3{1, 1, 0}, Vec3{0, 1, 0}}));
    EXPECT_EQ(m.el[1].x, (std::array<Vec3, 4>{Vec3{1, 0, 0}, Vec3{1, 1, 0}, Vec3{2, 0.5, 0}, Vec3{}}));  // flipped
    EXPECT_TRUE(m.el[0].bc.kode == 1 && m.el[0].bc.vbc == 0.5 && m.el[1].bc.kode == -2 && m.el[1].bc.vbc == 3.0);
    m = read(TWO22, {{"wall", {0, 2.0}, false}}, err, GroupBC{"", {1, 0.0}, false}, 2.0);
    ASSERT_EQ(m.el.size(), 2u) << err;
    EXPECT_EQ(m.el[0].x[2], (Vec3{2, 2, 0}));  // scaled by 2
    EXPECT_EQ(m.el[0].bc.kode * 10 + m.el[1].bc.kode, 1);  // "plate" is not given: the rest
    // an element written once per group is merged
    const std::string twice = replace(TWO22, "3\n1 15", "4\n4 3 2 4 10 1 2 3 4\n1 15");
    m = read(twice, {{"wall", {1, 0.0}, false}}, err, GroupBC{"", {0, 1.0}, false});
    ASSERT_EQ(m.el.size(), 2u);
    EXPECT_EQ(m.el[0].bc.kode * 10 + m.el[1].bc.kode, 10);
}

TEST(Msh, ErrorsSayWhereAndWhat) {
    const std::vector<GroupBC> wall = {{"wall", {1, 0.0}, false}};
    const std::optional<GroupBC> rest = GroupBC{"", {1, 0.0}, false};
    const std::string el = "2 3 2 3 10 1 2 3 4";
    const struct { std::string text; std::vector<GroupBC> groups; std::optional<GroupBC> rest; std::string says; } cases[] = {
        {TWO22, {{"lid", {0, 1.0}, false}}, {}, "no physical surface \"lid\" in the file (it has 3 \"wall\", 4 \"plate\")"},
        {TWO22, wall, {}, "physical surface 4 \"plate\" has no boundary condition"},
        {TWO22, {wall[0], {"3", {0, 1.0}, false}}, {}, "twice"},
        {replace(TWO22, "3\n1 15", "4\n4 3 2 4 10 1 2 3 4\n1 15"), {wall[0], {"plate", {0, 1.0}, false}}, {}, "both given a condition"},
        {replace(replace(TWO22, "2 3 2 3 10", "2 3 2 0 10"), "3 2 2 4 11", "3 2 2 0 11"), {}, {}, "in no physical surface"},
        {replace(TWO22, el, "2 3 2 3 10 1 2 3 9"), wall, rest, "node index 9"},
        {replace(TWO22, el, "2 9 2 3 10 1 2 3 4 5 1"), wall, rest, "second or higher order"},
        {replace(TWO22, el, "2 4 2 3 12 1 2 3 5"), wall, rest, "element 2 is a tetrahedron"},
        {"", wall, rest, "t.msh: no surface and no mesh in the file"},
        {"solid cube\nfacet normal 0 0 1\n", wall, rest, "t.msh: "},
    };
    for (const auto& c : cases) {
        std::string err;
        read(c.text, c.groups, err, c.rest);
        EXPECT_FALSE(err.empty()) << c.says;
        EXPECT_NE(err.find(c.says), std::string::npos) << c.says << "\n" << err;
    }
}

// A geometry file is meshed with the size given, or with its own; a mesh file takes no size.
TEST(Msh, GeometryFilesAreMeshedWithTheSizeAsked) {
    const std::string geo = "SetFactory(\"OpenCASCADE\");\nSphere(1) = {0.5, -0.25, 0, 1.5};\n"
                            "Physical Surface(\"electrode\") = {1};\nMesh.MeshSizeMax = 0.4;\n";
    const std::vector<GroupBC> g = {{"electrode", {-1, 1.0}, false}};
    std::string err;
    read(geo, g, err, std::nullopt, 1.0, {}, "s.geo");
    EXPECT_NE(err.find("give the element size with --size H"), std::string::npos) << err;
    for (const MeshSize& size : {MeshSize{1.0, false}, MeshSize{std::nullopt, true}}) {
        read(TWO22, g, err, std::nullopt, 1.0, size);
        EXPECT_NE(err.find("holds a mesh"), std::string::npos) << err;
    }
    auto count = [&](const MeshSize& size) { return read(geo, g, err, std::nullopt, 1.0, size, "s.geo").el.size(); };
    EXPECT_GT(count({std::nullopt, true}), 3 * count({0.8, false})) << err;  // the file's 0.4 against 0.8
}

// What Gmsh cannot survive or finish ends as a message: a crash of the
// library (a node tag of 4e18 in the version 4 format), a hang, and what is
// no regular file (/dev/zero never ends).
TEST(Msh, GmshFailuresAreMessages) {
    const std::string huge = "$MeshFormat\n4.1 0 8\n$EndMeshFormat\n$Entities\n0 0 1 0\n1 0 0 0 1 1 0 0 0\n$EndEntities\n"
                             "$Nodes\n1 3 1 4000000000000000000\n2 1 0 3\n1\n2\n4000000000000000000\n0 0 0\n1 0 0\n0 1 0\n"
                             "$EndNodes\n$Elements\n1 1 1 1\n2 1 2 1\n1 1 2 4000000000000000000\n$EndElements\n";
    std::ofstream("huge.msh") << huge;
    std::ofstream("sleep.geo") << "Sleep 100;\n";
    std::ofstream("empty.step");
    const std::optional<GroupBC> rest = GroupBC{"", {1, 0.0}, false};
    const struct { const char* file; MeshSize size; double timeout; const char* says; } cases[] = {
        // (a signal; a sanitizer's handler turns it into status 1)
        {"huge.msh", {}, GMSHWAIT, "huge.msh: Gmsh could not read it ("},
        {"sleep.geo", {1.0, false}, 0.5, "sleep.geo: Gmsh could not read it (no answer after 0.5 s; --timeout gives it longer)"},
        {"/dev/zero", {}, GMSHWAIT, "/dev/zero: is not a regular file; only files are read as meshes"},
        {"empty.step", {1.0, false}, GMSHWAIT, "empty.step: no surface and no mesh in the file"},
    };
    for (const auto& c : cases) {
        std::string err;
        try {
            readMsh(c.file, {}, rest, 1.0, c.size, c.timeout);
        } catch (const MeshError& e) {
            err = e.what();
        }
        EXPECT_EQ(err.rfind(c.says, 0), 0u) << c.says << "\n" << err;
    }
}

// A geometry script is read, not run: its commands that run programs, write
// files or end the reader are refused, in an included script too, unless
// trusted; what it includes are inputs.
TEST(Msh, GeometryIsReadNotRun) {
    std::ofstream("part.geo") << "Point(1) = {0, 0, 0};\n";
    std::ofstream("writes.geo") << "Point(1) = {0, 0, 0};\n\nPrintf(\"x=%g\", 1) >> \"victim.txt\";\n";
    const struct { std::string text, says; } cases[] = {
        {"// Exit; System \"x\" in a comment\n/* Save \"a\"; */ Printf(\"Exit\");\nInclude \"part.geo\";\n", ""},
        {"Point(1) = {0,0,0};\nSystem \"touch pwned\";\n", "t.geo:2: System runs a program: a geometry file is read, not run"},
        {"SystemCall \"rm -rf x\";\n", "t.geo:1: SystemCall runs a program"},
        {"Save \"out.msh\";\n", "t.geo:1: Save writes a file"},
        {"\nPrint \"pic.png\";\n", "t.geo:2: Print writes a file"},
        {"Exit;\n", "t.geo:1: Exit ends the program"},
        {"General.OptionsFileName = \"x\";\n", "t.geo:1: General.OptionsFileName names a file to write"},
        {"Solver.Executable0 = \"rm\";\n", "t.geo:1: Solver.Executable0 names a file to write or a program to run"},
        {"Include \"writes.geo\";\n", "writes.geo:3: Printf > file writes a file"},
        {"Include StrCat(\"pa\", \"rt.geo\");\n", "t.geo:1: Include with a name that is computed"},
    };
    for (const auto& c : cases) {
        std::ofstream("t.geo") << c.text;
        std::string err;
        std::vector<std::string> inputs;
        try {
            inputs = GEOCHK("t.geo", false);
        } catch (const MeshError& e) {
            err = e.what();
        }
        EXPECT_EQ(err.substr(0, c.says.size()), c.says) << c.text << err;
        if (c.says.empty()) { EXPECT_EQ(inputs, (std::vector<std::string>{"t.geo", "part.geo"})); }
        EXPECT_NO_THROW(GEOCHK("t.geo", true)) << c.text;  // trusted
    }
}
