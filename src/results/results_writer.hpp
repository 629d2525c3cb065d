#pragma once
// The results writer: every result file of a run goes out through it, one output
// description per file. It opens the output by its type, writes the header, one
// timestep per call from a result record, and closes the file.
//
// ".xmdf" layout written (all through the XMDF binding):
//   <results_name>/<folder_name>      generic group (the group path)
//     <dataset_name>                  scalar dataset, or the two-component vector dataset
//     <mag_name>                      a vector's scalar companion: the magnitude per node
//   every dataset with units "m", time units "Hours", compression 0; one timestep per
//   call at the record's time (time codes as they are), a value (or x, y pair) per node
//   and an activity byte per cell. Further groups go beside the first after
//   CLOSE_OUTPUT_GROUPS and a new header; an existing group path is opened again.
// ".dat" outputs get the header, time records and end card of dat.hpp; text outputs are
// only opened and closed here, their owners write their lines.
//
// Names are texts (util/text.hpp): trailing blanks carry no meaning, joined names are
// cut at 1000 characters. Every XMDF status is tested, closing calls included; a
// failure ends the run with an "ERROR - " line naming the call in square brackets.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "results/res_type.hpp"

namespace zorvel::results {

// One output file: its type and names from the command driver, its handle, XMDF ids
// and progress from the writer.
struct OutputDescription {
    bool to_xmdf = false;          // the output is an ".xmdf" file
    bool to_dat = false;           // the output is a binary ".dat" file
    bool to_text = false;          // the output is a text file
    bool is_vector = false;        // the dataset is a vector dataset (with a scalar companion)
    std::int32_t handle = 0;       // file unit of a ".dat" or text output, or the XMDF file id
    std::int32_t group_id = 0;     // XMDF id of the output group
    std::int32_t scalar_id = 0;    // XMDF id of the scalar dataset, or of a vector's companion
    std::int32_t vector_id = 0;    // XMDF id of the vector dataset
    bool user_named = false;       // the output name came from -out
    bool is_open = false;          // the output file is open
    bool dat_header_done = false;  // the ".dat" header has been written
    std::string out_path;          // the output file name
    std::string results_name;      // top XMDF group: the primary input's name
    std::string folder_name;       // XMDF sub-group; the full group path once a header is written
    std::string dataset_name;      // the output dataset's name
    std::string mag_name;          // the name of a vector dataset's scalar companion
};

// Opens the output by its type (text, then ".xmdf", then ".dat": the first flag set)
// and marks it open; an output of no known type ends the run.
void OPEN_OUTPUT(OutputDescription& out);
// Creates the ".xmdf" file; the file id goes into handle.
void CREATE_XMDF_OUTPUT(OutputDescription& out);
// Fills in the default names and writes the XMDF group and datasets or the ".dat"
// header; the record gives the numbers of nodes and cells.
void WRITE_OUTPUT_HEADER(OutputDescription& out, const RES_TYPE& res);
// Creates the group at folder_name and the output's datasets in it.
void CREATE_XMDF_DATASETS(OutputDescription& out);
// Writes one timestep of the record (nothing for a text output).
void WRITE_OUTPUT_TIMESTEP(OutputDescription& out, RES_TYPE& res);
// WRITE_OUTPUT_TIMESTEP for a record whose values are kept as a ".dat" input stores them
// (next_dat_step_as_stored): a ".dat" or ".xmdf" output of the same layout takes them as
// they are (the record's nodes untouched), any other output once they are in the nodes.
void write_output_step_as_stored(OutputDescription& out, RES_TYPE& res, std::span<const std::byte> values);
// Writes one timestep to the XMDF datasets; for a vector output every node's value
// holds the magnitude of its vector afterwards.
void WRITE_XMDF_TIMESTEP(OutputDescription& out, RES_TYPE& res);
// Finishes and closes the output and marks it closed; an output not open is left alone.
void CLOSE_OUTPUT(OutputDescription& out);
// Closes a text output without a console line, so that it is complete on disk however
// the run ends later; its unit stays booked until the end of the run. A text output
// whose lines did not all reach the disk is removed and ends the run.
void finish_text_output(OutputDescription& out);
// Closes the XMDF vector dataset, the scalar dataset and the group (each id above 0)
// and sets their ids to 0, so that a new header can make a group beside them.
void CLOSE_OUTPUT_GROUPS(OutputDescription& out);

// The name of a vector dataset's scalar companion.
std::string companion_name(std::string_view dataset_name);

// At an error end: closes every ".xmdf" output that the writer created and did not close,
// and removes what it wrote (its temporary file), so that none is left half-written.
void discard_open_outputs();

}  // namespace zorvel::results
