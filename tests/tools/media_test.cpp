// telma --media as a user runs it, on spheres made by the mesh tool: conductors in dielectric shells
// against the exact capacitance and potential, the solvers against each other, a symmetric model
// against its full model, and the media files that are refused.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <regex>
#include <sstream>

#include "tools/datafile.hpp"
#include "tools/mesh.hpp"

using namespace tmesh;
namespace fs = std::filesystem;

namespace {

const double PI = std::numbers::pi;

std::string slurp(const std::string& name) {
    std::ostringstream s;
    s << std::ifstream(name, std::ios::binary).rdbuf();
    return s.str();
}

struct Outcome {
    int status;
    std::string err, report;
};

// telma with ARGS on data file case.in (written from M) and media file m.txt (TEXT), report
// case.out.
Outcome telma(const Mesh& m, const std::string& text, const std::string& args) {
    {
        std::ofstream os("case.in", std::ios::binary);
        writeDataFile(os, m);
    }
    std::ofstream("m.txt", std::ios::binary) << text;
    fs::remove("case.out");
    const int w = std::system(("'" TELMA_EXE "' --media=m.txt " + args + " case.in case.out >stdout.txt 2>stderr.txt").c_str());
    return {WIFEXITED(w) ? WEXITSTATUS(w) : -1, slurp("stderr.txt"), slurp("case.out")};
}

// The numbers of the report's first table after the line HEAD: its rows up to the first line that
// is not one.
std::vector<std::vector<double>> rows(const std::string& report, const std::string& head) {
    std::vector<std::vector<double>> t;
    const auto at = report.find(head);
    if (at == std::string::npos) return t;
    std::istringstream is(report.substr(at + head.size()));
    for (std::string line; std::getline(is, line);) {
        std::istringstream ls(line);
        std::vector<double> r;
        for (double v; ls >> v;) r.push_back(v);
        if (!r.empty() && ls.eof())
            t.push_back(r);
        else if (!t.empty())
            break;
    }
    return t;
}

double c11(const std::string& report) { return rows(report, "\n CAPACITANCE\n").at(0).at(1); }

// A unit conductor sphere (group 1, potential 1) inside shells of the radii R, code 1, 2 ... each,
// area-fitted, the potential sought outside each (normals toward the centre).
Mesh shells(int level, std::vector<double> R) {
    Mesh m = makeSphere(SphereParams{.level = level, .areaFit = true});
    for (std::size_t k = 0; k < R.size(); ++k)
        for (Element e : makeSphere(SphereParams{.r = R[k], .level = level, .areaFit = true}).el) {
            e.bc = {static_cast<int>(k) + 1, 0.0};
            m.el.push_back(e);
        }
    return m;
}

class Media : public ::testing::Test {
    fs::path previous_ = fs::current_path(), dir_;

protected:
    void SetUp() override {
        std::string t = (fs::temp_directory_path() / "media-test-XXXXXX").string();
        ASSERT_NE(mkdtemp(t.data()), nullptr);
        fs::current_path(dir_ = t);
    }
    void TearDown() override {
        std::error_code ec;
        fs::current_path(previous_, ec);
        fs::remove_all(dir_, ec);
    }
};

}  // namespace

