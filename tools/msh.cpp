// Import of Gmsh .msh files (ASCII 2.2 and 4.1).
#include "tools/msh.hpp"

#include <algorithm>
#include <charconv>
#include <istream>
#include <map>
#include <set>
#include <sstream>
#include <unordered_map>

namespace tmesh {

namespace {

// What an element type is to the importer.
enum class Kind { Tri, Quad, Skip, Volume, HighOrder, Unknown };

Kind kindOf(int type) {
    switch (type) {
        case 2: return Kind::Tri;
        case 3: return Kind::Quad;
        case 1: case 8: case 15: case 26: case 27: case 28: return Kind::Skip;
        case 4: case 5: case 6: case 7: case 11: case 12: case 13: case 14: case 17: case 18:
        case 19: case 29: case 30: case 31: case 92: case 93: return Kind::Volume;
        case 9: case 10: case 16: case 20: case 21: case 22: case 23: case 24: case 25:
            return Kind::HighOrder;
        default: return Kind::Unknown;
    }
}

const char* volumeName(int type) {
    switch (type) {
        case 4: case 11: case 29: case 30: case 31: return "tetrahedron";
        case 5: case 12: case 17: case 92: case 93: return "hexahedron";
        case 6: case 13: case 18: return "prism";
        default: return "pyramid";
    }
}

// Line-by-line reading with the line number for messages.
class Lines {
public:
    Lines(std::istream& in, std::string file) : in_(in), file_(std::move(file)) {}

    // Next non-empty line split into blank-separated words; false at end of file.
    bool next(std::vector<std::string>& words) {
        std::string line;
        while (std::getline(in_, line)) {
            ++lineno_;
            if (!line.empty() && line.back() == '\r') line.pop_back();
            raw_ = line;
            words.clear();
            std::istringstream ss(line);
            for (std::string w; ss >> w;) words.push_back(w);
            if (!words.empty()) return true;
        }
        return false;
    }
    // Next line, which must exist (inside a section).
    void need(std::vector<std::string>& words, const std::string& section) {
        if (!next(words)) fail("unexpected end of file in section $" + section);
    }
    const std::string& raw() const { return raw_; }

