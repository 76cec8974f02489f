// The problem data reader and its echo.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "solver/options.hpp"

namespace {

struct Echo {
    std::string report;
    std::string error;  // IoError text, if any
    int stop = -1;      // Stop status, if any
};

Echo readin(const std::string& data) {
    std::istringstream in(data);
    std::ostringstream out;
    textio::Reader r(in, "TELMA.IN");
    textio::OutUnit rep(out);
    Echo run;
    try {
        telma::READIN(r, rep);
    } catch (const textio::IoError& e) {
        run.error = e.what();
    } catch (const textio::Stop& s) {
        run.stop = s.status;
    }
    run.report = out.str();
    return run;
}

const std::string RULE = " " + std::string(79, '*') + "\n";

std::string dataBlock(int nbe, int nip) {
    return textio::format(
        "(/,/,' DATA',/,/,2X,'NUMBER OF BOUNDARY ELEMENTS =',I4,/,2X,"
        "'NUMBER OF INTERNAL POINTS WHERE THE FUNCTION IS CALCULATED =',I4,/)",
        {nbe, nip});
}

}  // namespace

TEST(Readin, MinimalFileGivesTheExactEcho) {
    const Echo run = readin("Unit square\n1 0 0 0 1\n4 0 0 0 1 0 0 1 1 0 0 1 0\n0 1.0\n0.5 0.5 1.0\n");
    ASSERT_EQ(run.error, "");
    const std::string expected =
        RULE + "Unit square" + std::string(69, ' ') + "\n" +
        "\n\n DATA\n\n  NUMBER OF BOUNDARY ELEMENTS =   1\n"
        "  NUMBER OF INTERNAL POINTS WHERE THE FUNCTION IS CALCULATED =   1\n\n"
        "\n\n  COORDINATES OF THE EXTREME POINTS OF THE BOUNDARY ELEMENTS\n\n"
        " POINT       X               Y\n"
        "    1     0.00000E+00   0.00000E+00   0.00000E+00     1.00000E+00   0.00000E+00   0.00000E+00"
        "     1.00000E+00   1.00000E+00   0.00000E+00     0.00000E+00   1.00000E+00   0.00000E+00\n"
        "\n\n  BOUNDARY CONDITIONS\n\n  NODE       CODE        PRESCRIBED VALUE\n"
        "    1           0           1.00000E+00\n";
    EXPECT_EQ(run.report, expected);
    EXPECT_EQ(telma::NBE, 1);
    EXPECT_EQ(telma::NIP, 1);
    EXPECT_EQ(telma::XE[1][3][1], 1.0);
    EXPECT_EQ(telma::XE[1][3][2], 1.0);
    EXPECT_EQ(telma::XIP[1][3], 1.0);
    EXPECT_EQ(telma::VBC[1], 1.0);
}

TEST(Readin, TriangleLinesStopAfterTheThirdCorner) {
    const Echo run = readin("T\n1 0 0 0 0\n3 0 0 0 2 0 0 0 2 0 trailing words\n-1000 2.5\n");
    ASSERT_EQ(run.error, "");
    std::istringstream lines(run.report);
    std::string line, elem, cond;
    while (std::getline(lines, line)) {
        if (line.rfind("    1     0.0", 0) == 0) elem = line;
        if (line.rfind("    1       ", 0) == 0) cond = line;
    }
    EXPECT_EQ(elem.size(), 137u);
    EXPECT_EQ(elem.substr(93), "     0.00000E+00   2.00000E+00   0.00000E+00");
    EXPECT_EQ(cond, "    1         ***           2.50000E+00");  // the code is used in full
    EXPECT_EQ(telma::KODE[1], -1000);
}

TEST(Readin, TitleIsCutOrPaddedTo80) {
    const std::string longTitle(100, 'T');
    Echo run = readin(longTitle + "\n1 0 0 0 0\n3 0 0 0 1 0 0 0 1 0\n0 0\n");
    EXPECT_EQ(run.report.substr(RULE.size(), 81), std::string(80, 'T') + "\n");
    EXPECT_EQ(telma::TITLE, std::string(80, 'T'));
}

