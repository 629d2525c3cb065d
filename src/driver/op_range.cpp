// -rangeA with -rangeB: the steps of input 1 from the first time to the last, in stored
// order. An ".xmdf" input walks from the step that the time search finds for the first
// time to the one it finds for the last (each within the time search tolerance, or the
// run ends there); a ".dat" input is read record by record, skipping the records before
// the first time and stopping at the first record after the last.

#include "driver/ends.hpp"
#include "driver/operations.hpp"
#include "driver/step_copy.hpp"
#include "driver/step_reader.hpp"
#include "results/results_writer.hpp"
#include "util/console.hpp"
#include "xmdf_read/search.hpp"

namespace zorvel::driver {

namespace {

using util::console;

// The step of input 1's dataset that the time search selects for the time.
std::int32_t step_at(RunState& run, float time) {
    xmdf_read::FIND_XMDF_TIME(run.xmdf, time, run.cl.time_tol);
    return run.xmdf.file(run.input(1).xmdf_index).list(run.primary_is_vector).selected_step;
}

// The ".xmdf" walk from the first limit's step to the last one's.
void copy_xmdf_range(RunState& run) {
    const std::int32_t first = step_at(run, run.cl.range_a);
    const std::int32_t last = step_at(run, run.cl.range_b);
    StepReader reader(run, 1, run.primary_is_vector);
    reader.limit(first, last);
    while (reader.next_for_copy(run.res_)) reader.copy_to(run.output(), run.res_);
}

// The ".dat" walk: records before the range skipped, those in it written, the first
// after it ending the reading.
void copy_dat_range(RunState& run) {
    const CommandLine& cl = run.cl;
    StepReader reader(run, 1, run.primary_is_vector);
    while (reader.next_for_copy(run.res_)) {
        const float t = run.res_.time;
        if (t - cl.range_a <= -cl.time_tol) {
            console().line("Skipping time: " + time_field(t));
        } else if (t - cl.range_b <= cl.time_tol) {
            reader.copy_to(run.output(), run.res_);
        } else {
            console().line("Time is after range B option - exiting: " + time_field(t));
            break;
        }
    }
}

}  // namespace

void run_range(RunState& run) {
    const CommandLine& cl = run.cl;
    warn_one_input(run, "WARNING - Only one file for -range (range) option");
    console().line("Processing range option.");
    console().line("Start time for range option: " + time_field(cl.range_a));
    console().line("End time for range option:   " + time_field(cl.range_b));
    if (run.input(1).input_is_xmdf)
        copy_xmdf_range(run);
    else
        copy_dat_range(run);
    close_input_file(run);
    end_closing_files(run.output(), cl.batch);
}

}  // namespace zorvel::driver
