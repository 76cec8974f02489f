// The perspective camera and the colour palette.
#include <gtest/gtest.h>

#include <cmath>

#include "viewer/korval.hpp"

using namespace korval;

namespace {

constexpr float DEG = PI / 180;

struct P2 {
    float x, y;
};

P2 project(float x, float y, float z) {
    P2 p{};
    T3D2D(x, y, z, p.x, p.y);
    return p;
}

void defaultCamera(float om = 0) { INIPERS(0, 0, 0, PI / 3, PI / 3, om, 5); }

}  // namespace

TEST(Camera, WorkedValuesOfTheDefaultView) {
    defaultCamera();
    EXPECT_NEAR(PERSP.n[1], 0.433013f, 1e-6f);
    EXPECT_NEAR(PERSP.n[2], 0.75f, 1e-6f);
    EXPECT_NEAR(PERSP.n[3], 0.5f, 1e-6f);
    EXPECT_NEAR(PERSP.E[1], 2.598076f, 2e-6f);
    EXPECT_NEAR(PERSP.E[2], 4.5f, 2e-6f);
    EXPECT_NEAR(PERSP.E[3], 3.0f, 2e-6f);
    EXPECT_EQ(PERSP.h[3], 0.0f);

    P2 p = project(0, 0, 1);
    EXPECT_NEAR(p.x, 0.0f, 1e-6f);
    EXPECT_NEAR(p.y, 0.157459f, 1e-6f);
    p = project(0, 1, 0);
    EXPECT_NEAR(p.x, 0.095238f, 1e-6f);
    EXPECT_NEAR(p.y, -0.082479f, 1e-6f);
    p = project(1, 0, 0);
    EXPECT_NEAR(p.x, -0.155564f, 1e-6f);
    EXPECT_NEAR(p.y, -0.044908f, 1e-6f);

    defaultCamera(PI / 6);
    p = project(0, 0, 1);
    EXPECT_NEAR(p.x, 0.078730f, 1e-6f);
    EXPECT_NEAR(p.y, 0.136364f, 1e-6f);
}

TEST(Camera, AxesAreOrthonormal) {
    INIPERS(0, 0, 0, 37 * DEG, 211 * DEG, 0, 2);
    const auto dot = [](const std::array<float, 4>& a, const std::array<float, 4>& b) {
        return a[1] * b[1] + a[2] * b[2] + a[3] * b[3];
    };
    EXPECT_NEAR(dot(PERSP.n, PERSP.n), 1.0f, 1e-6f);
    EXPECT_NEAR(dot(PERSP.h, PERSP.h), 1.0f, 1e-6f);
    EXPECT_NEAR(dot(PERSP.v, PERSP.v), 1.0f, 1e-6f);
    EXPECT_NEAR(dot(PERSP.n, PERSP.h), 0.0f, 1e-6f);
    EXPECT_NEAR(dot(PERSP.n, PERSP.v), 0.0f, 1e-6f);
    EXPECT_NEAR(dot(PERSP.h, PERSP.v), 0.0f, 1e-6f);
}

TEST(Camera, AimedAtPointProjectsToTheCentre) {
    const float views[][7] = {
        {0, 0, 0, 60 * DEG, 60 * DEG, 0, 5},   {1.5f, -2, 3, 10 * DEG, 300 * DEG, 45 * DEG, 0},
        {-4, 7, 0.5f, 170 * DEG, 90 * DEG, -30 * DEG, 20}, {2, 2, 2, 0, 0, 90 * DEG, 0.25f},
    };
    for (const auto& v : views) {
        INIPERS(v[0], v[1], v[2], v[3], v[4], v[5], v[6]);
        const P2 p = project(v[0], v[1], v[2]);
        EXPECT_NEAR(p.x, 0.0f, 1e-6f);
        EXPECT_NEAR(p.y, 0.0f, 1e-6f);
    }
}

TEST(Camera, LookingStraightDown) {
    const float th = 30 * DEG;
    INIPERS(0, 0, 0, 0, th, 0, 5);
    EXPECT_EQ(PERSP.n[1], 0.0f);
    EXPECT_EQ(PERSP.n[2], 0.0f);
    EXPECT_EQ(PERSP.n[3], 1.0f);
    EXPECT_FLOAT_EQ(PERSP.v[1], -std::cos(th));
    EXPECT_FLOAT_EQ(PERSP.v[2], -std::sin(th));
    EXPECT_EQ(PERSP.v[3], 0.0f);
    const P2 p = project(0, 1, 0);  // well defined, on the h side
    EXPECT_FALSE(std::isnan(p.x));
    EXPECT_GT(p.x, 0.0f);
}