TEST(Readin, SymmetryLinesAndDerivedParameters) {
    const Echo run = readin("S\n1 0 1 -1 0\n3 1 1 1 2 1 1 1 2 1\n1 0\n");
    ASSERT_EQ(run.error, "");
    EXPECT_NE(run.report.find(dataBlock(1, 0) + "  Y-EVEN SYMMETRY\n  Z-ODD SYMMETRY\n\n\n  COORD"),
              std::string::npos);
    EXPECT_EQ(telma::IREFX, 1);
    EXPECT_EQ(telma::IREFY, -1);
    EXPECT_EQ(telma::IPARY, 1);
    EXPECT_EQ(telma::IREFZ, -1);
    EXPECT_EQ(telma::IPARZ, -1);

    const Echo none = readin("S\n1 2 0 0 0\n3 1 1 1 2 1 1 1 2 1\n1 0\n");
    EXPECT_EQ(none.report.find("SYMMETRY"), std::string::npos);
    EXPECT_EQ(telma::IREFX, 1);
}

TEST(Readin, NoInternalPointRecordWhenNipIsZero) {
    const Echo run = readin("S\n1 0 0 0 0\n3 0 0 0 1 0 0 0 1 0\n0 1\nthis is not read\n");
    EXPECT_EQ(run.error, "");
}

TEST(Readin, LimitsStopTheRunAfterTheDataBlock) {
    testing::internal::CaptureStdout();
    const Echo run = readin("Big\n4601 0 0 0 7001\n");
    const std::string con = testing::internal::GetCapturedStdout();
    EXPECT_EQ(run.stop, 1);
    EXPECT_EQ(con, " TOO MANY ELEMENTS :4601/4600 (maximum)\n*** FATAL ERROR ***\n");
    EXPECT_EQ(run.report, RULE + "Big" + std::string(77, ' ') + "\n" + dataBlock(4601, 7001));

    testing::internal::CaptureStdout();
    const Echo ip = readin("Big\n1 0 0 0 7001\n");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), " TOO INTERNAL POINTS :7001/7000 (maximum)\n*** FATAL ERROR ***\n");
    EXPECT_EQ(ip.stop, 1);
}

TEST(Readin, LargestProblemIsAccepted) {
    std::string data = "Largest\n4600 0 0 0 7000\n";
    for (int i = 0; i < 4600; ++i) data += "3 0 0 0 1 0 0 0 1 0\n";
    for (int i = 0; i < 4600; ++i) data += "0 1.0\n";
    for (int i = 0; i < 7000; ++i) data += "0.25 0.25 0.5\n";
    const Echo run = readin(data);
    EXPECT_EQ(run.error, "");
    EXPECT_EQ(run.stop, -1);
    EXPECT_EQ(telma::XIP[7000][3], 0.5);
}

TEST(Readin, CountsTheTablesCannotHoldAreRefused) {
    EXPECT_EQ(readin("T\n0 0 0 0 0\n").error, "TELMA.IN:2: expected 1 or more boundary elements (NBE), found 0");
    EXPECT_EQ(readin("T\n-3 0 0 0 0\n").error, "TELMA.IN:2: expected 1 or more boundary elements (NBE), found -3");
    EXPECT_EQ(readin("T\n1 0 0 0 -1\n").error, "TELMA.IN:2: expected 0 or more internal points (NIP), found -1");
    // A control statement over several lines is named by its last one.
    EXPECT_EQ(readin("T\n0 0\n0 0\n\n0\n").error, "TELMA.IN:5: expected 1 or more boundary elements (NBE), found 0");
    EXPECT_EQ(readin("T\n1\n0 0 0 -2 /\n").error, "TELMA.IN:3: expected 0 or more internal points (NIP), found -2");
    EXPECT_EQ(readin("T\n2 0 0 0 0\n3 0 0 0 1 0 0 0 1 0\n5 0 0 0 1 0 0\n").error,
              "TELMA.IN:4: expected 3 or 4 corners (NPE of element 2), found 5");
    EXPECT_EQ(readin("T\n1 0 0 0 0\n3 0 0 0 1 0 0 0 1 0\n-4601 1\n").error,
              "TELMA.IN:4: expected a code of -4600 or more (KODE of node 1), found -4601");
    EXPECT_EQ(readin("T\n1 0 0 0 0\n3 0 0 0 1 0 0 0 1 0\n-4600 1\n").error, "");
    // Numbers whose squares and cubes would overflow.
    EXPECT_EQ(readin("T\n1 0 0 0 0\n3 1E400 0 0 1 0 0 0 1 0\n0 1\n").error,
              "TELMA.IN:3: expected a number from -1E+50 to 1E+50 (x of corner 1 of element 1), found a number "
              "beyond the range of reals");
    EXPECT_EQ(readin("T\n1 0 0 0 0\n3 0 0 0 1 0 0 0 1 0\n0 -2E50\n").error,
              "TELMA.IN:4: expected a number from -1E+50 to 1E+50 (prescribed value of node 1), found -2.00000E+50");
    EXPECT_EQ(readin("T\n1 0 0 0 1\n3 0 0 0 1 0 0 0 1 0\n0 1\n0 1E200 0\n").error,
              "TELMA.IN:5: expected a number from -1E+50 to 1E+50 (y of internal point 1), found 1.00000E+200");
    EXPECT_EQ(readin("T\n1 0 0 0 1\n3 0 0 0 1E50 0 0 0 1 0\n0 -1E50\n0 1E50 0\n").error, "");
}

