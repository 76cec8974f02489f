// Mesh builders of telma-mesh: boxes, icosahedral spheres, symmetry cuts,
// internal points, orientation of closed surfaces, and the measures the
// tests and the summary line use.
//
// A mesh here is exactly what the problem data file holds: flat elements with
// three or four corners, one boundary condition each, the three symmetry flags
// and the internal points.  Corners are ordered so that the normal
// (V2 - V1) x (V3 - V2) points out of the region where the potential is sought.
#pragma once

#include <array>
#include <stdexcept>
#include <string>
#include <vector>

namespace tmesh {

using Vec3 = std::array<double, 3>;

// Most elements, and most internal points, that one run builds: counts are
// checked against it before anything is allocated.
constexpr long long MAXCOUNT = 1000000;

// A failure of the tool: bad options, bad input, a mesh the solver cannot take.
class MeshError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One boundary condition: the solver's code and prescribed value.
struct BC {
    int kode = 1;       // 1: normal derivative; 0: potential; -K: potential, flux group K
    double vbc = 0.0;
    int expr = -1;      // >= 0: vbc is formula EXPR (of the list applyFormulas takes) at the element
};

struct Element {
    int npe = 0;                    // 3 or 4
    std::array<Vec3, 4> x{};        // corners in order; x[npe..3] unused
    BC bc;
};

struct Mesh {
    std::string title;
    std::vector<Element> el;
    std::array<int, 3> isym{0, 0, 0};  // ISYMX, ISYMY, ISYMZ
    std::vector<Vec3> ip;              // internal points
};

// ---------------------------------------------------------------- box

// Faces in the order the elements are written.
enum Face { ZMIN, ZMAX, YMIN, YMAX, XMIN, XMAX, NFACE };
extern const std::array<const char*, NFACE> FACENAME;  // "zmin", ...

struct FaceParams {
    BC bc;              // default: insulated (q = 0)
    int na = 0, nb = 0; // divisions along the face's two axes; 0 = from BoxParams::div
};

struct BoxParams {
    Vec3 lo{0, 0, 0}, hi{1, 1, 1};
    std::array<int, 3> div{1, 1, 1};   // divisions along x, y, z
    std::array<FaceParams, NFACE> face{};
    bool exterior = false;              // potential sought outside the box
};

// The six faces in the order zmin, zmax, ymin, ymax, xmin, xmax, each split
// into a grid of quadrilaterals.  With one division the unit cube comes out
// corner for corner as the solver's six-element test problem.
// A face spans axes (a, b); its divisions default to div[a] and div[b].
Mesh makeBox(const BoxParams& s);
// The two axes (0 = x, 1 = y, 2 = z) spanned by a face, in corner order.
std::array<int, 2> faceAxes(Face f);

// ---------------------------------------------------------------- sphere

constexpr int MAXLEVEL = 8;  // the finest sphere: 1,310,720 triangles

struct SphereParams {
    double r = 1.0;
    Vec3 c{0, 0, 0};
    int level = 3;          // 20 * 4^level triangles, 0 to MAXLEVEL
    BC bc{-1, 1.0};         // electrode at potential 1, flux group 1
    bool exterior = true;   // normals toward the centre
    bool areaFit = false;   // corners pushed out together until the mesh has the sphere's area
};

// An icosahedron with each triangle split `level` times into four, the new
// corners pushed out onto the sphere.  All corners lie on the sphere; the mesh
// is mirror-symmetric in the three coordinate planes through the centre.
Mesh makeSphere(const SphereParams& s);

// ---------------------------------------------------------------- symmetry

// Keeps the part with side * x[axis] >= 0 and sets the symmetry flag of that
// plane to parity (1 even, -1 odd).  Elements that cross the plane are cut
// along it; elements that lie in it, or wholly on the other side, are dropped.
// Corners within a tiny distance of the plane are moved onto it first.
void cutSymmetry(Mesh& m, int axis, int side, int parity);

// Cuts every element that crosses the plane x[axis] = 0 into its parts on
// either side and keeps them all: a full mesh whose halves are exactly the
// meshes cutSymmetry keeps.
void splitAlong(Mesh& m, int axis);

// ---------------------------------------------------------------- internal points

// n >= 1 points from a to b, both ends included (n = 1: a alone), appended
// to ip.
void addLine(std::vector<Vec3>& ip, const Vec3& a, const Vec3& b, int n);
// A regular grid of n[0] x n[1] x n[2] points filling the box from a to b,
// x varying fastest; a count of 1 puts the points at a's coordinate.
void addGrid(std::vector<Vec3>& ip, const Vec3& a, const Vec3& b, const std::array<int, 3>& n);

// ---------------------------------------------------------------- orientation

// Reverses the corner order of an element (its normal), keeping corner 1.
void flip(Element& e);

// One connected piece of a mesh: elements joined by shared edges.
struct Surface {
    std::vector<std::size_t> el;  // its elements (indices into Mesh::el)
    std::vector<bool> flip;       // per element of el: reversing these makes neighbours agree
    bool closed = true;           // every edge shared by exactly two elements
    bool orientable = true;       // such reversals exist
    bool consistent = true;       // neighbours run their common edges in opposite senses as they are
    std::string open;             // when not closed: the first edge that is not shared by two
};
// The connected pieces of the mesh, in the order of their first elements.
std::vector<Surface> surfaces(const Mesh& m);
// The summary of which way the normals of each closed surface point (into or
// out of the volume it encloses), as ", normals ..." for the summary line;
// appends to `warnings` a line for each surface whose normals point both
// ways, or away from the region the surfaces together bound (the region
// inside a single outermost surface whose normals point out of it, else the
// space outside the outermost surfaces, sides alternating inward).
std::string describeNormals(const Mesh& m, std::vector<std::string>& warnings);
// Orders the corners of every connected closed surface of the mesh
// consistently and so that its normals point away from the volume it
// encloses (outward) or into it (inward).  Throws when a surface is open,
// has an edge shared by more than two elements, or cannot be oriented.
void orientClosed(Mesh& m, bool outward);

// ---------------------------------------------------------------- measures

Vec3 centroid(const Element& e);          // mean of the corners
double area(const Element& e);            // fan of triangles from the centroid
Vec3 unitNormal(const Element& e);        // of (V2 - V1) x (V3 - V2)
double totalArea(const Mesh& m);
// Volume enclosed by the elements, positive when their normals point away
// from it (only meaningful for a closed surface).
double signedVolume(const Mesh& m);

// Refuses a mesh the solver cannot read or would divide by zero on: corner
// counts other than 3 or 4, flux groups beyond its table, coordinates that
// are not finite, and element shapes the solver refuses (its SHAPECHK, with
// its tolerance).
void checkForSolver(const Mesh& m);

// Whether the mesh has more elements or internal points than the classic
// solve takes (its bounds NBEMAX and NIPMAX): only --solver=lu or hmat
// solve it.
bool beyondClassic(const Mesh& m);

// ---------------------------------------------------------------- formulas

// checkFormula: throws MeshError, naming WHAT, when TEXT is not a formula of
// x, y, z (the element's centroid) and nx, ny, nz (its unit normal) that
// muparser reads.  In formula.cpp.
void checkFormula(const std::string& text, const std::string& what);

// applyFormulas: the prescribed value of every element whose condition is a
// formula (BC::expr, an index into FORMULAS), evaluated at its centroid and
// normal as the solver computes them.  Throws MeshError for a value that is
// not a number within +/-1e50.  In formula.cpp.
void applyFormulas(Mesh& m, const std::vector<std::string>& formulas);

}  // namespace tmesh
