// Picture composition: the mesh, the tripod and the colour bar as one
// PostScript page in FNAME.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <utility>
#include <vector>

#include "QVLIB/PGRPH2/pgrph2.hpp"
#include "textio/textio.hpp"
#include "viewer/korval.hpp"

namespace korval {

namespace {

constexpr float CM = 28.346457f;  // points per centimetre
constexpr float FLOOR = 1.0E-9f;  // normalised values below the scale

float PX[NPMAX + 1], PY[NPMAX + 1];  // projections, before the zoom
float AXPT[4 + 1][4];                // AXPT(K,J): aimed-at point and tripod ends
float TPX[4 + 1], TPY[4 + 1];        // their projections

textio::OutFile PSFILE;              // unit 10
textio::OutUnit UNIT10(PSFILE);

// A node in the plane through the eye across the line of sight has no
// projection (T3D2D divides by its depth, zero): it must not reach the page.
bool projected(float x, float y) { return std::isfinite(x) && std::isfinite(y); }

// A page position or colour as written: a view whose numbers overflow (a huge
// zoom or distance) must not put Infinity or NaN into the PostScript.
float onPage(float v) {
    if (!std::isfinite(v))
        throw textio::IoError(FNAME + ": the view gives a number that is not finite; the picture is not complete");
    return v;
}

// The face value normalised to the colour scale, before the exponent.  A scale
// of zero width has no quotient: its common value takes the middle.
float normalised(float val) {
    if (solmax == solmin) return val == solmin ? 0.5f : val > solmin ? 1.0f : FLOOR;
    float t = (val - solmin) / (solmax - solmin);
    if (t > 1) t = 1;
    if (t < 0) t = FLOOR;
    return t;
}

void faces(textio::OutUnit& lu) {
    std::vector<int> FIRST;
    const std::vector<int> ORDER = DRAWORDER(FIRST);
    // Of a closed body only the faces toward the eye are seen.
    const bool cull = HIDE && CLOSED();
    for (const int I : ORDER) {
        const int j0 = FIRST[I];  // the face's nodes are j0 + 1 .. j0 + NP(I)
        // a face through the eye plane cannot be drawn as a polygon: left out
        bool drawable = true;
        for (int k = 1; k <= NP[I]; ++k) drawable = drawable && projected(PX[j0 + k], PY[j0 + k]);
        if (!drawable) continue;

        float V[4 + 1][4] = {};
        float G[4] = {};
        for (int k = 1; k <= NP[I]; ++k) {
            for (int c = 1; c <= 3; ++c) {
                G[c] = G[c] + XYZ[j0 + k][c];
                V[k][c] = XYZ[j0 + k][c];
            }
        }
        for (int c = 1; c <= 3; ++c) G[c] = G[c] / static_cast<float>(NP[I]);
        float a[4], b[4], n[4];
        for (int c = 1; c <= 3; ++c) {
            a[c] = V[2][c] - V[1][c];
            b[c] = V[3][c] - V[2][c];
        }
        n[1] = a[2] * b[3] - a[3] * b[2];
        n[2] = a[3] * b[1] - a[1] * b[3];
        n[3] = a[1] * b[2] - a[2] * b[1];
        const float len = std::sqrt(n[1] * n[1] + n[2] * n[2] + n[3] * n[3]);
        for (int c = 1; c <= 3; ++c) n[c] = n[c] / len;
        const auto& E = PERSP.E;
        const float s = (E[1] - G[1]) * n[1] + (E[2] - G[2]) * n[2] + (E[3] - G[3]) * n[3];
        if (cull && !(s > 0)) continue;

        lu.write(s > 0 ? "(' B '\\)" : "(' G '\\)");
        for (int k = 1; k <= NP[I]; ++k) {
            float x, y;
            qvlib::PSXFORM(PX[j0 + k] * Zx, PY[j0 + k] * Zx, x, y);
            if (k == 1)
                lu.write("(' N',2f10.3,' M'\\)", {onPage(x), onPage(y)});
            else
                lu.write("(2f10.3,' L'\\)", {onPage(x), onPage(y)});
        }
        if (ICOL == 1 && I <= nfa2) {
            const float t = std::pow(normalised(VAL[I]), Ex);
            float R, Gr, B;
            PALLETTE(R, Gr, B, t);
            lu.write("(' C ',3f6.3,' K ')", {onPage(R), onPage(Gr), onPage(B)});
        } else {
            lu.write("(' C S')");
        }
    }
}

void tripod(textio::OutUnit& lu) {
    if (!projected(TPX[1], TPY[1])) return;
    float x0, y0;
    qvlib::PSXFORM(TPX[1] * Zx, TPY[1] * Zx, x0, y0);
    for (int J = 2; J <= 4; ++J) {
        if (!projected(TPX[J], TPY[J])) continue;
        float x, y;
        qvlib::PSXFORM(TPX[J] * Zx, TPY[J] * Zx, x, y);
        lu.write("(' N',2f10.3,' M'\\)", {onPage(x0), onPage(y0)});
        lu.write("(2f10.3,' L S')", {onPage(x), onPage(y)});
    }
}

// Fixed on the page: neither zoom nor view moves it.
void colourBar(textio::OutUnit& lu) {
    float x = 255, y = 170;
    const float w = 2.04f, h = 15.3f;
    for (int k = 0; k <= 100; ++k) {
        const float t = std::pow(static_cast<float>(k) / 100.0f, Ex);
        lu.write("(' N ',2F10.3,' M '\\)", {x, y});
        lu.write("(2F10.3, ' L '\\)", {x + w, y});
        lu.write("(2F10.3, ' L '\\)", {x + w, y + h});
        lu.write("(2F10.3, ' L '\\)", {x, y + h});
        float R, G, B;
        PALLETTE(R, G, B, t);
        lu.write("('C',3f6.3,' K')", {onPage(R), onPage(G), onPage(B)});
        x = x + w;
    }
    if (!HIDE) return;
    // The values at the ends and the middle of the scale, above the bar.
    lu.writeFree({"/Helvetica findfont 8 scalefont setfont"});
    for (int k = 0; k <= 2; ++k) {
        char text[32];
        std::snprintf(text, sizeof text, "%.4G", solmin + 0.5f * k * (solmax - solmin));
        const float at = 255 + 102 * w * k / 2.0f - (k == 0 ? 0 : k == 1 ? 10 : 24);
        lu.write("(' N ',2F10.3,' M (',A,') show')", {at, y + h + 3, text});
    }
}

}  // namespace

bool CLOSED() {
    std::map<std::pair<std::array<float, 3>, std::array<float, 3>>, int> edges;
    int j0 = 0;
    for (int I = 1; I <= nfa; j0 += NP[I], ++I)
        for (int k = 1; k <= NP[I]; ++k) {
            const int a = j0 + k, b = j0 + k % NP[I] + 1;
            std::array<float, 3> P{XYZ[a][1], XYZ[a][2], XYZ[a][3]}, Q{XYZ[b][1], XYZ[b][2], XYZ[b][3]};
            if (Q < P) std::swap(P, Q);
            ++edges[{P, Q}];
        }
    for (const auto& [edge, n] : edges)
        if (n != 2) return false;
    return !edges.empty();
}

std::vector<int> DRAWORDER(std::vector<int>& FIRST) {
    FIRST.assign(static_cast<std::size_t>(nfa) + 1, 0);
    std::vector<int> ORDER(static_cast<std::size_t>(nfa));
    std::vector<float> DIST(static_cast<std::size_t>(nfa) + 1, 0.0f);
    int j0 = 0;
    for (int I = 1; I <= nfa; j0 += NP[I], ++I) {
        FIRST[I] = j0;
        ORDER[I - 1] = I;
        float G[4] = {};
        for (int k = 1; k <= NP[I]; ++k)
            for (int c = 1; c <= 3; ++c) G[c] += XYZ[j0 + k][c] / static_cast<float>(NP[I]);
        for (int c = 1; c <= 3; ++c) DIST[I] += (G[c] - PERSP.E[c]) * (G[c] - PERSP.E[c]);
    }
    // Painter's order: the farthest first, so that nearer faces cover it.
    if (HIDE) std::stable_sort(ORDER.begin(), ORDER.end(), [&](int a, int b) { return DIST[a] > DIST[b]; });
    return ORDER;
}

void PICTURE() {
    for (int J = 1; J <= 4; ++J) {
        AXPT[J][1] = AX;
        AXPT[J][2] = AY;
        AXPT[J][3] = AZ;
    }
    AXPT[2][1] = AXPT[2][1] + 1;
    AXPT[3][2] = AXPT[3][2] + 1;
    AXPT[4][3] = AXPT[4][3] + 1;

    INIPERS(AX, AY, AZ, Ps, Th, Om, D);

    // the extents of the projected points: the first one starts them
    float xmin = 0, xmax = 0, ymin = 0, ymax = 0;
    bool first = true;
    auto extend = [&](float x, float y) {
        if (!projected(x, y)) return;
        if (first) {
            xmin = xmax = x;
            ymin = ymax = y;
            first = false;
        }
        xmin = std::min(xmin, x);
        xmax = std::max(xmax, x);
        ymin = std::min(ymin, y);
        ymax = std::max(ymax, y);
    };
    for (int J = 1; J <= Npt; ++J) {
        float x, y;
        T3D2D(XYZ[J][1], XYZ[J][2], XYZ[J][3], x, y);
        PX[J] = x;
        PY[J] = y;
        extend(x, y);
    }
    for (int J = 1; J <= 4; ++J) {
        float x, y;
        T3D2D(AXPT[J][1], AXPT[J][2], AXPT[J][3], x, y);
        TPX[J] = x;
        TPY[J] = y;
        extend(x, y);
    }

    textio::console().write("(' Trace postcript  ')");
    // The picture never replaces the files it was drawn from.
    textio::refuseInput(FNAME, DNAME);
    textio::refuseInput(FNAME, RNAME);
    PSFILE = textio::openUnknown(FNAME);
    qvlib::PSBEGIN(UNIT10);

    UNIT10.writeFree({"/B {0. setgray}def"});
    UNIT10.writeFree({"/G {.7 setgray}def"});
    UNIT10.writeFree({"/N {newpath}   def"});
    UNIT10.writeFree({"/M {moveto}    def"});
    UNIT10.writeFree({"/L {lineto}    def"});
    UNIT10.writeFree({"/C {closepath} def"});
    UNIT10.writeFree({"/S {stroke}    def"});
    UNIT10.writeFree({"/K {gsave setrgbcolor fill grestore} def"});
    UNIT10.writeFree({".25 setlinewidth B"});
    UNIT10.writeFree({"N 0 170 M 510 170 L 510 680 L 0 680 L C clip"});

    const float S = std::max(xmax - xmin, ymax - ymin);
    const float XC = (xmin + xmax) / 2;
    const float YC = (ymin + ymax) / 2;
    const qvlib::Window PAGE = {9 * CM, 18 * CM, 15 * CM, 24 * CM};
    const qvlib::Window WIN = {XC, S / 2 + XC, YC, S / 2 + YC};
    qvlib::PSSCALE(PAGE, WIN);

    faces(UNIT10);
    tripod(UNIT10);
    if (ICOL == 1) colourBar(UNIT10);
    UNIT10.writeFree({"showpage"});

    textio::console().write("(' Dessin termin\xE9 '/)");

    qvlib::PSEND();
    UNIT10.flush();
    PSFILE.commit("the picture could not be written");
}

}  // namespace korval
