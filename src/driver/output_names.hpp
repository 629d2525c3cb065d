#pragma once
// The naming of a run's output: its file name (from the primary input or -out, with the
// operation's suffix), its top XMDF group, its folder and its dataset name, and the
// refusal of an output that would overwrite one of the run's inputs.
//
//   operation   suffix         folder          dataset
//   -r          (r<t>)         Remove          -
//   -k          (k<t>)         Keep            Keep <input name>
//   -con        (con)          Concatenate     -
//   -max        (maxmax)       MaxMax          Max Value
//   -min        (minmin)       MinMin          Min Value
//   -avg        (avg)          Avg             Avg Value
//   range       (range)        Range           <-type description> or Range <input name>
//   -dif        see below      Difference      diff_<name 1> - <name 2>
//   -dur        (<dur word>)   Duration        <dur word>
//   -trim       (<trim word>)  Trim            <trim word>
//   -toi        (toi)          Time to         Time to Increase <cut-off>
//   -times      the file times.txt (text output)
// -va, -xnfo and -ensight name theirs later; -conv makes one description per output file.
// A -dif or -ddur output is named by a third input name when there is one, else
// "<name 1> - <name 2>" in the current folder.

#include <span>
#include <string>
#include <string_view>

#include "driver/run_state.hpp"

namespace zorvel::driver {

// Makes output description 1 and names it for the run's operation (nothing for -conv).
// A third -dif or -ddur name becomes the output and leaves two inputs.
void name_output(RunState& run);

// A name as a field of the output description holds it (cut or padded to its length).
std::string name_field(std::string_view value);

// The dataset name of a ".dat" input in an ".xmdf" output: the description of the last map
// output type whose code is its data type (without the "_"), else that code.
std::string dat_dataset_name(const InputRecord& in);

// Ends the run when the named output is a file that the run reads (the same file, however
// its name is spelled, or a name that a file still to come will have), before anything is
// opened. Read are: the ".sup" list, the inputs, the meshes that the operation reads and,
// for a difference with the wet/dry test, the "_h.dat" companions of its ".dat" inputs.
void refuse_output_as_input(const RunState& run);
// The same refusal for an output that its operation names later in the run (-k, -va, -conv).
void refuse_named_output(const RunState& run, const results::OutputDescription& out);
// The same refusal for the outputs of an operation that writes several (-conv, -xnfo, -ensight).
void refuse_outputs_read(const RunState& run, std::span<const std::string> paths);
// The same refusal for numbered outputs: each base followed by "." and four digits in the
// folder (given with its separator, or empty for the working folder).
void refuse_numbered_outputs_read(const RunState& run, std::string_view folder, std::span<const std::string> bases);

}  // namespace zorvel::driver
