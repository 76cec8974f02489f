// Stopwatch on the wall clock of GTIME.
#pragma once

namespace qvlib {

// Seconds since midnight of a clock reading.
double S(int IH, int IM, int IS, int IC);

// Seconds since midnight at the last start; 0 before the first.
extern double T0;

void SWSTRT();           // start or restart
void SWTIME(float& T);   // seconds since the last start
void SWSHOW();           // writes " Elapsed time :" and the seconds to the console

}  // namespace qvlib
