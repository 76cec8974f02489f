// The problem data reader and its echo.
#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "solver/lu/lu.hpp"

namespace {

struct Echo { std::string report, error, console; };  // error: the IoError text, or "stop" for a Stop

Echo readin(const std::string& data, const telma::SOLVER& solver = telma::GSSOLVER) {
    std::istringstream in(data);
    std::ostringstream out;
    textio::Reader r(in, "TELMA.IN");
    textio::OutUnit rep(out);
    Echo run;
    testing::internal::CaptureStdout();
    try {
        telma::READIN(r, rep, solver);
    } catch (const textio::IoError& e) {
        run.error = e.what();
    } catch (const textio::Stop& s) {
        run.error = "stop " + std::to_string(s.status);
    }
    run.console = testing::internal::GetCapturedStdout();
    run.report = out.str();
    return run;
}

const std::string RULE = " " + std::string(79, '*') + "\n";

std::string head(const std::string& title, int nbe, int nip) {
    return RULE + title + std::string(80 - title.size(), ' ') + "\n\n\n DATA\n\n  NUMBER OF BOUNDARY ELEMENTS =" +
           textio::format("(I4)", {nbe}) + "  NUMBER OF INTERNAL POINTS WHERE THE FUNCTION IS CALCULATED =" +
           textio::format("(I4)", {nip}) + "\n";
}

const std::string CORNERS =
    "\n\n  COORDINATES OF THE EXTREME POINTS OF THE BOUNDARY ELEMENTS\n\n POINT       X               Y\n";
const std::string CONDITIONS = "\n\n  BOUNDARY CONDITIONS\n\n  NODE       CODE        PRESCRIBED VALUE\n";

}  // namespace

TEST(Readin, EchoOfTheData) {
    const struct { std::string data, report; } cases[] = {
        {"Unit square\n1 0 0 0 1\n4 0 0 0 1 0 0 1 1 0 0 1 0\n0 1.0\n0.5 0.5 1.0\n",
         head("Unit square", 1, 1) + CORNERS +
             "    1     0.00000E+00   0.00000E+00   0.00000E+00     1.00000E+00   0.00000E+00   0.00000E+00"
             "     1.00000E+00   1.00000E+00   0.00000E+00     0.00000E+00   1.00000E+00   0.00000E+00\n" +
             CONDITIONS + "    1           0           1.00000E+00\n"},
        // a triangle's line stops after its third corner; a code too wide for I3
        {std::string(100, 'T') + "\n1 0 1 -1 0\n3 0 0 0 2 0 0 0 2 0 trailing words\n-1000 2.5\n",
         head(std::string(80, 'T'), 1, 0) + "  Y-EVEN SYMMETRY\n  Z-ODD SYMMETRY\n" + CORNERS +
             "    1     0.00000E+00   0.00000E+00   0.00000E+00     2.00000E+00   0.00000E+00   0.00000E+00"
             "     0.00000E+00   2.00000E+00   0.00000E+00\n" +
             CONDITIONS + "    1         ***           2.50000E+00\n"},
    };
    for (const auto& c : cases) {
        const Echo run = readin(c.data);
        EXPECT_EQ(std::pair(run.error, run.report), std::pair(std::string(), c.report));
    }
    // the code used in full; the title cut to 80; the planes' reflections and parities
    using namespace telma;
    EXPECT_EQ(std::tuple(KODE[1], TITLE, IREFX, IREFY, IREFZ, IPARY, IPARZ), std::tuple(-1000, std::string(80, 'T'), 1, -1, -1, 1, -1));
}

