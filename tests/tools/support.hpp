// Small helpers shared by the telma-mesh tests.
#pragma once

#include <array>
#include <cmath>
#include <numbers>
#include <string>

#include "tools/mesh.hpp"

namespace tmtest {

inline constexpr double PI = std::numbers::pi;

inline double dot(const tmesh::Vec3& a, const tmesh::Vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
inline tmesh::Vec3 minus(const tmesh::Vec3& a, const tmesh::Vec3& b) {
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}
// C11 and C12 of two equal spheres of radius a, centres d apart, in units of
// the permittivity, from the classical series in bispherical coordinates:
// with cosh(alpha) = d / (2 a),
//   C11 =  4 pi a sinh(alpha) * sum over n >= 0 of 1 / sinh((2n + 1) alpha),
//   C12 = -4 pi a sinh(alpha) * sum over n >= 1 of 1 / sinh(2n alpha).
// The terms fall as exp(-2 alpha n); 200 of them are exact to rounding for
// any d > 2a the tests use.
inline std::array<double, 2> twoSpheres(double a, double d) {
    const double al = std::acosh(d / (2 * a));
    double s11 = 0, s12 = 0;
    for (int n = 200; n >= 1; --n) {
        s11 += 1 / std::sinh((2 * n + 1) * al);
        s12 += 1 / std::sinh(2 * n * al);
    }
    s11 += 1 / std::sinh(al);
    return {4 * PI * a * std::sinh(al) * s11, -4 * PI * a * std::sinh(al) * s12};
}

// Whether `part` occurs in `s`.
inline bool has(const std::string& s, const std::string& part) { return s.find(part) != std::string::npos; }

}  // namespace tmtest
