// The two file names, from the command line or the console.
#include <string>

#include "solver/telma.hpp"

namespace telma {

namespace {

constexpr std::size_t NAMELEN = 80;

// A name as the 80-character buffer holds it: a longer one is cut.
std::string cut(std::string s) {
    if (s.size() > NAMELEN) s.resize(NAMELEN);
    return s;
}

// A typed name: cut, trailing blanks dropped.
std::string trimmed(const std::string& line) {
    const std::string s = cut(line);
    const auto e = s.find_last_not_of(' ');
    return e == std::string::npos ? std::string() : s.substr(0, e + 1);
}

// One name: echoed when the command line gave it, else prompted for; a blank
// answer, or the end of console input, gives the default.
std::string oneName(int argc, char** argv, int k, const char* echo, const char* prompt, const char* dflt) {
    auto& con = textio::console();
    if (argc > k) {
        const std::string w = argv[k];
        con.write(echo, {w});
        return cut(w);
    }
    con.write(prompt);
    std::string line;  // stays empty at the end of console input
    textio::consoleLine(line);
    const std::string name = trimmed(line);
    return name.empty() ? std::string(dflt) : name;
}

}  // namespace

void FILNAM(int argc, char** argv, std::string& inName, std::string& outName) {
    inName = oneName(argc, argv, 1, "(' NAME OF INPUT FILE : ',a)", "(' NAME OF INPUT FILE : '\\)", "TELMA.IN");
    outName = oneName(argc, argv, 2, "(' NAME OF OUTPUT FILE : ',a)", "(' NAME OF OUTPUT FILE : '\\)", "TELMA.OUT");
}

}  // namespace telma
