// The benchmark's problems (see problems.hpp).
#include "bench/problems.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <stdexcept>
#include <utility>
#include <vector>

#include "solver/telma.hpp"

namespace bench {

using namespace telma;
using P3 = std::array<double, 3>;

namespace {

void title(const std::string& t) {
    TITLE = t;
    TITLE.resize(80, ' ');
}

void addElement(std::initializer_list<P3> corners, int kode, double vbc) {
    const int I = ++NBE;
    if (I > NBEMAX) throw std::runtime_error("benchmark problem exceeds NBEMAX");
    NPE[I] = static_cast<int>(corners.size());
    int M = 1;
    for (const P3& c : corners) {
        for (int K = 0; K < 3; ++K) XE[I][M][K + 1] = c[K];
        ++M;
    }
    KODE[I] = kode;
    VBC[I] = vbc;
}

void addPoint(const P3& p) {
    const int I = ++NIP;
    if (I > NIPMAX) throw std::runtime_error("benchmark problem exceeds NIPMAX");
    for (int K = 0; K < 3; ++K) XIP[I][K + 1] = p[K];
}

// Unit vectors spread evenly over the sphere (golden-angle spiral).
P3 spiral(int k, int n) {
    const double z = 1.0 - (2.0 * k + 1.0) / n;
    const double r = std::sqrt(1.0 - z * z);
    const double phi = k * 2.399963229728653;
    return {r * std::cos(phi), r * std::sin(phi), z};
}

// The faces of [0,1]^3 meshed with na x nb rectangles each, corners ordered so
// that the normal points into the box; potential 1 in flux group 1.
void boxFaces(int nx, int ny, int nz) {
    // face: origin, the two in-face directions (counts), listed so that
    // u x v points into the box
    struct Face {
        P3 o, u, v;
        int nu, nv;
    };
    const Face faces[6] = {
        {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, nx, ny},  // z = 0, normal +z
        {{0, 0, 1}, {0, 1, 0}, {1, 0, 0}, ny, nx},  // z = 1, normal -z
        {{0, 0, 0}, {0, 0, 1}, {1, 0, 0}, nz, nx},  // y = 0, normal +y
        {{0, 1, 0}, {1, 0, 0}, {0, 0, 1}, nx, nz},  // y = 1, normal -y
        {{0, 0, 0}, {0, 1, 0}, {0, 0, 1}, ny, nz},  // x = 0, normal +x
        {{1, 0, 0}, {0, 0, 1}, {0, 1, 0}, nz, ny},  // x = 1, normal -x
    };
    for (const Face& f : faces) {
        auto at = [&](int i, int j) {
            P3 p;
            for (int K = 0; K < 3; ++K)
                p[K] = f.o[K] + f.u[K] * i / f.nu + f.v[K] * j / f.nv;
            return p;
        };
        for (int j = 0; j < f.nv; ++j)
            for (int i = 0; i < f.nu; ++i)
                addElement({at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j + 1)}, -1, 1.0);
    }
}

}  // namespace

void cube(int n, int nip) {
    CLEAR();
    title("Unit cube, exterior capacitance problem");
    boxFaces(n, n, n);
    for (int k = 0; k < nip; ++k) {
        const double r = 1.0 + 3.0 * (k + 0.5) / nip;
        const P3 d = spiral(k, nip);
        addPoint({0.5 + r * d[0], 0.5 + r * d[1], 0.5 + r * d[2]});
    }
}

void box(int a, int b, int c, int nip) {
    CLEAR();
    title("Box of rectangles, exterior problem");
    boxFaces(a, b, c);
    for (int k = 0; k < nip; ++k) {
        const double r = 1.0 + 2.0 * (k + 0.5) / nip;
        const P3 d = spiral(k, nip);
        addPoint({0.5 + r * d[0], 0.5 + r * d[1], 0.5 + r * d[2]});
    }
}

