// Whole runs from a data file: the report line by line against its layout,
// the console, symmetry, the CURRENTS block, and the exit status.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <regex>
#include <sstream>

#include "fixtures.hpp"
#include "solver/lu.hpp"

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
fx::RunResult runFile(const std::string& name, int (*solve)(textio::OutUnit&) = telma::SOLVE) {
    telma::CLEAR();
    return fx::runSolve(
        [&](textio::OutUnit& rep) {
            std::ifstream file = textio::openOld(std::string(TELMA_EXAMPLES) + "/" + name);
            textio::Reader in(file, name);
            READIN(in, rep);
        },
        solve);
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

TEST(Report, ResultThatIsNotANumberEndsTheRunBeforeTheResults) {
    struct Case {
        void (*INTPTS)();  // runs the internal points, then spoils one result
        const char* text;
    };
    const Case cases[] = {
        {[] { INTPTS(); VBC[2] = HUGE_VAL; }, " NODE    2: THE RESULT IS NOT A FINITE NUMBER\n*** FATAL ERROR ***\n"},
        {[] { INTPTS(); GRADV[3][1] = NAN; },
         " INTERNAL POINT    1: THE RESULT IS NOT A FINITE NUMBER\n*** FATAL ERROR ***\n"},
    };
    for (const Case& c : cases) {
        fx::unitCube();
        NIP = 1;
        XIP[1][1] = XIP[1][2] = XIP[1][3] = 0.5;
        const fx::RunResult r = fx::runSolve(
            [&](textio::OutUnit& rep) { throw textio::Stop{SOLVE(rep, {ASSEMB, DOMTST, &A(1, 1), NDIM, ITSOLV, c.INTPTS})}; });
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.report, "");
        ASSERT_GE(r.console.size(), std::strlen(c.text));
        EXPECT_EQ(r.console.substr(r.console.size() - std::strlen(c.text)), c.text);
    }
}

}  // namespace

TEST(Report, LuAgreesWithGaussSeidelOnTheExamples) {
    // In memory U, Q and FLUX agree within 1e-6 of the largest magnitude of
    // each; in the reports a number differs at most by one unit of its last
    // printed digit, or, for values near zero that the sweeps leave at the
    // size of their tolerance, by 1e-6 of the largest magnitude in its column.
    auto tokens = [](const std::string& line) {
        std::istringstream in(line);
        std::vector<std::string> t;
        for (std::string w; in >> w;) t.push_back(w);
        return t;
    };
    auto number = [](const std::string& w, double& v) {
        char* end = nullptr;
        v = std::strtod(w.c_str(), &end);
        return *end == '\0' && w.find('E') != std::string::npos;
    };
    for (const char* name : {"cube.in", "cube_half.in", "electrodes.in", "interior.in", "sphere.in"}) {
        SCOPED_TRACE(name);
        const fx::RunResult gs = runFile(name);
        const std::vector<double> U = VBC, Q = B, F = FLUX;
        const fx::RunResult lu = runFile(name, LURUN);
        ASSERT_EQ(lu.status, 0) << lu.console;
        EXPECT_NE(lu.console.find("\n LU factorisation, time :"), std::string::npos) << lu.console;
        const auto r = lu.console.find(" Relative residual ||B - A x|| / ||B|| :");
        ASSERT_NE(r, std::string::npos) << lu.console;
        EXPECT_LT(std::strtod(lu.console.c_str() + r + 41, nullptr), 1e-12) << lu.console.substr(r);
        for (auto [was, is] : {std::pair{&U, &VBC}, {&Q, &B}, {&F, &FLUX}}) {
            double big = 0.0;
            for (double v : *was) big = std::fmax(big, std::fabs(v));
            for (std::size_t I = 1; I < was->size(); ++I) EXPECT_LE(std::fabs((*was)[I] - (*is)[I]), 1e-6 * big) << I;
        }
        const std::vector<std::string> a = fx::lines(gs.report), b = fx::lines(lu.report);
        ASSERT_EQ(a.size(), b.size());
        std::map<std::pair<std::size_t, std::size_t>, double> colmax;  // (tokens, column)
        for (const std::string& l : a) {
            const auto t = tokens(l);
            for (std::size_t j = 0; j < t.size(); ++j)
                if (double v; number(t[j], v)) colmax[{t.size(), j}] = std::fmax(colmax[{t.size(), j}], std::fabs(v));
        }
        for (std::size_t i = 0; i < a.size(); ++i) {
            const auto ta = tokens(a[i]), tb = tokens(b[i]);
            ASSERT_EQ(ta.size(), tb.size()) << a[i] << "\n" << b[i];
            for (std::size_t j = 0; j < ta.size(); ++j) {
                double x, y;
                if (!number(ta[j], x) || !number(tb[j], y)) {
                    EXPECT_EQ(ta[j], tb[j]) << a[i];
                    continue;
                }
                const auto e = ta[j].find('E'), d = e - ta[j].find('.') - 1;
                const double unit = std::pow(10.0, std::stoi(ta[j].substr(e + 1)) - static_cast<int>(d));
                EXPECT_LE(std::fabs(x - y), std::fmax(1.0001 * unit, 1e-6 * colmax[{ta.size(), j}]))
                    << a[i] << "\n" << b[i];
            }
        }
    }
}
