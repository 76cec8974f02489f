// Formatted text records: the format notation in which every message, prompt,
// report line and picture line is written, free-form list reading, the console
// as a unit, and file names resolved without regard to letter case.
//
// A format is held exactly as written in the program, e.g.
//     rep.write("(1X,I4,9X,I3,8X,1P,E14.5)", {I, KODE[I], VBC[I]});
#pragma once

#include <cstdio>
#include <fstream>
#include <initializer_list>
#include <iosfwd>
#include <memory>
#include <ostream>
#include <sstream>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace textio {

// ---------------------------------------------------------------- errors

// An input/output failure: what failed, in which file, at which line and what
// was expected.  what() reads e.g. `TELMA.IN:7: expected an integer (NPE of
// element 3), found "4.5"`; the program adds its own name in front.
class IoError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A command line that cannot be run: what() is the one-line message; the
// program adds its name and its usage, and ends with status 2.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A stop with a message: the message has already been written to the console;
// main() returns `status` (0 for an orderly end, 1 for a run that could not
// do its job).
struct Stop {
    int status;
};

// ---------------------------------------------------------------- output

// One item of a formatted write: an integer, a real or a character value
// (the latter in its full length; pad it to the declared length yourself).
class Item {
public:
    enum class Kind { Int, Real, Text };
    Item(int v) : kind_(Kind::Int), i_(v) {}
    Item(double v) : kind_(Kind::Real), r_(v) {}
    Item(float v) : kind_(Kind::Real), r_(v) {}
    Item(std::string_view s) : kind_(Kind::Text), s_(s) {}
    Item(const char* s) : kind_(Kind::Text), s_(s) {}
    Item(const std::string& s) : kind_(Kind::Text), s_(s) {}
    Kind kind() const { return kind_; }
    long long i() const { return i_; }
    double r() const { return r_; }
    std::string_view s() const { return s_; }

private:
    Kind kind_;
    long long i_ = 0;
    double r_ = 0;
    std::string_view s_;
};

// Applies a format to items.  Returns the text: every completed record ends
// with '\n'; when the format ends with a backslash the last record is left
// without one (it is continued by the next write to the same unit).
// A malformed format or an item of the wrong kind is a programming error and
// throws std::logic_error.
std::string format(std::string_view fmt, std::span<const Item> items);
inline std::string format(std::string_view fmt, std::initializer_list<Item> items = {}) {
    return format(fmt, std::span<const Item>(items.begin(), items.size()));
}

// Single edit descriptors, exposed for code and tests that need one field.
std::string editI(long long v, int w);
std::string editF(double v, int w, int d);
std::string editE(double v, int w, int d, int scale);  // scale = the nP factor

// An output unit: a stream plus the record state.  Each write starts a new
// record unless the previous write to this unit ended with a backslash.
class OutUnit {
public:
    // LINEFLUSH: each completed record is flushed at once (the console, so
    // that progress reaches a pipe or a file as it is made).
    explicit OutUnit(std::ostream& os, bool lineFlush = false) : os_(&os), lineFlush_(lineFlush) {}
    void write(std::string_view fmt, std::initializer_list<Item> items = {});
    void write(std::string_view fmt, std::span<const Item> items);
    // Free-form write of text items: one blank, then the items, one record.
    void writeFree(std::initializer_list<std::string_view> texts);
    // Writes raw text that is already laid out in records.
    void put(std::string_view text);
    // Ends a record left open by a backslash (used at program end).
    void endRecord();
    bool recordOpen() const { return open_; }
    void flush();

private:
    std::ostream* os_;
    bool lineFlush_;
    bool open_ = false;
};

// ---------------------------------------------------------------- input

// One line of a text stream without its line end, LF or CR LF; false at end of
// input.
bool readLine(std::istream& in, std::string& line);

// Sequential reading of a text file (or the console): whole lines with "(A)",
// "(////)", and free-form list-directed statements.  Lines end with LF or CR LF.
//
// A free-form statement is begin(), reads, end():
//     in.begin();
//     in.read(NBE, "NBE"); ...
//     in.end();          // the rest of the last line is skipped
// A read returns false when a slash has ended the statement early; the variable
// is then left unchanged.  Any other failure throws IoError.
class Reader {
public:
    Reader(std::istream& in, std::string name) : in_(&in), name_(std::move(name)) {}

    // "(A)": the next whole line, padded with blanks or cut to `len` characters.
    std::string readA(std::size_t len);
    // Passes over n whole lines ("(////)" is 5).
    void skipLines(int n);
    // Next whole line, without the line end; false at end of file.
    bool getLine(std::string& line);

    void begin();
    bool read(int& v, std::string_view what);
    bool read(double& v, std::string_view what);
    bool read(float& v, std::string_view what);
    void end();

    // Throws IoError "name:line: msg", the line being the last one read.
    [[noreturn]] void fail(std::string_view msg) const;

private:
    enum class Tok { Value, Null, Slash };
    Tok next(std::string& tok, std::string_view what, const char* kind);
    template <class T>
    bool readValue(T& v, std::string_view what);

    std::istream* in_;
    std::string name_;
    int lineno_ = 0;
    std::string line_;
    std::size_t pos_ = 0;
    bool haveLine_ = false;   // a line of the current statement is loaded
    bool touched_ = false;    // the current statement has loaded a line
    bool slashed_ = false;    // a slash ended the current statement
    bool comma_ = false;      // the last separator was a comma
    int repeat_ = 0;          // pending copies of repValue_
    std::string repValue_;    // empty for n* (n empty values)
};

// Parsers of single free-form values, exposed for tests: true on success.
bool parseInt(std::string_view s, int& v);
bool parseReal(std::string_view s, double& v);
bool parseReal(std::string_view s, float& v);

