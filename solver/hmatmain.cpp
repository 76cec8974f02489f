// telma-hmat [--tol=EPS] [data-file [report-file]]: the run of telma with the
// compressed solve.
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>

#include "solver/hmat.hpp"
#include "solver/telma.hpp"

int main(int argc, char** argv) {
    using namespace telma;
    double eps = HMTOL;
    if (argc > 1 && std::strncmp(argv[1], "--tol=", 6) == 0) {
        eps = std::atof(argv[1] + 6);
        --argc;
        ++argv;
        argv[0] = argv[-1];
    }
    int status = 0;
    try {
        textio::console().write("(' TELMA')");
        std::string inName, outName;
        FILNAM(argc, argv, inName, outName);
        std::ifstream dataFile = textio::openOld(inName);
        std::ofstream reportFile = textio::openUnknown(outName);
        textio::OutUnit rep(reportFile);
        textio::Reader in(dataFile, inName);
        READIN(in, rep);
        dataFile.close();
        status = HMRUN(rep, eps);
        rep.endRecord();
    } catch (const textio::Stop& s) {
        status = s.status;
    } catch (const textio::IoError& e) {
        textio::finish();
        std::cerr << "telma-hmat: " << e.what() << '\n';
        return 1;
    }
    textio::finish();
    return status;
}
