#pragma once
// What the step-copying operations (-k, -r, range, -con, -trim, -va) share: the warning
// when more inputs are named than the operation uses (which -times and -ensight give
// too), the field a time is shown in, and the closing of input 1.

#include <string>
#include <string_view>

#include "driver/run_state.hpp"

namespace zorvel::driver {

// A time as these operations' messages show it: 15 characters with 3 decimals.
std::string time_field(float time);

// The warning (after an empty line) that an operation of one input goes on with input 1
// alone, written only when more inputs are named (as a ".sup" list can do).
void warn_one_input(const RunState& run, std::string_view warning);

// "Closing input file" between empty lines, and input 1's unit closed (an ".xmdf" input
// has none).
void close_input_file(RunState& run);

}  // namespace zorvel::driver
