// Sequential input: whole lines and free-form list-directed statements.
#include <climits>
#include <cstdlib>
#include <istream>
#include <string>
#include <type_traits>

#include "textio/textio.hpp"

namespace textio {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Checks the syntax of a real constant and rewrites it for strtod:
//   [sign] digits [. [digits]] | [sign] . digits
//   then optionally  (E|e|D|d) [sign] digits   or   sign digits
// The second exponent form (a sign without a letter) is what the writer
// itself produces for exponents of three digits, e.g. 1.25000-100.
bool normalizeReal(std::string_view s, std::string& out) {
    std::size_t p = 0;
    out.clear();
    if (p < s.size() && (s[p] == '+' || s[p] == '-')) out += s[p++];
    std::size_t mant = 0;
    while (p < s.size() && isDigit(s[p])) out += s[p++], ++mant;
    if (p < s.size() && s[p] == '.') {
        out += s[p++];
        while (p < s.size() && isDigit(s[p])) out += s[p++], ++mant;
    }
    if (mant == 0) return false;
    if (p == s.size()) return true;
    const char c = s[p];
    if (c == 'E' || c == 'e' || c == 'D' || c == 'd') {
        ++p;
    } else if (c != '+' && c != '-') {
        return false;
    }
    out += 'E';
    if (p < s.size() && (s[p] == '+' || s[p] == '-')) out += s[p++];
    std::size_t ed = 0;
    while (p < s.size() && isDigit(s[p])) out += s[p++], ++ed;
    return ed > 0 && p == s.size();
}

}  // namespace

bool parseInt(std::string_view s, int& v) {
    std::size_t p = 0;
    bool neg = false;
    if (p < s.size() && (s[p] == '+' || s[p] == '-')) neg = s[p++] == '-';
    if (p == s.size()) return false;
    long long acc = 0;
    for (; p < s.size(); ++p) {
        if (!isDigit(s[p])) return false;
        acc = acc * 10 + (s[p] - '0');
        if (acc > static_cast<long long>(INT_MAX) + 1) return false;
    }
    if (neg) acc = -acc;
    if (acc > INT_MAX || acc < INT_MIN) return false;
    v = static_cast<int>(acc);
    return true;
}

bool parseReal(std::string_view s, double& v) {
    std::string n;
    if (!normalizeReal(s, n)) return false;
    v = std::strtod(n.c_str(), nullptr);  // overflow gives infinity, as the value read
    return true;
}

bool parseReal(std::string_view s, float& v) {
    std::string n;
    if (!normalizeReal(s, n)) return false;
    v = std::strtof(n.c_str(), nullptr);
    return true;
}

bool readLine(std::istream& in, std::string& line) {
    if (!std::getline(in, line)) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

bool Reader::getLine(std::string& line) {
    if (!readLine(*in_, line)) return false;
    ++lineno_;
    return true;
}

void Reader::fail(std::string_view msg) const {
    throw IoError(name_ + ":" + std::to_string(lineno_) + ": " + std::string(msg));
}

std::string Reader::readA(std::size_t len) {
    std::string line;
    if (!getLine(line)) fail("unexpected end of file, expected a line of text");
    line.resize(len, ' ');
    return line;
}

void Reader::skipLines(int n) {
    std::string line;
    for (int k = 0; k < n; ++k)
        if (!getLine(line)) fail("unexpected end of file, expected " + std::to_string(n - k) + " more lines");
}

void Reader::begin() {
    haveLine_ = false;
    touched_ = false;
    slashed_ = false;
    comma_ = false;
    repeat_ = 0;
}

void Reader::end() {
    // The rest of the last line is skipped; a statement that read nothing
    // passes over one line.
    if (!touched_) {
        std::string skip;
        getLine(skip);
    }
}

// The next value of the statement: Value with its text, Null for an empty
// value (leaves the variable unchanged), Slash once a slash has ended it.
Reader::Tok Reader::next(std::string& tok, std::string_view what, const char* kind) {
    if (slashed_) return Tok::Slash;
    if (repeat_ > 0) {
        --repeat_;
        tok = repValue_;
        return repValue_.empty() ? Tok::Null : Tok::Value;
    }
    for (;;) {
        if (!haveLine_) {
            if (!getLine(line_))
                fail("unexpected end of file, expected " + std::string(kind) + " (" + std::string(what) + ")");
            haveLine_ = touched_ = true;
            comma_ = false;
            pos_ = 0;
        }
        while (pos_ < line_.size() && (line_[pos_] == ' ' || line_[pos_] == '\t')) ++pos_;
        if (pos_ >= line_.size()) {
            haveLine_ = false;
            continue;
        }
        const char c = line_[pos_];
        if (c == ',') {
            ++pos_;
            if (comma_) return Tok::Null;  // two commas: an empty value
            comma_ = true;
            continue;
        }
        if (c == '/') {
            slashed_ = true;
            return Tok::Slash;
        }
        std::size_t e = pos_;
        while (e < line_.size() && line_[e] != ' ' && line_[e] != '\t' && line_[e] != ',' && line_[e] != '/') ++e;
        tok.assign(line_, pos_, e - pos_);
        pos_ = e;
        // Skip the separator that ends the value, so a following comma is not
        // taken as a second one.
        while (pos_ < line_.size() && (line_[pos_] == ' ' || line_[pos_] == '\t')) ++pos_;
        comma_ = pos_ < line_.size() && line_[pos_] == ',';
        if (comma_) ++pos_;
        // n*value and n* (n empty values)
        const std::size_t star = tok.find('*');
        if (star != std::string::npos) {
            int n = 0;
            if (!parseInt(std::string_view(tok).substr(0, star), n) || n < 1)
                fail("bad repeat count in \"" + tok + "\", expected " + kind + " (" + std::string(what) + ")");
            repValue_ = tok.substr(star + 1);
            repeat_ = n - 1;
            tok = repValue_;
            return repValue_.empty() ? Tok::Null : Tok::Value;
        }
        return Tok::Value;
    }
}

namespace {

template <class T>
constexpr const char* kindOf() {
    return std::is_same_v<T, int> ? "an integer" : "a real";
}

bool parseAny(std::string_view s, int& v) { return parseInt(s, v); }
template <class T>
bool parseAny(std::string_view s, T& v) {
    return parseReal(s, v);
}

}  // namespace

template <class T>
bool Reader::readValue(T& v, std::string_view what) {
    std::string tok;
    switch (next(tok, what, kindOf<T>())) {
        case Tok::Slash: return false;
        case Tok::Null: return true;
        case Tok::Value: break;
    }
    if (!parseAny(tok, v)) fail("expected " + std::string(kindOf<T>()) + " (" + std::string(what) + "), found \"" + tok + "\"");
    return true;
}

bool Reader::read(int& v, std::string_view what) { return readValue(v, what); }
bool Reader::read(double& v, std::string_view what) { return readValue(v, what); }
bool Reader::read(float& v, std::string_view what) { return readValue(v, what); }

}  // namespace textio
