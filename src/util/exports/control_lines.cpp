// Exported routines of control-file lines: the line reader and the field extraction.
// The keyword routines take the caller's lower-case copy of the line for the sake of
// the calling form only: they lower-case the line themselves.

#include "util/control_lines.hpp"
#include "util/exports/abi.hpp"

using namespace zorvel::util::exports;
namespace u = zorvel::util;

extern "C" {

// Reads the next line of the text file on the unit into line; true for a line with content.
std::int32_t READLINE(const std::int32_t* unit, char* line, Len line_len) {
    return guarded([&] {
        std::string l;
        const bool content = u::READLINE(*unit, l, line_len > 0 ? static_cast<std::size_t>(line_len) : 0);
        store(line, line_len, l);
        return logical(content);
    });
}

// Number of the field of the line equal to the name, or the fallback.
std::int32_t CSVCOLUMN(const char* line, Len line_len, const char* name, Len name_len,
                       const std::int32_t* fallback) {
    return guarded([&] { return u::CSVCOLUMN(text(line, line_len), text(name, name_len), *fallback); });
}

// True when the n-th field holds a number, which value receives (0 otherwise).
std::int32_t CSVVALUE(const char* line, Len line_len, const std::int32_t* n, float* value) {
    return guarded([&] { return logical(u::CSVVALUE(text(line, line_len), *n, *value)); });
}

// The keyword's value, or the n-th field.
void EXTRACTSTRING(char* result, Len result_len, const char* line, Len line_len, const char* lower, Len lower_len,
                   const char* keyword, Len keyword_len, const std::int32_t* n) {
    guarded([&] { store(result, result_len, u::EXTRACTSTRING(text(line, line_len), text(keyword, keyword_len), *n)); });
}

// The rest of the line after the keyword's "=", or from the n-th field on.
void EXTRACTSTRINGREM(char* result, Len result_len, const char* line, Len line_len, const char* lower,
                      Len lower_len, const char* keyword, Len keyword_len, const std::int32_t* n) {
    guarded([&] {
        store(result, result_len, u::EXTRACTSTRINGREM(text(line, line_len), text(keyword, keyword_len), *n));
    });
}

// The keyword's value, or the n-th field, as an integer; the fallback when blank.
std::int32_t EXTRACTINTEGER(const char* line, Len line_len, const char* lower, Len lower_len, const char* keyword,
                            Len keyword_len, const std::int32_t* n, const std::int32_t* fallback) {
    return guarded([&] { return u::EXTRACTINTEGER(text(line, line_len), text(keyword, keyword_len), *n, *fallback); });
}

// The keyword's value, or the n-th field, as a real; the fallback when blank.
float EXTRACTREAL(const char* line, Len line_len, const char* lower, Len lower_len, const char* keyword,
                  Len keyword_len, const std::int32_t* n, const float* fallback) {
    return guarded([&] { return u::EXTRACTREAL(text(line, line_len), text(keyword, keyword_len), *n, *fallback); });
}

// Number of pieces of the text at the separator; the text loses its tabs.
std::int32_t NUMBEROFSUBSTRINGS(char* t, Len t_len, const char* separator, Len separator_len) {
    return guarded([&] {
        std::string s = text_copy(t, t_len);
        const std::int32_t count = u::NUMBEROFSUBSTRINGS(s, text(separator, separator_len));
        store(t, t_len, s);
        return count;
    });
}

// The n-th piece of the text at the separator.
void SUBSTRING(char* result, Len result_len, const char* t, Len t_len, const char* separator, Len separator_len,
               const std::int32_t* n) {
    guarded([&] { store(result, result_len, u::SUBSTRING(text(t, t_len), text(separator, separator_len), *n)); });
}

}  // extern "C"
