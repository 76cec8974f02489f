// Definitions of the solver's shared storage (declared in telma.hpp), and
//
//   MEMNEED   the memory a run takes
//   SOLHINT   the solver that would take a problem this run could not
//   ALLOC     the tables sized for the counts of a problem
//   AMAT      the dense matrix of a given order
//   CLEAR     the storage of one problem back to an empty one
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <new>
#include <sstream>
#include <string>

#include "solver/kernels.hpp"
#include "solver/media.hpp"

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace telma {

std::string TITLE(80, ' ');
int NBE = 0, NIP = 0;
int NPROC = 1, MYPROC = 0, NPHERE = 1;
int ISYMX = 0, ISYMY = 0, ISYMZ = 0;
int IREFX = 1, IREFY = 1, IREFZ = 1;
int IPARX = 0, IPARY = 0, IPARZ = 0;
std::vector<int> NPE;
std::vector<std::array<POINT, MAXV + 1>> XE;
std::vector<int> KODE;
std::vector<double> VBC;
std::vector<POINT> XIP;
int NGMAX = NBEMAX;

std::vector<POINT> XC;
std::vector<double> AREA;

std::vector<double> B;
std::vector<double> XIT;
int IER = 0;

std::vector<double> UIP;
std::array<std::vector<double>, 4> GRADV;
std::vector<double> FLUX;
int NGRP = 0;

namespace {

// Bytes per element and per internal point in the tables: the problem data,
// the geometry (with the far-field rules' FARD), the system's vectors, the
// fluxes, the progress flags and the column sums of DOMTST.
constexpr double PERELEM = 2 * sizeof(int) + sizeof(std::array<POINT, MAXV + 1>) + sizeof(POINT) +
                           sizeof(ELDATA) + sizeof(FARDATA) + 6 * sizeof(double) + 1;
constexpr double PERPOINT = sizeof(POINT) + 4 * sizeof(double) + 1;

template <class T>
void resize(std::vector<T>& t, int n) {
    t.assign(static_cast<std::size_t>(n) + 1, T{});
}

}  // namespace

double MEMNEED(double N, double NIP, bool DENSE) {
    return N * PERELEM + NIP * PERPOINT + (DENSE ? N * N * sizeof(double) : 0.0);
}


void ALLOC(int N, int NIP) {
    NGMAX = static_cast<int>(NGROUPS(N));
    MEDIA = false;  // until MEDRD reads the media of this problem
    resize(NPE, N);
    resize(XE, N);
    resize(KODE, N);
    resize(VBC, N);
    resize(XC, N);
    resize(AREA, N);
    resize(ELD, N);
    resize(B, N);
    resize(XIT, N);
    resize(FLUX, NGMAX);
    resize(XIP, NIP);
    resize(UIP, NIP);
    for (auto& g : GRADV) resize(g, NIP);
}

void CLEAR() {
    TITLE.assign(80, ' ');
    NBE = 0;
    NIP = 0;
    ISYMX = ISYMY = ISYMZ = 0;
    IREFX = IREFY = IREFZ = 1;
    IPARX = IPARY = IPARZ = 0;
    IER = 0;
    NGRP = 0;
    ALLOC(NBEMAX, NIPMAX);
    if (NDIM != NBEMAX) AMAT(NBEMAX);
}

// Row-major with row stride NDIM: a row is contiguous, which is the order in
// which the assembly writes and the sweeps read.
namespace {

struct FREE {
    void operator()(double* p) const { std::free(p); }
};
std::unique_ptr<double[], FREE> Amat;

}  // namespace

int NDIM = 0;

void AMAT(int N) {
    Amat.reset();
    NDIM = 0;
    // Aligned to large pages, which the system then grants on request: the
    // first touch of 169 MB costs a few dozen page faults instead of tens
    // of thousands, and the sweeps fewer address-translation misses.
    constexpr std::size_t LP = std::size_t{2} << 20;
    const std::size_t bytes = static_cast<std::size_t>(N) * static_cast<std::size_t>(N) * sizeof(double);
    const std::size_t size = (bytes + LP - 1) / LP * LP;
    if (size == 0) return;
    void* p = std::aligned_alloc(LP, size);
    if (!p) throw std::bad_alloc();
#if defined(__linux__)
    madvise(p, size, MADV_HUGEPAGE);
#endif
    Amat.reset(static_cast<double*>(p));
    NDIM = N;
}

double& A(int I, int J) { return Amat[static_cast<std::size_t>(I - 1) * NDIM + (J - 1)]; }

void SOLHINT(const std::string& WHY) {
    textio::notice("telma: hint: %s; solve it with %s", WHY.c_str(), SOLADVICE(MEMNEED(NBE, NIP, true)).c_str());
}

}  // namespace telma
