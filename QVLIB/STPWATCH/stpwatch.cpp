// The stopwatch:
//
//   SWSTRT  starts it
//   SWTIME  seconds since the start
//   SWSHOW  writes the time since the start on the console
#include "QVLIB/STPWATCH/stpwatch.hpp"

#include "QVLIB/GTIME/gtime.hpp"
#include "textio/textio.hpp"

namespace qvlib {

double T0 = 0.0;

double S(int IH, int IM, int IS, int IC) {
    return (static_cast<double>(IH) * 60 + IM) * 60 + IS + IC * 0.01;
}

static double now() {
    int ih, im, is, ic;
    GTIME(ih, im, is, ic);
    return S(ih, im, is, ic);
}

void SWSTRT() { T0 = now(); }

void SWTIME(float& T) { T = static_cast<float>(now() - T0); }

void SWSHOW() {
    float t;
    SWTIME(t);
    textio::console().write("(' Elapsed time :',f8.2)", {t});
}

}  // namespace qvlib
