// File names resolved without regard to letter case, so that "tELMA.in" finds
// the TELMA.IN that the user wrote.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "textio/textio.hpp"

namespace textio {

namespace fs = std::filesystem;

namespace {

bool sameIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// The first entry (in name order) of the file's directory whose name matches
// its last component without regard to case; empty when there is none.
std::string caseMatch(const std::string& name) {
    const fs::path p(name);
    const fs::path dir = p.has_parent_path() ? p.parent_path() : fs::path(".");
    const std::string base = p.filename().string();
    std::error_code ec;
    std::vector<std::string> found;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string n = it->path().filename().string();
        if (sameIgnoringCase(n, base) && !it->is_directory(ec)) found.push_back(n);
    }
    if (found.empty()) return {};
    std::sort(found.begin(), found.end());
    return p.has_parent_path() ? (p.parent_path() / found.front()).string() : found.front();
}

}  // namespace

std::string resolveExisting(const std::string& name) {
    std::error_code ec;
    if (fs::is_regular_file(name, ec)) return name;
    const std::string m = caseMatch(name);
    return m.empty() ? name : m;
}

std::ifstream openOld(const std::string& name) {
    const std::string path = resolveExisting(name);
    // A folder opens as a stream that ends at once: say what it is instead.
    std::error_code ec;
    if (fs::is_directory(path, ec)) throw IoError(name + ": is a folder, not a file");
    std::ifstream in(path, std::ios::binary);
    if (!in) throw IoError(name + ": cannot open the file for reading (it must exist)");
    return in;
}

std::ofstream openUnknown(const std::string& name) {
    const std::string path = resolveExisting(name);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) throw IoError(name + ": cannot create the file for writing");
    return out;
}

void refuseInput(const std::string& out, const std::string& in) {
    std::error_code ec;
    if (fs::equivalent(resolveExisting(out), resolveExisting(in), ec))
        throw IoError(out + ": is the input file " + in + "; writing it would destroy the input");
}

}  // namespace textio
