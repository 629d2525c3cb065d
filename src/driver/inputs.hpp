#pragma once
// The inputs of a run before anything is opened: a ".sup" list expanded into its data
// files, the input table and the XMDF table made, every input listed and classified as
// ".dat" or ".xmdf", the time search tolerance, the output type with the output file's
// extension, the dataset selector that ".xmdf" inputs need, and the cap on the run's
// memory that the inputs give.

#include "driver/run_state.hpp"

namespace zorvel::driver {

// Ends the run when it has no input name.
void require_inputs(const RunState& run);
// Replaces a lone ".sup" input by the data files it lists, each in the list's folder.
void expand_sup(RunState& run);
// Makes the input table, the ".xmdf" marks and the XMDF table, one entry per input.
void make_input_tables(RunState& run);
// Lists the inputs and classifies each as ".xmdf" or ".dat"; ends the run on any other.
void list_inputs(RunState& run);
// Reports the time search tolerance, setting the default when -dttol is absent.
void set_time_tolerance(RunState& run);
// Chooses the output type from the inputs and -out, and gives the output its extension.
void choose_output_type(RunState& run);
// Ends the run when ".xmdf" inputs come without a dataset selector; warns that the
// EnSight export does not fully support ".dat" inputs.
void require_dataset_selector(const RunState& run);
// Puts the cap on the run's memory in force from its inputs and their ".sup" list, before
// the first XMDF call; the meshes and companions the run opens later add to it then.
void cap_memory(const RunState& run);

}  // namespace zorvel::driver
