// Whole runs from a data file: the report line by line against its layout,
// the console, symmetry, the CURRENTS block, and the exit status.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <regex>

#include "fixtures.hpp"

namespace {

using namespace telma;

const std::string RULE = " " + std::string(79, '*');

std::string sp(int n) { return std::string(n, ' '); }

// One real as 1P,E14.5 writes it (two-digit exponents).
std::string e14(double v) {
    char b[32];
    std::snprintf(b, sizeof b, "%14.5E", v);
    return b;
}

// READIN on a data file, then steps 6 to 17.
fx::RunResult runFile(const std::string& name) {
    telma::CLEAR();
    return fx::runSolve([&](textio::OutUnit& rep) {
        std::ifstream file = textio::openOld(std::string(TELMA_EXAMPLES) + "/" + name);
        textio::Reader in(file, name);
        READIN(in, rep);
    });
}

std::vector<std::string> echo(const std::string& title, int nbe, int nip,
                              const std::vector<std::string>& sym,
                              const std::vector<std::array<fx::P3, 4>>& corners,
                              const std::vector<std::pair<int, double>>& bc) {
    std::vector<std::string> w = {RULE, title + sp(80 - static_cast<int>(title.size())), "", "",
                                  " DATA", ""};
    char b[128];
    std::snprintf(b, sizeof b, "  NUMBER OF BOUNDARY ELEMENTS =%4d", nbe);
    w.push_back(b);
    std::snprintf(b, sizeof b, "  NUMBER OF INTERNAL POINTS WHERE THE FUNCTION IS CALCULATED =%4d", nip);
    w.push_back(b);
    w.push_back("");
    for (const std::string& s : sym) w.push_back(s);
    for (const char* s : {"", "", "  COORDINATES OF THE EXTREME POINTS OF THE BOUNDARY ELEMENTS", "",
                          " POINT       X               Y"})
        w.push_back(s);
    for (std::size_t I = 0; I < corners.size(); ++I) {
        std::snprintf(b, sizeof b, " %4d", static_cast<int>(I + 1));
        std::string l = b;
        for (const fx::P3& c : corners[I]) l += "  " + e14(c[0]) + e14(c[1]) + e14(c[2]);
        w.push_back(l);
    }
    for (const char* s : {"", "", "  BOUNDARY CONDITIONS", "", "  NODE       CODE        PRESCRIBED VALUE"})
        w.push_back(s);
    for (std::size_t I = 0; I < bc.size(); ++I) {
        std::snprintf(b, sizeof b, " %4d%s%3d%s", static_cast<int>(I + 1), sp(9).c_str(),
                      bc[I].first, sp(8).c_str());
        w.push_back(b + e14(bc[I].second));
    }
    return w;
}

std::vector<std::string> resultsHeading() {
    return {RULE, "", " RESULTS", "", "  BOUNDARY NODES", "",
            " NODE" + sp(8) + "X" + sp(15) + "Y" + sp(15) + "Z" + sp(13) + "POTENTIAL" + sp(3) +
                "POTENTIAL DERIVATIVE" + sp(3) + " AREA",
            ""};
}

std::vector<std::string> internalHeading() {
    return {"", "", "  INTERNAL POINTS", "",
            sp(8) + "X" + sp(15) + "Y" + sp(15) + "Z" + sp(13) + "POTENTIAL" + sp(8) + "GRADV-X" +
                sp(9) + "GRADV-Y" + sp(9) + "GRADV-Z",
            ""};
}

std::string nodeRow(int I, std::initializer_list<double> v) {
    char b[8];
    std::snprintf(b, sizeof b, "%5d", I);
    std::string l = b;
    for (double x : v) l += "  " + e14(x);
    return l;
}

// The fields of an internal-point row: seven numbers of 16 columns.
std::vector<double> internalRow(const std::string& l) {
    static const std::regex row(R"((    [ -][0-9]\.[0-9]{5}E[+-][0-9]{2}){7})");
    std::vector<double> v;
    if (!std::regex_match(l, row)) return v;
    for (int k = 0; k < 7; ++k) v.push_back(std::strtod(l.substr(16 * k, 16).c_str(), nullptr));
    return v;
}

void expectLines(const std::vector<std::string>& got, std::size_t& at,
                 const std::vector<std::string>& want, const char* what) {
    for (std::size_t k = 0; k < want.size(); ++k, ++at) {
        ASSERT_LT(at, got.size()) << what << ": report ends early";
        EXPECT_EQ(got[at], want[k]) << what << ", report line " << at + 1;
    }
}

const std::vector<std::array<fx::P3, 4>> CUBE = {
    {{{0, 0, 0}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0}}}, {{{0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}}},
    {{{0, 0, 0}, {1, 0, 0}, {1, 0, 1}, {0, 0, 1}}}, {{{0, 1, 0}, {0, 1, 1}, {1, 1, 1}, {1, 1, 0}}},
    {{{0, 0, 0}, {0, 0, 1}, {0, 1, 1}, {0, 1, 0}}}, {{{1, 0, 0}, {1, 1, 0}, {1, 1, 1}, {1, 0, 1}}},
};

