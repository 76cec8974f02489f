// Picture composition: the records of "KORV.PS"; every picture is rendered.
#include <gtest/gtest.h>

#include <cmath>
#include <regex>

#include "support.hpp"

using namespace korval;

namespace {

// The numbers of a record, in order.
std::vector<double> numbers(const std::string& line) {
    static const std::regex num(R"(-?[0-9]*\.[0-9]+)");
    std::vector<double> v;
    for (auto it = std::sregex_iterator(line.begin(), line.end(), num); it != std::sregex_iterator(); ++it)
        v.push_back(std::stod(it->str()));
    return v;
}

void expectNear(const std::vector<double>& got, const std::vector<double>& want, double tol) {
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(got[i], want[i], tol) << "number " << i + 1;
}

const std::string F10 = "[ -.0-9]{10}", F6 = "[ -.0-9]{6}";
const std::regex FILLED_FACE("^ [BG]  N" + F10 + F10 + " M(" + F10 + F10 + " L){2,3} C " + F6 + F6 + F6 + " K $");
const std::regex BAR_CELL("^ N " + F10 + F10 + " M (" + F10 + F10 + " L ){3}C" + F6 + F6 + F6 + " K$");

class Picture : public ::testing::Test {
protected:
    void SetUp() override { vt::resetViewer(); }
    ~Picture() override { vt::expectRendered("KORV.PS"); }

    // Loads a data file (unless empty) and draws one picture; returns its records.
    std::vector<std::string> draw(const std::string& data = "") {
        if (!data.empty()) vt::writeFile("tELMA.in", data), RDMESH();
        PICTURE();
        std::vector<std::string> lines;
        std::istringstream ps(vt::readFile("KORV.PS"));
        for (std::string line; std::getline(ps, line);) lines.push_back(line);
        return lines;
    }

    vt::ScratchDir dir;
};

const std::string TRIANGLE = vt::dataFile({{{0, 0, 0}, {0.5, 0, 0}, {0, 0.5, 0}}});
const std::string LAYERS = vt::dataFile({{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 0, 1}, {1, 0, 1}, {0, 1, 1}},
                                         {{0, 0, 2}, {1, 0, 2}, {0, 1, 2}}, {{1, 0, 2}, {1, 1, 2}, {0, 1, 2}}});

}  // namespace

TEST_F(Picture, WorkedExampleOfOneTriangle) {
    const auto rec = draw(TRIANGLE);
    const std::vector<std::string> head = {
        " % *** DEBUT IMAGE   1 ***", "  % Trace Graphique QV Version 07/90", "  18 14.5 translate % amener O en (0,0)",
        "  /Courrier findfont [10 0 0 11 0 0] makefont setfont", "  .25 setlinewidth", " /B {0. setgray}def",
        " /G {.7 setgray}def", " /N {newpath}   def", " /M {moveto}    def", " /L {lineto}    def",
        " /C {closepath} def", " /S {stroke}    def", " /K {gsave setrgbcolor fill grestore} def",
        " .25 setlinewidth B", " N 0 170 M 510 170 L 510 680 L 0 680 L C clip",
        " B  N 316.48 348.93 M 406.90 270.62 L 316.48 502.13 L C S", " N 316.48 348.93 M 0.00 257.57 L S",
        " N 316.48 348.93 M 510.24 181.13 L S", " N 316.48 348.93 M 316.48 669.26 L S", " showpage", " showpage ", " % *** FIN IMAGE   1 ***"};
    ASSERT_EQ(rec.size(), head.size());
    for (std::size_t i = 0; i < head.size(); ++i)
        if (i < 15 || i > 18) { EXPECT_EQ(rec[i], head[i]); }
        else expectNear(numbers(rec[i]), numbers(head[i]), 0.01);
    EXPECT_EQ(vt::readFile("KORV.PS").find('\r'), std::string::npos);
}

