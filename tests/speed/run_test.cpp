// The telma program on one and on two threads: the same report, the same
// console apart from the times, the progress lines in order.
#include <gtest/gtest.h>
#include <omp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// A closed box of n x n x n cells per face, two of them triangles each
// eighth cell, potential on the ends and a derivative on the sides, and
// points inside.
std::string boxData(int n, int nip) {
    std::ostringstream d;
    std::ostringstream el, bc;
    int nbe = 0;
    auto corner = [&](int face, double s, double t) {
        double p[3];
        const int k = face / 2;  // the coordinate held fixed
        p[k] = face % 2;
        p[(k + 1) % 3] = face % 2 ? t : s;  // swapped on the far face: normals outward
        p[(k + 2) % 3] = face % 2 ? s : t;
        char b[96];
        std::snprintf(b, sizeof b, " %.17g %.17g %.17g", p[0], p[1], p[2]);
        return std::string(b);
    };
    for (int face = 0; face < 6; ++face)
        for (int j = 0; j < n; ++j)
            for (int i = 0; i < n; ++i) {
                const double s0 = double(i) / n, s1 = double(i + 1) / n, t0 = double(j) / n,
                             t1 = double(j + 1) / n;
                const std::string a = corner(face, s0, t0), b = corner(face, s0, t1),
                                  c = corner(face, s1, t1), e = corner(face, s1, t0);
                const int kode = face / 2 == 0 ? (face == 0 ? 0 : -2) : 1;
                const char* vbc = face == 1 ? " 1.0" : " 0.0";
                if ((i + 2 * j) % 8 == 3) {
                    el << "3" << a << b << c << "\n3" << a << c << e << "\n";
                    bc << kode << vbc << "\n" << kode << vbc << "\n";
                    nbe += 2;
                } else {
                    el << "4" << a << b << c << e << "\n";
                    bc << kode << vbc << "\n";
                    ++nbe;
                }
            }
    d << "Box on one and two threads\n" << nbe << " 0 0 0 " << nip << "\n" << el.str() << bc.str();
    for (int k = 0; k < nip; ++k)
        d << 0.1 + 0.8 * ((k * 37) % 101) / 101.0 << ' ' << 0.1 + 0.8 * ((k * 53) % 103) / 103.0
          << ' ' << 0.1 + 0.8 * ((k * 71) % 107) / 107.0 << '\n';
    return d.str();
}

struct Outcome {
    std::string console, report;
    int status;
};

// telma on BOX.IN in its own directory, so that both runs see the same names.
Outcome telma(const fs::path& top, const std::string& data, int threads) {
    const fs::path dir = top / ("threads" + std::to_string(threads));
    fs::create_directories(dir);
    std::ofstream(dir / "BOX.IN", std::ios::binary) << data;
    const std::string cmd = "cd '" + dir.string() + "' && OMP_NUM_THREADS=" +
                            std::to_string(threads) + " '" TELMA_EXE "' BOX.IN BOX.OUT" +
                            " > console.txt 2>&1";
    const int rc = std::system(cmd.c_str());
    return {slurp(dir / "console.txt"), slurp(dir / "BOX.OUT"), WIFEXITED(rc) ? WEXITSTATUS(rc) : -1};
}

std::string masked(const std::string& s) {
    return std::regex_replace(s, std::regex("time :[ 0-9.]+"), "time :");
}

TEST(TelmaThreads, ReportAndConsoleTheSameOnOneAndTwoThreads) {
    if (omp_get_num_procs() < 2) GTEST_SKIP() << "the two-thread sweep needs two processors";
    // Several checkouts may run their tests at once on one machine.
    const fs::path dir = fs::temp_directory_path() / ("telma_speed_threads_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string data = boxData(7, 45);
    const Outcome one = telma(dir, data, 1), two = telma(dir, data, 2);
    EXPECT_EQ(one.status, 0);
    EXPECT_EQ(two.status, 0);
    ASSERT_FALSE(one.report.empty());
    EXPECT_EQ(one.report, two.report);
    EXPECT_EQ(masked(one.console), masked(two.console));
    // the progress lines: every tenth row and point, in order, once each
    for (const Outcome* r : {&one, &two}) {
        std::istringstream in(r->console);
        std::string line;
        int rows = 0, points = 0;
        const std::regex row(R"( Calculation line # *(\d+)/ *(\d+), time :[ 0-9]{4}\.[0-9]{3})");
        const std::regex pt(R"( Internal points # *(\d+)/  45, time :[ 0-9]{4}\.[0-9]{3})");
        std::smatch m;
        int nbe = 0;
        while (std::getline(in, line)) {
            if (std::regex_match(line, m, row)) {
                EXPECT_EQ(std::stoi(m[1]), 10 * ++rows);
                nbe = std::stoi(m[2]);
            } else if (std::regex_match(line, m, pt)) {
                EXPECT_EQ(std::stoi(m[1]), 10 * ++points);
            }
        }
        EXPECT_GT(nbe, 256);  // large enough for the two-thread sweep
        EXPECT_EQ(rows, nbe / 10);
        EXPECT_EQ(points, 4);
    }
    fs::remove_all(dir);
}

}  // namespace