TEST(Report, UnitCubeLineByLine) {
    const fx::RunResult r = runFile("cube.in");
    EXPECT_EQ(r.status, 0);
    const std::vector<std::string> got = fx::lines(r.report);
    std::size_t at = 0;
    expectLines(got, at,
                echo("UNIT CUBE: POTENTIAL 0 AT THE BOTTOM, 1 AT THE TOP, INSULATED SIDES", 6, 2,
                     {}, CUBE, {{0, 0.0}, {0, 1.0}, {1, 0.0}, {1, 0.0}, {1, 0.0}, {1, 0.0}}),
                "echo");
    expectLines(got, at, resultsHeading(), "results heading");
    expectLines(got, at,
                {nodeRow(1, {0.5, 0.5, 0.0, 0.0, -1.3648247, 1.0}),
                 nodeRow(2, {0.5, 0.5, 1.0, 1.0, 1.3648247, 1.0}),
                 nodeRow(3, {0.5, 0.0, 0.5, 0.5, 0.0, 1.0}),
                 nodeRow(4, {0.5, 1.0, 0.5, 0.5, 0.0, 1.0}),
                 nodeRow(5, {0.0, 0.5, 0.5, 0.5, 0.0, 1.0}),
                 nodeRow(6, {1.0, 0.5, 0.5, 0.5, 0.0, 1.0})},
                "boundary nodes");
    expectLines(got, at, internalHeading(), "internal heading");
    ASSERT_EQ(got.size(), at + 3) << r.report;
    // The centre is a point of antisymmetry: potential 1/2, no x or y gradient.
    const std::vector<double> c = internalRow(got[at]);
    ASSERT_EQ(c.size(), 7u) << got[at];
    EXPECT_EQ(got[at].substr(0, 48), "  " + e14(0.5) + "  " + e14(0.5) + "  " + e14(0.5));
    EXPECT_NEAR(c[3], 0.5, 1e-6);
    EXPECT_NEAR(c[4], 0.0, 1e-3);
    EXPECT_NEAR(c[5], 0.0, 1e-3);
    EXPECT_GT(c[6], 0.5);
    const std::vector<double> q = internalRow(got[at + 1]);
    ASSERT_EQ(q.size(), 7u) << got[at + 1];
    EXPECT_EQ(q[2], 0.25);
    EXPECT_GT(q[3], 0.0);
    EXPECT_LT(q[3], 0.5);
    EXPECT_EQ(got[at + 2], RULE);
    EXPECT_EQ(r.report.back(), '\n');
}

TEST(Report, UnitCubeConsole) {
    const fx::RunResult r = runFile("cube.in");
    const std::vector<std::string> out = fx::lines(r.console);
    const char* rms[17] = {"9.730E-01", "7.812E-01", "2.950E-01", "7.074E-02", "7.359E-03",
                           "3.842E-03", "2.053E-03", "5.963E-04", "9.357E-05", "1.715E-05",
                           "1.331E-05", "4.711E-06", "9.720E-07", "8.725E-08", "7.821E-08",
                           "3.465E-08", "8.860E-09"};
    std::vector<std::string> want = {"", " The matrix is NOT diagonally dominant"};
    for (int k = 0; k < 17; ++k) {
        char b[64];
        std::snprintf(b, sizeof b, " Niter :%3d  RMS error : %s", k + 1, rms[k]);
        want.push_back(b);
    }
    want.push_back(" Ier non zero in PVT : -17");
    ASSERT_EQ(out.size(), want.size() + 1) << r.console;
    for (std::size_t k = 0; k < want.size(); ++k) EXPECT_EQ(out[k], want[k]) << k;
    EXPECT_TRUE(std::regex_match(out.back(), std::regex(R"( Elapsed time :[ 0-9]{5}\.[0-9]{2})")))
        << out.back();
}

