// Fuzz target: the problem data file through READIN and the element checks.
#include <cstddef>
#include <cstdint>
#include <iostream>
#include <sstream>
#include <string>

#include "solver/telma.hpp"

// The console is left silent.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::cout.setstate(std::ios::badbit);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::istringstream file(std::string(reinterpret_cast<const char*>(data), size));
    std::ostringstream report;
    textio::OutUnit rep(report);
    // READIN sets every count and table entry that the checks read; clearing
    // the whole storage (the matrix too) each run would be most of the time.
    try {
        textio::Reader in(file, "TELMA.IN");
        telma::READIN(in, rep);
        telma::ELCHK();
    } catch (const textio::IoError&) {
    } catch (const textio::Stop&) {
    }
    return 0;
}
