// Output units and the console.
#include <iostream>
#include <ostream>
#include <string>

#include "textio/textio.hpp"

namespace textio {

void OutUnit::put(std::string_view text) {
    if (text.empty()) return;
    os_->write(text.data(), static_cast<std::streamsize>(text.size()));
    open_ = text.back() != '\n';
    if (lineFlush_ && text.find('\n') != std::string_view::npos) os_->flush();
}

void OutUnit::write(std::string_view fmt, std::span<const Item> items) { put(format(fmt, items)); }

void OutUnit::write(std::string_view fmt, std::initializer_list<Item> items) { put(format(fmt, items)); }

void OutUnit::writeFree(std::initializer_list<std::string_view> texts) {
    std::string rec = " ";
    for (std::string_view t : texts) rec += t;
    rec += '\n';
    put(rec);
}

void OutUnit::endRecord() {
    if (open_) put("\n");
}

void OutUnit::flush() { os_->flush(); }

OutUnit& console() {
    static OutUnit con(std::cout, true);
    return con;
}

bool consoleLine(std::string& line) {
    // The prompt must be visible before the program waits for the answer; the
    // record it opened stays open (the typed answer's line end is the user's).
    console().flush();
    return readLine(std::cin, line);
}

void stop(std::string_view msg, int status) {
    std::string rec(msg);
    rec += '\n';
    console().put(rec);
    console().flush();
    throw Stop{status};
}

void finish() {
    console().endRecord();
    console().flush();
}

ConsoleCapture::ConsoleCapture() : old_(std::cout.rdbuf(buf_.rdbuf())) {}

ConsoleCapture::~ConsoleCapture() {
    console().flush();
    std::cout.rdbuf(old_);
}

std::string ConsoleCapture::text() {
    console().flush();
    return buf_.str();
}

}  // namespace textio
