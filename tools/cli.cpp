// Command line of telma-mesh.
#include "tools/cli.hpp"

#include <cmath>
#include <fstream>
#include <iostream>
#include <new>
#include <optional>
#include <sstream>

#include "solver/shapes.hpp"
#include "textio/textio.hpp"
#include "tools/datafile.hpp"
#include "tools/msh.hpp"

namespace tmesh {

const char* const HELP = R"(telma-mesh: writes problem data files for the solver telma and the viewer korval

Usage:
  telma-mesh box    [box options]    [common options]
  telma-mesh sphere [sphere options] [common options]
  telma-mesh gmsh FILE [gmsh options] [common options]
  telma-mesh --help | --version

An option's value follows it after a blank or an "=" (--level 4 or
--level=4); a value of several words (--face, --group, --line, --grid) has
its words after blanks.

Every element gets one boundary condition, written COND below as a
comma-separated list:
  u=V            the potential V is prescribed (code 0)
  u=V,group=K    the potential V, and the element belongs to flux group K
                 (code -K, 1 <= K <= 4600); the solver reports the current
                 through each group
  q=V            the normal derivative V is prescribed (code 1); q=0 is an
                 insulating wall
V is a number, or a formula of the element's centroid x, y, z and unit
normal nx, ny, nz (muparser's syntax, without commas), evaluated for each
element: q=-nx is the disturbance of a unit stream along x past a body,
u=z a uniform field along z.
Corners are ordered so that each element's normal points out of the region
where the potential is sought; the normal derivative is taken along it.

box: a rectangular box, each face split into quadrilaterals
  --min X,Y,Z          lower corner (default 0,0,0)
  --max X,Y,Z          upper corner (default 1,1,1)
  --div N | NX,NY,NZ   divisions along x, y and z (default 1); the face zmin
                       gets NX x NY quadrilaterals, and so on
  --face NAME COND     condition of the face NAME: xmin, xmax, ymin, ymax, zmin
                       or zmax (default q=0); COND may add div=NAxNB to split
                       that face on its own
  --exterior           the potential is sought outside the box (default:
                       inside, normals outward)
  Faces are written in the order zmin, zmax, ymin, ymax, xmin, xmax.
  Example, the unit cube between potentials 0 and 1:
    telma-mesh box --face zmin u=0 --face zmax u=1 -o cube.in
  Example, two electrodes in an insulated box, 8 x 4 x 4 cells:
    telma-mesh box --max 2,1,1 --div 8,4,4 --face xmin u=0,group=1 \
               --face xmax u=1,group=2 -o pair.in

sphere: an icosahedron with each triangle split L times into four
  --radius R           (default 1)
  --centre X,Y,Z       (default 0,0,0)
  --level L            20 x 4^L triangles, L = 0 to 8 (default 3: 1280); from
                       level 4 on, beyond the classic solve's 4600 elements
  --bc COND            (default u=1,group=1: an electrode at potential 1)
  --interior           the potential is sought inside the sphere (default:
                       outside, normals toward the centre)
  --fit corners|area   corners: every corner on the sphere (default); area:
                       the corners pushed out together until the mesh has the
                       sphere's area, which makes the capacitance err about
                       four times less
  Example, the capacitance of the unit sphere (flux / 4 pi -> 1):
    telma-mesh sphere --level 3 -o sphere.in

gmsh: a surface mesh read by Gmsh's library: a mesh file (.msh of any
      version, ASCII or binary, or another format Gmsh reads) made of
      triangles and quadrilaterals, or a geometry file (.geo, .step, .brep)
      whose surfaces Gmsh meshes; lines and points are passed over
  --size H             mesh a geometry file with elements of size H
  --size-from-file     mesh a geometry file with the sizes it sets itself
  --group NAME COND    condition of the physical surface NAME (its name or
                       its number); COND may add flip to reverse its normals
  --rest COND          condition of every element that no --group covers;
                       without it such an element is an error
  --scale F            multiply all coordinates by F (default 1)
  --orient outward|inward
                       order the corners of each closed surface consistently,
                       its normals pointing away from the volume it encloses
                       (outward: interior problems) or into it (inward:
                       exterior problems); default: as Gmsh wrote them
  --flip               reverse the normals of all elements (after --orient)
  --trust-geometry     run the commands of a geometry script that reach
                       beyond the geometry (SystemCall, Printf to a file,
                       Save, Print, Exit ...); without it such a script, or
                       one it includes, is refused, naming the line
  --timeout S          how long Gmsh may take to read or mesh the file, in
                       seconds (default 600); Gmsh runs in a process of its
                       own, so that its crash or hang is only a message
  The summary line says which way the normals of each closed surface point,
  into or out of the volume it encloses; a warning names --orient when they
  point both ways on one surface, or away from the region the surfaces bound.
  Example, a sphere meshed by Gmsh as an electrode, exterior problem:
    telma-mesh gmsh ball.geo --size 0.2 --group electrode u=1,group=1 --orient inward

