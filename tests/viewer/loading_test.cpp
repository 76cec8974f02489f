// Loading the mesh from the data file and the face values from the report.
#include <gtest/gtest.h>

#include "support.hpp"

using namespace korval;

namespace {

class Loading : public ::testing::Test {
protected:
    void SetUp() override { vt::resetViewer(); }
    vt::ScratchDir dir;
};

// RDMESH or RDRES on `text` as `name`: the error message, "" when none.
std::string load(const char* name, const std::string& text, void (*step)()) {
    vt::writeFile(name, text);
    try { step(); } catch (const textio::IoError& e) { return e.what(); }
    return "";
}

}  // namespace

TEST_F(Loading, MeshVerticesGoToTheViewerAxes) {
    const struct { const char* name; std::string text, error; int npt; float x2; } cases[] = {  // x2: viewer x of vertex 2
        {"tELMA.in", "t\n2 0 0 0 0\n3 1 2 3  4 5 6  7 8 9\n4 0 0 0 1 0 0 1 1 0 0 1 0\n", "", 7, 6},
        {"TELMA.IN", "t\n1 1 -1 1 0\n3 0 0 0 1 0 0 0 1 0\n", "", 3, 0},  // symmetry flags ignored
        {"tELMA.in", "t\n1 0\n0 0 5\n3 0 0 0 1 0 0 0 1 0\n", "", 3, 0},  // the rest of the fourth value's line skipped
        {"tELMA.in", "t\r\n1 0 0 0 0\r\n3 0 0 2, 2 0 1, 0 2 0  comment\r\n0 1.0\r\n", "", 3, 1},
        {"tELMA.in", "t\n2 0 0 0 0\n3 0 0 0 1 0 0 0 1 0\n5 0 0 0 1 0 0 1 1 0 0 1 0 0 2 0\n",
         "tELMA.in:4: expected 3 or 4 vertices (face 2), found 5", 3, 0},
        {"tELMA.in", "t\n1 0 0 0\n5\n3 0 0 0 1 0 0 0 1 0\n", "tELMA.in:3: expected 3 or 4 vertices (face 1), found 5", 0, 0},
        {"tELMA.in", "t\n2 0 0 0 0\n3 0 0 0 1 0 0 0 1 0\n", "tELMA.in:3: unexpected end of file, expected an integer (vertex count of face 2)", 3, 0},
        {"tELMA.in", "t\n1 0 0 0 0\n3.0 0 0 0 1 0 0 0 1 0\n", "tELMA.in:3: expected an integer (vertex count of face 1), found \"3.0\"", 0, 0},
        {"tELMA.in", "t\n-3 0 0 0 0\n", "tELMA.in:2: expected a face count of 0 or more, found -3", 0, 0},
        {"nothing", "", "tELMA.in: cannot open the file for reading (it must exist)", 0, 0},
    };
    for (const auto& c : cases) {
        vt::fs::remove("tELMA.in");
        vt::fs::remove("TELMA.IN");
        EXPECT_EQ(load(c.name, c.text, RDMESH), c.error) << c.text;
        EXPECT_EQ(std::tuple(Npt, XYZ[2][1]), std::tuple(c.npt, c.x2)) << c.text;
    }
    load("tELMA.in", cases[0].text, RDMESH);
    const float want[8][3] = {{0}, {3, 1, 2}, {6, 4, 5}, {9, 7, 8}, {0, 0, 0}, {0, 1, 0}, {0, 1, 1}, {0, 0, 1}};
    for (int J = 1; J <= 7; ++J)
        for (int K = 1; K <= 3; ++K) EXPECT_EQ(XYZ[J][K], want[J][K - 1]) << J << ' ' << K;
    EXPECT_EQ(nfa * 100 + NP[1] * 10 + NP[2], 234);
}

