// The two file names, from the command line or the console.
#include <iostream>
#include <string>

#include "solver/telma.hpp"

namespace telma {

namespace {

constexpr std::size_t NAMELEN = 80;

// A name as the 80-character buffer holds it: a longer one is cut, and the
// user told which name is used, since it is not the one given.
std::string cut(std::string s) {
    if (s.size() > NAMELEN) {
        s.resize(NAMELEN);
        std::cerr << "telma: NAME LONGER THAN 80 CHARACTERS, CUT TO: " << s << '\n';
    }
    return s;
}

// A typed name: cut, trailing blanks dropped.
std::string trimmed(const std::string& line) {
    const std::string s = cut(line);
    const auto e = s.find_last_not_of(' ');
    return e == std::string::npos ? std::string() : s.substr(0, e + 1);
}

// One name: echoed when the command line gave it, else prompted for; a blank
// answer gives the default.  The end of console input is a failed read: no
// answer was given, so no file is taken on the user's behalf.
std::string oneName(int argc, char** argv, int k, const char* what, const char* echo, const char* prompt,
                    const char* dflt) {
    auto& con = textio::console();
    if (argc > k) {
        const std::string w = argv[k];
        con.write(echo, {w});
        return cut(w);
    }
    con.write(prompt);
    std::string line;
    if (!textio::consoleLine(line))
        throw textio::IoError(std::string("standard input: end of input, expected the ") + what + " file name");
    const std::string name = trimmed(line);
    return name.empty() ? std::string(dflt) : name;
}

}  // namespace

void FILNAM(int argc, char** argv, std::string& inName, std::string& outName) {
    inName = oneName(argc, argv, 1, "input", "(' NAME OF INPUT FILE : ',a)", "(' NAME OF INPUT FILE : '\\)", "TELMA.IN");
    outName = oneName(argc, argv, 2, "output", "(' NAME OF OUTPUT FILE : ',a)", "(' NAME OF OUTPUT FILE : '\\)", "TELMA.OUT");
}

}  // namespace telma
