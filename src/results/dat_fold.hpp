#pragma once
// The inner loops of the ".dat" reductions: one record's values or flags, as read
// from the file, folded into dense running arrays. Lines of the running arrays
// that a record does not change are only read, never written, so they stay clean
// in the cache. Internal to the results subsystem.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "results/dat_io.hpp"
#include "results/res_ops.hpp"
#include "results/res_type.hpp"
#include "util/numbers.hpp"

namespace zorvel::results::dat_fold {

// How far ahead of a fold its input is asked for. Records are read in place from
// mapped pages, and the processor's own prefetch stops at each page's end.
inline constexpr std::size_t kAhead = 4096;

// Asks for the input kAhead bytes past p (never faults, even past the end).
inline void ask_ahead(const void* p) {
#if defined(__SSE2__)
    _mm_prefetch(static_cast<const char*>(p) + kAhead, _MM_HINT_T0);
#endif
}

// a when c holds, else b, as a bit select (no branch).
inline float pick(bool c, float a, float b) {
    const std::uint32_t mask = 0u - static_cast<std::uint32_t>(c);
    return std::bit_cast<float>((std::bit_cast<std::uint32_t>(a) & mask) | (std::bit_cast<std::uint32_t>(b) & ~mask));
}

// Folds n scalar values into the running extreme ev; where one wins, its node's time
// et becomes t (et nullptr: no times kept). Comparisons are strict, and a NaN never wins.
template <bool Max, bool Times>
void fold_scalars_into(const std::byte* __restrict values, std::size_t n, float t, float* __restrict ev,
                       float* __restrict et) {
    std::size_t j = 0;
#if defined(__SSE2__)
    const __m128 tv = _mm_set1_ps(t);
    for (; j + 16 <= n; j += 16) {
        const float* in = reinterpret_cast<const float*>(values + 4 * j);
        ask_ahead(in);
        __m128 v[4], m[4], w[4];
        for (int k = 0; k < 4; ++k) {
            v[k] = _mm_loadu_ps(in + 4 * k);
            m[k] = _mm_loadu_ps(ev + j + 4 * k);
            w[k] = Max ? _mm_cmpgt_ps(v[k], m[k]) : _mm_cmplt_ps(v[k], m[k]);
        }
        if (_mm_movemask_ps(_mm_or_ps(_mm_or_ps(w[0], w[1]), _mm_or_ps(w[2], w[3]))) == 0) continue;
        for (int k = 0; k < 4; ++k) {
            _mm_storeu_ps(ev + j + 4 * k, _mm_or_ps(_mm_and_ps(w[k], v[k]), _mm_andnot_ps(w[k], m[k])));
            if constexpr (Times) {
                const __m128 e = _mm_loadu_ps(et + j + 4 * k);
                _mm_storeu_ps(et + j + 4 * k, _mm_or_ps(_mm_and_ps(w[k], tv), _mm_andnot_ps(w[k], e)));
            }
        }
    }
#endif
    for (; j < n; ++j) {
        const float v = dat_io::load_real(values + 4 * j);
        const bool wins = Max ? v > ev[j] : v < ev[j];
        ev[j] = pick(wins, v, ev[j]);
        if constexpr (Times) et[j] = pick(wins, t, et[j]);
    }
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define ZORVEL_AVX2_FOLD 1
// fold_scalars_into 32 values at a time with AVX2.
template <bool Max, bool Times>
__attribute__((target("avx2"))) void fold_scalars_avx2(const std::byte* __restrict values, std::size_t n, float t,
                                                        float* __restrict ev, float* __restrict et) {
    const __m256 tv = _mm256_set1_ps(t);
    std::size_t j = 0;
    for (; j + 32 <= n; j += 32) {
        const float* in = reinterpret_cast<const float*>(values + 4 * j);
        ask_ahead(in);
        ask_ahead(in + 16);
        __m256 v[4], m[4], w[4];
        for (int k = 0; k < 4; ++k) {
            v[k] = _mm256_loadu_ps(in + 8 * k);
            m[k] = _mm256_loadu_ps(ev + j + 8 * k);
            w[k] = _mm256_cmp_ps(v[k], m[k], Max ? _CMP_GT_OQ : _CMP_LT_OQ);
        }
        if (_mm256_movemask_ps(_mm256_or_ps(_mm256_or_ps(w[0], w[1]), _mm256_or_ps(w[2], w[3]))) == 0) continue;
        for (int k = 0; k < 4; ++k) {
            _mm256_storeu_ps(ev + j + 8 * k, _mm256_blendv_ps(m[k], v[k], w[k]));
            if constexpr (Times)
                _mm256_storeu_ps(et + j + 8 * k, _mm256_blendv_ps(_mm256_loadu_ps(et + j + 8 * k), tv, w[k]));
        }
    }
    fold_scalars_into<Max, Times>(values + 4 * j, n - j, t, ev + j, Times ? et + j : nullptr);
}

// True when the processor runs AVX2.
inline bool have_avx2() {
    static const bool avx2 = __builtin_cpu_supports("avx2");
    return avx2;
}
#endif

// fold_scalars_into, with or without times.
template <bool Max>
void fold_scalars(const std::byte* values, std::size_t n, float t, float* ev, float* et) {
#if defined(ZORVEL_AVX2_FOLD)
    if (have_avx2()) {
        if (et != nullptr)
            fold_scalars_avx2<Max, true>(values, n, t, ev, et);
        else
            fold_scalars_avx2<Max, false>(values, n, t, ev, nullptr);
        return;
    }
#endif
    if (et != nullptr)
        fold_scalars_into<Max, true>(values, n, t, ev, et);
    else
        fold_scalars_into<Max, false>(values, n, t, ev, nullptr);
}

// Splits n (x, y) pairs as a file stores them into the x and y arrays.
inline void split_pairs(const std::byte* __restrict values, std::size_t n, float* __restrict x, float* __restrict y) {
    for (std::size_t j = 0; j < n; ++j) {
        if (j % 8 == 0) ask_ahead(values + 8 * j);
        x[j] = dat_io::load_real(values + 8 * j);
        y[j] = dat_io::load_real(values + 8 * j + 4);
    }
}

// Folds nodes [j, n) of the vectors one at a time: the scalar tail of fold_vectors.
template <bool Max>
void fold_vectors_from(std::size_t j, const std::byte* __restrict values, std::size_t n, float t,
                       float* __restrict ex, float* __restrict ey, float* __restrict es, float* __restrict et) {
    for (; j < n; ++j) {
        if (j % 8 == 0) ask_ahead(values + 8 * j);
        const float x = dat_io::load_real(values + 8 * j);
        const float y = dat_io::load_real(values + 8 * j + 4);
        const float s = util::VECTOR_MAGNITUDE(x, y);
        if (Max ? s > es[j] : s < es[j]) {
            ex[j] = x;
            ey[j] = y;
            es[j] = s;
            if (et != nullptr) et[j] = t;
        }
    }
}

#if defined(ZORVEL_AVX2_FOLD)
// The speeds of the eight (x, y) pairs at in, with their components in node order, worked out
// as VECTOR_MAGNITUDE does it: a multiply of each component, an add and a square root, each
// rounded on its own (no fused multiply-add), and exactly 0 where both components lie within
// 1.0E-6; so the speeds are those of VECTOR_MAGNITUDE, bit for bit.
__attribute__((target("avx2"))) inline __m256 speeds_avx2(const float* in, __m256& x, __m256& y) {
    const __m256 small = _mm256_set1_ps(1.0e-6f);
    const __m256 no_sign = _mm256_castsi256_ps(_mm256_set1_epi32(0x7fffffff));
    const __m256 a = _mm256_loadu_ps(in);      // x0 y0 x1 y1 x2 y2 x3 y3
    const __m256 b = _mm256_loadu_ps(in + 8);  // x4 y4 ... x7 y7
    // The components in node order: shuffled within lanes, then the 64-bit halves put right.
    x = _mm256_castpd_ps(_mm256_permute4x64_pd(_mm256_castps_pd(_mm256_shuffle_ps(a, b, 0x88)), 0xD8));
    y = _mm256_castpd_ps(_mm256_permute4x64_pd(_mm256_castps_pd(_mm256_shuffle_ps(a, b, 0xDD)), 0xD8));
    const __m256 big = _mm256_or_ps(_mm256_cmp_ps(_mm256_and_ps(x, no_sign), small, _CMP_GT_OQ),
                                    _mm256_cmp_ps(_mm256_and_ps(y, no_sign), small, _CMP_GT_OQ));
    return _mm256_and_ps(big, _mm256_sqrt_ps(_mm256_add_ps(_mm256_mul_ps(x, x), _mm256_mul_ps(y, y))));
}

// fold_vectors eight nodes at a time with AVX2; the speeds, and so which vector wins, are
// those of the one-at-a-time fold.
template <bool Max>
__attribute__((target("avx2"))) void fold_vectors_avx2(const std::byte* __restrict values, std::size_t n, float t,
                                                        float* __restrict ex, float* __restrict ey,
                                                        float* __restrict es, float* __restrict et) {
    const __m256 tv = _mm256_set1_ps(t);
    std::size_t j = 0;
    for (; j + 8 <= n; j += 8) {
        const float* in = reinterpret_cast<const float*>(values + 8 * j);
        ask_ahead(in);
        __m256 x, y;
        const __m256 s = speeds_avx2(in, x, y);
        const __m256 old = _mm256_loadu_ps(es + j);
        const __m256 w = _mm256_cmp_ps(s, old, Max ? _CMP_GT_OQ : _CMP_LT_OQ);
        if (_mm256_movemask_ps(w) == 0) continue;
        _mm256_storeu_ps(es + j, _mm256_blendv_ps(old, s, w));
        _mm256_storeu_ps(ex + j, _mm256_blendv_ps(_mm256_loadu_ps(ex + j), x, w));
        _mm256_storeu_ps(ey + j, _mm256_blendv_ps(_mm256_loadu_ps(ey + j), y, w));
        if (et != nullptr) _mm256_storeu_ps(et + j, _mm256_blendv_ps(_mm256_loadu_ps(et + j), tv, w));
    }
    fold_vectors_from<Max>(j, values, n, t, ex, ey, es, et);
}
#endif

// Folds n vectors (x, y pairs as the file stores them) into the running extreme (ex, ey)
// by speed; es holds the speeds of the running vectors. A winner gives both components
// and its time (et nullptr: no times kept).
template <bool Max>
void fold_vectors(const std::byte* values, std::size_t n, float t, float* ex, float* ey, float* es, float* et) {
#if defined(ZORVEL_AVX2_FOLD)
    if (have_avx2()) {
        fold_vectors_avx2<Max>(values, n, t, ex, ey, es, et);
        return;
    }
#endif
    fold_vectors_from<Max>(0, values, n, t, ex, ey, es, et);
}

// Folds flags into the cells: the larger (Max) or smaller flag magnitude.
template <bool Max>
void fold_flags(const std::int8_t* __restrict flags, std::span<CELL_RES_TYPE> cells) {
    std::size_t i = 0;
    const std::size_t n = cells.size();
#if defined(__SSE2__)
    static_assert(sizeof(CELL_RES_TYPE) == 1);
    auto* out = reinterpret_cast<__m128i*>(cells.data());
    const __m128i zero = _mm_setzero_si128();
    for (; i + 16 <= n; i += 16, ++out) {
        ask_ahead(flags + i);
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(flags + i));
        const __m128i b = _mm_loadu_si128(out);
        const __m128i am = _mm_min_epu8(a, _mm_sub_epi8(zero, a));
        const __m128i bm = _mm_min_epu8(b, _mm_sub_epi8(zero, b));
        const __m128i r = Max ? _mm_max_epu8(am, bm) : _mm_min_epu8(am, bm);
        if (_mm_movemask_epi8(_mm_cmpeq_epi8(r, b)) != 0xFFFF) _mm_storeu_si128(out, r);
    }
#endif
    for (; i < n; ++i) {
        const std::uint8_t a = flag_magnitude(flags[i]);
        const std::uint8_t b = flag_magnitude(cells[i].flag);
        cells[i].flag = static_cast<std::int8_t>(Max ? std::max(a, b) : std::min(a, b));
    }
}

// Adds n reals to the sums.
inline void add_reals(const std::byte* __restrict values, std::size_t n, float* __restrict sum) {
    std::size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        ask_ahead(values + 4 * i);
        for (std::size_t k = i; k < i + 16; ++k) sum[k] += dat_io::load_real(values + 4 * k);
    }
    for (; i < n; ++i) sum[i] += dat_io::load_real(values + 4 * i);
}

}  // namespace zorvel::results::dat_fold
