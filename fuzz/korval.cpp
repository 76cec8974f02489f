// Fuzz target: the viewer's loaders and one picture.  The input is the data
// file, then, after a line "@@", the report; both are written to the fixed
// names in the current folder.
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <string>

#include "textio/textio.hpp"
#include "viewer/korval.hpp"

// The console is left silent; run it in a scratch folder, since it writes
// the two files and the picture in the current one.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::cout.setstate(std::ios::badbit);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto cut = text.find("\n@@\n");
    std::ofstream("tELMA.in", std::ios::binary | std::ios::trunc) << text.substr(0, cut);
    std::ofstream("TELMA.out", std::ios::binary | std::ios::trunc)
        << (cut == std::string::npos ? std::string() : text.substr(cut + 4));
    korval::ICOL = size > 0 && data[0] & 1;
    korval::IPOT = size > 0 && data[0] & 2;
    korval::Npt = korval::nfa = korval::nfa2 = 0;
    korval::solmin = korval::solmax = 0;
    try {
        korval::RDMESH();
        if (korval::ICOL == 1) korval::RDRES();
        korval::DEFVIEW();
        korval::PICTURE();
    } catch (const textio::IoError&) {
    } catch (const textio::Stop&) {
    }
    return 0;
}
