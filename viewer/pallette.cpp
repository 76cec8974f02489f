// PALLETTE: the blue-green-yellow-red colour of a value in 0 .. 1 (see
// korval.hpp).
#include "viewer/korval.hpp"

namespace korval {

void PALLETTE(float& R, float& G, float& B, float X) {
    constexpr float third = 0.33333334f, twoThirds = 0.6666667f;
    float t = X;
    if (t < 0) t = 0;
    if (t > 1) t = 1;
    if (t > twoThirds) {
        R = 1;
        G = 3 * (1 - t);
        B = 0;
    } else if (t > third) {
        R = 3 * t - 1;
        G = 1;
        B = 0;
    } else {
        R = 0;
        G = 3 * t;
        B = 1 - 3 * t;
    }
}

}  // namespace korval
