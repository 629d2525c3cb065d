// Extremes of one timestep's values (see step_extremes.hpp).

#include "results/xmdf/step_extremes.hpp"

#include <algorithm>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zorvel::results::xmdf {

void value_range(const float* v, std::size_t n, float& low, float& high) {
    float lo = std::numeric_limits<float>::infinity();
    float hi = -lo;
    std::size_t i = 0;
#if defined(__SSE2__)
    // min(x, lo) keeps lo when x is NaN, as the scalar tail below does.
    __m128 lo4[4], hi4[4];
    for (int k = 0; k < 4; ++k) lo4[k] = _mm_set1_ps(lo), hi4[k] = _mm_set1_ps(hi);
    for (; i + 16 <= n; i += 16)
        for (int k = 0; k < 4; ++k) {
            const __m128 x = _mm_loadu_ps(v + i + 4 * k);
            lo4[k] = _mm_min_ps(x, lo4[k]);
            hi4[k] = _mm_max_ps(x, hi4[k]);
        }
    alignas(16) float lanes[16];
    for (int k = 0; k < 4; ++k) _mm_store_ps(lanes + 4 * k, lo4[k]);
    lo = *std::min_element(lanes, lanes + 16);
    for (int k = 0; k < 4; ++k) _mm_store_ps(lanes + 4 * k, hi4[k]);
    hi = *std::max_element(lanes, lanes + 16);
#endif
    for (; i < n; ++i) {
        lo = v[i] < lo ? v[i] : lo;
        hi = v[i] > hi ? v[i] : hi;
    }
    low = lo;
    high = hi;
}

void squared_magnitude_range(const float* xy, std::size_t n, float& low, float& high) {
    float lo = std::numeric_limits<float>::infinity();
    float hi = -lo;
    std::size_t i = 0;
#if defined(__SSE2__)
    __m128 lo4[2] = {_mm_set1_ps(lo), _mm_set1_ps(lo)};
    __m128 hi4[2] = {_mm_set1_ps(hi), _mm_set1_ps(hi)};
    for (; i + 8 <= n; i += 8)
        for (int k = 0; k < 2; ++k) {
            const float* p = xy + 2 * (i + 4 * k);
            const __m128 a = _mm_loadu_ps(p), b = _mm_loadu_ps(p + 4);  // x0 y0 x1 y1, x2 y2 x3 y3
            const __m128 a2 = _mm_mul_ps(a, a), b2 = _mm_mul_ps(b, b);
            const __m128 m = _mm_add_ps(_mm_shuffle_ps(a2, b2, _MM_SHUFFLE(2, 0, 2, 0)),
                                        _mm_shuffle_ps(a2, b2, _MM_SHUFFLE(3, 1, 3, 1)));
            lo4[k] = _mm_min_ps(m, lo4[k]);
            hi4[k] = _mm_max_ps(m, hi4[k]);
        }
    alignas(16) float lanes[8];
    _mm_store_ps(lanes, lo4[0]);
    _mm_store_ps(lanes + 4, lo4[1]);
    lo = *std::min_element(lanes, lanes + 8);
    _mm_store_ps(lanes, hi4[0]);
    _mm_store_ps(lanes + 4, hi4[1]);
    hi = *std::max_element(lanes, lanes + 8);
#endif
    for (; i < n; ++i) {
        const float m = xy[2 * i] * xy[2 * i] + xy[2 * i + 1] * xy[2 * i + 1];
        lo = m < lo ? m : lo;
        hi = m > hi ? m : hi;
    }
    low = lo;
    high = hi;
}

void merge_range(const float* v, std::size_t count, bool vector, float& low, float& high) {
    float lo = 0, hi = 0;
    if (vector) squared_magnitude_range(v, count / 2, lo, hi);
    else value_range(v, count, lo, hi);
    low = lo < low ? lo : low;
    high = hi > high ? hi : high;
}

}  // namespace zorvel::results::xmdf
