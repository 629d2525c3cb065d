#include "results/mesh_lines.hpp"

#include <bit>
#include <cstring>

#include "util/file_io.hpp"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define ZORVEL_MESH_LINES 1
#endif

namespace zorvel::results::mesh_lines {

#if defined(ZORVEL_MESH_LINES)

namespace {

static_assert(std::endian::native == std::endian::little, "bit i of a mask is byte i of the text");
static_assert(util::File::kLineSlack >= 128, "two windows of 64 bytes are read from the start of a text");

// The instructions the fast readers are built for, chosen at run time.
#define ZORVEL_LINES_TARGET __attribute__((target("avx2,bmi,bmi2,popcnt")))

// A bit for each byte of a text of up to 64 * N bytes, in N words: the separators (blank,
// tab, comma), digits, points and signs. Every byte from the end of the text on counts as
// a separator and as nothing else.
template <int N>
struct Masks {
    std::uint64_t sep[N], digit[N], point[N], sign[N];
    std::uint64_t start[N];  // the first byte of each field
    std::uint64_t end[N];    // the byte after each field
};

// The bytes of v that are c, as a vector of flags.
ZORVEL_LINES_TARGET inline __m256i is(__m256i v, char c) { return _mm256_cmpeq_epi8(v, _mm256_set1_epi8(c)); }

// The bits of a vector of byte flags.
ZORVEL_LINES_TARGET inline std::uint64_t bits(__m256i flags) {
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(flags));
}

// The masks of the n bytes at p (n below 64 * N); the points and signs only when Reals.
template <int N, bool Reals>
ZORVEL_LINES_TARGET inline Masks<N> classify(const char* p, std::size_t n) {
    Masks<N> m{};
    std::uint64_t carry = 1;  // the byte before the text counts as a separator
    for (int w = 0; w < N; ++w) {
        std::uint64_t sep = 0, digit = 0, point = 0, sign = 0;
        for (int h = 0; h < 2; ++h) {
            const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 64 * w + 32 * h));
            const __m256i d = _mm256_sub_epi8(v, _mm256_set1_epi8('0'));
            const int at = 32 * h;
            sep |= bits(_mm256_or_si256(_mm256_or_si256(is(v, ' '), is(v, '\t')), is(v, ','))) << at;
            digit |= bits(_mm256_cmpeq_epi8(_mm256_min_epu8(d, _mm256_set1_epi8(9)), d)) << at;
            if constexpr (Reals) {
                point |= bits(is(v, '.')) << at;
                sign |= bits(_mm256_or_si256(is(v, '+'), is(v, '-'))) << at;
            }
        }
        const std::size_t from = 64 * static_cast<std::size_t>(w);
        const std::uint64_t all = ~std::uint64_t{0};
        const std::uint64_t beyond = n <= from ? all : n - from >= 64 ? 0 : all << (n - from);
        m.sep[w] = sep | beyond;
        m.digit[w] = digit & ~beyond;
        m.point[w] = point & ~beyond;
        m.sign[w] = sign & ~beyond;
        const std::uint64_t before = (m.sep[w] << 1) | carry;  // the byte before each byte is a separator
        m.start[w] = ~m.sep[w] & before;
        m.end[w] = m.sep[w] & ~before;
        carry = m.sep[w] >> 63;
    }
    return m;
}

// The position of set bit k (from 0) of the mask, or 64 * N when it has fewer bits.
template <int N>
ZORVEL_LINES_TARGET inline unsigned nth(const std::uint64_t (&mask)[N], unsigned k) {
    const auto low = static_cast<unsigned>(std::popcount(mask[0]));
    if (N == 1 || k < low) return static_cast<unsigned>(std::countr_zero(_pdep_u64(std::uint64_t{1} << k, mask[0])));
    return 64 + static_cast<unsigned>(std::countr_zero(_pdep_u64(std::uint64_t{1} << (k - low), mask[N - 1])));
}

// The bits below position at.
template <int N>
ZORVEL_LINES_TARGET inline void below(unsigned at, std::uint64_t (&out)[N]) {
    for (int w = 0; w < N; ++w) {
        const unsigned from = 64 * static_cast<unsigned>(w);
        out[w] = at <= from ? 0 : at - from >= 64 ? ~std::uint64_t{0} : _bzhi_u64(~std::uint64_t{0}, at - from);
    }
}

// The mask moved k bits towards the start of the text (k from 1 to 63).
template <int N>
ZORVEL_LINES_TARGET inline void down(std::uint64_t (&m)[N], unsigned k) {
    if constexpr (N == 2) {
        m[0] = (m[0] >> k) | (m[1] << (64 - k));
        m[1] >>= k;
    } else {
        m[0] >>= k;
    }
}

// The mask moved one bit towards the end of the text.
template <int N>
ZORVEL_LINES_TARGET inline void up(std::uint64_t (&m)[N]) {
    if constexpr (N == 2) {
        m[1] = (m[1] << 1) | (m[0] >> 63);
    }
    m[0] <<= 1;
}

