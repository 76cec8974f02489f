// telma: solves one boundary-element problem from its data file to its report.
#include <array>
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
    int status = 0;
    const SOLVER& S = *SOLVERS[static_cast<std::size_t>(OPTS.SOLVER)];
    // PETSc, for the solvers that run on it, lives as long as the run.
    std::optional<PETSCRUN> petsc;
    // A run that stops early keeps the report written so far, as the classic
    // program does; a killed one leaves the previous report whole.
    std::optional<textio::OutFile> reportFile;
    std::optional<textio::OutUnit> rep;
    // With options, the report of a run that stops says why, as its console did.
    auto keepReport = [&reportFile, &rep](const std::string& why) {
        try {
            if (rep && !OPTS.CLASSIC && !why.empty()) {
                rep->endRecord();
                std::string line = why.substr(0, why.find_last_not_of(" \n") + 1);
                rep->write("(/,' *** THE RUN STOPPED: ',A)", {line.substr(line.find_first_not_of(' '))});
            }
            if (reportFile) reportFile->commit("writing the report failed");
            return true;
        } catch (const textio::IoError& e) {
            std::cerr << "telma: " << e.what() << '\n';
            return false;
        }
    };
    try {
        if (S.PETSC) petsc.emplace();
        textio::console().write("(' TELMA')");
        std::string inName, outName;
        FILNAM(static_cast<int>(words.size()), words.data(), inName, outName);
        std::ifstream dataFile = textio::openOld(inName);
        // No output may be an input or another output of the run.
        std::vector<std::string> outs{outName}, ins{inName};
        if (!OPTS.VTU.empty()) outs.insert(outs.end(), {OPTS.VTU, VTUPTS(OPTS.VTU)});
        if (!OPTS.MEDIA.empty()) ins.push_back(OPTS.MEDIA);
        for (std::size_t K = 0; K < outs.size(); ++K) {
            for (const std::string& in : ins) textio::refuseInput(outs[K], in);
            for (std::size_t L = 0; L < K; ++L) textio::refuseOutput(outs[K], outs[L]);
        }
        // VTK files that cannot be written are said now, not after the solve.
        for (std::size_t K = 1; K < outs.size(); ++K) textio::OutFile{outs[K]}.discard();
        reportFile.emplace(outName);
        rep.emplace(*reportFile);
        textio::Reader in(dataFile, inName);
        READIN(in, *rep, S);
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
        if (petsc) petsc->end();
        if (!OPTS.VTU.empty()) VTUOUT(OPTS.VTU, OPTS.UNFOLD);
        rep->endRecord();
        reportFile->commit("writing the report failed");
    } catch (const textio::Stop& s) {
        status = keepReport(s.status != 0 ? WHY : "") ? s.status : 1;
    } catch (const textio::IoError& e) {
        textio::finish();
        std::cerr << "telma: " << e.what() << '\n';
        keepReport(e.what());
        return 1;
    } catch (const std::bad_alloc&) {
        textio::finish();
        std::cerr << "telma: not enough memory for the tables of the problem\n";
        keepReport("not enough memory for the tables of the problem");
        return 1;
    } catch (const std::exception& e) {
        // a library the solve runs on failed (PETSc), in its own words
        textio::finish();
        std::cerr << "telma: " << e.what() << '\n';
        keepReport(e.what());
        return 1;
    }
    textio::finish();
    return status;
}
