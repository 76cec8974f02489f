// Command lines: options first, by the C library's getopt_long, then the
// words the classic programs read.
#include <getopt.h>

#include <string>

#include "textio/textio.hpp"

namespace textio {

std::vector<OPTWORD> READOPTS(int argc, char** argv, int& k, std::span<const OPTSPEC> specs, bool& ended) {
    std::vector<option> table;
    std::string letters = "+:";  // stop at the first word that is no option; say a missing value
    bool anyLetter = false;
    std::vector<std::string> names;  // the table's names live as long as the table
    names.reserve(specs.size());
    for (std::size_t i = 0; i < specs.size(); ++i) {
        names.emplace_back(specs[i].name);
        const int arg = specs[i].form ? required_argument : no_argument;
        table.push_back({names.back().c_str(), arg, nullptr, 256 + static_cast<int>(i)});
        if (specs[i].letter) {
            letters += specs[i].letter;
            if (arg == required_argument) letters += ':';
            anyLetter = true;
        }
    }
    table.push_back({nullptr, 0, nullptr, 0});

    // getopt_long sees ARGV(K-1..) with ARGV(K-1) as the program name; its
    // state is global, and optind = 0 starts it afresh.
    char** av = argv + (k - 1);
    const int ac = argc - (k - 1);
    opterr = 0;
    optind = 0;
    std::vector<OPTWORD> found;
    ended = false;
    for (;;) {
        const int at = optind == 0 ? 1 : optind;
        if (at < ac && !anyLetter && std::string_view(av[at]).substr(0, 2) != "--") break;
        const int c = getopt_long(ac, av, letters.c_str(), table.data(), nullptr);
        if (c == -1) {
            ended = optind == at + 1 && std::string_view(av[at]) == "--";
            break;
        }
        const std::string word = av[optind - 1];
        if (c == ':') throw UsageError(word.substr(0, word.find('=')) + " needs a value");
        if (c == '?') {
            if (optopt >= 256) throw UsageError("--" + std::string(specs[optopt - 256].name) + " takes no value");
            if (optopt != 0) throw UsageError("unknown option \"-" + std::string(1, static_cast<char>(optopt)) + "\"");
            // glibc says the same of an unknown name and of a beginning that several share
            const std::string_view given = std::string_view(word).substr(2, word.find('=') - 2);
            int starts = 0;
            for (const OPTSPEC& s : specs) starts += s.name.substr(0, given.size()) == given;
            throw UsageError((starts > 1 ? "ambiguous option \"" : "unknown option \"") + word + "\"");
        }
        std::size_t i = 0;
        if (c >= 256) {
            i = static_cast<std::size_t>(c - 256);
        } else {
            while (specs[i].letter != c) ++i;
        }
        OPTWORD w{std::string(specs[i].name), {}};
        if (specs[i].form) {
            w.values.emplace_back(optarg);
            for (int more = 1; more < specs[i].words; ++more) {
                if (optind >= ac) throw UsageError("--" + w.name + " needs " + specs[i].form);
                w.values.emplace_back(av[optind++]);
            }
        }
        found.push_back(std::move(w));
    }
    k += (optind == 0 ? 1 : optind) - 1;
    return found;
}

std::vector<char*> wordsAfterOptions(int argc, char** argv, int k, bool ended, std::string_view them) {
    std::vector<char*> words{argv[0]};
    for (; k < argc; ++k) {
        if (!ended && std::string_view(argv[k]).size() > 2 && std::string_view(argv[k]).substr(0, 2) == "--")
            throw UsageError("options come before " + std::string(them) + ": \"" + argv[k] + "\"");
        words.push_back(argv[k]);
    }
    return words;
}

}  // namespace textio
