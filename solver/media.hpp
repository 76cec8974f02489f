// Piecewise-homogeneous media (telma --media=FILE): conductors each in a
// medium of its own permittivity, and interfaces between two media.
//
// The run is solved in the charge formulation.  The potential is that of a
// charge density SIGMA on every element, in free space:
//   U(P) = sum over J of SIGMA(J) S(J,P),   S(J,P) = -G (INFLU's G of J at P),
// continuous everywhere, its normal derivative jumping by -SIGMA across an
// element: on the side opposite the normal (the side the classic program
// solves in) it is SIGMA/2 + K SIGMA, on the normal's side K SIGMA - SIGMA/2,
// with K the normal derivative of the single layer at the node.  One unknown
// and one equation an element, by the element's kind:
//   conductor (code <= 0):  U = the prescribed potential;
//   wall (code >= 1, not listed):  the normal derivative on the side
//       opposite the normal = the prescribed value, as in the classic run;
//   interface (code >= 1, listed):  EPSN dU/dn on the normal's side = EPSB
//       dU/dn on the other, that is SIGMA/2 - LAMBDA K SIGMA = 0 with
//       LAMBDA = (EPSN - EPSB) / (EPSN + EPSB): SIGMA is the bound charge,
//       0 where both sides are alike.
// A conductor is a body of metal (or a thin plate with the same medium on
// both sides): the field inside it is zero, so its SIGMA is its normal
// derivative Q and EPSB SIGMA the free charge on it.
//
// Each row of the operator is RG G + RD D + RJ (the last on the diagonal
// only), with G the image-summed single layer coefficient and D its
// derivative along the row's own normal (GRDSYM); MDCOEF gives the three,
// shared by the dense assembly and the compressed operator.
#pragma once

#include <istream>
#include <string>
#include <vector>

#include "solver/telma.hpp"

namespace telma {

// ---- storage of a run with media, in media.cpp
// MEDIA: the run has media (set by MEDRD; ALLOC clears it).
extern bool MEDIA;
// One line of the media file: the code, the permittivities on the normal's
// side (0 for a conductor) and on the other, the line number, the elements.
struct MEDLINE {
    int K;
    double EN, EB;
    int LINE, COUNT;
};
extern std::vector<MEDLINE> MEDLST;
// EPSB(I): the permittivity on the side of element I opposite its normal,
// the medium of a conductor; EPSN(I): on its normal's side, 0 unless the
// element is an interface.  Elements of codes not listed have EPSB the
// permittivity given for the rest (--eps-r).
extern std::vector<double> EPSB, EPSN;
extern double EPSREST;
// SIGMA(I): the charge density of the solution (after MDPOST).
extern std::vector<double> SIGMA;
// CSELF(I): the correction of K at the node of wall or interface I (MDPREP).
extern std::vector<double> CSELF;

// MEDRD: reads the media file and sets the storage above for the elements
// read by READIN.  Each line is `K EPS` for a code K <= 0 or `K EPS_N EPS_B`
// for a code K >= 1; `#` starts a comment.  Refuses (textio::IoError naming
// the file and the line) a malformed line, a code listed twice or that no
// element has, a permittivity that is not a positive number, and an
// interface element whose prescribed value is not 0.
//   in    (in/out)  the file;  NAME (in) its name for the messages
//   REST  (in)      the permittivity of the codes not listed
void MEDRD(std::istream& in, const std::string& NAME, double REST);

// MEDREP: the MEDIA block of the report (after the echo): each code read,
// its elements, its kind and its permittivities, then that of the rest.
//   rep  (in/out)  the report
void MEDREP(textio::OutUnit& rep);

// MDPREP: CSELF, by direct sums over the elements and their images, or by
// CORR.  The normal derivative K of the single layer, integrated on plane
// elements, is only first-order accurate near a node of a curved surface,
// where the double layer is exact for a constant: so K SIGMA is taken as the
// discrete K of SIGMA - SIGMA(I), plus SIGMA(I) times the discrete double
// layer of 1 and the (bounded) difference MDMID of the two kernels at the
// nodes.  Before MDCOEF is used; writes a console line with its time.
//   CORR  (in)  sets CSELF(I) at the walls and interfaces, CSELF all 0 on
//               entry, the sum over J of D - H + MDMID(I,J), to about R.EPS;
//               null: direct
//   R     (in)  the request
void MDPREP(void (*CORR)(const SOLREQ& R) = nullptr, const SOLREQ& R = {});

// MDMID: the difference of the normal derivative of the single layer at node
// I and the double layer there, for element J and its images, by the
// midpoint rule (the element's own direct term left out).
//   I, J  (in)  the node and the element;  returns the image-summed term
double MDMID(int I, int J);

// MDCOEF: the coefficients of row I of the operator (see above).
//   I           (in)   the element of the row
//   RG, RD, RJ  (out)  the weights of G, of D and of the diagonal
void MDCOEF(int I, double& RG, double& RD, double& RJ);

// MDRHS: the right-hand side of row I when element I's prescribed value is V:
// V for a conductor or a wall, 0 for an interface.
double MDRHS(int I, double V);

// MDROW: row I of A and its right-hand sides B(I,L) in the charge
// formulation, for ASSEMB when MEDIA (after MDPREP).
//   I           (in)  the row
//   NRHS, VRHS  (in)  as SOLREQ has them
void MDROW(int I, int NRHS, const double* VRHS);

// MDSUMFN: the sums of the charges SIGMA at the walls and interfaces I
// that MDPOST needs: U(I) = -(sum over J of G SIGMA(J)), and at the
// interfaces K(I) = -(sum over J of D SIGMA(J)) (other entries are not read).
// A solver's own (SOLVER::SUMS), or MDSUMS.
using MDSUMFN = decltype(SOLVER::SUMS);

// MDSUMS: those sums directly, over the elements and their images.
void MDSUMS(const SOLREQ& R, std::vector<double>& U, std::vector<double>& K);

// MDPOST: after the solve, in place of the exchange step: SIGMA from B, then
// VBC the potential and B the normal derivative (on the side opposite the
// normal) of every node, from SIGMA where they are not prescribed: U at
// walls and interfaces, Q at interfaces.  Writes a console line with its
// time.
//   R     (in)  the request;  SUMS (in) the sums (null: MDSUMS)
void MDPOST(const SOLREQ& R, MDSUMFN SUMS);

}  // namespace telma
