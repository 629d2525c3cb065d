#include "util/text.hpp"

#include <algorithm>

namespace zorvel::util {

namespace {

constexpr std::size_t kWorkLen = 100000;   // work text of the line routines
constexpr std::size_t kShortWorkLen = 1000;  // work text of ASAME

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

// The text cleaned as ASAME compares it: quotes and tabs removed, left-justified.
std::string asame_clean(std::string_view text) {
    return TRIMF(REMOVETABS(REMOVEQUOTES(fit(text, kShortWorkLen))));
}

}  // namespace

std::string_view rtrim(std::string_view value) {
    std::size_t n = value.size();
    while (n > 0 && value[n - 1] == ' ') --n;
    return value.substr(0, n);
}

std::size_t trimmed_length(std::string_view value) { return rtrim(value).size(); }

std::string fit(std::string_view value, std::size_t n) {
    return std::string(rtrim(value.substr(0, std::min(n, value.size()))));
}

std::string TRIMF(std::string_view text) {
    std::string_view t = rtrim(text);
    std::size_t i = t.find_first_not_of(' ');
    return i == std::string_view::npos ? std::string() : std::string(t.substr(i));
}

std::string REMOVEQUOTES(std::string_view text) {
    std::string out;
    for (char c : rtrim(text))
        if (c != '"' && c != '\'') out.push_back(c);
    return std::string(rtrim(out));
}

std::string REMOVETABS(std::string_view text) {
    std::string out;
    for (char c : rtrim(text))
        if (c != '\t') out.push_back(c);
    return std::string(rtrim(out));
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
    const std::string l = UPPERCASE(fit(line, kWorkLen));
    const std::string f = UPPERCASE(fit(flag, kWorkLen));
    return l.find(f) != std::string::npos;
}

}  // namespace zorvel::util