// A face seen from behind is grey; a shorter second picture leaves no tail.
TEST_F(Picture, BackFacesAreGreyAndASecondPictureReplacesTheFirst) {
    draw(LAYERS);
    const auto rec = draw(vt::dataFile({{{0, 0, 0}, {0.5, 0, 0}, {0, 0.5, 0}}, {{0, 0, 0}, {0, 0.5, 0}, {0.5, 0, 0}}}));
    ASSERT_EQ(rec.size(), 15u + 2 + 3 + 3);
    EXPECT_EQ(rec.front() + rec[15].substr(0, 3) + rec[16].substr(0, 3) + rec.back(),
              " % *** DEBUT IMAGE   2 *** B  G  % *** FIN IMAGE   2 ***");
}

// Face colours: above the scale red, below it the floor, no value outlined; a scale of zero width.
TEST_F(Picture, ColouredFaces) {
    const struct { std::vector<float> val; float lo, hi, ex; std::vector<std::string> tails; } cases[] = {
        {{10, 0, 2.5f}, 0, 10, 1, {" C  1.000  .000  .000 K ", " C   .000  .000 1.000 K ", " C   .000  .750  .250 K ", " L C S"}},
        {{-5, 50}, 0, 1, 0.5f, {" C   .000  .000 1.000 K ", " C  1.000  .000  .000 K "}},
        {{2, 3, 1}, 2, 2, 1, {" C   .500 1.000  .000 K ", " C  1.000  .000  .000 K ", " C   .000  .000 1.000 K "}},
    };
    for (const auto& c : cases) {
        ICOL = 1, Ex = c.ex, solmin = c.lo, solmax = c.hi, nfa2 = static_cast<int>(c.val.size());
        std::copy(c.val.begin(), c.val.end(), &VAL[1]);
        const auto rec = draw(LAYERS);
        for (std::size_t k = 0; k < c.tails.size(); ++k) {
            const std::string& r = rec[15 + k];
            EXPECT_EQ(r.substr(r.size() - std::min(r.size(), c.tails[k].size())), c.tails[k]) << r;
            if (k < c.val.size()) { EXPECT_TRUE(std::regex_match(r, FILLED_FACE)) << r; }
        }
    }
}

// The bar: 101 cells of the palette at k / 100 under the exponent Ex, unmoved by the zoom.
TEST_F(Picture, ColourBar) {
    for (float ex : {1.0f, 0.5f}) {
        ICOL = 1, Ex = ex, Zx = 1;
        const auto rec = draw(TRIANGLE);
        ASSERT_EQ(rec.size(), 15u + 1 + 3 + 101 + 3);
        for (int k = 0; k <= 100; ++k) {
            const std::string& cell = rec[19 + k];
            ASSERT_TRUE(std::regex_match(cell, BAR_CELL)) << cell;
            const auto v = numbers(cell);
            float r, g, b;
            PALLETTE(r, g, b, std::pow(k / 100.0f, ex));
            expectNear({v[8], v[9], v[10]}, {r, g, b}, 0.0005);
            expectNear({v[0], v[1], v[2] - v[0], v[5]}, {255 + 2.04 * k, 170, 2.04, 185.3}, 0.002);
        }
        Zx = 3;
        const auto zoomed = draw();
        EXPECT_TRUE(std::equal(rec.begin() + 19, rec.begin() + 120, zoomed.begin() + 19));
    }
}

// Looking down z from (0, 0, 1): faces with a node in the eye plane are left out.
TEST_F(Picture, NodesInTheEyePlaneLeaveTheirFacesOut) {
    AX = AY = AZ = D = Th = Ps = Om = 0;
    const auto rec = draw(vt::dataFile({{{0, 0, 0}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0}}, {{0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}},
                                        {{0, 0, 0}, {1, 0, 0}, {1, 0, 1}, {0, 0, 1}}, {{0, 1, 0}, {0, 1, 1}, {1, 1, 1}, {1, 1, 0}},
                                        {{0, 0, 0}, {0, 0, 1}, {0, 1, 1}, {0, 1, 0}}, {{1, 0, 0}, {1, 1, 0}, {1, 1, 1}, {1, 0, 1}}}));
    ASSERT_EQ(rec.size(), 15u + 1 + 2 + 3);  // the bottom face, and the tripod without its z axis
    EXPECT_EQ(numbers(rec[15]).size(), 8u);
    for (double v : numbers(rec[15])) EXPECT_TRUE(v > -0.001 && v < 680.4) << rec[15];
    EXPECT_EQ(vt::readFile("KORV.PS").find("NaN"), std::string::npos);
}