common options
  -o, --output FILE    the data file to write (default TELMA.IN; - writes to
                       standard output)
  --title TEXT         the title line (default: the command line), at most
                       80 characters are kept
  --sym [+-]AXIS=even|odd
                       keep only the part with AXIS >= 0 (+, the default) or
                       AXIS <= 0 (-) and declare the plane AXIS = 0 a plane of
                       even or odd symmetry; elements that cross the plane are
                       cut along it, elements lying in it are dropped; AXIS is
                       x, y or z, and each axis may be given once
  --split AXIS         cut the elements that cross the plane AXIS = 0 into
                       their parts on either side, keeping both (a full mesh to
                       compare a symmetric model with)
  --point X,Y,Z        one internal point
  --line X1,Y1,Z1 X2,Y2,Z2 N
                       N internal points from the first point to the second,
                       both included
  --grid X1,Y1,Z1 X2,Y2,Z2 NX,NY,NZ
                       a regular grid of NX x NY x NZ internal points filling
                       the box between the two points (x varying fastest)
  Example, the upper half of the sphere, even in z, with 11 points on the z axis:
    telma-mesh sphere --sym z=even --line 0,0,1.5 0,0,3.5 11 -o half.in

Workflow: write the mesh as TELMA.IN (the default), solve it with
  telma TELMA.IN TELMA.OUT
and draw it, coloured by the potential, into KORV.PS with
  korval /p
(korval reads the files tELMA.in and TELMA.out, whatever the letter case).

Exit status: 0 done; 1 the mesh could not be made or written (a file
missing or malformed, a limit); 2 a bad command line.
)";

namespace {

using textio::UsageError;

double toReal(const std::string& s, const std::string& what) {
    double v = 0;
    if (!textio::parseReal(s, v) || !std::isfinite(v))
        throw UsageError(what + ": expected a number, found \"" + s + "\"");
    return v;
}

int toInt(const std::string& s, const std::string& what) {
    int v = 0;
    if (!textio::parseInt(s, v)) throw UsageError(what + ": expected an integer, found \"" + s + "\"");
    return v;
}

std::vector<std::string> splitOn(const std::string& s, char sep) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (;;) {
        std::size_t k = s.find(sep, start);
        out.push_back(s.substr(start, k - start));
        if (k == std::string::npos) return out;
        start = k + 1;
    }
}

Vec3 toVec3(const std::string& s, const std::string& what) {
    auto p = splitOn(s, ',');
    if (p.size() != 3) throw UsageError(what + ": expected X,Y,Z, found \"" + s + "\"");
    return {toReal(p[0], what), toReal(p[1], what), toReal(p[2], what)};
}

int toAxis(const std::string& s, const std::string& what) {
    if (s == "x" || s == "X") return 0;
    if (s == "y" || s == "Y") return 1;
    if (s == "z" || s == "Z") return 2;
    throw UsageError(what + ": expected the axis x, y or z, found \"" + s + "\"");
}

