// The korval program as a user runs it: the switch, the summary, the
// dialogue with scripted answers, the ways a run ends, and the exit status.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "support.hpp"

namespace {

struct Outcome {
    int status = -1;
    std::string out, err;
};

// Runs korval in the current directory with `args` and the answers on
// standard input.
Outcome korval(const std::string& args, const std::string& answers) {
    vt::writeFile("answers.txt", answers);
    const std::string cmd = std::string("'") + KORVAL_EXE + "' " + args +
                            " <answers.txt >stdout.txt 2>stderr.txt";
    const int w = std::system(cmd.c_str());
    Outcome r;
    r.status = WIFEXITED(w) ? WEXITSTATUS(w) : -1;
    r.out = vt::readFile("stdout.txt");
    r.err = vt::readFile("stderr.txt");
    return r;
}

// Answers for one pass of the dialogue.
std::string pass(int prompts) { return std::string(prompts, '\n'); }

// The picture without its numbered first and last records.
std::string body(const std::string& ps) {
    const auto first = ps.find('\n') + 1;
    const auto last = ps.rfind('\n', ps.size() - 2) + 1;
    return ps.substr(first, last - first);
}

bool contains(const std::string& s, const std::string& part) { return s.find(part) != std::string::npos; }

int count(const std::string& s, const std::string& part) {
    int n = 0;
    for (auto p = s.find(part); p != std::string::npos; p = s.find(part, p + 1)) ++n;
    return n;
}

const std::string TRIANGLE = vt::dataFile({{{0, 0, 0}, {0.5, 0, 0}, {0, 0.5, 0}}});
const std::string TWO_FACES = vt::dataFile({{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}},
                                            {{0, 0, 0}, {0, 0, 1}, {0, 1, 1}}});
const std::string REPORT = vt::reportFile({{1.0, -4.0}, {3.0, 2.0}});

const char* const PROMPTS =
    " Modification perspective \n\n"
    " AX =     .0000 :  AY =     .0000 :  AZ =     .0000 :  D  =    5.0000 : "
    " Th =   60.0000 :  Ps =   60.0000 :  Om =     .0000 :  Zx =    1.0000 : ";

class Korval : public ::testing::Test {
protected:
    vt::ScratchDir dir;
};

}  // namespace

TEST_F(Korval, NoSwitchDrawsOutlinesOnly) {
    vt::writeFile("tELMA.in", TRIANGLE);
    for (const char* args : {"", "/x", "p", "-p", "/"}) {
        const Outcome r = korval(args, pass(8));
        EXPECT_EQ(r.status, 0) << args << r.err;
        EXPECT_EQ(r.out.rfind("--- KORVAL ---\n"
                              " Npt, nfa, nfa2 :    3    1    0\n"
                              " solmin, solmax :   0.000000E+00   0.000000E+00\n"
                              " Trace postcript  \n"
                              " Dessin termin\xE9 \n\n",
                              0),
                  0u)
            << args << "\n" << r.out;
        EXPECT_TRUE(contains(r.out, PROMPTS)) << r.out;
        EXPECT_FALSE(contains(r.out, " Ex =")) << args;
        EXPECT_FALSE(contains(r.out, "VECTEURS")) << args;
        EXPECT_EQ(count(vt::readFile("KORV.PS"), " K"), 0) << args;
    }
    vt::expectRendered("KORV.PS");
}

TEST_F(Korval, SwitchChoosesTheColouringValue) {
    vt::writeFile("tELMA.in", TWO_FACES);
    vt::writeFile("TELMA.out", REPORT);
    struct Case {
        const char* args;
        const char* range;
    };
    const Case cases[] = {
        {"/p", " solmin, solmax :   1.000000E+00   3.000000E+00\n"},
        {"/P", " solmin, solmax :   1.000000E+00   3.000000E+00\n"},
        {"/potential", " solmin, solmax :   1.000000E+00   3.000000E+00\n"},
        {"/f", " solmin, solmax :  -4.000000E+00   2.000000E+00\n"},
        {"/FLUX", " solmin, solmax :  -4.000000E+00   2.000000E+00\n"},
        {"/F /p", " solmin, solmax :  -4.000000E+00   2.000000E+00\n"},
    };
    for (const auto& c : cases) {
        const Outcome r = korval(c.args, "");
        EXPECT_EQ(r.status, 0) << c.args << r.err;
        EXPECT_TRUE(contains(r.out, " Npt, nfa, nfa2 :    7    2    2\n")) << c.args << r.out;
        EXPECT_TRUE(contains(r.out, c.range)) << c.args << r.out;
        const std::string ps = vt::readFile("KORV.PS");
        EXPECT_EQ(count(ps, " K \n"), 2) << c.args;   // two filled faces
        EXPECT_EQ(count(ps, " K\n"), 101) << c.args;  // the colour bar
    }
    vt::expectRendered("KORV.PS");
}