void sphere(int levels, int nip) {
    CLEAR();
    title("Unit sphere, interior problem u = x + 2y + 3z");
    // icosahedron
    const double t = (1.0 + std::sqrt(5.0)) / 2.0;
    std::vector<P3> v = {{-1, t, 0}, {1, t, 0},   {-1, -t, 0}, {1, -t, 0}, {0, -1, t},  {0, 1, t},
                         {0, -1, -t}, {0, 1, -t}, {t, 0, -1},  {t, 0, 1},  {-t, 0, -1}, {-t, 0, 1}};
    auto unit = [](P3 p) {
        const double r = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
        return P3{p[0] / r, p[1] / r, p[2] / r};
    };
    for (P3& p : v) p = unit(p);
    std::vector<std::array<int, 3>> f = {{0, 11, 5}, {0, 5, 1},  {0, 1, 7},   {0, 7, 10}, {0, 10, 11},
                                         {1, 5, 9},  {5, 11, 4}, {11, 10, 2}, {10, 7, 6}, {7, 1, 8},
                                         {3, 9, 4},  {3, 4, 2},  {3, 2, 6},   {3, 6, 8},  {3, 8, 9},
                                         {4, 9, 5},  {2, 4, 11}, {6, 2, 10},  {8, 6, 7},  {9, 8, 1}};
    for (int l = 0; l < levels; ++l) {
        std::map<std::pair<int, int>, int> mid;
        auto middle = [&](int a, int b) {
            const auto key = std::minmax(a, b);
            auto it = mid.find(key);
            if (it != mid.end()) return it->second;
            const P3 m = unit({(v[a][0] + v[b][0]) / 2, (v[a][1] + v[b][1]) / 2,
                               (v[a][2] + v[b][2]) / 2});
            v.push_back(m);
            mid[key] = static_cast<int>(v.size()) - 1;
            return static_cast<int>(v.size()) - 1;
        };
        std::vector<std::array<int, 3>> g;
        for (const auto& tri : f) {
            const int a = middle(tri[0], tri[1]), b = middle(tri[1], tri[2]),
                      c = middle(tri[2], tri[0]);
            g.push_back({tri[0], a, c});
            g.push_back({tri[1], b, a});
            g.push_back({tri[2], c, b});
            g.push_back({a, b, c});
        }
        f = std::move(g);
    }
    const double grad[3] = {1.0, 2.0, 3.0};
    for (auto tri : f) {
        const P3 &p = v[tri[0]], &q = v[tri[1]], &r = v[tri[2]];
        const P3 e1{q[0] - p[0], q[1] - p[1], q[2] - p[2]}, e2{r[0] - q[0], r[1] - q[1], r[2] - q[2]};
        P3 n{e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
             e1[0] * e2[1] - e1[1] * e2[0]};
        const P3 c{(p[0] + q[0] + r[0]) / 3, (p[1] + q[1] + r[1]) / 3, (p[2] + q[2] + r[2]) / 3};
        if (n[0] * c[0] + n[1] * c[1] + n[2] * c[2] < 0) {  // outward normals
            std::swap(tri[1], tri[2]);
            for (double& x : n) x = -x;
        }
        const double nl = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        if (c[2] >= 0)
            addElement({v[tri[0]], v[tri[1]], v[tri[2]]}, 0, c[0] + 2 * c[1] + 3 * c[2]);
        else
            addElement({v[tri[0]], v[tri[1]], v[tri[2]]}, 1,
                       (n[0] * grad[0] + n[1] * grad[1] + n[2] * grad[2]) / nl);
    }
    for (int k = 0; k < nip; ++k) {
        const double r = 0.8 * std::cbrt((k + 0.5) / nip);
        const P3 d = spiral(k, nip);
        addPoint({r * d[0], r * d[1], r * d[2]});
    }
}

void writeData(const std::string& name) {
    std::ofstream out(name, std::ios::binary);
    if (!out) throw std::runtime_error("cannot create " + name);
    char buf[96];
    std::string t = TITLE;
    while (!t.empty() && t.back() == ' ') t.pop_back();
    out << t << '\n';
    out << NBE << ' ' << ISYMX << ' ' << ISYMY << ' ' << ISYMZ << ' ' << NIP << '\n';
    for (int I = 1; I <= NBE; ++I) {
        out << NPE[I];
        for (int M = 1; M <= NPE[I]; ++M)
            for (int K = 1; K <= 3; ++K) {
                std::snprintf(buf, sizeof buf, " %.17g", XE[I][M][K]);
                out << buf;
            }
        out << '\n';
    }
    for (int I = 1; I <= NBE; ++I) {
        std::snprintf(buf, sizeof buf, "%d %.17g\n", KODE[I], VBC[I]);
        out << buf;
    }
    for (int I = 1; I <= NIP; ++I) {
        std::snprintf(buf, sizeof buf, "%.17g %.17g %.17g\n", XIP[I][1], XIP[I][2], XIP[I][3]);
        out << buf;
    }
    if (!out) throw std::runtime_error("writing " + name + " failed");
}

}  // namespace bench
