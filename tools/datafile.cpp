// Writer of the problem data file.
#include "tools/datafile.hpp"

#include <charconv>
#include <ostream>

namespace tmesh {

std::string realText(double v) {
    if (v == 0) v = 0.0;  // no "-0"
    char buf[40];
    auto res = std::to_chars(buf, buf + sizeof buf, v);
    std::string s(buf, res.ptr);
    for (char& c : s)
        if (c == 'e') c = 'E';
    return s;
}

void writeDataFile(std::ostream& os, const Mesh& m) {
    checkForSolver(m);
    std::string title = m.title.substr(0, 80);
    // The viewer looks for the report line " RESULTS" and would stop at a
    // title that reads the same in the echo.
    std::string t = title;
    while (!t.empty() && t.back() == ' ') t.pop_back();
    if (t == " RESULTS") throw MeshError("the title \" RESULTS\" would mislead the viewer; choose another");
    os << title << '\n';
    os << m.el.size() << ' ' << m.isym[0] << ' ' << m.isym[1] << ' ' << m.isym[2] << ' ' << m.ip.size()
       << '\n';
    for (const Element& e : m.el) {
        os << e.npe;
        for (int j = 0; j < e.npe; ++j)
            for (int k = 0; k < 3; ++k) os << ' ' << realText(e.x[j][k]);
        os << '\n';
    }
    for (const Element& e : m.el) os << e.bc.kode << ' ' << realText(e.bc.vbc) << '\n';
    for (const Vec3& p : m.ip) os << realText(p[0]) << ' ' << realText(p[1]) << ' ' << realText(p[2]) << '\n';
}

}  // namespace tmesh
