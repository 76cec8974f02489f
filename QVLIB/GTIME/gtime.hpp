// Wall clock: the local time of day.
#pragma once

namespace qvlib {

// Current local time: hour, minute, second, hundredths (milliseconds / 10,
// truncated).
void GTIME(int& IH, int& IM, int& IS, int& IC);

}  // namespace qvlib
