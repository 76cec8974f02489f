// Command line of telma-mesh.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "tools/mesh.hpp"

namespace tmesh {

// The help text of --help.
extern const char* const HELP;

// What an import has to say besides the mesh: which way the normals of its
// closed surfaces point (for the summary line), and the warnings about them.
struct Notes {
    std::string normals;
    std::vector<std::string> warnings;
};

// Builds the mesh that a command line (without the program name) asks for.
// `output` receives the -o name ("TELMA.IN" when none is given, "-" for
// standard output); `notes`, when given, what an import has to say.
// Throws textio::UsageError on a bad command line (an unknown shape or
// option, a value missing or malformed), MeshError on bad input.
Mesh buildFromArgs(const std::vector<std::string>& args, std::string& output, Notes* notes = nullptr);

// The whole program: --help, building, writing, the summary line.
// Returns the exit status (0 done, 1 failed, 2 a bad command line); messages
// go to `err`.
int runTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace tmesh
