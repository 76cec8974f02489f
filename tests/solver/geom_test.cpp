// Element geometry, and the refusal of elements that cannot be integrated.
#include <gtest/gtest.h>

#include "support.hpp"

using namespace telma;

TEST(Geom, CentresAreasAndNormals) {
    CLEAR();
    NBE = 3;
    fx::setElement(1, {{0, 0, 0}, {2, 0, 0}, {0, 2, 0}});
    fx::setElement(2, {{0, 1, 0}, {1, 1, 0}, {1, 0, 0}, {0, 0, 0}});  // corners reversed
    fx::setElement(3, {{0, 0, 0}, {1, 0, 0}, {1, 1, 1}, {0, 1, 0}});  // warped: the fan's area
    GEOM();
    const double want[3][5] = {{2.0 / 3, 2.0 / 3, 0, 2.0, 1}, {0.5, 0.5, 0, 1.0, -1}, {0.5, 0.5, 0.25, 1.3090170, 0}};
    for (int I = 1; I <= 3; ++I) {
        for (int K = 1; K <= 3; ++K) EXPECT_NEAR(XC[I][K], want[I - 1][K - 1], 1e-15) << I;
        EXPECT_NEAR(AREA[I], want[I - 1][3], 5e-8) << I;
        if (want[I - 1][4] != 0) { EXPECT_EQ(ELD[I].EN[2], want[I - 1][4]) << I; }
    }
}

TEST(Elchk, RefusalsNameTheElement) {
    const struct { std::initializer_list<fx::P3> corners; int sx, sy, sz, kode; const char* text; } cases[] = {
        {{{0, 0, 0}, {1, 0, 0}, {1, 0, 0}, {0, 1, 0}}, 0, 0, 0, 0, "ELEMENT    2 IS DEGENERATE: EDGE 2 HAS ZERO LENGTH"},
        {{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 0, 0}}, 0, 0, 0, 0, "ELEMENT    2 IS DEGENERATE: EDGE 4 HAS ZERO LENGTH"},
        {{{0, 0, 0}, {1, 1, 1}, {3, 3, 3}}, 0, 0, 0, 0, "ELEMENT    2 IS DEGENERATE: ITS FIRST THREE CORNERS LIE IN ONE LINE"},
        {{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {1, 1, 1}}, 0, 0, 0, 0, "ELEMENT    2 IS DEGENERATE: EDGE 3 HAS ZERO LENGTH"},
        // a bow-tie, flat and warped; a size below the range the integrals take
        {{{0, 0, 0}, {1, 1, 0}, {1, 0, 0}, {0, 1, 0}}, 0, 0, 0, 0, "ELEMENT    2 CROSSES ITSELF: TWO OF ITS EDGES INTERSECT"},
        {{{0, 0, 0}, {1, 0, 0}, {0, 1, 0.1}, {1, 1, 0}}, 0, 0, 0, 0, "ELEMENT    2 CROSSES ITSELF: TWO OF ITS EDGES INTERSECT"},
        {{{0, 0, 0}, {1e-60, 0, 0}, {0, 1e-60, 0}}, 0, 0, 0, 0, "ELEMENT    2 IS TOO SMALL: ITS SIZE IS BELOW 1E-50"},
        // elements on both sides of a plane, or across it
        {{{-2, 0, 0}, {-1, 0, 0}, {-1, 1, 0}}, 1, 0, 0, 0, "ELEMENTS    1 AND    2 LIE ON BOTH SIDES OF THE SYMMETRY PLANE X = 0"},
        {{{0, 0, -0.5}, {1, 0, 0.5}, {1, 1, 0.5}}, 0, 0, 1, 0, "ELEMENT    2 CROSSES THE SYMMETRY PLANE Z = 0"},
        {{{0, 0, 0}, {1, 0, 0}, {1, 0, 1}, {0, 0, 1}}, 0, -1, 0, 0, "ELEMENT    2 LIES IN THE ODD SYMMETRY PLANE Y = 0"},
        {{{0, 0, 0}, {1, 0, 0}, {1, 0, 1}, {0, 0, 1}}, 0, 1, 0, 0, ""},
        {{{0, 0.5, 0}, {1, 0.5, 0}, {1, 0.5, 1}, {0, 0.5, 1}}, 1, -1, 0, 0, ""},
        {{{0, 0, 1}, {1, 0, 1}, {1, 1, 1}}, 0, 0, 0, -NBEMAX, ""},
        {{{0, 0, 1}, {1, 0, 1}, {1, 1, 1}}, 0, 0, 0, -NBEMAX - 1, "ELEMENT    2 HAS CODE  -4601: FLUX GROUP BEYOND 4600"},
        {{{0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}, {0, 1, 2}}, 0, 0, 0, 0, "ELEMENT    2 HAS    5 EXTREME POINTS (3 OR 4 EXPECTED)"},
    };
    for (const auto& c : cases) {
        fx::unitSquare();
        NBE = 2;
        fx::setElement(2, c.corners, c.kode, 1.0);
        fx::setSymmetry(c.sx, c.sy, c.sz);
        const fx::RunResult r = fx::runSolve({}, [](textio::OutUnit&) { ELCHK(); return 0; });
        EXPECT_EQ(r.status, *c.text ? 1 : 0) << c.text << r.console;
        EXPECT_TRUE(*c.text ? r.console.find(c.text) == 1 : r.console.empty()) << r.console;
    }
}
