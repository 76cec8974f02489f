// Output units and the console.
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <chrono>
#include <condition_variable>
#include <iostream>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>

#include "textio/textio.hpp"

namespace textio {

namespace {

using CLOCK = std::chrono::steady_clock;
std::mutex CONSOLE;                      // the console's writes, one at a time
std::atomic<CLOCK::rep> LASTWRITE{0};    // when the console last wrote

}  // namespace

void OutUnit::put(std::string_view text) {
    if (text.empty()) return;
    std::unique_lock<std::mutex> one(CONSOLE, std::defer_lock);
    if (lineFlush_) one.lock();
    os_->write(text.data(), static_cast<std::streamsize>(text.size()));
    open_ = text.back() != '\n';
    if (lineFlush_ && text.find('\n') != std::string_view::npos) {
        os_->flush();
        LASTWRITE = CLOCK::now().time_since_epoch().count();
    }
}

struct HEARTBEAT::Impl {
    std::mutex m;
    std::condition_variable cv;
    bool done = false;
    std::thread t;
};

HEARTBEAT::HEARTBEAT(std::string what, double period) : p_(std::make_unique<Impl>()) {
    const auto start = CLOCK::now();
    LASTWRITE = start.time_since_epoch().count();
    p_->t = std::thread([this, what = std::move(what), period, start] {
        const auto every = std::chrono::duration_cast<CLOCK::duration>(std::chrono::duration<double>(period));
        std::unique_lock<std::mutex> lock(p_->m);
        while (!p_->done) {
            const auto due = CLOCK::time_point(CLOCK::duration(LASTWRITE.load())) + every;
            if (CLOCK::now() >= due) {
                const float t = std::chrono::duration<float>(CLOCK::now() - start).count();
                // a record left open by another line is not cut
                if (!console().recordOpen()) console().write("(' Still busy with ',A,', time :',f8.3)", {what, t});
                LASTWRITE = CLOCK::now().time_since_epoch().count();
                continue;
            }
            p_->cv.wait_until(lock, std::min(due, CLOCK::now() + std::chrono::seconds(1)));
        }
    });
}

HEARTBEAT::~HEARTBEAT() {
    {
        const std::lock_guard<std::mutex> lock(p_->m);
        p_->done = true;
    }
    p_->cv.notify_one();
    p_->t.join();
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

void notice(const char* fmt, ...) {
    console().flush();
    std::va_list args;
    va_start(args, fmt);
    std::vfprintf(stderr, fmt, args);
    va_end(args);
    std::fputc('\n', stderr);
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
