// Import of surface meshes through Gmsh's library.
#include "tools/msh.hpp"

#include <gmsh.h>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include "textio/textio.hpp"

namespace tmesh {

namespace {

// Gmsh's library for the length of one import, silent on the terminal:
// its errors come back as exceptions holding the message.
class Session {
public:
    Session() {
        gmsh::initialize(0, nullptr, false);
        gmsh::option::setNumber("General.Terminal", 0);
        gmsh::option::setNumber("General.Verbosity", 0);
    }
    ~Session() { gmsh::finalize(); }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
};

struct RawElement {
    std::size_t tag;
    std::vector<std::size_t> nodes;
    std::set<int> phys;  // physical surfaces it belongs to
};

// "tetrahedron" for "Tetrahedron 4": what Gmsh calls an element type.
std::string typeName(int type, int& dim, int& order) {
    std::string name;
    int nn = 0, npn = 0;
    std::vector<double> lc;
    gmsh::model::mesh::getElementProperties(type, name, dim, order, nn, lc, npn);
    name = name.substr(0, name.find(' '));
    for (char& ch : name) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return name;
}

// Meshes a geometry file's surfaces, or checks that a mesh file was not
// given a size.
void meshIfGeometry(const std::string& file, const MeshSize& size) {
    std::vector<int> types;
    std::vector<std::vector<std::size_t>> tags, nodes;
    gmsh::model::mesh::getElements(types, tags, nodes, -1, -1);
    bool hasElements = false;
    for (const auto& t : tags) hasElements = hasElements || !t.empty();
    gmsh::vectorpair surfaces;
    gmsh::model::getEntities(surfaces, 2);
    if (!hasElements && surfaces.empty())
        throw MeshError(file + ": no surface and no mesh in the file (is it empty, or not a file Gmsh reads?)");
    if (hasElements) {
        if (size.size || size.fromFile)
            throw MeshError(file + ": --size and --size-from-file are for geometry files; this file holds a mesh");
        return;
    }
    if (!size.size && !size.fromFile)
        throw MeshError(file + ": a geometry without a mesh: give the element size with --size H, or "
                               "--size-from-file to use the sizes the file sets");
    if (size.size) {
        gmsh::option::setNumber("Mesh.MeshSizeMin", *size.size);
        gmsh::option::setNumber("Mesh.MeshSizeMax", *size.size);
    }
    gmsh::model::mesh::generate(2);
}

// The triangles and quadrilaterals of every surface, each once, with the
// physical surfaces of every entity it was found in.
std::vector<RawElement> elements(const std::string& file) {
    std::vector<int> types;
    std::vector<std::vector<std::size_t>> tags, nodes;
    gmsh::model::mesh::getElements(types, tags, nodes, 3, -1);
    for (std::size_t k = 0; k < types.size(); ++k) {
        if (tags[k].empty()) continue;
        int dim = 0, order = 0;
        throw MeshError(file + ": element " + std::to_string(tags[k][0]) + " is a " + typeName(types[k], dim, order) +
                        " (type " + std::to_string(types[k]) +
                        "): telma needs a surface mesh (mesh with gmsh -2, or put only surfaces in physical groups)");
    }
    std::vector<RawElement> out;
    std::map<std::vector<std::size_t>, std::size_t> seen;  // sorted nodes -> element
    gmsh::vectorpair ents;
    gmsh::model::getEntities(ents, 2);
    for (const auto& [d, ent] : ents) {
        std::vector<int> phys;
        gmsh::model::getPhysicalGroupsForEntity(d, ent, phys);
        gmsh::model::mesh::getElements(types, tags, nodes, d, ent);
        for (std::size_t k = 0; k < types.size(); ++k) {
            int dim = 0, order = 0;
            std::string name = typeName(types[k], dim, order);
            std::size_t nn = types[k] == 2 ? 3 : 4;
            if (types[k] != 2 && types[k] != 3) {
                if (tags[k].empty()) continue;
                std::string what = file + ": element " + std::to_string(tags[k][0]) + " is a " + name + " (type " +
                                   std::to_string(types[k]) + ")";
                if (order > 1) throw MeshError(what + " of second or higher order: use first-order triangles or "
                                                      "quadrilaterals (gmsh -order 1)");
                throw MeshError(what + ": telma takes triangles and quadrilaterals");
            }
            for (std::size_t e = 0; e < tags[k].size(); ++e) {
                std::vector<std::size_t> en(nodes[k].begin() + e * nn, nodes[k].begin() + (e + 1) * nn);
                // An element in several physical surfaces may be listed once
                // for each: take it once, in all of them.
                std::vector<std::size_t> key = en;
                std::sort(key.begin(), key.end());
                auto [it, fresh] = seen.emplace(key, out.size());
                if (fresh) out.push_back(RawElement{tags[k][e], std::move(en), {}});
                RawElement& r = out[it->second];
                r.tag = std::min(r.tag, tags[k][e]);
                r.phys.insert(phys.begin(), phys.end());
            }
        }
    }
    std::sort(out.begin(), out.end(), [](const RawElement& a, const RawElement& b) { return a.tag < b.tag; });
    return out;
}

// What the import takes from Gmsh.
struct Import {
    std::vector<RawElement> raw;
    std::map<int, std::string> names;  // physical surface -> its name ("" when none)
    std::map<std::size_t, Vec3> coords;
};

// The import itself, in the process that runs Gmsh.
Import gmshRead(const std::string& file, const std::string& path, const MeshSize& size) {
    Session session;
    Import im;
    try {
        gmsh::open(path);
        meshIfGeometry(file, size);
        im.raw = elements(file);
        gmsh::vectorpair pg;
        gmsh::model::getPhysicalGroups(pg, 2);
        for (const auto& [d, tag] : pg) gmsh::model::getPhysicalName(d, tag, im.names[tag]);
        std::vector<std::size_t> tags;
        std::vector<double> xyz, uv;
        gmsh::model::mesh::getNodes(tags, xyz, uv, -1, -1, true, false);
        for (std::size_t i = 0; i < tags.size(); ++i) im.coords[tags[i]] = {xyz[3 * i], xyz[3 * i + 1], xyz[3 * i + 2]};
    } catch (const std::string& msg) {
        throw MeshError(file + ": " + msg);
    }
    return im;
}

// The import as bytes through a pipe, and back.
struct Wire {
    std::string bytes;
    std::size_t at = 0;
    template <class T>
    void put(const T& v) { bytes.append(reinterpret_cast<const char*>(&v), sizeof v); }
    void put(const std::string& v) { put(v.size()), bytes += v; }
    template <class T>
    void get(T& v) {
        if (bytes.size() - at < sizeof v) throw MeshError("the answer of the Gmsh process is cut");
        std::memcpy(&v, bytes.data() + at, sizeof v);
        at += sizeof v;
    }
    void get(std::string& v) {
        std::size_t n = 0;
        get(n);
        if (bytes.size() - at < n) throw MeshError("the answer of the Gmsh process is cut");
        v.assign(bytes, at, n);
        at += n;
    }
    void write(const Import& im) {
        put(im.raw.size());
        for (const RawElement& e : im.raw) {
            put(e.tag), put(e.nodes.size());
            for (std::size_t n : e.nodes) put(n);
            put(e.phys.size());
            for (int p : e.phys) put(p);
        }
        put(im.names.size());
        for (const auto& [tag, name] : im.names) put(tag), put(name);
        put(im.coords.size());
        for (const auto& [tag, x] : im.coords) put(tag), put(x);
    }
    Import read() {
        Import im;
        std::size_t n = 0, m = 0;
        for (get(n); n > 0; --n) {
            RawElement e{};
            get(e.tag), get(m);
            if (m > 4) throw MeshError("the answer of the Gmsh process is malformed");
            e.nodes.resize(m);
            for (std::size_t& k : e.nodes) get(k);
            for (get(m); m > 0; --m) {
                int p = 0;
                get(p);
                e.phys.insert(p);
            }
            im.raw.push_back(std::move(e));
        }
        for (get(n); n > 0; --n) {
            int tag = 0;
            get(tag);
            get(im.names[tag]);
        }
        for (get(n); n > 0; --n) {
            std::size_t tag = 0;
            Vec3 x{};
            get(tag), get(x);
            im.coords[tag] = x;
        }
        return im;
    }
};

// gmshRead in a child process, so that a crash or a hang of the library
// becomes a message: its answer comes back through a pipe, a refusal as its
// message (status 1), the mesh as the import's bytes (status 0).
Import isolated(const std::string& file, const std::string& path, const MeshSize& size, double timeout) {
    int fd[2];
    if (::pipe(fd) != 0) throw MeshError(file + ": Gmsh could not be started (" + textio::reason() + ")");
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) throw MeshError(file + ": Gmsh could not be started (" + textio::reason() + ")");
    if (pid == 0) {
        ::close(fd[0]);
        Wire w;
        char status = 0;
        try {
            w.write(gmshRead(file, path, size));
        } catch (const std::exception& e) {
            status = 1;
            w.bytes = e.what();
        }
        w.bytes.insert(w.bytes.begin(), status);
        for (std::size_t k = 0; k < w.bytes.size();) {
            const ssize_t n = ::write(fd[1], w.bytes.data() + k, w.bytes.size() - k);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) ::_exit(3);
            k += static_cast<std::size_t>(n);
        }
        ::_exit(0);
    }
    ::close(fd[1]);
    Wire w;
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeout);
    bool late = false;
    for (char buf[1 << 16];;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        pollfd p{fd[0], POLLIN, 0};
        const int r = left.count() > 0 ? ::poll(&p, 1, static_cast<int>(std::min<long long>(left.count(), 1 << 30))) : 0;
        if (r < 0 && errno == EINTR) continue;
        if (r == 0) {
            late = true;
            ::kill(pid, SIGKILL);
            break;
        }
        const ssize_t n = ::read(fd[0], buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        w.bytes.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd[0]);
    int st = 0;
    while (::waitpid(pid, &st, 0) < 0 && errno == EINTR) {
    }
    const std::string failed = file + ": Gmsh could not read it (";
    if (late) {
        std::ostringstream t;
        t << timeout;
        throw MeshError(failed + "no answer after " + t.str() + " s; --timeout gives it longer)");
    }
    if (WIFSIGNALED(st)) throw MeshError(failed + "the library ended on signal " + std::to_string(WTERMSIG(st)) + ", " + ::strsignal(WTERMSIG(st)) + ")");
    if (!WIFEXITED(st) || WEXITSTATUS(st) != 0 || w.bytes.empty())
        throw MeshError(failed + "its process ended with status " + std::to_string(WIFEXITED(st) ? WEXITSTATUS(st) : -1) + ")");
    if (w.bytes[0] != 0) throw MeshError(w.bytes.substr(1));
    w.at = 1;
    return w.read();
}

}  // namespace

