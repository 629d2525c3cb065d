// -trim: input 1's steps with their values capped at the -trim value: every step, or
// with -t the one step at that time. A scalar above the cap becomes the cap; a vector
// longer than the cap is shortened to it with its direction kept. Every step is written
// at the time it was read with, stored extremes of a ".dat" input included.

#include "driver/ends.hpp"
#include "driver/operations.hpp"
#include "driver/step_copy.hpp"
#include "results/results_writer.hpp"
#include "results/step_ops.hpp"
#include "util/console.hpp"
#include "util/numbers.hpp"

namespace zorvel::driver {

void run_trim(RunState& run) {
    const CommandLine& cl = run.cl;
    results::OutputDescription& out = run.output();
    warn_one_input(run, "WARNING - Only one file for -trim option");
    if (cl.time_given)
        util::line_after_gap("Trimming values at time at " + util::AREAL(cl.target_time));
    else
        util::line_after_gap("Trimming values at all times.");
    write_changed_steps(run, out, [&](results::RES_TYPE& res) { results::RES_CAP(res, cl.cutoff); });
    end_closing_files(out, cl.batch);
}

}  // namespace zorvel::driver
