// A deflate level-0 zlib stream with a fast checksum (see stored_deflate.hpp).

#include "results/xmdf/stored_deflate.hpp"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zorvel::results::xmdf {

namespace {

constexpr std::uint32_t kModulus = 65521;
// 16-byte groups summed in vector lanes between two reductions; keeps every lane below 2^32.
constexpr std::size_t kGroupsPerRound = 256;

// The running checksum: a (sum of bytes plus 1) and b (sum of the a's), kept reduced.
struct Adler {
    std::uint64_t& a;
    std::uint64_t& b;
};

#if defined(__SSE2__)
std::uint64_t lane_sum(__m128i v) {
    alignas(16) std::uint32_t lanes[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes), v);
    return std::uint64_t{lanes[0]} + lanes[1] + lanes[2] + lanes[3];
}
#endif

// Adds n bytes to the checksum, copying them to out when out is not null.
void add_bytes(Adler& sum, const unsigned char* p, std::size_t n, unsigned char* out) {
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i weights_lo = _mm_setr_epi16(16, 15, 14, 13, 12, 11, 10, 9);
    const __m128i weights_hi = _mm_setr_epi16(8, 7, 6, 5, 4, 3, 2, 1);
    while (n >= 16) {
        const std::size_t groups = std::min(n / 16, kGroupsPerRound);
        // Per group j of bytes c0..c15: a += S_j; b += 16*a_j + sum (16 - i) c_i.
        __m128i sums = zero, prefix = zero, weighted = zero;
        for (std::size_t j = 0; j < groups; ++j) {
            const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * j));
            if (out != nullptr) _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16 * j), c);
            prefix = _mm_add_epi32(prefix, sums);
            sums = _mm_add_epi32(sums, _mm_sad_epu8(c, zero));
            const __m128i lo = _mm_madd_epi16(_mm_unpacklo_epi8(c, zero), weights_lo);
            const __m128i hi = _mm_madd_epi16(_mm_unpackhi_epi8(c, zero), weights_hi);
            weighted = _mm_add_epi32(weighted, _mm_add_epi32(lo, hi));
        }
        sum.b = (sum.b + 16 * (groups * sum.a + lane_sum(prefix)) + lane_sum(weighted)) % kModulus;
        sum.a = (sum.a + lane_sum(sums)) % kModulus;
        p += 16 * groups;
        if (out != nullptr) out += 16 * groups;
        n -= 16 * groups;
    }
#endif
    if (out != nullptr && n > 0) std::memcpy(out, p, n);
    for (std::size_t i = 0; i < n; ++i) {
        sum.a += p[i];
        sum.b += sum.a;
        if ((i & 1023) == 1023) sum.a %= kModulus, sum.b %= kModulus;
    }
    sum.a %= kModulus;
    sum.b %= kModulus;
}

}  // namespace

std::uint32_t adler32_of(const unsigned char* data, std::size_t n) {
    std::uint64_t a = 1, b = 0;
    Adler sum{a, b};
    add_bytes(sum, data, n, nullptr);
    return static_cast<std::uint32_t>(b << 16 | a);
}

StoredDeflateWriter::StoredDeflateWriter(unsigned char* out) : start_(out), out_(out) {
    *out_++ = 0x78;
    *out_++ = 0x01;
}

void StoredDeflateWriter::block(const unsigned char* data, std::size_t n, bool last) {
    *out_++ = last ? 1 : 0;
    out_[0] = static_cast<unsigned char>(n & 0xff);
    out_[1] = static_cast<unsigned char>((n >> 8) & 0xff);
    out_[2] = static_cast<unsigned char>(~n & 0xff);
    out_[3] = static_cast<unsigned char>((~n >> 8) & 0xff);
    out_ += 4;
    Adler sum{a_, b_};
    add_bytes(sum, data, n, out_);
    out_ += n;
}

void StoredDeflateWriter::finish() {
    const auto adler = static_cast<std::uint32_t>(b_ << 16 | a_);
    out_[0] = static_cast<unsigned char>(adler >> 24);
    out_[1] = static_cast<unsigned char>(adler >> 16);
    out_[2] = static_cast<unsigned char>(adler >> 8);
    out_[3] = static_cast<unsigned char>(adler);
    out_ += 4;
}

std::size_t stored_deflate_size(std::size_t n, std::size_t block) {
    const std::size_t blocks = n == 0 ? 1 : (n + block - 1) / block;
    return 2 + 5 * blocks + n + 4;
}

void stored_deflate(const unsigned char* data, std::size_t n, unsigned char* out) {
    StoredDeflateWriter stream(out);
    std::size_t left = n;
    do {
        const std::size_t len = std::min(left, kMaxStoredBlock);
        left -= len;
        stream.block(data, len, left == 0);
        data += len;
    } while (left > 0);
    stream.finish();
}

}  // namespace zorvel::results::xmdf
