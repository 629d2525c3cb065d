#pragma once
// The checks of every further input against the primary input (the same numbers of nodes
// and cells, the same vector or scalar kind), the data type and ".2dm" mesh of each input,
// and the allocation of the run's records with the output header.
//
// Cells: an ".xmdf" input without activity flags has as many as its mesh has elements.
// Data type: a ".dat" input's is the text from the last "_" of its name ("_h" for
// run_h.dat), "XX" when there is none; an ".xmdf" input's is "_" and the -type code (a
// code of 4 characters without the "_"). Mesh: the ".sup" list's mesh, else the -2dm
// name, else the input's name without extension (".dat": also without its data-type
// suffix) followed by ".2dm".

#include <cstdint>
#include <string>
#include <string_view>

#include "driver/run_state.hpp"

namespace zorvel::driver {

// Gives every ".xmdf" input that stores no activity flags (the catalogue counted 0 cells)
// the number of elements of its mesh as its number of cells, every cell then active; the
// mesh is opened through the opener, which asks for another name when it is missing. The
// listings (-times, -xnfo) take the file as it is.
void count_cells_from_meshes(RunState& run);
// Ends the run when a further input's numbers of nodes or cells differ from the primary's.
void check_sizes(RunState& run);
// Ends the run when -va has scalar data, or a further input's kind differs from the primary's.
void check_kinds(RunState& run);
// Gives every input its data type and its mesh, and the run its data type.
void set_data_types_and_meshes(RunState& run);
// The mesh of input i, as named above (before the opener may have asked for another).
std::string mesh_of(const RunState& run, std::int32_t i);
// True when input i holds water levels: data type "_h" by its name or the -type code.
bool is_water_level_input(const RunState& run, std::int32_t i);
// The ".dat" file that holds the water levels beside a ".dat" input of other data:
// its folder and name without the data-type suffix, then "_h.dat".
std::string water_level_companion(std::string_view input_name);
// Allocates the run's records and work arrays, logging each, and starts the records.
void allocate_records(RunState& run);
// Sets the output's kind and writes its header (unless the operation writes its own).
void write_output_header(RunState& run);

// Gives a mesh record the arrays for its nodes and elements (reserved at allocation) so
// that the ".2dm" reader can fill it.
void size_mesh(results::MESH_TYPE& mesh, std::int32_t nnodes, std::int32_t ncells);
// Opens the input's ".2dm" mesh on a new unit and gives the unit; the record then names
// the file the opener opened (another name may have been asked for).
int open_mesh(InputRecord& in);
// Reads the element corners of input 1's mesh into geom_ for the wet-cell rule of water
// levels, all the rule uses of it (its unit stays open for the rest of the run).
void read_first_mesh(RunState& run);

}  // namespace zorvel::driver
