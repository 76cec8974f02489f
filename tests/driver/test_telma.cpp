// The telma program as a user runs it: file-name dialogue, failures, exit status.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

struct Result {
    std::string out, err;
    int status;
};

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class Telma : public ::testing::Test {
protected:
    void SetUp() override {
        // Several checkouts may run their tests at once on one machine.
        dir = fs::temp_directory_path() /
              ("telma_run_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "_" +
               std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    Result run(const std::string& args, const std::string& input, const char* exe = TELMA_EXE) {
        std::ofstream(dir / "stdin.txt", std::ios::binary) << input;
        const std::string cmd = "cd '" + dir.string() + "' && '" + exe + "' " + args +
                                " < stdin.txt > stdout.txt 2> stderr.txt";
        const int rc = std::system(cmd.c_str());
        return {slurp(dir / "stdout.txt"), slurp(dir / "stderr.txt"), WIFEXITED(rc) ? WEXITSTATUS(rc) : -1};
    }
    void write(const std::string& name, const std::string& text) { std::ofstream(dir / name, std::ios::binary) << text; }

    fs::path dir;
};

const char* SQUARE = "Unit square\n1 0 0 0 0\n4 0 0 0 1 0 0 1 1 0 0 1 0\n0 1.0\n";

}  // namespace

TEST_F(Telma, EmptyAnswersGiveTheDefaultNames) {
    write("telma.in", SQUARE);  // found although the default is TELMA.IN
    const Result r = run("", "\n   \n");
    EXPECT_EQ(r.out.rfind(" TELMA\n NAME OF INPUT FILE :  NAME OF OUTPUT FILE : ", 0), 0u) << r.out;
    EXPECT_TRUE(fs::exists(dir / "TELMA.OUT"));
    EXPECT_EQ(slurp(dir / "TELMA.OUT").rfind(" ****", 0), 0u);
}

TEST_F(Telma, OneWordEchoesTheInputAndPromptsForTheOutput) {
    write("case.dat", SQUARE);
    const Result r = run("case.dat", "case.rep\n");
    EXPECT_EQ(r.out.rfind(" TELMA\n NAME OF INPUT FILE : case.dat\n NAME OF OUTPUT FILE : ", 0), 0u) << r.out;
    EXPECT_TRUE(fs::exists(dir / "case.rep"));
}

TEST_F(Telma, TwoWordsPromptForNothing) {
    write("case.dat", SQUARE);
    const Result r = run("case.dat out.rep ignored", "");
    EXPECT_EQ(r.out.rfind(" TELMA\n NAME OF INPUT FILE : case.dat\n NAME OF OUTPUT FILE : out.rep\n", 0), 0u)
        << r.out;
    EXPECT_TRUE(fs::exists(dir / "out.rep"));
}

TEST_F(Telma, NamesAreCutTo80Characters) {
    // The echo shows the whole word; the name is what the 80-character buffer
    // holds.  A typed name also loses its trailing blanks.
    const std::string in80(80, 'i'), out80(80, 'o');
    write(in80, SQUARE);
    Result r = run(in80 + "xyz", out80 + "xyz   \n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind(" TELMA\n NAME OF INPUT FILE : " + in80 + "xyz\n NAME OF OUTPUT FILE : ", 0), 0u) << r.out;
    EXPECT_EQ(r.err, "telma: NAME LONGER THAN 80 CHARACTERS, CUT TO: " + in80 + "\n" +
                         "telma: NAME LONGER THAN 80 CHARACTERS, CUT TO: " + out80 + "\n");
    EXPECT_TRUE(fs::exists(dir / out80));
    r = run(in80 + "xyz " + out80 + "xyz", "");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(" NAME OF OUTPUT FILE : " + out80 + "xyz\n"), std::string::npos) << r.out;
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 5);  // 2 names + 3 logs
    write("case.dat", SQUARE);
    r = run("", "case.dat  \ncase.rep \n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(dir / "case.rep"));
}

TEST_F(Telma, MissingDataFileFailsBeforeTheReportIsOpened) {
    const Result r = run("nothing.in out.rep", "");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "telma: nothing.in: cannot open the file for reading (it must exist)\n");
    EXPECT_FALSE(fs::exists(dir / "out.rep"));
}

