// -con: every step of every input, input after input in command-line order and, within
// an input, in stored order; times are neither sorted nor merged. A ".dat" input ends at
// a record whose time is a stored extreme (above 99998 either way), which is not copied:
// a stored maximum or minimum is no output time of the concatenation.

#include "driver/ends.hpp"
#include "driver/operations.hpp"
#include "driver/step_copy.hpp"
#include "driver/step_reader.hpp"
#include "results/results_writer.hpp"
#include "util/console.hpp"
#include "util/text.hpp"
#include "util/units.hpp"

namespace zorvel::driver {

namespace {

using util::console;

// Copies every step of input i to the output.
void copy_input(RunState& run, std::int32_t i) {
    StepReader reader(run, i, run.primary_is_vector);
    const bool dat = run.input(i).input_is_dat;
    while (reader.next_for_copy(run.res_)) {
        if (dat && is_stored_extreme(run.res_.time)) {
            console().line("Skipping times above 99,998, time found: " + time_field(run.res_.time));
            break;
        }
        reader.copy_to(run.output(), run.res_);
    }
    if (dat) util::CLOSER(run.units[static_cast<std::size_t>(i - 1)]);
}

}  // namespace

void run_con(RunState& run) {
    util::line_after_gap("Concatanating datasets.");
    for (std::int32_t i = 1; i <= run.n_inputs(); ++i) {
        util::line_after_gap("Processing file: " + util::trimmed(run.input_name(i)));
        copy_input(run, i);
    }
    end_closing_files(run.output(), run.cl.batch);
}

}  // namespace zorvel::driver
