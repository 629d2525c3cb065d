#pragma once
// Text and string routines.
//
// A text is a std::string whose trailing blanks carry no meaning: it stands for a
// fixed-length field padded with blanks. Routines take std::string_view and return
// std::string without trailing blanks. Only the blank (code 32) is a blank; a tab is
// an ordinary character unless a routine removes it; letters are ASCII only.
// A value stored into a field of n characters goes through fit(), which cuts it.

#include <cstddef>
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
// Length without trailing blanks.
std::size_t trimmed_length(std::string_view value);

std::string TRIMF(std::string_view text);
std::string REMOVEQUOTES(std::string_view text);
std::string REMOVETABS(std::string_view text);
std::string UPPERCASE(std::string_view text);
std::string LOWERCASE(std::string_view text);
// True when the text is blank once its tabs are removed (the argument is not changed).
bool BLANK(std::string_view text);
bool ASAME(std::string_view a, std::string_view b);
bool ASAMECS(std::string_view a, std::string_view b);
bool FLAGEXISTS(std::string_view line, std::string_view flag);

}  // namespace zorvel::util
