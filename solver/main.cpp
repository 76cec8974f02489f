// telma: solves one boundary-element problem from its data file to its report.
#include <array>
#include <chrono>
#include <fstream>
#include <iostream>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>

#include "solver/capaci.hpp"
#include "solver/hmat/hmat.hpp"
#include "solver/lu/lu.hpp"
#include "solver/media.hpp"
#include "solver/options.hpp"
#include "solver/summary.hpp"
#include "solver/telma.hpp"
#include "solver/vtuout.hpp"

namespace {

using namespace telma;

// The solver of each --solver choice, in the order of METHOD: the one place
// a solver is wired in.
const std::array<const SOLVER*, 3> SOLVERS = {&GSSOLVER, &LUSOLVER, &HMSOLVER};

}  // namespace

int main(int argc, char** argv) {
    std::vector<char*> words;
    try {
        words = PARSEOPTS(argc, argv);
    } catch (const textio::UsageError& e) {
        std::cerr << "telma: " << e.what() << "\n\n" << USAGE;
        return 2;
    }
    if (OPTS.HELP) {
        std::cout << USAGE;
        return 0;
    }
    if (OPTS.VERSION) {
        std::cout << "telma " TELMA_VERSION "\n";
        return 0;
    }
    const auto start = std::chrono::steady_clock::now();
    int status = 0;
    std::string why;      // what stopped the run, when something did
    bool failed = false;  // an error ended it (not a stop the console has said)
    const SOLVER& S = *SOLVERS[static_cast<std::size_t>(OPTS.SOLVER)];
    // PETSc, for the solvers that run on it and for a run of several
    // processes, lives as long as the run.
    std::optional<PETSCRUN> petsc;
    double peak = 0.0;  // the largest process's peak memory, when there are several
    // The processes after the first write their report nowhere.
    std::ofstream nowhere;
    // A run that stops early keeps the report written so far, as the classic
    // program does; a killed one leaves the previous report whole.
    std::optional<textio::OutFile> reportFile;
    std::optional<textio::OutUnit> rep;
    // With options, the report of a run that stops says why, as its console did.
    auto keepReport = [&reportFile, &rep](const std::string& why) {
        try {
            if (rep && !OPTS.CLASSIC && !why.empty()) {
                rep->endRecord();
                rep->write("(/,' *** THE RUN STOPPED: ',A)", {why});
            }
            if (reportFile) reportFile->commit("writing the report failed");
            return true;
        } catch (const textio::IoError& e) {
            std::cerr << "telma: " << e.what() << '\n';
            return false;
        }
    };
    // The message of a failure, without the blanks around it.
    auto trimmed = [](const std::string& m) {
        const auto a = m.find_first_not_of(" \n"), b = m.find_last_not_of(" \n");
        return a == std::string::npos ? std::string() : m.substr(a, b - a + 1);
    };
    std::string inName, outName;
    try {
        if (S.PETSC || LAUNCHED()) petsc.emplace();
        if (NPROC > 1 && !S.PETSC)
            throw std::runtime_error(std::string("the solver ") + S.NAME + " runs in one process, and " +
                                     std::to_string(NPROC) + " were started (--solver=hmat shares its solve)");
        if (NPROC > 1 && words.size() < 3)
            throw std::runtime_error("a run of several processes takes the data file and the report from the "
                                     "command line");
        textio::console().write("(' TELMA')");
        FILNAM(static_cast<int>(words.size()), words.data(), inName, outName);
        std::ifstream dataFile = textio::openOld(inName);
        // No output may be an input or another output of the run.
        std::vector<std::string> outs{outName}, ins{inName};
        if (!OPTS.VTU.empty()) outs.insert(outs.end(), {OPTS.VTU, VTUPTS(OPTS.VTU)});
        if (!OPTS.JSON.empty()) outs.push_back(OPTS.JSON);
        if (!OPTS.MEDIA.empty()) ins.push_back(OPTS.MEDIA);
        for (std::size_t K = 0; K < outs.size(); ++K) {
            for (const std::string& in : ins) textio::refuseInput(outs[K], in);
            for (std::size_t L = 0; L < K; ++L) textio::refuseOutput(outs[K], outs[L]);
        }
        // Files that cannot be written are said now, not after the solve.
        if (MYPROC == 0) {
            for (std::size_t K = 1; K < outs.size(); ++K) textio::OutFile{outs[K]}.discard();
            reportFile.emplace(outName);
            rep.emplace(*reportFile);
        } else {
            nowhere.open("/dev/null");
            rep.emplace(nowhere);
        }
        textio::Reader in(dataFile, inName);
        READIN(in, *rep, S, OPTS.TOL);
        dataFile.close();
        // The classic run takes any other symmetry flag for 0; with options it is refused.
        SYMCHK(!OPTS.CLASSIC);
        if (!OPTS.MEDIA.empty()) {
            std::ifstream media = textio::openOld(OPTS.MEDIA);
            MEDRD(media, OPTS.MEDIA, OPTS.EPSR);
            MEDREP(*rep);
        }
        const SOLREQ R{.EPS = OPTS.TOL};
        status = OPTS.CAPAC ? CAPRUN(*rep, S, R) : RUN(*rep, S, R);
        if (NPROC > 1) peak = PEAKALL();
        if (petsc) petsc->end();
        if (MYPROC > 0) return status;  // the first process writes the rest
        if (!OPTS.VTU.empty()) VTUOUT(OPTS.VTU, OPTS.UNFOLD);
        rep->endRecord();
        // With options the report keeps the warnings of points too near the boundary.
        if (!OPTS.CLASSIC)
            for (const NEARPT& N : IPNEAR)
                rep->write("(/,' *** NOTE: INTERNAL POINT',I8,' LIES',F7.3,' ELEMENT SIZES FROM ELEMENT',I8,"
                           "': ITS VALUES ARE NOT ACCURATE')",
                           {N.POINT, N.SIZES, N.ELEMENT});
        reportFile->commit("writing the report failed");
    } catch (const textio::Stop& s) {
        // A stop is made alike by every process (the same data, the same solve).
        if (MYPROC > 0) return s.status;
        why = s.status != 0 ? trimmed(WHY) : "";
        status = keepReport(why) ? s.status : 1;
    } catch (const textio::IoError& e) {
        why = e.what();
        failed = true;
    } catch (const std::bad_alloc&) {
        why = "not enough memory for the tables of the problem";
        failed = true;
    } catch (const std::exception& e) {
        // a library the solve runs on failed (PETSc), in its own words
        why = e.what();
        failed = true;
    }
    if (failed) {
        textio::finish();
        if (NPROC > 1)
            PEERSTOP(why);
        else
            std::cerr << "telma: " << why << '\n';
        if (MYPROC > 0) return 1;
        keepReport(why);
        status = 1;
    }
    if (!OPTS.CLASSIC) {
        const RUNEND E{inName, outName, S.NAME, why, status,
                       std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), peak,
                       NPROC};
        textio::console().endRecord();
        SUMLINE(E);
        if (!OPTS.JSON.empty()) {
            try {
                JSONOUT(OPTS.JSON, E);
            } catch (const textio::IoError& e) {
                std::cerr << "telma: " << e.what() << '\n';
                status = 1;
            }
        }
    }
    textio::finish();
    return status;
}
