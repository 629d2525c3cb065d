#pragma once
// What the step-copying operations (-k, -r, range, -con, -trim, -va) share: the warning
// when more inputs are named than the operation uses (which -times and -ensight give
// too), the field a time is shown in, the closing of input 1, and the walk of the
// operations that change each step they write (-trim, -va).

#include <string>
#include <string_view>

#include "driver/run_state.hpp"
#include "driver/step_reader.hpp"
#include "results/res_type.hpp"
#include "results/results_writer.hpp"

namespace zorvel::driver {

// A time as these operations' messages show it: 15 characters with 3 decimals.
std::string time_field(float time);

// The warning (after an empty line) that an operation of one input goes on with input 1
// alone, written only when more inputs are named (as a ".sup" list can do).
void warn_one_input(const RunState& run, std::string_view warning);

// "Closing input file" between empty lines, and input 1's unit closed (an ".xmdf" input
// has none).
void close_input_file(RunState& run);

// Input 1's step at the -t time, or without -t every step of it, each changed by change
// (called with the record) and then written to the output.
template <class Change>
void write_changed_steps(RunState& run, results::OutputDescription& out, Change&& change) {
    if (run.cl.time_given) {
        read_step_at_time(run, run.res_);
        change(run.res_);
        results::WRITE_OUTPUT_TIMESTEP(out, run.res_);
        return;
    }
    StepReader reader(run, 1, run.primary_is_vector);
    while (reader.next(run.res_)) {
        change(run.res_);
        results::WRITE_OUTPUT_TIMESTEP(out, run.res_);
    }
}

}  // namespace zorvel::driver
