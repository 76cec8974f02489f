// Shared helpers of the viewer and program tests: a scratch working directory,
// files, a program run, a fresh viewer state, solver files, Ghostscript rendering.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "QVLIB/PGRPH2/pgrph2.hpp"
#include "textio/textio.hpp"
#include "viewer/korval.hpp"

namespace vt {

namespace fs = std::filesystem;

// A fresh directory, the working directory while the object lives.
class ScratchDir {
    fs::path previous_ = fs::current_path(), dir_ = (fs::temp_directory_path() / "korval-test-XXXXXX").string();

public:
    ScratchDir() {
        std::string t = dir_.string();
        if (mkdtemp(t.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        fs::current_path(dir_ = t);
    }
    ~ScratchDir() { std::error_code ec; fs::current_path(previous_, ec); fs::remove_all(dir_, ec); }
};

inline void writeFile(const fs::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }

inline std::string readFile(const fs::path& p) {
    std::ostringstream s;
    s << std::ifstream(p, std::ios::binary).rdbuf();
    return s.str();
}

// `command` in the working directory with `input` on standard input: exit
// status, standard output and standard error.
struct Run { int status = -1; std::string out, err; };

inline Run runProgram(const std::string& command, const std::string& input = "") {
    writeFile("stdin.txt", input);
    const int w = std::system((command + " <stdin.txt >stdout.txt 2>stderr.txt").c_str());
    return {WIFEXITED(w) ? WEXITSTATUS(w) : -1, readFile("stdout.txt"), readFile("stderr.txt")};
}

// The viewer state as at program start, with the default view.
inline void resetViewer() {
    using namespace korval;
    ICOL = IPOT = Npt = nfa = nfa2 = 0;
    NP.fill(0);
    for (auto& p : XYZ) p[0] = p[1] = p[2] = p[3] = 0;
    VAL.fill(0);
    solmin = solmax = 0;
    DEFVIEW();
    qvlib::PSSTATE = {};
}

// Renders a picture with Ghostscript, expecting no error; skipped without gs unless CI is set.
inline void expectRendered(const fs::path& ps) {
    if (std::system("command -v gs >/dev/null 2>&1") != 0 && std::getenv("CI") == nullptr)
        GTEST_SKIP() << "Ghostscript (gs) is not installed: picture not rendered";
    const std::string log = ps.string() + ".gs.log";
    const int rc = std::system(("gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=png16m -r24 -sOutputFile='" + ps.string() +
                                "-%d.png' '" + ps.string() + "' >'" + log + "' 2>&1").c_str());
    EXPECT_EQ(rc, 0) << readFile(log);
    EXPECT_EQ(readFile(log).find("Error"), std::string::npos) << readFile(log);
}

// A data file of one face per entry (vertices in file axes), codes 0.
inline std::string dataFile(const std::vector<std::vector<std::array<double, 3>>>& faces) {
    std::ostringstream s;
    s << "test mesh\n" << faces.size() << " 0 0 0 0\n";
    for (const auto& f : faces) {
        s << f.size();
        for (const auto& v : f) s << "  " << v[0] << " " << v[1] << " " << v[2];
        s << "\n";
    }
    for (std::size_t i = 0; i < faces.size(); ++i) s << "0 1.0\n";
    return s.str();
}

// A report in the solver's layout: one row per (potential, derivative), internal points if asked;
// row I's node at NODES(I), else at (0.5, 0.25, 0).
inline std::string reportFile(const std::vector<std::pair<double, double>>& rows, bool internal = false,
                              const std::vector<std::array<double, 3>>& nodes = {}) {
    const std::string rule = " " + std::string(79, '*') + "\n";
    std::string s = rule + "test mesh\n\n\n DATA\n\n" + rule +
                    "\n RESULTS\n\n  BOUNDARY NODES\n\n NODE        X               Y"
                    "               Z             POTENTIAL   POTENTIAL DERIVATIVE    AREA\n\n";
    int i = 0;
    for (const auto& [u, q] : rows) {
        const std::array<double, 3> p = i < static_cast<int>(nodes.size()) ? nodes[i] : std::array<double, 3>{0.5, 0.25, 0.0};
        s += textio::format("(I5,6(2X,1P,E14.5))", {++i, p[0], p[1], p[2], u, q, 1.0});
    }
    if (internal)
        s += "\n\n  INTERNAL POINTS\n\n        X               Y               Z             POTENTIAL        GRADV-X"
             "         GRADV-Y         GRADV-Z\n\n" +
             textio::format("(7(2X,1P,E14.5))", {0.1, 0.2, 0.3, 9.0, 1.0, 2.0, 3.0});
    return s + rule;
}

}  // namespace vt
