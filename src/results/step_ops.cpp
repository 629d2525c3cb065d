#include "results/step_ops.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <span>
#include <string>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "results/dat_fold.hpp"
#include "results/res_ops.hpp"
#include "util/console.hpp"
#include "util/numbers.hpp"
#include "util/units.hpp"

namespace zorvel::results {

namespace {

// A real in a right-justified field of width characters with d decimals.
std::string field(float x, std::size_t width, std::int32_t d) {
    return util::right_justified(util::AREALD(x, d), width);
}

// The count n, kept within the sizes of the arrays that a loop over it touches.
template <typename... Sizes>
std::size_t count_within(std::int32_t n, Sizes... sizes) {
    return std::min({length_of(n), static_cast<std::size_t>(sizes)...});
}

// Merges the step's cell flags into the result: a cell wet in either stays wet.
void merge_wet_cells(const RES_TYPE& step, RES_TYPE& result) {
    const std::size_t n = count_within(step.ncells, step.CELL.size(), result.CELL.size());
    static_assert(sizeof(CELL_RES_TYPE) == 1);
    dat_fold::fold_flags<true>(reinterpret_cast<const std::int8_t*>(step.CELL.data()),
                               std::span(result.CELL.data(), n));
}

// The hours of one node at or above the cut-off c over a step dt from e to d: the whole
// step, the part after a rise through the cut-off, the part before a fall through it, or
// none (also when either value is NaN).
inline float duration_of(float d, float e, float c, float dt) {
    if (c <= d && c <= e) return dt;
    if (c <= d && e < c) return (d - c) / (d - e) * dt;
    if (d < c && c <= e) return (e - c) / (e - d) * dt;
    return 0.0f;
}

// Adds the n nodes' hours of one step to their durations; gives the sum of the hours
// added. A group of nodes whose durations do not change is only read.
double add_durations(const float* __restrict now, const float* __restrict prev, float* __restrict duration,
                     std::size_t n, float c, float dt) {
    double sum = 0.0;
    std::size_t i = 0;
#if defined(__SSE2__)
    // Four nodes at a time: each of the three cases as a mask (they never overlap), the
    // quotients of the lanes a mask leaves out never used.
    const __m128 cv = _mm_set1_ps(c);
    const __m128 dtv = _mm_set1_ps(dt);
    __m128d sum_lo = _mm_setzero_pd();
    __m128d sum_hi = _mm_setzero_pd();
    for (; i + 4 <= n; i += 4) {
        const __m128 d = _mm_loadu_ps(now + i);
        const __m128 e = _mm_loadu_ps(prev + i);
        const __m128 d_up = _mm_cmple_ps(cv, d);
        const __m128 e_up = _mm_cmple_ps(cv, e);
        const __m128 rise = _mm_and_ps(d_up, _mm_cmplt_ps(e, cv));
        const __m128 fall = _mm_and_ps(_mm_cmplt_ps(d, cv), e_up);
        __m128 add = _mm_and_ps(_mm_and_ps(d_up, e_up), dtv);
        if (_mm_movemask_ps(_mm_or_ps(rise, fall)) != 0) {
            // Crossings are rare: only then the divisions.
            const __m128 after = _mm_mul_ps(_mm_div_ps(_mm_sub_ps(d, cv), _mm_sub_ps(d, e)), dtv);
            const __m128 before = _mm_mul_ps(_mm_div_ps(_mm_sub_ps(e, cv), _mm_sub_ps(e, d)), dtv);
            add = _mm_or_ps(add, _mm_or_ps(_mm_and_ps(rise, after), _mm_and_ps(fall, before)));
        }
        if (_mm_movemask_ps(_mm_cmpneq_ps(add, _mm_setzero_ps())) != 0)
            _mm_storeu_ps(duration + i, _mm_add_ps(_mm_loadu_ps(duration + i), add));
        sum_lo = _mm_add_pd(sum_lo, _mm_cvtps_pd(add));
        sum_hi = _mm_add_pd(sum_hi, _mm_cvtps_pd(_mm_movehl_ps(add, add)));
    }
    double lanes[2];
    _mm_storeu_pd(lanes, _mm_add_pd(sum_lo, sum_hi));
    sum = lanes[0] + lanes[1];
#endif
    for (; i < n; ++i) {
        const float add = duration_of(now[i], prev[i], c, dt);
        duration[i] += add;
        sum += add;
    }
    return sum;
}

// The mean of a sum over the record's nodes (0 for a record without nodes).
float mean_over_nodes(double sum, std::int32_t nnodes) {
    return nnodes > 0 ? static_cast<float>(sum / nnodes) : 0.0f;
}

}  // namespace

std::int32_t allocate_duration_state(DurationState& state, std::int32_t nnodes) {
    std::int32_t status = allocate_array(state.now, nnodes);
    if (status == 0) status = allocate_array(state.prev, nnodes);
    if (status == 0) status = allocate_array(state.duration, nnodes);
    return status;
}

std::int32_t allocate_toi_state(ToiState& state, std::int32_t nnodes) {
    std::int32_t status = allocate_array(state.now, nnodes);
    if (status == 0) status = allocate_array(state.prev, nnodes);
    if (status == 0) status = allocate_array(state.toi, nnodes);
    if (status == 0) status = allocate_array(state.threshold, nnodes);
    if (status == 0) status = allocate_array(state.reached, nnodes);
    return status;
}

void RES_CAP(RES_TYPE& res, float cap) {
    const std::size_t n = nodes_held(res);
    float* x = res.value.data();
    float* y = res.y.data();
    if (!res.is_vector) {
        for (std::size_t j = 0; j < n; ++j) x[j] = x[j] > cap ? cap : x[j];
        return;
    }
    for (std::size_t j = 0; j < n; ++j) {
        const float m = util::VECTOR_MAGNITUDE(x[j], y[j]);
        // A zero vector has no direction to keep: it stays as it is.
        if (m == 0.0f || !(cap <= m)) continue;
        x[j] = x[j] * cap / m;
        y[j] = y[j] * cap / m;
    }
}

void RES_VEL_ANGLE(RES_TYPE& res) {
    if (!res.is_vector) util::fail("ERROR - Must be vector dataset to process velocity angle.");
    constexpr double kDegrees = 180.0 / std::numbers::pi;
    const std::size_t n = nodes_held(res);
    for (std::size_t j = 0; j < n; ++j) {
        // A negative zero x would turn due south into -180.
        const double x = static_cast<double>(res.value[j]) + 0.0;
        res.value[j] = static_cast<float>(std::atan2(x, static_cast<double>(res.y[j])) * kDegrees);
    }
}

void RES_DURATION(DurationState& state, const RES_TYPE& step, RES_TYPE& result) {
    state.time_now = step.time;
    state.dt = state.time_now - state.time_prev;
    const std::size_t n = count_within(step.nnodes, state.now.size(), state.prev.size(), state.duration.size());
    const double sum = add_durations(state.now.data(), state.prev.data(), state.duration.data(), n, state.cutoff,
                                     state.dt);
    // The values now become the previous ones; the old ones are left in now, to be
    // overwritten by the next step (past the n nodes both keep what they held).
    std::copy(state.prev.begin() + static_cast<std::ptrdiff_t>(n), state.prev.end(),
              state.now.begin() + static_cast<std::ptrdiff_t>(n));
    state.prev.swap(state.now);
    util::console().line("...Duration Increment =" + field(state.dt, 5, 2) + "   Average duration of all nodes =" +
                         field(mean_over_nodes(sum, step.nnodes), 5, 2) + "h");
    merge_wet_cells(step, result);
    state.time_prev = state.time_now;
}

void RES_TOI(ToiState& state, const RES_TYPE& step, RES_TYPE& result) {
    state.time_now = step.time;
    state.dt = state.time_now - state.time_prev;
    const float dt = state.dt;
    const float t0 = state.time_prev;
    const std::size_t n = count_within(step.nnodes, state.now.size(), state.prev.size(), state.toi.size(),
                                       state.threshold.size(), state.reached.size());
    const float* now = state.now.data();
    float* prev = state.prev.data();
    float* toi = state.toi.data();
    const float* threshold = state.threshold.data();
    std::uint8_t* reached = state.reached.data();
    std::int64_t count = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (reached[i] != 0) continue;
        const float d = now[i];
        const float e = threshold[i];
        const float p = prev[i];
        if (d >= e) {
            reached[i] = 1;
            ++count;
            // The crossing lies inside the step only when the previous value was below the
            // threshold; a node already at or above it takes the previous step's time.
            toi[i] = p < e ? t0 + dt * (1.0f - (d - e) / (d - p)) : t0;
        }
        prev[i] = d;
    }
    const float fraction = step.nnodes > 0 ? static_cast<float>(static_cast<double>(count) / step.nnodes) : 0.0f;
    util::console().line("...Duration Increment =" + field(dt, 5, 2) + "   % of cells where toi exceeded = " +
                         field(fraction, 5, 2));
    merge_wet_cells(step, result);
    state.time_prev = state.time_now;
}