TEST_F(Loading, VertexBound) {
    std::ostringstream s("big\n10001 0 0 0 0\n", std::ios::ate);
    for (int i = 0; i < 10001; ++i) s << "4 " << i << " 0 0 " << i + 1 << " 0 0 " << i + 1 << " 1 0 " << i << " 1 0\n";
    EXPECT_THROW(load("tELMA.in", s.str(), RDMESH), textio::Stop);
    EXPECT_EQ(Npt, NPMAX);  // all 10000 faces, nothing stored beyond the table
    EXPECT_EQ(XYZ[NPMAX][2], 9999.0f);
}

TEST_F(Loading, ReportValues) {
    std::string titled = vt::reportFile({{5.0, 6.0}});
    titled.replace(titled.find("test mesh"), 9, " RESULTS");
    std::string far = vt::reportFile({{1.0, 2.0}, {3.0, 4.0}});
    far.replace(far.rfind("5.00000E-01"), 11, "9.00000E+00");  // row 2's x
    // faces: those of the mesh, each the triangle (0,0,0) (2,3,0) (0,3,4), which holds every node below
    const struct { std::string text; int faces, ipot, nfa2; float v1, lo, hi; const char* error; } cases[] = {
        {vt::reportFile({{1.0, -2.0}, {3.0, 0.5}, {-1.0, 4.0}}), 3, 1, 3, 1, -1, 3, ""},
        {vt::reportFile({{1.0, -2.0}, {3.0, 0.5}, {-1.0, 4.0}}), 3, 0, 3, -2, -2, 4, ""},
        {vt::reportFile({{0.25, 1.0}, {0.75, 2.0}}, true), 2, 1, 2, 0.25f, 0.25f, 0.75f, ""},
        // " RESULTS" stands alone, trailing blanks aside; the title may stop the search too early
        {" RESULTS of nothing\n\n\n\n\n 1 2 3 4 -7 8\n" + vt::reportFile({{5.0, 6.0}}), 1, 1, 1, 5, 5, 5, ""},
        // a node number widened beyond its five columns still reads
        {" RESULTS     \r\na\nb\nc\nd\ne\n1,2,3,4,9,10\n    2  0 0 0 8 1\n100000     1.00000E+00  0 0 7.5 1\nend\n", 3, 1, 3, 9, 7.5, 9, ""},
        {titled, 0, 1, 0, 0, 0, 0, ""},
        {"no results here\nnor here\n", 0, 1, 0, 0, 0, 0, "TELMA.out:2: end of file before the line \" RESULTS\""},
        {" RESULTS\n\n  BOUNDARY NODES\n", 0, 1, 0, 0, 0, 0, "TELMA.out:3: unexpected end of file"},
        // the report of another mesh, or a cut one
        {vt::reportFile({{1.0, -2.0}, {3.0, 0.5}, {-1.0, 4.0}}), 2, 1, 3, 1, -1, 3,
         "TELMA.out: 3 rows of values for the 2 faces of tELMA.in: the report is cut, or not that of this mesh"},
        {titled, 1, 1, 0, 0, 0, 0, "TELMA.out: 0 rows of values for the 1 faces of tELMA.in"},
        {far, 2, 1, 2, 1, 1, 3, "TELMA.out:16: the node of row 2 lies outside face 2 of tELMA.in: the report is not that of this mesh"},
    };
    for (const auto& c : cases) {
        vt::resetViewer();
        nfa = c.faces;
        for (int I = 1; I <= nfa; ++I) {
            NP[I] = 3;
            const float v[3][3] = {{0, 0, 0}, {2, 3, 0}, {0, 3, 4}};
            for (int k = 0; k < 3; ++k) XYZ[3 * I - 2 + k][2] = v[k][0], XYZ[3 * I - 2 + k][3] = v[k][1], XYZ[3 * I - 2 + k][1] = v[k][2];
        }
        IPOT = c.ipot;
        const std::string e = load("TELMA.out", c.text, RDRES);
        EXPECT_TRUE(e.rfind(c.error, 0) == 0 && e.empty() == !*c.error) << e;
        EXPECT_EQ(std::tuple(nfa2, VAL[1], solmin, solmax), std::tuple(c.nfa2, c.v1, c.lo, c.hi)) << c.text;
    }
}
