// The viewer's run:
//
//   SWITCH  the command-line switch
//   KORVAL  switch, title, loading, summary, then pictures and the dialogue
//           without end
#include <filesystem>
#include <iostream>
#include <string_view>

#include "textio/textio.hpp"
#include "viewer/korval.hpp"

namespace korval {

// A word after the switch that looks like another switch (a leading slash and
// no other, naming no file) is ignored, as the classic program ignores every
// word after its first: `korval /F /p` colours by the derivative.
static bool isFileWord(const char* word) {
    const std::string_view w(word);
    if (w.size() < 2 || w[0] != '/' || w.find('/', 1) != std::string_view::npos) return true;
    std::error_code ec;
    return std::filesystem::exists(textio::resolveExisting(std::string(w)), ec);
}

void SWITCH(int argc, char** argv) {
    ICOL = 0;
    IPOT = 0;
    if (argc > 2 && isFileWord(argv[2])) {
        DNAME = argv[2];
        if (argc > 3 && isFileWord(argv[3])) RNAME = argv[3];
    }
    if (argc < 2) return;
    // The first two characters, compared exactly.
    const std::string_view sw = std::string_view(argv[1]).substr(0, 2);
    // A file named first is taken for the switch, as the classic program
    // does; say so, since the run then looks for the default files.
    std::error_code ec;
    if (sw != "/p" && sw != "/P" && sw != "/f" && sw != "/F" &&
        std::filesystem::is_regular_file(textio::resolveExisting(argv[1]), ec))
        std::cerr << "korval: note: \"" << argv[1] << "\" is taken for the switch (outlines only); the data file "
                  << "comes after it: korval /p " << argv[1] << " REPORT\n";
    if (sw == "/p" || sw == "/P") {
        ICOL = 1;
        IPOT = 1;
    } else if (sw == "/F" || sw == "/f") {
        ICOL = 1;
        IPOT = 0;
    }
}

void KORVAL(int argc, char** argv) {
    SWITCH(argc, argv);
    auto& con = textio::console();
    con.write("('--- KORVAL ---' )");
    RDMESH();
    if (ICOL == 1) RDRES();
    con.write("(' Npt, nfa, nfa2 :',3I5)", {Npt, nfa, nfa2});
    con.write("(' solmin, solmax :',1p2e15.6)", {solmin, solmax});
    DEFVIEW();
    for (;;) {
        PICTURE();
        EDVIEW();
    }
}

}  // namespace korval
