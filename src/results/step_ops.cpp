#include "results/step_ops.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <span>
#include <string>

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

// Sizes the arrays for nnodes nodes in turn, every entry 0, until one cannot be made; the
// allocation status for CHECK_ALLOC (0 when all were made).
template <typename... Arrays>
std::int32_t allocate_all(std::int32_t nnodes, Arrays&... arrays) {
    std::int32_t status = 0;
    ((status = status == 0 ? arrays.allocate(nnodes) : status), ...);
    return status;
}

// The mean of a sum over the record's nodes (0 for a record without nodes).
float mean_over_nodes(double sum, std::int32_t nnodes) {
    return nnodes > 0 ? static_cast<float>(sum / nnodes) : 0.0f;
}

}  // namespace

std::int32_t allocate_duration_state(DurationState& state, std::int32_t nnodes) {
    return allocate_all(nnodes, state.now, state.prev, state.duration);
}

std::int32_t allocate_toi_state(ToiState& state, std::int32_t nnodes) {
    return allocate_all(nnodes, state.now, state.prev, state.toi, state.threshold, state.reached);
}

std::size_t WalkState::take_step(const RES_TYPE& step, RES_TYPE& result) {
    if (!step_waiting()) {
        cells = std::span(result.CELL);
        fold_one_step(*this, step, reinterpret_cast<const std::byte*>(now.data()), false, now.size());
    }
    time_now = step.time;
    dt = time_now - time_prev;
    time_prev = time_now;
    return steps_taken++;
}

void DurationState::start_run(const StepRun& run) {
    run_steps = run.count;
    steps_taken = 0;
    run_nodes = count_within(run.nnodes, prev.size(), duration.size());
    float t = time_prev;
    for (std::size_t k = 0; k < run.count; ++k) {
        run_dt[k] = run.time[k] - t;
        t = run.time[k];
        run_hours[k] = {};
    }
}

void DurationState::fold_nodes(const StepRun& run, std::size_t first, std::size_t count) {
    if (first >= run_nodes) return;
    step_fold::add_durations(run, std::span(run_dt).first(run.count), cutoff, prev.data(), duration.data(), first,
                             std::min(count, run_nodes - first), run_nodes / 4 * 4,
                             std::span(run_hours).first(run.count));
}

void ToiState::start_run(const StepRun& run) {
    run_steps = run.count;
    steps_taken = 0;
    run_nodes = count_within(run.nnodes, prev.size(), toi.size(), threshold.size(), reached.size());
    float t = time_prev;
    for (std::size_t k = 0; k < run.count; ++k) {
        run_t0[k] = t;
        run_dt[k] = run.time[k] - t;
        t = run.time[k];
        run_reached[k] = 0;
    }
}

void ToiState::fold_nodes(const StepRun& run, std::size_t first, std::size_t count) {
    if (first >= run_nodes) return;
    step_fold::mark_increases(run, std::span(run_t0).first(run.count), std::span(run_dt).first(run.count),
                              threshold.data(), prev.data(), toi.data(), reached.data(), first,
                              std::min(count, run_nodes - first), std::span(run_reached).first(run.count));
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
        // A negative zero x would turn due south into -180; a zero vector, whatever the
        // signs of its zeros, points nowhere and gets 0.
        const double x = static_cast<double>(res.value[j]) + 0.0;
        const double y = static_cast<double>(res.y[j]);
        res.value[j] = x == 0.0 && y == 0.0 ? 0.0f : static_cast<float>(std::atan2(x, y) * kDegrees);
    }
}

void RES_DURATION(DurationState& state, const RES_TYPE& step, RES_TYPE& result) {
    const std::size_t k = state.take_step(step, result);
    util::console().line("...Duration Increment =" + field(state.dt, 5, 2) + "   Average duration of all nodes =" +
                         field(mean_over_nodes(state.run_hours[k].total(), step.nnodes), 5, 2) + "h");
}

void RES_TOI(ToiState& state, const RES_TYPE& step, RES_TYPE& result) {
    const std::size_t k = state.take_step(step, result);
    const std::int64_t count = state.run_reached[k];
    const float fraction = step.nnodes > 0 ? static_cast<float>(static_cast<double>(count) / step.nnodes) : 0.0f;
    util::console().line("...Duration Increment =" + field(state.dt, 5, 2) + "   % of cells where toi exceeded = " +
                         field(fraction, 5, 2));
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
            result.CELL[i].flag = a.CELL[i].wet() && b.CELL[i].wet() ? 1 : 0;
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
        result.CELL[i].flag = a.CELL[i].wet() || b.CELL[i].wet() ? 1 : 0;
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
