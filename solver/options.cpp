// The solver's command-line options.
#include "solver/options.hpp"

#include <cmath>
#include <string_view>

#include "textio/textio.hpp"

namespace telma {

OPTIONS OPTS;

const char* const USAGE = R"(telma: solves a three-dimensional potential problem by the boundary element method

Usage: telma [OPTIONS] [--] [data-file [report-file]]

Reads the problem data file and writes the results report.  A name not given
on the command line is asked for on the console; an empty answer gives
TELMA.IN and TELMA.OUT.  File names are found without regard to letter case.
Without options the run is the classic one: Gauss-Seidel sweeps on the dense
system, at most 4600 elements and 7000 internal points.

Options come before the file names; -- ends them (a file name may then begin
with -).  A value is written --name=value or --name value, and a name may be
shortened to any beginning that no other option shares.
  --solver=gs|lu|hmat  how the system is solved:
                         gs    Gauss-Seidel sweeps on the dense matrix (default)
                         lu    LU factorisation of the dense matrix, with
                               partial pivoting; any number of elements
                               and points the memory holds
                         hmat  GMRES on a hierarchical-matrix compression of
                               the operator, for problems of any size; shared
                               by the processes of mpirun -np P telma ...
  --tol=EPS            tolerance of the solve, a positive number: for gs the
                       RMS change of a sweep (default 1.0E-8), for hmat the
                       relative residual of GMRES (default 1.0E-10; from
                       1e-6 up the operator is held in single precision,
                       in half the memory), for lu the largest relative
                       residual accepted (default 1.0E-8; beyond it the
                       system is singular)
  --vtu=FILE           also write the results to FILE, a VTK unstructured grid
                       (XML) for ParaView, and the internal points to
                       FILE_points.vtu (FILE's .vtu ending replaced)
  --unfold             with --vtu: mirror the mesh and its values over the
                       symmetry planes, so that the whole body is seen
  --capacitance        the capacitance matrix of the flux groups: each group
                       in turn at potential 1, every other prescribed
                       potential 0, all solved together; the matrix follows
                       the CURRENTS block of the report
  --length-unit=m|cm|mm|um
                       with --capacitance: the unit of the data file's
                       lengths (default m)
  --eps-r=E            with --capacitance: the relative permittivity of the
                       medium, a positive number (default 1); with --media:
                       that of the codes the media file does not list
  --media=FILE         conductors and interfaces in several media, solved
                       for the charge on every element.  FILE has one line
                       per element code (# starts a comment):
                         K EPS        a code K <= 0: the conductors of code K
                                      lie in a medium of permittivity EPS
                         K EPSN EPSB  a code K >= 1: the elements of code K
                                      are interfaces between a medium EPSN on
                                      their normal's side and EPSB on the
                                      other; their value must be 0
                       With it FLUX and the capacitance carry the
                       permittivities (the free charge)
  --json=FILE          also write a summary of the run to FILE as one JSON
                       object: solver, status and result, the counts, the
                       steps, residual and tolerance of the solve, the
                       fluxes, the capacitance matrix, the phases' times and
                       the peak memory (the README lists its fields)
  --help               show this help and end
  --version            show the name and version and end

A run with options ends its console with one line: the whole run's time,
the peak memory, the solver and its steps.

Exit status: 0 done; 1 the run could not do its job (a file missing or
malformed, a limit exceeded, a solve that did not converge); 2 a bad command
line.
)";

namespace {

// One word of a table of named values.
template <class T>
struct CHOICE {
    std::string_view word;
    T value;
};

constexpr CHOICE<METHOD> METHODS[] = {{"gs", METHOD::GS}, {"lu", METHOD::LU}, {"hmat", METHOD::HMAT}};
constexpr CHOICE<double> UNITS[] = {{"m", 1.0}, {"cm", 1.0E-2}, {"mm", 1.0E-3}, {"um", 1.0E-6}};

// The options, in the order of --help.
constexpr textio::OPTSPEC SPECS[] = {
    {"solver", "gs|lu|hmat"}, {"tol", "EPS"}, {"vtu", "FILE"}, {"unfold"}, {"capacitance"},
    {"length-unit", "m|cm|mm|um"}, {"eps-r", "E"}, {"media", "FILE"}, {"json", "FILE"}, {"help"}, {"version"},
};

// One option as read, with the checks of its value.
struct WORD {
    std::string name, value;

    // The value, which must not be empty: FORM says how it is written.
    const std::string& need(const char* form) const {
        if (value.empty()) throw textio::UsageError("--" + name + " needs a value: --" + name + "=" + form);
        return value;
    }
    template <class T, std::size_t N>
    T pick(const CHOICE<T> (&table)[N], const char* form) const {
        need(form);
        for (const auto& c : table)
            if (c.word == value) return c.value;
        throw textio::UsageError("--" + name + ": expected " + form + ", found \"" + value + "\"");
    }
    double positive() const {
        double x = 0;
        if (!textio::parseReal(need("NUMBER"), x) || !std::isfinite(x) || !(x > 0))
            throw textio::UsageError("--" + name + ": expected a positive number, found \"" + value + "\"");
        return x;
    }
};

}  // namespace

std::vector<char*> PARSEOPTS(int argc, char** argv) {
    OPTS = OPTIONS{};
    bool unitGiven = false, epsGiven = false, ended = false;
    int k = 1;
    const std::vector<textio::OPTWORD> found = textio::READOPTS(argc, argv, k, SPECS, ended);
    OPTS.CLASSIC = found.empty();
    for (const textio::OPTWORD& w : found) {
        const WORD o{w.name, w.values.empty() ? "" : w.value()};
        if (o.name == "help") {
            OPTS.HELP = true;
            return {};
        } else if (o.name == "version") {
            OPTS.VERSION = true;
            return {};
        } else if (o.name == "solver") {
            OPTS.SOLVER = o.pick(METHODS, "gs, lu or hmat");
        } else if (o.name == "tol") {
            OPTS.TOL = o.positive();
        } else if (o.name == "vtu") {
            OPTS.VTU = o.need("FILE");
        } else if (o.name == "unfold") {
            OPTS.UNFOLD = true;
        } else if (o.name == "capacitance") {
            OPTS.CAPAC = true;
        } else if (o.name == "length-unit") {
            OPTS.LUNIT = o.pick(UNITS, "m, cm, mm or um");
            unitGiven = true;
        } else if (o.name == "media") {
            OPTS.MEDIA = o.need("FILE");
        } else if (o.name == "json") {
            OPTS.JSON = o.need("FILE");
        } else if (o.name == "eps-r") {
            OPTS.EPSR = o.positive();
            epsGiven = true;
        }
    }
    if (OPTS.UNFOLD && OPTS.VTU.empty()) throw textio::UsageError("--unfold needs --vtu=FILE");
    if (unitGiven && !OPTS.CAPAC) throw textio::UsageError("--length-unit needs --capacitance");
    if (epsGiven && !OPTS.CAPAC && OPTS.MEDIA.empty())
        throw textio::UsageError("--eps-r needs --capacitance or --media");

    // The file names.  An option written after them would be silently taken
    // for a name or ignored: refused instead ("--" lets such a name through).
    return textio::wordsAfterOptions(argc, argv, k, ended, "the file names");
}

}  // namespace telma
