// The RESULTS section of the report.
#include <string>

#include "solver/telma.hpp"

namespace telma {

void OUTRES(textio::OutUnit& rep) {
    rep.write("(' ',79('*'),/,/,1X,'RESULTS',/,/,2X,'BOUNDARY NODES',/,/,' NODE',8X,'X',15X,"
              "'Y',15X,'Z',13X,'POTENTIAL',3X,'POTENTIAL DERIVATIVE',3X,' AREA',/)");
    const std::string row = WIDEN("(I5,6(2X,1P,E14.5))", {NBE});
    for (int I = 1; I <= NBE; ++I)
        rep.write(row, {I, XC[I][1], XC[I][2], XC[I][3], VBC[I], B[I], AREA[I]});
    if (NIP != 0) {
        rep.write("(/,/,2X,'INTERNAL POINTS',/,/,8X,'X',15X,'Y',15X,'Z',13X,'POTENTIAL',8X,"
                  "'GRADV-X',9X,'GRADV-Y',9X,'GRADV-Z',/)");
        for (int I = 1; I <= NIP; ++I)
            rep.write("(7(2X,1P,E14.5))", {XIP[I][1], XIP[I][2], XIP[I][3], UIP[I], GRADV[1][I],
                                           GRADV[2][I], GRADV[3][I]});
    }
    rep.write("(' ',79('*'))");
}

}  // namespace telma