TEST(Report, HalfModelWithEvenPlaneXMatchesTheFullBox) {
    const fx::RunResult r = runFile("cube_half.in");
    EXPECT_EQ(r.status, 0);
    const std::vector<std::string> got = fx::lines(r.report);
    std::size_t at = 0;
    expectLines(got, at,
                echo("BOX -1<X<1, 0<Y<1, 0<Z<1 MESHED ON X>0, EVEN SYMMETRY IN X = 0", 5, 2,
                     {"  X-EVEN SYMMETRY"}, {CUBE[0], CUBE[1], CUBE[2], CUBE[3], CUBE[5]},
                     {{0, 0.0}, {0, 1.0}, {1, 0.0}, {1, 0.0}, {1, 0.0}}),
                "echo");
    expectLines(got, at, resultsHeading(), "results heading");
    expectLines(got, at,
                {nodeRow(1, {0.5, 0.5, 0.0, 0.0, -1.2682652, 1.0}),
                 nodeRow(2, {0.5, 0.5, 1.0, 1.0, 1.2682652, 1.0}),
                 nodeRow(3, {0.5, 0.0, 0.5, 0.5, 0.0, 1.0}),
                 nodeRow(4, {0.5, 1.0, 0.5, 0.5, 0.0, 1.0}),
                 nodeRow(5, {1.0, 0.5, 0.5, 0.5, 0.0, 1.0})},
                "boundary nodes");
    const double half[5][2] = {{VBC[1], B[1]}, {VBC[2], B[2]}, {VBC[3], B[3]}, {VBC[4], B[4]},
                               {VBC[5], B[5]}};
    const double halfU[3] = {UIP[1], UIP[2], GRADV[3][2]};

    // The whole box without symmetry: each element and its mirror in x = 0,
    // the mirror's corners reversed so that its normal points outward.
    telma::CLEAR();
    const int pick[5] = {0, 1, 2, 3, 5};
    const int kode[6] = {0, 0, 1, 1, 1, 1};
    const double vbc[6] = {0, 1, 0, 0, 0, 0};
    NBE = 10;
    for (int k = 0; k < 5; ++k) {
        const auto& c = CUBE[pick[k]];
        fx::setElement(k + 1, {c[0], c[1], c[2], c[3]}, kode[pick[k]], vbc[pick[k]]);
        auto m = [](const fx::P3& p) { return fx::P3{-p[0], p[1], p[2]}; };
        fx::setElement(k + 6, {m(c[3]), m(c[2]), m(c[1]), m(c[0])}, kode[pick[k]], vbc[pick[k]]);
    }
    NIP = 2;
    const fx::P3 ip[2] = {{0.0, 0.5, 0.5}, {0.5, 0.5, 0.75}};
    for (int I = 1; I <= 2; ++I)
        for (int K = 1; K <= 3; ++K) XIP[I][K] = ip[I - 1][K - 1];
    EXPECT_EQ(fx::runSolve().status, 0);
    for (int k = 0; k < 5; ++k) {
        EXPECT_NEAR(VBC[k + 1], half[k][0], 1e-7) << k;
        EXPECT_NEAR(B[k + 1], half[k][1], 1e-7) << k;
        EXPECT_NEAR(VBC[k + 6], half[k][0], 1e-7) << k;
        EXPECT_NEAR(B[k + 6], half[k][1], 1e-7) << k;
    }
    EXPECT_NEAR(UIP[1], halfU[0], 1e-7);
    EXPECT_NEAR(UIP[2], halfU[1], 1e-7);
    EXPECT_NEAR(GRADV[3][2], halfU[2], 1e-4);
}

