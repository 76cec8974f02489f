// Fuzz target: the free-format number reader, whole input and field lengths.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "QVLIB/STARREAD/starread.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view s(reinterpret_cast<const char*>(data), size);
    const int n = static_cast<int>(size);
    int i = 0;
    float r = 0;
    for (int N : {n, 15, 0}) {
        qvlib::RDSINT(s, N, i);
        qvlib::RDFIX(s, N, r);
        qvlib::RDREAL(s, N, r);
    }
    return 0;
}
