#pragma once
// The message layer: one block of shared storage, DMESSAGES, into which a caller puts a
// message (up to three text lines, three extra fields, a position, units and a layout),
// and the routines that classify it by its first word, count it, write it on the console
// and to a log unit, log it as a comma-separated line and, for a message tied to a point,
// write it as a MIF Text object with its MID record.
//
// Block layout (byte offsets; fields follow without gaps except the 4 bytes before the
// text-box width, which starts on a multiple of 8):
//        0 x                   64-bit real   (-99999 when none)
//        8 y                   64-bit real
//       16 one_line            32-bit logical (true -1, false 0, lowest bit tested)
//       20 log_unit            32-bit integer (messages copied there when 1 or more)
//       24 mif_unit_a, mid_unit_a   errors, warnings, instabilities
//       32 mif_unit_b, mid_unit_b   checks and other messages
//       40 line[0..2]          3 x 10000 characters: the message; line 1's first word gives its type
//    30040 line[3]             10000 characters: built from the extra fields
//    40040 prefix              4 characters, written ahead of line 1 when not blank
//    40048 box_width, box_height   64-bit reals: MIF text box
//    40064 errors, warnings, checks, errors_xy, warnings_xy, checks_xy   32-bit counters
//    40088 number              32-bit: number of the last message (0 when none)
//    40092 type                32-bit: 1 error, 2 warning, 3 check, 4 instability, 0 other
//    40096 extra[0..2]         3 x 10000 characters: further information
//    70096 csv_unit            32-bit: a comma-separated line per classified message goes there
//
// The texts are fixed-length, blank-padded character fields (the one place where texts
// are not std::string): message_text and set_message_text convert at the edges. The block
// starts zero-filled; a zero byte in a field counts as a blank.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

namespace zorvel::util {

inline constexpr std::size_t kMessageLen = 10000;
inline constexpr std::size_t kPrefixLen = 4;

struct MessageBlock {
    double x;
    double y;
    std::int32_t one_line;
    std::int32_t log_unit;
    std::int32_t mif_unit_a;
    std::int32_t mid_unit_a;
    std::int32_t mif_unit_b;
    std::int32_t mid_unit_b;
    char line[4][kMessageLen];
    char prefix[kPrefixLen];
    double box_width;
    double box_height;
    std::int32_t errors;
    std::int32_t warnings;
    std::int32_t checks;
    std::int32_t errors_xy;
    std::int32_t warnings_xy;
    std::int32_t checks_xy;
    std::int32_t number;
    std::int32_t type;
    char extra[3][kMessageLen];
    std::int32_t csv_unit;
};

static_assert(std::is_standard_layout_v<MessageBlock> && std::is_trivial_v<MessageBlock>);
static_assert(offsetof(MessageBlock, x) == 0);
static_assert(offsetof(MessageBlock, y) == 8);
static_assert(offsetof(MessageBlock, one_line) == 16);
static_assert(offsetof(MessageBlock, log_unit) == 20);
static_assert(offsetof(MessageBlock, mif_unit_a) == 24);
static_assert(offsetof(MessageBlock, mid_unit_a) == 28);
static_assert(offsetof(MessageBlock, mif_unit_b) == 32);
static_assert(offsetof(MessageBlock, mid_unit_b) == 36);
static_assert(offsetof(MessageBlock, line) == 40);
static_assert(offsetof(MessageBlock, prefix) == 40040);
static_assert(offsetof(MessageBlock, box_width) == 40048);
static_assert(offsetof(MessageBlock, box_height) == 40056);
static_assert(offsetof(MessageBlock, errors) == 40064);
static_assert(offsetof(MessageBlock, checks_xy) == 40084);
static_assert(offsetof(MessageBlock, number) == 40088);
static_assert(offsetof(MessageBlock, type) == 40092);
static_assert(offsetof(MessageBlock, extra) == 40096);
static_assert(offsetof(MessageBlock, csv_unit) == 70096);

// The process's one message block (zero-filled at start), shared by its plain name
// with the programs that load the library.
extern "C" MessageBlock DMESSAGES;

// A field's text without trailing blanks; zero bytes count as blanks.
template <std::size_t N>
std::string message_text(const char (&field)[N]) {
    std::string s(field, N);
    for (char& c : s)
        if (c == '\0') c = ' ';
    s.erase(s.find_last_not_of(' ') + 1);
    return s;
}

// Stores the value into a field: padded with blanks, cut at the field's length.
template <std::size_t N>
void set_message_text(char (&field)[N], std::string_view value) {
    const std::size_t n = value.size() < N ? value.size() : N;
    value.copy(field, n);
    for (std::size_t i = n; i < N; ++i) field[i] = ' ';
}

// Classifies, counts, logs and writes the current message, then clears it: n of 0 or
// more writes n empty lines and the message on the console and to the log unit; -1 to
// the log unit only; -2 or less to neither.
void DMESSAGE(std::int32_t n);
// Writes the current message as a MIF Text object and a MID record at (x, y), then
// issues it as DMESSAGE(n) does, with the prefix "XY: ".
void DMESSAGEXY(std::int32_t n, double x, double y);
// Blanks the message fields, sets the position to -99999 and the layout to separate lines.
void DMESSAGECLEAR();
// Sets the six message counters to 0.
void DMESSAGERESETCOUNTERS();
// A line of 80 "_" on the console, and to the unit when it is 1 or more.
void DLINE(std::int32_t unit);

}  // namespace zorvel::util
