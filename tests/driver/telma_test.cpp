// The telma program as a user runs it: file-name dialogue, failures, exit
// status, and korval drawing what telma solved.
#include <gtest/gtest.h>

#include <cmath>
#include <regex>

#include "viewer/support.hpp"

namespace fs = std::filesystem;

namespace {

// Each test in a scratch directory of its own: checkouts may run their tests at once.
class Telma : public ::testing::Test {
protected:
    vt::Run telma(const std::string& args, const std::string& input = "") { return vt::runProgram("'" TELMA_EXE "' " + args, input); }
    vt::ScratchDir dir;
};

const char* SQUARE = "Unit square\n1 0 0 0 0\n4 0 0 0 1 0 0 1 1 0 0 1 0\n0 1.0\n";

}  // namespace

TEST_F(Telma, FileNameDialogue) {
    const std::string in80(80, 'i'), out80(80, 'o'), cut = "telma: NAME LONGER THAN 80 CHARACTERS, CUT TO: ";
    vt::writeFile("telma.in", SQUARE);  // found although the default is TELMA.IN
    vt::writeFile("case.dat", SQUARE);
    vt::writeFile(in80, SQUARE);
    const struct { std::string args, input, console, report, err; } cases[] = {
        {"", "\n   \n", " NAME OF INPUT FILE :  NAME OF OUTPUT FILE : ", "TELMA.OUT", ""},
        {"case.dat", "case.rep\n", " NAME OF INPUT FILE : case.dat\n NAME OF OUTPUT FILE : ", "case.rep", ""},
        {"case.dat out.rep ignored", "", " NAME OF INPUT FILE : case.dat\n NAME OF OUTPUT FILE : out.rep\n", "out.rep", ""},
        {"", "case.dat  \ncase.rep2 \n", " NAME OF INPUT FILE :  NAME OF OUTPUT FILE : ", "case.rep2", ""},
        // the echo shows the whole word; the name is what 80 characters hold
        {in80 + "xyz", out80 + "xyz   \n", " NAME OF INPUT FILE : " + in80 + "xyz\n NAME OF OUTPUT FILE : ", out80,
         cut + in80 + "\n" + cut + out80 + "\n"},
    };
    for (const auto& c : cases) {
        fs::remove(c.report);
        const vt::Run r = telma(c.args, c.input);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.out.rfind(" TELMA\n" + c.console, 0), 0u) << r.out;
        EXPECT_EQ(vt::readFile(c.report).rfind(" ****", 0), 0u) << c.report;
    }
}

// Runs that cannot read their data, or would lose it or guess a name: the data kept, no report but
// the one written up to a data file's failing line.
TEST_F(Telma, FailuresSayWhatAndWhere) {
    const struct { const char *args, *err; } cases[] = {
        {"nothing.in out.rep", "telma: nothing.in: cannot open the file for reading (it must exist)\n"},
        {"", "telma: standard input: end of input, expected the input file name\n"},
        {"d.in", "telma: standard input: end of input, expected the output file name\n"},
        {"d.in D.IN", "telma: D.IN: is the input file d.in; writing it would destroy the input\n"},
        {"d.in link.in", "telma: link.in: is the input file d.in; writing it would destroy the input\n"},
        {"sub out.rep", "telma: sub: is a folder, not a file\n"},
        {"bad.in bad.out", "telma: bad.in:3: expected an integer (NPE of element 1), found \"4.5\"\n"},
    };
    vt::writeFile("d.in", SQUARE);
    vt::writeFile("TELMA.IN", SQUARE);
    vt::writeFile("bad.in", "T\n1 0 0 0 0\n4.5 0 0 0\n");
    fs::create_symlink("d.in", "link.in");
    fs::create_directory("sub");
    for (const auto& c : cases) {
        const vt::Run r = telma(c.args);
        EXPECT_EQ(r.status, 1) << c.args;
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(vt::readFile("d.in"), SQUARE) << c.args;
        EXPECT_FALSE(fs::exists("TELMA.OUT") || fs::exists("out.rep")) << c.args;
    }
    EXPECT_NE(vt::readFile("bad.out").find("POINT"), std::string::npos);
}

