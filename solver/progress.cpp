// Progress lines of loops run on several threads.
#include <algorithm>
#include <mutex>

#include "QVLIB/STPWATCH/stpwatch.hpp"
#include "solver/kernels.hpp"

namespace telma {

namespace {

std::mutex lock;

}  // namespace

PROGRESS::PROGRESS(std::string_view fmt, int N) : fmt_(WIDEN(fmt, {N, N})), N_(N), done_(static_cast<std::size_t>(N) + 1) {}

void PROGRESS::done(int I) {
    const std::lock_guard<std::mutex> guard(lock);
    done_[I] = 1;
    while (next_ <= N_ && done_[next_]) {
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
