// The capacitance matrix of the flux groups in one run (telma --capacitance).
//
// Every flux group is a conductor.  The system is made once; besides the
// data file's own right-hand side it gets one per conductor: that conductor
// at potential 1, every other potential element at 0, every prescribed
// normal derivative 0 (VCOND, the further right-hand sides of the request).
// All of them are solved together, and the flux out of conductor H in the
// solution of conductor G is C(H,G).
#pragma once

#include <vector>

#include "solver/telma.hpp"

namespace telma {

// ---- storage of a capacitance run, in capaci.cpp
// NCOND conductors, numbered in increasing group order; 0 outside a
// capacitance run.
extern int NCOND;
// ICOND(J), J = 1..NBE: the conductor of element J, 0 for none.
extern std::vector<int> ICOND;
// VCOND(J,L) at VCOND[(L - 1) * NBE + J - 1]: the prescribed value of element
// J with conductor L at potential 1 and all else 0, as SOLREQ::VRHS takes it.
extern std::vector<double> VCOND;

// ---- results of CAPMAT
// IGRP(L): the group number of conductor L.
extern std::vector<int> IGRP;
// CAP(H,G) at CAP[(G - 1) * NCOND + H - 1]: the capacitance matrix in units of
// the permittivity times the length unit (with media: of the vacuum's, the
// permittivities carried in), mirror images included.
extern std::vector<double> CAP;

// CAPSCOPE: while it lives, a capacitance run: its constructor checks the
// elements and sets NCOND, ICOND, IGRP and VCOND; its destructor sets NCOND
// back to 0.  Refuses (console message, stop with status 1) what
// ELCHK refuses, and a problem without flux groups, with an odd symmetry
// plane or with a non-zero prescribed normal derivative.  In capaci.cpp.
struct CAPSCOPE {
    CAPSCOPE();
    ~CAPSCOPE();
    CAPSCOPE(const CAPSCOPE&) = delete;
    CAPSCOPE& operator=(const CAPSCOPE&) = delete;
};

// CAPRUN: the whole run of --capacitance, from element geometry to the
// CAPACITANCE blocks: in a CAPSCOPE, RUN with the conductors' right-hand
// sides after the data file's, then CAPMAT from B's further columns unless
// the solve failed.  A single conductor whose data already put it at 1 and
// every other potential at 0 is solved once, its column the data's own
// solution.  In capaci.cpp.
//   rep      (in/out)  the report
//   S, R     (in)      the solver and the request, as RUN takes them
//   returns  the exit status of the run: 0, or 1 when the solve failed
int CAPRUN(textio::OutUnit& rep, const SOLVER& S = GSSOLVER, const SOLREQ& R = {});

// CAPMAT: CAP from the solved conductor columns, then the CAPACITANCE block
// in units of the permittivity times the length unit, the CAPACITANCE (F)
// block in farads for the medium and unit of OPTS, and the checks of the
// matrix, to the report and the console.  In capaci.cpp.
//   X    (in)      NCOND columns of LDX entries: the solution of each
//                  conductor's right-hand side, Q at the potential elements
//   LDX  (in)      the column stride of X
//   rep  (in/out)  the report
void CAPMAT(const double* X, int LDX, textio::OutUnit& rep);

// CAPFARAD: farads per unit of CAP: eps0 times the relative permittivity of
// OPTS (1 with media, whose permittivities CAP carries) times the length unit
// in metres.  In capaci.cpp.
double CAPFARAD();

}  // namespace telma
