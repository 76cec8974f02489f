// Import of surface meshes from Gmsh's .msh files (ASCII, versions 2.2 and
// 4.1): triangles and quadrilaterals, with their physical surfaces mapped to
// boundary conditions.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "tools/mesh.hpp"

namespace tmesh {

// The condition of one physical surface, named by its name or its number.
struct GroupBC {
    std::string name;
    BC bc;
    bool flip = false;  // reverse the corner order of its elements
};

// Reads a mesh.  Each triangle or quadrilateral takes the condition of the
// one physical surface of `groups` it belongs to, or `rest` when it belongs
// to none of them.  Lines and points are passed over.  Coordinates are
// multiplied by `scale`; corners keep Gmsh's order unless flipped.
// Throws MeshError ("FILE:LINE: what") for a malformed or binary file, an
// unsupported version, a volume or higher-order element, a group of `groups`
// that the file lacks, and an element that gets no condition or two.
Mesh readMsh(std::istream& in, const std::string& file, const std::vector<GroupBC>& groups,
             const std::optional<GroupBC>& rest, double scale = 1.0);

}  // namespace tmesh
