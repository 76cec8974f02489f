// Fuzz target: a media file through MEDRD and the MEDIA block, for a problem
// of three elements with the codes -1, 0 and 2.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "fuzz/problem.hpp"
#include "solver/media.hpp"

namespace {

const char* const PROBLEM =
    "three squares\n3 0 0 0 0\n"
    "4 0 0 0 1 0 0 1 1 0 0 1 0\n4 0 0 1 1 0 1 1 1 1 0 1 1\n4 0 0 2 1 0 2 1 1 2 0 1 2\n"
    "-1 1\n0 0\n2 0\n";

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    silence();
    readProblem(PROBLEM);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::istringstream file(std::string(reinterpret_cast<const char*>(data), size));
    std::ostringstream report;
    textio::OutUnit rep(report);
    try {
        telma::MEDRD(file, "m.txt", 1.0);
        telma::MEDREP(rep);
    } catch (const textio::IoError&) {
    }
    return 0;
}