    [[noreturn]] void fail(const std::string& msg) const {
        throw MeshError(file_ + ":" + std::to_string(lineno_) + ": " + msg);
    }
    long long integer(const std::string& w, const std::string& what) const {
        long long v = 0;
        auto res = std::from_chars(w.data(), w.data() + w.size(), v);
        if (res.ec != std::errc() || res.ptr != w.data() + w.size())
            fail("expected an integer (" + what + "), found \"" + w + "\"");
        return v;
    }
    double real(const std::string& w, const std::string& what) const {
        double v = 0;
        auto res = std::from_chars(w.data(), w.data() + w.size(), v);
        if (res.ec != std::errc() || res.ptr != w.data() + w.size())
            fail("expected a number (" + what + "), found \"" + w + "\"");
        return v;
    }
    // The line must hold at least n words.
    void needWords(const std::vector<std::string>& w, std::size_t n, const std::string& what) const {
        if (w.size() < n) fail("expected " + std::to_string(n) + " values (" + what + "), found " +
                               std::to_string(w.size()));
    }
    int line() const { return lineno_; }

private:
    std::istream& in_;
    std::string file_;
    int lineno_ = 0;
    std::string raw_;
};

struct RawElement {
    long long tag;
    int line;
    std::vector<long long> nodes;
    std::set<long long> phys;  // physical surfaces it belongs to
};

struct Reading {
    bool haveFormat = false;
    int major = 0;
    std::map<long long, std::string> names;                  // 2-D physical names
    std::map<long long, std::vector<long long>> surfPhys;    // 4.1: surface entity -> physicals
    std::unordered_map<long long, Vec3> nodes;
    std::vector<RawElement> elems;
    std::map<std::vector<long long>, std::size_t> seen;      // sorted nodes -> element
};

void skipSection(Lines& L, const std::string& name) {
    std::vector<std::string> w;
    for (;;) {
        L.need(w, name);
        if (w[0] == "$End" + name) return;
    }
}

void endSection(Lines& L, const std::string& name) {
    std::vector<std::string> w;
    L.need(w, name);
    if (w[0] != "$End" + name) L.fail("expected $End" + name + ", found \"" + w[0] + "\"");
}

void readFormat(Lines& L, Reading& r) {
    std::vector<std::string> w;
    L.need(w, "MeshFormat");
    L.needWords(w, 3, "version, file type, data size");
    const std::string& v = w[0];
    if (L.integer(w[1], "file type") != 0)
        L.fail("binary .msh files are not supported; write the mesh as ASCII (gmsh -format msh41 or msh22, without -bin)");
    if (v == "4.1") r.major = 4;
    else if (v.rfind("2.", 0) == 0) r.major = 2;
    else L.fail(".msh version " + v + " is not supported; write the mesh with gmsh -format msh41 or msh22");
    r.haveFormat = true;
    endSection(L, "MeshFormat");
}

void readNames(Lines& L, Reading& r) {
    std::vector<std::string> w;
    L.need(w, "PhysicalNames");
    long long n = L.integer(w[0], "number of physical names");
    for (long long i = 0; i < n; ++i) {
        L.need(w, "PhysicalNames");
        L.needWords(w, 3, "dimension, tag, name");
        long long dim = L.integer(w[0], "dimension of a physical group");
        long long tag = L.integer(w[1], "tag of a physical group");
        const std::string& raw = L.raw();
        auto q1 = raw.find('"');
        auto q2 = raw.rfind('"');
        if (q1 == std::string::npos || q2 == q1) L.fail("expected a quoted physical name");
        if (dim == 2) r.names[tag] = raw.substr(q1 + 1, q2 - q1 - 1);
    }
    endSection(L, "PhysicalNames");
}

void readEntities(Lines& L, Reading& r) {
    std::vector<std::string> w;
    L.need(w, "Entities");
    L.needWords(w, 4, "numbers of points, curves, surfaces, volumes");
    long long count[4];
    for (int d = 0; d < 4; ++d) count[d] = L.integer(w[d], "number of entities");
    for (int d = 0; d < 4; ++d)
        for (long long i = 0; i < count[d]; ++i) {
            L.need(w, "Entities");
            std::size_t at = d == 0 ? 4 : 7;  // number of physical tags follows the box
            L.needWords(w, at + 1, "entity record");
            long long tag = L.integer(w[0], "entity tag");
            long long np = L.integer(w[at], "number of physical tags");
            L.needWords(w, at + 1 + std::size_t(std::max(0LL, np)), "physical tags");
            if (d == 2) {
                auto& list = r.surfPhys[tag];
                for (long long k = 0; k < np; ++k) list.push_back(L.integer(w[at + 1 + k], "physical tag"));
            }
        }
    endSection(L, "Entities");
}

void addNode(Lines& L, Reading& r, long long tag, const std::vector<std::string>& w) {
    L.needWords(w, 3, "x, y, z of node " + std::to_string(tag));
    Vec3 p{L.real(w[0], "x"), L.real(w[1], "y"), L.real(w[2], "z")};
    if (!r.nodes.emplace(tag, p).second) L.fail("node " + std::to_string(tag) + " is defined twice");
}

void readNodes(Lines& L, Reading& r) {
    std::vector<std::string> w;
    L.need(w, "Nodes");
    if (r.major == 2) {
        long long n = L.integer(w[0], "number of nodes");
        for (long long i = 0; i < n; ++i) {
            L.need(w, "Nodes");
            L.needWords(w, 4, "node tag, x, y, z");
            long long tag = L.integer(w[0], "node tag");
            addNode(L, r, tag, std::vector<std::string>(w.begin() + 1, w.end()));
        }
    } else {
        L.needWords(w, 4, "numbers of blocks and nodes, smallest and largest tag");
        long long blocks = L.integer(w[0], "number of node blocks");
        for (long long b = 0; b < blocks; ++b) {
            L.need(w, "Nodes");
            L.needWords(w, 4, "entity dimension, entity tag, parametric, number of nodes");
            long long n = L.integer(w[3], "number of nodes in the block");
            std::vector<long long> tags;
            for (long long i = 0; i < n; ++i) {
                L.need(w, "Nodes");
                tags.push_back(L.integer(w[0], "node tag"));
            }
            for (long long i = 0; i < n; ++i) {
                L.need(w, "Nodes");
                addNode(L, r, tags[i], w);  // parametric coordinates after x, y, z are passed over
            }
        }
    }
    endSection(L, "Nodes");
}

void addElement(Lines& L, Reading& r, long long tag, int type, std::vector<long long> nodes,
                const std::vector<long long>& phys) {
    Kind k = kindOf(type);
    if (k == Kind::Skip) return;
    if (k == Kind::Volume)
        L.fail("element " + std::to_string(tag) + " is a " + volumeName(type) + " (type " + std::to_string(type) +
               "): telma needs a surface mesh (mesh with gmsh -2, or put only surfaces in physical groups)");
    if (k == Kind::HighOrder)
        L.fail("element " + std::to_string(tag) + " is of second or higher order (type " + std::to_string(type) +
               "): use first-order triangles or quadrilaterals (gmsh -order 1)");
    if (k == Kind::Unknown) L.fail("element " + std::to_string(tag) + " has unknown type " + std::to_string(type));
    std::size_t want = k == Kind::Tri ? 3 : 4;
    if (nodes.size() != want)
        L.fail("element " + std::to_string(tag) + " needs " + std::to_string(want) + " nodes, found " +
               std::to_string(nodes.size()));
    // An element in several physical groups is written once per group by the
    // 2.2 writer: merge the copies.
    std::vector<long long> key = nodes;
    std::sort(key.begin(), key.end());
    auto [it, fresh] = r.seen.emplace(key, r.elems.size());
    if (fresh) r.elems.push_back(RawElement{tag, L.line(), std::move(nodes), {}});
    for (long long p : phys)
        if (p != 0) r.elems[it->second].phys.insert(p);
}

void readElements(Lines& L, Reading& r) {
    std::vector<std::string> w;
    L.need(w, "Elements");
    if (r.major == 2) {
        long long n = L.integer(w[0], "number of elements");
        for (long long i = 0; i < n; ++i) {
            L.need(w, "Elements");
            L.needWords(w, 3, "element tag, type, number of tags");
            long long tag = L.integer(w[0], "element tag");
            int type = int(L.integer(w[1], "element type"));
            long long nt = L.integer(w[2], "number of tags");
            if (nt < 0) L.fail("negative number of tags");
            L.needWords(w, 3 + std::size_t(nt), "element tags");
            std::vector<long long> phys;
            if (nt >= 1) phys.push_back(L.integer(w[3], "physical tag"));
            std::vector<long long> nodes;
            for (std::size_t k = 3 + std::size_t(nt); k < w.size(); ++k) nodes.push_back(L.integer(w[k], "node tag"));
            addElement(L, r, tag, type, std::move(nodes), phys);
        }
    } else {
        L.needWords(w, 4, "numbers of blocks and elements, smallest and largest tag");
        long long blocks = L.integer(w[0], "number of element blocks");
        for (long long b = 0; b < blocks; ++b) {
            L.need(w, "Elements");
            L.needWords(w, 4, "entity dimension, entity tag, element type, number of elements");
            long long dim = L.integer(w[0], "entity dimension");
            long long ent = L.integer(w[1], "entity tag");
            int type = int(L.integer(w[2], "element type"));
            long long n = L.integer(w[3], "number of elements in the block");
            std::vector<long long> phys;
            if (dim == 2) {
                auto it = r.surfPhys.find(ent);
                if (it != r.surfPhys.end()) phys = it->second;
            }
            for (long long i = 0; i < n; ++i) {
                L.need(w, "Elements");
                long long tag = L.integer(w[0], "element tag");
                std::vector<long long> nodes;
                for (std::size_t k = 1; k < w.size(); ++k) nodes.push_back(L.integer(w[k], "node tag"));
                addElement(L, r, tag, type, std::move(nodes), phys);
            }
        }
    }
    endSection(L, "Elements");
}

std::string groupText(const Reading& r, long long tag) {
    auto it = r.names.find(tag);
    return it == r.names.end() ? std::to_string(tag) : std::to_string(tag) + " \"" + it->second + "\"";
}

}  // namespace

Mesh readMsh(std::istream& in, const std::string& file, const std::vector<GroupBC>& groups,
             const std::optional<GroupBC>& rest, double scale) {
    Lines L(in, file);
    Reading r;
    std::vector<std::string> w;
    bool any = false;
    while (L.next(w)) {
        any = true;
        const std::string& h = w[0];
        if (h.empty() || h[0] != '$') L.fail("expected a section header such as $Nodes, found \"" + h + "\"");
        std::string name = h.substr(1);
        if (!r.haveFormat && name != "MeshFormat") L.fail("not a .msh file: it must begin with $MeshFormat");
        if (name == "MeshFormat") readFormat(L, r);
        else if (name == "PhysicalNames") readNames(L, r);
        else if (name == "Entities" && r.major == 4) readEntities(L, r);
        else if (name == "Nodes") readNodes(L, r);
        else if (name == "Elements") readElements(L, r);
        else if (name == "PartitionedEntities") L.fail("partitioned meshes are not supported");
        else skipSection(L, name);
    }
    if (!any) throw MeshError(file + ": the file is empty");
    if (r.elems.empty()) throw MeshError(file + ": no triangles or quadrilaterals in the file");

    // Physical surfaces the file knows, by number.
    std::set<long long> known;
    for (const auto& [tag, name] : r.names) known.insert(tag);
    for (const RawElement& e : r.elems) known.insert(e.phys.begin(), e.phys.end());
    std::map<long long, std::size_t> given;  // physical tag -> index in groups
    for (std::size_t g = 0; g < groups.size(); ++g) {
        std::vector<long long> match;
        for (long long tag : known) {
            auto it = r.names.find(tag);
            if ((it != r.names.end() && it->second == groups[g].name) || std::to_string(tag) == groups[g].name)
                match.push_back(tag);
        }
        if (match.empty()) {
            std::string have;
            for (long long tag : known) have += (have.empty() ? "" : ", ") + groupText(r, tag);
            throw MeshError(file + ": no physical surface \"" + groups[g].name + "\" in the file (" +
                            (have.empty() ? std::string("it has none") : "it has " + have) + ")");
        }
        for (long long tag : match)
            if (!given.emplace(tag, g).second)
                throw MeshError("physical surface " + groupText(r, tag) + " is given a condition twice");
    }

    // "file:line: element N", the start of a message about one element.
    auto where = [&](const RawElement& e) {
        return file + ":" + std::to_string(e.line) + ": element " + std::to_string(e.tag);
    };
    Mesh m;
    for (const RawElement& e : r.elems) {
        std::set<std::size_t> hit;
        for (long long p : e.phys) {
            auto it = given.find(p);
            if (it != given.end()) hit.insert(it->second);
        }
        const GroupBC* gb = nullptr;
        if (hit.size() > 1) {
            throw MeshError(where(e) + " is in physical surfaces \"" + groups[*hit.begin()].name + "\" and \"" +
                            groups[*std::next(hit.begin())].name + "\", both given a condition");
        } else if (hit.size() == 1) {
            gb = &groups[*hit.begin()];
        } else if (rest) {
            gb = &*rest;
        } else if (!e.phys.empty()) {
            throw MeshError(file + ": physical surface " + groupText(r, *e.phys.begin()) +
                            " has no boundary condition (give it one with --group, or use --rest)");
        } else {
            throw MeshError(where(e) + " is in no physical surface (give the others a condition with --rest)");
        }
        Element el;
        el.npe = int(e.nodes.size());
        el.bc = gb->bc;
        for (int j = 0; j < el.npe; ++j) {
            auto it = r.nodes.find(e.nodes[j]);
            if (it == r.nodes.end())
                throw MeshError(where(e) + " refers to node " + std::to_string(e.nodes[j]) +
                                ", which is not defined");
            for (int k = 0; k < 3; ++k) el.x[j][k] = it->second[k] * scale;
        }
        if (gb->flip) flip(el);
        m.el.push_back(el);
    }
    return m;
}

}  // namespace tmesh
