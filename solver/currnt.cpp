// Fluxes through the groups of elements with negative codes, and the
// warning that closes the report of a solve that did not converge.
#include <initializer_list>
#include <string>
#include <string_view>

#include "solver/telma.hpp"

namespace telma {

namespace {

// The CURRENTS block goes to the report and to the console alike.
void both(textio::OutUnit& rep, std::string_view fmt, std::initializer_list<textio::Item> items = {}) {
    rep.write(fmt, items);
    textio::console().write(fmt, items);
}

}  // namespace

void CURRNT(textio::OutUnit& rep) {
    for (int K = 1; K <= NGMAX; ++K) FLUX[K] = 0.0;
    NGRP = 0;
    for (int I = 1; I <= NBE; ++I) {
        if (KODE[I] < 0) {
            const int K = -KODE[I];
            FLUX[K] += B[I] * AREA[I];
            if (K > NGRP) NGRP = K;
        }
    }
    if (NGRP == 0) return;
    both(rep, "(/' CURRENTS'/)");
    const std::string line = WIDEN("(' FLUX',I3,' :',1Pe12.5)", {NGRP});
    for (int K = 1; K <= NGRP; ++K) both(rep, line, {K, FLUX[K]});
    rep.write("(' ',79('*'))");
}

void CNVREP(textio::OutUnit& rep) {
    if (STAT.CONVGD) return;
    rep.write("(/' *** WARNING: THE SOLUTION DID NOT CONVERGE',/,' AFTER',i4,1X,A,"
              "' THE RMS CHANGE WAS',1Pe10.3,' (TOLERANCE',1Pe10.3,')',/,' ',79('*'))",
              {STAT.NSTEP, STAT.STEPS, STAT.CHANGE, STAT.EPS});
}

}  // namespace telma
