// Import of Gmsh .msh files: meshes made by gmsh at test time, and
// hand-written files for the details and the error cases.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "tools/msh.hpp"

using namespace tmesh;

namespace {

// The mesh read from `text`, or the message of the error, in `err`.
Mesh read(const std::string& text, const std::vector<GroupBC>& groups, std::string& err,
          const std::optional<GroupBC>& rest = std::nullopt) {
    std::istringstream in(text);
    err.clear();
    try {
        return readMsh(in, "t.msh", groups, rest);
    } catch (const MeshError& e) {
        err = e.what();
    }
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

const std::string TWO41 =
    "$MeshFormat\r\n4.1 0 8\r\n$EndMeshFormat\r\n$PhysicalNames\r\n1\r\n2 3 \"wall\"\r\n$EndPhysicalNames\r\n"
    "$Entities\r\n0 0 2 0\r\n10 0 0 0 1 1 0 1 3 0 \r\n11 1 0 0 2 1 0 0 0 \r\n$EndEntities\r\n"
    "$Nodes\r\n2 5 1 5\r\n2 10 0 4\r\n1\r\n2\r\n3\r\n4\r\n0 0 0\r\n1 0 0\r\n1 1 0\r\n0 1 0\r\n"
    "2 11 1 1\r\n5\r\n2 0.5 0 0.25 0.5\r\n$EndNodes\r\n"
    "$Elements\r\n2 2 1 2\r\n2 10 3 1\r\n1 1 2 3 4 \r\n2 11 2 1\r\n2 2 5 3 \r\n$EndElements\r\n";

}  // namespace

// Both versions: triangles and quadrilaterals, groups by name or number, a
// flipped group, the rest, a scale, CR LF lines, parametric nodes.
TEST(Msh, ElementsGroupsAndConditions) {
    std::string err;
    Mesh m = read(TWO22, {{"wall", {1, 0.5}, false}, {"4", {-2, 3.0}, true}}, err);
    ASSERT_EQ(m.el.size(), 2u) << err;  // the point element is passed over
    EXPECT_EQ(m.el[0].x, (std::array<Vec3, 4>{Vec3{0, 0, 0}, Vec3{1, 0, 0}, Vec3{1, 1, 0}, Vec3{0, 1, 0}}));
    EXPECT_EQ(m.el[1].x, (std::array<Vec3, 4>{Vec3{1, 0, 0}, Vec3{1, 1, 0}, Vec3{2, 0.5, 0}, Vec3{}}));  // flipped
    EXPECT_TRUE(m.el[0].bc.kode == 1 && m.el[0].bc.vbc == 0.5 && m.el[1].bc.kode == -2 && m.el[1].bc.vbc == 3.0);
    std::istringstream in(TWO41);
    m = readMsh(in, "t.msh", {{"wall", {0, 2.0}, false}}, GroupBC{"", {1, 0.0}, false}, 2.0);
    ASSERT_EQ(m.el.size(), 2u);
    EXPECT_EQ(m.el[0].x[2], (Vec3{2, 2, 0}));  // scaled by 2
    EXPECT_EQ(m.el[1].x[1], (Vec3{4, 1, 0}));
    EXPECT_EQ(m.el[0].bc.kode * 10 + m.el[1].bc.kode, 1);  // entity 11 has no group: the rest
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
    const struct {
        std::string text;
        std::vector<GroupBC> groups;
        std::optional<GroupBC> rest;
        std::string says;
    } cases[] = {
        {TWO22, {{"lid", {0, 1.0}, false}}, {}, "no physical surface \"lid\" in the file (it has 3 \"wall\", 4 \"plate\")"},
        {TWO22, wall, {}, "physical surface 4 \"plate\" has no boundary condition"},
        {TWO22, {wall[0], {"3", {0, 1.0}, false}}, {}, "twice"},
        {replace(TWO22, "3\n1 15", "4\n4 3 2 4 10 1 2 3 4\n1 15"), {wall[0], {"plate", {0, 1.0}, false}}, {}, "both given a condition"},
        {replace(replace(TWO22, "2 3 2 3 10", "2 3 2 0 10"), "3 2 2 4 11", "3 2 2 0 11"), {}, {}, "in no physical surface"},
        {replace(TWO22, "3 1 1 0", "3 1 one 0"), wall, rest, "t.msh:13: expected a number"},
        {TWO22.substr(0, TWO22.find("$EndElements")), wall, rest, "unexpected end of file in section $Elements"},
        {replace(TWO22, "2.2 0 8", "2.2 1 8"), wall, rest, "binary"},
        {replace(TWO22, "2.2 0 8", "3.0 0 8"), wall, rest, "version 3.0 is not supported"},
        {"solid cube\n", wall, rest, "t.msh:1: expected a section header such as $Nodes, found \"solid\""},
        {replace(TWO22, el, "2 3 2 3 10 1 2 3 9"), wall, rest, "node 9, which is not defined"},
        {replace(TWO22, el, "2 3 2 3 10 1 2 3"), wall, rest, "needs 4 nodes, found 3"},
        {replace(TWO22, el, "2 9 2 3 10 1 2 3 4 5 1"), wall, rest, "second or higher order"},
        {replace(TWO22, el, "2 4 2 3 10 1 2 3 5"), wall, rest, "t.msh:20: element 2 is a tetrahedron"},
        {replace(TWO22, "$EndNodes", "1 0 0 0\n$EndNodes"), wall, rest, "expected $EndNodes"},
        {"", wall, rest, "empty"},
        {replace(TWO41, "2 11 1 1\r\n5\r\n", "2 11 1 2\r\n5\r\n"), wall, rest, "t.msh:27: expected 3 values (x, y, z of node 5), found 1"},
        {replace(TWO41, "2 10 3 1\r\n", "3 10 4 1\r\n"), wall, rest, "tetrahedron"},
    };
    for (const auto& c : cases) {
        std::string err;
        read(c.text, c.groups, err, c.rest);
        EXPECT_NE(err.find(c.says), std::string::npos) << c.says << "\n" << err;
    }
}
