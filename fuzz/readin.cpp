// Fuzz target: the problem data file through READIN and the element checks.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/problem.hpp"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    silence();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // READIN sets every count and table entry that the checks read; clearing
    // the whole storage (the matrix too) each run would be most of the time.
    try {
        readProblem(std::string(reinterpret_cast<const char*>(data), size));
        telma::ELCHK();
    } catch (const textio::IoError&) {
    } catch (const textio::Stop&) {
    }
    return 0;
}
