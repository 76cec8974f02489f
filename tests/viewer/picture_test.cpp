// Picture composition: the record layout of "KORV.PS", the page fit, face
// outlines and fills, tripod and colour bar; every picture is rendered.
#include <gtest/gtest.h>

#include <cmath>
#include <regex>
#include <string>
#include <vector>

#include "QVLIB/PGRPH2/pgrph2.hpp"
#include "support.hpp"
#include "viewer/korval.hpp"

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

const std::string F10 = "[ -.0-9]{10}";
const std::string F6 = "[ -.0-9]{6}";
const std::regex STROKED_TRIANGLE("^ [BG]  N" + F10 + F10 + " M" + F10 + F10 + " L" + F10 + F10 + " L C S$");
const std::regex FILLED_FACE("^ [BG]  N" + F10 + F10 + " M(" + F10 + F10 + " L){2,3} C " + F6 + F6 + F6 + " K $");
const std::regex TRIPOD("^ N" + F10 + F10 + " M" + F10 + F10 + " L S$");
const std::regex BAR_CELL("^ N " + F10 + F10 + " M " + "(" + F10 + F10 + " L ){3}C" + F6 + F6 + F6 + " K$");

class Picture : public ::testing::Test {
protected:
    void SetUp() override { vt::resetViewer(); }

    // Loads a data file and draws one picture; returns its records.
    std::vector<std::string> draw(const std::string& data) {
        vt::writeFile("tELMA.in", data);
        RDMESH();
        return redraw();
    }
    std::vector<std::string> redraw() {
        PICTURE();
        return vt::readLines("KORV.PS");
    }

    vt::ScratchDir dir;
};

const std::string TRIANGLE = vt::dataFile({{{0, 0, 0}, {0.5, 0, 0}, {0, 0.5, 0}}});

void expectNear(const std::vector<double>& got, const std::vector<double>& want, double tol) {
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(got[i], want[i], tol) << "number " << i + 1;
}

}  // namespace

TEST_F(Picture, WorkedExampleOfOneTriangle) {
    const auto rec = draw(TRIANGLE);
    ASSERT_EQ(rec.size(), 5u + 10 + 1 + 3 + 1 + 2);
    const std::string& face = rec[15];
    EXPECT_TRUE(std::regex_match(face, STROKED_TRIANGLE)) << face;
    EXPECT_EQ(face.substr(0, 3), " B ");
    expectNear(numbers(face), {316.48, 348.93, 406.90, 270.62, 316.48, 502.13}, 0.01);
    for (int j = 0; j < 3; ++j) EXPECT_TRUE(std::regex_match(rec[16 + j], TRIPOD)) << rec[16 + j];
    expectNear(numbers(rec[16]), {316.48, 348.93, 0.00, 257.57}, 0.01);
    expectNear(numbers(rec[17]), {316.48, 348.93, 510.24, 181.13}, 0.01);
    expectNear(numbers(rec[18]), {316.48, 348.93, 316.48, 669.26}, 0.01);
    vt::expectRendered("KORV.PS");
}

TEST_F(Picture, RecordLayoutOfTheFile) {
    const auto rec = draw(TRIANGLE);
    const std::vector<std::string> head = {
        " % *** DEBUT IMAGE   1 ***",
        "  % Trace Graphique QV Version 07/90",
        "  18 14.5 translate % amener O en (0,0)",
        "  /Courrier findfont [10 0 0 11 0 0] makefont setfont",
        "  .25 setlinewidth",
        " /B {0. setgray}def",
        " /G {.7 setgray}def",
        " /N {newpath}   def",
        " /M {moveto}    def",
        " /L {lineto}    def",
        " /C {closepath} def",
        " /S {stroke}    def",
        " /K {gsave setrgbcolor fill grestore} def",
        " .25 setlinewidth B",
        " N 0 170 M 510 170 L 510 680 L 0 680 L C clip",
    };
    ASSERT_GE(rec.size(), head.size() + 3);
    for (std::size_t i = 0; i < head.size(); ++i) EXPECT_EQ(rec[i], head[i]);
    const std::size_t n = rec.size();
    EXPECT_EQ(rec[n - 3], " showpage");
    EXPECT_EQ(rec[n - 2], " showpage ");
    EXPECT_EQ(rec[n - 1], " % *** FIN IMAGE   1 ***");
    // LF line ends and no trailing blanks beyond the formats.
    const std::string text = vt::readFile("KORV.PS");
    EXPECT_EQ(text.find('\r'), std::string::npos);
    EXPECT_EQ(text.back(), '\n');
}

