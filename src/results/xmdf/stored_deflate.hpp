#pragma once
// A zlib stream at deflate level 0, made here: the data in stored blocks with their
// Adler-32 checksum. zlib itself spends most of a level-0 stream's time on a
// byte-at-a-time checksum; this one copies and sums each 16 bytes in one pass.
//
// Layout: 0x78 0x01 (deflate, 32 KiB window, no dictionary), then stored blocks of
// at most 65535 bytes, each a header byte (1 for the last block, else 0), LEN and
// ~LEN as 16-bit little-endian, and LEN bytes; then the Adler-32 of the data, big-endian.

#include <cstddef>
#include <cstdint>

namespace zorvel::results::xmdf {

// The Adler-32 checksum of the bytes, as zlib defines it (1 for no bytes).
std::uint32_t adler32_of(const unsigned char* data, std::size_t n);

inline constexpr std::size_t kMaxStoredBlock = 65535;

// Writes one stream piece by piece: construct (the header), block() for each piece
// of data in order (the last one marked), finish() (the checksum).
class StoredDeflateWriter {
public:
    explicit StoredDeflateWriter(unsigned char* out);
    // Appends a stored block of n <= kMaxStoredBlock bytes.
    void block(const unsigned char* data, std::size_t n, bool last);
    // Appends the checksum; the stream ends there.
    void finish();
    // Bytes written so far.
    std::size_t size() const { return static_cast<std::size_t>(out_ - start_); }

private:
    unsigned char* start_;
    unsigned char* out_;
    std::uint64_t a_ = 1;
    std::uint64_t b_ = 0;
};

// The size of a stream of n bytes cut into blocks of at most `block` bytes.
std::size_t stored_deflate_size(std::size_t n, std::size_t block = kMaxStoredBlock);
// Writes the stream of the data, in blocks of kMaxStoredBlock bytes, into out
// (stored_deflate_size(n) bytes).
void stored_deflate(const unsigned char* data, std::size_t n, unsigned char* out);

}  // namespace zorvel::results::xmdf
