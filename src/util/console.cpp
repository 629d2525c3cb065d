#include "util/console.hpp"

#include <iostream>

namespace zorvel::util {

// Every text is handed on at once, so that a run ended by a signal (whose line is written
// straight to the descriptor) or killed leaves its whole log before that line.
void Console::write(std::string_view text) {
    if (text.empty()) return;
    out_->write(text.data(), static_cast<std::streamsize>(text.size()));
    line_complete_ = text.back() == '\n';
    out_->flush();
}

void Console::line(std::string_view text) {
    out_->write(text.data(), static_cast<std::streamsize>(text.size()));
    out_->put('\n');
    line_complete_ = true;
    out_->flush();
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

void Console::flush() { out_->flush(); }

std::pair<std::ostream*, std::istream*> Console::redirect(std::ostream& out, std::istream& in) {
    flush();
    std::pair<std::ostream*, std::istream*> old{out_, in_};
    out_ = &out;
    in_ = &in;
    line_complete_ = true;
    too_long_ = false;
    return old;
}

Console& console() {
    static Console the_console(std::cout, std::cin);
    return the_console;
}

void line_after_gap(std::string_view text) {
    console().line();
    console().line(text);
}

ConsoleCapture::ConsoleCapture(std::ostream& out, std::istream& in)
    : saved_(console().redirect(out, in)) {}

ConsoleCapture::~ConsoleCapture() { console().redirect(*saved_.first, *saved_.second); }

}  // namespace zorvel::util
