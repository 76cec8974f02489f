// korval: the mesh and results of a solved problem as a PostScript picture.
#include <iostream>

#include "textio/textio.hpp"
#include "viewer/korval.hpp"

int main(int argc, char** argv) {
    try {
        korval::KORVAL(argc, argv);
    } catch (const textio::Stop& s) {
        textio::finish();
        return s.status;
    } catch (const textio::IoError& e) {
        textio::finish();
        std::cerr << "korval: " << e.what() << '\n';
        return 1;
    }
}