TEST_F(Telma, RunsThatWouldLoseTheDataOrGuessANameFailAndKeepIt) {
    struct Case {
        const char* args;
        const char* input;
        const char* err;
    };
    const Case cases[] = {
        {"", "", "telma: standard input: end of input, expected the input file name\n"},
        {"d.in", "", "telma: standard input: end of input, expected the output file name\n"},
        {"d.in D.IN", "", "telma: D.IN: is the input file d.in; writing it would destroy the input\n"},
        {"d.in ./d.in", "", "telma: ./d.in: is the input file d.in; writing it would destroy the input\n"},
        {"d.in link.in", "", "telma: link.in: is the input file d.in; writing it would destroy the input\n"},
        {"", "D.in\nd.IN\n", "telma: d.IN: is the input file D.in; writing it would destroy the input\n"},
        {"sub out.rep", "", "telma: sub: is a folder, not a file\n"},
    };
    for (const Case& c : cases) {
        write("d.in", SQUARE);
        write("TELMA.IN", SQUARE);
        fs::create_symlink("d.in", dir / "link.in");
        fs::create_directory(dir / "sub");
        const Result r = run(c.args, c.input);
        EXPECT_EQ(r.status, 1) << c.args;
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(slurp(dir / "d.in"), SQUARE) << c.args;
        EXPECT_FALSE(fs::exists(dir / "TELMA.OUT") || fs::exists(dir / "out.rep")) << c.args;
        fs::remove(dir / "link.in");
    }
}

TEST_F(Telma, MalformedDataFileReportsFileAndLine) {
    write("bad.in", "T\n1 0 0 0 0\n4.5 0 0 0\n");
    const Result r = run("bad.in bad.out", "");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "telma: bad.in:3: expected an integer (NPE of element 1), found \"4.5\"\n");
    EXPECT_NE(slurp(dir / "bad.out").find("POINT"), std::string::npos);
}

TEST_F(Telma, TooManyElementsIsAFatalError) {
    write("big.in", "Big\n4601 0 0 0 0\n");
    const Result r = run("big.in big.out", "");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find(" TOO MANY ELEMENTS :4601/4600 (maximum)\n*** FATAL ERROR ***\n"), std::string::npos);
}

TEST_F(Telma, CommandLines) {
    // Each program: --help and --version answer on standard output and touch
    // no file; a bad command line gets its message and the usage on standard
    // error, status 2, and touches no file either.
    struct Case {
        const char* exe;
        const char* args;
        int status;
        const char* out;  // the start of standard output
        const char* err;  // the first line of standard error
    };
    const Case cases[] = {
        {TELMA_EXE, "--help", 0, "telma: solves", ""},
        {TELMA_EXE, "--version case.dat", 0, "telma " TELMA_VERSION "\n", ""},
        {TELMA_EXE, "--bogus case.dat", 2, "", "telma: unknown option \"--bogus\""},
        {TELMA_EXE, "--help=1", 2, "", "telma: --help takes no value"},
        {TELMA_EXE, "--solver", 2, "", "telma: --solver needs a value: --solver=gs, lu or hmat"},
        {TELMA_EXE, "--solver=cg", 2, "", "telma: --solver: expected gs, lu or hmat, found \"cg\""},
        {TELMA_EXE, "--tol=0", 2, "", "telma: --tol: expected a positive number, found \"0\""},
        {TELMA_EXE, "--tol=1e999", 2, "", "telma: --tol: expected a positive number, found \"1e999\""},
        {TELMA_EXE, "--tol=x", 2, "", "telma: --tol: expected a positive number, found \"x\""},
        {TELMA_EXE, "--vtu=", 2, "", "telma: --vtu needs a value: --vtu=FILE"},
        {TELMA_EXE, "--unfold", 2, "", "telma: --unfold needs --vtu=FILE"},
        {TELMA_EXE, "--eps-r=2", 2, "", "telma: --eps-r needs --capacitance"},
        {TELMA_EXE, "--capacitance --length-unit=ft", 2, "", "telma: --length-unit: expected m, cm, mm or um, found \"ft\""},
        {TELMA_EXE, "case.dat --solver=gs", 2, "", "telma: options come before the file names: \"--solver=gs\""},
        {TELMA_EXE, "--solver=hmat case.dat out.rep", 2, "", "telma: --solver=hmat is not available in this build"},
        {KORVAL_EXE, "--help", 0, "korval: draws", ""},
        {KORVAL_EXE, "--version /p", 0, "korval " TELMA_VERSION "\n", ""},
        {KORVAL_EXE, "--colour", 2, "", "korval: unknown option \"--colour\""},
        {KORVAL_EXE, "/p --help", 2, "", "korval: options come before the switch: \"--help\""},
        {MESH_EXE, "--help", 0, "telma-mesh: writes", ""},
        {MESH_EXE, "--version", 0, "telma-mesh " TELMA_VERSION "\n", ""},
        {BENCH_EXE, "--help", 0, "telma-bench: times", ""},
        {BENCH_EXE, "--version", 0, "telma-bench " TELMA_VERSION "\n", ""},
        {BENCH_EXE, "--runs", 2, "", "telma-bench: unknown option or missing value \"--runs\""},
        {BENCH_EXE, "--load=2", 2, "", "telma-bench: unknown option or missing value \"--load=2\""},
    };
    write("case.dat", SQUARE);
    for (const Case& c : cases) {
        const std::string line = std::string(c.exe) + " " + c.args;
        const Result r = run(c.args, "", c.exe);
        EXPECT_EQ(r.status, c.status) << line << "\n" << r.err;
        EXPECT_EQ(r.out.rfind(c.out, 0), 0u) << line << "\n" << r.out;
        EXPECT_EQ(r.err.substr(0, r.err.find('\n')), c.err) << line;
        const std::string prog = fs::path(c.exe).filename().string();
        if (c.status == 2 && r.err.find("not available") == std::string::npos) {
            EXPECT_NE(r.err.find("\nUsage: " + prog + " "), std::string::npos) << line << "\n" << r.err;
        }
        EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 4) << line;  // case.dat + 3 logs
    }
}

