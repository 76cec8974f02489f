// The summary of a run with options (see summary.hpp).
#include "solver/summary.hpp"

#include <sys/resource.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "solver/capaci.hpp"
#include "solver/telma.hpp"

namespace telma {

namespace {

// A number as JSON writes it: all its digits, or null.
std::string num(double v) {
    if (!std::isfinite(v)) return "null";
    char b[32];
    std::snprintf(b, sizeof b, "%.17g", v);
    return b;
}

// A string as JSON writes it.
std::string str(const std::string& s) {
    std::string out = "\"";
    for (const unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char b[8];
            std::snprintf(b, sizeof b, "\\u%04x", c);
            out += b;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

const char* stepsName(STEPS K) {
    return K == STEPS::SWEEPS ? "sweeps" : K == STEPS::ITERATIONS ? "iterations" : "factorisation";
}

}  // namespace

double PEAKMB() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

double PEAKOF(const RUNEND& E) { return E.PEAK > 0.0 ? E.PEAK : PEAKMB(); }

void SUMLINE(const RUNEND& E) {
    std::string what;
    if (!LASTRUN.SOLVED) {
        what = "stopped before the solve";
    } else if (LASTRUN.ST.KIND == STEPS::FACTORISATION) {
        what = textio::format("('factorisation and solve',F9.2,' s'\\)", {LASTRUN.SOLVE});
    } else {
        what = textio::format("(I6,1X,A,F9.2,' s'\\)", {LASTRUN.ST.NSTEP, stepsName(LASTRUN.ST.KIND), LASTRUN.SOLVE});
    }
    textio::console().write("(' Whole run',F9.2,' s, peak memory',I7,' MB, solver ',A,', ',A)",
                            {E.WALL, static_cast<int>(std::ceil(PEAKOF(E))), E.SOLVER, what});
}

void JSONOUT(const std::string& FILE, const RUNEND& E) {
    const SOLSTAT& ST = LASTRUN.ST;
    const char* result = E.STATUS == 0 ? "solved" : LASTRUN.SOLVED && !ST.CONVGD ? "not converged" : "stopped";
    std::string j = "{\n";
    j += "  \"program\": \"telma\",\n  \"version\": " + str(TELMA_VERSION) + ",\n";
    j += "  \"data\": " + str(E.DATA) + ",\n  \"report\": " + str(E.REPORT) + ",\n";
    j += "  \"solver\": " + str(E.SOLVER) + ",\n  \"status\": " + std::to_string(E.STATUS) + ",\n";
    j += "  \"result\": " + str(result) + ",\n  \"why\": " + (E.WHY.empty() ? "null" : str(E.WHY)) + ",\n";
    j += "  \"elements\": " + std::to_string(NBE) + ",\n  \"internal_points\": " + std::to_string(NIP) + ",\n";
    if (LASTRUN.SOLVED) {
        const bool counted = ST.KIND != STEPS::FACTORISATION;  // a direct solve counts no steps
        j += "  \"steps\": {\"kind\": " + str(stepsName(ST.KIND)) +
             ", \"count\": " + (counted ? std::to_string(ST.NSTEP) : std::string("null")) + "},\n";
        j += "  \"residual\": " + (ST.REACHED >= 0.0 ? num(ST.REACHED) : "null") + ",\n";
        j += "  \"tolerance\": " + (ST.EPS > 0.0 ? num(ST.EPS) : "null") + ",\n";
    } else {
        j += "  \"steps\": null,\n  \"residual\": null,\n  \"tolerance\": null,\n";
    }
    j += "  \"fluxes\": [";
    for (int K = 1; E.STATUS == 0 && K <= NGRP; ++K)
        j.append(K > 1 ? ", " : "").append("{\"group\": " + std::to_string(K) + ", \"flux\": " + num(FLUX[K]) + "}");
    j += "],\n  \"capacitance\": ";
    const std::size_t NC = IGRP.size();
    if (E.STATUS == 0 && NC > 0 && CAP.size() == NC * NC) {
        // the rows of C, as the report lists them
        std::string groups, units, farads;
        for (std::size_t H = 0; H < NC; ++H) {
            const char* sep = H ? ", " : "";
            groups.append(sep).append(std::to_string(IGRP[H]));
            units.append(sep).append("[");
            farads.append(sep).append("[");
            for (std::size_t G = 0; G < NC; ++G) {
                units.append(G ? ", " : "").append(num(CAP[G * NC + H]));
                farads.append(G ? ", " : "").append(num(CAPFARAD() * CAP[G * NC + H]));
            }
            units += "]";
            farads += "]";
        }
        j += "{\"groups\": [" + groups + "], \"matrix\": [" + units + "], \"farads\": [" + farads + "]},\n";
    } else {
        j += "null,\n";
    }
    j += "  \"times\": {\"build\": " + num(LASTRUN.BUILD) + ", \"solve\": " + num(LASTRUN.SOLVE) +
         ", \"points\": " + num(LASTRUN.POINTS) + ", \"whole\": " + num(E.WALL) + "},\n";
    j += "  \"processes\": " + std::to_string(E.PROCS) + ",\n";
    j += "  \"peak_memory_mb\": " + num(PEAKOF(E)) + "\n}\n";
    textio::OutFile out(FILE);
    out << j;
    out.commit("writing the summary failed");
}

}  // namespace telma
