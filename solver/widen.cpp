// Report fields of runs beyond the classic bounds.
#include <string>

#include "solver/telma.hpp"

namespace telma {

std::string WIDEN(std::string_view FMT, std::span<const long long> V) {
    std::string out(FMT);
    if (NBE <= NBEMAX && NIP <= NIPMAX) return out;
    auto digits = [](long long v) {
        int n = v < 0 ? 2 : 1;
        for (v = v < 0 ? -v : v; v >= 10; v /= 10) ++n;
        return n;
    };
    auto next = V.begin();
    bool quoted = false;
    for (std::size_t k = 0; k < out.size() && next != V.end(); ++k) {
        const char c = out[k];
        if (c == '\'') quoted = !quoted;  // a doubled quote toggles twice
        if (quoted || (c != 'I' && c != 'i') || k == 0 || (out[k - 1] != ',' && out[k - 1] != '('))
            continue;
        std::size_t e = k + 1;
        while (e < out.size() && out[e] >= '0' && out[e] <= '9') ++e;
        if (e == k + 1) continue;
        const int w = std::stoi(out.substr(k + 1, e - k - 1)), need = digits(*next++);
        if (need > w) out.replace(k + 1, e - k - 1, std::to_string(need));
    }
    return out;
}

}  // namespace telma