Mesh readMsh(const std::string& file, const std::vector<GroupBC>& groups, const std::optional<GroupBC>& rest,
             double scale, const MeshSize& size, double timeout) {
    // Gmsh takes a missing file for an empty model; say so instead.
    const std::string path = textio::resolveExisting(file);
    textio::openOld(path);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        throw MeshError(file + ": is not a regular file; only files are read as meshes");
    Import im = isolated(file, path, size, timeout);
    std::vector<RawElement>& raw = im.raw;
    std::map<int, std::string>& names = im.names;
    std::map<std::size_t, Vec3>& coords = im.coords;
    if (raw.empty()) throw MeshError(file + ": no triangles or quadrilaterals in the file");

    auto groupText = [&](int tag) {
        auto it = names.find(tag);
        return it == names.end() || it->second.empty() ? std::to_string(tag)
                                                       : std::to_string(tag) + " \"" + it->second + "\"";
    };
    std::map<int, std::size_t> given;  // physical tag -> index in groups
    for (std::size_t g = 0; g < groups.size(); ++g) {
        std::vector<int> match;
        for (const auto& [tag, name] : names)
            if ((!name.empty() && name == groups[g].name) || std::to_string(tag) == groups[g].name)
                match.push_back(tag);
        if (match.empty()) {
            std::string have;
            for (const auto& [tag, name] : names) have += (have.empty() ? "" : ", ") + groupText(tag);
            throw MeshError(file + ": no physical surface \"" + groups[g].name + "\" in the file (" +
                            (have.empty() ? std::string("it has none") : "it has " + have) + ")");
        }
        for (int tag : match)
            if (!given.emplace(tag, g).second)
                throw MeshError("physical surface " + groupText(tag) + " is given a condition twice");
    }

    Mesh m;
    for (const RawElement& e : raw) {
        const std::string where = file + ": element " + std::to_string(e.tag);
        std::set<std::size_t> hit;
        for (int p : e.phys) {
            auto it = given.find(p);
            if (it != given.end()) hit.insert(it->second);
        }
        const GroupBC* gb = nullptr;
        if (hit.size() > 1) {
            throw MeshError(where + " is in physical surfaces \"" + groups[*hit.begin()].name + "\" and \"" +
                            groups[*std::next(hit.begin())].name + "\", both given a condition");
        } else if (hit.size() == 1) {
            gb = &groups[*hit.begin()];
        } else if (rest) {
            gb = &*rest;
        } else if (!e.phys.empty()) {
            throw MeshError(file + ": physical surface " + groupText(*e.phys.begin()) +
                            " has no boundary condition (give it one with --group, or use --rest)");
        } else {
            throw MeshError(where + " is in no physical surface (give the others a condition with --rest)");
        }
        Element el;
        el.npe = int(e.nodes.size());
        el.bc = gb->bc;
        for (int j = 0; j < el.npe; ++j) {
            const Vec3& x = coords.at(e.nodes[j]);  // Gmsh refuses a file with an undefined node
            for (int k = 0; k < 3; ++k) el.x[j][k] = x[k] * scale;
        }
        if (gb->flip) flip(el);
        m.el.push_back(el);
    }
    return m;
}

}  // namespace tmesh
