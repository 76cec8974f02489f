// The solver's command-line options and the storage they fill.
//
// Options come before the file names, in the form --name, --name=value or
// --name value (textio::READOPTS); "--" ends them, and every word after the options is a file name for FILNAM.
// Without options every setting below is the classic program's.
#pragma once

#include <string>
#include <vector>

#include "solver/telma.hpp"

namespace telma {

enum class METHOD { GS, LU, HMAT };  // --solver=gs|lu|hmat

struct OPTIONS {
    METHOD SOLVER = METHOD::GS;
    double TOL = 0.0;          // --tol; 0: the solver's own (SOLVER::TOL)
    std::string VTU;           // --vtu file; empty: none
    bool UNFOLD = false;       // --unfold: mirror the VTU over the symmetry planes
    bool CAPAC = false;        // --capacitance
    double LUNIT = 1.0;        // metres per length unit of the data file
    double EPSR = 1.0;         // relative permittivity of the medium (with media: of the codes not listed)
    std::string MEDIA;         // --media file; empty: one homogeneous medium
    std::string JSON;          // --json file of the run's summary; empty: none
    bool CLASSIC = true;       // no option given: the classic program
    bool HELP = false;         // --help given
    bool VERSION = false;      // --version given
};
extern OPTIONS OPTS;

// The text of --help, also the body of the manual page.
extern const char* const USAGE;

// Reads the options of the command line ARGV(0..ARGC-1) into OPTS.  Returns
// the program name followed by the file-name words, as FILNAM takes them.
// Parsing stops at --help or --version (flag set, no words returned).
// Throws textio::UsageError on an unknown option, a missing or bad value, or
// an option after the file names.
std::vector<char*> PARSEOPTS(int argc, char** argv);

}  // namespace telma
