// Element geometry, and the refusal of elements that cannot be integrated.
#include <gtest/gtest.h>

#include "fixtures.hpp"

namespace {

using namespace telma;

TEST(Geom, SquareTriangleAndReversedSquare) {
    telma::CLEAR();
    NBE = 3;
    fx::setElement(1, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}});
    fx::setElement(2, {{0, 0, 0}, {2, 0, 0}, {0, 2, 0}});
    fx::setElement(3, {{0, 1, 0}, {1, 1, 0}, {1, 0, 0}, {0, 0, 0}});
    GEOM();
    EXPECT_EQ(XC[1][1], 0.5);
    EXPECT_EQ(XC[1][2], 0.5);
    EXPECT_EQ(XC[1][3], 0.0);
    EXPECT_DOUBLE_EQ(AREA[1], 1.0);
    EXPECT_DOUBLE_EQ(XC[2][1], 2.0 / 3.0);
    EXPECT_DOUBLE_EQ(XC[2][2], 2.0 / 3.0);
    EXPECT_DOUBLE_EQ(AREA[2], 2.0);
    for (int K = 1; K <= 3; ++K) EXPECT_EQ(XC[3][K], XC[1][K]);
    EXPECT_DOUBLE_EQ(AREA[3], AREA[1]);
    // The frame follows the corner order: reversed corners flip the normal.
    EXPECT_EQ(ELD[1].EN[2], 1.0);
    EXPECT_EQ(ELD[3].EN[2], -1.0);
}

TEST(Geom, WarpedQuadrilateralAreaIsTheFan) {
    telma::CLEAR();
    NBE = 1;
    fx::setElement(1, {{0, 0, 0}, {1, 0, 0}, {1, 1, 1}, {0, 1, 0}});
    GEOM();
    EXPECT_EQ(XC[1][1], 0.5);
    EXPECT_EQ(XC[1][2], 0.5);
    EXPECT_EQ(XC[1][3], 0.25);
    EXPECT_NEAR(AREA[1], 1.3090170, 5e-8);
}

// ELCHK on a one-element problem: the stop status and the console text.
struct Refusal {
    bool stopped = false;
    int status = 0;
    std::string text;
};

Refusal check() {
    Refusal r;
    fx::Console con;
    try {
        ELCHK();
    } catch (const textio::Stop& s) {
        r.stopped = true;
        r.status = s.status;
    }
    r.text = con.text();
    return r;
}

TEST(Elchk, AcceptsProperElements) {
    // Element 5 lies in x = 0, an even plane; element 3, moved off y = 0,
    // no longer lies in the odd plane.
    fx::unitCube();
    fx::setSymmetry(1, -1, 0);
    fx::setElement(3, {{0, 0.5, 0}, {1, 0.5, 0}, {1, 0.5, 1}, {0, 0.5, 1}}, 1, 0.0);
    const Refusal r = check();
    EXPECT_FALSE(r.stopped) << r.text;
    EXPECT_EQ(r.text, "");
}

TEST(Elchk, RefusesAnElementInAnOddPlaneNamingIt) {
    fx::unitCube();
    fx::setSymmetry(0, -1, 0);  // element 3 lies in y = 0
    const Refusal r = check();
    EXPECT_TRUE(r.stopped);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.text.find("ELEMENT    3 LIES IN THE ODD SYMMETRY PLANE Y = 0"), std::string::npos)
        << r.text;
    EXPECT_NE(r.text.find("*** FATAL ERROR ***"), std::string::npos);
}

