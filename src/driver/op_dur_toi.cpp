// -dur and -toi: one walk over the steps of input 1, one step in memory at a time.
//   -dur  per node the hours at or above the cut-off, interpolated where the value crosses
//         it between two steps; always a scalar dataset.
//   -toi  per node the time at which it first reached its threshold (its first value plus
//         the cut-off, or the cut-off's magnitude when the cut-off is negative),
//         interpolated inside the step of the crossing; 0 where it never did. A vector
//         input gives (time, 0) per node.
// Vector steps count by their magnitudes. A ".dat" record whose time is a stored extreme
// ends the walk unused; every other record is a step, the last one included. The result
// is one step at time 0 in <results>/Duration or <results>/Time to of an ".xmdf" output,
// or the one record of a ".dat" output.

#include <algorithm>
#include <span>
#include <utility>

#include "driver/ends.hpp"
#include "driver/operations.hpp"
#include "driver/step_reader.hpp"
#include "results/res_ops.hpp"
#include "results/step_ops.hpp"
#include "util/console.hpp"
#include "util/zeroed_array.hpp"

namespace zorvel::driver {

namespace {

using util::console;

// The per-node result into the values of the record written: the array itself when it
// holds as many entries.
void take_values(util::ZeroedArray<float>& values, results::RES_TYPE& wk) {
    if (values.size() == wk.value.size()) {
        std::swap(values, wk.value);
        return;
    }
    const std::size_t n = std::min(values.size(), wk.value.size());
    std::copy_n(values.begin(), n, wk.value.data());
}

// Walks the steps into the state: the first step gives the previous values, from which
// start sets up the rest, and every later one is taken by take (a stored extreme ends the
// walk unused).
template <typename State, typename Start>
void walk(RunState& run, StepReader& reader, bool dat, State& state, Start start,
          void (*take)(State&, const results::RES_TYPE&, results::RES_TYPE&)) {
    state.cells = std::span(run.wk_res_.CELL);
    const auto goes_on = [&] { return !(dat && is_stored_extreme(run.res_.time)); };
    if (!reader.next_magnitudes(run.res_, std::span(state.prev.data(), state.prev.size()))) return;
    start(state);
    state.time_prev = run.res_.time;
    if (!goes_on()) return;
    while (reader.next_magnitudes(run.res_, std::span(state.now.data(), state.now.size()), &state) && goes_on())
        take(state, run.res_, run.wk_res_);
}

// The duration walk: the first step starts the previous values, every later one adds.
void walk_duration(RunState& run, StepReader& reader, bool dat) {
    results::DurationState state;
    results::CHECK_ALLOC(results::allocate_duration_state(state, run.res_.nnodes));
    state.cutoff = run.cl.cutoff;
    walk(run, reader, dat, state, [](results::DurationState&) {}, results::RES_DURATION);
    take_values(state.duration, run.wk_res_);
    run.wk_res_.is_vector = false;
}

// The time-of-increase walk: the first step sets the thresholds, every later one marks.
void walk_toi(RunState& run, StepReader& reader, bool dat) {
    results::ToiState state;
    results::CHECK_ALLOC(results::allocate_toi_state(state, run.res_.nnodes));
    const float cutoff = run.cl.cutoff;
    const auto thresholds = [cutoff](results::ToiState& s) {
        for (std::size_t j = 0; j < s.prev.size(); ++j) s.threshold[j] = cutoff < 0.0f ? -cutoff : s.prev[j] + cutoff;
    };
    walk(run, reader, dat, state, thresholds, results::RES_TOI);
    take_values(state.toi, run.wk_res_);
}

}  // namespace

void run_dur_toi(RunState& run) {
    const bool dur = run.op == Operation::dur;
    if (run.n_inputs() > 1) {
        console().line();
        console().line(dur ? "WARNING - Only one file used for duration (-dur) option"
                           : "WARNING - Only one file used for time of increase (-toi) option");
    }
    StepReader reader(run, 1, run.primary_is_vector);
    const bool dat = !run.input(1).input_is_xmdf;
    if (dur)
        walk_duration(run, reader, dat);
    else
        walk_toi(run, reader, dat);

    run.wk_res_.time = 0.0f;
    results::WRITE_OUTPUT_TIMESTEP(run.output(), run.wk_res_);
    end_finished(run.output(), run.cl.batch);
}

}  // namespace zorvel::driver
