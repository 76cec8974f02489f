// PostScript plotting primitives: picture header and trailer, and the linear
// mapping of user coordinates onto the page.
#pragma once

#include <array>

#include "textio/textio.hpp"

namespace qvlib {

// Plotting state, one for one output unit at a time.
struct PsState {
    textio::OutUnit* LU = nullptr;  // unit of the last PSBEGIN
    bool open = false;              // a picture header has been written
    int counter = 1;                // number of the current picture
    float fx = 1, fy = 1;           // mapping factors
    float ox = 0, oy = 0;           // mapping offsets
};
extern PsState PSSTATE;

// A window: xmin, xmax, ymin, ymax.
using Window = std::array<float, 4>;

// Resets the mapping; writes the picture header unless a picture is open.
void PSBEGIN(textio::OutUnit& LU);
// Writes the trailer to the unit of the last PSBEGIN, closes the picture and
// counts it.  Writes nothing when no PSBEGIN ever set a unit.
void PSEND();
// Maps the user window UWIN onto the page window PWIN.
void PSSCALE(const Window& PWIN, const Window& UWIN);
// Maps one user point onto the page.
void PSXFORM(float UX, float UY, float& XPG, float& YPG);

}  // namespace qvlib
