// Fluxes through the groups of elements with negative codes, and the
// warning that closes the report of a solve that did not converge.
#include <cmath>
#include <initializer_list>
#include <string>
#include <string_view>

#include "solver/media.hpp"

namespace telma {

void BOTH(textio::OutUnit& rep, std::string_view FMT, std::span<const textio::Item> ITEMS) {
    rep.write(FMT, ITEMS);
    textio::console().write(FMT, ITEMS);
}

void CURRNT(textio::OutUnit& rep) {
    for (int K = 1; K <= NGMAX; ++K) FLUX[K] = 0.0;
    NGRP = 0;
    for (int I = 1; I <= NBE; ++I) {
        if (KODE[I] < 0) {
            const int K = -KODE[I];
            // with media, the flux of EPS grad U: the free charge
            if (MEDIA)
                FLUX[K] += EPSB[I] * B[I] * AREA[I];
            else
                FLUX[K] += B[I] * AREA[I];
            if (K > NGRP) NGRP = K;
        }
    }
    if (NGRP == 0) return;
    for (int K = 1; K <= NGRP; ++K)
        if (!std::isfinite(FLUX[K])) {
            textio::console().write("(' FLUX',I3,': THE RESULT IS NOT A FINITE NUMBER')", {K});
            textio::stop("*** FATAL ERROR ***", 1);
        }
    // The CURRENTS block goes to the report and to the console alike.
    BOTH(rep, "(/' CURRENTS'/)");
    const std::string line = WIDEN("(' FLUX',I3,' :',1Pe12.5)", {NGRP});
    for (int K = 1; K <= NGRP; ++K) BOTH(rep, line, {K, FLUX[K]});
    rep.write("(' ',79('*'))");
}

void CNVREP(textio::OutUnit& rep, const SOLSTAT& ST) {
    if (ST.CONVGD) return;
    switch (ST.KIND) {
        case STEPS::SWEEPS:
            rep.write("(/' *** WARNING: THE SOLUTION DID NOT CONVERGE',/,' AFTER',i4,1X,A,"
                      "' THE RMS CHANGE WAS',1Pe10.3,' (TOLERANCE',1Pe10.3,')',/,' ',79('*'))",
                      {ST.NSTEP, "SWEEPS", ST.REACHED, ST.EPS});
            break;
        case STEPS::ITERATIONS:
            rep.write("(/' *** WARNING: THE SOLUTION DID NOT CONVERGE',/,' AFTER',i4,1X,A,"
                      "' ITERATIONS THE RELATIVE RESIDUAL WAS',1Pe10.3,' (TOLERANCE',1Pe10.3,')',/,"
                      "' ',79('*'))",
                      {ST.NSTEP, ST.METHOD, ST.REACHED, ST.EPS});
            break;
        case STEPS::FACTORISATION:
            if (ST.NSTEP == 0) {
                rep.write("(/' *** WARNING: THE SYSTEM WAS NOT SOLVED',/,' THE ',A,' SOLVE LEFT THE RELATIVE RESIDUAL',"
                          "1Pe10.3,' (TOLERANCE',1Pe10.3,')',/,' THE MATRIX IS SINGULAR OR NEARLY SO',/,' ',79('*'))",
                          {ST.METHOD, ST.REACHED, ST.EPS});
                break;
            }
            rep.write("(/' *** WARNING: THE SYSTEM WAS NOT SOLVED',/,' THE ',A,' FACTORISATION MET A ZERO',"
                      "' PIVOT AT STEP',I8,': THE MATRIX IS SINGULAR',/,' ',79('*'))",
                      {ST.METHOD, ST.NSTEP});
            break;
    }
}

}  // namespace telma
