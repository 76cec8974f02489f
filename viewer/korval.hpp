// The viewer's run-wide state and routines.
//
// Tables are 1-based: slot 0 is never used.  A table written XYZ(K,J) in the
// comments (first index fastest) is XYZ[J][K] here, so that its memory order
// is the same.  Reals are single precision throughout, so that a
// picture carries the numbers that a 4-byte program computes.
//
// The viewer's axes: a file point (x, y, z) is stored as (z, x, y).
#pragma once

#include <array>
#include <string>
#include <vector>

namespace korval {

constexpr int NPMAX = 40000;  // vertices in all; also bounds faces and values
constexpr float PI = 3.1415927f;

// ---- colouring, from the command line
extern int ICOL;  // 1: faces filled from the report, colour bar drawn
extern bool HIDE; // --hide: faces far to near, back faces of closed meshes left out, scale values
extern int IPOT;  // 1: colour by POTENTIAL, else by POTENTIAL DERIVATIVE

// ---- mesh and values, filled by RDMESH and RDRES
extern int Npt, nfa, nfa2;
extern std::array<int, NPMAX + 1> NP;        // vertices of face I
extern float XYZ[NPMAX + 1][4];              // XYZ(K,J), viewer axes
extern std::array<float, NPMAX + 1> VAL;     // value of face I
extern float solmin, solmax;                 // ends of the colour scale

// ---- view parameters (angles in radians)
extern float AX, AY, AZ, D, Th, Ps, Om, Zx, Ex;

// ---- file names: the problem data file and the report, from the command
// line after the switch, else the fixed names "tELMA.in" and "TELMA.out"
// (found without regard to letter case); the picture file
extern std::string DNAME, RNAME;
extern std::string FNAME;

// ---- camera state, written by INIPERS only (vectors 1-based)
struct Persp {
    std::array<float, 4> n;   // unit vector from the aimed-at point to the eye
    std::array<float, 4> h;   // picture horizontal axis
    std::array<float, 4> v;   // picture vertical axis
    std::array<float, 4> E;   // eye position
    float cosOm, sinOm;       // roll
};
extern Persp PERSP;

// ---- routines
// Sets ICOL and IPOT from the first command-line argument, DNAME and RNAME
// from the second and third when given (a switch-like word there, such as
// /p naming no file, is ignored as in the classic program).
void SWITCH(int argc, char** argv);
// Mesh from DNAME; a negative face count is refused.
void RDMESH();
// Face values from RNAME.  A report whose rows are not one per face, or
// whose nodes do not lie on the faces of their rows, is that of another mesh
// or cut: refused (textio::IoError naming the file).
void RDRES();
// Whether the node (X, Y, Z), in the data file's axes, lies in the box of
// face J's vertices (those after the first S), widened for the report's
// rounding.
bool NODEIN(int J, int S, float X, float Y, float Z);
// Default view parameters.
void DEFVIEW();
// Camera from the view parameters (note the order: Ps before Th, D last).
void INIPERS(float AX, float AY, float AZ, float Ps, float Th, float Om, float D);
// Projects one point into picture coordinates.
void T3D2D(float X, float Y, float Z, float& XP, float& YP);
// Blue-green-yellow-red colour of a value in 0 .. 1.
void PALLETTE(float& R, float& G, float& B, float X);
// Writes one complete picture to FNAME.
void PICTURE();
// Whether the mesh is closed: every edge (a pair of vertices, by their
// coordinates) belongs to exactly two faces.
bool CLOSED();
// The faces in drawing order: with HIDE far to near from the eye (by the
// distance of their vertex centres), else 1 .. nfa; FIRST(I) is the index of
// face I's first vertex less one.
std::vector<int> DRAWORDER(std::vector<int>& FIRST);
// The view editing dialogue on the console.
void EDVIEW();
// The whole run; ends only by textio::Stop or textio::IoError.
[[noreturn]] void KORVAL(int argc, char** argv);

}  // namespace korval