// C = 4 pi / (sum over shells of (1/r_in - 1/r_out) / eps + 1/r_last) at 1280 triangles a surface,
// with the potential between and outside the shells; a shell of permittivity 1 on both sides leaves
// the classic conductor's capacitance; the MEDIA block lists what was read.
TEST_F(Media, SpheresInDielectricShellsAgainstTheExactCapacitance) {
    Mesh one = shells(3, {2});
    one.ip = {{1.5, 0, 0}, {0, 0, 3}};
    Outcome r = telma(one, "# coated sphere\n-1 4\n1 4 1   # the coat, then vacuum\n", "--solver=lu --capacitance");
    ASSERT_EQ(r.status, 0) << r.err;
    const double C = 4 * PI * 1.6;
    EXPECT_NEAR(c11(r.report) / C, 1.0, 0.005);
    EXPECT_NE(r.report.find("\n MEDIA\n\n  CODE  ELEMENTS  KIND             EPS-N        EPS-B\n"
                            "    -1      1280  CONDUCTOR               4.00000E+00\n"
                            "     1      1280  INTERFACE  4.00000E+00  1.00000E+00\n"
                            "  OTHER CODES                             1.00000E+00\n"),
              std::string::npos)
        << r.report;
    // u = 1 - (C / (4 pi 4)) (1 - 1/r) inside the coat, C / (4 pi r) outside
    const auto ip = rows(r.report.substr(r.report.find("\n RESULTS\n")), "INTERNAL POINTS");
    ASSERT_EQ(ip.size(), 2u);
    EXPECT_NEAR(ip[0][3], 1 - 0.4 * (1 - 1 / 1.5), 0.005);
    EXPECT_NEAR(ip[1][3], 1.6 / 3, 0.005);
    // the flux of eps grad u is the free charge, C at potential 1
    const auto flux = r.report.find(" FLUX  1 :");
    ASSERT_NE(flux, std::string::npos);
    EXPECT_NEAR(std::stod(r.report.substr(flux + 10, 12)) / c11(r.report), 1.0, 1e-5);

    r = telma(shells(3, {2, 3}), "-1 4\n1 4 2\n2 2 1\n", "--solver=lu --capacitance");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NEAR(c11(r.report) / (4 * PI / (1.0 / 8 + 1.0 / 12 + 1.0 / 3)), 1.0, 0.005);

    r = telma(shells(3, {2}), "-1 1\n1 1 1\n", "--solver=lu --capacitance");
    ASSERT_EQ(r.status, 0) << r.err;
    const double same = c11(r.report);
    EXPECT_NEAR(same / (4 * PI), 1.0, 0.005);
    {
        std::ofstream os("ball.in", std::ios::binary);
        writeDataFile(os, makeSphere(SphereParams{.level = 3, .areaFit = true}));
    }
    ASSERT_EQ(std::system("'" TELMA_EXE "' --solver=lu --capacitance ball.in ball.out >stdout.txt"), 0);
    EXPECT_NEAR(same / c11(slurp("ball.out")), 1.0, 1e-6);
}

// gs and hmat against lu on a coated sphere, and its eighth model (three even planes) against the
// full mesh split along the planes: nodes, fluxes and capacitance.
TEST_F(Media, SolversAndSymmetricModelsAgree) {
    const std::string media = "-1 3\n1 3 1.5\n";
    Mesh full = shells(2, {1.6});
    for (int k = 0; k < 3; ++k) splitAlong(full, k);
    Outcome lu = telma(full, media, "--solver=lu --capacitance");
    ASSERT_EQ(lu.status, 0) << lu.err;
    const auto ref = rows(lu.report, "BOUNDARY NODES");
    ASSERT_EQ(ref.size(), full.el.size());
    for (const char* s : {"--solver=gs", "--solver=hmat --tol=1e-12"}) {
        const Outcome r = telma(full, media, std::string(s) + " --capacitance");
        ASSERT_EQ(r.status, 0) << s << r.err;
        const auto got = rows(r.report, "BOUNDARY NODES");
        ASSERT_EQ(got.size(), ref.size());
        double umax = 0, qmax = 0, du = 0, dq = 0;
        for (std::size_t i = 0; i < ref.size(); ++i) {
            umax = std::max(umax, std::fabs(ref[i][4]));
            qmax = std::max(qmax, std::fabs(ref[i][5]));
            du = std::max(du, std::fabs(got[i][4] - ref[i][4]));
            dq = std::max(dq, std::fabs(got[i][5] - ref[i][5]));
        }
        EXPECT_LT(du, 1e-5 * umax) << s;
        EXPECT_LT(dq, 1e-5 * qmax) << s;
        EXPECT_NEAR(c11(r.report) / c11(lu.report), 1.0, 1e-5) << s;
    }
    Mesh eighth = shells(2, {1.6});
    for (int k = 0; k < 3; ++k) cutSymmetry(eighth, k, 1, 1);
    const Outcome sym = telma(eighth, media, "--solver=lu --capacitance");
    ASSERT_EQ(sym.status, 0) << sym.err;
    EXPECT_NEAR(c11(sym.report) / c11(lu.report), 1.0, 1e-8);
}

