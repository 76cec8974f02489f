// Shared helpers of the solver tests: reset and fill the static storage.
#pragma once

#include <array>
#include <cmath>
#include <initializer_list>
#include <vector>

#include "solver/kernels.hpp"

namespace fx {

using P3 = std::array<double, 3>;

// Symmetry flags and the reflection data derived from them, as the reader does.
inline void setSymmetry(int sx, int sy, int sz) {
    using namespace telma;
    ISYMX = sx;
    ISYMY = sy;
    ISYMZ = sz;
    auto derive = [](int s, int& iref, int& ipar) {
        iref = 1;
        if (s == 1 || s == -1) {
            iref = -1;
            ipar = s;
        }
    };
    derive(sx, IREFX, IPARX);
    derive(sy, IREFY, IPARY);
    derive(sz, IREFZ, IPARZ);
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

// The unit square (0,0,0) (1,0,0) (1,1,0) (0,1,0) as element 1 of a one-element problem.
inline void unitSquare(int kode = 0, double vbc = 0.0) {
    telma::CLEAR();
    telma::NBE = 1;
    setElement(1, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, kode, vbc);
}

// The six faces of the unit cube, normals outward, in the order of the test problem.
inline const std::array<std::array<P3, 4>, 6>& cubeFaces() {
    static const std::array<std::array<P3, 4>, 6> f = {{
        {{{0, 0, 0}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0}}},
        {{{0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}}},
        {{{0, 0, 0}, {1, 0, 0}, {1, 0, 1}, {0, 0, 1}}},
        {{{0, 1, 0}, {0, 1, 1}, {1, 1, 1}, {1, 1, 0}}},
        {{{0, 0, 0}, {0, 0, 1}, {0, 1, 1}, {0, 1, 0}}},
        {{{1, 0, 0}, {1, 1, 0}, {1, 1, 1}, {1, 0, 1}}},
    }};
    return f;
}

// The unit cube test problem: potential 0 at the bottom, 1 at the top, zero
// normal derivative on the sides.
inline void unitCube() {
    telma::CLEAR();
    telma::NBE = 6;
    const auto& f = cubeFaces();
    const int kode[6] = {0, 0, 1, 1, 1, 1};
    const double vbc[6] = {0, 1, 0, 0, 0, 0};
    for (int I = 1; I <= 6; ++I) {
        const auto& c = f[I - 1];
        setElement(I, {c[0], c[1], c[2], c[3]}, kode[I - 1], vbc[I - 1]);
    }
}

// Each cube face divided into n x n squares (orientation kept); returns the
// number of elements; element e lies on face faceOf[e].
inline int fineCube(int n, std::vector<int>& faceOf) {
    telma::CLEAR();
    const auto& f = cubeFaces();
    int I = 0;
    faceOf.assign(1, -1);
    for (int face = 0; face < 6; ++face) {
        const P3& c0 = f[face][0];
        const P3& c1 = f[face][1];
        const P3& c3 = f[face][3];
        auto at = [&](int i, int j) {
            P3 p;
            for (int K = 0; K < 3; ++K)
                p[K] = c0[K] + (c1[K] - c0[K]) * i / n + (c3[K] - c0[K]) * j / n;
            return p;
        };
        for (int j = 0; j < n; ++j)
            for (int i = 0; i < n; ++i) {
                ++I;
                setElement(I, {at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j + 1)});
                faceOf.push_back(face);
            }
    }
    telma::NBE = I;
    return I;
}

}  // namespace fx

#include <functional>
#include <iostream>
#include <sstream>
#include <string>

namespace fx {

// Captures what the console unit writes while it lives.
class Console {
public:
    Console() : old_(std::cout.rdbuf(buf_.rdbuf())) {}
    ~Console() {
        telma_flush();
        std::cout.rdbuf(old_);
    }
    std::string text() {
        telma_flush();
        return buf_.str();
    }

private:
    static void telma_flush() { textio::console().flush(); }
    std::ostringstream buf_;
    std::streambuf* old_;
};

// Splits text into lines (without their line ends).
inline std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t p = 0;
    while (p < text.size()) {
        std::size_t e = text.find('\n', p);
        if (e == std::string::npos) e = text.size();
        out.push_back(text.substr(p, e - p));
        p = e + 1;
    }
    return out;
}

}  // namespace fx

namespace fx {

// Steps 6 to 17 on the problem in storage: exit status, console and report text.
// `before` runs first on the same report and console (e.g. READIN).
struct RunResult {
    int status = -1;
    std::string console, report;
};

inline RunResult runSolve(const std::function<void(textio::OutUnit&)>& before = {},
                          int (*solve)(textio::OutUnit&) = telma::SOLVE) {
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
