// Free-format number reader (RDSINT, RDFIX, RDREAL).
//
// The digits of a number are accumulated in a 4-byte integer and the decimal
// divisor is a power of ten in a 4-byte integer, which holds for numbers of at
// most 9 digits.  A mantissa or an exponent of more digits (leading zeros
// counted) would overflow the accumulator; such a number is read instead as
// the nearest 4-byte real to its whole decimal value.  The syntax rules are the same for both.
#include "QVLIB/STARREAD/starread.hpp"

#include <climits>
#include <cmath>
#include <cstdlib>
#include <string>

namespace qvlib {

namespace {

constexpr int MAXDIG = 9;  // digits that the 4-byte accumulator always holds

// What one scan found.
struct Scan {
    int status = 0;
    int sign = 1;
    std::string digits;  // every digit read, the point left out
    int ndec = 0;        // digits after the point
    bool point = false;
};

// Positions beyond the string hold blanks, as in a blank-padded buffer.
char at(std::string_view s, int i) {
    return i >= 1 && static_cast<std::size_t>(i) <= s.size() ? s[i - 1] : ' ';
}

// The scanning rule shared by RDSINT and RDFIX: the character is examined
// before the end test, so the first one is examined even when N is 0.
Scan scan(std::string_view str, int n, bool allowPoint) {
    Scan r;
    bool started = false;
    for (int i = 1;; ++i) {
        const char c = at(str, i);
        if (c == ' ') {
            if (started) break;
        } else if (c >= '0' && c <= '9') {
            started = true;
            r.digits += c;
            if (r.point) ++r.ndec;
        } else if ((c == '+' || c == '-') && !started) {
            started = true;
            if (c == '-') r.sign = -1;
        } else if (c == '.' && allowPoint && !r.point) {
            r.point = true;  // does not start the number
        } else {
            r.status = 1;
            return r;
        }
        if (i >= n) break;
    }
    return r;
}

// The accumulated integer of at most MAXDIG digits.
int accumulate(const std::string& digits) {
    int v = 0;
    for (char c : digits) v = 10 * v + (c - '0');
    return v;
}

// RDFIX's result by the 4-byte algorithm.
float fixValue(const Scan& s) {
    int idiv = 0;
    if (s.point) {
        idiv = 1;
        for (int k = 0; k < s.ndec; ++k) idiv *= 10;
    }
    float r = static_cast<float>(accumulate(s.digits));
    if (s.sign == -1) r = -r;
    if (idiv > 1) r = r / static_cast<float>(idiv);
    return r;
}

// Saturating decimal value of a digit string, for exponents of any length.
long long wideValue(const std::string& digits) {
    constexpr long long cap = 1000000000000LL;
    long long v = 0;
    for (char c : digits) {
        v = 10 * v + (c - '0');
        if (v > cap) return cap;
    }
    return v;
}

// The nearest 4-byte real to sign * digits * 10^(exp10 - ndec).
float nearest(const Scan& m, long long exp10) {
    std::string text = m.sign == -1 ? "-" : "";
    text += m.digits.empty() ? std::string("0") : m.digits;
    text += 'e';
    text += std::to_string(exp10 - m.ndec);
    return std::strtof(text.c_str(), nullptr);
}

}  // namespace

int RDSINT(std::string_view STR, int N, int& IVAL) {
    const Scan s = scan(STR, N, false);
    if (s.status != 0) {
        IVAL = 0;
        return 1;
    }
    if (s.digits.size() <= MAXDIG) {
        IVAL = s.sign * accumulate(s.digits);
    } else {
        // The nearest 4-byte integer.
        const long long v = s.sign * wideValue(s.digits);
        IVAL = v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : static_cast<int>(v);
    }
    return 0;
}

int RDFIX(std::string_view STR, int N, float& RVAL) {
    const Scan s = scan(STR, N, true);
    if (s.status != 0) {
        RVAL = 0;
        return 1;
    }
    RVAL = s.digits.size() <= MAXDIG ? fixValue(s) : nearest(s, 0);
    return 0;
}

int RDREAL(std::string_view STR, int N, float& RVAL) {
    int a = N + 1;
    for (int i = 1; i <= N; ++i) {
        const char c = at(STR, i);
        if (c == 'e' || c == 'E' || c == 'd' || c == 'D') {
            a = i;
            break;
        }
    }
    const Scan m = scan(STR, a - 1, true);
    if (m.status != 0) {
        RVAL = 0;
        return 1;
    }
    if (a >= N) {
        RVAL = m.digits.size() <= MAXDIG ? fixValue(m) : nearest(m, 0);
        return 0;
    }
    const Scan e = scan(STR.size() > static_cast<std::size_t>(a) ? STR.substr(a) : std::string_view(),
                        N - a, false);
    if (e.status != 0) {
        RVAL = 0;
        return 1;
    }
    if (m.digits.size() > MAXDIG || e.digits.size() > MAXDIG) {
        RVAL = nearest(m, e.sign * wideValue(e.digits));
        return 0;
    }
    RVAL = fixValue(m);
    const int iexp = e.sign * accumulate(e.digits);
    // A zero mantissa stays zero: 0 times an overflowed power would be NaN.
    if (iexp != 0 && RVAL != 0) {
        float p = 1.0f;
        const int k = iexp < 0 ? -iexp : iexp;
        for (int j = 0; j < k && !std::isinf(p); ++j) p = p * 10.0f;
        if (iexp < 0) p = 1.0f / p;
        RVAL = RVAL * p;
    }
    return 0;
}

}  // namespace qvlib
