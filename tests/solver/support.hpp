// Shared helpers of the solver tests: fill the static storage, capture the
// console, run the solution steps.
#pragma once

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

#include "solver/kernels.hpp"
#include "solver/reference.hpp"

namespace fx {

using P3 = std::array<double, 3>;

// The same bits: for the fast kernels against the plain formulas.
inline bool same(double a, double b) { return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b); }

// Symmetry flags and the reflection data derived from them, as the reader does.
inline void setSymmetry(int sx, int sy, int sz) {
    using namespace telma;
    auto derive = [](int s, int& isym, int& iref, int& ipar) { isym = s, iref = s ? -1 : 1, ipar = s ? s : ipar; };
    derive(sx, ISYMX, IREFX, IPARX), derive(sy, ISYMY, IREFY, IPARY), derive(sz, ISYMZ, IREFZ, IPARZ);
}

inline void setElement(int I, std::initializer_list<P3> corners, int kode = 0, double vbc = 0.0) {
    using namespace telma;
    NPE[I] = static_cast<int>(corners.size());
    int M = 0;
    for (const P3& c : corners)  // counted beyond the corners kept, for the refusal of the extra ones
        for (int K = 0, kept = ++M <= MAXV; K < 3 && kept; ++K) XE[I][M][K + 1] = c[K];
    KODE[I] = kode;
    VBC[I] = vbc;
}

// The unit square as element 1 of a one-element problem.
inline void unitSquare(int kode = 0, double vbc = 0.0) {
    telma::CLEAR();
    telma::NBE = 1;
    setElement(1, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, kode, vbc);
}

// nu x nv squares on the parallelogram o + [0,1] u + [0,1] v, numbered on
// from I, every other one cut into two triangles when `mixed`: the last number.
inline int grid(int I, P3 o, P3 u, P3 v, int nu, int nv, int kode, double vbc, bool mixed = false) {
    auto at = [&](int i, int j) {
        P3 p;
        for (int K = 0; K < 3; ++K) p[K] = o[K] + u[K] * i / nu + v[K] * j / nv;
        return p;
    };
    for (int j = 0; j < nv; ++j)
        for (int i = 0; i < nu; ++i) {
            const P3 a = at(i, j), b = at(i + 1, j), c = at(i + 1, j + 1), d = at(i, j + 1);
            if (mixed && (i + j) % 2) setElement(++I, {a, b, c}, kode, vbc), setElement(++I, {a, c, d}, kode, vbc);
            else setElement(++I, {a, b, c, d}, kode, vbc);
        }
    return I;
}

// The unit cube with n x n squares per face, normals outward, every other square cut into two
// triangles when `mixed`: potential 0 at the bottom, 1 at the top (flux group `top` when it is
// negative), derivative 0 on the sides.  n = 1 is the six-element test problem.
inline void cube(int n = 1, bool mixed = false, int top = 0) {
    static const P3 f[6][3] = {  // each face's first corner and its two edges from it
        {{0, 0, 0}, {0, 1, 0}, {1, 0, 0}}, {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}}, {{0, 0, 0}, {1, 0, 0}, {0, 0, 1}},
        {{0, 1, 0}, {0, 0, 1}, {1, 0, 0}}, {{0, 0, 0}, {0, 0, 1}, {0, 1, 0}}, {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
    telma::CLEAR();
    int I = 0;
    for (int face = 0; face < 6; ++face)
        I = grid(I, f[face][0], f[face][1], f[face][2], n, n, face == 0 ? 0 : face == 1 ? top : 1, face == 1 ? 1.0 : 0.0, mixed);
    telma::NBE = I;
}

// Captures what the console unit writes while it lives.
using Console = textio::ConsoleCapture;

// Splits text into lines (without their line ends).
inline std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) out.push_back(l);
    return out;
}

// What a run leaves for the report: U, Q, the fluxes, and at the internal
// points the potential and GRADV(I,1..3) for I = 1..NIP.
inline std::array<std::vector<double>, 5> values() {
    using namespace telma;
    std::array<std::vector<double>, 5> v;
    for (int I = 1; I <= NBE; ++I) v[0].push_back(VBC[I]), v[1].push_back(B[I]);
    for (int K = 1; K <= NGRP; ++K) v[2].push_back(FLUX[K]);
    for (int I = 1; I <= NIP; ++I)
        for (int K = 0; K <= 3; ++K) v[K ? 4 : 3].push_back(K ? GRADV[K][I] : UIP[I]);
    return v;
}

// CLEAR, then READIN on the example `name`: to run before the solution steps.
inline std::function<void(textio::OutUnit&)> example(const std::string& name) {
    return [name](textio::OutUnit& rep) {
        telma::CLEAR();
        std::ifstream file = textio::openOld(std::string(EXAMPLES_DIR) + "/" + name);
        textio::Reader in(file, name);
        telma::READIN(in, rep);
    };
}

// The solution steps (`solve`, RUN with a solver) on the problem in storage, `before` (e.g. READIN)
// first on the same report and console: exit status, console and report text.
struct RunResult { int status = -1; std::string console, report; };

inline RunResult runSolve(const std::function<void(textio::OutUnit&)>& before = {},
                          const std::function<int(textio::OutUnit&)>& solve = [](textio::OutUnit& rep) { return telma::RUN(rep); }) {
    RunResult r;
    std::ostringstream rep;
    {
        textio::OutUnit unit(rep);
        Console con;
        try {
            if (before) before(unit);
            r.status = solve(unit);
        } catch (const textio::Stop& s) {
            r.status = s.status;
        }
        unit.flush();
        r.console = con.text();
    }
    r.report = rep.str();
    return r;
}

}  // namespace fx
