// What a run with options says of itself at its end: one console line, and
// on request (--json=FILE) a summary that scripts can read.
//
//   PEAKMB   the peak memory of the process
//   PEAKOF   the peak memory a run reports
//   SUMLINE  the summary line that ends the console
//   JSONOUT  the summary as JSON
#pragma once

#include <string>

namespace telma {

// What the driver knows of the run beside LASTRUN: its files, exit status,
// why it stopped (empty when it did not), its wall time in seconds, and
// with several processes their number and the largest one's peak memory in
// MB (0: this process's).
struct RUNEND {
    std::string DATA, REPORT, SOLVER, WHY;
    int STATUS = 0;
    double WALL = 0.0;
    double PEAK = 0.0;
    int PROCS = 1;
};

// PEAKMB: the peak resident memory of this process so far, in MB.  In
// summary.cpp.
double PEAKMB();

// PEAKOF: the peak of the run E reports: its largest process's, or this
// process's.  In summary.cpp.
double PEAKOF(const RUNEND& E);

// SUMLINE: the console's last line: the whole run's wall time, the peak
// memory, the solver and its steps (sweeps, iterations or factorisation)
// with the solve's time.  In summary.cpp.
void SUMLINE(const RUNEND& E);

// JSONOUT: the summary of the run in FILE, one JSON object: program,
// version, files, solver, status (the exit status) and result ("solved",
// "not converged" or "stopped", with why), the counts, the solve's steps,
// residual and tolerance, the fluxes, the capacitance matrix (in units of
// the permittivity times the length unit and in farads), the phases' times
// and the peak memory.  A number that is not finite is null.  Throws
// textio::IoError when FILE cannot be written.  In summary.cpp.
void JSONOUT(const std::string& FILE, const RUNEND& E);

}  // namespace telma
