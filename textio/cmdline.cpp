// Command lines: options first, then the words the classic programs read.
#include <string>

#include "textio/textio.hpp"

namespace textio {

bool isOption(std::string_view word) { return word.size() > 2 && word.substr(0, 2) == "--"; }

std::vector<char*> wordsAfterOptions(int argc, char** argv, int k, std::string_view them) {
    const bool ended = k < argc && std::string_view(argv[k]) == "--";
    std::vector<char*> words{argv[0]};
    for (k += ended; k < argc; ++k) {
        if (!ended && isOption(argv[k]))
            throw UsageError("options come before " + std::string(them) + ": \"" + argv[k] + "\"");
        words.push_back(argv[k]);
    }
    return words;
}

}  // namespace textio
