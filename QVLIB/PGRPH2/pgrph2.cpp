// PostScript plotting primitives (PSBEGIN, PSEND, PSSCALE, PSXFORM).
#include "QVLIB/PGRPH2/pgrph2.hpp"

namespace qvlib {

PsState PSSTATE;

void PSBEGIN(textio::OutUnit& LU) {
    PSSTATE.LU = &LU;
    PSSTATE.fx = 1;
    PSSTATE.fy = 1;
    PSSTATE.ox = 0;
    PSSTATE.oy = 0;
    if (PSSTATE.open) return;
    PSSTATE.open = true;
    LU.write("(' % *** DEBUT IMAGE',i4, ' ***')", {PSSTATE.counter});
    LU.writeFree({" % Trace Graphique QV Version 07/90"});
    LU.writeFree({" 18 14.5 translate % amener O en (0,0)"});
    LU.writeFree({" /Courrier findfont [10 0 0 11 0 0]", " makefont setfont"});
    LU.writeFree({" .25 setlinewidth"});
}

void PSEND() {
    if (PSSTATE.LU != nullptr) {
        PSSTATE.LU->write("(' showpage ')");
        PSSTATE.LU->write("(' % *** FIN IMAGE',i4, ' ***')", {PSSTATE.counter});
    }
    PSSTATE.open = false;
    PSSTATE.counter = PSSTATE.counter + 1;
}

void PSSCALE(const Window& PWIN, const Window& UWIN) {
    PSSTATE.fx = (PWIN[1] - PWIN[0]) / (UWIN[1] - UWIN[0]);
    PSSTATE.fy = (PWIN[3] - PWIN[2]) / (UWIN[3] - UWIN[2]);
    PSSTATE.ox = PWIN[0] - PSSTATE.fx * UWIN[0];
    PSSTATE.oy = PWIN[2] - PSSTATE.fy * UWIN[2];
}

void PSXFORM(float UX, float UY, float& XPG, float& YPG) {
    XPG = PSSTATE.fx * UX + PSSTATE.ox;
    YPG = PSSTATE.fy * UY + PSSTATE.oy;
}

}  // namespace qvlib
