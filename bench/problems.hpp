// The benchmark's problems, built in the solver's storage (no data files).
#pragma once

#include <string>

namespace bench {

// Exterior capacitance problem of the unit cube: n x n squares per face with
// normals into the cube, potential 1 and flux group 1 on every element, and
// nip field points outside the cube.
void cube(int n, int nip);
// Interior problem of the unit sphere meshed by an icosahedron whose faces are
// divided `levels` times into four (20 * 4^levels triangles): potential
// x + 2y + 3z prescribed on the upper half, its normal derivative on the
// lower half, and nip internal points inside radius 0.8.
void sphere(int levels, int nip);
// Exterior problem of the box [0,1]^3 meshed with a x b x c rectangles per
// direction (2(ab + bc + ca) elements) and nip field points around it.
void box(int a, int b, int c, int nip);
// Writes the problem in storage as a data file.
void writeData(const std::string& name);

}  // namespace bench
