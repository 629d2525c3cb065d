#pragma once
// The free-format fields of a ".2dm" line: words separated by runs of blanks, tabs and
// commas, read as a list-directed read takes them (integers, reals also with a "D"
// exponent or a "+" sign, texts). A line comes from util::File::next_line, which leaves a
// line end after it: a run of digits or separators stops there by itself.
//
// Numbers in their plain form (a sign, digits, one point), nearly every field of a mesh,
// are read by the loops here and computed exactly; every other form goes
// to std::from_chars, which takes or refuses it as it always has.

#include <charconv>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string_view>
#include <type_traits>

#include "util/file_io.hpp"

namespace zorvel::results::mesh_text {

enum class Got { ok, end, bad };

// The value of a decimal digit, or 10 or more for any other byte.
inline unsigned digit(char c) { return static_cast<unsigned>(static_cast<unsigned char>(c)) - unsigned{'0'}; }

// The fields of one line (or of its part after a keyword).
class Fields {
public:
    // The text must come from next_line: it is followed by a line end and slack.
    explicit Fields(std::string_view text) : p_(text.data()), end_(text.data() + text.size()) {}

    // The next word, or end when the line has no more.
    Got word(std::string_view& out) {
        skip_separators();
        if (p_ == end_) return Got::end;
        const char* start = p_;
        while (p_ < end_ && !is_separator(*p_)) ++p_;
        out = std::string_view(start, static_cast<std::size_t>(p_ - start));
        return Got::ok;
    }

    // An integer of the target type; a real, a word or a value out of range is bad.
    template <typename Int>
    Got integer(Int& value) {
        skip_separators();
        if (p_ == end_) return Got::end;
        // The plain form, an optional sign and up to 18 digits, by a loop of its own.
        const char* q = p_;
        const bool negative = *q == '-';
        q += negative || *q == '+';
        const char* digits = q;
        std::uint64_t u = 0;
        for (unsigned d; (d = digit(*q)) < 10u; ++q) u = u * 10 + d;
        const std::ptrdiff_t n = q - digits;
        if (n > 0 && n <= 18 && (q == end_ || is_separator(*q))) {
            const auto v = negative ? -static_cast<std::int64_t>(u) : static_cast<std::int64_t>(u);
            if (v < std::numeric_limits<Int>::min() || v > std::numeric_limits<Int>::max()) return Got::bad;
            value = static_cast<Int>(v);
            p_ = q;
            return Got::ok;
        }
        return general_integer(value);
    }

    // A real as a list-directed read takes it: also with a "D" exponent or a "+" sign.
    template <typename Real>
    Got real(Real& value) {
        skip_separators();
        if (p_ == end_) return Got::end;
        if (plain(value)) return Got::ok;
        return general_real(value);
    }

    // Whether real() would read the next word as a real of the type, without its value.
    template <typename Real>
    bool real_read() {
        skip_separators();
        if (p_ == end_) return false;
        // A plain number of up to 19 digits is always within the type's range.
        const char* q = p_;
        q += *q == '-' || *q == '+';
        const char* digits = q;
        while (digit(*q) < 10u) ++q;
        std::ptrdiff_t count = q - digits;
        if (*q == '.') {
            const char* fraction = ++q;
            while (digit(*q) < 10u) ++q;
            count += q - fraction;
        }
        if (count > 0 && count <= 19 && (q == end_ || is_separator(*q))) {
            p_ = q;
            return true;
        }
        Real v;
        return general_real(v) == Got::ok;
    }

    // A character value: a quoted text (quotes removed) or a word.
    std::string_view text() {
        skip_separators();
        if (p_ == end_) return {};
        if (*p_ == '"' || *p_ == '\'') {
            const char q = *p_++;
            const char* start = p_;
            while (p_ < end_ && *p_ != q) ++p_;
            std::string_view t(start, static_cast<std::size_t>(p_ - start));
            if (p_ < end_) ++p_;
            return t;
        }
        std::string_view w;
        word(w);
        return w;
    }

    // The integer of the next word by the general reader.
    template <typename Int>
    Got general_integer(Int& value) {
        std::string_view w;
        if (word(w) == Got::end) return Got::end;
        if (w.size() > 1 && w[0] == '+' && w[1] != '-' && w[1] != '+') w.remove_prefix(1);
        long long general = 0;
        auto [ptr, ec] = std::from_chars(w.data(), w.data() + w.size(), general);
        if (ec != std::errc() || ptr != w.data() + w.size()) return Got::bad;
        if (general < std::numeric_limits<Int>::min() || general > std::numeric_limits<Int>::max()) return Got::bad;
        value = static_cast<Int>(general);
        return Got::ok;
    }

    // The real of the next word by the general reader.
    template <typename Real>
    Got general_real(Real& value) {
        std::string_view w;
        if (word(w) == Got::end) return Got::end;
        if (w.size() > 1 && w[0] == '+' && w[1] != '-' && w[1] != '+') w.remove_prefix(1);
        char buf[64];
        if (w.find_first_of("dD") != std::string_view::npos) {
            if (w.size() > sizeof buf) return Got::bad;
            std::memcpy(buf, w.data(), w.size());
            for (std::size_t i = 0; i < w.size(); ++i)
                if (buf[i] == 'd' || buf[i] == 'D') buf[i] = 'e';
            w = std::string_view(buf, w.size());
        }
        Real v{};
        auto [ptr, ec] = std::from_chars(w.data(), w.data() + w.size(), v);
        if (ec != std::errc() || ptr != w.data() + w.size()) return Got::bad;
        value = v;
        return Got::ok;
    }

private:
    // Blanks, tabs and commas separate fields.
    static bool is_separator(char c) { return c == ' ' || c == '\t' || c == ','; }

    // The line end after the text is no separator, so the loop stops there.
    void skip_separators() {
        while (is_separator(*p_)) ++p_;
    }

    // Reads the word at p_ when it is a number in its plain form (an optional sign, up to 19
    // digits with at most one point among them, nothing else) whose value is worked out
    // exactly: the digits and a power of ten that the type holds exactly, divided once, so
    // rounded once as the general reader rounds. Moves past it then; any other word is left
    // where it is.
    template <typename Real>
    bool plain(Real& value) {
        static constexpr double kTens[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                           1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
        static constexpr float kTensF[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
        constexpr bool single = std::is_same_v<Real, float>;
        constexpr std::uint64_t kLargest = single ? (std::uint64_t{1} << 24) : (std::uint64_t{1} << 53);
        constexpr int kMostFrac = single ? 10 : 22;
        const char* q = p_;
        const bool negative = *q == '-';
        q += negative || *q == '+';
        const char* digits = q;
        std::uint64_t m = 0;
        for (unsigned d; (d = digit(*q)) < 10u; ++q) m = m * 10 + d;
        std::ptrdiff_t count = q - digits;
        int frac = 0;
        if (*q == '.') {
            const char* fraction = ++q;
            for (unsigned d; (d = digit(*q)) < 10u; ++q) m = m * 10 + d;
            frac = static_cast<int>(q - fraction);
            count += frac;
        }
        if (count == 0 || count > 19 || frac > kMostFrac || m > kLargest) return false;
        if (q != end_ && !is_separator(*q)) return false;
        Real v;
        if constexpr (single)
            v = static_cast<float>(m) / kTensF[frac];
        else
            v = static_cast<double>(m) / kTens[frac];
        value = negative ? -v : v;
        p_ = q;
        return true;
    }

    const char* p_;
    const char* end_;
};

}  // namespace zorvel::results::mesh_text
