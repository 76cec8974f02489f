// Mesh builders of telma-mesh.
#include "tools/mesh.hpp"

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <utility>

#include "solver/shapes.hpp"

namespace tmesh {

namespace {

Vec3 sub(const Vec3& a, const Vec3& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
Vec3 add(const Vec3& a, const Vec3& b) { return {a[0] + b[0], a[1] + b[1], a[2] + b[2]}; }
Vec3 scale(const Vec3& a, double s) { return {a[0] * s, a[1] * s, a[2] * s}; }
double dot(const Vec3& a, const Vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
Vec3 cross(const Vec3& a, const Vec3& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
double norm(const Vec3& a) { return std::sqrt(dot(a, a)); }

std::string str(const Vec3& p) {
    std::string s = "(";
    for (int k = 0; k < 3; ++k) s.append(std::to_string(p[k])).append(k < 2 ? ", " : ")");
    return s;
}

// k-th of n equal steps from lo to hi, the ends exact, so that faces that
// share an edge compute the same corner coordinates.
double step(double lo, double hi, int k, int n) {
    if (k == 0) return lo;
    if (k == n) return hi;
    return lo + (hi - lo) * k / n;
}

// Unit vector of a + b: the midpoint of an edge pushed onto the unit sphere.
// a + b == b + a and the rounding is sign-symmetric, so the two triangles of
// an edge, and mirror-image edges, get bit-identical points.
Vec3 midUnit(const Vec3& a, const Vec3& b) {
    Vec3 s = add(a, b);
    return scale(s, 1.0 / norm(s));
}

// ---------------------------------------------------------------- polygons

using Poly = std::vector<Vec3>;

Poly corners(const Element& e) { return Poly(e.x.begin(), e.x.begin() + e.npe); }

// Point where the edge p-q crosses the plane x[axis] = 0 (p and q strictly on
// either side).  The weights make the result independent of the order of p
// and q and exactly mirrored for a mirrored edge.
Vec3 crossing(const Vec3& p, const Vec3& q, int axis) {
    double wp = std::fabs(q[axis]);
    double wq = std::fabs(p[axis]);
    double w = wp + wq;
    Vec3 r;
    for (int k = 0; k < 3; ++k) r[k] = (p[k] * wp + q[k] * wq) / w;
    r[axis] = 0.0;
    return r;
}

// The part of a polygon with side * x[axis] >= 0, corners in the same order.
Poly clip(const Poly& p, int axis, int side) {
    Poly out;
    std::size_t n = p.size();
    for (std::size_t i = 0; i < n; ++i) {
        const Vec3& s = p[i];
        const Vec3& e = p[(i + 1) % n];
        double ds = side * s[axis], de = side * e[axis];
        if (ds >= 0) out.push_back(s);
        if ((ds > 0 && de < 0) || (ds < 0 && de > 0)) out.push_back(crossing(s, e, axis));
    }
    return out;
}

// Drops repeated corners and corners on the straight line of their neighbours,
// which a cut through a corner or along an edge leaves behind.
void tidy(Poly& p) {
    bool changed = true;
    while (changed && p.size() >= 3) {
        changed = false;
        for (std::size_t i = 0; i < p.size(); ++i) {
            const Vec3& a = p[(i + p.size() - 1) % p.size()];
            const Vec3& b = p[i];
            const Vec3& c = p[(i + 1) % p.size()];
            Vec3 e1 = sub(b, a), e2 = sub(c, b);
            double l1 = norm(e1), l2 = norm(e2);
            if (l1 == 0 || l2 == 0 || norm(cross(e1, e2)) <= 1e-10 * l1 * l2) {
                p.erase(p.begin() + static_cast<std::ptrdiff_t>(i));
                changed = true;
                break;
            }
        }
    }
    if (p.size() < 3) p.clear();
}

// A convex polygon as quadrilaterals (and a last triangle) fanned from its
// first corner, each with the polygon's corner sense.
void pieces(const Poly& p, const BC& bc, std::vector<Element>& out) {
    std::size_t n = p.size();
    for (std::size_t s = 1; s + 1 < n;) {
        Element e;
        e.bc = bc;
        e.x[0] = p[0];
        if (s + 2 <= n - 1) {
            e.npe = 4;
            e.x[1] = p[s];
            e.x[2] = p[s + 1];
            e.x[3] = p[s + 2];
            s += 2;
        } else {
            e.npe = 3;
            e.x[1] = p[s];
            e.x[2] = p[s + 1];
            s += 1;
        }
        out.push_back(e);
    }
}

double meshSize(const Mesh& m) {
    Vec3 lo{0, 0, 0}, hi{0, 0, 0};
    bool first = true;
    for (const Element& e : m.el)
        for (int j = 0; j < e.npe; ++j)
            for (int k = 0; k < 3; ++k) {
                if (first || e.x[j][k] < lo[k]) lo[k] = e.x[j][k];
                if (first || e.x[j][k] > hi[k]) hi[k] = e.x[j][k];
                first = false;
            }
    return norm(sub(hi, lo));
}

// Moves corners that lie within rounding distance of the plane onto it, so
// that a corner meant to be on the plane does not leave a sliver behind.
void snap(Mesh& m, int axis) {
    double tol = 1e-12 * meshSize(m);
    for (Element& e : m.el)
        for (int j = 0; j < e.npe; ++j)
            if (std::fabs(e.x[j][axis]) <= tol) e.x[j][axis] = 0.0;
}

// Corners strictly on the positive and on the negative side of the plane.
std::pair<int, int> sides(const Element& e, int axis, int side) {
    int pos = 0, neg = 0;
    for (int j = 0; j < e.npe; ++j) {
        double d = side * e.x[j][axis];
        if (d > 0) ++pos;
        if (d < 0) ++neg;
    }
    return {pos, neg};
}

void checkAxis(int axis) {
    if (axis < 0 || axis > 2) throw MeshError("axis must be x, y or z");
}

}  // namespace

// ---------------------------------------------------------------- box

const std::array<const char*, NFACE> FACENAME = {"zmin", "zmax", "ymin", "ymax", "xmin", "xmax"};

std::array<int, 2> faceAxes(Face f) {
    switch (f) {
        case ZMIN: return {1, 0};
        case ZMAX: return {0, 1};
        case YMIN: return {0, 2};
        case YMAX: return {2, 0};
        case XMIN: return {2, 1};
        default: return {1, 2};
    }
}

Mesh makeBox(const BoxParams& s) {
    for (int k = 0; k < 3; ++k) {
        if (!(s.lo[k] < s.hi[k]))
            throw MeshError(std::string("box: the ") + "xyz"[k] + " extent is empty (min must be below max)");
        if (s.div[k] < 1) throw MeshError("box: divisions must be at least 1");
    }
    long long count = 0;
    for (int f = 0; f < NFACE; ++f) {
        auto [a, b] = faceAxes(static_cast<Face>(f));
        count += static_cast<long long>(s.face[f].na > 0 ? s.face[f].na : s.div[a]) *
                 (s.face[f].nb > 0 ? s.face[f].nb : s.div[b]);
    }
    if (count > MAXCOUNT)
        throw MeshError("box: the divisions make " + std::to_string(count) + " elements, more than the " +
                        std::to_string(MAXCOUNT) + " this tool builds");
    Mesh m;
    for (int f = 0; f < NFACE; ++f) {
        const FaceParams& fs = s.face[f];
        // Plain names, not a structured binding: the lambda below captures them.
        const std::array<int, 2> ab = faceAxes(static_cast<Face>(f));
        const int a = ab[0], b = ab[1];
        int fixed = 3 - a - b;
        double fx = (f % 2 == 0) ? s.lo[fixed] : s.hi[fixed];
        int na = fs.na > 0 ? fs.na : s.div[a];
        int nb = fs.nb > 0 ? fs.nb : s.div[b];
        auto point = [&](int i, int j) {
            Vec3 p;
            p[fixed] = fx;
            p[a] = step(s.lo[a], s.hi[a], i, na);
            p[b] = step(s.lo[b], s.hi[b], j, nb);
            return p;
        };
        for (int j = 0; j < nb; ++j)
            for (int i = 0; i < na; ++i) {
                Element e;
                e.npe = 4;
                e.bc = fs.bc;
                e.x = {point(i, j), point(i + 1, j), point(i + 1, j + 1), point(i, j + 1)};
                if (s.exterior) flip(e);
                m.el.push_back(e);
            }
    }
    return m;
}

// ---------------------------------------------------------------- sphere

Mesh makeSphere(const SphereParams& s) {
    if (!(s.r > 0)) throw MeshError("sphere: the radius must be positive");
    if (s.level < 0 || s.level > MAXLEVEL)
        throw MeshError("sphere: the level must be 0 to " + std::to_string(MAXLEVEL));
    const double phi = (1.0 + std::sqrt(5.0)) / 2.0;
    const double h = 1.0 / std::sqrt(1.0 + phi * phi);
    const double a = h, b = phi * h;
    const std::array<Vec3, 12> v = {{{-a, b, 0}, {a, b, 0}, {-a, -b, 0}, {a, -b, 0},
                                     {0, -a, b}, {0, a, b}, {0, -a, -b}, {0, a, -b},
                                     {b, 0, -a}, {b, 0, a}, {-b, 0, -a}, {-b, 0, a}}};
    const int face[20][3] = {{0, 11, 5}, {0, 5, 1},  {0, 1, 7},   {0, 7, 10}, {0, 10, 11},
                             {1, 5, 9},  {5, 11, 4}, {11, 10, 2}, {10, 7, 6}, {7, 1, 8},
                             {3, 9, 4},  {3, 4, 2},  {3, 2, 6},   {3, 6, 8},  {3, 8, 9},
                             {4, 9, 5},  {2, 4, 11}, {6, 2, 10},  {8, 6, 7},  {9, 8, 1}};
    using Tri = std::array<Vec3, 3>;
    std::vector<Tri> tri;
    for (const auto& f : face) {
        Tri t = {v[f[0]], v[f[1]], v[f[2]]};
        // Outward sense on the unit sphere, whatever the table says.
        if (dot(cross(sub(t[1], t[0]), sub(t[2], t[1])), add(add(t[0], t[1]), t[2])) < 0)
            std::swap(t[1], t[2]);
        tri.push_back(t);
    }
    for (int l = 0; l < s.level; ++l) {
        std::vector<Tri> next;
        next.reserve(tri.size() * 4);
        for (const Tri& t : tri) {
            Vec3 ab = midUnit(t[0], t[1]), bc = midUnit(t[1], t[2]), ca = midUnit(t[2], t[0]);
            next.push_back({t[0], ab, ca});
            next.push_back({ab, t[1], bc});
            next.push_back({ca, bc, t[2]});
            next.push_back({ab, bc, ca});
        }
        tri = std::move(next);
    }
    // Flat triangles with their corners on the sphere cut inside it; pushed
    // out until their area is the sphere's, they stand for it better (the
    // capacitance errs about four times less).
    double R = s.r;
    if (s.areaFit) {
        double A = 0.0;
        for (const Tri& t : tri) A += 0.5 * norm(cross(sub(t[1], t[0]), sub(t[2], t[0])));
        R *= std::sqrt(4.0 * std::acos(-1.0) / A);
    }
    Mesh m;
    m.el.reserve(tri.size());
    for (const Tri& t : tri) {
        Element e;
        e.npe = 3;
        e.bc = s.bc;
        for (int j = 0; j < 3; ++j) e.x[j] = add(s.c, scale(t[j], R));
        if (s.exterior) flip(e);
        m.el.push_back(e);
    }
    return m;
}

// ---------------------------------------------------------------- symmetry

void cutSymmetry(Mesh& m, int axis, int side, int parity) {
    checkAxis(axis);
    if (side != 1 && side != -1) throw MeshError("symmetry: the side must be + or -");
    if (parity != 1 && parity != -1) throw MeshError("symmetry: the parity must be even or odd");
    snap(m, axis);
    std::vector<Element> out;
    for (const Element& e : m.el) {
        auto [pos, neg] = sides(e, axis, side);
        if (pos == 0) continue;  // in the plane, or wholly on the other side
        if (neg == 0) {
            out.push_back(e);
            continue;
        }
        Poly p = clip(corners(e), axis, side);
        tidy(p);
        pieces(p, e.bc, out);
    }
    m.el = std::move(out);
    m.isym[axis] = parity;
}

void splitAlong(Mesh& m, int axis) {
    checkAxis(axis);
    snap(m, axis);
    std::vector<Element> out;
    for (const Element& e : m.el) {
        auto [pos, neg] = sides(e, axis, 1);
        if (pos == 0 || neg == 0) {
            out.push_back(e);
            continue;
        }
        for (int side : {1, -1}) {
            Poly p = clip(corners(e), axis, side);
            tidy(p);
            pieces(p, e.bc, out);
        }
    }
    m.el = std::move(out);
}

// ---------------------------------------------------------------- internal points

void addLine(std::vector<Vec3>& ip, const Vec3& a, const Vec3& b, int n) {
    if (n < 1) throw MeshError("line: the number of points must be at least 1");
    if (n > MAXCOUNT - static_cast<long long>(ip.size()))
        throw MeshError("line: " + std::to_string(n) + " points make more internal points than the " +
                        std::to_string(MAXCOUNT) + " this tool builds");
    for (int i = 0; i < n; ++i) {
        Vec3 p;
        for (int k = 0; k < 3; ++k) p[k] = (n == 1) ? a[k] : step(a[k], b[k], i, n - 1);
        ip.push_back(p);
    }
}

void addGrid(std::vector<Vec3>& ip, const Vec3& a, const Vec3& b, const std::array<int, 3>& n) {
    for (int k = 0; k < 3; ++k)
        if (n[k] < 1) throw MeshError("grid: the number of points along each axis must be at least 1");
    const long long count = static_cast<long long>(n[0]) * n[1] * n[2];
    if (count > MAXCOUNT - static_cast<long long>(ip.size()))
        throw MeshError("grid: " + std::to_string(count) + " points make more internal points than the " +
                        std::to_string(MAXCOUNT) + " this tool builds");
    auto coord = [&](int k, int i) { return n[k] == 1 ? a[k] : step(a[k], b[k], i, n[k] - 1); };
    for (int iz = 0; iz < n[2]; ++iz)
        for (int iy = 0; iy < n[1]; ++iy)
            for (int ix = 0; ix < n[0]; ++ix) ip.push_back({coord(0, ix), coord(1, iy), coord(2, iz)});
}

// ---------------------------------------------------------------- orientation

void flip(Element& e) { std::reverse(e.x.begin() + 1, e.x.begin() + e.npe); }

namespace {
// Signed volume of the cone from the origin over one element.
double coneVolume(const Element& e) {
    double v = 0;
    for (int j = 1; j + 1 < e.npe; ++j) v += dot(e.x[0], cross(e.x[j], e.x[j + 1]));
    return v / 6.0;
}
}  // namespace

std::vector<Surface> surfaces(const Mesh& m) {
    std::size_t ne = m.el.size();
    // Corners are the same point when their coordinates are identical, as the
    // shared nodes of an imported mesh and the builders' corners are.
    std::map<Vec3, int> id;
    std::vector<std::array<int, 4>> vid(ne);
    for (std::size_t i = 0; i < ne; ++i)
        for (int j = 0; j < m.el[i].npe; ++j) vid[i][j] = id.emplace(m.el[i].x[j], int(id.size())).first->second;
    // Every edge with the elements that use it and the sense they run it in.
    struct Use {
        std::size_t el;
        bool up;  // runs from the lower to the higher vertex number
        int j;    // its first corner in the element
    };
    std::map<std::pair<int, int>, std::vector<Use>> edges;
    for (std::size_t i = 0; i < ne; ++i)
        for (int j = 0; j < m.el[i].npe; ++j) {
            int p = vid[i][j], q = vid[i][(j + 1) % m.el[i].npe];
            edges[{std::min(p, q), std::max(p, q)}].push_back({i, p < q, j});
        }
    // Neighbours across an edge; `same` when they run it in the same sense
    // (one of them must be reversed), -1 across an edge of other than two.
    struct Link {
        std::size_t to;
        int same;
    };
    std::vector<std::vector<Link>> adj(ne);
    std::vector<std::string> openAt(ne);
    for (const auto& [key, uses] : edges) {
        int same = uses.size() == 2 ? int(uses[0].up == uses[1].up) : -1;
        if (same < 0 && openAt[uses[0].el].empty())
            openAt[uses[0].el] = "the edge at " + str(m.el[uses[0].el].x[uses[0].j]) + " of element " +
                                 std::to_string(uses[0].el + 1) + " belongs to " + std::to_string(uses.size()) +
                                 " element(s), not 2";
        for (std::size_t k = 1; k < uses.size(); ++k) {
            adj[uses[0].el].push_back({uses[k].el, same});
            adj[uses[k].el].push_back({uses[0].el, same});
        }
    }
    std::vector<Surface> out;
    std::vector<int> flipped(ne, -1);
    for (std::size_t start = 0; start < ne; ++start) {
        if (flipped[start] >= 0) continue;
        Surface s;
        s.el = {start};
        flipped[start] = 0;
        for (std::size_t k = 0; k < s.el.size(); ++k) {
            std::size_t a = s.el[k];
            if (!openAt[a].empty() && s.closed) {
                s.closed = false;
                s.open = openAt[a];
            }
            for (const Link& l : adj[a]) {
                int want = l.same < 0 ? 0 : flipped[a] ^ l.same;
                if (flipped[l.to] < 0) {
                    flipped[l.to] = want;
                    s.el.push_back(l.to);
                } else if (l.same >= 0 && flipped[l.to] != want) {
                    s.orientable = false;
                }
            }
        }
        for (std::size_t i : s.el) {
            s.flip.push_back(flipped[i] == 1);
            s.consistent = s.consistent && flipped[i] == 0;
        }
        out.push_back(std::move(s));
    }
    return out;
}

void orientClosed(Mesh& m, bool outward) {
    for (const Surface& s : surfaces(m)) {
        if (!s.closed) throw MeshError("cannot orient: the surface is not closed; " + s.open);
        if (!s.orientable)
            throw MeshError("cannot orient: the surface through element " + std::to_string(s.el[0] + 1) +
                            " is not orientable");
        double vol = 0;
        for (std::size_t k = 0; k < s.el.size(); ++k) {
            if (s.flip[k]) flip(m.el[s.el[k]]);
            vol += coneVolume(m.el[s.el[k]]);
        }
        if (vol == 0)
            throw MeshError("cannot orient: the surface through element " + std::to_string(s.el[0] + 1) +
                            " encloses no volume");
        if ((vol > 0) != outward)
            for (std::size_t i : s.el) flip(m.el[i]);
    }
}

namespace {
// How many times the closed surface s winds around the point p (0 outside
// it): its solid angle seen from p over 4 pi, triangle by triangle.
double winding(const Mesh& m, const Surface& s, const Vec3& p) {
    double omega = 0;
    for (std::size_t i : s.el) {
        const Element& e = m.el[i];
        for (int j = 1; j + 1 < e.npe; ++j) {
            Vec3 a = sub(e.x[0], p), b = sub(e.x[j], p), c = sub(e.x[j + 1], p);
            double la = norm(a), lb = norm(b), lc = norm(c);
            omega += 2 * std::atan2(dot(a, cross(b, c)),
                                    la * lb * lc + dot(a, b) * lc + dot(a, c) * lb + dot(b, c) * la);
        }
    }
    return omega / (4 * std::acos(-1.0));
}
}  // namespace

std::string describeNormals(const Mesh& m, std::vector<std::string>& warnings) {
    struct Closed {
        const Surface* s;
        int dir;  // 1 out of the enclosed volume, -1 into it, 0 both
        int depth = 0;  // closed surfaces around it
    };
    const std::vector<Surface> all = surfaces(m);
    std::vector<Closed> cl;
    for (const Surface& s : all) {
        if (!s.closed || !s.orientable) continue;
        double vol = 0;
        for (std::size_t i : s.el) vol += coneVolume(m.el[i]);
        cl.push_back({&s, !s.consistent ? 0 : vol > 0 ? 1 : -1});
    }
    for (Closed& a : cl)
        for (const Closed& b : cl)
            if (&a != &b && std::fabs(winding(m, *b.s, centroid(m.el[a.s->el[0]]))) > 0.5) ++a.depth;
    // One outermost surface with its normals out of its volume bounds the
    // region from outside; otherwise the region is the space outside the
    // outermost surfaces.  Either way the sides alternate inward.
    int outer = 0, outerDir = 0;
    for (const Closed& c : cl)
        if (c.depth == 0) ++outer, outerDir = c.dir;
    const bool inside = outer == 1 && outerDir == 1;
    std::string text;
    for (const Closed& c : cl) {
        const std::string at = "the closed surface through element " + std::to_string(c.s->el[0] + 1);
        const char* way = c.dir > 0 ? "out of" : c.dir < 0 ? "into" : "both into and out of";
        text += ", normals " + std::string(way) + " the volume enclosed by the surface through element " +
                std::to_string(c.s->el[0] + 1);
        const int want = (c.depth % 2 == 0) == inside ? 1 : -1;
        if (c.dir == 0) {
            warnings.push_back("the normals of " + at + " point " + way +
                               " the volume it encloses; --orient outward or --orient inward orders them");
        } else if (c.dir != want) {
            warnings.push_back("the normals of " + at + " point " + way + " the volume it encloses, but the " +
                               "region where the potential is sought lies " + (want > 0 ? "inside" : "outside") +
                               " it; --orient " + (want > 0 ? "outward" : "inward") +
                               " turns them (it turns every closed surface alike; without it, flip in --group " +
                               "turns one)");
        } else if (inside && c.depth == 0 && cl.size() == 1) {
            // One surface, all at one potential: the field inside is that
            // constant, so the field outside is surely the one wanted.
            bool same = true;
            for (std::size_t i : c.s->el) {
                const BC& b = m.el[i].bc;
                same = same && b.kode <= 0 && b.vbc == m.el[c.s->el[0]].bc.vbc;
            }
            if (same)
                warnings.push_back("the normals of " + at + " point out of the volume it encloses, and the " +
                                   "whole surface has one potential: the field inside is constant; for the field " +
                                   "outside use --orient inward");
        }
    }
    return cl.empty() ? ", no closed surface" : text;
}

// ---------------------------------------------------------------- measures

// The solver's own node and area, so that the tool measures what it solves.
Vec3 centroid(const Element& e) {
    Vec3 c;
    telma::centroid(e.npe, e.x, c.data());
    return c;
}

double area(const Element& e) { return telma::area(e.npe, e.x, centroid(e).data()); }

Vec3 unitNormal(const Element& e) {
    Vec3 n = cross(sub(e.x[1], e.x[0]), sub(e.x[2], e.x[1]));
    return scale(n, 1.0 / norm(n));
}

double totalArea(const Mesh& m) {
    double s = 0;
    for (const Element& e : m.el) s += area(e);
    return s;
}

double signedVolume(const Mesh& m) {
    double v = 0;
    for (const Element& e : m.el) v += coneVolume(e);
    return v;
}

bool beyondClassic(const Mesh& m) {
    return m.el.size() > static_cast<std::size_t>(telma::NBEMAX) || m.ip.size() > static_cast<std::size_t>(telma::NIPMAX);
}

void checkForSolver(const Mesh& m) {
    if (m.el.empty()) throw MeshError("the mesh has no elements");
    const long long groups = telma::NGROUPS(static_cast<long long>(m.el.size()));  // the solver's flux table
    for (std::size_t i = 0; i < m.el.size(); ++i) {
        const Element& e = m.el[i];
        std::string which = "element " + std::to_string(i + 1);
        if (e.npe < 3 || e.npe > 4) throw MeshError(which + " has " + std::to_string(e.npe) + " corners, not 3 or 4");
        if (e.bc.kode < -groups)
            throw MeshError(which + ": flux group " + std::to_string(-e.bc.kode) + " is beyond " +
                            std::to_string(groups));
        // The solver reads coordinates and values up to XBIG (beyond, --scale is likely wrong).
        if (!(std::fabs(e.bc.vbc) <= telma::XBIG))
            throw MeshError(which + ": the prescribed value is beyond the +/-1e50 the solver reads");
        telma::CORNERS x{};
        for (int j = 0; j < e.npe; ++j) {
            for (int k = 0; k < 3; ++k)
                if (!(std::fabs(e.x[j][k]) <= telma::XBIG))
                    throw MeshError(which + ": a coordinate is beyond the +/-1e50 the solver reads (is --scale right?)");
            x[j] = e.x[j];
        }
        // The solver's own test, so that what is written here is never refused there.
        const telma::SHAPEFAULT f = telma::SHAPECHK(e.npe, x);
        switch (f.kind) {
        case telma::SHAPE::OK:
            break;
        case telma::SHAPE::ZERO_EDGE:
            throw MeshError(which + " has an edge of zero length at " + str(e.x[f.edge - 1]));
        case telma::SHAPE::IN_LINE:
            throw MeshError(which + ": its first three corners lie on one line");
        case telma::SHAPE::TOO_SMALL:
            throw MeshError(which + " is too small: the solver takes elements of size 1e-50 or more");
        case telma::SHAPE::CROSSED:
            throw MeshError(which + " crosses itself: two of its edges intersect");
        case telma::SHAPE::FLAT_ZERO_EDGE:
            throw MeshError(which + " is so warped that edge " + std::to_string(f.edge) +
                            " has zero length in the plane the solver flattens it to");
        }
    }
    for (std::size_t i = 0; i < m.ip.size(); ++i)
        for (int k = 0; k < 3; ++k)
            if (!(std::fabs(m.ip[i][k]) <= telma::XBIG))
                throw MeshError("internal point " + std::to_string(i + 1) + ": a coordinate is beyond the +/-1e50 the solver reads");
}

}  // namespace tmesh
