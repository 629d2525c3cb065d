#pragma once
// Building blocks shared by the ".dat" reader, writer, searches and reductions:
// checked reads and views of a record's parts, the fold buffer that records are read into
// a piece at a time, and the run's ends for unreadable files. Internal to the results
// subsystem.

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "results/res_type.hpp"
#include "util/file_io.hpp"

namespace zorvel::results::dat_io {

static_assert(std::endian::native == std::endian::little,
              ".dat files are little-endian and are decoded by copying their bytes");
static_assert(sizeof(float) == 4 && sizeof(std::int32_t) == 4);

// A real stored at p (any alignment).
inline float load_real(const std::byte* p) {
    float v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// The ".dat" input open on the unit; ends the run when there is none.
util::File& input(int unit);
// Ends the run: the file ends inside a header value or a time record.
[[noreturn]] void cut_off(const util::File& f);
// Ends the run: the header's counts are impossible.
[[noreturn]] void invalid_header(const util::File& f);
// Ends the run: the header gives reals or activity flags of another size than 4 and 1 bytes.
[[noreturn]] void unsupported_layout(const util::File& f, std::int32_t real_bytes, std::int32_t flag_bytes);
// Ends the run: a record is followed by a card that is neither a record's nor the end card.
[[noreturn]] void invalid_record(const util::File& f);
// Ends the run: a search or reduction found no time record to work on.
[[noreturn]] void no_time_record(const util::File& f);
// Ends the run: the header's counts are not the counts of the results read with it.
[[noreturn]] void counts_differ(const util::File& f);

// The two fields that open a time record after its card.
struct RecordHead {
    std::int8_t flag_byte = 0;
    float time = 0.0f;
    bool has_flags() const { return flag_byte == 1; }
};

// Reads a record's flag byte and time and writes its "Reading data for time" line.
RecordHead read_head(util::File& f);
// Reads n bytes of a record or ends the run.
void read_bytes(util::File& f, void* dst, std::size_t n);
// Reads the next n bytes of a record, the first room of them into dst and the rest moved
// past, or ends the run.
void read_part(util::File& f, std::size_t n, void* dst, std::size_t room);
// The next n bytes of a record as viewed, valid until the next call on the file, or
// the run ends.
const std::byte* view_bytes(util::File& f, std::size_t n);
// Moves past n bytes of a record or ends the run.
void skip_bytes(util::File& f, std::uint64_t n);
// Reads n bytes from offset at of the file and comes back to where it stood.
void read_back(util::File& f, std::uint64_t at, void* dst, std::size_t n);
// Reads n bytes from offset at of the file without moving on, or the run ends.
void read_at(util::File& f, std::uint64_t at, void* dst, std::size_t n);
// Reads the card after a record (210 at the end of the file) and writes "Done.".
std::int32_t finish_record(util::File& f);

// A buffer of at least n bytes, kept and reused from call to call.
std::byte* body_buffer(std::size_t n);

// Bytes of the fold buffer: pieces of records are read into it and used from there while
// they are still in the processor's cache, so that a record is copied once, whatever its
// size.
inline constexpr std::size_t kFoldBytes = std::size_t{1} << 20;
// The fold buffer, kFoldBytes long, kept for the whole run; made of zeroed pages (a huge page
// where it can), so that its first fill costs one fault rather than one per page.
std::byte* fold_buffer();

// Hands the next n bytes of the file to take(piece, offset, length) in pieces of at most
// kFoldBytes, each a whole number of unit bytes, read into the fold buffer; the run ends
// when the file does not hold them.
template <typename Take>
void in_pieces(util::File& f, std::size_t n, std::size_t unit, Take&& take) {
    const std::size_t most = kFoldBytes / unit * unit;
    std::byte* piece = fold_buffer();
    for (std::size_t done = 0; done < n;) {
        const std::size_t len = std::min(most, n - done);
        read_bytes(f, piece, len);
        take(static_cast<const std::byte*>(piece), done, len);
        done += len;
    }
}

// Bytes of a record's values.
inline std::size_t value_bytes(std::int32_t nnodes, bool vector) {
    return length_of(nnodes) * (vector ? 8u : 4u);
}

}  // namespace zorvel::results::dat_io