TEST(Readin, RefusalsNameFileLineAndWhatWasExpected) {
    const std::string tri = "3 0 0 0 1 0 0 0 1 0\n";
    const struct { std::string data, error, report, console; } cases[] = {
        {"T\n0 0 0 0 0\n", "TELMA.IN:2: expected 1 or more boundary elements (NBE), found 0", "", ""},
        // a statement over several lines is named by its last one
        {"T\n0 0\n0 0\n\n0\n", "TELMA.IN:5: expected 1 or more boundary elements (NBE), found 0", "", ""},
        {"T\n2 0 0 0 0\n" + tri + "5 0 0 0 1 0 0\n", "TELMA.IN:4: expected 3 or 4 corners (NPE of element 2), found 5", "", ""},
        {"T\n2 0 0 0 0\n" + tri + "4.5 0 0 0\n", "TELMA.IN:4: expected an integer (NPE of element 2), found \"4.5\"",
         "    1     0.00000E+00", ""},
        {"T\n1 0 0 0 0\n" + tri + "-4601 1\n", "TELMA.IN:4: expected a code of -4600 or more (KODE of node 1), found -4601", "", ""},
        {"T\n1 0 0 0 0\n4 0 0 0 1 0 0 1 1 0\n", "TELMA.IN:3: unexpected end of file, expected a real (x of corner 4 of element 1)",
         "POINT", ""},
        {"T\n1 0 0 0 0\n" + tri + "-4600 1\nnot read\n", "", "", ""},
        // numbers whose squares and cubes would overflow
        {"T\n1 0 0 0 0\n3 1E400 0 0 1 0 0 0 1 0\n", "TELMA.IN:3: expected a number from -1E+50 to 1E+50 (x of corner 1 of "
         "element 1), found a number beyond the range of reals", "", ""},
        {"T\n1 0 0 0 0\n" + tri + "0 -2E50\n", "TELMA.IN:4: expected a number from -1E+50 to 1E+50 (prescribed value of node 1), found -2.00000E+50", "", ""},
        {"T\n1 0 0 0 1\n3 0 0 0 1E50 0 0 0 1 0\n0 -1E50\n0 1E50 0\n", "", "", ""},
        {"Big\n4601 0 0 0 7001\n", "stop 1", head("Big", 4601, 7001), " TOO MANY ELEMENTS :4601/4600 (maximum)\n*** FATAL ERROR ***\n"},
        {"Big\n1 0 0 0 7001\n", "stop 1", "", " TOO INTERNAL POINTS :7001/7000 (maximum)\n*** FATAL ERROR ***\n"},
    };
    for (const auto& c : cases) {
        const Echo run = readin(c.data);
        EXPECT_EQ(run.error, c.error) << c.data;
        EXPECT_NE(run.report.find(c.report), std::string::npos) << c.data;
        EXPECT_EQ(run.console, c.console) << c.data;
    }
}

// The largest classic problem; beyond it the other solvers take any count
// the memory holds, and widen only the report fields that would overflow.
TEST(Readin, LargestProblemsWithinTheBoundsAndTheMemory) {
    const struct { const telma::SOLVER& solver; int nbe, nip; std::vector<std::string> lines; } cases[] = {
        {telma::GSSOLVER, 4600, 7000, {"  NUMBER OF BOUNDARY ELEMENTS =4600\n", "\n 4600         ***           1.00000E+00\n"}},
        {telma::LUSOLVER, 10000, 7001,
         {"  NUMBER OF BOUNDARY ELEMENTS =10000\n", "  NUMBER OF INTERNAL POINTS WHERE THE FUNCTION IS CALCULATED =7001\n",
          "\n  9999     0.00000E+00", "\n 10000     0.00000E+00", "\n  9999           0           1.00000E+00\n",
          "\n 10000         -10000           1.00000E+00\n"}},
    };
    for (const auto& c : cases) {
        std::string data = "Largest\n" + std::to_string(c.nbe) + " 0 0 0 " + std::to_string(c.nip) + "\n";
        for (int i = 0; i < c.nbe; ++i) data += "3 0 0 0 1 0 0 0 1 0\n";
        for (int i = 1; i < c.nbe; ++i) data += "0 1.0\n";
        data += std::to_string(-c.nbe) + " 1.0\n";
        for (int i = 0; i < c.nip; ++i) data += "0.25 0.25 0.5\n";
        const Echo run = readin(data, c.solver);
        EXPECT_EQ(run.error, "");
        EXPECT_EQ(telma::XIP[c.nip][3], 0.5);
        for (const std::string& line : c.lines) EXPECT_NE(run.report.find(line), std::string::npos) << line;
    }
    // Counts whose tables would not fit are refused before any is taken; the
    // compressed solve holds no dense matrix.
    telma::SOLVER lean = telma::LUSOLVER;
    lean.DENSE = false;
    for (auto [solver, what] : {std::pair{&telma::LUSOLVER, "the dense matrix and the tables of"}, {&lean, "the tables of"}}) {
        const std::string error = readin("Huge\n2000000000 0 0 0 0\n", *solver).error;
        EXPECT_EQ(error.rfind(std::string("TELMA.IN:2: ") + what + " 2000000000 elements need ", 0), 0u) << error;
        EXPECT_NE(error.find(" MB of memory, "), std::string::npos) << error;
    }
}