// telma then korval in one directory with their default names: the bottom
// face at potential 0 is pure blue, the top at 1 pure red.
TEST_F(Telma, SolvedCubeGivesAColouredPicture) {
    fs::copy_file(fs::path(EXAMPLES_DIR) / "cube.in", "TELMA.IN");
    ASSERT_EQ(vt::runProgram("'" TELMA_EXE "'", "\n\n").status, 0);  // the default names
    ASSERT_EQ(vt::runProgram("'" KORVAL_EXE "' /p").status, 0);
    const std::string pic = vt::readFile("KORV.PS");
    EXPECT_NE(pic.find(" C   .000  .000 1.000 K"), std::string::npos);
    EXPECT_NE(pic.find(" C  1.000  .000  .000 K"), std::string::npos);
}

// Each program: --help and --version answer on standard output; a bad command line gets its message
// and the usage on standard error, status 2; none of them touches a file.
TEST_F(Telma, CommandLines) {
    // out: the start of standard output; err: the first line of standard error
    const struct { const char *exe, *args; int status; const char *out, *err; } cases[] = {
        {TELMA_EXE, "--help", 0, "telma: solves", ""},
        {TELMA_EXE, "--version case.dat", 0, "telma " TELMA_VERSION "\n", ""},
        {TELMA_EXE, "--bogus case.dat", 2, "", "telma: unknown option \"--bogus\""},
        {TELMA_EXE, "--solver=cg", 2, "", "telma: --solver: expected gs, lu or hmat, found \"cg\""},
        {TELMA_EXE, "--eps-r=2", 2, "", "telma: --eps-r needs --capacitance or --media"},
        {TELMA_EXE, "case.dat --solver=gs", 2, "", "telma: options come before the file names: \"--solver=gs\""},
        {TELMA_EXE, "--tol", 2, "", "telma: --tol needs a value"},
        {TELMA_EXE, "--unfold=yes case.dat", 2, "", "telma: --unfold takes no value"},
        {TELMA_EXE, "--v=x case.dat", 2, "", "telma: ambiguous option \"--v=x\""},
        {KORVAL_EXE, "--vers", 0, "korval " TELMA_VERSION "\n", ""},
        {TELMA_EXE, "--vtu=no-dir/x.vtu case.dat case.rep", 1, " TELMA\n", "telma: no-dir/x.vtu: cannot create the file for writing (No such file or directory)"},
        {KORVAL_EXE, "--help", 0, "korval: draws", ""},
        {KORVAL_EXE, "/p --help", 2, "", "korval: options come before the switch: \"--help\""},
        {MESH_EXE, "--help", 0, "telma-mesh: writes", ""},
        {MESH_EXE, "--version", 0, "telma-mesh " TELMA_VERSION "\n", ""},
        {BENCH_EXE, "--version", 0, "telma-bench " TELMA_VERSION "\n", ""},
        {BENCH_EXE, "--runs", 2, "", "telma-bench: unknown option or missing value \"--runs\""},
    };
    vt::writeFile("case.dat", SQUARE);
    for (const auto& c : cases) {
        const std::string line = std::string(c.exe) + " " + c.args;
        const vt::Run r = vt::runProgram(std::string("'") + c.exe + "' " + c.args);
        EXPECT_EQ(r.status, c.status) << line << "\n" << r.err;
        EXPECT_EQ(r.out.rfind(c.out, 0), 0u) << line << "\n" << r.out;
        EXPECT_EQ(r.err.substr(0, r.err.find('\n')), c.err) << line;
        if (c.status == 2) { EXPECT_NE(r.err.find("\nUsage: " + fs::path(c.exe).filename().string() + " "), std::string::npos) << line; }
        EXPECT_EQ(std::distance(fs::directory_iterator("."), fs::directory_iterator()), 4) << line;  // case.dat + 3 logs
    }
}