TEST_F(Picture, DefaultViewFillsTheClipSquare) {
    const auto rec = draw(vt::dataFile({{{0, 0, 0}, {2, 0, 0}, {2, 1, 0}, {0, 1, 0}},
                                        {{0, 0, 0}, {0, 0, 3}, {0, 1, 3}}}));
    ASSERT_EQ(rec.size(), 15u + 2 + 3 + 3);
    double xmin = 1e9, xmax = -1e9, ymin = 1e9, ymax = -1e9;
    for (int i = 15; i < 20; ++i) {
        const auto v = numbers(rec[i]);
        for (std::size_t k = 0; k + 1 < v.size(); k += 2) {
            xmin = std::min(xmin, v[k]);
            xmax = std::max(xmax, v[k]);
            ymin = std::min(ymin, v[k + 1]);
            ymax = std::max(ymax, v[k + 1]);
        }
    }
    const bool wide = xmax - xmin >= ymax - ymin;
    if (wide) {
        EXPECT_NEAR(xmin, 0.0, 0.002);
        EXPECT_NEAR(xmax, 510.236, 0.002);
        EXPECT_NEAR((ymin + ymax) / 2, 425.197, 0.002);
    } else {
        EXPECT_NEAR(ymin, 170.079, 0.002);
        EXPECT_NEAR(ymax, 680.315, 0.002);
        EXPECT_NEAR((xmin + xmax) / 2, 255.118, 0.002);
    }
    vt::expectRendered("KORV.PS");
}

TEST_F(Picture, BackFacesAreGreyFrontFacesBlack) {
    const auto rec = draw(vt::dataFile({{{0, 0, 0}, {0.5, 0, 0}, {0, 0.5, 0}},
                                        {{0, 0, 0}, {0, 0.5, 0}, {0.5, 0, 0}}}));
    EXPECT_EQ(rec[15].substr(0, 3), " B ");
    EXPECT_EQ(rec[16].substr(0, 3), " G ");
    vt::expectRendered("KORV.PS");
}

TEST_F(Picture, ZoomDoublesDistancesFromTheAimedAtPoint) {
    const std::string data = vt::dataFile({{{0.2, 0.1, 0}, {1, 0.3, 0.2}, {0.4, 1, 0.5}}});
    const auto one = draw(data);
    Zx = 2;
    const auto two = redraw();
    const auto c1 = numbers(one[16]), c2 = numbers(two[16]);  // tripod start
    const auto f1 = numbers(one[15]), f2 = numbers(two[15]);
    ASSERT_EQ(f1.size(), 6u);
    for (std::size_t k = 0; k < 6; ++k)
        EXPECT_NEAR(f2[k] - c2[k % 2], 2 * (f1[k] - c1[k % 2]), 0.003) << k;
    for (int j = 16; j < 19; ++j) {
        const auto a = numbers(one[j]), b = numbers(two[j]);
        EXPECT_NEAR(b[2] - c2[0], 2 * (a[2] - c1[0]), 0.003);
        EXPECT_NEAR(b[3] - c2[1], 2 * (a[3] - c1[1]), 0.003);
    }
    vt::expectRendered("KORV.PS");
}

TEST_F(Picture, ColouredFacesAndTheColourBar) {
    vt::writeFile("tELMA.in", vt::dataFile({{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}},
                                            {{1, 0, 0}, {1, 1, 0}, {0, 1, 0}},
                                            {{0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}},
                                            {{0, 0, 2}, {1, 0, 2}, {0, 1, 2}}}));
    RDMESH();
    ICOL = 1;
    nfa2 = 3;  // the fourth face has no value
    VAL[1] = 10;
    VAL[2] = 0;
    VAL[3] = 2.5;
    solmin = 0;
    solmax = 10;
    Ex = 1;
    const auto rec = redraw();
    ASSERT_EQ(rec.size(), 15u + 4 + 3 + 101 + 3);
    for (int i = 15; i < 18; ++i) EXPECT_TRUE(std::regex_match(rec[i], FILLED_FACE)) << rec[i];
    EXPECT_EQ(rec[15].substr(rec[15].size() - 24), " C  1.000  .000  .000 K ");
    EXPECT_EQ(rec[16].substr(rec[16].size() - 24), " C   .000  .000 1.000 K ");
    expectNear(numbers(rec[17].substr(rec[17].size() - 24)), {0, 0.75, 0.25}, 0.0005);
    EXPECT_TRUE(std::regex_search(rec[18], std::regex(" L C S$"))) << rec[18];

    for (int k = 0; k <= 100; ++k) {
        const std::string& cell = rec[22 + k];
        ASSERT_TRUE(std::regex_match(cell, BAR_CELL)) << cell;
        const auto v = numbers(cell);
        ASSERT_EQ(v.size(), 11u);
        float r, g, b;
        PALLETTE(r, g, b, k / 100.0f);
        expectNear({v[8], v[9], v[10]}, {r, g, b}, 0.0005);
        EXPECT_NEAR(v[0], 255 + 2.04 * k, 0.002);
        EXPECT_NEAR(v[1], 170, 0.0005);
        EXPECT_NEAR(v[2] - v[0], 2.04, 0.002);
        EXPECT_NEAR(v[5], 185.3, 0.0005);
    }
    EXPECT_NEAR(numbers(rec[122])[2], 461.04, 0.002);
    vt::expectRendered("KORV.PS");
}

