// Results as VTK unstructured-grid files (XML, ASCII) for ParaView.
#include "solver/vtuout.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <fstream>
#include <map>
#include <type_traits>
#include <vector>

#include "solver/media.hpp"

namespace telma {

namespace {

using P3 = std::array<double, 3>;

// One image of the model: the planes it is reflected in and the sign its
// values take.
struct IMAGE {
    std::array<double, 3> R;  // -1 on a reflected axis, else 1
    double SIGN;              // product of the parities of the planes
    bool REVERSE;             // reflected in an odd number of planes
};

// The model itself, then (with UNFOLD) its images in each symmetry plane and
// in their combinations.
std::vector<IMAGE> images(bool UNFOLD) {
    const int ISYM[3] = {ISYMX, ISYMY, ISYMZ};
    std::vector<IMAGE> out;
    for (int MASK = 0; MASK < 8; ++MASK) {
        IMAGE im{{1, 1, 1}, 1, false};
        bool ok = MASK == 0 || UNFOLD;
        for (int K = 0; K < 3 && ok; ++K)
            if (MASK & (1 << K)) {
                ok = ISYM[K] == 1 || ISYM[K] == -1;
                im.R[K] = -1;
                im.SIGN *= ISYM[K];
                im.REVERSE = !im.REVERSE;
            }
        if (ok) out.push_back(im);
    }
    return out;
}

// Shortest text that reads back as the same double; -0 written as 0.
void num(std::ostream& os, double v) {
    char buf[32];
    auto r = std::to_chars(buf, buf + sizeof buf, v + 0.0);
    os.write(buf, r.ptr - buf);
}

template <class T>
void array(std::ostream& os, const char* type, const char* name, int ncomp, const std::vector<T>& v) {
    os << "        <DataArray type=\"" << type << "\" Name=\"" << name << "\"";
    if (ncomp > 1) os << " NumberOfComponents=\"" << ncomp << "\"";
    os << " format=\"ascii\">\n         ";
    for (std::size_t i = 0; i < v.size(); ++i) {
        os << ' ';
        if constexpr (std::is_floating_point_v<T>) num(os, v[i]);
        else os << v[i];
        if (i % 12 == 11 && i + 1 < v.size()) os << "\n         ";
    }
    os << "\n        </DataArray>\n";
}

// A piece of an unstructured grid, filled by the callers and written whole.
struct GRID {
    std::vector<double> XYZ;
    std::vector<long long> CONN, OFFS;
    std::vector<int> TYPES;
    std::map<P3, long long> INDEX;  // point -> its number, so coinciding corners are shared

