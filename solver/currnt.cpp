// Fluxes through the groups of elements with negative codes.
#include "solver/telma.hpp"

namespace telma {

void CURRNT(textio::OutUnit& rep) {
    for (int K = 1; K <= NBEMAX; ++K) FLUX[K] = 0.0;
    NGRP = 0;
    for (int I = 1; I <= NBE; ++I) {
        // ELCHK has refused codes beyond the table.
        if (KODE[I] < 0 && KODE[I] >= -NBEMAX) {
            const int K = -KODE[I];
            FLUX[K] += B[I] * AREA[I];
            if (K > NGRP) NGRP = K;
        }
    }
    if (NGRP == 0) return;
    textio::OutUnit& con = textio::console();
    rep.write("(/' CURRENTS'/)");
    con.write("(/' CURRENTS'/)");
    for (int K = 1; K <= NGRP; ++K) {
        rep.write("(' FLUX',I3,' :',1Pe12.5)", {K, FLUX[K]});
        con.write("(' FLUX',I3,' :',1Pe12.5)", {K, FLUX[K]});
    }
    rep.write("(' ',79('*'))");
}

}  // namespace telma
