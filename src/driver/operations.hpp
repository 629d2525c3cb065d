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

// -avg: the mean of every node over the output times of the one input, written at time 0.
[[noreturn]] void run_avg(RunState& run);

// -dur and -toi: per node of input 1, the hours at or above the cut-off, or the time at
// which it first reached its threshold, over its steps one at a time; written at time 0.
[[noreturn]] void run_dur_toi(RunState& run);

// -k: input 1's one step at the -k time, in an output named after it.
[[noreturn]] void run_keep(RunState& run);
// -con: every step of every input, one input after another.
[[noreturn]] void run_con(RunState& run);
// -r: every step of input 1 but the one at the -r time.
[[noreturn]] void run_remove(RunState& run);
// -rangeA with -rangeB: input 1's steps from the first time to the last.
[[noreturn]] void run_range(RunState& run);
// -trim: input 1's steps capped at the -trim value.
[[noreturn]] void run_trim(RunState& run);
// -va: input 1's vectors as flow directions in degrees, in an output named after it.
[[noreturn]] void run_va(RunState& run);
// -dif: input 1 minus input 2 at the -t time or at every output time they share, with
// the wet/dry codes unless the test is off.
[[noreturn]] void run_dif(RunState& run);
// -conv: ".dat" inputs into one ".xmdf" file per model run, or the datasets of the first
// ".xmdf" input into one ".dat" file per map output type and one for its /Times/ datasets.
[[noreturn]] void run_conv(RunState& run);
// -ensight: the primary input's mesh and every dataset (".xmdf") or record (".dat") of its
// results as an EnSight Gold file set with its case file.
[[noreturn]] void run_ensight(RunState& run);

// -times: the output times of input 1 into a text file, one per line; ends as the listing
// of output times ends (the inputs closed, "Finished.", a wait without a line of its own).
[[noreturn]] void run_times(RunState& run);
// -xnfo: the datasets and output times of every ".xmdf" input into one text file each.
[[noreturn]] void run_xnfo(RunState& run);

}  // namespace zorvel::driver
