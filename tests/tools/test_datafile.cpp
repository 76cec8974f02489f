// The data-file writer: number text and record layout.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <sstream>

#include "tools/datafile.hpp"

using namespace tmesh;

namespace {
std::vector<std::string> lines(const std::string& s) {
    std::vector<std::string> out;
    std::istringstream in(s);
    for (std::string l; std::getline(in, l);) out.push_back(l);
    return out;
}
std::vector<std::string> words(const std::string& l) {
    std::vector<std::string> out;
    std::istringstream in(l);
    for (std::string w; in >> w;) out.push_back(w);
    return out;
}
}  // namespace

TEST(RealText, ReadsBackBitForBit) {
    std::mt19937_64 gen(7);
    std::uniform_real_distribution<double> mant(-1, 1);
    std::uniform_int_distribution<int> ex(-40, 40);
    for (int i = 0; i < 2000; ++i) {
        double v = std::ldexp(mant(gen), ex(gen));
        std::string t = realText(v);
        EXPECT_EQ(t.find('e'), std::string::npos) << t;
        EXPECT_EQ(std::strtod(t.c_str(), nullptr), v) << t;
    }
    EXPECT_EQ(realText(0.5), "0.5");
    EXPECT_EQ(realText(-0.0), "0");
    EXPECT_EQ(realText(1.0), "1");
    EXPECT_EQ(realText(-1.25e-7), "-1.25E-07");
}

TEST(DataFile, RecordsInTheSolversOrder) {
    Mesh m;
    m.title = "two elements";
    Element q;
    q.npe = 4;
    q.x = {Vec3{0, 0, 0}, Vec3{1, 0, 0}, Vec3{1, 1, 0}, Vec3{0, 1, 0}};
    q.bc = {0, 1.0};
    Element t;
    t.npe = 3;
    t.x = {Vec3{0, 0, 1}, Vec3{0.1, 0, 1}, Vec3{0, 0.1, 1}, Vec3{}};
    t.bc = {-7, -2.5};
    m.el = {q, t};
    m.isym = {1, 0, -1};
    m.ip = {{0.5, 0.5, 0.5}, {0.25, 0.125, 3}};
    std::ostringstream os;
    writeDataFile(os, m);
    auto l = lines(os.str());
    ASSERT_EQ(l.size(), 1u + 1 + 2 + 2 + 2);
    EXPECT_EQ(l[0], "two elements");
    // All five integers on the control line: the viewer reads four and skips the rest.
    EXPECT_EQ(l[1], "2 1 0 -1 2");
    EXPECT_EQ(l[2], "4 0 0 0 1 0 0 1 1 0 0 1 0");
    EXPECT_EQ(l[3], "3 0 0 1 0.1 0 1 0 0.1 1");
    EXPECT_EQ(l[4], "0 1");
    EXPECT_EQ(l[5], "-7 -2.5");
    EXPECT_EQ(l[6], "0.5 0.5 0.5");
    EXPECT_EQ(l[7], "0.25 0.125 3");
    EXPECT_EQ(os.str().find('\r'), std::string::npos);
}

TEST(DataFile, NoInternalPointsNoRecord) {
    Mesh m = makeBox(BoxParams{});
    m.title = "cube";
    std::ostringstream os;
    writeDataFile(os, m);
    auto l = lines(os.str());
    EXPECT_EQ(l.size(), 2u + 6 + 6);
    EXPECT_EQ(words(l[1]).back(), "0");
}

TEST(DataFile, TitleCutAt80AndResultsTitleRefused) {
    Mesh m = makeBox(BoxParams{});
    m.title = std::string(100, 'T');
    std::ostringstream os;
    writeDataFile(os, m);
    EXPECT_EQ(lines(os.str())[0], std::string(80, 'T'));

    m.title = " RESULTS   ";
    std::ostringstream os2;
    EXPECT_THROW(writeDataFile(os2, m), MeshError);
    EXPECT_TRUE(os2.str().empty());
}

TEST(DataFile, InvalidMeshWritesNothing) {
    Mesh m = makeBox(BoxParams{});
    m.el[3].x[2] = m.el[3].x[1];
    std::ostringstream os;
    EXPECT_THROW(writeDataFile(os, m), MeshError);
    EXPECT_TRUE(os.str().empty());
}