// True when the mask has a run of at least L set bits.
template <int L, int N>
ZORVEL_LINES_TARGET inline bool run_of(const std::uint64_t (&mask)[N]) {
    std::uint64_t m[N];
    for (int w = 0; w < N; ++w) m[w] = mask[w];
    // m keeps the bits that begin a run of `have` bits, `have` doubling up to L.
    for (int have = 1; have < L;) {
        const int step = have < L - have ? have : L - have;
        std::uint64_t shifted[N];
        for (int w = 0; w < N; ++w) shifted[w] = m[w];
        down(shifted, static_cast<unsigned>(step));
        for (int w = 0; w < N; ++w) m[w] &= shifted[w];
        have += step;
    }
    std::uint64_t any = 0;
    for (int w = 0; w < N; ++w) any |= m[w];
    return any != 0;
}

// Adds two masks as one number, the first bit lowest.
template <int N>
ZORVEL_LINES_TARGET inline void add(const std::uint64_t (&a)[N], const std::uint64_t (&b)[N], std::uint64_t (&sum)[N]) {
    unsigned char carry = 0;
    for (int w = 0; w < N; ++w) {
        unsigned long long s;
        carry = _addcarry_u64(carry, a[w], b[w], &s);
        sum[w] = s;
    }
}

// The value of the n digits (1 to 8) at p, eight bytes being readable there.
ZORVEL_LINES_TARGET inline std::uint32_t digits_value(const char* p, unsigned n) {
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    // The digits' values moved to the top, zeros below them, folded pairwise into one number.
    std::uint64_t v = (w ^ 0x3030303030303030u) << (64 - 8 * n);
    v = v * 10 + (v >> 8);
    constexpr std::uint64_t kPairs = 0x000000FF000000FFu;
    v = (((v & kPairs) * 0x000F424000000064u) + (((v >> 16) & kPairs) * 0x0000271000000001u)) >> 32;
    return static_cast<std::uint32_t>(v);
}

// The position of the mask's first set bit, which it loses; 64 * N when it has none.
template <int N>
ZORVEL_LINES_TARGET inline unsigned take_first(std::uint64_t (&mask)[N]) {
    const int w = N == 2 && mask[0] == 0 ? N - 1 : 0;
    const unsigned at = static_cast<unsigned>(std::countr_zero(mask[w])) + 64 * static_cast<unsigned>(w);
    mask[w] = _blsr_u64(mask[w]);
    return at;
}

