// Results as VTK unstructured-grid files (XML, ASCII) for ParaView.
#pragma once

#include <string>

namespace telma {

// VTUOUT: writes the boundary elements with their results to FILE: one triangle or
// quadrilateral cell per element (corners shared where they coincide), with
// the cell data potential, normal_derivative, area, code, flux_group (-code
// for a negative code, else 0) and element (its number in the data file).
// With internal points, writes them to the file VTUPTS(FILE) as vertex cells
// with the point data potential and gradient.
// UNFOLD adds the images of the mesh and the points in every symmetry plane:
// an odd plane changes the sign of the values, the gradient is reflected, and
// the corners of an image in an odd number of planes are listed in reverse so
// that its normal is the mirror image of the original's.
// Reads NBE, NPE, XE, KODE, VBC (the potential after the solve), B (the
// normal derivative), AREA, ISYMX/Y/Z, NIP, XIP, UIP and GRADV.
// Throws textio::IoError when a file cannot be written.  In vtuout.cpp.
void VTUOUT(const std::string& FILE, bool UNFOLD);

// VTUPTS: the name of the internal-point file that goes with FILE: its ".vtu" ending
// (or the end of the name) replaced by "_points.vtu".  In vtuout.cpp.
std::string VTUPTS(const std::string& FILE);

}  // namespace telma
