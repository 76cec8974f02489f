// Import of surface meshes through Gmsh's library: meshes in any format and
// version it reads (ASCII or binary), and geometry files that it meshes
// first; triangles and quadrilaterals, with their physical surfaces mapped to
// boundary conditions.
#pragma once

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

// How a geometry file (one without mesh elements) is meshed: with elements
// of size `size`, or with the sizes the file itself sets (`fromFile`).  A
// geometry file needs one of the two; a mesh file takes neither.
struct MeshSize {
    std::optional<double> size;
    bool fromFile = false;
};

// How long Gmsh may take to read or mesh a file, in seconds, by default.
constexpr double GMSHWAIT = 600.0;

// Reads a mesh.  Each triangle or quadrilateral takes the condition of the
// one physical surface of `groups` it belongs to, or `rest` when it belongs
// to none of them; elements in lines and points are passed over, and an
// element the file lists once per physical surface is taken once.  Elements
// come in the order of their numbers.  Coordinates are multiplied by `scale`;
// corners keep Gmsh's order unless flipped.
// Throws MeshError ("FILE: what") for a file Gmsh cannot read, a volume or
// higher-order element, a group of `groups` that the file lacks, an element
// that gets no condition or two, and a geometry file without a size.
// Gmsh runs in a process of its own: a crash of the library, or no answer
// within TIMEOUT seconds, is a MeshError "FILE: Gmsh could not read it (...)".
// Only a regular file is read.
Mesh readMsh(const std::string& file, const std::vector<GroupBC>& groups,
             const std::optional<GroupBC>& rest = std::nullopt, double scale = 1.0,
             const MeshSize& size = {}, double timeout = GMSHWAIT);

// GEOCHK: the files an import reads: FILE, and when it is a script (a .geo,
// or any file Gmsh would read as one), every file it includes or merges, in
// turn.  Unless TRUST, a script command that runs a program, writes, renames
// or removes a file, or ends the program (SystemCall, Printf to a file,
// Save, Print, Exit ...), or an option naming such a file or program, is
// refused: MeshError "FILE:LINE: WORD what it does: ...".  An include whose
// name is computed cannot be checked and is refused likewise.  In geochk.cpp.
std::vector<std::string> GEOCHK(const std::string& file, bool trust);

}  // namespace tmesh
