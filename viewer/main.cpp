// korval: the mesh and results of a solved problem as a PostScript picture.
#include <iostream>
#include <string>
#include <string_view>

#include "textio/textio.hpp"
#include "viewer/korval.hpp"

namespace {

const char* const USAGE = R"(korval: draws a problem solved by telma as a perspective picture in KORV.PS

Usage: korval [--hide] [--help | --version] [--] [SWITCH [data-file [report-file]]]

  --hide       a true picture: the faces drawn from the farthest to the
               nearest, so that nearer faces cover those behind them, and
               on a closed mesh the faces turned away from the eye left
               out; the colour bar carries the values of its ends and
               middle.  Without it the picture is the classic one: the faces
               in file order, which lets back faces of a closed body cover
               front ones.

SWITCH (its first two characters count, in this letter case):
  /p or /P     faces coloured by the potential, read from the report
  /f or /F     faces coloured by the normal derivative of the potential
  other word   outlines only (black: normal toward the eye, grey: away);
               the report is not read.  No SWITCH at all: the same.
data-file      the problem data file (default tELMA.in)
report-file    the report telma wrote (default TELMA.out), read with a /p or
               /f switch.  Names are found without regard to letter case.

The picture goes to KORV.PS in the current directory.  Then a new view is
asked for, one value per prompt: Enter keeps the value shown, a number
replaces it (angles in degrees).  Once all prompts are answered the picture
is drawn again.  An answer that is not a number, or the end of the input,
ends the run.  Prompts in order (the data file's y axis stays upward):
  AX AY AZ     the point looked at: its z, x and y in the data file (0 0 0)
  D            the eye stands D + 1 length units from that point (5)
  Th           azimuth of the eye around the y axis, from the z axis toward
               the x axis (60)
  Ps           angle of the eye from the y axis: 0 looks down it, 90 sees
               it upright (60)
  Om           roll of the picture in its own plane (0)
  Zx           zoom about the point looked at (1)
  Ex           with /p or /f: exponent applied to the value scaled to 0..1
               before it is coloured; below 1 spreads the low values (0.5)
  VECTEURS Min Max
               with /p or /f: the values given the ends of the colour scale
               (first the smallest and largest value read)

Exit status: 0 when the run ends by an answer that is not a number or by
the end of the input; 1 when a file is missing or malformed; 2 for a bad
command line.
)";

// A command line that cannot be run: the message and the usage, status 2.
int refuse(std::string_view msg) {
    std::cerr << "korval: " << msg << "\n\n" << USAGE;
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    // Options lead the command line; no switch begins with "--".  Past them
    // the words are the classic switch and the file names.
    static constexpr textio::OPTSPEC SPECS[] = {{"hide"}, {"help"}, {"version"}};
    std::vector<char*> words;
    try {
        bool ended = false;
        int k = 1;
        for (const textio::OPTWORD& o : textio::READOPTS(argc, argv, k, SPECS, ended)) {
            if (o.name == "hide") {
                korval::HIDE = true;
                continue;
            }
            if (o.name == "help") {
                std::cout << USAGE;
                return 0;
            }
            std::cout << "korval " TELMA_VERSION "\n";
            return 0;
        }
        words = textio::wordsAfterOptions(argc, argv, k, ended, "the switch");
    } catch (const textio::UsageError& e) {
        return refuse(e.what());
    }
    try {
        korval::KORVAL(static_cast<int>(words.size()), words.data());
    } catch (const textio::Stop& s) {
        textio::finish();
        return s.status;
    } catch (const textio::IoError& e) {
        textio::finish();
        std::cerr << "korval: " << e.what() << '\n';
        return 1;
    }
}
