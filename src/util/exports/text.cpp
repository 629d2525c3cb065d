// Exported routines on texts: trimming, removal, case, comparisons, the flag search,
// replacement and the tests of control-file lines.

#include "util/exports/abi.hpp"
#include "util/text.hpp"

using namespace zorvel::util::exports;
namespace u = zorvel::util;

namespace {

// A test of two texts.
template <class F>
std::int32_t test_of_two(F routine, const char* a, Len a_len, const char* b, Len b_len) {
    return guarded([&] { return logical(routine(text(a, a_len), text(b, b_len))); });
}

// A test that may rewrite its text in place.
template <class F>
std::int32_t test_in_place(F routine, char* t, Len t_len) {
    return guarded([&] {
        std::string s = text_copy(t, t_len);
        const bool found = routine(s);
        store(t, t_len, s);
        return logical(found);
    });
}

}  // namespace

extern "C" {

// The text trimmed, as 256 characters.
void SS256(char* result, Len result_len, const char* t, Len t_len) {
    text_to_text(u::SS256, result, result_len, t, t_len);
}

// The text left-justified.
void TRIMF(char* result, Len result_len, const char* t, Len t_len) {
    text_to_text(u::TRIMF, result, result_len, t, t_len);
}

// The text without double quotes and apostrophes.
void REMOVEQUOTES(char* result, Len result_len, const char* t, Len t_len) {
    text_to_text(u::REMOVEQUOTES, result, result_len, t, t_len);
}

// The text without blanks.
void REMOVESPACES(char* result, Len result_len, const char* t, Len t_len) {
    text_to_text(u::REMOVESPACES, result, result_len, t, t_len);
}

// The text with every double quote doubled.
void DOUBLEQUOTE(char* result, Len result_len, const char* t, Len t_len) {
    text_to_text(u::DOUBLEQUOTE, result, result_len, t, t_len);
}

// Letters and digits kept, every other character replaced by the one-character text c.
void ALPHANUMERICONLY(char* result, Len result_len, const char* t, Len t_len, const char* c, Len c_len) {
    guarded([&] { store(result, result_len, u::ALPHANUMERICONLY(text(t, t_len), c_len > 0 ? c[0] : ' ')); });
}

// Letters, digits and "_" kept.
void CLEANATTRIBUTENAME(char* result, Len result_len, const char* t, Len t_len) {
    text_to_text(u::CLEANATTRIBUTENAME, result, result_len, t, t_len);
}

// Upper-case copy.
void UPPERCASE(char* result, Len result_len, const char* t, Len t_len) {
    text_to_text(u::UPPERCASE, result, result_len, t, t_len);
}

// Lower-case copy.
void LOWERCASE(char* result, Len result_len, const char* t, Len t_len) {
    text_to_text(u::LOWERCASE, result, result_len, t, t_len);
}

// True when the text is blank once its tabs are removed; the text loses its tabs.
std::int32_t BLANK(char* t, Len t_len) {
    return guarded([&] {
        const std::string s = text_copy(t, t_len);
        const bool blank = u::BLANK(s);
        store(t, t_len, u::REMOVETABS(s));
        return logical(blank);
    });
}

// Equal without regard to case, quotes, tabs, leading and trailing blanks.
std::int32_t ASAME(const char* a, Len a_len, const char* b, Len b_len) {
    return test_of_two(u::ASAME, a, a_len, b, b_len);
}

// Equal as ASAME finds, case included.
std::int32_t ASAMECS(const char* a, Len a_len, const char* b, Len b_len) {
    return test_of_two(u::ASAMECS, a, a_len, b, b_len);
}

// True when the flag occurs in the line, case ignored.
std::int32_t FLAGEXISTS(const char* line, Len line_len, const char* flag, Len flag_len) {
    return test_of_two(u::FLAGEXISTS, line, line_len, flag, flag_len);
}

// FLAGEXISTS, and rest receives the line after the flag.
std::int32_t FLAGEXISTSRET(const char* line, Len line_len, const char* flag, Len flag_len, char* rest,
                           Len rest_len) {
    return guarded([&] {
        std::string r;
        const bool found = u::FLAGEXISTSRET(text(line, line_len), text(flag, flag_len), r);
        store(rest, rest_len, r);
        return logical(found);
    });
}

// The text with the first occurrence of the search text replaced.
void REPLACE(char* result, Len result_len, const char* t, Len t_len, const char* search, Len search_len,
             const char* replacement, Len replacement_len) {
    guarded([&] {
        store(result, result_len,
              u::REPLACE(text(t, t_len), text(search, search_len), text(replacement, replacement_len)));
    });
}

// The text with every occurrence of the search text replaced.
void REPLACEALL(char* result, Len result_len, const char* t, Len t_len, const char* search, Len search_len,
                const char* replacement, Len replacement_len) {
    guarded([&] {
        store(result, result_len,
              u::REPLACEALL(text(t, t_len), text(search, search_len), text(replacement, replacement_len)));
    });
}

// True for a comment or blank line; the line is left-justified and loses a trailing comment.
std::int32_t COMMENTLINE(char* line, Len line_len) { return test_in_place(u::COMMENTLINE, line, line_len); }

// True when the line begins like a number or is blank; the line is left-justified.
std::int32_t NUMBERLINE(char* line, Len line_len) { return test_in_place(u::NUMBERLINE, line, line_len); }

// True when the text is all digits; the text is left-justified.
std::int32_t POSITIVEINTEGERNUMBER(char* t, Len t_len) { return test_in_place(u::POSITIVEINTEGERNUMBER, t, t_len); }

// True when the line holds "Read MI " or "Read GIS " and the name.
std::int32_t READGIS(const char* line, Len line_len, const char* name, Len name_len) {
    return test_of_two(u::READGIS, line, line_len, name, name_len);
}

// True when the line holds "Write MI " or "Write GIS " and the name.
std::int32_t WRITEGIS(const char* line, Len line_len, const char* name, Len name_len) {
    return test_of_two(u::WRITEGIS, line, line_len, name, name_len);
}

// True when the line holds "Read MID " or "Read RowCol " and the name.
std::int32_t READROWCOL(const char* line, Len line_len, const char* name, Len name_len) {
    return test_of_two(u::READROWCOL, line, line_len, name, name_len);
}

// Splits the line into head and rest at the separator or the column; true when the head holds the command.
std::int32_t CHECKLINE(const char* line, Len line_len, const char* command, Len command_len, const char* separator,
                       Len separator_len, const std::int32_t* column, char* rest, Len rest_len, char* head,
                       Len head_len) {
    return guarded([&] {
        std::string r, h;
        const bool found = u::CHECKLINE(text(line, line_len), text(command, command_len),
                                        text(separator, separator_len), *column, r, h);
        store(rest, rest_len, r);
        store(head, head_len, h);
        return logical(found);
    });
}

}  // extern "C"
