#pragma once
// Control-file lines: the line reader, and the routines that take fields out of a line —
// the column of a named field and the value of the n-th field of a comma-separated line,
// the value after a keyword and "=" (as text, integer or real, with the n-th field as the
// alternative), the next word of a text and the pieces of a text split at a separator.
//
// A field is the text between two commas, or between the start or the trimmed end of the
// line and the nearest comma. With plain commas (CSVCOLUMN, CSVVALUE) every comma separates.
// With quoted commas (EXTRACTSTRING, EXTRACTSTRINGREM; NEXTWORD with the blank in place of
// the comma) a double quote or an apostrophe opens a quoted part and the next one of either
// kind closes it; inside it two adjacent quotes of one kind stand for one character, and a
// comma does not separate. Lines are handled as far as 100000 characters, words as far as
// 1000. Keywords are found without regard to case.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zorvel::util {

inline constexpr std::size_t kLineWorkLen = 100000;  // a line is handled as far as this
inline constexpr std::size_t kWordLen = 1000;        // a word of NEXTWORD

// Reads the next line of the text file open on the unit into line (cut at field
// characters), tabs turned into blanks, then COMMENTLINE applied; true for a line with
// content. The end of the file, or a unit that holds no text input, ends the run.
bool READLINE(std::int32_t unit, std::string& line, std::size_t field = kLineWorkLen);

// Number of the first field of the line equal to the name (ASAME), or the fallback.
std::int32_t CSVCOLUMN(std::string_view line, std::string_view name, std::int32_t fallback);
// The n-th field read as a real number; false and 0 when it is missing, blank or no number.
bool CSVVALUE(std::string_view line, std::int32_t n, float& value);

// The value after the keyword and "=" up to the next unquoted comma, or (keyword absent,
// n of 1 or more) the n-th field; quotes removed, left-justified. A keyword without "="
// after it ends the run.
std::string EXTRACTSTRING(std::string_view line, std::string_view keyword, std::int32_t n);
// As EXTRACTSTRING, taking the whole rest of the line after "=", or from the n-th field on.
std::string EXTRACTSTRINGREM(std::string_view line, std::string_view keyword, std::int32_t n);
// The EXTRACTSTRING value read as an integer or a real; the fallback when it is blank.
// A value that is no number ends the run.
std::int32_t EXTRACTINTEGER(std::string_view line, std::string_view keyword, std::int32_t n,
                            std::int32_t fallback);
float EXTRACTREAL(std::string_view line, std::string_view keyword, std::int32_t n, float fallback);

// The first word of the text (quotes removed), taken off the text, which is left-justified.
std::string NEXTWORD(std::string& text);
// Number of pieces of the text split at the separator; the text loses its tabs. A blank
// text or an empty separator gives 0.
std::int32_t NUMBEROFSUBSTRINGS(std::string& text, std::string_view separator);
// The n-th piece of the text split at the separator, left-justified; blank when there is none.
std::string SUBSTRING(std::string_view text, std::string_view separator, std::int32_t n);

}  // namespace zorvel::util
