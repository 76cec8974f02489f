// Progress lines of loops run on several threads.
#include <algorithm>
#include <mutex>

#include "QVLIB/STPWATCH/stpwatch.hpp"
#include "solver/kernels.hpp"

namespace telma {

namespace {

// Indices done so far, of the one loop that is running.
std::array<unsigned char, std::max(NBEMAX, NIPMAX) + 1> DONE{};
std::mutex lock;

}  // namespace

PROGRESS::PROGRESS(std::string_view fmt, int N) : fmt_(fmt), N_(N) {
    for (int I = 1; I <= N_; ++I) DONE[I] = 0;
}

void PROGRESS::done(int I) {
    const std::lock_guard<std::mutex> guard(lock);
    DONE[I] = 1;
    while (next_ <= N_ && DONE[next_]) {
        ++next_;
        if (next_ <= N_ && next_ % 10 == 0) {
            textio::OutUnit& con = textio::console();
            con.write(fmt_, {next_, N_});
            float t;
            qvlib::SWTIME(t);
            con.write("(', time :',f8.3)", {t});
        }
    }
}

}  // namespace telma
