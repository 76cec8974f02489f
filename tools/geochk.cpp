// The commands of geometry scripts that reach beyond the geometry: a script
// from someone else is read, not run.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string_view>

#include "textio/textio.hpp"
#include "tools/msh.hpp"

namespace tmesh {

namespace {

namespace fs = std::filesystem;

// Words of the script language that run programs, write or remove files, or
// end the program that reads the script; what each does, for the message.
const struct {
    std::string_view word, does;
} FORBIDDEN[] = {
    {"System", "runs a program"}, {"SystemCall", "runs a program"}, {"NonBlockingSystemCall", "runs a program"},
    {"OnelabRun", "runs a program"}, {"Save", "writes a file"}, {"Print", "writes a file"},
    {"CreateDir", "makes a folder"}, {"DeleteFile", "removes a file"}, {"RenameFile", "renames a file"},
    {"Exit", "ends the program"}, {"Abort", "ends the program"}, {"Plugin", "runs a plugin"},
};
// Options whose values name files the reader writes, or programs it runs.
constexpr std::string_view FORBIDDEN_OPTIONS[] = {"FileName", "SaveOptions", "SaveSession", "Executable"};

// Commands that read another file, and whether that file is a script.
const struct {
    std::string_view word;
    bool script;
} READS[] = {{"Include", true}, {"Merge", false}, {"MergeWithBoundingBox", false}, {"ShapeFromFile", false}};

// File endings that Gmsh reads as meshes or CAD shapes, not as scripts.
constexpr std::string_view NOT_SCRIPTS[] = {
    ".msh", ".step", ".stp", ".brep", ".brp", ".iges", ".igs", ".stl", ".unv", ".vtk", ".med", ".mesh",
    ".bdf", ".nas", ".inp", ".off", ".ply", ".ply2", ".obj", ".x3d", ".xao", ".p3d", ".diff", ".mail", ".pos",
};

bool isScript(const std::string& path) {
    std::string ext = fs::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return std::find(std::begin(NOT_SCRIPTS), std::end(NOT_SCRIPTS), ext) == std::end(NOT_SCRIPTS);
}

// A script as tokens: words, strings (their text) and single characters,
// comments dropped, each with its line.
struct Token {
    enum Kind { Word, String, Char } kind;
    std::string text;
    int line;
};

std::vector<Token> tokens(const std::string& s) {
    std::vector<Token> out;
    int line = 1;
    for (std::size_t k = 0; k < s.size();) {
        const char c = s[k];
        if (c == '\n') {
            ++line, ++k;
        } else if (std::isspace(static_cast<unsigned char>(c))) {
            ++k;
        } else if (s.compare(k, 2, "//") == 0) {
            k = s.find('\n', k);
            if (k == std::string::npos) k = s.size();
        } else if (s.compare(k, 2, "/*") == 0) {
            const std::size_t e = s.find("*/", k + 2);
            const std::size_t end = e == std::string::npos ? s.size() : e + 2;
            line += static_cast<int>(std::count(s.begin() + static_cast<long>(k), s.begin() + static_cast<long>(end), '\n'));
            k = end;
        } else if (c == '"') {
            Token t{Token::String, "", line};
            for (++k; k < s.size() && s[k] != '"'; ++k) {
                if (s[k] == '\\' && k + 1 < s.size()) ++k;
                if (s[k] == '\n') ++line;
                t.text += s[k];
            }
            ++k;
            out.push_back(std::move(t));
        } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
            Token t{Token::Word, "", line};
            while (k < s.size() && (std::isalnum(static_cast<unsigned char>(s[k])) || s[k] == '_' || s[k] == '.'))
                t.text += s[k++];
            out.push_back(std::move(t));
        } else {
            out.push_back({Token::Char, std::string(1, c), line});
            ++k;
        }
    }
    return out;
}

class Checker {
public:
    explicit Checker(bool trust) : trust_(trust) {}
    std::vector<std::string> inputs;

    void check(const std::string& name, const std::string& path) {
        std::error_code ec;
        const fs::path canon = fs::weakly_canonical(path, ec);
        if (!seen_.insert(canon.string()).second) return;  // a script that includes itself
        inputs.push_back(path);
        if (!isScript(path)) return;
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        const std::vector<Token> t = tokens(text.str());
        for (std::size_t k = 0; k < t.size(); ++k) {
            if (t[k].kind != Token::Word) continue;
            const std::string& w = t[k].text;
            const std::string where = name + ":" + std::to_string(t[k].line) + ": ";
            if (!trust_) {
                for (const auto& f : FORBIDDEN)
                    if (w == f.word) refuse(where, w, f.does);
                for (std::string_view o : FORBIDDEN_OPTIONS)
                    if (w.find('.') != std::string::npos && w.find(o) != std::string::npos)
                        refuse(where, w, "names a file to write or a program to run");
                // Printf writes to the terminal, or with > or >> after it to a file.
                if (w == "Printf") {
                    std::size_t e = k + 1;
                    for (int depth = 0; e < t.size(); ++e) {
                        if (t[e].kind == Token::Char && t[e].text == "(") ++depth;
                        if (t[e].kind == Token::Char && t[e].text == ")" && --depth == 0) break;
                    }
                    if (e + 1 < t.size() && t[e + 1].kind == Token::Char && t[e + 1].text == ">")
                        refuse(where, "Printf > file", "writes a file");
                }
            }
            for (const auto& r : READS) {
                if (w != r.word) continue;
                std::size_t e = k + 1;
                if (e < t.size() && t[e].kind == Token::Char && t[e].text == "(") ++e;
                if (e >= t.size() || t[e].kind != Token::String) {
                    if (trust_) continue;
                    throw MeshError(where + w + " with a name that is computed: only a quoted name can be checked");
                }
                const fs::path p = fs::path(t[e].text).is_absolute() ? fs::path(t[e].text)
                                                                     : fs::path(path).parent_path() / t[e].text;
                const std::string found = textio::resolveExisting(p.string());
                if (r.script || isScript(found)) {
                    if (!fs::is_regular_file(found, ec))
                        throw MeshError(where + w + " \"" + t[e].text + "\": no such file");
                    check(found, found);
                } else {
                    inputs.push_back(found);
                }
            }
        }
    }

private:
    [[noreturn]] void refuse(const std::string& where, const std::string& w, std::string_view does) {
        throw MeshError(where + w + " " + std::string(does) +
                        ": a geometry file is read, not run (remove the command, or give --trust-geometry "
                        "if you trust the file)");
    }
    bool trust_;
    std::set<std::string> seen_;
};

}  // namespace

std::vector<std::string> GEOCHK(const std::string& file, bool trust) {
    Checker c(trust);
    const std::string path = textio::resolveExisting(file);
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return {path};  // readMsh says what it is
    c.check(file, path);
    return c.inputs;
}

}  // namespace tmesh
