// -r: every step of input 1 but the one at the -r time, in stored order. An ".xmdf"
// input passes over the step that the time search selected without reading it; a ".dat"
// input is read record by record and leaves out every record within the time search
// tolerance of the time (stored extremes are copied like any other record). A time that
// no step has ends the run, and its output with it: nothing was removed.

#include <cmath>

#include "driver/ends.hpp"
#include "driver/operations.hpp"
#include "driver/step_copy.hpp"
#include "driver/step_reader.hpp"
#include "results/results_writer.hpp"
#include "util/console.hpp"
#include "util/numbers.hpp"
#include "util/units.hpp"

namespace zorvel::driver {

namespace {

using util::console;

// The ".xmdf" walk: every step but the selected one.
void remove_xmdf_step(RunState& run) {
    const xmdf_read::DatasetList& list = run.xmdf.file(run.input(1).xmdf_index).list(run.primary_is_vector);
    // A stored extreme (-r99999) lies in a dataset of its own, not among these steps.
    if (list.selected_step < 1 || list.selected_dataset != list.times_dataset)
        util::fail("ERROR - Could not find specified timestep in .xmdf file.");
    const std::int32_t removed = list.selected_step;
    StepReader reader(run, 1, run.primary_is_vector);
    reader.leave_out(removed);
    for (;;) {
        if (reader.upcoming() == removed) console().line("Skipping Timestep: " + util::integer_field(removed, 3));
        if (!reader.next_for_copy(run.res_)) break;
        reader.copy_to(run.output(), run.res_);
    }
}

// The ".dat" walk: every record but those at the time.
void remove_dat_records(RunState& run) {
    const CommandLine& cl = run.cl;
    util::line_after_gap("Setting end dat_end_flag to false.");
    console().line("   Done.");
    StepReader reader(run, 1, run.primary_is_vector);
    bool found = false;
    do {
        util::line_after_gap("Loading next timestep from .dat.");
        if (!reader.next_for_copy(run.res_)) break;
        if (std::fabs(run.res_.time - cl.target_time) - cl.time_tol <= 0.0f) {
            console().line("Skipping time: " + time_field(run.res_.time));
            found = true;
        } else {
            reader.copy_to(run.output(), run.res_);
        }
    } while (!reader.at_last());
    if (!found) util::time_not_found("ERROR - Could not find specified timestep in .dat file.");
}

}  // namespace

void run_remove(RunState& run) {
    warn_one_input(run, "WARNING - Only one file for -r (remove) option");
    console().line("Removing time: " + time_field(run.cl.target_time));
    if (run.input(1).input_is_xmdf)
        remove_xmdf_step(run);
    else
        remove_dat_records(run);
    close_input_file(run);
    end_closing_files(run.output(), run.cl.batch);
}

}  // namespace zorvel::driver
