// Loading the mesh from the data file and the face values from the report.
#include <gtest/gtest.h>

#include <sstream>

#include "support.hpp"
#include "textio/textio.hpp"
#include "viewer/korval.hpp"

using namespace korval;

namespace {

class Loading : public ::testing::Test {
protected:
    void SetUp() override { vt::resetViewer(); }
    vt::ScratchDir dir;
};

std::string manyQuads(int n) {
    std::ostringstream s;
    s << "big\n" << n << " 0 0 0 0\n";
    for (int i = 0; i < n; ++i) s << "4 " << i << " 0 0 " << i + 1 << " 0 0 " << i + 1 << " 1 0 " << i << " 1 0\n";
    return s.str();
}

}  // namespace

TEST_F(Loading, VerticesGoToTheViewerAxes) {
    vt::writeFile("tELMA.in", "t\n2 0 0 0 0\n3 1 2 3  4 5 6  7 8 9\n4 0 0 0 1 0 0 1 1 0 0 1 0\n");
    RDMESH();
    EXPECT_EQ(nfa, 2);
    EXPECT_EQ(Npt, 7);
    EXPECT_EQ(NP[1], 3);
    EXPECT_EQ(NP[2], 4);
    EXPECT_EQ(XYZ[1][1], 3.0f);  // file (1, 2, 3) is viewer (3, 1, 2)
    EXPECT_EQ(XYZ[1][2], 1.0f);
    EXPECT_EQ(XYZ[1][3], 2.0f);
    EXPECT_EQ(XYZ[3][1], 9.0f);
    EXPECT_EQ(XYZ[3][2], 7.0f);
    EXPECT_EQ(XYZ[6][2], 1.0f);  // third corner of the square: file (1, 1, 0)
    EXPECT_EQ(XYZ[6][3], 1.0f);
    EXPECT_EQ(XYZ[6][1], 0.0f);
}

TEST_F(Loading, FileNameIsFoundWithoutRegardToCase) {
    vt::writeFile("TELMA.IN", "t\n1 1 -1 1 0\n3 0 0 0 1 0 0 0 1 0\n");
    RDMESH();
    EXPECT_EQ(nfa, 1);  // symmetry flags are read and ignored
    EXPECT_EQ(Npt, 3);
}

TEST_F(Loading, ControlRecordOverTwoLines) {
    // The fourth value on the second line: its rest, the 5, is skipped.
    vt::writeFile("tELMA.in", "t\n1 0\n0 0 5\n3 0 0 0 1 0 0 0 1 0\n");
    RDMESH();
    EXPECT_EQ(Npt, 3);
    EXPECT_EQ(XYZ[2][2], 1.0f);
    // Five values split 4 + 1: the lone 5 is taken as a vertex count.
    vt::writeFile("tELMA.in", "t\n1 0 0 0\n5\n3 0 0 0 1 0 0 0 1 0\n");
    EXPECT_THROW(RDMESH(), textio::IoError);
}

TEST_F(Loading, CrLfLinesAndTrailingText) {
    vt::writeFile("tELMA.in", "t\r\n1 0 0 0 0\r\n3 0 0 0, 2 0 0, 0 2 0  comment\r\n0 1.0\r\n");
    RDMESH();
    EXPECT_EQ(Npt, 3);
    EXPECT_EQ(XYZ[2][2], 2.0f);
}

TEST_F(Loading, VertexCountOutsideThreeToFourIsRefused) {
    vt::writeFile("tELMA.in", "t\n2 0 0 0 0\n3 0 0 0 1 0 0 0 1 0\n5 0 0 0 1 0 0 1 1 0 0 1 0 0 2 0\n");
    try {
        RDMESH();
        FAIL() << "no error";
    } catch (const textio::IoError& e) {
        EXPECT_STREQ(e.what(), "tELMA.in:4: expected 3 or 4 vertices (face 2), found 5");
    }
    vt::writeFile("tELMA.in", "t\n1 0 0 0 0\n-2 0 0 0\n");
    EXPECT_THROW(RDMESH(), textio::IoError);
}

TEST_F(Loading, MalformedOrMissingDataFile) {
    EXPECT_THROW(RDMESH(), textio::IoError);  // no file
    vt::writeFile("tELMA.in", "t\n2 0 0 0 0\n3 0 0 0 1 0 0 0 1 0\n");
    EXPECT_THROW(RDMESH(), textio::IoError);  // end of file within the faces
    vt::writeFile("tELMA.in", "t\n1 0 0 0 0\n3.0 0 0 0 1 0 0 0 1 0\n");
    EXPECT_THROW(RDMESH(), textio::IoError);  // a real where the count is due
    vt::writeFile("tELMA.in", "t\n1 0 0 0 0\n3 0 0 0 1 x 0 0 1 0\n");
    EXPECT_THROW(RDMESH(), textio::IoError);
}

