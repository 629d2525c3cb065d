#pragma once
// A small XMDF access layer: eleven routines that reach an ".xmdf" file one step at a
// time through the binding (open, version, count and list the dataset paths, describe
// a dataset, find datasets by name and folder, open a data group, read one output time,
// the maximum over all output times), keeping the file, its paths and the open data
// groups in one state of their own for the life of the process. Each routine writes its
// console lines; a failed library call writes an "ERROR - " line and ends the run.
//
// Layout the routines expect, as a model run writes it: datasets at full paths
// "<results>/<folder>/<dataset>", folders "Maximums", "Temporal", "Minimums", "Times".

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "results/res_type.hpp"

namespace zorvel::xmdf_read {

// The layer's state. Path entries and time units are texts (trailing blanks carry no
// meaning) of at most 1000 and 100 characters; positions and ids are 0 when unset.
struct XmdfLayer {
    std::int32_t file_id = 0;  // the file XMDFOPEN opened
    std::int32_t status = 0;   // of the last library call

    // From the last count.
    std::int32_t n_paths = 0;
    std::int32_t path_length = 0;
    // The listed paths (entry i - 1 is path i) and the bytes the library filled them from.
    std::vector<std::string> paths;
    std::vector<char> raw_paths;

    // Dataset position (from 1) of the latest path found in each folder.
    std::int32_t maximums = 0;
    std::int32_t temporal = 0;
    std::int32_t minimums = 0;
    std::int32_t times = 0;

    // Open data groups; the scalar one also takes the group XMDFDATASETINFO opens.
    std::int32_t vector_group_id = 0;
    std::int32_t scalar_group_id = 0;

    // Of the last described dataset.
    std::int32_t n_values = 0;
    std::int32_t n_active = 0;
    std::string time_units;

    // XMDFMAXOVERTIMES: the maximum per value (x, and y for vectors; -99999 until a
    // value is read) and per cell of the activity flags (0 until read).
    std::vector<float> max_x;
    std::vector<float> max_y;
    std::vector<std::int32_t> max_flags;

    // One timestep as read, reused from call to call.
    std::vector<float> step_values;
    std::vector<std::int32_t> step_flags;
};

// The process's one layer state; what it leaves open is closed at the end of the process.
XmdfLayer& xmdf_layer();

// Closes the data groups and the file that the layer holds and clears their ids.
void close_xmdf_layer(XmdfLayer& layer);

// Opens the file read-only; its id goes into the state.
void XMDFOPEN(std::string_view name);
// Writes the version of the library that wrote the file.
void XMDFVERSION(std::int32_t file_id);
// Counts the scalar (vector) dataset paths of the file and their longest length into the state.
void XMDFCOUNTSCALARS(std::int32_t file_id);
void XMDFCOUNTVECTORS(std::int32_t file_id);
// Reads the scalar (vector) dataset paths of the file XMDFOPEN opened into the path
// list and lists them, numbered from 1.
void XMDFSCALARPATHS(std::int32_t n_paths, std::int32_t path_length);
void XMDFVECTORPATHS(std::int32_t n_paths, std::int32_t path_length);
// Opens the group of the path's first path_length characters and writes its sizes and time units.
void XMDFDATASETINFO(std::int32_t file_id, std::string_view path, std::int32_t path_length);
// Finds the first n paths that contain the text (case ignored; blank matches all) and
// records each by its folder; a path in none of the folders ends the run.
void XMDFFINDFOLDER(std::span<const std::string> paths, std::int32_t n_paths, std::int32_t path_length,
                    std::string_view text);
// Opens the data group of the path into the vector or the scalar group id.
void XMDFOPENDATAGROUP(std::int32_t file_id, std::string_view path, std::int32_t path_length, bool is_vector);
// Reads output time k (from 1) of the path's dataset into the record's values and flags,
// as vectors when the record is a vector record.
void XMDFREADTIMESTEP(std::int32_t file_id, std::string_view path, std::int32_t path_length, std::int32_t k,
                      results::RES_TYPE& res);
// Takes the per-value and per-cell maximum over output times 1..n_times into the state's
// work arrays; times[i - 1] is the time of output time i, for the console.
void XMDFMAXOVERTIMES(std::int32_t file_id, std::string_view path, std::int32_t path_length,
                      std::span<const double> times, std::int32_t n_times, bool is_vector, std::int32_t n_values,
                      std::int32_t n_cells);

}  // namespace zorvel::xmdf_read
