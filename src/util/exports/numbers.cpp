// Exported routines of numbers as text: integers and reals edited into texts, the count
// of numbers on a line, integer tests and day numbers.

#include "util/exports/abi.hpp"
#include "util/numbers.hpp"

using namespace zorvel::util::exports;
namespace u = zorvel::util;

extern "C" {

// A 32-bit integer, left-justified.
void AINTEGER(char* result, Len result_len, const std::int32_t* i) {
    guarded([&] { store(result, result_len, u::AINTEGER(*i)); });
}

// A 64-bit integer, left-justified.
void AINTEGER8(char* result, Len result_len, const std::int64_t* i) {
    guarded([&] { store(result, result_len, u::AINTEGER8(*i)); });
}

// A 32-bit integer with leading zeros up to n digits.
void AINTEGERPREC0(char* result, Len result_len, const std::int32_t* i, const std::int32_t* n) {
    guarded([&] { store(result, result_len, u::AINTEGERPREC0(*i, *n)); });
}

// A 64-bit integer with leading zeros up to n digits.
void AINTEGER8PREC0(char* result, Len result_len, const std::int64_t* i, const std::int32_t* n) {
    guarded([&] { store(result, result_len, u::AINTEGER8PREC0(*i, *n)); });
}

// A 32-bit real with decimals by its magnitude.
void AREAL(char* result, Len result_len, const float* x) {
    guarded([&] { store(result, result_len, u::AREAL(*x)); });
}

// A 64-bit real with decimals by its magnitude.
void AREAL8(char* result, Len result_len, const double* x) {
    guarded([&] { store(result, result_len, u::AREAL8(*x)); });
}

// A 32-bit real with n decimals.
void AREALD(char* result, Len result_len, const float* x, const std::int32_t* n) {
    guarded([&] { store(result, result_len, u::AREALD(*x, *n)); });
}

// A 64-bit real with n decimals.
void AREALD8(char* result, Len result_len, const double* x, const std::int32_t* n) {
    guarded([&] { store(result, result_len, u::AREALD8(*x, *n)); });
}

// Count of numbers on a line, negative when it holds other text.
std::int32_t NUMBEROFNUMBERS(const char* line, Len line_len) {
    return guarded([&] { return u::NUMBEROFNUMBERS(text(line, line_len)); });
}

// True when the text's first item reads as a 32-bit integer, which i receives.
std::int32_t CHECKINT(const char* t, Len t_len, std::int32_t* i) {
    return guarded([&] { return logical(u::CHECKINT(text(t, t_len), *i)); });
}

// The same as CHECKINT.
std::int32_t CHECKINT4(const char* t, Len t_len, std::int32_t* i) {
    return guarded([&] { return logical(u::CHECKINT4(text(t, t_len), *i)); });
}

// True when the text's first item reads as a 64-bit integer, which i receives.
std::int32_t CHECKINT8(const char* t, Len t_len, std::int64_t* i) {
    return guarded([&] { return logical(u::CHECKINT8(text(t, t_len), *i)); });
}

// Day number of a date "yyyymmdd"; -1 when unreadable.
std::int32_t NUMBEROFDAYS(const char* date, Len date_len) {
    return guarded([&] { return u::NUMBEROFDAYS(text(date, date_len)); });
}

}  // extern "C"