TEST_F(Telma, OptionsSetTheSolve) {
    // The classic solve by its options gives the classic run; --tol stops the
    // sweeps earlier; "--" ends the options.
    fs::copy_file(fs::path(EXAMPLES_DIR) / "cube.in", dir / "cube.in");
    const Result plain = run("cube.in plain.rep", "");
    const Result gs = run("--solver=gs --tol=1.0E-8 -- cube.in gs.rep", "");
    EXPECT_EQ(gs.status, 0) << gs.err;
    EXPECT_EQ(slurp(dir / "gs.rep"), slurp(dir / "plain.rep"));
    EXPECT_EQ(gs.out.substr(gs.out.find("\n\n")), plain.out.substr(plain.out.find("\n\n")));
    const Result loose = run("--tol=1e-2 cube.in loose.rep", "");
    EXPECT_EQ(loose.status, 0) << loose.err;
    EXPECT_NE(loose.out.find(" Niter :  5  RMS error : 7.359E-03\n Elapsed"), std::string::npos) << loose.out;
}

TEST_F(Telma, CapacitanceMatrixAndItsRefusals) {
    // spheres.in is the quarter of two spheres, its own potentials those of
    // conductor 1's column: the matrix is four times CURRENTS there, and the
    // block in farads is the same times eps0 x eps-r x the unit; lu gives
    // the matrix of gs.
    fs::copy_file(fs::path(EXAMPLES_DIR) / "spheres.in", dir / "spheres.in");
    std::string rep;
    auto numbers = [&](const std::string& from, int n) {
        std::istringstream in(rep.substr(rep.find(from) + from.size()));
        std::vector<double> v(n);
        std::string word;
        for (double& x : v) in >> word >> x;  // the colon of FLUX  1 :, or the group of a row
        return v;
    };
    Result r;
    std::vector<double> gs;
    for (const std::string solver : {"", "--solver=lu "}) {
        r = run(solver + "--capacitance --length-unit=cm --eps-r=2 spheres.in s.rep", "");
        ASSERT_EQ(r.status, 0) << r.out;
        rep = slurp(dir / "s.rep");
        const auto flux = numbers("\n CURRENTS\n\n FLUX  1", 1);
        const auto c = numbers("\n CAPACITANCE\n\n", 2), f = numbers("\n CAPACITANCE (F)\n\n", 2);
        EXPECT_NEAR(c[0], 4 * flux[0], 1e-5 * c[0]);
        EXPECT_NEAR(f[0], 8.8541878128e-12 * 2 * 0.01 * c[0], 1e-5 * f[0]);
        EXPECT_TRUE(r.out.find("\n CAPACITANCE\n\n    1     ") != std::string::npos) << r.out;
        if (gs.empty()) gs = c;
        EXPECT_NEAR(c[1], gs[1], 1e-5 * c[0]) << solver;
    }

    const struct {
        const char* data;
        const char* message;
    } refused[] = {
        {SQUARE, " NO FLUX GROUP (NEGATIVE CODE): THERE IS NO CONDUCTOR\n"},
        {"Two squares\n2 0 0 0 0\n4 0 0 0 1 0 0 1 1 0 0 1 0\n4 0 0 1 1 0 1 1 1 1 0 1 1\n-1 1.0\n1 2.5\n",
         " ELEMENT    2 HAS THE NORMAL DERIVATIVE 2.50000E+00: A CAPACITANCE NEEDS EVERY PRESCRIBED DERIVATIVE 0\n"},
        {"Odd\n1 0 0 -1 0\n4 0 0 1 1 0 1 1 1 1 0 1 1\n-1 1.0\n", " ODD SYMMETRY PLANE Z = 0: EACH CONDUCTOR"},
    };
    for (const auto& c : refused) {
        write("case.dat", c.data);
        r = run("--capacitance case.dat case.rep", "");
        EXPECT_EQ(r.status, 1) << c.data;
        EXPECT_NE(r.out.find(c.message), std::string::npos) << r.out;
    }
}