// The values of the next four fields of starts and ends (fields past them empty), each of
// up to 8 digits with eight bytes readable from its start, into out: the digits moved to
// the top of a 64-bit lane each, zeros below them, and folded pairwise into one number.
template <int N>
ZORVEL_LINES_TARGET inline void values4(const char* text, std::uint64_t (&starts)[N], std::uint64_t (&ends)[N],
                                        std::int32_t* out) {
    std::int64_t word[4], shift[4];
    for (int j = 0; j < 4; ++j) {
        const unsigned from = take_first<N>(starts), to = take_first<N>(ends);
        const bool field = from < 64 * N;
        std::memcpy(&word[j], text + (field ? from : 0), 8);
        shift[j] = field ? 64 - 8 * static_cast<std::int64_t>(to - from) : 64;
    }
    const __m256i digits =
        _mm256_sub_epi8(_mm256_setr_epi64x(word[0], word[1], word[2], word[3]), _mm256_set1_epi8('0'));
    __m256i v = _mm256_sllv_epi64(digits, _mm256_setr_epi64x(shift[0], shift[1], shift[2], shift[3]));
    v = _mm256_maddubs_epi16(v, _mm256_set1_epi16(0x010A));   // 10 a + b, pair by pair
    v = _mm256_madd_epi16(v, _mm256_set1_epi32(0x00010064));  // 100 ab + cd
    v = _mm256_add_epi64(_mm256_mul_epu32(v, _mm256_set1_epi64x(10000)), _mm256_srli_epi64(v, 32));
    const __m256i low = _mm256_permutevar8x32_epi32(v, _mm256_setr_epi32(0, 2, 4, 6, 0, 0, 0, 0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(low));
}

// True when the n bytes at p (1 to 8) are all digits.
ZORVEL_LINES_TARGET inline bool all_digits(const char* p, unsigned n) {
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    const std::uint64_t t = w ^ 0x3030303030303030u;
    const std::uint64_t other = (((t & 0x7F7F7F7F7F7F7F7Fu) + 0x7676767676767676u) | t) & 0x8080808080808080u;
    return _bzhi_u64(other, 8 * n) == 0;
}

// An unsigned integer field of up to `most` digits, from its first byte to the byte after it.
ZORVEL_LINES_TARGET inline bool small_integer(const char* text, unsigned from, unsigned to, unsigned most,
                                              std::uint32_t& value) {
    const unsigned n = to - from;
    if (n == 0 || n > most || !all_digits(text + from, n)) return false;
    value = digits_value(text + from, n);
    return true;
}

// node_checked for a text of fewer than 64 * N bytes.
template <int N>
ZORVEL_LINES_TARGET bool node_checked_in(const char* text, std::size_t n, int fields, std::int32_t& id,
                                         std::int8_t& flag) {
    const Masks<N> m = classify<N, true>(text, n);
    const unsigned last = nth<N>(m.end, static_cast<unsigned>(fields - 1));
    if (last >= n + 1) return false;  // fewer fields than that
    std::uint64_t in[N];  // the bytes up to the end of the last field read
    below<N>(last, in);
    std::uint64_t bad = 0, seeds[N], spread[N], field[N];
    // Every byte a separator, digit, point or sign, and a sign only where a field starts.
    for (int w = 0; w < N; ++w)
        bad |= (~(m.sep[w] | m.digit[w] | m.point[w] | m.sign[w]) | (m.sign[w] & ~m.start[w])) & in[w];
    // At most one point in a field: the digits after a point end at a separator.
    for (int w = 0; w < N; ++w) seeds[w] = m.point[w] & in[w];
    up<N>(seeds);
    add<N>(m.digit, seeds, spread);
    for (int w = 0; w < N; ++w) bad |= spread[w] & ~m.digit[w] & ~m.sep[w];
    // A digit in every field: past a field's sign and point comes a digit.
    std::uint64_t sign_point[N], starts[N];
    for (int w = 0; w < N; ++w) {
        sign_point[w] = m.sign[w] | m.point[w];
        starts[w] = m.start[w] & in[w];
    }
    add<N>(sign_point, starts, spread);
    for (int w = 0; w < N; ++w) bad |= spread[w] & ~sign_point[w] & ~m.digit[w];
    // At most 19 bytes a field, so at most 19 digits: within the range of every real.
    for (int w = 0; w < N; ++w) field[w] = ~m.sep[w] & in[w];
    if (bad != 0 || run_of<20, N>(field)) return false;

    std::uint32_t v;
    if (!small_integer(text, nth<N>(m.start, 0), nth<N>(m.end, 0), 8, v)) return false;
    id = static_cast<std::int32_t>(v);
    if (fields > 4) {
        if (!small_integer(text, nth<N>(m.start, 4), nth<N>(m.end, 4), 3, v) || v > 127) return false;
        flag = static_cast<std::int8_t>(v);
    }
    return true;
}

// element_read for a text of fewer than 64 * N bytes.
template <int N>
ZORVEL_LINES_TARGET bool element_read_in(const char* text, std::size_t n, int count, bool word, std::int32_t* out,
                                         std::string_view& code) {
    const Masks<N> m = classify<N, false>(text, n);
    const unsigned last = nth<N>(m.end, static_cast<unsigned>(count - 1));
    if (last >= n + 1) return false;
    std::uint64_t in[N], digits[N];
    below<N>(last, in);
    // Digits and separators alone, at most 8 digits a field.
    std::uint64_t bad = 0;
    for (int w = 0; w < N; ++w) {
        bad |= ~(m.sep[w] | m.digit[w]) & in[w];
        digits[w] = m.digit[w] & in[w];
    }
    if (bad != 0 || run_of<9, N>(digits)) return false;
    if (word) {
        const unsigned from = nth<N>(m.start, static_cast<unsigned>(count));
        if (from >= n) return false;
        code = std::string_view(text + from, nth<N>(m.end, static_cast<unsigned>(count)) - from);
    }
    // The values four fields at a time, into out's room for 16.
    std::uint64_t starts[N], ends[N];
    for (int w = 0; w < N; ++w) {
        starts[w] = m.start[w];
        ends[w] = m.end[w];
    }
    for (int k = 0; k < count; k += 4) values4<N>(text, starts, ends, out + k);
    return true;
}

}  // namespace

bool available() {
    static const bool have = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") &&
                             __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("popcnt");
    return have;
}

bool node_checked(std::string_view text, int fields, std::int32_t& id, std::int8_t& flag) {
    if (text.size() < 64) return node_checked_in<1>(text.data(), text.size(), fields, id, flag);
    if (text.size() < 128) return node_checked_in<2>(text.data(), text.size(), fields, id, flag);
    return false;
}

bool element_read(std::string_view text, int count, bool word, std::int32_t* out, std::string_view& code) {
    if (text.size() < 64) return element_read_in<1>(text.data(), text.size(), count, word, out, code);
    if (text.size() < 128) return element_read_in<2>(text.data(), text.size(), count, word, out, code);
    return false;
}

#else

bool available() { return false; }

bool node_checked(std::string_view, int, std::int32_t&, std::int8_t&) { return false; }

bool element_read(std::string_view, int, bool, std::int32_t*, std::string_view&) { return false; }

#endif

}  // namespace zorvel::results::mesh_lines
