// Definitions of the solver's shared storage (declared in telma.hpp), and
//
//   CLEAR  the storage of one problem back to its state at program load
#include "solver/telma.hpp"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

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

void CLEAR() {
    TITLE.assign(80, ' ');
    NBE = 0;
    NIP = 0;
    ISYMX = ISYMY = ISYMZ = 0;
    IREFX = IREFY = IREFZ = 1;
    IPARX = IPARY = IPARZ = 0;
    IER = 0;
    for (int I = 0; I <= NBEMAX; ++I) {
        NPE[I] = 0;
        KODE[I] = 0;
        VBC[I] = 0.0;
        B[I] = 0.0;
        XIT[I] = 0.0;
    }
}

double XC[NBEMAX + 1][4]{};
std::array<double, NBEMAX + 1> AREA{};

// Row-major with leading dimension NBEMAX: a row is contiguous, which is the
// order in which the assembly writes and the sweeps read.
static double Amat[static_cast<std::size_t>(NBEMAX) * NBEMAX];

#if defined(__linux__)
// Large pages for the matrix where the system grants them on request: the
// first touch of 169 MB then costs a few dozen page faults instead of tens of
// thousands, and the sweeps fewer address-translation misses.
namespace {
const bool largePages = [] {
    constexpr std::size_t LP = std::size_t{2} << 20;
    const auto begin = reinterpret_cast<std::uintptr_t>(Amat);
    const auto end = begin + sizeof Amat;
    const std::uintptr_t a = (begin + LP - 1) & ~(LP - 1);
    if (a < end) madvise(reinterpret_cast<void*>(a), (end - a) & ~(LP - 1), MADV_HUGEPAGE);
    return true;
}();
}  // namespace
#endif
double& A(int I, int J) { return Amat[static_cast<std::size_t>(I - 1) * NBEMAX + (J - 1)]; }
std::array<double, NBEMAX + 1> B{};
std::array<double, NBEMAX + 1> XIT{};
int IER = 0;

std::array<double, NIPMAX + 1> UIP{};
double GRADV[4][NIPMAX + 1]{};
std::array<double, NBEMAX + 1> FLUX{};
int NGRP = 0;

}  // namespace telma
