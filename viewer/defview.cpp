// DEFVIEW: the default view parameters (see korval.hpp).
#include "viewer/korval.hpp"

namespace korval {

void DEFVIEW() {
    AX = 0;
    AY = 0;
    AZ = 0;
    D = 5.0f;
    Th = 1.0471976f;  // 60 degrees
    Ps = 1.0471976f;
    Om = 0;
    Zx = 1.0f;
    Ex = 0.5f;
}

}  // namespace korval