// A boundary condition as written on the command line, with the extras a
// context allows.
struct Condition {
    BC bc;
    int na = 0, nb = 0;
    bool flip = false;
};

// The formulas of the conditions of one command line, BC::expr indexing them.
std::vector<std::string> FORMULAS;

// A condition's value: a number, else a formula of the element (kept in
// FORMULAS, its index in EXPR).
double toValue(const std::string& s, const std::string& what, int& expr) {
    double v = 0;
    if (textio::parseReal(s, v) && std::isfinite(v)) return v;
    try {
        checkFormula(s, what);
    } catch (const MeshError& e) {
        throw UsageError(e.what());
    }
    expr = static_cast<int>(FORMULAS.size());
    FORMULAS.push_back(s);
    return 0.0;
}

Condition toCondition(const std::string& s, const std::string& what, bool allowDiv, bool allowFlip) {
    Condition sp;
    std::optional<double> u, q;
    int expr = -1;
    int group = 0;
    for (const std::string& item : splitOn(s, ',')) {
        auto eq = item.find('=');
        std::string key = item.substr(0, eq);
        std::string val = eq == std::string::npos ? "" : item.substr(eq + 1);
        bool hasVal = eq != std::string::npos;
        if (key == "u" && hasVal) u = toValue(val, what + " u", expr);
        else if (key == "q" && hasVal) q = toValue(val, what + " q", expr);
        else if (key == "group" && hasVal) {
            group = toInt(val, what + " group");
            if (group < 1 || group > telma::NBEMAX)
                throw UsageError(what + ": the flux group must be 1 to " + std::to_string(telma::NBEMAX));
        } else if (key == "div" && hasVal && allowDiv) {
            auto ab = splitOn(val, 'x');
            if (ab.size() != 2) throw UsageError(what + ": expected div=NAxNB, found \"" + item + "\"");
            sp.na = toInt(ab[0], what + " div");
            sp.nb = toInt(ab[1], what + " div");
            if (sp.na < 1 || sp.nb < 1) throw UsageError(what + ": divisions must be at least 1");
        } else if (key == "flip" && !hasVal && allowFlip) {
            sp.flip = true;
        } else {
            throw UsageError(what + ": unknown item \"" + item + "\" in the condition \"" + s + "\"");
        }
    }
    if (u && q) throw UsageError(what + ": give either u= or q=, not both");
    if (!u && !q) throw UsageError(what + ": the condition \"" + s + "\" needs u=V or q=V");
    if (q && group) throw UsageError(what + ": a flux group needs a prescribed potential (u=V)");
    if (u) sp.bc = BC{group ? -group : 0, *u, expr};
    else sp.bc = BC{1, *q, expr};
    return sp;
}

struct Common {
    std::optional<std::string> title;
    std::array<int, 3> parity{0, 0, 0};
    std::array<int, 3> side{1, 1, 1};
    std::array<bool, 3> split{false, false, false};
    std::vector<Vec3> ip;
};

// The options of the shapes, and those common to all (--help and --version
// are answered before these are read).
constexpr textio::OPTSPEC BOXOPTS[] = {
    {"min", "X,Y,Z"}, {"max", "X,Y,Z"}, {"div", "N|NX,NY,NZ"}, {"face", "NAME COND", 2}, {"exterior"}, {"interior"},
};
constexpr textio::OPTSPEC SPHEREOPTS[] = {
    {"radius", "R"}, {"centre", "X,Y,Z"}, {"center", "X,Y,Z"}, {"level", "L"},
    {"bc", "COND"}, {"interior"}, {"exterior"}, {"fit", "corners|area"},
};
constexpr textio::OPTSPEC GMSHOPTS[] = {
    {"group", "NAME COND", 2}, {"rest", "COND"}, {"scale", "F"}, {"size", "H"},
    {"size-from-file"}, {"orient", "outward|inward"}, {"flip"}, {"trust-geometry"}, {"timeout", "S"},
};
constexpr textio::OPTSPEC COMMONOPTS[] = {
    {"output", "FILE", 1, 'o'}, {"title", "TEXT"}, {"sym", "[+-]AXIS=even|odd"}, {"split", "AXIS"},
    {"point", "X,Y,Z"}, {"line", "X1,Y1,Z1 X2,Y2,Z2 N", 3}, {"grid", "X1,Y1,Z1 X2,Y2,Z2 NX,NY,NZ", 3},
};

