// The solver's shared storage and routines.
//
// All problem data and work tables live here, sized by compile-time bounds and
// zero at program start.  Tables are 1-based: slot 0 is never used.  A table
// written XE(K,M,I) in the design notes is XE[I][M][K] here, so that its memory
// order (first index fastest) is the same.
#pragma once

#include <array>
#include <string>

#include "textio/textio.hpp"

namespace telma {

constexpr int NBEMAX = 4600;  // boundary elements = nodes = unknowns
constexpr int NIPMAX = 7000;  // internal points
constexpr int MAXV = 4;       // corners per element

// ---- problem data, filled by READIN
extern std::string TITLE;                       // 80 characters
extern int NBE, NIP;
extern int ISYMX, ISYMY, ISYMZ;
extern int IREFX, IREFY, IREFZ;                 // -1: plane present, 1: not
extern int IPARX, IPARY, IPARZ;                 // weight of the mirrored term
extern std::array<int, NBEMAX + 1> NPE;
extern double XE[NBEMAX + 1][MAXV + 1][4];      // XE(K,M,I)
extern std::array<int, NBEMAX + 1> KODE;
extern std::array<double, NBEMAX + 1> VBC;
extern double XIP[NIPMAX + 1][4];               // XIP(K,I)

// ---- element geometry, filled by GEOM
extern double XC[NBEMAX + 1][4];                // XC(K,I)
extern std::array<double, NBEMAX + 1> AREA;

// ---- the linear system (owned by the driver)
// The matrix is one static NBEMAX x NBEMAX table; its storage order is private
// to the solver, reach it through A(I,J).
double& A(int I, int J);
extern std::array<double, NBEMAX + 1> B;
extern std::array<double, NBEMAX + 1> XIT;
extern int IER;

// ---- internal points and fluxes
extern std::array<double, NIPMAX + 1> UIP;
extern double GRADV[4][NIPMAX + 1];             // GRADV(I,K)
extern std::array<double, NBEMAX + 1> FLUX;
extern int NGRP;

// ---- routines
// File names from the command line or the console; 80 characters at most.
void FILNAM(int argc, char** argv, std::string& inName, std::string& outName);
// Reads and echoes the problem data file.
void READIN(textio::Reader& in, textio::OutUnit& rep);

}  // namespace telma

namespace telma {
// Steps 6 to 17 of the run, from element geometry to the CURRENTS block.
// Returns the exit status of the run: 0, or 1 when the solve failed.
int SOLVE(textio::OutUnit& rep);
}  // namespace telma
