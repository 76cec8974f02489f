// The perspective camera and the colour palette.
#include <gtest/gtest.h>

#include <cmath>

#include "viewer/korval.hpp"

using namespace korval;

static constexpr float DEG = PI / 180;

TEST(Camera, WorkedValues) {
    const struct { float ax, ay, az, th, ps, om, d, x, y, z, X, Y; } cases[] = {
        {0, 0, 0, 60 * DEG, 60 * DEG, 0, 5, 0, 0, 1, 0, 0.157459f},
        {0, 0, 0, 60 * DEG, 60 * DEG, 0, 5, 1, 0, 0, -0.155564f, -0.044908f},
        {0, 0, 0, 60 * DEG, 60 * DEG, 30 * DEG, 5, 0, 0, 1, 0.078730f, 0.136364f},
        {0, 0, 0, 60 * DEG, 60 * DEG, 90 * DEG, 5, 0, 0, 1, 0.157459f, 0},  // a roll turns the picture
        {0, 0, 0, 60 * DEG, 60 * DEG, 90 * DEG, 5, 1, 0, 0, -0.044908f, 0.155564f},
        {0, 0, 0, 90 * DEG, 0, 0, 0, 0, 0.5f, 0, 0.5f, 0},  // D = 0: the eye at distance 1
        // the aimed-at point projects to the centre
        {1.5f, -2, 3, 10 * DEG, 300 * DEG, 45 * DEG, 0, 1.5f, -2, 3, 0, 0},
    };
    for (const auto& c : cases) {
        INIPERS(c.ax, c.ay, c.az, c.th, c.ps, c.om, c.d);
        float X = 0, Y = 0;
        T3D2D(c.x, c.y, c.z, X, Y);
        EXPECT_LT(std::hypot(X - c.X, Y - c.Y), 1e-6f) << c.th << ' ' << c.om << ' ' << c.x << c.y << c.z;
    }
}

TEST(Palette, BandsThresholdsAndClamping) {
    const float t1 = 0.33333334f, t2 = 0.6666667f;
    const struct { float x, r, g, b; } cases[] = {
        {-3, 0, 0, 1}, {7, 1, 0, 0}, {0, 0, 0, 1}, {1, 1, 0, 0}, {0.5f, 0.5f, 1, 0}, {0.25f, 0, 0.75f, 0.25f},
        {0.9f, 1, 0.3f, 0}, {0.1f, 0, 0.3f, 0.7f}, {t1, 0, 1, 0}, {std::nextafter(t1, 1.0f), 0, 1, 0}, {t2, 1, 1, 0},
        {std::nextafter(t2, 1.0f), 1, 1, 0},
    };
    for (const auto& c : cases) {
        float r = -1, g = -1, b = -1;
        PALLETTE(r, g, b, c.x);
        EXPECT_LT(std::hypot(r - c.r, g - c.g, b - c.b), 1e-6f) << c.x << ": " << r << ' ' << g << ' ' << b;
    }
}
