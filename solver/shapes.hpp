// Element shapes and the bounds of the solver's tables, without its storage:
// what the mesh tool shares with the solver.
//
//   SHAPECHK  the first fault that keeps an element from being integrated
//   centroid  an element's node
//   area      an element's area
//   sizeOf    the scale of DEGTOL for an element
//   frame     an element's plane frame, as INFLU uses it
//
// All in shapes.cpp.
#pragma once

#include <string>

#include <array>

namespace telma {

// MEMAVAIL: the bytes of memory the system can give this run now.  In
// shapes.cpp (telma-mesh's advice uses it too).
double MEMAVAIL();

// MBTEXT: BYTES as whole megabytes, rounded up: "123 MB".  In shapes.cpp.
std::string MBTEXT(double BYTES);

// SOLADVICE: the solver that takes a problem beyond the classic bounds,
// whose dense operator needs DENSE bytes: "--solver=lu (its dense matrix
// needs ... of the ... available) or --solver=hmat" while it fits in the
// memory available, else "--solver=hmat (the dense matrix of --solver=lu
// would need ..., more than the ... available)".  In shapes.cpp.
std::string SOLADVICE(double DENSE);

// Largest magnitude of a coordinate or a prescribed value: the squares and
// cubes of distances and values that the solution forms stay finite.
constexpr double XBIG = 1.0e+50;

constexpr int NBEMAX = 4600;  // boundary elements = nodes = unknowns
constexpr int NIPMAX = 7000;  // internal points
constexpr int MAXV = 4;       // corners per element

// NGROUPS: the flux groups a run of N elements takes (groups 1 to NGROUPS,
// codes down to minus it): NBEMAX, or N when N is larger.
constexpr long long NGROUPS(long long N) { return N > NBEMAX ? N : NBEMAX; }

// Relative size below which a length or a sine counts as zero; lengths are
// measured against the largest distance from the node to a corner.
constexpr double DEGTOL = 1.0e-10;

// The corners of one element, corner M (1-based) in slot M - 1.
using CORNERS = std::array<std::array<double, 3>, MAXV>;

// Smallest element size (largest distance from the node to a corner): below
// it the squares and cubes of lengths that the formulas form underflow.
constexpr double SIZEMIN = 1.0e-50;

// What keeps an element's shape from being integrated: a size below SIZEMIN,
// an edge of zero length, first three corners in one line, an edge that
// vanishes in the plane a warped quadrilateral is flattened to, or two edges
// of a quadrilateral that cross (a bow-tie).  `edge` is the edge's number
// (1..NP) for the two edge faults, 0 otherwise.
enum class SHAPE { OK, ZERO_EDGE, IN_LINE, FLAT_ZERO_EDGE, TOO_SMALL, CROSSED };
struct SHAPEFAULT {
    SHAPE kind;
    int edge;
};

// SHAPECHK: the first shape fault of an element, in the order ELCHK reports
// them.
//   NP  (in)  the corner count, 3 or 4
//   X   (in)  the corners
//   returns   {SHAPE::OK, 0} for an element INFLU can integrate
SHAPEFAULT SHAPECHK(int NP, const CORNERS& X);

// The plane frame of one element: what INFLU derives from the corners alone,
// formed with exactly the operations INFLU would use for them.
struct ELDATA {
    double XN[3];          // the node XC(:,J)
    double T1[3], T2[3];   // in-plane axes
    double EN[3];          // unit normal
    double XL[MAXV + 1];   // local plane corners, slot NV repeats corner 0 (and a
                           // triangle's slot 4 corner 1: its fourth edge repeats the first)
    double YL[MAXV + 1];
    double EL[MAXV];       // edge lengths in the plane
    double CX[MAXV], CY[MAXV];
    double XMAG;           // largest magnitude of a corner coordinate: with the
                           // field point's, the scale of INFLU's rounding
    int NV;
};

// centroid: the node of an element, the plain average of its corners.
//   NP  (in)  corner count;  X (in) the corners;  xc (out) the node
void centroid(int NP, const CORNERS& X, double xc[3]);
// area: the area of an element, the fan of triangles from its node xc.
//   NP, X, xc  (in)  as for centroid;  returns the area
double area(int NP, const CORNERS& X, const double xc[3]);
// sizeOf: the largest distance from the node xc to a corner, the scale of
// DEGTOL.
//   NP, X, xc  (in)  as for centroid;  returns the distance
double sizeOf(int NP, const CORNERS& X, const double xc[3]);
// frame: the plane frame of an element.
//   NV  (in)   corner count;  X (in) the corners;  xc (in) its node
//   E   (out)  the frame
void frame(int NV, const CORNERS& X, const double xc[3], ELDATA& E);

}  // namespace telma
