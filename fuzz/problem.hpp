// Shared by the fuzz targets of the solver: a silent console, and a problem
// data file read into the solver's storage.
#pragma once

#include <iostream>
#include <sstream>
#include <string>

#include "solver/telma.hpp"

// The console left silent.
inline void silence() { std::cout.setstate(std::ios::badbit); }

// READIN of TEXT as the data file, its echo thrown away; throws what READIN
// throws.
inline void readProblem(const std::string& text) {
    std::istringstream file(text);
    std::ostringstream report;
    textio::OutUnit rep(report);
    textio::Reader in(file, "TELMA.IN");
    telma::READIN(in, rep);
}
