// The korval program as a user runs it: switch, summary, dialogue, the ways a run ends.
#include <gtest/gtest.h>

#include "support.hpp"

namespace {

struct Outcome : vt::Run { std::string ps; };

// korval in the current directory with `args` and the answers on standard input.
Outcome runKorval(const std::string& args, const std::string& answers) {
    return {vt::runProgram("'" KORVAL_EXE "' " + args, answers), vt::readFile("KORV.PS")};
}

// Answers for one pass of the dialogue.
std::string pass(int prompts) { return std::string(prompts, '\n'); }

// The picture without its numbered first and last records.
std::string body(const std::string& ps) {
    const auto first = ps.find('\n') + 1;
    return ps.substr(first, ps.rfind('\n', ps.size() - 2) + 1 - first);
}

bool has(const std::string& s, const std::string& part) { return s.find(part) != std::string::npos; }

int count(const std::string& s, const std::string& part) {
    int n = 0;
    for (auto p = s.find(part); p != std::string::npos; p = s.find(part, p + 1)) ++n;
    return n;
}

const std::string TRIANGLE = vt::dataFile({{{0, 0, 0}, {0.5, 0, 0}, {0, 0.5, 0}}});
const std::string TWO_FACES = vt::dataFile({{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {{0, 0, 0}, {0, 0, 1}, {0, 1, 1}}});
const std::string REPORT = vt::reportFile({{1.0, -4.0}, {3.0, 2.0}}, false, {{0.5, 0.5, 0.0}, {0.0, 1.0 / 3, 2.0 / 3}});
const std::string PROMPTS =
    " Modification perspective \n\n AX =     .0000 :  AY =     .0000 :  AZ =     .0000 :  D  =    5.0000 : "
    " Th =   60.0000 :  Ps =   60.0000 :  Om =     .0000 :  Zx =    1.0000 : ";

class Korval : public ::testing::Test {
protected:
    ~Korval() override { if (vt::fs::exists("KORV.PS")) vt::expectRendered("KORV.PS"); }
    vt::ScratchDir dir;
};

}  // namespace

TEST_F(Korval, SwitchChoosesTheColouringValue) {
    const struct { const char* args; std::string summary; int faces, bar; } cases[] = {
        {"", "    7    2    0\n solmin, solmax :   0.000000E+00   0.000000E+00\n", 0, 0},
        {"/x", "    7    2    0\n", 0, 0}, {"-p", "    7    2    0\n", 0, 0},
        {"/potential", "    7    2    2\n solmin, solmax :   1.000000E+00   3.000000E+00\n", 2, 101},
        {"/FLUX", "    7    2    2\n solmin, solmax :  -4.000000E+00   2.000000E+00\n", 2, 101},
        {"/F /p", "    7    2    2\n solmin, solmax :  -4.000000E+00   2.000000E+00\n", 2, 101},
        // the files named after the switch, found without regard to case
        {"/p case.in CASE.REP", "    3    1    1\n solmin, solmax :   5.000000E+00   5.000000E+00\n", 1, 101},
        {"-- /F CASE.IN case.rep", "    3    1    1\n solmin, solmax :  -1.000000E+00  -1.000000E+00\n", 1, 101},
        {"x case.in", "    3    1    0\n", 0, 0},
        {"case.in", "    7    2    0\n", 0, 0},  // a file for the switch: outlines of the default files, and a note
    };
    vt::writeFile("TELMA.IN", TWO_FACES);  // both names found without regard to case
    vt::writeFile("TELMA.OUT", REPORT);
    vt::writeFile("case.in", TRIANGLE);
    vt::writeFile("Case.Rep", vt::reportFile({{5.0, -1.0}}));
    for (const auto& c : cases) {
        const Outcome r = runKorval(c.args, pass(8));
        EXPECT_EQ(r.status, 0) << c.args << r.err;
        EXPECT_EQ(r.out.rfind("--- KORVAL ---\n Npt, nfa, nfa2 :" + c.summary, 0), 0u) << c.args << r.out;
        EXPECT_TRUE(has(r.out, " Trace postcript  \n Dessin termin\xE9 \n\n" + PROMPTS)) << r.out;
        EXPECT_EQ(has(r.out, " Ex ="), c.faces > 0) << r.out;
        EXPECT_EQ(count(r.ps, " K \n"), c.faces) << c.args;
        EXPECT_EQ(count(r.ps, " K\n"), c.bar) << c.args;
        EXPECT_EQ(r.err, std::string(c.args) == "case.in" ? "korval: note: \"case.in\" is taken for the switch (outlines "
                                                             "only); the data file comes after it: korval /p case.in REPORT\n"
                                                           : "") << c.args;
    }
}

TEST_F(Korval, AnswersChangeTheViewAndTheScale) {
    vt::writeFile("tELMA.in", TWO_FACES);
    vt::writeFile("TELMA.out", REPORT);
    const std::string first = runKorval("", "").ps;
    Outcome r = runKorval("", pass(8) + pass(8));  // empty answers redraw the same view
    EXPECT_EQ(count(r.out, PROMPTS), 2);
    EXPECT_EQ(r.ps.rfind(" % *** DEBUT IMAGE   3 ***\n", 0), 0u);
    EXPECT_EQ(body(r.ps), body(first));
    // D: leading blanks; Th: 45 degrees; Zx: an exponent form; beyond column 15: zero
    r = runKorval("", "\n\n\n   2.5\n45\n\n" + std::string(16, ' ') + "7\n1.5e0\n" + pass(8));
    EXPECT_TRUE(has(r.out, " D  =    2.5000 :  Th =   45.0000 :  Ps =   60.0000 :  Om =     .0000 :  Zx =    1.5000 : ")) << r.out;
    EXPECT_NE(body(r.ps), body(first));
    // the lower end raised above the first value: that face takes the floor
    r = runKorval("/p", pass(8) + "1\n2\n\n" + pass(11));
    EXPECT_TRUE(has(r.out, " Zx =    1.0000 :  Ex =     .5000 :  VECTEURS\n Min= 1.000E+00 :  Max= 3.000E+00 : "));
    EXPECT_TRUE(has(r.out, " Ex =    1.0000 :  VECTEURS\n Min= 2.000E+00 :  Max= 3.000E+00 : ")) << r.out;
    EXPECT_TRUE(has(r.ps, " C   .000  .000 1.000 K \n"));
    EXPECT_TRUE(has(r.ps, " C  1.000  .000  .000 K \n"));
}

TEST_F(Korval, WaysARunEnds) {
    // out: the end of standard output, or a part of standard error
    const struct { std::string data, report, args, answers; int status; const char* out; bool picture; } cases[] = {
        {TRIANGLE, "", "", pass(8) + "\n\n\nfin\n", 0, " D  =    5.0000 : ERREUR NON RECUPERABLE\n", true},
        {TRIANGLE, "", "", "\n\n", 0, " AZ =     .0000 : \nFIN DES REPONSES\n", true},
        {"", "", "", "", 1, "tELMA.in", false},
        {"t\n1 0 0 0 0\n3 0 0 0 1 0 zero 0 1 0\n", "", "", "", 1, "tELMA.in:3", false},
        {TRIANGLE, "", "/p tELMA.in", "", 1, "TELMA.out", false},  // the report's default name
        {TRIANGLE, "nothing\n", "/f", "", 1, "RESULTS", false},
        // numbers beyond single precision: refused, and no picture spoilt
        {vt::dataFile({{{0, 0, 0}, {1E39, 0, 0}, {0, 1, 0}}}), "", "", "", 1,
         "tELMA.in:3: expected numbers within the range of single-precision reals (vertex 2 of face 1)\n", false},
        {TWO_FACES, vt::reportFile({{1.0, 0.0}, {1E39, 0.0}}), "/p", "", 1,
         "TELMA.out:16: expected a value within the range of single-precision reals (row 2)\n", false},
        {TRIANGLE, "", "", pass(7) + "1E39\n", 1,
         "standard input: expected a number within the range of single-precision reals, found \"1E39\"\n", true},
        {TRIANGLE, "", "", pass(7) + "1E38\n", 1,
         "KORV.PS: the view gives a number that is not finite; the picture is not complete\n", true},
    };
    for (const auto& c : cases) {
        vt::fs::remove("KORV.PS");
        vt::fs::remove("TELMA.out");
        vt::writeFile("tELMA.in", c.data);
        if (!c.report.empty()) vt::writeFile("TELMA.out", c.report);
        const Outcome r = runKorval(c.args, c.answers);
        EXPECT_EQ(r.status, c.status) << c.out << r.err;
        if (c.status == 0) { EXPECT_EQ(r.out.substr(r.out.size() - std::string(c.out).size()), c.out) << r.out; }
        else EXPECT_TRUE(r.err.rfind("korval: ", 0) == 0 && has(r.err, c.out)) << r.err;
        EXPECT_EQ(vt::fs::exists("KORV.PS"), c.picture) << c.out;
        EXPECT_FALSE(has(r.ps, "NaN") || has(r.ps, "Inf")) << r.ps;
    }
    // the data file named as the picture, in another case: kept
    vt::fs::remove("KORV.PS");
    vt::writeFile("korv.ps", TRIANGLE);
    const Outcome r = runKorval("/o korv.ps", "");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "korval: KORV.PS: is the input file korv.ps; writing it would destroy the input\n");
    EXPECT_EQ(vt::readFile("korv.ps"), TRIANGLE);
}

