#pragma once
// Text and string routines.
//
// A text is a std::string whose trailing blanks carry no meaning: it stands for a
// fixed-length field padded with blanks. Routines take std::string_view and return
// std::string without trailing blanks. Only the blank (code 32) is a blank; a tab is
// an ordinary character unless a routine removes it; letters are ASCII only.
// A value stored into a field of n characters goes through fit(), which cuts it.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zorvel::util {

inline constexpr std::size_t kNameLen = 1000;     // file names, paths, dataset paths
inline constexpr std::size_t kDatNameLen = 40;    // dataset name of a ".dat" header
inline constexpr std::size_t kTypeCodeLen = 4;    // map output type code

// The value as a field of n characters holds it: cut at n, trailing blanks dropped.
std::string fit(std::string_view value, std::size_t n);
// The value without trailing blanks.
std::string_view rtrim(std::string_view value);
// The value without trailing blanks, as a text of its own.
std::string trimmed(std::string_view value);
// Length without trailing blanks.
std::size_t trimmed_length(std::string_view value);

// The text trimmed, as a field of 256 characters.
std::string SS256(std::string_view text);
// The text left-justified: leading blanks removed (a leading tab stays).
std::string TRIMF(std::string_view text);
// The text without double quotes and apostrophes.
std::string REMOVEQUOTES(std::string_view text);
// The text without tabs.
std::string REMOVETABS(std::string_view text);
// The text without blanks.
std::string REMOVESPACES(std::string_view text);
// The text with every double quote doubled.
std::string DOUBLEQUOTE(std::string_view text);
// Letters and digits kept, every other character replaced by c (dropped when c is code 0);
// a blank outcome becomes "X".
std::string ALPHANUMERICONLY(std::string_view text, char c);
// Letters, digits and "_" kept, all else dropped; a blank outcome becomes "X".
std::string CLEANATTRIBUTENAME(std::string_view text);
// ASCII case mapping; every other code is unchanged.
std::string UPPERCASE(std::string_view text);
std::string LOWERCASE(std::string_view text);
// True when the text is blank once its tabs are removed (the argument is not changed).
bool BLANK(std::string_view text);
// Equal without regard to case, quotes, tabs, leading and trailing blanks.
bool ASAME(std::string_view a, std::string_view b);
// The same as ASAME, case included.
bool ASAMECS(std::string_view a, std::string_view b);
// True when the flag occurs anywhere in the line, case ignored; a blank flag is always found.
bool FLAGEXISTS(std::string_view line, std::string_view flag);
// FLAGEXISTS, and rest receives the line after the flag (blank when not found).
bool FLAGEXISTSRET(std::string_view line, std::string_view flag, std::string& rest);
// The text with the first occurrence of the search text (case ignored) replaced.
std::string REPLACE(std::string_view text, std::string_view search, std::string_view replacement);
// The text with every occurrence replaced; the search goes on after each inserted text.
std::string REPLACEALL(std::string_view text, std::string_view search, std::string_view replacement);

// Control-file lines. Each left-justifies its argument in place.
// True for a comment or blank line; a trailing comment is cut off the line.
bool COMMENTLINE(std::string& line);
// True when the line begins like a number (a digit, "-" or ".") or is blank.
bool NUMBERLINE(std::string& line);
// True when the text is not blank and all digits.
bool POSITIVEINTEGERNUMBER(std::string& text);
// True when the line holds "Read MI " or "Read GIS " followed by the name.
bool READGIS(std::string_view line, std::string_view name);
// True when the line holds "Write MI " or "Write GIS " followed by the name.
bool WRITEGIS(std::string_view line, std::string_view name);
// True when the line holds "Read MID " or "Read RowCol " followed by the name.
bool READROWCOL(std::string_view line, std::string_view name);
// Splits the line at the separator (or at the column) into head and rest; true when the
// head holds the command ("*" accepts any head).
bool CHECKLINE(std::string_view line, std::string_view command, std::string_view separator,
               std::int32_t column, std::string& rest, std::string& head);

}  // namespace zorvel::util
