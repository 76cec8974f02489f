// Whole runs: the results in the report line by line against their layout,
// the console, symmetry, the CURRENTS block, and the exit status.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <regex>

#include "support.hpp"
#include "solver/lu/lu.hpp"

namespace {

using namespace telma;

const std::string RULE = " " + std::string(79, '*') + "\n";

// A row of reals as (I5,6(2X,1P,E14.5)) or, without a number, (7(2X,1P,E14.5)) writes it.
std::string row(int I, std::initializer_list<double> v) {
    char b[32];
    std::string s = I ? (std::snprintf(b, sizeof b, "%5d", I), b) : "";
    for (double x : v) s += (std::snprintf(b, sizeof b, "  %14.5E", x), b);
    return s + "\n";
}

const std::string RESULTS = RULE + "\n RESULTS\n\n  BOUNDARY NODES\n\n NODE        X               Y               Z"
                                   "             POTENTIAL   POTENTIAL DERIVATIVE    AREA\n\n";
const std::string INTERNAL = "\n\n  INTERNAL POINTS\n\n        X               Y               Z             POTENTIAL"
                             "        GRADV-X         GRADV-Y         GRADV-Z\n\n";

}  // namespace

// The results of the cube problem: u = z, the flux through bottom and top
// that of 6 constant elements; the centre a point of antisymmetry.
TEST(Report, UnitCubeResultsAndConsole) {
    const fx::RunResult r = fx::runSolve(fx::example("cube.in"));
    EXPECT_EQ(r.status, 0);
    const double q = 1.3648247;
    const std::string want = RESULTS + row(1, {0.5, 0.5, 0, 0, -q, 1}) + row(2, {0.5, 0.5, 1, 1, q, 1}) +
                             row(3, {0.5, 0, 0.5, 0.5, 0, 1}) + row(4, {0.5, 1, 0.5, 0.5, 0, 1}) +
                             row(5, {0, 0.5, 0.5, 0.5, 0, 1}) + row(6, {1, 0.5, 0.5, 0.5, 0, 1}) + INTERNAL +
                             row(0, {0.5, 0.5, 0.5, 0.5}).substr(0, 64);
    const std::size_t at = r.report.find(RESULTS);
    ASSERT_NE(at, std::string::npos) << r.report;
    EXPECT_EQ(r.report.substr(at, want.size()), want);
    EXPECT_TRUE(std::fabs(GRADV[1][1]) < 1e-3 && std::fabs(GRADV[2][1]) < 1e-3) << GRADV[1][1] << ' ' << GRADV[2][1];
    const char* rms[17] = {"9.730E-01", "7.812E-01", "2.950E-01", "7.074E-02", "7.359E-03", "3.842E-03",
                           "2.053E-03", "5.963E-04", "9.357E-05", "1.715E-05", "1.331E-05", "4.711E-06",
                           "9.720E-07", "8.725E-08", "7.821E-08", "3.465E-08", "8.860E-09"};
    std::string con = "\n The matrix is NOT diagonally dominant\n";
    for (int k = 0; k < 17; ++k) con += textio::format("(' Niter :',i3,'  RMS error : ',a)", {k + 1, rms[k]});
    con += " Ier non zero in PVT : -17\n";
    EXPECT_EQ(r.console.substr(0, con.size()), con);
    EXPECT_TRUE(std::regex_match(r.console.substr(con.size()), std::regex(R"( Elapsed time :[ 0-9]{5}\.[0-9]{2}\n)")));
}

// The half model with an even plane x = 0: the echo of the plane and the first result row.
TEST(Report, HalfModelWithEvenPlaneX) {
    const fx::RunResult r = fx::runSolve(fx::example("cube_half.in"));
    EXPECT_NE(r.report.find("\n  X-EVEN SYMMETRY\n"), std::string::npos);
    EXPECT_NE(r.report.find(RESULTS + row(1, {0.5, 0.5, 0, 0, -1.2682652, 1})), std::string::npos) << r.report;
}

TEST(Report, CurrentsOfFluxGroups) {
    fx::cube(2, false, -3);  // the top, four squares, is group 3
    KODE[1] = -1;
    const fx::RunResult r = fx::runSolve();
    EXPECT_EQ(r.status, 0);
    double f3 = 0;
    for (int I = 5; I <= 8; ++I) f3 += B[I] * AREA[I];
    EXPECT_TRUE(f3 > 1.0 && f3 < 1.4) << f3;  // constant elements overestimate the unit flux
    const std::string block = "\n CURRENTS\n\n" + textio::format("(' FLUX',I3,' :',1Pe12.5)", {1, B[1] * AREA[1]}) +
                              " FLUX  2 : 0.00000E+00\n" + textio::format("(' FLUX',I3,' :',1Pe12.5)", {3, f3});
    EXPECT_EQ(r.report.substr(r.report.size() - block.size() - 2 * RULE.size()), RULE + block + RULE);
    EXPECT_EQ(r.console.substr(r.console.size() - block.size()), block);
}

