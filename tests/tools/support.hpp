// Small helpers shared by the telma-mesh tests.
#pragma once

#include <numbers>
#include <string>

#include "tools/mesh.hpp"

namespace tmtest {

inline constexpr double PI = std::numbers::pi;

inline double dot(const tmesh::Vec3& a, const tmesh::Vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
inline tmesh::Vec3 minus(const tmesh::Vec3& a, const tmesh::Vec3& b) {
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}
// Whether `part` occurs in `s`.
inline bool has(const std::string& s, const std::string& part) { return s.find(part) != std::string::npos; }

}  // namespace tmtest