// The options of ARGS from word FIRST on, against a shape's and the common
// ones; a word left after them is refused.
std::vector<textio::OPTWORD> shapeOptions(const std::vector<std::string>& args, std::size_t first,
                                          std::span<const textio::OPTSPEC> own, const std::string& shape) {
    std::vector<textio::OPTSPEC> specs(own.begin(), own.end());
    specs.insert(specs.end(), std::begin(COMMONOPTS), std::end(COMMONOPTS));
    std::vector<char*> argv{const_cast<char*>("telma-mesh")};
    for (const std::string& w : args) argv.push_back(const_cast<char*>(w.c_str()));
    int k = static_cast<int>(first) + 1;
    bool ended = false;
    std::vector<textio::OPTWORD> found;
    try {
        found = textio::READOPTS(static_cast<int>(argv.size()), argv.data(), k, specs, ended);
    } catch (const UsageError& e) {
        const std::string m = e.what();
        throw UsageError(m.rfind("unknown option", 0) == 0 ? m + " for " + shape : m);
    }
    if (k < static_cast<int>(argv.size())) throw UsageError("unknown option \"" + std::string(argv[k]) + "\" for " + shape);
    return found;
}

// Takes an option common to all shapes; false when `o` is not one.
bool commonOption(const textio::OPTWORD& o, Common& c, std::string& output) {
    const std::string opt = "--" + o.name;
    if (o.name == "output") {
        output = o.value();
    } else if (o.name == "title") {
        c.title = o.value();
    } else if (o.name == "sym") {
        std::string v = o.value();
        auto eq = v.find('=');
        if (eq == std::string::npos) throw UsageError("--sym: expected [+-]AXIS=even|odd, found \"" + v + "\"");
        std::string ax = v.substr(0, eq), par = v.substr(eq + 1);
        int side = 1;
        if (!ax.empty() && (ax[0] == '+' || ax[0] == '-')) {
            side = ax[0] == '-' ? -1 : 1;
            ax = ax.substr(1);
        }
        int axis = toAxis(ax, "--sym");
        if (c.parity[axis] != 0) throw UsageError("--sym: the plane " + ax + " = 0 is given twice");
        if (par == "even") c.parity[axis] = 1;
        else if (par == "odd") c.parity[axis] = -1;
        else throw UsageError("--sym: expected even or odd, found \"" + par + "\"");
        c.side[axis] = side;
    } else if (o.name == "split") {
        c.split[toAxis(o.value(), "--split")] = true;
    } else if (o.name == "point") {
        c.ip.push_back(toVec3(o.value(), "--point"));
    } else if (o.name == "line") {
        addLine(c.ip, toVec3(o.values[0], opt), toVec3(o.values[1], opt), toInt(o.values[2], opt));
    } else if (o.name == "grid") {
        auto n = splitOn(o.values[2], ',');
        if (n.size() != 3) throw UsageError("--grid: expected NX,NY,NZ");
        addGrid(c.ip, toVec3(o.values[0], opt), toVec3(o.values[1], opt),
                {toInt(n[0], opt), toInt(n[1], opt), toInt(n[2], opt)});
    } else {
        return false;
    }
    return true;
}

}  // namespace

