// Steps 6 to 17 of the run: geometry, assembly, solve, results.
#include "solver/telma.hpp"

namespace telma {

void SOLVE(textio::OutUnit& /*rep*/) {}

}  // namespace telma