TEST(Camera, EyeOnThePlusXSide) {
    INIPERS(0, 0, 0, 90 * DEG, 0, 0, 5);
    EXPECT_GT(PERSP.E[1], 5.9f);
    EXPECT_GT(project(0, 1, 0).x, 0.0f);  // +y to the right
    EXPECT_GT(project(0, 0, 1).y, 0.0f);  // +z upwards
}

TEST(Camera, DistanceParameter) {
    // D = 0: the eye stands at distance 1; a lateral offset t lands at t.
    INIPERS(0, 0, 0, 90 * DEG, 0, 0, 0);
    EXPECT_NEAR(PERSP.E[1], 1.0f, 1e-6f);
    EXPECT_NEAR(project(0, 0.5f, 0).x, 0.5f, 1e-6f);
    // Doubling D + 1 halves the coordinates in the plane of the aimed-at point.
    INIPERS(0, 0, 0, 50 * DEG, 20 * DEG, 0, 3);
    const P2 a = project(PERSP.h[1] * 0.3f + PERSP.v[1] * 0.2f, PERSP.h[2] * 0.3f + PERSP.v[2] * 0.2f,
                         PERSP.h[3] * 0.3f + PERSP.v[3] * 0.2f);
    INIPERS(0, 0, 0, 50 * DEG, 20 * DEG, 0, 7);
    const P2 b = project(PERSP.h[1] * 0.3f + PERSP.v[1] * 0.2f, PERSP.h[2] * 0.3f + PERSP.v[2] * 0.2f,
                         PERSP.h[3] * 0.3f + PERSP.v[3] * 0.2f);
    EXPECT_NEAR(b.x, a.x / 2, 1e-6f);
    EXPECT_NEAR(b.y, a.y / 2, 1e-6f);
    EXPECT_NEAR(a.x, 0.3f / 4, 1e-6f);
}

TEST(Camera, RollOfNinetyDegrees) {
    defaultCamera();
    const P2 u = project(0.3f, -0.2f, 0.7f);
    defaultCamera(90 * DEG);
    const P2 r = project(0.3f, -0.2f, 0.7f);
    EXPECT_NEAR(r.x, u.y, 1e-6f);
    EXPECT_NEAR(r.y, -u.x, 1e-6f);
}

TEST(Palette, BandsAndClamping) {
    struct Case {
        float x, r, g, b;
    };
    const Case cases[] = {
        {-3, 0, 0, 1},  {7, 1, 0, 0},       {0, 0, 0, 1},      {1, 1, 0, 0},
        {0.5f, 0.5f, 1, 0}, {0.25f, 0, 0.75f, 0.25f}, {0.9f, 1, 0.3f, 0},
    };
    for (const auto& c : cases) {
        float r = -1, g = -1, b = -1;
        PALLETTE(r, g, b, c.x);
        EXPECT_NEAR(r, c.r, 1e-6f) << c.x;
        EXPECT_NEAR(g, c.g, 1e-6f) << c.x;
        EXPECT_NEAR(b, c.b, 1e-6f) << c.x;
    }
}

TEST(Palette, ThresholdsBelongToTheLowerBand) {
    float r, g, b;
    PALLETTE(r, g, b, 0.33333334f);  // lowest band: no red, blue almost gone
    EXPECT_EQ(r, 0.0f);
    EXPECT_NEAR(g, 1.0f, 1e-6f);
    EXPECT_NEAR(b, 0.0f, 1e-6f);
    PALLETTE(r, g, b, std::nextafter(0.33333334f, 1.0f));
    EXPECT_EQ(g, 1.0f);
    EXPECT_EQ(b, 0.0f);
    PALLETTE(r, g, b, 0.6666667f);  // middle band: full green
    EXPECT_EQ(g, 1.0f);
    EXPECT_NEAR(r, 1.0f, 1e-6f);
    PALLETTE(r, g, b, std::nextafter(0.6666667f, 1.0f));
    EXPECT_EQ(r, 1.0f);
}

TEST(Palette, LowestBandKeepsGreenPlusBlue) {
    for (int k = 0; k <= 33; ++k) {
        float r, g, b;
        PALLETTE(r, g, b, k / 100.0f);
        EXPECT_NEAR(g + b, 1.0f, 1e-6f);
        EXPECT_EQ(r, 0.0f);
    }
}
