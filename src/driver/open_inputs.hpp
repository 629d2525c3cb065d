#pragma once
// Opening a run: the XMDF catalogue, the ".dat" inputs and the output opened, the primary
// input's size and kind, and in the ".xmdf" inputs the dataset the run works on (by -type,
// -path, -s or -v) with its output times and, with -t, the timestep to read.

#include "driver/run_state.hpp"

namespace zorvel::driver {

// Catalogues the ".xmdf" inputs' headers, opens every ".dat" input and the output (unless
// the operation opens its own) and reads a ".dat" primary input's header.
void open_inputs_and_output(RunState& run);

// Lists and sizes the ".xmdf" inputs and selects their dataset and times; nothing when
// every input is a ".dat" file.
void select_xmdf_datasets(RunState& run);

}  // namespace zorvel::driver
