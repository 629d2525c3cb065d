#pragma once
// The operations of the command driver, one file each (op_<flag>.cpp). Each is entered
// after the set-up stages with the inputs open and checked, the records allocated and
// the output's header written, and each ends the run.

#include "driver/run_state.hpp"

namespace zorvel::driver {

// -max and -min: the extreme of every node over the inputs (over all their times, or at
// the -t time), with the number of the input that supplied it and, for a single scanned
// input, the time at which it occurred.
[[noreturn]] void run_max_min(RunState& run);

}  // namespace zorvel::driver
