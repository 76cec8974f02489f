#include "support.hpp"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "QVLIB/PGRPH2/pgrph2.hpp"
#include "textio/textio.hpp"
#include "viewer/korval.hpp"

namespace vt {

ScratchDir::ScratchDir() {
    std::string tmpl = (fs::temp_directory_path() / "korval-test-XXXXXX").string();
    if (mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    dir_ = tmpl;
    previous_ = fs::current_path();
    fs::current_path(dir_);
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    fs::current_path(previous_, ec);
    if (std::getenv("KORVAL_KEEP_TEST_FILES") == nullptr) fs::remove_all(dir_, ec);
}

void writeFile(const fs::path& p, const std::string& text) {
    std::ofstream f(p, std::ios::binary);
    f << text;
}

std::string readFile(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

std::vector<std::string> readLines(const fs::path& p) {
    std::vector<std::string> lines;
    std::istringstream s(readFile(p));
    for (std::string line; std::getline(s, line);) lines.push_back(line);
    return lines;
}

void resetViewer() {
    using namespace korval;
    ICOL = IPOT = 0;
    Npt = nfa = nfa2 = 0;
    NP.fill(0);
    for (auto& p : XYZ) p[0] = p[1] = p[2] = p[3] = 0;
    VAL.fill(0);
    solmin = solmax = 0;
    DEFVIEW();
    qvlib::PSSTATE = {};
}

void expectRendered(const fs::path& ps) {
    if (std::system("command -v gs >/dev/null 2>&1") != 0) {
        if (std::getenv("CI") != nullptr)
            FAIL() << "Ghostscript (gs) is needed to check the pictures and is missing";
        GTEST_SKIP() << "Ghostscript (gs) is not installed: picture not rendered";
    }
    const fs::path log = ps.string() + ".gs.log";
    const std::string cmd = "gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=png16m -r24 -sOutputFile='" +
                            ps.string() + "-%d.png' '" + ps.string() + "' >'" + log.string() +
                            "' 2>&1";
    const int rc = std::system(cmd.c_str());
    const std::string out = readFile(log);
    EXPECT_EQ(rc, 0) << "Ghostscript failed on " << ps << ":\n" << out;
    EXPECT_EQ(out.find("Error"), std::string::npos) << out;
    EXPECT_TRUE(fs::exists(ps.string() + "-1.png"));
}

std::string dataFile(const std::vector<std::vector<std::array<double, 3>>>& faces,
                     const std::string& title) {
    std::ostringstream s;
    s << title << "\n" << faces.size() << " 0 0 0 0\n";
    for (const auto& f : faces) {
        s << f.size();
        for (const auto& v : f) s << "  " << v[0] << " " << v[1] << " " << v[2];
        s << "\n";
    }
    for (std::size_t i = 0; i < faces.size(); ++i) s << "0 1.0\n";
    return s.str();
}

std::string reportFile(const std::vector<std::pair<double, double>>& rows, bool internal) {
    const std::string rule = " " + std::string(79, '*') + "\n";
    std::string s = rule + "test mesh\n\n\n DATA\n\n";
    s += rule + "\n RESULTS\n\n  BOUNDARY NODES\n\n NODE        X               Y"
                "               Z             POTENTIAL   POTENTIAL DERIVATIVE    AREA\n\n";
    int i = 0;
    for (const auto& [u, q] : rows) {
        ++i;
        s += textio::format("(I5,6(2X,1P,E14.5))", {i, 0.5, 0.25, 0.0, u, q, 1.0});
    }
    if (internal) {
        s += "\n\n  INTERNAL POINTS\n\n        X               Y               Z             "
             "POTENTIAL        GRADV-X         GRADV-Y         GRADV-Z\n\n";
        s += textio::format("(7(2X,1P,E14.5))", {0.1, 0.2, 0.3, 9.0, 1.0, 2.0, 3.0});
    }
    s += rule;
    return s;
}

}  // namespace vt
