// Shared helpers of the solver tests: fill the static storage, capture the
// console, run the solution steps.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "solver/kernels.hpp"

namespace fx {

using P3 = std::array<double, 3>;

// The same bits: for the fast kernels against the plain formulas.
inline bool same(double a, double b) { return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b); }

// Symmetry flags and the reflection data derived from them, as the reader does.
inline void setSymmetry(int sx, int sy, int sz) {
    using namespace telma;
    auto derive = [](int s, int& isym, int& iref, int& ipar) {
        isym = s;
        iref = s == 1 || s == -1 ? -1 : 1;
        if (iref == -1) ipar = s;
    };
    derive(sx, ISYMX, IREFX, IPARX);
    derive(sy, ISYMY, IREFY, IPARY);
    derive(sz, ISYMZ, IREFZ, IPARZ);
}

inline void setElement(int I, std::initializer_list<P3> corners, int kode = 0, double vbc = 0.0) {
    using namespace telma;
    NPE[I] = static_cast<int>(corners.size());
    int M = 1;
    for (const P3& c : corners) {
        for (int K = 0; K < 3; ++K) XE[I][M][K + 1] = c[K];
        ++M;
    }
    KODE[I] = kode;
    VBC[I] = vbc;
}

// The unit square as element 1 of a one-element problem.
inline void unitSquare(int kode = 0, double vbc = 0.0) {
    telma::CLEAR();
    telma::NBE = 1;
    setElement(1, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, kode, vbc);
}

// The unit cube with n x n squares per face, normals outward, every other
// square cut into two triangles when `mixed`: potential 0 at the bottom, 1
// at the top (flux group `top` when it is negative), derivative 0 on the
// sides.  n = 1 is the six-element test problem.
inline void cube(int n = 1, bool mixed = false, int top = 0) {
    static const P3 f[6][4] = {
        {{0, 0, 0}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0}}, {{0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}},
        {{0, 0, 0}, {1, 0, 0}, {1, 0, 1}, {0, 0, 1}}, {{0, 1, 0}, {0, 1, 1}, {1, 1, 1}, {1, 1, 0}},
        {{0, 0, 0}, {0, 0, 1}, {0, 1, 1}, {0, 1, 0}}, {{1, 0, 0}, {1, 1, 0}, {1, 1, 1}, {1, 0, 1}}};
    telma::CLEAR();
    int I = 0;
    for (int face = 0; face < 6; ++face) {
        auto at = [&](int i, int j) {
            P3 p;
            for (int K = 0; K < 3; ++K)
                p[K] = f[face][0][K] + (f[face][1][K] - f[face][0][K]) * i / n + (f[face][3][K] - f[face][0][K]) * j / n;
            return p;
        };
        const int kode = face == 0 ? 0 : face == 1 ? top : 1;
        const double vbc = face == 1 ? 1.0 : 0.0;
        for (int j = 0; j < n; ++j)
            for (int i = 0; i < n; ++i) {
                const P3 a = at(i, j), b = at(i + 1, j), c = at(i + 1, j + 1), d = at(i, j + 1);
                if (mixed && (i + j) % 2) {
                    setElement(++I, {a, b, c}, kode, vbc);
                    setElement(++I, {a, c, d}, kode, vbc);
                } else {
                    setElement(++I, {a, b, c, d}, kode, vbc);
                }
            }
    }
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

// The solution steps (`solve`, SOLVE or LURUN) on the problem in storage,
// `before` (e.g. READIN) first on the same report and console: exit status,
// console and report text.
struct RunResult {
    int status = -1;
    std::string console, report;
};

inline RunResult runSolve(const std::function<void(textio::OutUnit&)>& before = {},
                          const std::function<int(textio::OutUnit&)>& solve = [](textio::OutUnit& rep) { return telma::SOLVE(rep); }) {
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