// The classic solve by its options gives the classic run (their values after
// a blank, a name shortened); --tol stops the sweeps earlier; "--" ends the options.
TEST_F(Telma, OptionsSetTheSolve) {
    fs::copy_file(fs::path(EXAMPLES_DIR) / "cube.in", "cube.in");
    const vt::Run plain = telma("cube.in plain.rep"), gs = telma("--solver gs --to 1.0E-8 -- cube.in gs.rep");
    EXPECT_EQ(gs.status, 0) << gs.err;
    // the same report; with options it keeps the warning of point 2, a quarter of the 1 x 1 face
    // from the bottom (its potential 0.281 where 0.25 is exact), which both runs give on standard error
    const std::string near = "telma: warning: internal point 2 lies 0.25 element sizes from element 1: its values are "
                             "not accurate there (keep points half an element size or more from the boundary)\n";
    EXPECT_EQ(vt::readFile("gs.rep"), vt::readFile("plain.rep") + "\n *** NOTE: INTERNAL POINT       2 LIES   .250 ELEMENT "
                                                                   "SIZES FROM ELEMENT       1: ITS VALUES ARE NOT ACCURATE\n");
    EXPECT_EQ(std::pair(gs.err, plain.err), std::pair(near, near));
    // the consoles from the dominance line to the last sweep (the times differ)
    auto sweeps = [](const std::string& out) { return out.substr(out.find("\n\n"), out.find(" Elapsed") - out.find("\n\n")); };
    EXPECT_EQ(sweeps(gs.out), sweeps(plain.out));
    const vt::Run loose = telma("--tol=1e-2 cube.in loose.rep");
    EXPECT_EQ(loose.status, 0) << loose.err;
    EXPECT_NE(loose.out.find(" Niter :  5  RMS error : 7.359E-03\n Elapsed"), std::string::npos) << loose.out;
    // the compressed solve: the report up to the internal points (their gradients' rounding noise
    // differs), its own console, nothing else on standard error (the leak checker of a sanitized build
    // reports the allocations of the components that OpenMPI, started by PETSc, unloads at its end)
    const vt::Run hm = vt::runProgram("ASAN_OPTIONS=detect_leaks=0 '" TELMA_EXE "' --solver=hmat cube.in hm.rep");
    EXPECT_EQ(std::pair(hm.status, hm.err), std::pair(0, near));
    const std::string hmRep = vt::readFile("hm.rep"), plainRep = vt::readFile("plain.rep");
    EXPECT_EQ(hmRep.substr(0, hmRep.find("  INTERNAL")), plainRep.substr(0, plainRep.find("  INTERNAL")));
    EXPECT_NE(hm.out.find(" Relative residual ||B - A x||/||B|| :"), std::string::npos) << hm.out;
    // a tolerance it cannot reach: status 1, and the report says so in GMRES's terms
    const vt::Run tight = vt::runProgram("ASAN_OPTIONS=detect_leaks=0 '" TELMA_EXE "' --solver=hmat --tol=1e-20 cube.in t.rep");
    EXPECT_EQ(tight.status, 1) << tight.out;
    EXPECT_TRUE(std::regex_search(vt::readFile("t.rep"), std::regex(" GMRES ITERATIONS THE RELATIVE RESIDUAL WAS [ 0-9]\\.[0-9]{3}E-[0-9]{2} "
                                                                    "\\(TOLERANCE 1\\.000E-20\\)\n")));
}

