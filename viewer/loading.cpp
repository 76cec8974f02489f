// Loading from the solver's own files:
//
//   RDMESH  the mesh, from the problem data file
//   RDRES   the face values, from the report
//   NODEIN  whether a report's node lies on its face
#include <cmath>
#include <iostream>
#include <string>

#include "textio/textio.hpp"
#include "viewer/korval.hpp"

namespace korval {

void RDMESH() {
    const std::string name = textio::resolveExisting(DNAME);
    std::ifstream file = textio::openOld(name);
    textio::Reader in(file, name);
    Npt = 0;
    in.skipLines(1);  // title

    // Only the face count of the control record is used; the rest of the
    // line that holds the fourth value is skipped with it.
    int isym = 0;
    in.begin();
    in.read(nfa, "number of faces");
    in.read(isym, "symmetry flag x");
    in.read(isym, "symmetry flag y");
    in.read(isym, "symmetry flag z");
    in.end();
    if (nfa < 0) in.fail("expected a face count of 0 or more, found " + std::to_string(nfa));

    for (int I = 1; I <= nfa; ++I) {
        in.begin();
        int np = 0;
        in.read(np, "vertex count of face " + std::to_string(I));
        // The face tables and the picture's face geometry hold 3 or 4.
        if (np < 3 || np > 4)
            in.fail("expected 3 or 4 vertices (face " + std::to_string(I) + "), found " + std::to_string(np));
        if (Npt + np > NPMAX) {
            std::cerr << "korval: " << name << ": face " << I << " takes the vertices beyond the " << NPMAX
                      << " the viewer holds (" << nfa << " faces)\n";
            textio::stop("Nombre de pts>NPMAX", 1);
        }
        NP[I] = np;
        for (int k = 1; k <= np; ++k) {
            const int J = Npt + k;
            const std::string what = "vertex " + std::to_string(k) + " of face " + std::to_string(I);
            float x = 0, y = 0, z = 0;
            in.read(x, "x of " + what);
            in.read(y, "y of " + what);
            in.read(z, "z of " + what);
            if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z))
                in.fail("expected numbers within the range of single-precision reals (" + what + ")");
            XYZ[J][2] = x;
            XYZ[J][3] = y;
            XYZ[J][1] = z;
        }
        in.end();
        Npt = Npt + np;
    }
}

void RDRES() {
    const std::string name = textio::resolveExisting(RNAME);
    std::ifstream file = textio::openOld(name);
    textio::Reader in(file, name);

    // The first line equal to " RESULTS", trailing blanks aside, in a
    // 512-character buffer.
    for (std::string line;;) {
        if (!in.getLine(line))
            in.fail("end of file before the line \" RESULTS\"");
        if (line.size() > 512) line.resize(512);
        const auto last = line.find_last_not_of(' ');
        if (last != std::string::npos && line.compare(0, last + 1, " RESULTS") == 0) break;
    }
    in.skipLines(5);

    // Rows of six numbers until the first record that is not one, or the end
    // of the file; both are the normal end.  The table holds NPMAX values.
    nfa2 = 0;
    float r[7] = {};
    int S = 0;  // the vertices of the faces before row J
    for (int J = 1; J <= NPMAX; ++J) {
        try {
            in.begin();
            for (int k = 1; k <= 6; ++k) {
                if (!in.read(r[k], "a number of a report row")) break;
            }
            in.end();
        } catch (const textio::IoError&) {
            break;
        }
        VAL[J] = IPOT == 1 ? r[5] : r[6];
        if (!std::isfinite(VAL[J]))
            in.fail("expected a value within the range of single-precision reals (row " + std::to_string(J) + ")");
        if (J == 1) {
            solmin = VAL[1];
            solmax = VAL[1];
        }
        if (VAL[J] > solmax) solmax = VAL[J];
        if (VAL[J] < solmin) solmin = VAL[J];
        nfa2 = J;
        if (J <= nfa) {
            if (!NODEIN(J, S, r[2], r[3], r[4]))
                in.fail("the node of row " + std::to_string(J) + " lies outside face " + std::to_string(J) + " of " +
                        DNAME + ": the report is not that of this mesh");
            S += NP[J];
        }
    }
    // Values for other faces than the mesh has would colour it wrongly.
    if (nfa2 != nfa)
        throw textio::IoError(name + ": " + std::to_string(nfa2) + " rows of values for the " + std::to_string(nfa) +
                              " faces of " + DNAME + ": the report is cut, or not that of this mesh");
}

bool NODEIN(int J, int S, float X, float Y, float Z) {
    // The node (the element's centroid) lies in the box of the face's
    // vertices, widened for the report's five decimals.
    const float P[4] = {0, Z, X, Y};  // in the viewer's axes
    for (int K = 1; K <= 3; ++K) {
        float lo = XYZ[S + 1][K], hi = lo;
        for (int k = 2; k <= NP[J]; ++k) {
            lo = std::fmin(lo, XYZ[S + k][K]);
            hi = std::fmax(hi, XYZ[S + k][K]);
        }
        const float slack = 1.0E-3F * (hi - lo) + 1.0E-5F * std::fmax(std::fabs(lo), std::fabs(hi)) + 1.0E-30F;
        if (!(P[K] >= lo - slack && P[K] <= hi + slack)) return false;
    }
    return true;
}

}  // namespace korval
