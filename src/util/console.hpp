#pragma once
// The console: the only code that touches standard output and standard input.
// Output is a byte stream; a text written without a line end leaves the cursor
// after it and the next text continues that line. The process's console keeps its text
// in a buffer of its own and hands it to standard output with write(2) when the buffer
// fills, before each read of the input, when the run ends and from a signal handler's last
// words (flush_console_at_fault); on a terminal every text goes at once. A console routed
// to other streams writes into them and flushes them at the same moments.

#include <cstddef>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

namespace zorvel::util {

class Console {
public:
    // The process's console: standard output through the console's buffer, and the input.
    explicit Console(std::istream& in);
    ~Console();
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    // Writes the text as given, without a line end.
    void write(std::string_view text);
    // Writes the text and a line end.
    void line(std::string_view text = {});
    // Reads one line of the user's answer (line end removed); nullopt at end of input,
    // and from then on, when a line runs past kMaxAnswer bytes (an endless answer is
    // never held whole).
    std::optional<std::string> read_line();
    // The input was given up because a line ran past kMaxAnswer bytes.
    bool answer_too_long() const { return too_long_; }
    // Waits for Enter; the end of input counts as Enter.
    void wait_for_enter();
    // Ends a line left open by a prompt or trace (nothing when the line is complete).
    void finish_line();
    // Hands what has been written on to standard output or the output stream.
    void flush();
    bool line_complete() const { return line_complete_; }

    // Swaps in other streams, out nullptr for standard output (tests capture the console
    // this way); returns the old ones.
    std::pair<std::ostream*, std::istream*> redirect(std::ostream* out, std::istream& in);

private:
    // Writes the text into the output stream or the buffer.
    void put(std::string_view text);
    // Hands a finished text on where it must go at once.
    void text_done();

    std::ostream* out_ = nullptr;  // nullptr: standard output through the buffer
    std::istream* in_;
    bool to_terminal_ = false;  // standard output is a terminal (checked when it is taken on)
    bool line_complete_ = true;
    bool too_long_ = false;
};

// The longest answer line the console reads.
inline constexpr std::size_t kMaxAnswer = std::size_t{1} << 20;

// The process's console, over standard output and std::cin.
Console& console();

// For a signal handler's last words: writes to standard output what the process's console
// holds and has not written, with write(2) alone, so that those words follow the whole log.
void flush_console_at_fault();

// An empty line, then the line: the way most messages are written.
void line_after_gap(std::string_view text);

// Test helper: routes the console to the given streams for its lifetime.
class ConsoleCapture {
public:
    ConsoleCapture(std::ostream& out, std::istream& in);
    ~ConsoleCapture();
    ConsoleCapture(const ConsoleCapture&) = delete;
    ConsoleCapture& operator=(const ConsoleCapture&) = delete;

private:
    std::pair<std::ostream*, std::istream*> saved_;
};

}  // namespace zorvel::util
