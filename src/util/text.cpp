#include "util/text.hpp"

#include <algorithm>

namespace zorvel::util {

namespace {

constexpr std::size_t kWorkLen = 100000;   // work text of the line routines
constexpr std::size_t kShortWorkLen = 1000;  // work text of ASAME

// ASCII case mapping of one character.
char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

// True for an ASCII letter or digit.
bool is_letter_or_digit(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// The text cleaned as ASAME compares it: quotes and tabs removed, left-justified.
std::string asame_clean(std::string_view text) {
    return TRIMF(REMOVETABS(REMOVEQUOTES(fit(text, kShortWorkLen))));
}

// Position of the first occurrence of an upper-case needle in the text from position
// from on, case ignored; an empty needle is found at from.
std::size_t find_nocase(std::string_view text, std::string_view upper_needle, std::size_t from) {
    if (upper_needle.size() > text.size()) return std::string_view::npos;
    for (std::size_t p = from; p + upper_needle.size() <= text.size(); ++p) {
        std::size_t k = 0;
        while (k < upper_needle.size() && upper(text[p + k]) == upper_needle[k]) ++k;
        if (k == upper_needle.size()) return p;
    }
    return std::string_view::npos;
}

// The text without every character that the predicate picks.
template <class Drop>
std::string without(std::string_view text, Drop drop) {
    std::string out;
    out.reserve(text.size());
    for (char c : rtrim(text))
        if (!drop(c)) out.push_back(c);
    return trimmed(out);
}

// True when the line holds the command followed by the trimmed name, case ignored.
bool command_with_name(std::string_view line, std::string_view command, std::string_view name) {
    std::string flag(command);
    flag.append(rtrim(name));
    return FLAGEXISTS(line, flag);
}

}  // namespace

std::string_view rtrim(std::string_view value) {
    std::size_t n = value.size();
    while (n > 0 && value[n - 1] == ' ') --n;
    return value.substr(0, n);
}

std::string trimmed(std::string_view value) { return std::string(rtrim(value)); }

std::size_t trimmed_length(std::string_view value) { return rtrim(value).size(); }

std::string fit(std::string_view value, std::size_t n) {
    return trimmed(value.substr(0, std::min(n, value.size())));
}

std::string TRIMF(std::string_view text) {
    std::string_view t = rtrim(text);
    std::size_t i = t.find_first_not_of(' ');
    return i == std::string_view::npos ? std::string() : std::string(t.substr(i));
}

std::string SS256(std::string_view text) { return fit(text, 256); }

std::string REMOVEQUOTES(std::string_view text) {
    return without(text, [](char c) { return c == '"' || c == '\''; });
}

std::string REMOVETABS(std::string_view text) {
    return without(text, [](char c) { return c == '\t'; });
}

std::string REMOVESPACES(std::string_view text) {
    return without(text, [](char c) { return c == ' '; });
}

std::string DOUBLEQUOTE(std::string_view text) {
    std::string out;
    for (char c : rtrim(text)) {
        out.push_back(c);
        if (c == '"') out.push_back(c);
    }
    return out;
}

std::string ALPHANUMERICONLY(std::string_view text, char c) {
    std::string out;
    for (char t : rtrim(text)) {
        if (is_letter_or_digit(t)) out.push_back(t);
        else if (c != '\0') out.push_back(c);
    }
    out = trimmed(out);
    return out.empty() ? std::string("X") : out;
}

std::string CLEANATTRIBUTENAME(std::string_view text) {
    std::string out;
    for (char t : text)
        if (is_letter_or_digit(t) || t == '_') out.push_back(t);
    return out.empty() ? std::string("X") : out;
}

std::string UPPERCASE(std::string_view text) {
    std::string out(rtrim(text));
    std::transform(out.begin(), out.end(), out.begin(), upper);
    return out;
}

std::string LOWERCASE(std::string_view text) {
    std::string out(rtrim(text));
    std::transform(out.begin(), out.end(), out.begin(), lower);
    return out;
}

bool BLANK(std::string_view text) {
    for (char c : text.substr(0, std::min(text.size(), kWorkLen)))
        if (c != ' ' && c != '\t') return false;
    return true;
}

bool ASAME(std::string_view a, std::string_view b) {
    return UPPERCASE(asame_clean(a)) == UPPERCASE(asame_clean(b));
}

bool ASAMECS(std::string_view a, std::string_view b) { return asame_clean(a) == asame_clean(b); }

bool FLAGEXISTS(std::string_view line, std::string_view flag) {
    const std::string f = UPPERCASE(fit(flag, kWorkLen));
    return find_nocase(fit(line, kWorkLen), f, 0) != std::string_view::npos;
}

bool FLAGEXISTSRET(std::string_view line, std::string_view flag, std::string& rest) {
    const std::string l = fit(line, kWorkLen);
    const std::string f = UPPERCASE(fit(flag, kWorkLen));
    const std::size_t p = find_nocase(l, f, 0);
    if (p == std::string_view::npos) {
        rest.clear();
        return false;
    }
    rest = l.substr(p + f.size());
    return true;
}

std::string REPLACE(std::string_view text, std::string_view search, std::string_view replacement) {
    std::string out(rtrim(text));
    const std::string s = UPPERCASE(search);
    const std::size_t p = find_nocase(out, s, 0);
    if (p != std::string_view::npos) out.replace(p, s.size(), rtrim(replacement));
    return trimmed(out);
}

std::string REPLACEALL(std::string_view text, std::string_view search, std::string_view replacement) {
    std::string out(rtrim(text));
    const std::string s = UPPERCASE(search);
    if (s.empty()) return out;
    const std::string_view r = rtrim(replacement);
    std::size_t from = 0;
    for (std::size_t p; (p = find_nocase(out, s, from)) != std::string_view::npos;) {
        out.replace(p, s.size(), r);
        from = p + r.size();
    }
    return trimmed(out);
}

bool COMMENTLINE(std::string& line) {
    line = TRIMF(line);
    const bool comment = line.empty() || line[0] == '#' || line[0] == '!';
    const std::size_t cut = line.find_first_of("#!");
    if (cut != std::string::npos) line = trimmed(std::string_view(line).substr(0, cut));
    return comment;
}

bool NUMBERLINE(std::string& line) {
    line = TRIMF(line);
    return line.empty() || (line[0] >= '0' && line[0] <= '9') || line[0] == '-' || line[0] == '.';
}

bool POSITIVEINTEGERNUMBER(std::string& text) {
    text = TRIMF(text);
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

bool READGIS(std::string_view line, std::string_view name) {
    return command_with_name(line, "Read MI ", name) || command_with_name(line, "Read GIS ", name);
}

bool WRITEGIS(std::string_view line, std::string_view name) {
    return command_with_name(line, "Write MI ", name) || command_with_name(line, "Write GIS ", name);
}

bool READROWCOL(std::string_view line, std::string_view name) {
    return command_with_name(line, "Read MID ", name) || command_with_name(line, "Read RowCol ", name);
}

bool CHECKLINE(std::string_view line, std::string_view command, std::string_view separator,
               std::int32_t column, std::string& rest, std::string& head) {
    const std::size_t col = column > 0 ? static_cast<std::size_t>(column) : 0;
    // The line as a field, padded far enough that a separator's trailing blanks can match.
    std::string padded(rtrim(line));
    padded.append(separator.size(), ' ');
    const auto split_at_column = [&] {
        head = fit(padded, col);
        rest = col < padded.size() ? trimmed(std::string_view(padded).substr(col)) : std::string();
    };
    bool blank_head_allowed = false;
    if (trimmed_length(separator) == 0) {
        split_at_column();
        blank_head_allowed = col == 0;
    } else if (const std::size_t p = padded.find(separator); p != std::string::npos) {
        head = trimmed(std::string_view(padded).substr(0, p));
        rest = trimmed(std::string_view(padded).substr(p + separator.size()));
    } else if (col == 0) {
        head = trimmed(line);
        rest.clear();
        blank_head_allowed = true;
    } else {
        split_at_column();
    }
    if (head.empty() && !blank_head_allowed) return false;
    return rtrim(command) == "*" || FLAGEXISTS(head, command);
}

}  // namespace zorvel::util