Mesh buildFromArgs(const std::vector<std::string>& args, std::string& output, Notes* notes) {
    output = "TELMA.IN";
    if (args.empty()) throw UsageError("say what to build: box, sphere or gmsh FILE");
    const std::string shape = args[0];
    FORMULAS.clear();
    Common c;
    Mesh m;
    if (shape == "box") {
        BoxParams s;
        for (const textio::OPTWORD& o : shapeOptions(args, 1, BOXOPTS, shape)) {
            if (commonOption(o, c, output)) continue;
            const std::string opt = "--" + o.name;
            if (o.name == "min") s.lo = toVec3(o.value(), opt);
            else if (o.name == "max") s.hi = toVec3(o.value(), opt);
            else if (o.name == "div") {
                auto d = splitOn(o.value(), ',');
                if (d.size() == 1) s.div.fill(toInt(d[0], opt));
                else if (d.size() == 3)
                    for (int k = 0; k < 3; ++k) s.div[k] = toInt(d[k], opt);
                else throw UsageError("--div: expected N or NX,NY,NZ");
            } else if (o.name == "face") {
                const std::string& name = o.values[0];
                int f = 0;
                while (f < NFACE && name != FACENAME[f]) ++f;
                if (f == NFACE)
                    throw UsageError("--face: unknown face \"" + name + "\" (xmin, xmax, ymin, ymax, zmin, zmax)");
                Condition sp = toCondition(o.values[1], "--face " + name, true, false);
                s.face[f] = FaceParams{sp.bc, sp.na, sp.nb};
            } else s.exterior = o.name == "exterior";
        }
        m = makeBox(s);
    } else if (shape == "sphere") {
        SphereParams s;
        for (const textio::OPTWORD& o : shapeOptions(args, 1, SPHEREOPTS, shape)) {
            if (commonOption(o, c, output)) continue;
            const std::string opt = "--" + o.name;
            if (o.name == "radius") s.r = toReal(o.value(), opt);
            else if (o.name == "centre" || o.name == "center") s.c = toVec3(o.value(), opt);
            else if (o.name == "level") {
                s.level = toInt(o.value(), opt);
                if (s.level < 0 || s.level > MAXLEVEL)
                    throw UsageError("--level: the level must be 0 to " + std::to_string(MAXLEVEL));
            }
            else if (o.name == "bc") s.bc = toCondition(o.value(), opt, false, false).bc;
            else if (o.name == "fit") {
                const std::string& fit = o.value();
                if (fit != "corners" && fit != "area") throw UsageError("--fit: corners or area, not \"" + fit + "\"");
                s.areaFit = fit == "area";
            } else s.exterior = o.name == "exterior";
        }
        m = makeSphere(s);
    } else if (shape == "gmsh") {
        if (args.size() < 2) throw UsageError("gmsh: name the mesh or geometry file");
        const std::string file = args[1];
        if (!file.empty() && file[0] == '-') throw UsageError("gmsh: name the mesh or geometry file before the options");
        std::vector<GroupBC> groups;
        std::optional<GroupBC> rest;
        double scale = 1.0;
        MeshSize size;
        int orient = 0;  // 1 outward, -1 inward
        bool flipAll = false, trust = false;
        double timeout = GMSHWAIT;
        for (const textio::OPTWORD& o : shapeOptions(args, 2, GMSHOPTS, shape)) {
            if (commonOption(o, c, output)) continue;
            const std::string opt = "--" + o.name;
            if (o.name == "group") {
                const std::string& name = o.values[0];
                Condition sp = toCondition(o.values[1], "--group " + name, false, true);
                groups.push_back({name, sp.bc, sp.flip});
            } else if (o.name == "rest") {
                Condition sp = toCondition(o.value(), opt, false, true);
                rest = GroupBC{"", sp.bc, sp.flip};
            } else if (o.name == "scale") {
                scale = toReal(o.value(), opt);
                if (!(scale > 0)) throw UsageError("--scale: the factor must be positive");
            } else if (o.name == "size") {
                size.size = toReal(o.value(), opt);
                if (!(*size.size > 0)) throw UsageError("--size: the element size must be positive");
            } else if (o.name == "size-from-file") {
                size.fromFile = true;
            } else if (o.name == "orient") {
                const std::string& v = o.value();
                if (v == "outward") orient = 1;
                else if (v == "inward") orient = -1;
                else throw UsageError("--orient: expected outward or inward, found \"" + v + "\"");
            } else if (o.name == "timeout") {
                timeout = toReal(o.value(), opt);
                if (!(timeout > 0)) throw UsageError("--timeout: the time must be positive");
            } else if (o.name == "trust-geometry") {
                trust = true;
            } else flipAll = true;
        }
        if (size.size && size.fromFile) throw UsageError("--size and --size-from-file: give one of them");
        // The script's includes are inputs too: none may be overwritten.
        for (const std::string& in : GEOCHK(file, trust))
            if (output != "-") textio::refuseInput(output, in);
        m = readMsh(file, groups, rest, scale, size, timeout);
        if (orient != 0) orientClosed(m, orient > 0);
        if (flipAll)
            for (Element& e : m.el) flip(e);
        if (notes) notes->normals = describeNormals(m, notes->warnings);
    } else {
        throw UsageError("unknown shape \"" + shape + "\": expected box, sphere or gmsh");
    }

    for (int k = 0; k < 3; ++k)
        if (c.split[k]) splitAlong(m, k);
    for (int k = 0; k < 3; ++k)
        if (c.parity[k] != 0) cutSymmetry(m, k, c.side[k], c.parity[k]);
    if (m.el.empty()) throw MeshError("no element is left on the kept side of the symmetry planes");
    applyFormulas(m, FORMULAS);
    m.ip = c.ip;
    if (c.title) {
        m.title = *c.title;
    } else {
        m.title = "telma-mesh";
        for (const std::string& w : args) m.title += " " + w;
    }
    return m;
}

int runTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    for (const std::string& w : args)
        if (w == "--help" || w == "-h") {
            out << HELP;
            return 0;
        } else if (w == "--version") {
            out << "telma-mesh " TELMA_VERSION "\n";
            return 0;
        }
    try {
        std::string output;
        Notes notes;
        Mesh m = buildFromArgs(args, output, &notes);
        for (const std::string& w : notes.warnings) err << "telma-mesh: warning: " << w << '\n';
        // The whole file is made first, so that a refused mesh leaves an
        // existing file alone.
        std::ostringstream text;
        writeDataFile(text, m);
        if (beyondClassic(m)) {
            const double n = static_cast<double>(m.el.size());
            err << "telma-mesh: note: " << m.el.size() << " elements and " << m.ip.size()
                << " internal points are beyond the " << telma::NBEMAX << " and " << telma::NIPMAX
                << " of telma's classic solve: solve it with telma " << telma::SOLADVICE(8.0 * n * n) << "\n";
        }
        if (output == "-") {
            out << text.str();
            out.flush();
            if (!out) throw MeshError("cannot write to standard output");
        } else {
            textio::OutFile os = textio::openUnknown(output);
            os << text.str();
            os.commit("cannot write the data file");
            int ntri = 0;
            for (const Element& e : m.el) ntri += e.npe == 3;
            out << "telma-mesh: wrote " << output << ": " << m.el.size() << " elements (" << ntri
                << " triangles, " << m.el.size() - ntri << " quadrilaterals), " << m.ip.size()
                << " internal points, symmetry " << m.isym[0] << ' ' << m.isym[1] << ' ' << m.isym[2]
                << ", area " << totalArea(m) << notes.normals << '\n';
        }
        return 0;
    } catch (const textio::UsageError& e) {
        err << "telma-mesh: " << e.what() << "\n(telma-mesh --help explains the options)\n";
        return 2;
    } catch (const MeshError& e) {
        err << "telma-mesh: " << e.what() << "\n(telma-mesh --help explains the options)\n";
    } catch (const textio::IoError& e) {
        err << "telma-mesh: " << e.what() << '\n';
    } catch (const std::bad_alloc&) {
        err << "telma-mesh: not enough memory to build the mesh\n";
    } catch (const std::length_error&) {
        err << "telma-mesh: not enough memory to build the mesh\n";
    }
    return 1;
}

}  // namespace tmesh
