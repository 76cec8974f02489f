// Formatted output: the format notation and its edit descriptors.
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "textio/textio.hpp"

namespace textio {

namespace {

constexpr int MAXNUM = 9999;  // largest width, count or digit number of a format

// A format is parsed once into a flat list of descriptors; repeat counts of
// groups and descriptors are expanded.
struct Desc {
    enum Kind { Text, X, Slash, Backslash, Scale, I, F, E, A } kind;
    int w = 0;
    int d = 0;
    std::string text{};
    bool isData() const { return kind == I || kind == F || kind == E || kind == A; }
};

[[noreturn]] void bad(std::string_view fmt, const char* why) {
    throw std::logic_error("format " + std::string(fmt) + ": " + why);
}

class Parser {
public:
    explicit Parser(std::string_view fmt) : f_(fmt) {}

    std::vector<Desc> parse() {
        skipBlanks();
        if (!eat('(')) bad(f_, "must start with (");
        std::vector<Desc> out = list();
        if (!eat(')')) bad(f_, "unbalanced parentheses");
        skipBlanks();
        if (p_ != f_.size()) bad(f_, "text after the closing parenthesis");
        return out;
    }

private:
    void skipBlanks() {
        while (p_ < f_.size() && f_[p_] == ' ') ++p_;
    }
    bool eat(char c) {
        skipBlanks();
        if (p_ < f_.size() && f_[p_] == c) {
            ++p_;
            return true;
        }
        return false;
    }
    bool peekDigit() {
        skipBlanks();
        return p_ < f_.size() && std::isdigit(static_cast<unsigned char>(f_[p_]));
    }
    int number() {
        skipBlanks();
        int n = 0;
        bool any = false;
        while (p_ < f_.size() && std::isdigit(static_cast<unsigned char>(f_[p_]))) {
            n = n * 10 + (f_[p_++] - '0');
            any = true;
            // Widths and counts beyond any record: a slip, not a field.
            if (n > MAXNUM) bad(f_, "number above 9999");
        }
        if (!any) bad(f_, "number expected");
        return n;
    }

    // Items of a list up to (not including) its closing parenthesis.
    std::vector<Desc> list() {
        std::vector<Desc> out;
        for (;;) {
            skipBlanks();
            if (p_ >= f_.size()) bad(f_, "unbalanced parentheses");
            const char c = f_[p_];
            if (c == ')') return out;
            if (c == ',') {
                ++p_;
                continue;
            }
            item(out);
        }
    }

    void item(std::vector<Desc>& out) {
        const char c = f_[p_];
        if (c == '/') {
            ++p_;
            out.push_back({Desc::Slash});
            return;
        }
        if (c == '\\') {
            ++p_;
            out.push_back({Desc::Backslash});
            return;
        }
        if (c == '\'' || c == '"') {
            out.push_back(quoted());
            return;
        }
        int rep = 1;
        bool hasRep = false;
        if (peekDigit()) {
            rep = number();
            hasRep = true;
        }
        skipBlanks();
        if (p_ >= f_.size()) bad(f_, "descriptor expected");
        const char k = static_cast<char>(std::toupper(static_cast<unsigned char>(f_[p_])));
        if (k == '(' || k == '\'' || k == '"') {
            std::vector<Desc> group;
            if (k == '(') {
                ++p_;
                group = list();
                if (!eat(')')) bad(f_, "unbalanced parentheses");
            } else {
                group.push_back(quoted());
            }
            for (int r = 0; r < rep; ++r) out.insert(out.end(), group.begin(), group.end());
            return;
        }
        ++p_;
        switch (k) {
            case 'X':
                out.push_back({Desc::X, hasRep ? rep : 1});
                return;
            case 'P':
                if (!hasRep) bad(f_, "scale factor without a number");
                out.push_back({Desc::Scale, rep});
                return;
            case 'I': {
                Desc d{Desc::I, number()};
                for (int r = 0; r < rep; ++r) out.push_back(d);
                return;
            }
            case 'F':
            case 'E': {
                Desc d{k == 'F' ? Desc::F : Desc::E, number()};
                if (!eat('.')) bad(f_, "Fw.d or Ew.d expected");
                d.d = number();
                for (int r = 0; r < rep; ++r) out.push_back(d);
                return;
            }
            case 'A': {
                Desc d{Desc::A, peekDigit() ? number() : 0};
                for (int r = 0; r < rep; ++r) out.push_back(d);
                return;
            }
            default:
                bad(f_, "unknown descriptor");
        }
    }

    Desc quoted() {
        const char q = f_[p_++];
        Desc d{Desc::Text};
        for (;;) {
            if (p_ >= f_.size()) bad(f_, "unterminated text");
            const char c = f_[p_++];
            if (c == q) {
                if (p_ < f_.size() && f_[p_] == q) {  // a doubled quote stands for one
                    d.text += q;
                    ++p_;
                    continue;
                }
                return d;
            }
            d.text += c;
        }
    }