// Each fault of a media file: status 1 and the file, line and what was expected on standard error.
// Comments, blank lines and CR LF line ends are taken.
TEST_F(Media, FaultyMediaFilesAreRefused) {
    Mesh m = shells(1, {2});
    m.el.back().bc = {2, 0.5};  // one element of code 2, with a value
    const struct { const char* text; const char* err; } cases[] = {
        {"-1 4\n\n# x\n1 4 1 5\n", "m.txt:4: expected `K EPS_N EPS_B` for an interface code K >= 1, found 4 values"},
        {"-1 4 1\n", "m.txt:1: expected `K EPS` for a conductor code K <= 0, found 3 values"},
        {"one 4\n", "m.txt:1: expected a code (an integer), found \"one\""},
        {"-1 0\n", "m.txt:1: expected a positive permittivity, found \"0\""},
        {"1 4 nan\n", "m.txt:1: expected a positive permittivity, found \"nan\""},
        {"1 -2 1\n", "m.txt:1: expected a positive permittivity, found \"-2\""},
        {"-1 4\r\n-1 2\r\n", "m.txt:2: code -1 is listed twice (first at line 1)"},
        {"-1 4\n-7 2\n", "m.txt:2: no element has code -7"},
        {"2 4 1\n", "m.txt:1: code 2 is an interface, so its elements' value must be 0; element 160 has 0.5"},
    };
    for (const auto& c : cases) {
        const Outcome r = telma(m, c.text, "--solver=lu");
        EXPECT_EQ(r.status, 1) << c.text;
        EXPECT_EQ(r.err, std::string("telma: ") + c.err + "\n") << c.text;
    }
    const Outcome ok = telma(m, "# media\r\n-1 4\r\n\r\n1 4 1 # shell\r\n", "--solver=lu");
    EXPECT_EQ(ok.status, 0) << ok.err;
    EXPECT_NE(ok.report.find("     1        79  INTERFACE"), std::string::npos) << ok.report;
}

// Plates of side L at z = 0 and 1 with a slab of permittivity 4 filling the middle half of the gap
// (z from 0.25 to 0.75), a quarter model: -C(1,2) against the series formula L^2 / (1/2 + 1/8), the
// excess of the fringe field falling as the plates grow (as log(L) / L: 18 %, 16 %, 11 %, the last
// the same with squares of half the size).
TEST_F(Media, HalfFilledPlateCapacitorApproachesTheSeriesFormula) {
    double last = 0;
    for (int L : {2, 4, 8}) {
        const int n = 2 * L;  // squares of 1/4 across half a plate
        Mesh m;
        for (int k = 0; k < 2; ++k)
            for (int i = 0; i < n; ++i)
                for (int j = 0; j < n; ++j) {
                    const double x = 0.25 * i, y = 0.25 * j, z = k;
                    m.el.push_back(Element{4, {{{x, y, z}, {x + 0.25, y, z}, {x + 0.25, y + 0.25, z}, {x, y + 0.25, z}}}, {-1 - k, double(k)}});
                }
        BoxParams s{.lo = {-0.5 * L, -0.5 * L, 0.25}, .hi = {0.5 * L, 0.5 * L, 0.75}, .div = {2 * n, 2 * n, 2}};
        for (FaceParams& f : s.face) f.bc = {1, 0.0};
        for (const Element& e : makeBox(s).el) m.el.push_back(e);  // normals out of the slab
        for (int axis = 0; axis < 2; ++axis) cutSymmetry(m, axis, 1, 1);
        const Outcome r = telma(m, "-1 1\n-2 1\n1 1 4\n", "--solver=lu --capacitance");
        ASSERT_EQ(r.status, 0) << r.err;
        const double c12 = rows(r.report, "\n CAPACITANCE\n").at(0).at(2);
        const double excess = -c12 / (L * L / 0.625) - 1;
        EXPECT_GT(excess, 0) << L;
        if (last > 0) {
            EXPECT_GT(last / excess, 1.1) << L;
            EXPECT_LT(last / excess, 2.0) << L;
        }
        last = excess;
    }
    EXPECT_LT(last, 0.12);
}
