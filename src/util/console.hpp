#pragma once
// The console: the only code that touches standard output and standard input.
// Output is a byte stream; a text written without a line end leaves the cursor
// after it and the next text continues that line. Every text is flushed as it is written.

#include <cstddef>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

namespace zorvel::util {

class Console {
public:
    Console(std::ostream& out, std::istream& in) : out_(&out), in_(&in) {}

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
    // Hands what has been written on to the output stream.
    void flush();
    bool line_complete() const { return line_complete_; }

    // Swaps in other streams (tests capture the console this way); returns the old ones.
    std::pair<std::ostream*, std::istream*> redirect(std::ostream& out, std::istream& in);

private:
    std::ostream* out_;
    std::istream* in_;
    bool line_complete_ = true;
    bool too_long_ = false;
};

// The longest answer line the console reads.
inline constexpr std::size_t kMaxAnswer = std::size_t{1} << 20;

// The process's console, over std::cout and std::cin.
Console& console();

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
