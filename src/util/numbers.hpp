#pragma once
// Numbers as text: integers and reals as short left-justified texts for messages and
// names, right-justified in the fixed-width fields of console lines, the grammar of a
// real number field, the fixed-width fields of big text outputs, the count of numbers on
// a line, integer tests and day numbers.
//
// Every number is edited into a 20-character field as a formatted write would do it
// (I20 for integers, F20.d for reals: rounded to nearest, halfway away from zero,
// 20 asterisks when too wide) and then left-justified; results carry no blanks.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zorvel::util {

// Integer, left-justified ("-2147483648", "0").
std::string AINTEGER(std::int32_t i);
std::string AINTEGER8(std::int64_t i);
// Integer with leading zeros up to n digits (none for a negative value); n from 1 to 20.
std::string AINTEGERPREC0(std::int32_t i, std::int32_t n);
std::string AINTEGER8PREC0(std::int64_t i, std::int32_t n);

// Real with decimals chosen by its magnitude, trailing zeros cut, point kept ("2.").
std::string AREAL(float x);
std::string AREAL8(double x);
// Real with exactly n decimals (F20.n), nothing cut; 20 asterisks when the text, with
// its zero ahead of the point below 1, needs more than 20 characters.
std::string AREALD(float x, std::int32_t n);
std::string AREALD2(float x, std::int32_t n);
std::string AREALD8(double x, std::int32_t n);

// The text right-justified in a field of width characters, or asterisks across the
// field when the text is wider: every number in a fixed-width console field.
std::string right_justified(std::string_view text, std::size_t width);
// An integer right-justified in width characters with at least digits digits (leading
// zeros after the sign), asterisks across the field when it does not fit.
std::string integer_field(std::int64_t value, std::size_t width, std::size_t digits = 1);

// Fixed-width fields edited straight into a caller's buffer, for text outputs too big for a
// string per value. Each writes exactly width characters at out (asterisks across the field
// when the value does not fit) and returns out + width. Rounding is to nearest, halfway
// away from zero, as in the texts above; a negative zero is written as zero.
// Iw: an integer right-justified.
char* put_integer_field(char* out, std::int64_t value, std::size_t width);
// Ew.d (d from 1 to 17): a blank or "-", "0.", d digits of the value scaled into [0.1, 1),
// then "E", the exponent's sign and two digits ("+100" and beyond without the "E");
// zero is " 0.00000E+00" in E12.5. NaN and infinities are written as words.
char* put_e_field(char* out, double value, std::size_t width, int decimals);
// Fw.d: the value with d decimals, right-justified (as AREALD8 edits it).
char* put_f_field(char* out, double value, std::size_t width, int decimals);

// Count of numbers on a line; negative count when the line holds other text.
std::int32_t NUMBEROFNUMBERS(std::string_view line);

// The text of a real number field as a list-directed read takes it: an optional sign,
// digits with an optional point, an optional exponent ("E", "D" or just a sign), nothing
// else. number receives it in the form std::from_chars reads; false for any other field.
bool real_number_text(std::string_view field, std::string& number);

// True when the text's first item reads as an integer; i then holds it (else unchanged).
bool CHECKINT(std::string_view text, std::int32_t& i);
bool CHECKINT4(std::string_view text, std::int32_t& i);
bool CHECKINT8(std::string_view text, std::int64_t& i);

// Day number of a date "yyyymmdd" in 365-day years (1 January 2000 is 1); -1 when unreadable.
std::int32_t NUMBEROFDAYS(std::string_view date);

// Speed of a velocity vector; components both within 1.0E-6 give exactly 0.
inline float VECTOR_MAGNITUDE(float u, float v) {
    constexpr float kSmall = 1.0e-6f;
    if (std::fabs(u) > kSmall || std::fabs(v) > kSmall) return std::sqrt(u * u + v * v);
    return 0.0f;
}

}  // namespace zorvel::util
