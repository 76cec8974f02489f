// The viewer's run-wide state: zero at program start, like every table.
#include "viewer/korval.hpp"

namespace korval {

int ICOL = 0;
int IPOT = 0;
bool HIDE = false;

int Npt = 0, nfa = 0, nfa2 = 0;
std::array<int, NPMAX + 1> NP{};
float XYZ[NPMAX + 1][4]{};
std::array<float, NPMAX + 1> VAL{};
float solmin = 0, solmax = 0;

float AX = 0, AY = 0, AZ = 0, D = 0, Th = 0, Ps = 0, Om = 0, Zx = 0, Ex = 0;

std::string DNAME = "tELMA.in", RNAME = "TELMA.out";
std::string FNAME = "KORV.PS";

Persp PERSP{};

}  // namespace korval
