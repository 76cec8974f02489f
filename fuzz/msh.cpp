// Fuzz target: the Gmsh import, every group mapped.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <sstream>
#include <string>

#include "textio/textio.hpp"
#include "tools/msh.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    try {
        tmesh::readMsh(in, "fuzz.msh", {}, tmesh::GroupBC{"", {0, 1.0}, false}, 1.0);
    } catch (const tmesh::MeshError&) {
    } catch (const textio::IoError&) {
    }
    return 0;
}