TEST_F(Telma, CapacitanceMatrixAndItsRefusals) {
    // spheres.in is the quarter of two spheres, its own potentials those of conductor 1's column:
    // the matrix is four times CURRENTS there, in farads times eps0 x eps-r x the unit; lu and hmat
    // give the matrix of gs.
    fs::copy_file(fs::path(EXAMPLES_DIR) / "spheres.in", "spheres.in");
    std::string rep;
    auto numbers = [&](const std::string& from, int n) {
        std::istringstream in(rep.substr(rep.find(from) + from.size()));
        std::vector<double> v(n);
        std::string word;
        for (double& x : v) in >> word >> x;  // the colon of FLUX  1 :, or the group of a row
        return v;
    };
    vt::Run r;
    std::vector<double> gs;
    for (const std::string solver : {"", "--solver=lu ", "--solver=hmat "}) {
        r = telma(solver + "--capacitance --length-unit=cm --eps-r=2 spheres.in s.rep");
        ASSERT_EQ(r.status, 0) << r.out;
        rep = vt::readFile("s.rep");
        const auto flux = numbers("\n CURRENTS\n\n FLUX  1", 1);
        const auto c = numbers("\n CAPACITANCE\n\n", 2), f = numbers("\n CAPACITANCE (F)\n\n", 2);
        EXPECT_NEAR(c[0], 4 * flux[0], 1e-5 * c[0]);
        EXPECT_NEAR(f[0], 8.8541878128e-12 * 2 * 0.01 * c[0], 1e-5 * f[0]);
        EXPECT_TRUE(r.out.find("\n CAPACITANCE\n\n    1     ") != std::string::npos) << r.out;
        if (gs.empty()) gs = c;
        EXPECT_NEAR(c[1], gs[1], 1e-5 * c[0]) << solver;
    }
    // one conductor at potential 1, the data's own right-hand side: solved once, C = FLUX
    fs::copy_file(fs::path(EXAMPLES_DIR) / "sphere.in", "sphere.in");
    r = telma("--solver=hmat --capacitance sphere.in s.rep");
    ASSERT_EQ(r.status, 0) << r.out;
    rep = vt::readFile("s.rep");
    EXPECT_EQ(numbers("\n CAPACITANCE\n\n", 1)[0], numbers("\n CURRENTS\n\n FLUX  1", 1)[0]);
    EXPECT_EQ(r.out.find(" GMRES iterations :"), r.out.rfind(" GMRES iterations :")) << r.out;
    const struct { const char *data, *message; } refused[] = {
        {SQUARE, " NO FLUX GROUP (NEGATIVE CODE): THERE IS NO CONDUCTOR\n"},
        {"Two squares\n2 0 0 0 0\n4 0 0 0 1 0 0 1 1 0 0 1 0\n4 0 0 1 1 0 1 1 1 1 0 1 1\n-1 1.0\n1 2.5\n",
         " ELEMENT    2 HAS THE NORMAL DERIVATIVE 2.50000E+00: A CAPACITANCE NEEDS EVERY PRESCRIBED DERIVATIVE 0\n"},
        {"Odd\n1 0 0 -1 0\n4 0 0 1 1 0 1 1 1 1 0 1 1\n-1 1.0\n", " ODD SYMMETRY PLANE Z = 0: EACH CONDUCTOR"},
    };
    for (const auto& c : refused) {
        vt::writeFile("case.dat", c.data);
        r = telma("--capacitance case.dat case.rep");
        EXPECT_EQ(r.status, 1) << c.data;
        EXPECT_NE(r.out.find(c.message), std::string::npos) << r.out;
    }
}

