// The folds of runs of ".dat" records into running extremes (see dat_fold.hpp): for each
// node (sixteen, or eight for vectors, at a time with AVX2 where the processor has it) the
// running value is loaded once, taken through every record of the run in order, and stored
// once when a record changed it.

#include "results/dat_fold.hpp"

#include <algorithm>
#include <array>
#include <utility>

namespace zorvel::results::dat_fold {

namespace {

using dat_io::load_real;

// Nodes [j, n) of fold_scalar_run, one at a time.
template <bool Max>
void scalars_from(std::size_t j, std::span<const std::byte* const> values, const float* t, std::size_t n,
                  float* ev, float* et) {
    for (; j < n; ++j) {
        float m = ev[j];
        for (std::size_t k = 0; k < values.size(); ++k) {
            const float v = load_real(values[k] + 4 * j);
            if (Max ? v > m : v < m) {
                m = v;
                if (et != nullptr) et[j] = t[k];
            }
        }
        ev[j] = m;
    }
}

// Nodes [j, n) of fold_vector_run, one at a time.
template <bool Max>
void vectors_from(std::size_t j, std::span<const std::byte* const> values, const float* t, std::size_t n,
                  float* ex, float* ey, float* es, float* et) {
    for (; j < n; ++j) {
        for (std::size_t k = 0; k < values.size(); ++k) {
            const float x = load_real(values[k] + 8 * j);
            const float y = load_real(values[k] + 8 * j + 4);
            const float s = util::VECTOR_MAGNITUDE(x, y);
            if (Max ? s > es[j] : s < es[j]) {
                ex[j] = x;
                ey[j] = y;
                es[j] = s;
                if (et != nullptr) et[j] = t[k];
            }
        }
    }
}

// Cells [i, n) of fold_flag_run, one at a time.
template <bool Max>
void flags_from(std::size_t i, std::span<const std::int8_t* const> flags, std::span<CELL_RES_TYPE> cells) {
    for (; i < cells.size(); ++i) {
        std::uint8_t r = flag_magnitude(cells[i].flag);
        for (const std::int8_t* f : flags) r = Max ? std::max(r, flag_magnitude(f[i])) : std::min(r, flag_magnitude(f[i]));
        cells[i].flag = static_cast<std::int8_t>(r);
    }
}

#if defined(ZORVEL_AVX2_FOLD)

// fold_scalar_run for G records sixteen nodes at a time while sixteen remain; gives the node
// it stopped at.
template <bool Max, bool Times, std::size_t G>
__attribute__((target("avx2"))) std::size_t scalars_avx2(std::span<const std::byte* const> values, const float* t,
                                                          std::size_t n, float* __restrict ev,
                                                          float* __restrict et) {
    constexpr int kWins = Max ? _CMP_GT_OQ : _CMP_LT_OQ;
    const std::byte* in[G];
    __m256 tv[G];
    for (std::size_t k = 0; k < G; ++k) {
        in[k] = values[k];
        tv[k] = _mm256_set1_ps(t[k]);
    }
    std::size_t j = 0;
    for (; j + 16 <= n; j += 16) {
        __m256 m0 = _mm256_loadu_ps(ev + j);
        __m256 m1 = _mm256_loadu_ps(ev + j + 8);
        __m256 t0 = _mm256_setzero_ps();
        __m256 t1 = _mm256_setzero_ps();
        if constexpr (Times) {
            t0 = _mm256_loadu_ps(et + j);
            t1 = _mm256_loadu_ps(et + j + 8);
        }
        __m256 won = _mm256_setzero_ps();
        for (std::size_t k = 0; k < G; ++k) {
            const float* p = reinterpret_cast<const float*>(in[k] + 4 * j);
            const __m256 v0 = _mm256_loadu_ps(p);
            const __m256 v1 = _mm256_loadu_ps(p + 8);
            const __m256 w0 = _mm256_cmp_ps(v0, m0, kWins);
            const __m256 w1 = _mm256_cmp_ps(v1, m1, kWins);
            m0 = _mm256_blendv_ps(m0, v0, w0);
            m1 = _mm256_blendv_ps(m1, v1, w1);
            if constexpr (Times) {
                t0 = _mm256_blendv_ps(t0, tv[k], w0);
                t1 = _mm256_blendv_ps(t1, tv[k], w1);
            }
            won = _mm256_or_ps(won, _mm256_or_ps(w0, w1));
        }
        if (_mm256_movemask_ps(won) == 0) continue;
        _mm256_storeu_ps(ev + j, m0);
        _mm256_storeu_ps(ev + j + 8, m1);
        if constexpr (Times) {
            _mm256_storeu_ps(et + j, t0);
            _mm256_storeu_ps(et + j + 8, t1);
        }
    }
    return j;
}

// fold_vector_run for G records eight nodes at a time while eight remain; gives the node it
// stopped at.
template <bool Max, bool Times, std::size_t G>
__attribute__((target("avx2"))) std::size_t vectors_avx2(std::span<const std::byte* const> values, const float* t,
                                                          std::size_t n, float* __restrict ex, float* __restrict ey,
                                                          float* __restrict es, float* __restrict et) {
    constexpr int kWins = Max ? _CMP_GT_OQ : _CMP_LT_OQ;
    std::size_t j = 0;
    for (; j + 8 <= n; j += 8) {
        __m256 s = _mm256_loadu_ps(es + j);
        __m256 x = _mm256_loadu_ps(ex + j);
        __m256 y = _mm256_loadu_ps(ey + j);
        __m256 tt = Times ? _mm256_loadu_ps(et + j) : _mm256_setzero_ps();
        __m256 won = _mm256_setzero_ps();
        for (std::size_t k = 0; k < G; ++k) {
            const float* p = reinterpret_cast<const float*>(values[k] + 8 * j);
            __m256 xk, yk;
            const __m256 sk = speeds_avx2(p, xk, yk);
            const __m256 w = _mm256_cmp_ps(sk, s, kWins);
            s = _mm256_blendv_ps(s, sk, w);
            x = _mm256_blendv_ps(x, xk, w);
            y = _mm256_blendv_ps(y, yk, w);
            if constexpr (Times) tt = _mm256_blendv_ps(tt, _mm256_set1_ps(t[k]), w);
            won = _mm256_or_ps(won, w);
        }
        if (_mm256_movemask_ps(won) == 0) continue;
        _mm256_storeu_ps(es + j, s);
        _mm256_storeu_ps(ex + j, x);
        _mm256_storeu_ps(ey + j, y);
        if constexpr (Times) _mm256_storeu_ps(et + j, tt);
    }
    return j;
}

// The AVX2 loops for runs of 1 to kRunMost records, by the number of records less one.
template <bool Max, bool Times, std::size_t... G>
constexpr auto scalar_loops(std::index_sequence<G...>) {
    return std::array{&scalars_avx2<Max, Times, G + 1>...};
}
template <bool Max, bool Times, std::size_t... G>
constexpr auto vector_loops(std::index_sequence<G...>) {
    return std::array{&vectors_avx2<Max, Times, G + 1>...};
}

#endif

}  // namespace

template <bool Max>
void fold_scalar_run(std::span<const std::byte* const> values, const float* t, std::size_t n, float* ev, float* et) {
    if (values.empty() || values.size() > kRunMost) return;
    std::size_t j = 0;
#if defined(ZORVEL_AVX2_FOLD)
    if (have_avx2()) {
        static constexpr auto kTimes = scalar_loops<Max, true>(std::make_index_sequence<kRunMost>{});
        static constexpr auto kNoTimes = scalar_loops<Max, false>(std::make_index_sequence<kRunMost>{});
        j = (et != nullptr ? kTimes : kNoTimes)[values.size() - 1](values, t, n, ev, et);
    }
#endif
    scalars_from<Max>(j, values, t, n, ev, et);
}

template <bool Max>
void fold_vector_run(std::span<const std::byte* const> values, const float* t, std::size_t n, float* ex, float* ey,
                     float* es, float* et) {
    if (values.empty() || values.size() > kRunMost) return;
    std::size_t j = 0;
#if defined(ZORVEL_AVX2_FOLD)
    if (have_avx2()) {
        static constexpr auto kTimes = vector_loops<Max, true>(std::make_index_sequence<kRunMost>{});
        static constexpr auto kNoTimes = vector_loops<Max, false>(std::make_index_sequence<kRunMost>{});
        j = (et != nullptr ? kTimes : kNoTimes)[values.size() - 1](values, t, n, ex, ey, es, et);
    }
#endif
    vectors_from<Max>(j, values, t, n, ex, ey, es, et);
}

template <bool Max>
void fold_flag_run(std::span<const std::int8_t* const> flags, std::span<CELL_RES_TYPE> cells) {
    std::size_t i = 0;
#if defined(__SSE2__)
    static_assert(sizeof(CELL_RES_TYPE) == 1);
    const std::size_t n = cells.size();
    const __m128i zero = _mm_setzero_si128();
    for (; i + 16 <= n; i += 16) {
        auto* out = reinterpret_cast<__m128i*>(cells.data() + i);
        const __m128i b = _mm_loadu_si128(out);
        __m128i r = _mm_min_epu8(b, _mm_sub_epi8(zero, b));
        for (const std::int8_t* f : flags) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(f + i));
            const __m128i am = _mm_min_epu8(a, _mm_sub_epi8(zero, a));
            r = Max ? _mm_max_epu8(r, am) : _mm_min_epu8(r, am);
        }
        if (_mm_movemask_epi8(_mm_cmpeq_epi8(r, b)) != 0xFFFF) _mm_storeu_si128(out, r);
    }
#endif
    flags_from<Max>(i, flags, cells);
}

template void fold_scalar_run<true>(std::span<const std::byte* const>, const float*, std::size_t, float*, float*);
template void fold_scalar_run<false>(std::span<const std::byte* const>, const float*, std::size_t, float*, float*);
template void fold_vector_run<true>(std::span<const std::byte* const>, const float*, std::size_t, float*, float*,
                                    float*, float*);
template void fold_vector_run<false>(std::span<const std::byte* const>, const float*, std::size_t, float*, float*,
                                     float*, float*);
template void fold_flag_run<true>(std::span<const std::int8_t* const>, std::span<CELL_RES_TYPE>);
template void fold_flag_run<false>(std::span<const std::int8_t* const>, std::span<CELL_RES_TYPE>);

}  // namespace zorvel::results::dat_fold