TEST_F(Korval, EmptyAnswersRedrawTheSameView) {
    vt::writeFile("tELMA.in", TWO_FACES);
    Outcome r = korval("", "");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string first = vt::readFile("KORV.PS");
    EXPECT_TRUE(contains(first, " % *** DEBUT IMAGE   1 ***\n"));

    r = korval("", pass(8) + pass(8));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(count(r.out, " Dessin termin\xE9 \n\n"), 3);
    EXPECT_EQ(count(r.out, PROMPTS), 2);  // the angles did not drift
    const std::string third = vt::readFile("KORV.PS");
    EXPECT_EQ(third.rfind(" % *** DEBUT IMAGE   3 ***\n", 0), 0u);
    EXPECT_TRUE(contains(third, " % *** FIN IMAGE   3 ***\n"));
    EXPECT_EQ(body(third), body(first));
    vt::expectRendered("KORV.PS");
}

TEST_F(Korval, AnswersChangeTheView) {
    vt::writeFile("tELMA.in", TWO_FACES);
    // D: leading blanks; Th: 45 degrees; Zx: an exponent form.
    const Outcome r = korval("", "\n\n\n   2.5\n45\n\n\n1.5e0\n" + pass(8));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, " D  =    2.5000 :  Th =   45.0000 :  Ps =   60.0000 : ")) << r.out;
    EXPECT_TRUE(contains(r.out, " Zx =    1.5000 : ")) << r.out;
    const std::string now = vt::readFile("KORV.PS");
    korval("", "");
    EXPECT_NE(body(now), body(vt::readFile("KORV.PS")));
}

TEST_F(Korval, NumberBeyondTheFifteenthColumnReadsAsZero) {
    vt::writeFile("tELMA.in", TRIANGLE);
    const Outcome r = korval("", "\n\n\n" + std::string(16, ' ') + "7\n" + pass(4) + pass(8));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, " D  =     .0000 : ")) << r.out;
}

TEST_F(Korval, LetterEndsTheRun) {
    vt::writeFile("tELMA.in", TRIANGLE);
    const Outcome r = korval("", pass(8) + "\n\n\nfin\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    const std::string tail = " D  =    5.0000 : ERREUR NON RECUPERABLE\n";
    ASSERT_GE(r.out.size(), tail.size());
    EXPECT_EQ(r.out.substr(r.out.size() - tail.size()), tail) << r.out;
    const std::string ps = vt::readFile("KORV.PS");
    EXPECT_TRUE(contains(ps, " % *** FIN IMAGE   2 ***\n"));
    vt::expectRendered("KORV.PS");
}

TEST_F(Korval, EndOfInputEndsTheRunInOrder) {
    vt::writeFile("tELMA.in", TRIANGLE);
    const Outcome r = korval("", "\n\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    const std::string tail = " AZ =     .0000 : \nFIN DES REPONSES\n";
    ASSERT_GE(r.out.size(), tail.size());
    EXPECT_EQ(r.out.substr(r.out.size() - tail.size()), tail) << r.out;
    EXPECT_TRUE(contains(vt::readFile("KORV.PS"), " % *** FIN IMAGE   1 ***\n"));
}

TEST_F(Korval, ColouringAddsTheScalePrompts) {
    vt::writeFile("tELMA.in", TWO_FACES);
    vt::writeFile("TELMA.out", REPORT);
    // Raise the lower end above the first value: that face takes the floor.
    const Outcome r = korval("/p", pass(8) + "1\n2\n\n" + pass(11));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, " Zx =    1.0000 :  Ex =     .5000 :  VECTEURS\n"
                                " Min= 1.000E+00 :  Max= 3.000E+00 : "))
        << r.out;
    EXPECT_TRUE(contains(r.out, " Ex =    1.0000 :  VECTEURS\n Min= 2.000E+00 :  Max= 3.000E+00 : "))
        << r.out;
    const std::string ps = vt::readFile("KORV.PS");
    EXPECT_TRUE(contains(ps, " C   .000  .000 1.000 K \n"));  // below the scale
    EXPECT_TRUE(contains(ps, " C  1.000  .000  .000 K \n"));  // the top value
    vt::expectRendered("KORV.PS");
}