// ---------------------------------------------------------------- console

// The console unit: standard output with its record state, standard input read
// line by line.  Output is flushed before every read so that a prompt stays on
// its line; a record left open by a prompt is continued by the next output.
OutUnit& console();
// Reads one console line; false at end of input.
bool consoleLine(std::string& line);
// Writes `msg` to the console (continuing an open record) with a line end and
// throws Stop{status}.
[[noreturn]] void stop(std::string_view msg, int status);
// Ends an open console record and flushes; called once at program end.
void finish();
// A note, warning or hint of the program on standard error: the console is
// flushed first, so that both streams read in order on one terminal; FMT
// and its arguments as printf takes them, the line end added.
[[gnu::format(printf, 1, 2)]] void notice(const char* fmt, ...);
// HEARTBEAT: while it lives, a line " Still busy with WHAT, time : T" (T the
// seconds since it began) each time the console has said nothing for PERIOD
// seconds, so that a long phase is never silent for long.  The console's
// writes are serialised with it.
class HEARTBEAT {
public:
    explicit HEARTBEAT(std::string what, double period = 10.0);
    ~HEARTBEAT();
    HEARTBEAT(const HEARTBEAT&) = delete;
    HEARTBEAT& operator=(const HEARTBEAT&) = delete;

private:
    struct Impl;
    std::unique_ptr<Impl> p_;
};

// Takes what the console unit writes while it lives (drivers that run the
// solver in-process: the benchmark, the tests); text() is that so far.
class ConsoleCapture {
public:
    ConsoleCapture();
    ~ConsoleCapture();
    ConsoleCapture(const ConsoleCapture&) = delete;
    ConsoleCapture& operator=(const ConsoleCapture&) = delete;
    std::string text();

private:
    std::ostringstream buf_;
    std::streambuf* old_;
};

// ---------------------------------------------------------------- files

// The existing file whose name matches `name` without regard to letter case
// (an exact match first); `name` itself when there is none.
std::string resolveExisting(const std::string& name);
// Opens an existing file for reading ("OLD"); throws IoError when it is missing.
std::ifstream openOld(const std::string& name);
// An output file that takes the place of its name only when it is complete:
// the text goes to a temporary file beside it (".NAME.PID-N.tmp"), which
// commit() renames onto the name, so that a run killed while writing leaves
// the previous file whole.  An existing file matching the name without regard
// to case is the one replaced, and keeps its permissions.  A name that exists
// as something other than a regular file (a terminal, a pipe, /dev/null) is
// written directly.  Destroyed without commit(), the temporary file is
// removed and the previous file stays.  Write failures keep the system's
// reason (errno), which the messages carry.
class OutFile : public std::ostream {
public:
    OutFile();
    // Opens ("UNKNOWN"); throws IoError "NAME: cannot create the file for
    // writing (REASON)", or "NAME: is a folder, not a file".
    explicit OutFile(const std::string& name);
    OutFile(OutFile&& o) noexcept;
    OutFile& operator=(OutFile&& o) noexcept;
    ~OutFile() override;
    // Flushes, closes and puts the file in place; throws IoError
    // "NAME: WHAT (REASON)" when any of it failed.  Nothing is done twice.
    void commit(std::string_view what = "writing the file failed");
    // Removes the temporary file: the previous file stays.
    void discard();
    bool isOpen() const;

private:
    struct Impl;
    std::unique_ptr<Impl> p_;
};
// Opens an output file ("UNKNOWN"), as OutFile(name).
OutFile openUnknown(const std::string& name);
// Whether two names are one file: the same device and inode when both exist,
// else the same absolute path once both are resolved (letter case aside).
bool sameFile(const std::string& a, const std::string& b);
// Throws IoError when the output `out` is the same file as the input `in`,
// so that writing `out` would destroy the input.
void refuseInput(const std::string& out, const std::string& in);
// Throws IoError when two outputs of one run are the same file, so that one
// of them would be lost.
void refuseOutput(const std::string& out, const std::string& other);
// The system's reason for the last failure (strerror of errno).
std::string reason();

// ---------------------------------------------------------------- command lines

// One option a program takes.  FORM is how its value is written in
// messages (nullptr: a flag, which takes no value); WORDS is how many words
// its value is (the first may be joined by "="); LETTER is its one-letter
// form ("-o"), or 0.
struct OPTSPEC {
    std::string_view name;
    const char* form = nullptr;
    int words = 1;
    char letter = 0;
};
// One option as the command line gave it: its name and its value's words
// (none for a flag).
struct OPTWORD {
    std::string name;
    std::vector<std::string> values;
    const std::string& value() const { return values.front(); }
};

// READOPTS: reads the options that lead ARGV(K..ARGC-1), by getopt_long, against
// SPECS: --name=value and --name value alike, a name shortened to any beginning
// that only one option has, one-letter forms where the specs give them (a word
// with a single leading "-" is otherwise no option).  They end at the first
// word that is not an option, or after "--", where ENDED is set.  Returns them
// in order and leaves K at the first word after them.  Throws UsageError on an
// unknown or ambiguous option, a missing value, or a value given to a flag.
std::vector<OPTWORD> READOPTS(int argc, char** argv, int& k, std::span<const OPTSPEC> specs, bool& ended);

// The words after the options of a command line, the program's name first:
// ARGV(0), then ARGV(K..ARGC-1).  Unless a "--" ENDED the options, a word that
// begins with "--" there is refused: UsageError "options come before THEM:
// "WORD"".
std::vector<char*> wordsAfterOptions(int argc, char** argv, int k, bool ended, std::string_view them);

}  // namespace textio
