#include "driver/step_copy.hpp"

#include "util/console.hpp"
#include "util/numbers.hpp"
#include "util/units.hpp"

namespace zorvel::driver {

std::string time_field(float time) { return util::right_justified(util::AREALD(time, 3), 15); }

void warn_one_input(const RunState& run, std::string_view warning) {
    if (run.n_inputs() > 1) util::line_after_gap(warning);
}

void close_input_file(RunState& run) {
    util::line_after_gap("Closing input file");
    util::console().line();
    util::CLOSER(run.units[0]);
}

}  // namespace zorvel::driver