void RES_DIFFERENCE(RES_TYPE& a, RES_TYPE& b, RES_TYPE& result, const WaterLevelRecord& wl_a,
                    const WaterLevelRecord& wl_b, const MESH_TYPE& mesh, bool own_levels, bool no_wet_dry) {
    util::line_after_gap("Processing difference results.");
    if (std::fabs(a.time - b.time) > 0.001f) util::line_after_gap("Warning - Timesteps do not match.");
    result.is_vector = false;
    result.time = a.time;

    const std::size_t n = std::min({nodes_held(a), nodes_held(b), nodes_held(result)});
    if (a.is_vector) {
        if (!b.is_vector) util::fail("ERROR - Second data for -dif option is not a vector.");
        for (std::size_t j = 0; j < n; ++j) {
            a.value[j] = util::VECTOR_MAGNITUDE(a.value[j], a.y[j]);
            b.value[j] = util::VECTOR_MAGNITUDE(b.value[j], b.y[j]);
        }
    }
    const std::size_t ncells = count_within(a.ncells, a.CELL.size(), b.CELL.size(), result.CELL.size());

    if (no_wet_dry) {
        for (std::size_t j = 0; j < n; ++j) result.value[j] = a.value[j] - b.value[j];
        for (std::size_t i = 0; i < ncells; ++i)
            result.CELL[i].flag = a.CELL[i].flag == 1 && b.CELL[i].flag == 1 ? 1 : 0;
        return;
    }

    // The wet/dry test needs a bed level for every node, and a water level unless the
    // values are levels themselves.
    const std::size_t m = own_levels ? count_within(a.nnodes, n, mesh.NODES.size())
                                     : count_within(a.nnodes, n, mesh.NODES.size(), wl_a.values.size(),
                                                    wl_b.values.size());
    for (std::size_t j = 0; j < m; ++j) {
        const float level_a = own_levels ? a.value[j] : wl_a.values[j];
        const float level_b = own_levels ? b.value[j] : wl_b.values[j];
        const bool wet_a = mesh.NODES[j].z + 0.001f < level_a;
        const bool wet_b = mesh.NODES[j].z2 + 0.001f < level_b;
        float v = 0.0f;
        if (wet_a && wet_b)
            v = a.value[j] - b.value[j];
        else if (wet_a)
            v = 99.0f;
        else if (wet_b)
            v = -99.0f;
        result.value[j] = v;
    }
    for (std::size_t i = 0; i < ncells; ++i)
        result.CELL[i].flag = a.CELL[i].flag == 1 || b.CELL[i].flag == 1 ? 1 : 0;
}

void CHECK_TIMES(const RES_TYPE& a, const RES_TYPE& b, bool& a_ahead, bool& b_ahead, bool& same) {
    if (std::fabs(a.time - b.time) > 5.0e-5f) {
        util::console().line("WARNING - Inconsistent times were found:" + field(a.time, 10, 3) +
                             field(b.time, 10, 3));
        a_ahead = b.time < a.time;
        b_ahead = a.time < b.time;
        same = false;
        return;
    }
    same = true;
}

void END_OF_DATA(const RES_TYPE& a, const RES_TYPE& b, std::int32_t count_a, std::int32_t count_b,
                 std::int32_t step_a, std::int32_t step_b, bool& done) {
    const bool a_done = count_a > 0 ? step_a >= count_a : a.end_of_data;
    const bool b_done = count_b > 0 ? step_b >= count_b : b.end_of_data;
    if (a_done || b_done) done = true;
}

}  // namespace zorvel::results
