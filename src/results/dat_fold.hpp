#pragma once
// The inner loops of the ".dat" reductions: the values or flags of a run of records, as
// read from the file, folded into dense running arrays, one record after another for each
// node while its running values stay in registers, so that the arrays are read and written
// once per run; the outcome is that of folding the records one by one. Lines of the running
// arrays that a run does not change are only read, never written, so they stay clean in
// the cache. Internal to the results subsystem.

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

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define ZORVEL_AVX2_FOLD 1
// True when the processor runs AVX2.
inline bool have_avx2() {
    static const bool avx2 = __builtin_cpu_supports("avx2");
    return avx2;
}
#endif

// Most records in a run.
inline constexpr std::size_t kRunMost = 8;

// Folds n values of each of the records at values[0], values[1], ... (scalars, each from the
// same node on, at most kRunMost records) into the running extreme ev, record after record:
// a node takes a value strictly greater (Max) or less than its own, and where one wins, its
// time et becomes the record's time t[k] (et nullptr: no times kept). A NaN never wins.
template <bool Max>
void fold_scalar_run(std::span<const std::byte* const> values, const float* t, std::size_t n, float* ev, float* et);

// Folds n vectors of each record ((x, y) pairs as the file stores them) into the running
// extreme (ex, ey) by speed, as fold_scalar_run does; es holds the speeds of the running
// vectors. A winner gives both components and its time.
template <bool Max>
void fold_vector_run(std::span<const std::byte* const> values, const float* t, std::size_t n, float* ex, float* ey,
                     float* es, float* et);

// Folds the flags of each record into the cells: the larger (Max) or smaller flag magnitude.
template <bool Max>
void fold_flag_run(std::span<const std::int8_t* const> flags, std::span<CELL_RES_TYPE> cells);

// Splits n (x, y) pairs as a file stores them into the x and y arrays.
inline void split_pairs(const std::byte* __restrict values, std::size_t n, float* __restrict x, float* __restrict y) {
    for (std::size_t j = 0; j < n; ++j) {
        x[j] = dat_io::load_real(values + 8 * j);
        y[j] = dat_io::load_real(values + 8 * j + 4);
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
#endif

// Folds flags into the cells: the larger (Max) or smaller flag magnitude.
template <bool Max>
void fold_flags(const std::int8_t* flags, std::span<CELL_RES_TYPE> cells) {
    fold_flag_run<Max>(std::span(&flags, 1), cells);
}

// Adds n reals to the sums.
inline void add_reals(const std::byte* __restrict values, std::size_t n, float* __restrict sum) {
    for (std::size_t i = 0; i < n; ++i) sum[i] += dat_io::load_real(values + 4 * i);
}

}  // namespace zorvel::results::dat_fold
