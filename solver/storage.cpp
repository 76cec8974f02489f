// Definitions of the solver's shared storage (declared in telma.hpp).
#include "solver/telma.hpp"

namespace telma {

std::string TITLE(80, ' ');
int NBE = 0, NIP = 0;
int ISYMX = 0, ISYMY = 0, ISYMZ = 0;
int IREFX = 1, IREFY = 1, IREFZ = 1;
int IPARX = 0, IPARY = 0, IPARZ = 0;
std::array<int, NBEMAX + 1> NPE{};
double XE[NBEMAX + 1][MAXV + 1][4]{};
std::array<int, NBEMAX + 1> KODE{};
std::array<double, NBEMAX + 1> VBC{};
double XIP[NIPMAX + 1][4]{};

double XC[NBEMAX + 1][4]{};
std::array<double, NBEMAX + 1> AREA{};

// Row-major with leading dimension NBEMAX: a row is contiguous, which is the
// order in which the assembly writes and the sweeps read.
static double Amat[static_cast<std::size_t>(NBEMAX) * NBEMAX];
double& A(int I, int J) { return Amat[static_cast<std::size_t>(I - 1) * NBEMAX + (J - 1)]; }
std::array<double, NBEMAX + 1> B{};
std::array<double, NBEMAX + 1> XIT{};
int IER = 0;

std::array<double, NIPMAX + 1> UIP{};
double GRADV[4][NIPMAX + 1]{};
std::array<double, NBEMAX + 1> FLUX{};
int NGRP = 0;

}  // namespace telma