TEST(Report, CurrentsOfGroupsOneAndThree) {
    fx::unitCube();
    KODE[1] = -1;
    KODE[2] = -3;
    const fx::RunResult r = fx::runSolve();
    EXPECT_EQ(r.status, 0);
    const std::vector<std::string> block = {"", " CURRENTS", "", " FLUX  1 :-1.36482E+00",
                                            " FLUX  2 : 0.00000E+00", " FLUX  3 : 1.36482E+00"};
    std::vector<std::string> got = fx::lines(r.report);
    ASSERT_GE(got.size(), 7u + 1 + 6);
    std::vector<std::string> tail(got.end() - 7, got.end());
    std::vector<std::string> want = block;
    want.push_back(RULE);
    EXPECT_EQ(tail, want);
    EXPECT_EQ(got[got.size() - 8], RULE);  // the results' own closing rule
    EXPECT_EQ(NGRP, 3);
    // the console shows the same block, without the rule
    got = fx::lines(r.console);
    ASSERT_GE(got.size(), 6u);
    EXPECT_EQ(std::vector<std::string>(got.end() - 6, got.end()), block);
}

TEST(Report, NoGroupsNoCurrentsAndExchangeStep) {
    // One square with a prescribed derivative 2.5 and no internal points:
    // after the exchange its potential is solved, its derivative 2.5.
    fx::unitSquare(1, 2.5);
    const fx::RunResult r = fx::runSolve();
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(B[1], 2.5);
    EXPECT_NEAR(VBC[1], 2.5 * 2 * 0.28054992617, 1e-9);
    std::vector<std::string> want = resultsHeading();
    want.push_back(nodeRow(1, {0.5, 0.5, 0.0, 1.4027496, 2.5, 1.0}));
    want.push_back(RULE);
    EXPECT_EQ(fx::lines(r.report), want);
    EXPECT_EQ(r.console.find("CURRENTS"), std::string::npos);
    EXPECT_NE(r.console.find(" The matrix is diagonally dominant"), std::string::npos);
    // two sweeps for one unknown: more sweeps than unknowns
    EXPECT_NE(r.console.find("\n Ier non zero in PVT :  -2\n"), std::string::npos) << r.console;
}

TEST(Report, SolveThatDoesNotConvergeStillWritesTheReportAndFails) {
    // Derivatives prescribed everywhere, with a net flux: no solution exists.
    fx::unitCube();
    for (int I = 1; I <= 6; ++I) KODE[I] = 1;
    VBC[1] = 1.0;
    VBC[2] = 0.0;
    const fx::RunResult r = fx::runSolve();
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.console.find(" SOLUTION FAILED: "), std::string::npos) << r.console;
    const std::vector<std::string> out = fx::lines(r.console);
    EXPECT_EQ(out.back(), " *** THE SYSTEM WAS NOT SOLVED: THE RESULTS ARE NOT VALID ***");
    // the report says so itself, after the results' closing rule
    const std::vector<std::string> got = fx::lines(r.report);
    ASSERT_EQ(got.size(), 8u + 6 + 1 + 4);
    EXPECT_EQ(got[2], " RESULTS");
    EXPECT_EQ(got[14], RULE);
    const std::regex last(R"( AFTER 999 SWEEPS THE RMS CHANGE WAS [ 0-9]\.[0-9]{3}E[-+][0-9]{2} \(TOLERANCE 1\.000E-08\))");
    EXPECT_EQ(got[15], "");
    EXPECT_EQ(got[16], " *** WARNING: THE SOLUTION DID NOT CONVERGE");
    EXPECT_TRUE(std::regex_match(got[17], last)) << got[17];
    EXPECT_EQ(got.back(), RULE);
    EXPECT_FALSE(STAT.CONVGD);
}

TEST(Report, RefusedElementEndsTheRunBeforeAnyResult) {
    fx::unitCube();
    fx::setSymmetry(-1, 0, 0);  // element 5 lies in the odd plane x = 0
    const fx::RunResult r = fx::runSolve();
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.report, "");
    EXPECT_NE(r.console.find("ELEMENT    5 LIES IN THE ODD SYMMETRY PLANE X = 0"), std::string::npos);
}

}  // namespace