// A closed sphere coloured by x: with --hide every face turned to the eye shows its own colour
// where it lies on the page (Ghostscript's pixels against the face's colour); the classic order
// lets back faces cover many of them, and its picture keeps every face.
TEST_F(Korval, HideDrawsATruePicture) {
    if (std::system("command -v gs >/dev/null 2>&1") != 0 && std::getenv("CI") == nullptr) GTEST_SKIP() << "no gs";
    ASSERT_EQ(vt::runProgram("'" MESH_EXE "' sphere --level 3 -o ball.in").status, 0);
    // the potential prescribed as x at each centroid
    std::istringstream in(vt::readFile("ball.in"));
    std::string title, line;
    int n = 0;
    std::getline(in, title);
    std::getline(in, line);
    std::istringstream(line) >> n;
    std::ostringstream data;
    data << title << "\n" << line << "\n";
    std::vector<double> xs;
    for (int i = 0; i < n; ++i) {
        std::getline(in, line);
        data << line << "\n";
        std::istringstream e(line);
        int np = 0;
        double x = 0, y, z, sx = 0;
        e >> np;
        for (int k = 0; k < np; ++k) e >> x >> y >> z, sx += x;
        xs.push_back(sx / np);
    }
    for (double x : xs) data << "0 " << x << "\n";
    vt::writeFile("ballx.in", data.str());
    ASSERT_EQ(vt::runProgram("'" TELMA_EXE "' --solver=lu ballx.in ballx.out").status, 0);

    // the share of front faces whose centre pixel has their colour, and the faces drawn
    auto check = [&](const std::string& options) {
        EXPECT_EQ(runKorval(options + " /p ballx.in ballx.out", pass(8)).status, 0);
        EXPECT_EQ(std::system("gs -q -dSAFER -dBATCH -dNOPAUSE -dLastPage=1 -sDEVICE=ppmraw -r72 -sOutputFile=k.ppm KORV.PS"), 0);
        const std::string ppm = vt::readFile("k.ppm");
        std::istringstream head(ppm);
        std::string magic;
        int w = 0, h = 0, maxv = 0;
        std::getline(head, magic);
        while (head.peek() == '#') std::getline(head, line);  // Ghostscript's comment
        head >> w >> h >> maxv;
        const std::size_t start = static_cast<std::size_t>(head.tellg()) + 1;
        int front = 0, right = 0, drawn = 0;
        double tx = 0, ty = 0;  // the page's origin, moved by the picture's first lines
        std::istringstream ps(vt::readFile("KORV.PS"));
        while (std::getline(ps, line)) {
            std::istringstream f(line);
            std::string side, word;
            if (line.find(" translate") != std::string::npos) std::istringstream(line) >> tx >> ty;
            if (!(f >> side) || (side != "B" && side != "G") || !(f >> word) || word != "N") continue;
            ++drawn;
            double cx = 0, cy = 0, x, y, r, g, b;
            int k = 0;
            while (f >> x >> y >> word) cx += x, cy += y, ++k;  // "x y M", "x y L" ... up to "C"
            f.clear();
            f >> word >> r >> g >> b;  // "C r g b K"
            if (side != "B" || k == 0) continue;
            ++front;
            const int px = static_cast<int>(tx + cx / k), py = h - 1 - static_cast<int>(ty + cy / k);
            const unsigned char* p = reinterpret_cast<const unsigned char*>(ppm.data() + start + 3 * (static_cast<std::size_t>(py) * w + px));
            right += std::abs(p[0] - 255 * r) < 24 && std::abs(p[1] - 255 * g) < 24 && std::abs(p[2] - 255 * b) < 24;
        }
        return std::tuple(static_cast<double>(right) / front, front, drawn);
    };
    const auto [trueShare, trueFront, trueDrawn] = check("--hide");
    EXPECT_GT(trueShare, 0.95) << trueFront;
    EXPECT_EQ(trueDrawn, trueFront);  // the back faces of the closed sphere left out
    EXPECT_NE(vt::readFile("KORV.PS").find(") show"), std::string::npos);  // the scale's values
    const auto [classicShare, classicFront, classicDrawn] = check("");
    EXPECT_LT(classicShare, 0.8);
    EXPECT_EQ(std::pair(classicFront, classicDrawn), std::pair(trueFront, n));
}