TEST_F(Loading, VertexBound) {
    vt::writeFile("tELMA.in", manyQuads(10000));
    RDMESH();
    EXPECT_EQ(Npt, NPMAX);
    EXPECT_EQ(XYZ[NPMAX][2], 9999.0f);

    vt::resetViewer();
    vt::writeFile("tELMA.in", manyQuads(10001));
    try {
        RDMESH();
        FAIL() << "no stop";
    } catch (const textio::Stop& s) {
        EXPECT_EQ(s.status, 1);
    }
    EXPECT_EQ(Npt, NPMAX);  // nothing stored beyond the table
}

TEST_F(Loading, ReportWithoutInternalPoints) {
    vt::writeFile("TELMA.out", vt::reportFile({{1.0, -2.0}, {3.0, 0.5}, {-1.0, 4.0}}));
    IPOT = 1;
    RDRES();
    EXPECT_EQ(nfa2, 3);
    EXPECT_EQ(VAL[1], 1.0f);
    EXPECT_EQ(VAL[3], -1.0f);
    EXPECT_EQ(solmin, -1.0f);
    EXPECT_EQ(solmax, 3.0f);

    IPOT = 0;
    RDRES();
    EXPECT_EQ(nfa2, 3);
    EXPECT_EQ(VAL[1], -2.0f);
    EXPECT_EQ(solmin, -2.0f);
    EXPECT_EQ(solmax, 4.0f);
}

TEST_F(Loading, ReportWithInternalPoints) {
    vt::writeFile("telma.OUT", vt::reportFile({{0.25, 1.0}, {0.75, 2.0}}, true));
    IPOT = 1;
    RDRES();
    EXPECT_EQ(nfa2, 2);  // the internal-point heading ends the rows
    EXPECT_EQ(solmax, 0.75f);
}

TEST_F(Loading, AllValuesEqual) {
    vt::writeFile("TELMA.out", vt::reportFile({{2.0, 0}, {2.0, 0}}));
    IPOT = 1;
    RDRES();
    EXPECT_EQ(solmin, 2.0f);
    EXPECT_EQ(solmax, 2.0f);
}

TEST_F(Loading, ResultsLineMustStandAlone) {
    // Trailing text makes no match; trailing blanks do not matter.
    std::string rep = vt::reportFile({{5.0, 6.0}});
    rep = " RESULTS of nothing\n\n\n\n\n 1 2 3 4 -7 8\n" + rep;
    vt::writeFile("TELMA.out", rep);
    IPOT = 1;
    RDRES();
    EXPECT_EQ(nfa2, 1);
    EXPECT_EQ(VAL[1], 5.0f);

    // a node number widened beyond its five columns still reads
    vt::writeFile("TELMA.out", " RESULTS     \r\na\nb\nc\nd\ne\n1,2,3,4,9,10\n    2  0 0 0 8 1\n"
                               "100000     1.00000E+00  0 0 8.5 1\nend\n");
    RDRES();
    EXPECT_EQ(nfa2, 3);
    EXPECT_EQ(VAL[3], 8.5f);
    EXPECT_EQ(solmin, 8.0f);
    EXPECT_EQ(solmax, 9.0f);
}

TEST_F(Loading, TitleResultsStopsTheSearchTooEarly) {
    std::string rep = vt::reportFile({{5.0, 6.0}});
    rep.replace(rep.find("test mesh"), 9, " RESULTS");
    vt::writeFile("TELMA.out", rep);
    IPOT = 1;
    RDRES();
    EXPECT_EQ(nfa2, 0);
}

TEST_F(Loading, ReportFailures) {
    EXPECT_THROW(RDRES(), textio::IoError);  // missing
    EXPECT_FALSE(vt::fs::exists("TELMA.out"));
    vt::writeFile("TELMA.out", "no results here\nnor here\n");
    try {
        RDRES();
        FAIL() << "no error";
    } catch (const textio::IoError& e) {
        EXPECT_STREQ(e.what(), "TELMA.out:2: end of file before the line \" RESULTS\"");
    }
    vt::writeFile("TELMA.out", " RESULTS\n\n  BOUNDARY NODES\n");
    EXPECT_THROW(RDRES(), textio::IoError);  // fewer than five lines after it
    vt::writeFile("TELMA.out", " RESULTS\n1\n2\n3\n4\n5\n");
    RDRES();
    EXPECT_EQ(nfa2, 0);  // no rows is no error
}
