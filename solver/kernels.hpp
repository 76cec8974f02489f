// The fast kernels under the routines of telma.hpp: per-element frames, the
// influence coefficients of a run of elements and of distant elements, the
// two-thread sweep, and the progress lines of threaded loops.
//
//   ELD       storage   per-element frames, filled by GEOM      geom.cpp
//   INFSYMS   routine   INFSYM for a run of elements             influ.cpp
//   images    routine   the image points of the symmetry planes  influ.cpp
//   FARD      storage   per-element data of the far-field rules  farfld.cpp
//   INFFAR    routine   INFSYM by far-field rules where they may  farfld.cpp
//   GSSWEEP   routine   one Gauss-Seidel sweep                   itsolv.cpp
//   PACER     class     the thread count of each sweep           itsolv.cpp
//   ITERATE   routine   the sweeps of ITSOLV                     itsolv.cpp
//   PROGRESS  class     progress lines of threaded loops         progress.cpp
#pragma once

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "solver/telma.hpp"

namespace telma {

// Frames of elements 1..NBE, computed once by GEOM with exactly the
// operations INFLU would use, so every value is bit for bit the same as a
// per-call computation.
extern std::vector<ELDATA> ELD;

// INFSYMS: INFSYM for the elements J = J0..J1-1 in turn.
//   X, Y, Z  (in)      the field point
//   J0, J1   (in)      the elements
//   GS, HS   (in/out)  GS(J - J0) and HS(J - J0) get element J's image terms
void INFSYMS(double X, double Y, double Z, int J0, int J1, double* GS, double* HS);
// images: the image points of (X, Y, Z) over the symmetry planes and their
// weights, in INFSYM's order (x outermost, the mirrored term before the
// direct one).
//   X, Y, Z     (in)   the point
//   PX, PY, PZ  (out)  the images, W (out) their weights
// Returns their number, 1 to 8.
int images(double X, double Y, double Z, double PX[8], double PY[8], double PZ[8], int W[8]);
// Elements per INFSYMS call of the assembly and the internal points: their
// coefficients fit the first-level cache.
constexpr int PIECE = 128;

// ---- far-field rules (farfld.cpp)
//
// An element far from the field point needs no closed form: a symmetric
// rule of a few points on the element gives G and H to a relative error
// that falls as a power of the ratio of the distance to the element's size.
// NFAR rules, of 1, 3, 6 and 7 points a triangle (twice that for a
// quadrilateral, but 1 for the first), in the order of their cost.
constexpr int NFAR = 4;

// The rules for one relative error: the least squared ratio of the distance
// from an element's node to its size (the largest distance from the node to
// a corner) at which each is accurate enough.
struct FARTAB {
    double RHO2[NFAR];
};

// What the rules need of element J beyond ELD(J): its squared size, the
// areas of its triangles (1, 2, 3) and (1, 3, 4) (0 for a triangle) and its
// centroid of area in the frame of ELD(J).  Set by FARPREP after GEOM.
struct FARDATA {
    double H2, A1, A2, CA, CB;
};
extern std::vector<FARDATA> FARD;

// FARSET: the rules for the relative error EPS of a coefficient (relative
// to area / (4 pi d) for G and area / (4 pi d^2) for H).
FARTAB FARSET(double EPS);

// FARPREP: FARD for elements 1..NBE, from ELD.
void FARPREP();

// FARRUL: the cheapest rule of F accurate enough for element J at the point
// (X, Y, Z), 0-based; -1: none is (the closed form must be used).
int FARRUL(const FARTAB& F, double X, double Y, double Z, int J);

// FARINF: INFLU by the rule RULE (0-based), at any point off the element's
// node.
void FARINF(int RULE, double X, double Y, double Z, int J, double& G, double& H);

// INFFAR: INFSYM, each image by the cheapest rule of F accurate enough for
// it (FARRUL), else by INFLU.  With S, G1 and H1 also get the coefficients
// at the point shifted by S, each image by the rule chosen at the point, so
// that their difference is smooth.
//   F           (in)      the rules
//   X, Y, Z, J  (in)      the point and the element
//   GS, HS      (in/out)  the sums at the point
//   S           (in)      the shift, or null;  G1, H1 (in/out) its sums
void INFFAR(const FARTAB& F, double X, double Y, double Z, int J, double& GS, double& HS,
            const double* S = nullptr, double* G1 = nullptr, double* H1 = nullptr);

// ITERATE: the sweeps of ITSOLV until the RMS change is at most EPS.  Writes
// the sweep lines and the failure messages, sets IER and ST and copies X
// into B as ITSOLV does.
//   SWEEP  (in)  makes one sweep over the M right-hand sides of N unknowns in
//                X and returns the sum of the squared changes
//   B, X, N, M, LDA, EPS, IER, ST  as for ITSOLV
//   returns false on failure
bool ITERATE(const std::function<double()>& SWEEP, double* B, const double* X, int N, int M,
             int LDA, double EPS, int& IER, SOLSTAT& ST);

// GSSWEEP: one Gauss-Seidel sweep of A x = B, rows in increasing order.  With
// THREADS = 2 two threads share the sweep without changing the order of any
// sum: the result is bit for bit that of THREADS = 1.
//   A        (in)      the matrix, row-major with row stride LDA
//   B        (in)      the right-hand side
//   X        (in/out)  the iterate
//   N, LDA   (in)      the order and the row stride
//   THREADS  (in)      1 or 2
//   returns the sum of the squared changes of X, in row order
double GSSWEEP(const double* A, const double* B, double* X, int N, int LDA, int THREADS);

// PACER: the thread count of each sweep of one solve, from the times of the
// sweeps.  Two threads are faster on a quiet machine; when other processes
// share the cores the two threads of a sweep wait for each other, and one
// thread may be the faster.  The bits are the same either way, so the clock
// decides: a first sweep on two threads (not timed: it warms the caches), one
// on one thread, one on two, then the faster count, the other tried again now
// and then to follow the load, the more rarely the more it lost, so that the
// trials cost at most about TRIAL of the time.
class PACER {
public:
    static constexpr double TRIAL = 0.03;
    // MOST  (in)  the most threads a sweep may use, 1 or 2
    explicit PACER(int MOST);
    // the thread count for the next sweep
    int threads() const { return next_; }
    // SECONDS  (in)  the time of the sweep just made on threads()
    void took(double SECONDS);

private:
    double T_[3] = {};  // seconds per sweep on 1 and 2 threads; 0: not timed yet
    int best_, next_;
    int wait_ = 0;      // sweeps on best_ before the next trial of the other
    bool fixed_, warm_ = false;
};

// Progress lines of a loop over I = 1..N whose indices are done on several
// threads in any order: the line of I (I a multiple of 10) is written once
// indices 1..I-1 are all done, so the lines come out in order, each once,
// with the stopwatch time when it is written; with one thread that is the
// moment before index I starts.  done() may be called from any thread.
class PROGRESS {
public:
    PROGRESS(std::string_view fmt, int N);
    void done(int I);

private:
    std::string fmt_;
    int N_, next_ = 1;
    std::vector<unsigned char> done_;
};

}  // namespace telma
