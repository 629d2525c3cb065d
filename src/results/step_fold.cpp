// The inner loops of the duration and time-of-increase walks over a run of steps (see
// step_fold.hpp). Each node goes through every step of the run in order, its running values
// held in registers from step to step; the arithmetic is that of one step at a time, so the
// results are the same bit for bit however the steps are grouped. Eight nodes at a time with
// AVX2 where the processor has it, else one at a time.

#include "results/step_fold.hpp"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <utility>

#include "results/dat_fold.hpp"
#include "results/dat_io.hpp"
#include "util/numbers.hpp"

namespace zorvel::results {

void StepFold::fold_cells(const StepRun& run, std::size_t first, std::size_t count) {
    const std::size_t n = std::min(length_of(run.ncells), cells.size());
    if (first >= n) return;
    count = std::min(count, n - first);
    std::array<const std::int8_t*, kMostSteps> at;
    for (std::size_t k = 0; k < run.count; ++k) at[k] = run.flags[k] + (first - run.cell0);
    dat_fold::fold_flag_run<true>(std::span(at.data(), run.count), cells.subspan(first, count));
}

void fold_one_step(StepFold& fold, const RES_TYPE& step, const std::byte* values, bool pairs, std::size_t nodes) {
    StepRun run;
    run.count = 1;
    run.pairs = pairs;
    run.nnodes = static_cast<std::int32_t>(std::min(length_of(step.nnodes), nodes));
    run.ncells = static_cast<std::int32_t>(std::min(length_of(step.ncells), step.CELL.size()));
    run.time[0] = step.time;
    run.values[0] = values;
    run.flags[0] = reinterpret_cast<const std::int8_t*>(step.CELL.data());
    fold.start_run(run);
    fold.fold_nodes(run, 0, fold.run_nodes);
    fold.fold_cells(run, 0, length_of(run.ncells));
}

namespace step_fold {

double HourSum::total() const {
    double sum = (lanes[0] + lanes[2]) + (lanes[1] + lanes[3]);
    for (std::size_t i = 0; i < tails; ++i) sum += tail[i];
    return sum;
}

namespace {

using dat_io::load_real;

// The value of node j in step k of the run: the real, or the magnitude of the pair.
inline float value_at(const StepRun& run, std::size_t k, std::size_t j) {
    const std::byte* v = run.values[k];
    j -= run.node0;
    if (run.pairs) return util::VECTOR_MAGNITUDE(load_real(v + 8 * j), load_real(v + 8 * j + 4));
    return load_real(v + 4 * j);
}

constexpr float kInfinity = std::numeric_limits<float>::infinity();

// The hours of one node at or above the cut-off c over a step dt from e to d: the whole
// step, the part after a rise through the cut-off, the part before a fall through it, or
// none (also when either value is NaN). A step that rises to or falls from +infinity (the
// magnitude of a vector too large for a real) is above the cut-off for its whole length.
inline float duration_of(float d, float e, float c, float dt) {
    if (c <= d && c <= e) return dt;
    if (c <= d && e < c) return d == kInfinity ? dt : (d - c) / (d - e) * dt;
    if (d < c && c <= e) return e == kInfinity ? dt : (e - c) / (e - d) * dt;
    return 0.0f;
}

// add_durations for nodes [j, end), one at a time.
void durations_from(const StepRun& run, const float* dt, float c, float* prev, float* duration, std::size_t j,
                    std::size_t end, std::size_t lanes_end, HourSum* sums) {
    for (; j < end; ++j) {
        float e = prev[j];
        float total = duration[j];
        for (std::size_t k = 0; k < run.count; ++k) {
            const float d = value_at(run, k, j);
            const float add = duration_of(d, e, c, dt[k]);
            total += add;
            if (j < lanes_end)
                sums[k].lanes[j & 3] += add;
            else
                sums[k].tail[sums[k].tails++] = add;
            e = d;
        }
        prev[j] = e;
        duration[j] = total;
    }
}

// mark_increases for nodes [j, end), one at a time. A node reached takes the time of the
// crossing when its previous value lay below the threshold, else (or when it reached
// +infinity, at or above the threshold all through the step) the start of the step.
void increases_from(const StepRun& run, const float* t0, const float* dt, const float* threshold, float* prev,
                    float* toi, std::uint8_t* reached, std::size_t j, std::size_t end, std::int64_t* counts) {
    for (; j < end; ++j) {
        if (reached[j] != 0) continue;
        const float e = threshold[j];
        float p = prev[j];
        for (std::size_t k = 0; k < run.count; ++k) {
            const float d = value_at(run, k, j);
            if (d >= e) {
                reached[j] = 1;
                ++counts[k];
                toi[j] = p < e && d < kInfinity ? t0[k] + dt[k] * (1.0f - (d - e) / (d - p)) : t0[k];
                p = d;
                break;
            }
            p = d;
        }
        prev[j] = p;
    }
}

#if defined(ZORVEL_AVX2_FOLD)

// Eight values of a step from node j on: reals, or the magnitudes of pairs.
template <bool Pairs>
__attribute__((target("avx2"))) inline __m256 eight_at(const std::byte* values, std::size_t j) {
    if constexpr (Pairs) {
        __m256 x, y;
        return dat_fold::speeds_avx2(reinterpret_cast<const float*>(values + 8 * j), x, y);
    } else {
        return _mm256_loadu_ps(reinterpret_cast<const float*>(values + 4 * j));
    }
}

// durations_from for the G steps of the run eight nodes at a time, from j (a multiple of
// 4) while eight nodes remain before end; gives the node it stopped at. The three cases are
// masks (they never overlap), the quotients of the lanes a mask leaves out never used, those
// of a rise to or a fall from +infinity replaced by the whole step; each step's hours go
// into its four sums two halves at a time, as the nodes come.
template <bool Pairs, std::size_t G>
__attribute__((target("avx2"))) std::size_t durations_avx2(const StepRun& run, const float* dt, float c,
                                                            float* __restrict prev, float* __restrict duration,
                                                            std::size_t j, std::size_t end, HourSum* sums) {
    const __m256 cv = _mm256_set1_ps(c);
    const __m256 inf = _mm256_set1_ps(kInfinity);
    __m256 dtv[G];
    __m256d acc[G];
    const std::byte* in[G];
    for (std::size_t k = 0; k < G; ++k) {
        dtv[k] = _mm256_set1_ps(dt[k]);
        acc[k] = _mm256_loadu_pd(sums[k].lanes.data());
        in[k] = run.values[k];
    }
    for (; j + 8 <= end; j += 8) {
        __m256 e = _mm256_loadu_ps(prev + j);
        __m256 total = _mm256_loadu_ps(duration + j);
        for (std::size_t k = 0; k < G; ++k) {
            const __m256 d = eight_at<Pairs>(in[k], j - run.node0);
            const __m256 d_up = _mm256_cmp_ps(cv, d, _CMP_LE_OQ);
            const __m256 e_up = _mm256_cmp_ps(cv, e, _CMP_LE_OQ);
            const __m256 rise = _mm256_and_ps(d_up, _mm256_cmp_ps(e, cv, _CMP_LT_OQ));
            const __m256 fall = _mm256_and_ps(_mm256_cmp_ps(d, cv, _CMP_LT_OQ), e_up);
            __m256 add = _mm256_and_ps(_mm256_and_ps(d_up, e_up), dtv[k]);
            if (_mm256_movemask_ps(_mm256_or_ps(rise, fall)) != 0) {
                // Crossings are rare: only then the divisions.
                const __m256 after = _mm256_blendv_ps(
                    _mm256_mul_ps(_mm256_div_ps(_mm256_sub_ps(d, cv), _mm256_sub_ps(d, e)), dtv[k]), dtv[k],
                    _mm256_cmp_ps(d, inf, _CMP_EQ_OQ));
                const __m256 before = _mm256_blendv_ps(
                    _mm256_mul_ps(_mm256_div_ps(_mm256_sub_ps(e, cv), _mm256_sub_ps(e, d)), dtv[k]), dtv[k],
                    _mm256_cmp_ps(e, inf, _CMP_EQ_OQ));
                add = _mm256_or_ps(add, _mm256_or_ps(_mm256_and_ps(rise, after), _mm256_and_ps(fall, before)));
            }
            total = _mm256_add_ps(total, add);
            acc[k] = _mm256_add_pd(acc[k], _mm256_cvtps_pd(_mm256_castps256_ps128(add)));
            acc[k] = _mm256_add_pd(acc[k], _mm256_cvtps_pd(_mm256_extractf128_ps(add, 1)));
            e = d;
        }
        _mm256_storeu_ps(prev + j, e);
        _mm256_storeu_ps(duration + j, total);
    }
    for (std::size_t k = 0; k < G; ++k) _mm256_storeu_pd(sums[k].lanes.data(), acc[k]);
    return j;
}

// increases_from for the G steps of the run eight nodes at a time while eight nodes remain
// before end; gives the node it stopped at. Eight nodes all reached are passed over.
template <bool Pairs, std::size_t G>
__attribute__((target("avx2"))) std::size_t increases_avx2(const StepRun& run, const float* t0, const float* dt,
                                                            const float* __restrict threshold,
                                                            float* __restrict prev, float* __restrict toi,
                                                            std::uint8_t* __restrict reached, std::size_t j,
                                                            std::size_t end, std::int64_t* counts) {
    constexpr std::uint64_t kAllReached = 0x0101010101010101u;
    const __m256 one = _mm256_set1_ps(1.0f);
    const __m256 inf = _mm256_set1_ps(kInfinity);
    for (; j + 8 <= end; j += 8) {
        std::uint64_t marks;
        std::memcpy(&marks, reached + j, sizeof marks);
        if (marks == kAllReached) continue;
        __m256 was = _mm256_castsi256_ps(_mm256_cmpgt_epi32(
            _mm256_cvtepu8_epi32(_mm_cvtsi64_si128(static_cast<long long>(marks))), _mm256_setzero_si256()));
        const __m256 e = _mm256_loadu_ps(threshold + j);
        __m256 p = _mm256_loadu_ps(prev + j);
        __m256 times = _mm256_setzero_ps();
        int newly = 0;
        for (std::size_t k = 0; k < G; ++k) {
            const __m256 d = eight_at<Pairs>(run.values[k], j - run.node0);
            const __m256 hit = _mm256_andnot_ps(was, _mm256_cmp_ps(d, e, _CMP_GE_OQ));
            if (const int bits = _mm256_movemask_ps(hit); bits != 0) {
                if (newly == 0) times = _mm256_loadu_ps(toi + j);
                const __m256 start = _mm256_set1_ps(t0[k]);
                const __m256 q = _mm256_div_ps(_mm256_sub_ps(d, e), _mm256_sub_ps(d, p));
                const __m256 cross =
                    _mm256_add_ps(start, _mm256_mul_ps(_mm256_set1_ps(dt[k]), _mm256_sub_ps(one, q)));
                const __m256 inside =
                    _mm256_and_ps(_mm256_cmp_ps(p, e, _CMP_LT_OQ), _mm256_cmp_ps(d, inf, _CMP_LT_OQ));
                const __m256 at = _mm256_blendv_ps(start, cross, inside);
                times = _mm256_blendv_ps(times, at, hit);
                counts[k] += std::popcount(static_cast<unsigned>(bits));
                newly |= bits;
            }
            p = _mm256_blendv_ps(d, p, was);
            was = _mm256_or_ps(was, hit);
        }
        _mm256_storeu_ps(prev + j, p);
        if (newly != 0) {
            _mm256_storeu_ps(toi + j, times);
            for (std::size_t l = 0; l < 8; ++l)
                if ((newly >> l) & 1) reached[j + l] = 1;
        }
    }
    return j;
}

// The AVX2 loops for runs of 1 to kMostSteps steps, by the number of steps less one.
template <bool Pairs, std::size_t... G>
constexpr auto duration_loops(std::index_sequence<G...>) {
    return std::array{&durations_avx2<Pairs, G + 1>...};
}
template <bool Pairs, std::size_t... G>
constexpr auto increase_loops(std::index_sequence<G...>) {
    return std::array{&increases_avx2<Pairs, G + 1>...};
}
constexpr auto kDurationLoops = duration_loops<false>(std::make_index_sequence<kMostSteps>{});
constexpr auto kPairDurationLoops = duration_loops<true>(std::make_index_sequence<kMostSteps>{});
constexpr auto kIncreaseLoops = increase_loops<false>(std::make_index_sequence<kMostSteps>{});
constexpr auto kPairIncreaseLoops = increase_loops<true>(std::make_index_sequence<kMostSteps>{});

#endif

}  // namespace

void add_durations(const StepRun& run, std::span<const float> dt, float cutoff, float* prev, float* duration,
                   std::size_t first, std::size_t count, std::size_t lanes_end, std::span<HourSum> sums) {
    if (run.count == 0 || run.count > kMostSteps || dt.size() < run.count || sums.size() < run.count) return;
    std::size_t j = first;
    const std::size_t end = first + count;
#if defined(ZORVEL_AVX2_FOLD)
    // The sums take whole fours of nodes: the eight-node loop starts on one.
    if (dat_fold::have_avx2() && j % 4 == 0 && j < lanes_end) {
        const auto& loops = run.pairs ? kPairDurationLoops : kDurationLoops;
        j = loops[run.count - 1](run, dt.data(), cutoff, prev, duration, j, std::min(end, lanes_end), sums.data());
    }
#endif
    durations_from(run, dt.data(), cutoff, prev, duration, j, end, lanes_end, sums.data());
}

void mark_increases(const StepRun& run, std::span<const float> t0, std::span<const float> dt,
                    const float* threshold, float* prev, float* toi, std::uint8_t* reached, std::size_t first,
                    std::size_t count, std::span<std::int64_t> counts) {
    if (run.count == 0 || run.count > kMostSteps || t0.size() < run.count || dt.size() < run.count ||
        counts.size() < run.count)
        return;
    std::size_t j = first;
    const std::size_t end = first + count;
#if defined(ZORVEL_AVX2_FOLD)
    if (dat_fold::have_avx2()) {
        const auto& loops = run.pairs ? kPairIncreaseLoops : kIncreaseLoops;
        j = loops[run.count - 1](run, t0.data(), dt.data(), threshold, prev, toi, reached, j, end, counts.data());
    }
#endif
    increases_from(run, t0.data(), dt.data(), threshold, prev, toi, reached, j, end, counts.data());
}

}  // namespace step_fold

}  // namespace zorvel::results
