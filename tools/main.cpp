// telma-mesh: writes problem data files for telma and korval.
#include <iostream>
#include <string>
#include <vector>

#include "tools/cli.hpp"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return tmesh::runTool(args, std::cout, std::cerr);
}