    std::string_view f_;
    std::size_t p_ = 0;
};

const std::vector<Desc>& parsed(std::string_view fmt) {
    static std::mutex m;
    static std::unordered_map<std::string, std::vector<Desc>> cache;
    std::lock_guard<std::mutex> lock(m);
    auto it = cache.find(std::string(fmt));
    if (it == cache.end()) it = cache.emplace(std::string(fmt), Parser(fmt).parse()).first;
    return it->second;
}

std::string stars(int w) { return std::string(static_cast<std::size_t>(w), '*'); }

std::string rightJustify(const std::string& s, int w) {
    if (static_cast<int>(s.size()) > w) return stars(w);
    return std::string(static_cast<std::size_t>(w) - s.size(), ' ') + s;
}

// Infinity and NaN are written as words, right-justified.
bool nonFinite(double v, int w, std::string& out) {
    if (std::isfinite(v)) return false;
    std::string s = std::isnan(v) ? "NaN" : (v < 0 ? "-Infinity" : "Infinity");
    if (std::isinf(v) && static_cast<int>(s.size()) > w) s = v < 0 ? "-Inf" : "Inf";
    out = rightJustify(s, w);
    return true;
}

// One record being built: blanks of nX are held back until a character
// follows them, so a record ends where its last written character ends.
struct Record {
    std::string out;
    std::size_t pending = 0;
    void put(std::string_view s) {
        out.append(pending, ' ');
        pending = 0;
        out.append(s);
    }
    void end() {
        pending = 0;
        out += '\n';
    }
};

}  // namespace

std::string editI(long long v, int w) { return rightJustify(std::to_string(v), w); }

std::string editF(double v, int w, int d) {
    std::string out;
    if (nonFinite(v, w, out)) return out;
    char buf[512];
    const int n = std::snprintf(buf, sizeof buf, "%.*f", d, std::fabs(v));
    if (n < 0 || n >= static_cast<int>(sizeof buf)) return stars(w);
    std::string s(buf, static_cast<std::size_t>(n));
    if (d == 0) s += '.';
    if (s.size() > 1 && s[0] == '0' && s[1] == '.') s.erase(0, 1);  // no digit before the point below 1
    if (v < 0) s.insert(0, 1, '-');
    return rightJustify(s, w);
}

std::string editE(double v, int w, int d, int scale) {
    std::string out;
    if (nonFinite(v, w, out)) return out;
    // With scale 1 the mantissa has one digit before the point and d after;
    // with scale 0 it is 0.ddd with d significant digits.
    const int digitsAfter = scale >= 1 ? d : d - 1;
    if (digitsAfter < 0) return stars(w);
    std::string s(static_cast<std::size_t>(digitsAfter) + 16, '\0');  // d.ddd...E+ddd and the end
    s.resize(static_cast<std::size_t>(std::snprintf(s.data(), s.size(), "%.*E", digitsAfter, std::fabs(v))));
    const std::size_t e = s.find('E');
    std::string mant = s.substr(0, e);
    int ex = std::atoi(s.c_str() + e + 1);
    if (scale < 1) {
        // d.ddd E x  ->  0.dddd E x+1  (zero stays at exponent 0)
        std::string digits;
        for (char c : mant)
            if (c != '.') digits += c;
        mant = "0." + digits;
        if (v != 0) ex += 1;
    }
    char eb[16];
    if (std::abs(ex) <= 99)
        std::snprintf(eb, sizeof eb, "E%c%02d", ex < 0 ? '-' : '+', std::abs(ex));
    else
        std::snprintf(eb, sizeof eb, "%c%03d", ex < 0 ? '-' : '+', std::abs(ex));
    s = mant + eb;
    if (v < 0) s.insert(0, 1, '-');
    return rightJustify(s, w);
}

std::string format(std::string_view fmt, std::span<const Item> items) {
    const std::vector<Desc>& ds = parsed(fmt);
    Record rec;
    std::size_t next = 0;
    int scale = 0;
    bool keepOpen = false;
    auto take = [&](Item::Kind k) -> const Item& {
        const Item& it = items[next++];
        if (it.kind() != k && !(k == Item::Kind::Real && it.kind() == Item::Kind::Int))
            throw std::logic_error("format " + std::string(fmt) + ": item of the wrong kind");
        return it;
    };
    bool anyData = false;
    for (const Desc& d : ds) anyData = anyData || d.isData();

    for (std::size_t k = 0;; ++k) {
        if (k == ds.size()) {
            // More items than the format holds: a new record, the format again.
            if (next < items.size() && anyData) {
                rec.end();
                k = static_cast<std::size_t>(-1);
                scale = 0;
                continue;
            }
            break;
        }
        const Desc& d = ds[k];
        if (d.isData() && next >= items.size()) break;
        keepOpen = false;
        switch (d.kind) {
            case Desc::Text: rec.put(d.text); break;
            case Desc::X: rec.pending += static_cast<std::size_t>(d.w); break;
            case Desc::Slash: rec.end(); break;
            case Desc::Backslash: keepOpen = true; break;
            case Desc::Scale: scale = d.w; break;
            case Desc::I: {
                const Item& it = take(Item::Kind::Int);
                rec.put(editI(it.i(), d.w));
                break;
            }
            case Desc::F: {
                const Item& it = take(Item::Kind::Real);
                rec.put(editF(it.kind() == Item::Kind::Int ? static_cast<double>(it.i()) : it.r(), d.w, d.d));
                break;
            }
            case Desc::E: {
                const Item& it = take(Item::Kind::Real);
                rec.put(editE(it.kind() == Item::Kind::Int ? static_cast<double>(it.i()) : it.r(), d.w, d.d, scale));
                break;
            }
            case Desc::A: {
                const Item& it = take(Item::Kind::Text);
                std::string_view s = it.s();
                if (d.w == 0) {
                    rec.put(s);
                } else if (static_cast<std::size_t>(d.w) <= s.size()) {
                    rec.put(s.substr(0, static_cast<std::size_t>(d.w)));
                } else {
                    rec.put(std::string(static_cast<std::size_t>(d.w) - s.size(), ' ') + std::string(s));
                }
                break;
            }
        }
    }
    // A backslash keeps the record open only when it is the last thing processed.
    if (!keepOpen) rec.end();
    return rec.out;
}

}  // namespace textio
