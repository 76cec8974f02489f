// Writer of the problem data file: title, control record (all five integers
// on one line, so that the viewer reads it too), element records,
// boundary-condition records, internal points.
#pragma once

#include <iosfwd>
#include <string>

#include "tools/mesh.hpp"

namespace tmesh {

// The shortest decimal text that reads back as exactly the same double, with
// an upper-case exponent ("0.5", "-1.25E-07"); negative zero is written "0".
std::string realText(double v);

// Writes the mesh in the solver's data-file format, LF line ends.  The title
// is cut to 80 characters.  Checks the mesh with checkForSolver first.
void writeDataFile(std::ostream& os, const Mesh& m);

}  // namespace tmesh
