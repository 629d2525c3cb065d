#include "util/console.hpp"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <unistd.h>

namespace zorvel::util {

namespace {

// 64 KiB, a pipe's default capacity: a full buffer is one write(2) that an empty pipe takes
// whole, and the 4.7 MB log of a 100,000-record -max goes in about 70 of them.
constexpr std::size_t kTextBuffer = std::size_t{64} << 10;

// The process console's text: bytes [g_written, g_filled) of g_text wait for standard output.
// An append copies its bytes before it moves g_filled on, and a write moves g_written on
// once write(2) has returned, so that a signal handler finds exactly the bytes that wait (a
// handler that writes them ends the process, so no write it interrupted goes on).
char g_text[kTextBuffer];
std::atomic<std::size_t> g_filled{0};
std::atomic<std::size_t> g_written{0};
static_assert(std::atomic<std::size_t>::is_always_lock_free);

// Writes the bytes that wait to standard output, async-signal-safe; a failed write drops
// them, as a stream gone bad drops its text.
void write_waiting() {
    std::size_t done = g_written.load(std::memory_order_acquire);
    const std::size_t filled = g_filled.load(std::memory_order_acquire);
    while (done < filled) {
        const ssize_t put = ::write(STDOUT_FILENO, g_text + done, filled - done);
        if (put < 0 && errno == EINTR) continue;
        done = put > 0 ? done + static_cast<std::size_t>(put) : filled;
        // The one window left: a handler between write(2)'s return and this store writes those bytes again.
        g_written.store(done, std::memory_order_release);
    }
}

// Writes what waits and empties the buffer. Text that a program calling the library has put
// through C's stdout goes first, so that the two keep their order.
void empty_buffer() {
    if (g_filled.load(std::memory_order_relaxed) == 0) return;
    std::fflush(stdout);
    write_waiting();
    // g_filled first, so that a handler between the two stores finds nothing waiting.
    g_filled.store(0, std::memory_order_release);
    g_written.store(0, std::memory_order_release);
}

// Appends the text to the buffer, emptying it whenever it is full.
void append(std::string_view text) {
    while (!text.empty()) {
        std::size_t filled = g_filled.load(std::memory_order_relaxed);
        if (filled == kTextBuffer) {
            empty_buffer();
            filled = 0;
        }
        const std::size_t n = std::min(text.size(), kTextBuffer - filled);
        std::memcpy(g_text + filled, text.data(), n);
        g_filled.store(filled + n, std::memory_order_release);
        text.remove_prefix(n);
    }
}

}  // namespace

Console::Console(std::istream& in) : in_(&in), to_terminal_(::isatty(STDOUT_FILENO) == 1) {}

// Text still waiting when the process exits is written then (a run's end has written its own).
Console::~Console() {
    if (out_ == nullptr) flush();
}

void Console::put(std::string_view text) {
    if (out_ != nullptr)
        out_->write(text.data(), static_cast<std::streamsize>(text.size()));
    else
        append(text);
}

// A user at a terminal watches the lines (and the counts of a trace) as they come, so there
// every text goes at once; a pipe or file gets the buffer's large writes.
void Console::text_done() {
    if (out_ == nullptr && to_terminal_) empty_buffer();
}

void Console::write(std::string_view text) {
    if (text.empty()) return;
    put(text);
    line_complete_ = text.back() == '\n';
    text_done();
}

void Console::line(std::string_view text) {
    put(text);
    put("\n");
    line_complete_ = true;
    text_done();
}

std::optional<std::string> Console::read_line() {
    flush();
    if (too_long_) return std::nullopt;
    std::string answer;
    std::streambuf* buf = in_->rdbuf();
    bool got_any = false;
    for (;;) {
        const int c = buf == nullptr ? std::char_traits<char>::eof() : buf->sbumpc();
        if (c == std::char_traits<char>::eof()) {
            in_->setstate(std::ios::eofbit);
            if (!got_any) return std::nullopt;
            break;
        }
        got_any = true;
        if (c == '\n') break;
        if (answer.size() == kMaxAnswer) {
            too_long_ = true;
            return std::nullopt;
        }
        answer.push_back(static_cast<char>(c));
    }
    if (!answer.empty() && answer.back() == '\r') answer.pop_back();
    return answer;
}

void Console::wait_for_enter() { (void)read_line(); }

void Console::finish_line() {
    if (!line_complete_) line();
}

void Console::flush() {
    if (out_ != nullptr)
        out_->flush();
    else
        empty_buffer();
}

std::pair<std::ostream*, std::istream*> Console::redirect(std::ostream* out, std::istream& in) {
    flush();
    std::pair<std::ostream*, std::istream*> old{out_, in_};
    out_ = out;
    in_ = &in;
    if (out == nullptr) to_terminal_ = ::isatty(STDOUT_FILENO) == 1;
    line_complete_ = true;
    too_long_ = false;
    return old;
}

Console& console() {
    static Console the_console(std::cin);
    return the_console;
}

void flush_console_at_fault() {
    const int saved = errno;
    write_waiting();
    errno = saved;
}

void line_after_gap(std::string_view text) {
    console().line();
    console().line(text);
}

ConsoleCapture::ConsoleCapture(std::ostream& out, std::istream& in)
    : saved_(console().redirect(&out, in)) {}

ConsoleCapture::~ConsoleCapture() { console().redirect(saved_.first, *saved_.second); }

}  // namespace zorvel::util
