// telma: solves one boundary-element problem from its data file to its report.
#include <fstream>
#include <iostream>
#include <string>

#include "solver/telma.hpp"

int main(int argc, char** argv) {
    using namespace telma;
    int status = 0;
    try {
        textio::console().write("(' TELMA')");
        std::string inName, outName;
        FILNAM(argc, argv, inName, outName);
        std::ifstream dataFile = textio::openOld(inName);
        textio::refuseInput(outName, inName);
        std::ofstream reportFile = textio::openUnknown(outName);
        textio::OutUnit rep(reportFile);
        // On a read failure the report keeps the echo of every record read
        // before it: the stream is flushed as it is destroyed.
        textio::Reader in(dataFile, inName);
        READIN(in, rep);
        dataFile.close();
        status = SOLVE(rep);
        rep.endRecord();
        reportFile.flush();
        if (!reportFile) throw textio::IoError(outName + ": writing the report failed");
    } catch (const textio::Stop& s) {
        status = s.status;
    } catch (const textio::IoError& e) {
        textio::finish();
        std::cerr << "telma: " << e.what() << '\n';
        return 1;
    }
    textio::finish();
    return status;
}
