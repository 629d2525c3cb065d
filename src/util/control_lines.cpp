#include "util/control_lines.hpp"

#include <algorithm>
#include <charconv>
#include <system_error>

#include "util/console.hpp"
#include "util/file_io.hpp"
#include "util/messages.hpp"
#include "util/numbers.hpp"
#include "util/text.hpp"
#include "util/units.hpp"

namespace zorvel::util {

namespace {

constexpr std::size_t npos = std::string_view::npos;

// True for a double quote or an apostrophe.
bool is_quote(char c) { return c == '"' || c == '\''; }

// Issues an error through line 1 of the message block, after one empty line, and ends the run.
[[noreturn]] void fatal_message(const std::string& text) {
    set_message_text(DMESSAGES.line[0], text);
    DMESSAGE(1);
    EXITS();
}

// Position of the first separator outside quoted parts, npos when none.
std::size_t unquoted_find(std::string_view text, char separator) {
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (is_quote(c)) {
            if (!quoted)
                quoted = true;
            else if (i + 1 < text.size() && text[i + 1] == c)
                ++i;  // a doubled quote stands for one character
            else
                quoted = false;
        } else if (!quoted && c == separator) {
            return i;
        }
    }
    return npos;
}

// Start of the n-th field (from 1) under the quoted-comma rule; npos when the line has fewer.
std::size_t quoted_field_start(std::string_view line, std::int32_t n) {
    std::size_t start = 0;
    for (std::int32_t k = 1; k < n; ++k) {
        const std::size_t comma = unquoted_find(line.substr(start), ',');
        if (comma == npos) return npos;
        start += comma + 1;
    }
    return start;
}

// A value as the keyword routines deliver it: quotes removed, left-justified.
std::string cleaned(std::string_view value) { return TRIMF(REMOVEQUOTES(value)); }

// The keyword's value (rest: to the end, else to the next unquoted comma), or the n-th
// field (rest: and everything after it).
std::string extract(std::string_view line, std::string_view keyword, std::int32_t n, bool rest) {
    const std::string l = fit(line, kLineWorkLen);
    const std::string key = LOWERCASE(keyword);
    if (const std::size_t p = LOWERCASE(l).find(key); p != std::string::npos) {
        const std::string_view work = std::string_view(l).substr(p + key.size());
        const std::size_t equals = work.find('=');
        if (equals == npos)
            fatal_message("ERROR 0203 - No \"=\" sign found after keyword \"" + trimmed(keyword) + "\".");
        std::string_view value = work.substr(equals + 1);
        if (!rest) value = value.substr(0, unquoted_find(value, ','));
        return cleaned(value);
    }
    if (n < 1) return {};
    const std::size_t start = quoted_field_start(l, n);
    if (start == npos) return {};
    const std::string_view from = std::string_view(l).substr(start);
    const std::string field = cleaned(from.substr(0, unquoted_find(from, ',')));
    if (field.empty() || !rest) return field;
    return cleaned(from);
}

// Reads a real number written as a fixed-point input field would hold it (see
// real_number_text). Blanks are allowed around the number, not inside it.
bool read_real(std::string_view text, float& value) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == npos) return false;
    std::string number;
    if (!real_number_text(rtrim(text.substr(first)), number)) return false;
    float v = 0.0f;
    const auto r = std::from_chars(number.data(), number.data() + number.size(), v);
    if (r.ec != std::errc() || r.ptr != number.data() + number.size()) return false;
    value = v;
    return true;
}

// The console line and end of a keyword value that does not read as a number.
[[noreturn]] void not_a_number(std::string_view text, std::int32_t n, std::string_view kind,
                               std::string_view keyword) {
    fail_at_once(" Could not convert \"" + trimmed(text) + "\" in column" + integer_field(n, 3) + " to " +
                 std::string(kind) + " value for the " + trimmed(keyword) + " field.");
}

}  // namespace

