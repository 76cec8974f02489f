// The perspective camera:
//
//   INIPERS  sets up the camera from the view angles and distance
//   T3D2D    projects a point of the scene onto the picture plane
#include <cmath>

#include "viewer/korval.hpp"

namespace korval {

void INIPERS(float AX, float AY, float AZ, float Ps, float Th, float Om, float D) {
    const float cp = std::cos(Ps), sp = std::sin(Ps);
    const float ct = std::cos(Th), st = std::sin(Th);
    PERSP.n = {0, ct * sp, st * sp, cp};
    PERSP.h = {0, -st, ct, 0};
    PERSP.v = {0, -ct * cp, -st * cp, sp};
    const float dd = D + 1;
    PERSP.E = {0, dd * PERSP.n[1] + AX, dd * PERSP.n[2] + AY, dd * PERSP.n[3] + AZ};
    PERSP.cosOm = std::cos(Om);
    PERSP.sinOm = std::sin(Om);
}

// Only subtractions, products and two divisions: it runs for every vertex.
void T3D2D(float X, float Y, float Z, float& XP, float& YP) {
    const auto& p = PERSP;
    const float d1 = X - p.E[1], d2 = Y - p.E[2], d3 = Z - p.E[3];
    const float w = p.n[1] * d1 + p.n[2] * d2 + p.n[3] * d3;
    const float a = p.h[1] * d1 + p.h[3] * d3 + p.h[2] * d2;
    const float b = p.v[1] * d1 + p.v[3] * d3 + p.v[2] * d2;
    const float xs = -a / w;
    const float ys = -b / w;
    XP = p.cosOm * xs + p.sinOm * ys;
    YP = -p.sinOm * xs + p.cosOm * ys;
}

}  // namespace korval