// Hostile or mistaken inputs and faults: each ends with its message and status, never with a
// wrong answer and status 0, and no file is lost.
TEST_F(Telma, HostileCasesEndAsTheyShould) {
    const std::string mesh = "'" MESH_EXE "' ", solve = "env ASAN_OPTIONS=detect_leaks=0 '" TELMA_EXE "' ", view = "'" KORVAL_EXE "' ";
    fs::copy_file(fs::path(EXAMPLES_DIR) / "cube.in", "cube.in");
    ASSERT_EQ(vt::runProgram(mesh + "box --div 3 --face zmin q=1 --face zmax q=1 --face xmin q=1 --face xmax q=1 "
                                    "--face ymin q=1 --face ymax q=1 -o neumann.in").status, 0);
    ASSERT_EQ(vt::runProgram(mesh + "sphere --level 1 --radius 1e12 -o huge.in").status, 0);
    // every element twice: the cube's records doubled
    std::string twice = vt::readFile("cube.in");
    {
        std::istringstream in(twice);
        std::string title, line;
        std::getline(in, title);
        int n = 0, s1, s2, s3, nip;
        in >> n >> s1 >> s2 >> s3 >> nip;
        std::getline(in, line);
        std::vector<std::string> el(n), bc(n);
        for (auto& e : el) std::getline(in, e);
        for (auto& b : bc) std::getline(in, b);
        std::ostringstream out;
        out << title << "\n" << 2 * n << " 0 0 0 0\n";
        for (int k = 0; k < 2; ++k) for (auto& e : el) out << e << "\n";
        for (int k = 0; k < 2; ++k) for (auto& b : bc) out << b << "\n";
        twice = out.str();
    }
    vt::writeFile("twice.in", twice);
    std::string flag2 = vt::readFile("cube.in");
    flag2.replace(flag2.find('\n') + 1, flag2.find('\n', flag2.find('\n') + 1) - flag2.find('\n') - 1, "6 2 0 0 2");
    vt::writeFile("flag2.in", flag2);
    vt::writeFile("case_points.vtu", SQUARE);
    vt::writeFile("cut.in", "T\n1 0 0 0 0\n4.5 0 0 0\n");
    vt::writeFile("tenmillion.in", "T\n10000000 0 0 0 0\n");
    vt::writeFile("keep.rep", "the previous report\n");
    // where: "out" standard output, "err" standard error, "rep" the report out.rep
    const struct { std::string command; int status; const char* where; const char* says; } cases[] = {
        {solve + "--solver=lu neumann.in out.rep", 1, "rep", " THE LU SOLVE LEFT THE RELATIVE RESIDUAL"},
        {solve + "--solver=lu neumann.in out.rep", 1, "err", "the potential is fixed only up to a constant; the prescribed fluxes"},
        {solve + "neumann.in out.rep", 1, "err", "telma: hint: the Gauss-Seidel sweeps did not converge; solve it with --solver=lu (its dense matrix needs "},
        {solve + "twice.in out.rep", 1, "out", " ELEMENTS    1 AND    7 COINCIDE: THEY HAVE THE SAME CORNERS\n"},
        {solve + "--solver=lu twice.in out.rep", 1, "out", " ELEMENTS    1 AND    7 COINCIDE"},
        {solve + "--solver=hmat twice.in out.rep", 1, "out", " ELEMENTS    1 AND    7 COINCIDE"},
        {solve + "--solver=gs flag2.in out.rep", 1, "out", " SYMMETRY FLAG           2 OF THE PLANE X = 0: 1 (EVEN), -1 (ODD) OR 0 (NONE) EXPECTED\n"},
        {solve + "flag2.in out.rep", 0, "err", "telma: warning: the symmetry flag 2 of the plane X = 0 is taken as 0"},
        // with options a refused run's report says why, as its console did
        {solve + "--solver=gs flag2.in out.rep", 1, "rep", "\n\n *** THE RUN STOPPED: SYMMETRY FLAG           2 OF THE PLANE X = 0"},
        {solve + "--solver=lu cut.in out.rep", 1, "rep", "\n *** THE RUN STOPPED: cut.in:3: expected an integer (NPE of element 1), found \"4.5\"\n"},
        {solve + "--capacitance --eps-r=1e308 huge.in out.rep", 1, "out", " THE CAPACITANCE IS NOT A FINITE NUMBER IN FARADS"},
        // refused before any of it is taken, its estimate said
        {solve + "--solver=hmat tenmillion.in out.rep", 1, "err",
         "telma: tenmillion.in:2: the compressed operator and the tables of 10000000 elements need about "},
        {solve + "--solver=hmat tenmillion.in out.rep", 1, "out", " Memory estimate : "},
        {solve + "--solver=hmat cube.in out.rep", 0, "out", " Memory estimate : "},
        {solve + "--vtu=case.vtu case_points.vtu out.rep", 1, "err", "telma: case_points.vtu: is the input file case_points.vtu"},
        {solve + "--vtu=out.rep cube.in out.rep", 1, "err", "telma: out.rep: is also the output out.rep; one of the two would be lost"},
        {"(trap '' XFSZ; ulimit -f 1; exec " + solve + "cube.in keep.rep)", 1, "err",
         "telma: keep.rep: writing the report failed (File too large)"},
        {"(" + solve + "cube.in cube.rep >/dev/null && exec " + view + "/p huge.in cube.rep)", 1, "err",
         "korval: cube.rep:40: the node of row 1 lies outside face 1 of huge.in: the report is not that of this mesh"},
        // killed while it reads: the previous report is whole
        {"(mkfifo data; (printf 'T\\n1 0 0 0 0\\n'; exec sleep 20) >data & w=$!; " + solve + "data keep.rep & p=$!; "
         "until ls .keep.rep.*.tmp >/dev/null 2>&1; do sleep 0.1; done; kill -9 $p; kill $w; exit 1)", 1, "", ""},
    };
    for (const auto& c : cases) {
        fs::remove("out.rep");
        const vt::Run r = vt::runProgram(c.command);
        EXPECT_EQ(r.status, c.status) << c.command << "\n" << r.out << r.err;
        const std::string text = std::string(c.where) == "out" ? r.out : std::string(c.where) == "err" ? r.err : vt::readFile("out.rep");
        EXPECT_NE(text.find(c.says), std::string::npos) << c.command << "\n" << text;
        EXPECT_EQ(vt::readFile("keep.rep"), "the previous report\n") << c.command;
        EXPECT_EQ(vt::readFile("case_points.vtu"), SQUARE);
    }
    // two runs writing one report at once leave one whole report, not a mixture of both
    EXPECT_EQ(vt::runProgram("(" + solve + "cube.in same.rep >/dev/null & " + solve + "cube.in same.rep >/dev/null; wait)").status, 0);
    EXPECT_EQ(vt::readFile("same.rep"), vt::readFile("cube.rep"));
    // a folder named like the points file is refused before the solve
    fs::create_directory("v_points.vtu");
    const vt::Run folder = vt::runProgram(solve + "--vtu=v.vtu cube.in out.rep");
    EXPECT_EQ(std::pair(folder.status, folder.err), std::pair(1, std::string("telma: v_points.vtu: is a folder, not a file\n")));
    EXPECT_FALSE(fs::exists("out.rep"));
}