TEST_F(Picture, ExponentCrowdsTheBarTowardsRed) {
    vt::writeFile("tELMA.in", TRIANGLE);
    RDMESH();
    ICOL = 1;  // Ex stays 0.5
    const auto rec = redraw();
    const auto v = numbers(rec[19 + 25]);
    expectNear({v[8], v[9], v[10]}, {0.5, 1, 0}, 0.0005);
    // The bar does not move with the zoom.
    Zx = 3;
    const auto zoomed = redraw();
    for (int k = 0; k <= 100; ++k) EXPECT_EQ(zoomed[19 + k], rec[19 + k]);
    vt::expectRendered("KORV.PS");
}

TEST_F(Picture, ValuesOutsideTheScale) {
    vt::writeFile("tELMA.in", vt::dataFile({{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 0, 1}, {1, 0, 1}, {0, 1, 1}}}));
    RDMESH();
    ICOL = 1;
    nfa2 = 2;
    VAL[1] = -5;  // below solmin: the floor, nearly pure blue
    VAL[2] = 50;  // above solmax: pure red
    solmin = 0;
    solmax = 1;
    const auto rec = redraw();
    expectNear(numbers(rec[15].substr(rec[15].size() - 24)), {0, 0, 1}, 0.0005);
    EXPECT_EQ(rec[16].substr(rec[16].size() - 24), " C  1.000  .000  .000 K ");
    vt::expectRendered("KORV.PS");
}

TEST_F(Picture, ColourScaleOfZeroWidth) {
    vt::writeFile("tELMA.in", vt::dataFile({{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}},
                                            {{0, 0, 1}, {1, 0, 1}, {0, 1, 1}},
                                            {{0, 0, 2}, {1, 0, 2}, {0, 1, 2}}}));
    RDMESH();
    ICOL = 1;
    nfa2 = 3;
    VAL[1] = 2;
    VAL[2] = 3;
    VAL[3] = 1;
    solmin = solmax = 2;
    Ex = 1;
    const auto rec = redraw();
    EXPECT_EQ(rec[15].substr(rec[15].size() - 24), " C   .500 1.000  .000 K ");
    EXPECT_EQ(rec[16].substr(rec[16].size() - 24), " C  1.000  .000  .000 K ");
    EXPECT_EQ(rec[17].substr(rec[17].size() - 24), " C   .000  .000 1.000 K ");
    for (int i = 15; i < 18; ++i) EXPECT_TRUE(std::regex_match(rec[i], FILLED_FACE)) << rec[i];
    vt::expectRendered("KORV.PS");
}

TEST_F(Picture, SecondPictureReplacesTheFirst) {
    draw(vt::dataFile({{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 0, 1}, {1, 0, 1}, {0, 1, 1}}}));
    nfa = 1;  // a shorter picture must not leave the old tail behind
    const auto rec = redraw();
    ASSERT_EQ(rec.size(), 15u + 1 + 3 + 3);
    EXPECT_EQ(rec.front(), " % *** DEBUT IMAGE   2 ***");
    EXPECT_EQ(rec.back(), " % *** FIN IMAGE   2 ***");
    vt::expectRendered("KORV.PS");
}

TEST_F(Picture, NoFacesStillGivesAPicture) {
    const auto rec = draw("empty\n0 0 0 0 0\n");
    ASSERT_EQ(rec.size(), 15u + 3 + 3);
    EXPECT_EQ(numbers(rec[15]).size(), 4u);
    vt::expectRendered("KORV.PS");
}

TEST_F(Picture, NodesInTheEyePlaneLeaveTheirFacesOut) {
    // the unit cube, whatever the axes permutation of the reader
    const std::string cube = vt::dataFile({{{0, 0, 0}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0}},
                                           {{0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}},
                                           {{0, 0, 0}, {1, 0, 0}, {1, 0, 1}, {0, 0, 1}},
                                           {{0, 1, 0}, {0, 1, 1}, {1, 1, 1}, {1, 1, 0}},
                                           {{0, 0, 0}, {0, 0, 1}, {0, 1, 1}, {0, 1, 0}},
                                           {{1, 0, 0}, {1, 1, 0}, {1, 1, 1}, {1, 0, 1}}});
    vt::writeFile("tELMA.in", cube);
    RDMESH();
    // looking down the z axis from (0, 0, 1): the face z = 1 and the upper
    // corners of the four sides lie in the plane through the eye
    AX = AY = AZ = 0;
    D = 0;
    Th = Ps = Om = 0;
    const auto rec = redraw();
    const std::string text = vt::readFile("KORV.PS");
    EXPECT_EQ(text.find("NaN"), std::string::npos);
    EXPECT_EQ(text.find("Inf"), std::string::npos);
    int faces = 0, axes = 0;
    for (const auto& r : rec) {
        if (r.rfind(" B ", 0) == 0 || r.rfind(" G ", 0) == 0) {
            ++faces;
            // the bottom face: its corners are on the page
            const auto v = numbers(r);
            ASSERT_EQ(v.size(), 8u) << r;
            for (std::size_t k = 0; k < v.size(); k += 2) {
                EXPECT_GE(v[k], -0.001);
                EXPECT_LE(v[k], 510.24);
            }
        }
        axes += std::regex_match(r, TRIPOD);
    }
    EXPECT_EQ(faces, 1);
    EXPECT_EQ(axes, 2);  // the z axis ends in the eye plane
    vt::expectRendered("KORV.PS");
}
