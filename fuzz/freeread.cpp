// Fuzz target: free-form list reading, statement by statement, and the
// single-value parsers.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "textio/textio.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    int i = 0;
    double d = 0;
    float f = 0;
    textio::parseInt(text, i);
    textio::parseReal(text, d);
    textio::parseReal(text, f);
    std::istringstream file(text);
    textio::Reader in(file, "fuzz");
    try {
        // The first byte picks the kinds of the values read, two bits each.
        const unsigned kinds = size > 0 ? data[0] : 0;
        for (int s = 0; s < 64; ++s) {
            in.begin();
            for (int k = 0; k < 4; ++k) {
                const unsigned kind = (kinds >> (2 * k)) & 3;
                if (kind == 0) in.read(i, "i");
                else if (kind == 1) in.read(d, "d");
                else if (kind == 2) in.read(f, "f");
                else in.readA(8);
            }
            in.end();
        }
    } catch (const textio::IoError&) {
    }
    return 0;
}