    long long point(const P3& X) {
        auto [it, fresh] = INDEX.emplace(P3{X[0] + 0.0, X[1] + 0.0, X[2] + 0.0}, XYZ.size() / 3);
        if (fresh) XYZ.insert(XYZ.end(), X.begin(), X.end());
        return it->second;
    }
    void cell(int TYPE, const std::vector<long long>& C) {
        CONN.insert(CONN.end(), C.begin(), C.end());
        OFFS.push_back(static_cast<long long>(CONN.size()));
        TYPES.push_back(TYPE);
    }
};

// Writes the grid; `data` writes the PointData and CellData sections.
template <class F>
void write(const std::string& FILE, const GRID& G, F data) {
    textio::OutFile os = textio::openUnknown(FILE);
    os << "<?xml version=\"1.0\"?>\n"
          "<VTKFile type=\"UnstructuredGrid\" version=\"1.0\" byte_order=\"LittleEndian\" "
          "header_type=\"UInt64\">\n"
          "  <UnstructuredGrid>\n"
       << "    <Piece NumberOfPoints=\"" << G.XYZ.size() / 3 << "\" NumberOfCells=\""
       << G.TYPES.size() << "\">\n";
    data(os);
    os << "      <Points>\n";
    array(os, "Float64", "Points", 3, G.XYZ);
    os << "      </Points>\n      <Cells>\n";
    array(os, "Int64", "connectivity", 1, G.CONN);
    array(os, "Int64", "offsets", 1, G.OFFS);
    array(os, "UInt8", "types", 1, G.TYPES);
    os << "      </Cells>\n    </Piece>\n  </UnstructuredGrid>\n</VTKFile>\n";
    os.commit("writing the VTK file failed");
}

constexpr int VTK_VERTEX = 1, VTK_TRIANGLE = 5, VTK_QUAD = 9;

}  // namespace

std::string VTUPTS(const std::string& FILE) {
    const std::string END = ".vtu";
    bool ends = FILE.size() >= END.size() && FILE.compare(FILE.size() - END.size(), END.size(), END) == 0;
    return (ends ? FILE.substr(0, FILE.size() - END.size()) : FILE) + "_points.vtu";
}

void VTUOUT(const std::string& FILE, bool UNFOLD) {
    const std::vector<IMAGE> IMS = images(UNFOLD);

    GRID G;
    std::vector<double> U, Q, AR;
    std::vector<int> CODE, GROUP, ELEM, FACE;
    std::vector<double> EPS, EPSF;
    for (const IMAGE& im : IMS)
        for (int I = 1; I <= NBE; ++I) {
            std::vector<long long> C;
            for (int M = 1; M <= NPE[I]; ++M)
                C.push_back(G.point({im.R[0] * XE[I][M][1], im.R[1] * XE[I][M][2], im.R[2] * XE[I][M][3]}));
            if (im.REVERSE) std::reverse(C.begin() + 1, C.end());  // corner 1 stays first
            G.cell(NPE[I] == 3 ? VTK_TRIANGLE : VTK_QUAD, C);
            U.push_back(im.SIGN * VBC[I]);
            Q.push_back(im.SIGN * B[I]);
            AR.push_back(AREA[I]);
            CODE.push_back(KODE[I]);
            GROUP.push_back(KODE[I] < 0 ? -KODE[I] : 0);
            ELEM.push_back(I);
            if (MEDIA) {
                EPS.push_back(EPSB[I]);
                EPSF.push_back(EPSN[I]);
                FACE.push_back(EPSN[I] > 0.0 ? 1 : 0);
            }
        }
    write(FILE, G, [&](std::ostream& os) {
        os << "      <CellData Scalars=\"potential\">\n";
        array(os, "Float64", "potential", 1, U);
        array(os, "Float64", "normal_derivative", 1, Q);
        array(os, "Float64", "area", 1, AR);
        array(os, "Int32", "code", 1, CODE);
        array(os, "Int32", "flux_group", 1, GROUP);
        array(os, "Int32", "element", 1, ELEM);
        if (MEDIA) {
            // the medium behind the element (a conductor's own), the one in
            // front of an interface, and which elements are interfaces
            array(os, "Float64", "eps", 1, EPS);
            array(os, "Float64", "eps_front", 1, EPSF);
            array(os, "Int32", "interface", 1, FACE);
        }
        os << "      </CellData>\n";
    });

    if (NIP == 0) return;
    GRID P;
    std::vector<double> UP, GR;
    for (const IMAGE& im : IMS)
        for (int I = 1; I <= NIP; ++I) {
            // Every image is a point of its own, even one lying in a plane.
            P.XYZ.insert(P.XYZ.end(), {im.R[0] * XIP[I][1], im.R[1] * XIP[I][2], im.R[2] * XIP[I][3]});
            P.cell(VTK_VERTEX, {static_cast<long long>(P.XYZ.size() / 3 - 1)});
            UP.push_back(im.SIGN * UIP[I]);
            for (int K = 1; K <= 3; ++K) GR.push_back(im.SIGN * im.R[K - 1] * GRADV[K][I]);
        }
    write(VTUPTS(FILE), P, [&](std::ostream& os) {
        os << "      <PointData Scalars=\"potential\" Vectors=\"gradient\">\n";
        array(os, "Float64", "potential", 1, UP);
        array(os, "Float64", "gradient", 3, GR);
        os << "      </PointData>\n";
    });
}

}  // namespace telma
