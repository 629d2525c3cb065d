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
// The size of the stream for n bytes of data.
std::size_t stored_deflate_size(std::size_t n);
// Writes the stream for the data into out, which holds stored_deflate_size(n) bytes.
void stored_deflate(const unsigned char* data, std::size_t n, unsigned char* out);

}  // namespace zorvel::results::xmdf
