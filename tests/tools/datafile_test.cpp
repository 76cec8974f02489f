// The data-file writer: number text and record layout.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <sstream>

#include "tools/datafile.hpp"

using namespace tmesh;

TEST(DataFile, RealsReadBackBitForBit) {
    std::mt19937_64 gen(7);
    std::uniform_real_distribution<double> mant(-1, 1);
    std::uniform_int_distribution<int> ex(-40, 40);
    for (int i = 0; i < 2000; ++i) {
        const double v = std::ldexp(mant(gen), ex(gen));
        const std::string t = realText(v);
        EXPECT_EQ(t.find('e'), std::string::npos) << t;
        EXPECT_EQ(std::strtod(t.c_str(), nullptr), v) << t;
    }
    for (auto [v, t] : std::initializer_list<std::pair<double, const char*>>{{0.5, "0.5"}, {-0.0, "0"}, {1.0, "1"}, {-1.25e-7, "-1.25E-07"}})
        EXPECT_EQ(realText(v), t);
}

TEST(DataFile, RecordsInTheSolversOrder) {
    Mesh m;
    m.title = std::string(100, 'T');
    m.el = {{4, {Vec3{0, 0, 0}, Vec3{1, 0, 0}, Vec3{1, 1, 0}, Vec3{0, 1, 0}}, {0, 1.0}},
            {3, {Vec3{0, 0, 1}, Vec3{0.1, 0, 1}, Vec3{0, 0.1, 1}, Vec3{}}, {-7, -2.5}}};
    m.isym = {1, 0, -1};
    m.ip = {{0.5, 0.5, 0.5}, {0.25, 0.125, 3}};
    std::ostringstream os;
    writeDataFile(os, m);
    // all five integers on the control line: the viewer reads four and skips the rest
    EXPECT_EQ(os.str(), std::string(80, 'T') + "\n2 1 0 -1 2\n4 0 0 0 1 0 0 1 1 0 0 1 0\n3 0 0 1 0.1 0 1 0 0.1 1\n"
                        "0 1\n-7 -2.5\n0.5 0.5 0.5\n0.25 0.125 3\n");
    // a title the viewer would take for the results, or a mesh the solver refuses: nothing written
    m.title = " RESULTS   ";
    m.el[1].x[2] = m.el[1].x[1];
    for (int k = 0; k < 2; ++k) {
        std::ostringstream os2;
        EXPECT_THROW(writeDataFile(os2, m), MeshError);
        EXPECT_TRUE(os2.str().empty());
        m.title = "t";
    }
}
