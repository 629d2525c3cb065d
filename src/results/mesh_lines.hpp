#pragma once
// Fast readers of the two commonest ".2dm" lines, node and element lines whose fields are
// all numbers in their plain form. They look at a whole line at once: with AVX2 they
// classify up to 128 bytes of it (separators, digits, points, signs) into bit masks, check
// the fields against those masks and work out the values they need a field at a time.
//
// A fast reader takes a line only when the general reader (mesh_fields.hpp) would read
// every field the same way with the same values; it refuses every other line, and then
// the general reader reads it as it always has, faults included. The text is a line of
// util::File::next_line after its keyword, with the line end and slack after it.

#include <cstdint>
#include <string_view>

namespace zorvel::results::mesh_lines {

// True when the processor runs the fast readers (AVX2 with BMI1, BMI2 and POPCNT).
bool available();

// The text after "ND" of a node line whose first `fields` fields (4 or 8) are plain
// numbers: the id (an unsigned integer of up to 8 digits) and, with 8 fields, the offset
// flag (the fifth, an unsigned integer up to 127); the reals are checked, not read. False
// when the general reader must read the line.
bool node_checked(std::string_view text, int fields, std::int32_t& id, std::int8_t& flag);

// The text after the keyword of an element line whose first `count` fields (up to 15) are
// unsigned integers of up to 8 digits: their values into out (room for 16; what follows
// them is of no meaning), and, with `word`, the word after them (the code of a current
// triangle). False when the general reader must read the line.
bool element_read(std::string_view text, int count, bool word, std::int32_t* out, std::string_view& code);

}  // namespace zorvel::results::mesh_lines