TEST(Report, OneSquareAndFailures) {
    // A prescribed derivative 2.5: after the exchange its potential is solved.
    fx::unitSquare(1, 2.5);
    fx::RunResult r = fx::runSolve();
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.report, RESULTS + row(1, {0.5, 0.5, 0.0, 2.5 * 2 * 0.28054992617, 2.5, 1.0}) + RULE);
    EXPECT_NE(r.console.find(" The matrix is diagonally dominant\n Niter :  1"), std::string::npos);
    EXPECT_NE(r.console.find("\n Ier non zero in PVT :  -2\n"), std::string::npos) << r.console;
    // Derivatives everywhere with a net flux: no solution; a report that says so.
    fx::cube();
    for (int I = 1; I <= 6; ++I) KODE[I] = 1;
    VBC[1] = 1.0;
    r = fx::runSolve();
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.console.find(" SOLUTION FAILED: "), std::string::npos) << r.console;
    EXPECT_EQ(r.console.substr(r.console.rfind(" *** ")), " *** THE SYSTEM WAS NOT SOLVED: THE RESULTS ARE NOT VALID ***\n");
    // The report says so itself, after the results' closing rule.
    const std::vector<std::string> got = fx::lines(r.report);
    ASSERT_EQ(got.size(), 8u + 6 + 1 + 4);
    EXPECT_EQ(got[16], " *** WARNING: THE SOLUTION DID NOT CONVERGE");
    EXPECT_TRUE(std::regex_match(got[17], std::regex(R"( AFTER 999 SWEEPS THE RMS CHANGE WAS [ 0-9]\.[0-9]{3}E[-+][0-9]{2} \(TOLERANCE 1\.000E-08\))")))
        << got[17];
    // The same by LU: a residual far beyond the tolerance, which the report
    // names, and no results.
    r = fx::runSolve({}, [](textio::OutUnit& rep) { return RUN(rep, LUSOLVER); });
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(std::regex_search(r.console, std::regex(R"( Relative residual \|\|B - A x\|\| / \|\|B\|\| : [ 0-9]\.[0-9]{3}E[-+][0-9]{2}\n\*\*\* FATAL ERROR \*\*\*\n$)")))
        << r.console;
    EXPECT_TRUE(std::regex_search(r.report, std::regex(R"(\n \*\*\* WARNING: THE SYSTEM WAS NOT SOLVED\n THE LU SOLVE LEFT THE RELATIVE RESIDUAL )"
                                                       R"([ 0-9]\.[0-9]{3}E[-+][0-9]{2} \(TOLERANCE 1\.000E-08\)\n THE MATRIX IS SINGULAR OR NEARLY SO\n \*{79}\n$)")))
        << r.report;
    // A zero pivot in the report's words.
    std::ostringstream pivot;
    textio::OutUnit pivotRep(pivot);
    CNVREP(pivotRep, SOLSTAT{"LU", STEPS::FACTORISATION, false, false, 7});
    EXPECT_EQ(pivot.str(), "\n *** WARNING: THE SYSTEM WAS NOT SOLVED\n THE LU FACTORISATION MET A ZERO PIVOT AT STEP       7: "
                           "THE MATRIX IS SINGULAR\n " + std::string(79, '*') + "\n");
    // Every element twice, in whatever corner order: refused, naming the first pair.
    fx::cube();
    for (int I = 1; I <= 6; ++I) NPE[I + 6] = NPE[I], XE[I + 6] = XE[I], KODE[I + 6] = KODE[I], VBC[I + 6] = VBC[I];
    std::swap(XE[8][1], XE[8][3]);
    NBE = 12;
    r = fx::runSolve();
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.console.substr(r.console.find(" ELEMENTS")), " ELEMENTS    1 AND    7 COINCIDE: THEY HAVE THE SAME CORNERS\n*** FATAL ERROR ***\n");
    // An element refused: no report at all.
    fx::cube();
    fx::setSymmetry(-1, 0, 0);
    r = fx::runSolve();
    EXPECT_EQ(std::pair(r.status, r.report), std::pair(1, std::string()));
    EXPECT_NE(r.console.find("ELEMENT    5 LIES IN THE ODD SYMMETRY PLANE X = 0"), std::string::npos);
    // A result that is not a number (spoilt after the internal points): no
    // report at all, the node or the point named.
    using Spoil = std::pair<void (*)(const SOLREQ&), const char*>;
    for (auto [spoil, text] : {Spoil{[](const SOLREQ&) { INTPTS(); VBC[2] = HUGE_VAL; }, " NODE    2: "},
                               Spoil{[](const SOLREQ&) { INTPTS(); GRADV[3][1] = NAN; }, " INTERNAL POINT    1: "}}) {
        fx::cube();
        NIP = 1;
        XIP[1][1] = XIP[1][2] = XIP[1][3] = 0.5;
        SOLVER spoilt = GSSOLVER;
        spoilt.POINTS = spoil;
        r = fx::runSolve([&](textio::OutUnit& rep) { throw textio::Stop{RUN(rep, spoilt)}; });
        EXPECT_EQ(std::pair(r.status, r.report), std::pair(1, std::string()));
        EXPECT_TRUE(r.console.ends_with(std::string(text) + "THE RESULT IS NOT A FINITE NUMBER\n*** FATAL ERROR ***\n")) << r.console;
    }
}