bool READLINE(std::int32_t unit, std::string& line, std::size_t field) {
    File* f = unit_file(unit);
    std::string record;
    if (f == nullptr || f->kind() != FileKind::text_in || !f->read_line(record)) {
        const bool at_end = f != nullptr && f->kind() == FileKind::text_in && !f->failed();
        const char* text = at_end ? "ERROR 0202 - End-of-file encountered reading text line from file unit number"
                                  : "ERROR 0201 - Reading text line from file unit number";
        fatal_message(text + integer_field(unit, 5));
    }
    line = fit(record, std::min(field, kLineWorkLen));
    std::replace(line.begin(), line.end(), '\t', ' ');
    return !COMMENTLINE(line);
}

std::int32_t CSVCOLUMN(std::string_view line, std::string_view name, std::int32_t fallback) {
    // Tabs go once, from the whole line; the fields are then looked at in place.
    const std::string all = REMOVETABS(fit(line, kLineWorkLen));
    std::string_view work = all;
    for (std::int32_t column = 1; !work.empty(); ++column) {
        const std::size_t comma = work.find(',');
        if (ASAME(work.substr(0, comma), name)) return column;
        if (comma == npos) break;
        work = rtrim(work.substr(comma + 1));
    }
    return fallback;
}

bool CSVVALUE(std::string_view line, std::int32_t n, float& value) {
    const std::string l = fit(line, kLineWorkLen);
    std::string_view work = l;
    value = 0.0f;
    for (std::int32_t k = 1; k < n; ++k) {
        const std::size_t comma = work.find(',');
        if (comma == npos) return false;
        work.remove_prefix(comma + 1);
    }
    const std::string_view text = rtrim(work.substr(0, work.find(',')));
    if (text.empty()) return false;
    return read_real(text, value);
}

std::string EXTRACTSTRING(std::string_view line, std::string_view keyword, std::int32_t n) {
    return extract(line, keyword, n, false);
}

std::string EXTRACTSTRINGREM(std::string_view line, std::string_view keyword, std::int32_t n) {
    return extract(line, keyword, n, true);
}

std::int32_t EXTRACTINTEGER(std::string_view line, std::string_view keyword, std::int32_t n,
                            std::int32_t fallback) {
    const std::string text = EXTRACTSTRING(line, keyword, n);
    if (text.empty()) return fallback;
    std::int32_t value = fallback;
    if (!CHECKINT(text, value)) not_a_number(text, n, "an integer", keyword);
    return value;
}

float EXTRACTREAL(std::string_view line, std::string_view keyword, std::int32_t n, float fallback) {
    const std::string text = EXTRACTSTRING(line, keyword, n);
    if (text.empty()) return fallback;
    const std::string_view item = std::string_view(text).substr(0, text.find_first_of(" ,/"));
    float value = fallback;
    if (!read_real(item, value)) not_a_number(text, n, "a real", keyword);
    return value;
}

std::string NEXTWORD(std::string& text) {
    const std::string t = fit(TRIMF(text), kWordLen);
    const std::size_t blank = unquoted_find(t, ' ');
    std::string word = TRIMF(fit(REMOVEQUOTES(std::string_view(t).substr(0, blank)), kWordLen));
    text = blank == npos ? std::string() : TRIMF(std::string_view(t).substr(blank + 1));
    return word;
}

std::int32_t NUMBEROFSUBSTRINGS(std::string& text, std::string_view separator) {
    text = REMOVETABS(fit(text, kLineWorkLen));
    if (text.empty() || separator.empty()) return 0;
    std::int32_t count = 1;
    for (std::size_t p = text.find(separator); p != std::string::npos; p = text.find(separator, p + separator.size()))
        ++count;
    return count;
}

std::string SUBSTRING(std::string_view text, std::string_view separator, std::int32_t n) {
    if (n < 1 || separator.empty()) return {};
    const std::string t = fit(text, kLineWorkLen);
    std::size_t start = 0;
    for (std::int32_t k = 1; k < n; ++k) {
        const std::size_t p = t.find(separator, start);
        if (p == std::string::npos) return {};
        start = p + separator.size();
    }
    const std::size_t end = t.find(separator, start);
    return TRIMF(std::string_view(t).substr(start, end == std::string::npos ? npos : end - start));
}

}  // namespace zorvel::util