TEST(Readin, MalformedAndTruncatedFilesKeepTheEchoReadSoFar) {
    const Echo bad = readin("T\n2 0 0 0 0\n3 0 0 0 1 0 0 0 1 0\n4.5 0 0 0\n");
    EXPECT_EQ(bad.error, "TELMA.IN:4: expected an integer (NPE of element 2), found \"4.5\"");
    EXPECT_NE(bad.report.find("    1     0.00000E+00"), std::string::npos);

    const Echo cut = readin("T\n1 0 0 0 0\n4 0 0 0 1 0 0 1 1 0\n");
    EXPECT_EQ(cut.error, "TELMA.IN:3: unexpected end of file, expected a real (x of corner 4 of element 1)");
    EXPECT_NE(cut.report.find("POINT"), std::string::npos);
}

TEST(Readin, OtherSolversLiftTheBoundsWithinTheMemory) {
    // Beyond the classic bounds the fields that would overflow are widened,
    // the others keep their width.
    std::string data = "Wide\n10000 0 0 0 7001\n";
    for (int i = 0; i < 10000; ++i) data += "3 0 0 0 1 0 0 0 1 0\n";
    for (int i = 1; i < 10000; ++i) data += "0 1.0\n";
    data += "-10000 1.0\n";
    for (int i = 0; i < 7001; ++i) data += "0.25 0.25 0.5\n";
    telma::OPTS.SOLVER = telma::METHOD::LU;
    const Echo run = readin(data);
    EXPECT_EQ(run.error, "");
    EXPECT_EQ(run.stop, -1);
    EXPECT_EQ(telma::XIP[7001][3], 0.5);
    for (const char* line : {"  NUMBER OF BOUNDARY ELEMENTS =10000\n",
                             "  NUMBER OF INTERNAL POINTS WHERE THE FUNCTION IS CALCULATED =7001\n",
                             "\n  9999     0.00000E+00", "\n 10000     0.00000E+00",
                             "\n  9999           0           1.00000E+00\n",
                             "\n 10000         -10000           1.00000E+00\n"})
        EXPECT_NE(run.report.find(line), std::string::npos) << line;

    // Counts whose tables would not fit are refused before any is taken;
    // the compressed solve holds no dense matrix.
    for (auto [solver, what] : {std::pair{telma::METHOD::LU, "the dense matrix and the tables of"},
                                std::pair{telma::METHOD::HMAT, "the tables of"}}) {
        telma::OPTS.SOLVER = solver;
        const std::string error = readin("Huge\n2000000000 0 0 0 0\n").error;
        EXPECT_EQ(error.rfind(std::string("TELMA.IN:2: ") + what + " 2000000000 elements need ", 0), 0u) << error;
        EXPECT_NE(error.find(" MB of memory, "), std::string::npos) << error;
    }
    EXPECT_GT(telma::MEMNEED(1.0E5, 0, true), 8.0E10);
    EXPECT_LT(telma::MEMNEED(1.0E5, 0, false), 1.0E8);
    telma::OPTS = {};
}
