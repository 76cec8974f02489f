// Shared helpers of the viewer tests: a scratch directory that becomes the
// working directory, small file helpers, a fresh viewer state, and rendering
// of a picture by Ghostscript.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <string>
#include <vector>

namespace vt {

namespace fs = std::filesystem;

// A fresh directory under the system's temporary directory, made the working
// directory for the lifetime of the object.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const fs::path& path() const { return dir_; }

private:
    fs::path dir_;
    fs::path previous_;
};

void writeFile(const fs::path& p, const std::string& text);
std::string readFile(const fs::path& p);
// Lines without their line ends.
std::vector<std::string> readLines(const fs::path& p);

// The viewer state as at program start, with the default view.
void resetViewer();

// Renders a PostScript file to PNG (one per page, <file>-<page>.png) with
// Ghostscript and expects no error.  Without Ghostscript the calling test is
// skipped, except when the variable CI is set: then it fails.
void expectRendered(const fs::path& ps);

// A data file of one face per entry of `faces` (each a list of vertices in
// file axes), no symmetry, no internal points, potential codes 0.
std::string dataFile(const std::vector<std::vector<std::array<double, 3>>>& faces,
                     const std::string& title = "test mesh");

// A report in the solver's layout: the echo's first lines, the RESULTS
// heading and one row per entry (potential, derivative), then the closing
// rule, with an internal-point table first when `internal` is set.
std::string reportFile(const std::vector<std::pair<double, double>>& rows, bool internal = false);

}  // namespace vt
