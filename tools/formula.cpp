// Boundary values from formulas of the element's centroid and normal,
// evaluated by muparser.
#include <muParser.h>

#include <cmath>
#include <sstream>

#include "solver/shapes.hpp"
#include "tools/mesh.hpp"

namespace tmesh {

namespace {

// A parser of one formula with the variables x, y, z, nx, ny, nz.
struct Formula {
    mu::Parser p;
    double v[6] = {};
    explicit Formula(const std::string& text) {
        static const char* const NAMES[6] = {"x", "y", "z", "nx", "ny", "nz"};
        for (int k = 0; k < 6; ++k) p.DefineVar(NAMES[k], &v[k]);
        p.SetExpr(text);
    }
};

}  // namespace

void checkFormula(const std::string& text, const std::string& what) {
    try {
        Formula f(text);
        f.p.Eval();
    } catch (const mu::Parser::exception_type& e) {
        throw MeshError(what + ": the formula \"" + text + "\" cannot be read: " + e.GetMsg() +
                        " (a formula of x, y, z, nx, ny, nz, without commas)");
    }
}

void applyFormulas(Mesh& m, const std::vector<std::string>& formulas) {
    std::vector<Formula> f;
    f.reserve(formulas.size());
    for (const std::string& text : formulas) f.emplace_back(text);
    for (std::size_t i = 0; i < m.el.size(); ++i) {
        Element& e = m.el[i];
        if (e.bc.expr < 0) continue;
        // the node and the normal as the solver takes them
        telma::CORNERS x{};
        for (int j = 0; j < e.npe; ++j) x[j] = e.x[j];
        double xc[3];
        telma::centroid(e.npe, x, xc);
        telma::ELDATA d{};
        telma::frame(e.npe, x, xc, d);
        Formula& g = f[static_cast<std::size_t>(e.bc.expr)];
        for (int k = 0; k < 3; ++k) g.v[k] = xc[k], g.v[3 + k] = d.EN[k];
        double value = 0;
        try {
            value = g.p.Eval();
        } catch (const mu::Parser::exception_type& ex) {
            throw MeshError("element " + std::to_string(i + 1) + ": the formula \"" + formulas[e.bc.expr] +
                            "\" fails: " + ex.GetMsg());
        }
        if (!(std::fabs(value) <= telma::XBIG)) {
            std::ostringstream v;
            v << value;
            throw MeshError("element " + std::to_string(i + 1) + ": the formula \"" + formulas[e.bc.expr] + "\" gives " +
                            v.str() + ", beyond the +/-1e50 the solver reads");
        }
        e.bc.vbc = value;
    }
}

}  // namespace tmesh