TEST_F(Korval, ReportAndDataFoundWithoutRegardToCase) {
    vt::writeFile("TELMA.IN", TWO_FACES);
    vt::writeFile("TELMA.OUT", REPORT);
    const Outcome r = korval("/p", "");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, " Npt, nfa, nfa2 :    7    2    2\n")) << r.out;
}

TEST_F(Korval, FileNamesAfterTheSwitchNameTheCase) {
    // Neither default name exists: what is drawn comes from the named files,
    // found without regard to letter case.
    vt::writeFile("case.in", TWO_FACES);
    vt::writeFile("Case.Rep", REPORT);
    struct Case {
        const char* args;
        const char* summary;
    };
    const Case cases[] = {
        {"/p case.in case.rep", "    7    2    2\n solmin, solmax :   1.000000E+00   3.000000E+00\n"},
        {"-- /F CASE.IN case.rep", "    7    2    2\n solmin, solmax :  -4.000000E+00   2.000000E+00\n"},
        {"x case.in", "    7    2    0\n"},
    };
    for (const auto& c : cases) {
        vt::fs::remove("KORV.PS");
        const Outcome r = korval(c.args, "");
        EXPECT_EQ(r.status, 0) << c.args << r.err;
        EXPECT_TRUE(contains(r.out, std::string(" Npt, nfa, nfa2 :") + c.summary)) << c.args << r.out;
        EXPECT_TRUE(contains(vt::readFile("KORV.PS"), " % *** FIN IMAGE   1 ***\n")) << c.args;
    }
    const Outcome r = korval("/p case.in", "");  // the report's default name
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "TELMA.out")) << r.err;
}

TEST_F(Korval, LoadingFailuresExitWithStatusOne) {
    Outcome r = korval("", "");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("korval: ", 0), 0u) << r.err;
    EXPECT_TRUE(contains(r.err, "tELMA.in")) << r.err;
    EXPECT_FALSE(vt::fs::exists("KORV.PS"));

    vt::writeFile("tELMA.in", "t\n1 0 0 0 0\n3 0 0 0 1 0 zero 0 1 0\n");
    r = korval("", "");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "tELMA.in:3")) << r.err;

    vt::writeFile("tELMA.in", TRIANGLE);
    r = korval("/p", "");  // no report
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "TELMA.out")) << r.err;

    vt::writeFile("TELMA.out", "nothing\n");
    r = korval("/f", "");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "RESULTS")) << r.err;

    std::string big = "big\n13334 0 0 0 0\n";
    for (int i = 0; i < 13334; ++i) big += "3 0 0 0 1 0 0 0 1 0\n";
    vt::writeFile("tELMA.in", big);
    r = korval("", "");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.out, "Nombre de pts>NPMAX\n")) << r.out;
    EXPECT_FALSE(vt::fs::exists("KORV.PS"));
}

TEST_F(Korval, NumbersBeyondSinglePrecisionFailWithoutSpoilingThePicture) {
    struct Case {
        std::string mesh, report, args, answers, err;
    };
    const Case cases[] = {
        {vt::dataFile({{{0, 0, 0}, {1E39, 0, 0}, {0, 1, 0}}}), "", "", "",
         "korval: tELMA.in:3: expected numbers within the range of single-precision reals (vertex 2 of face 1)\n"},
        {TWO_FACES, vt::reportFile({{1.0, 0.0}, {1E39, 0.0}}), "/p", "",
         "korval: TELMA.out:16: expected a value within the range of single-precision reals (row 2)\n"},
        {TRIANGLE, "", "", pass(7) + "1E39\n",
         "korval: standard input: expected a number within the range of single-precision reals, found \"1E39\"\n"},
        {TRIANGLE, "", "", pass(7) + "1E38\n",
         "korval: KORV.PS: the view gives a number that is not finite; the picture is not complete\n"},
    };
    for (const Case& c : cases) {
        vt::writeFile("tELMA.in", c.mesh);
        vt::writeFile("TELMA.out", c.report);
        const Outcome r = korval(c.args, c.answers);
        EXPECT_EQ(r.status, 1) << c.err;
        EXPECT_EQ(r.err, c.err);
        const std::string ps = vt::readFile("KORV.PS");
        EXPECT_FALSE(contains(ps, "NaN") || contains(ps, "Inf")) << ps;
    }
    // The data file named as the picture, in another case: kept.
    std::filesystem::remove("KORV.PS");
    vt::writeFile("korv.ps", TRIANGLE);
    const Outcome r = korval("/o korv.ps", "");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "korval: KORV.PS: is the input file korv.ps; writing it would destroy the input\n");
    EXPECT_EQ(vt::readFile("korv.ps"), TRIANGLE);
}