// A run with options ends with its summary line, and --json writes what the report says in a form
// a script reads (read back here by Python's json module), a refused run's too.
TEST_F(Telma, SummaryLineAndJson) {
    fs::copy_file(fs::path(EXAMPLES_DIR) / "spheres.in", "spheres.in");
    vt::writeFile("bad.in", "T\n1 0 0 0 0\n4.5 0 0 0\n");
    auto field = [](const std::string& expr) {
        return vt::runProgram("python3 -c \"import json; d = json.load(open('s.json')); print(" + expr + ")\"").out;
    };
    const struct { std::string args, line; } runs[] = {
        {"--solver=lu --capacitance --json=s.json spheres.in s.rep", "solver lu, factorisation and solve +[0-9]*\\.[0-9]{2} s\n$"},
        {"--solver=gs --json=s.json spheres.in s.rep", "solver gs, +[0-9]+ sweeps +[0-9]*\\.[0-9]{2} s\n$"},
        {"--solver=hmat --json=s.json spheres.in s.rep", "solver hmat, +[0-9]+ iterations +[0-9]*\\.[0-9]{2} s\n$"},
    };
    for (const auto& c : runs) {
        const vt::Run r = vt::runProgram("ASAN_OPTIONS=detect_leaks=0 '" TELMA_EXE "' " + c.args);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(std::regex_search(r.out, std::regex("\n Whole run +[0-9]*\\.[0-9]{2} s, peak memory +[0-9]+ MB, " + c.line))) << r.out;
        const std::string rep = vt::readFile("s.rep");
        const std::string flux = rep.substr(rep.find(" FLUX  1 :") + 10, 12);
        EXPECT_NEAR(std::stod(field("d['fluxes'][0]['flux']")), std::stod(flux), 1e-5 * std::fabs(std::stod(flux))) << c.args;
        EXPECT_EQ(field("d['status'], d['result'], d['elements'], d['why']"), "0 solved 672 None\n");
    }
    // the capacitance matrix of the lu run, against its report
    ASSERT_EQ(vt::runProgram("'" TELMA_EXE "' --solver=lu --capacitance --json=s.json spheres.in s.rep").status, 0);
    const std::string rep = vt::readFile("s.rep");
    std::istringstream c(rep.substr(rep.find("\n CAPACITANCE\n\n") + 16));
    int group = 0;
    double c11 = 0, c12 = 0;
    c >> group >> c11 >> c12;
    EXPECT_NEAR(std::stod(field("d['capacitance']['matrix'][0][1]")), c12, 1e-5 * c11);
    EXPECT_EQ(field("d['capacitance']['groups'], d['steps']['kind'], d['residual'] < d['tolerance']"), "[1, 2] factorisation True\n");
    // a refused run: its summary says why
    const vt::Run bad = vt::runProgram("'" TELMA_EXE "' --solver=lu --json=s.json bad.in s.rep");
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.out.find("solver lu, stopped before the solve\n"), std::string::npos) << bad.out;
    EXPECT_EQ(field("d['status'], d['result'], d['why']"), "1 stopped bad.in:3: expected an integer (NPE of element 1), found \"4.5\"\n");
}