TEST(Elchk, RefusesElementsOnBothSidesOfASymmetryPlane) {
    struct Case {
        int isym[3];
        int el;         // the element moved
        fx::P3 shift;
        const char* text;
    };
    const Case cases[] = {
        {{1, 0, 0}, 4, {-2, 0, 0}, "ELEMENTS    1 AND    4 LIE ON BOTH SIDES OF THE SYMMETRY PLANE X = 0"},
        {{0, 1, 0}, 1, {0, -0.5, 0}, "ELEMENT    1 CROSSES THE SYMMETRY PLANE Y = 0"},
    };
    for (const Case& c : cases) {
        fx::unitCube();
        fx::setSymmetry(c.isym[0], c.isym[1], c.isym[2]);
        for (int M = 1; M <= 4; ++M)
            for (int K = 1; K <= 3; ++K) XE[c.el][M][K] += c.shift[K - 1];
        const Refusal r = check();
        EXPECT_EQ(r.status, 1) << c.text;
        EXPECT_NE(r.text.find(c.text), std::string::npos) << r.text;
    }
}

TEST(Elchk, EvenPlaneElementIsNotRefused) {
    fx::unitCube();
    fx::setSymmetry(0, 1, 0);
    EXPECT_FALSE(check().stopped);
}

TEST(Elchk, RefusesDegenerateElements) {
    struct Case {
        std::initializer_list<fx::P3> corners;
        const char* text;
    };
    const Case cases[] = {
        {{{0, 0, 0}, {1, 0, 0}, {1, 0, 0}, {0, 1, 0}}, "ELEMENT    2 IS DEGENERATE: EDGE 2 HAS ZERO LENGTH"},
        {{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 0, 0}}, "ELEMENT    2 IS DEGENERATE: EDGE 4 HAS ZERO LENGTH"},
        {{{0, 0, 0}, {1, 1, 1}, {3, 3, 3}}, "ELEMENT    2 IS DEGENERATE: ITS FIRST THREE CORNERS LIE IN ONE LINE"},
        {{{0.1, 0.1, 0.1}, {0.2, 0.2, 0.2}, {0.3, 0.3, 0.3}, {0, 1, 0}},
         "ELEMENT    2 IS DEGENERATE: ITS FIRST THREE CORNERS LIE IN ONE LINE"},
        // the fourth corner straight above the third: a zero edge once flattened
        {{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {1, 1, 1}}, "ELEMENT    2 IS DEGENERATE: EDGE 3 HAS ZERO LENGTH"},
        // a bow-tie, flat and warped
        {{{0, 0, 0}, {1, 1, 0}, {1, 0, 0}, {0, 1, 0}}, "ELEMENT    2 CROSSES ITSELF: TWO OF ITS EDGES INTERSECT"},
        {{{0, 0, 0}, {1, 0, 0}, {0, 1, 0.1}, {1, 1, 0}}, "ELEMENT    2 CROSSES ITSELF: TWO OF ITS EDGES INTERSECT"},
        {{{0, 0, 0}, {1e-60, 0, 0}, {0, 1e-60, 0}}, "ELEMENT    2 IS TOO SMALL: ITS SIZE IS BELOW 1E-50"},
    };
    for (const Case& c : cases) {
        fx::unitSquare();
        NBE = 2;
        fx::setElement(2, c.corners);
        const Refusal r = check();
        EXPECT_TRUE(r.stopped) << c.text;
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.text.find(c.text), std::string::npos) << r.text;
    }
}

TEST(Elchk, RefusesCornerCountsAndGroupsBeyondTheTables) {
    fx::unitSquare();
    NPE[1] = 5;
    Refusal r = check();
    EXPECT_TRUE(r.stopped);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.text.find("ELEMENT    1 HAS    5 EXTREME POINTS (3 OR 4 EXPECTED)"), std::string::npos)
        << r.text;
    fx::unitSquare(-NBEMAX, 1.0);
    EXPECT_FALSE(check().stopped);
    fx::unitSquare(-NBEMAX - 1, 1.0);
    r = check();
    EXPECT_TRUE(r.stopped);
    EXPECT_NE(r.text.find("ELEMENT    1 HAS CODE  -4601: FLUX GROUP BEYOND 4600"), std::string::npos)
        << r.text;
}

}  // namespace
