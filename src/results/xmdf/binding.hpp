#pragma once
// The XMDF binding: the XF_ calls through which zorvel reads and writes ".xmdf"
// files, built directly on the HDF5 C library.
//
// Calling style: every routine stores a status in its last argument, 0 for success
// and negative for a failure, prints nothing and lets no exception out, with two ends
// of the run as the exceptions: memory that runs out (std::bad_alloc goes on to main),
// and an input whose declared sizes its stored data does not back (see below). Ids are
// positive 32-bit integers (0 is never an id); times are 64-bit reals, values
// 32-bit reals. Text inputs are fixed-length fields: trailing blanks are dropped,
// inner blanks kept. Output buffers come with their real sizes; a buffer too small
// for what is asked is a failure, never an overrun.
//
// File layout written and expected:
//   /File Type            fixed-length NUL-terminated string "Xmdf" [1] (a scalar one is read too)
//   /File Version         float32 [1], 1.9
//   <group>               attribute Grouptype = "Generic"
//   <dataset group>       attributes Grouptype = "DATASET SCALAR" | "DATASET VECTOR",
//                         DatasetUnits, TimeUnits (strings), DatasetCompression,
//                         Data Type = 0 (int32)
//     Times               float64 [t], unlimited
//     Values              float32 [t, n] (scalar) or [t, n, 2] (vector), unlimited in t,
//                         one timestep per chunk, deflate for compression 1..9
//     Mins, Maxs          float32 [t]: each step's smallest and largest value
//                         (of the magnitude for vectors)
//     Active              uint8 [t, cells], written by XF_WRITE_ACTIVITY_TIMESTEP
// Datasets are listed as every group whose Grouptype names a dataset, at any depth,
// depth first in name order, by full path without a leading "/". Reading also takes
// float64 Values, deflated data and a missing Active (every cell then counts as
// active, and the number of active values is 0).
//
// Sizes are checked against the stored data before they leave the binding (a count) or
// reach HDF5 (a read): the numbers of Times, Values, Active and "File Version" may be no
// wider than 8 bytes (an array of another class fails its call), and what Times, Values
// and Active declare, and one chunk of each, must be backed by what the file stores (see
// stored_data.hpp; an array with no timestep yet may declare one of moderate size); the
// paths of a dataset listing, and the slots a caller sizes from its count and length, may
// hold no more bytes than the file (or 16 MiB). Otherwise the run ends with "ERROR -
// Dataset sizes not backed by stored data in xmdf file: " and the quoted name, through
// util::fail.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace zorvel::results::xmdf {

// Sets HDF5 up for the binding, once: no error stacks printed (only zorvel's console
// speaks), no clean-up of HDF5's own at exit (the binding closes what is still open),
// no memory kept in HDF5's free lists. Called by the first call of the binding.
void setup_hdf5();
// Closes every file still open through the binding, with its groups: the end of a run,
// also after an error, leaves no HDF5 id open.
void close_all_files();

// Files. A created file is one of the run's begun outputs (util/begun_outputs.hpp); a
// creation that fails removes what it made, and never touches a file that HDF5 holds open.
void XF_CREATE_FILE(std::string_view name, bool overwrite, std::int32_t& file_id, std::int32_t& status);
void XF_OPEN_FILE(std::string_view name, bool read_only, std::int32_t& file_id, std::int32_t& status);
void XF_CLOSE_FILE(std::int32_t file_id, std::int32_t& status);
// Closes a created file that is not to be kept (an error end) and removes what it wrote.
void discard_file(std::int32_t file_id);
void XF_GET_LIBRARY_VERSION_FILE(std::int32_t file_id, float& version, std::int32_t& status);

// Dataset listing.
void XF_GET_SCALAR_DATASETS_INFO(std::int32_t file_id, std::int32_t& n_paths, std::int32_t& max_path_len,
                                 std::int32_t& status);
void XF_GET_VECTOR_DATASETS_INFO(std::int32_t file_id, std::int32_t& n_paths, std::int32_t& max_path_len,
                                 std::int32_t& status);
void XF_GET_SCALAR_DATASET_PATHS(std::int32_t file_id, std::int32_t n_paths, std::int32_t max_path_len,
                                 std::span<char> paths, std::int32_t& status);
void XF_GET_VECTOR_DATASET_PATHS(std::int32_t file_id, std::int32_t n_paths, std::int32_t max_path_len,
                                 std::span<char> paths, std::int32_t& status);

// Groups (a dataset is opened, read and closed as a group).
void XF_OPEN_GROUP(std::int32_t parent_id, std::string_view path, std::int32_t& group_id, std::int32_t& status);
void XF_CLOSE_GROUP(std::int32_t id, std::int32_t& status);

// Dataset queries and reads.
void XF_GET_DATASET_NUMVALS(std::int32_t id, std::int32_t& n_values, std::int32_t& status);
void XF_GET_DATASET_NUMACTIVE(std::int32_t id, std::int32_t& n_active, std::int32_t& status);
void XF_GET_DATASET_TIME_UNITS(std::int32_t id, std::string& time_units, std::int32_t& status);
void XF_GET_DATASET_NUM_TIMES(std::int32_t id, std::int32_t& n_times, std::int32_t& status);
void XF_GET_DATASET_TIMES(std::int32_t id, std::int32_t n_times, std::span<double> times, std::int32_t& status);
void XF_READ_SCALAR_VALUES_TIMESTEP(std::int32_t id, std::int32_t step, std::int32_t n_values,
                                    std::span<float> values, std::int32_t& status);
void XF_READ_VECTOR_VALUES_TIMESTEP(std::int32_t id, std::int32_t step, std::int32_t n_values,
                                    std::int32_t n_components, std::span<float> values, std::int32_t& status);
void XF_READ_ACTIVITY_TIMESTEP(std::int32_t id, std::int32_t step, std::int32_t n_flags,
                               std::span<std::int32_t> flags, std::int32_t& status);

// Writing.
void XF_CREATE_GENERIC_GROUP(std::int32_t file_id, std::string_view path, std::int32_t& group_id,
                             std::int32_t& status);
void XF_CREATE_SCALAR_DATASET(std::int32_t group_id, std::string_view name, std::string_view units,
                              std::string_view time_units, std::int32_t compression, std::int32_t& dataset_id,
                              std::int32_t& status);
void XF_CREATE_VECTOR_DATASET(std::int32_t group_id, std::string_view name, std::string_view units,
                              std::string_view time_units, std::int32_t compression, std::int32_t& dataset_id,
                              std::int32_t& status);
void XF_WRITE_SCALAR_TIMESTEP(std::int32_t dataset_id, double time, std::int32_t n_values,
                              std::span<const float> values, std::int32_t& status);
void XF_WRITE_VECTOR_TIMESTEP(std::int32_t dataset_id, double time, std::int32_t n_values,
                              std::int32_t n_components, std::span<const float> values, std::int32_t& status);
void XF_WRITE_ACTIVITY_TIMESTEP(std::int32_t dataset_id, std::int32_t n_flags, std::span<const std::int8_t> flags,
                                std::int32_t& status);

}  // namespace zorvel::results::xmdf
