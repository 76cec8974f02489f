#include "QVLIB/GTIME/gtime.hpp"

#include <chrono>
#include <ctime>

namespace qvlib {

void GTIME(int& IH, int& IM, int& IS, int& IC) {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t t = system_clock::to_time_t(now);
    const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm lt{};
    localtime_r(&t, &lt);
    IH = lt.tm_hour;
    IM = lt.tm_min;
    IS = lt.tm_sec;
    IC = static_cast<int>(ms) / 10;
}

}  // namespace qvlib
