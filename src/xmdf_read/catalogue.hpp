#pragma once
// The catalogue of a run's ".xmdf" inputs: one file record per input in the XMDF
// table, filled before any operation reads XMDF data.
//
// Layout of an ".xmdf" input as a model run writes it (every dataset addressed by
// its path inside the file, without a leading "/"):
//   <group>/Maximums/<name>   one time: the maximum of a quantity
//   <group>/Minimums/<name>   one time: the minimum
//   <group>/Temporal/<name>   every output time
//   <group>/Times/<name>      scalar, one time: times or durations; the name holds
//                             "Time of First" (the cut-off depth follows, as in
//                             Time of First Depth > 0.1m), "Duration Above" (as in
//                             Duration Above 0.3m), "Time of Peak h" or "Time of Peak V"
// Outside "Times" a name is the description of its map output type ("Depth"); a
// vector name may carry the prefix "Vector " ("Vector Velocity" is of type 3).
// Folders and names compare without regard to case. A path is split at its first
// and at its last "/": group, folder (everything between), name.
// Datasets that other programs place at the root or in other folders are listed
// too and reached by -path, -s and -v.
//
// Dataset numbers count from 1 in the order in which the library lists the paths,
// scalars and vectors separately; arrays of this file are indexed from 0 (dataset k
// is paths[k - 1], map output type row r is type_present[r - 1]).

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "xmdf_read/map_types.hpp"

namespace zorvel::xmdf_read {

inline constexpr int MAX_FIRST_DEPTH_OUTPUTS = 100;
inline constexpr int MAX_DURATION_OUTPUTS = 100;
inline constexpr int MAX_PEAK_OUTPUTS = 10;

inline constexpr std::size_t kFolderLen = 100;  // folder of a split path
inline constexpr std::size_t kLeafLen = 40;     // name of a split path

// Time codes of the peak times in the /Times/ folder.
inline constexpr float kPeakWaterLevel = 900001.0f;  // "Time of Peak h"
inline constexpr float kPeakVelocity = 900002.0f;    // "Time of Peak V"

// The folders of a model run's layout, in the order a path is tested for them.
enum class DataFolder { maximums, temporal, minimums, times, none };

// A dataset path taken apart (texts without trailing blanks).
struct SplitPath {
    std::string group;   // before the first "/"; at most 1000 characters
    std::string folder;  // between the first and the last "/"; at most 100
    std::string name;    // after the last "/" (the whole path without one); at most 40
};

// The /Times/ datasets of one kind: cut-off depth or peak code, and dataset number.
template <int N>
struct TimesList {
    static constexpr int capacity = N;
    std::int32_t count = 0;
    std::array<float, N> values{};
    std::array<std::int32_t, N> datasets{};
};

// Where the conversion writes one dataset: the ".dat" name and its place in the
// run's output file list (1 to 100).
struct ConversionEntry {
    std::string out_name;
    std::int32_t out_index = 0;
};

// The scalar or the vector datasets of one file, with what the searches chose.
struct DatasetList {
    std::int32_t n_paths = 0;
    std::int32_t max_path_len = 0;  // slot length of path_buffer in bytes
    std::int32_t found_max = 0;     // dataset numbers by folder; 0 for none
    std::int32_t found_min = 0;
    std::int32_t found_temporal = 0;  // also the dataset given with -s or -v
    std::int32_t found_times = 0;
    bool type_found = false;
    std::int32_t selected_step = 0;     // the timestep chosen by the output-time search
    std::int32_t n_times = 0;           // output times of the chosen dataset
    std::int32_t selected_dataset = 0;  // the dataset the timestep reader reads
    std::int32_t times_dataset = 0;     // the dataset whose times output_times holds; 0 none
    std::vector<double> output_times;   // n_times entries, in hours
    std::vector<char> path_buffer;      // n_paths slots of max_path_len bytes
    std::vector<std::string> paths;     // n_paths entries, at most 1000 characters each
    std::vector<SplitPath> split_paths;
    std::vector<ConversionEntry> conversions;
};

// One ".xmdf" input.
struct XmdfFile {
    std::string file_name;  // as given on the command line
    std::int32_t file_id = 0;
    float xmdf_version = 0.0f;
    std::int32_t nnodes = 0;  // values per timestep
    std::int32_t ncells = 0;  // activity flags per timestep; 0 when the file stores none
    std::string time_units;
    // Per map output type row (index row - 1).
    std::array<bool, N_MAP_OUTPUT_TYPES> type_present{};
    std::array<bool, N_MAP_OUTPUT_TYPES> type_is_vector{};
    std::array<std::int32_t, N_MAP_OUTPUT_TYPES> max_dataset{};
    std::array<std::int32_t, N_MAP_OUTPUT_TYPES> min_dataset{};
    std::array<std::int32_t, N_MAP_OUTPUT_TYPES> temporal_dataset{};
    std::array<std::int32_t, N_MAP_OUTPUT_TYPES> vector_max_dataset{};
    std::array<std::int32_t, N_MAP_OUTPUT_TYPES> vector_min_dataset{};
    std::array<std::int32_t, N_MAP_OUTPUT_TYPES> vector_temporal_dataset{};
    bool has_times = false;       // some scalar dataset lies in a folder "Times"
    bool unknown_folder = false;  // a dataset of a known type lies in another folder
    TimesList<MAX_FIRST_DEPTH_OUTPUTS> first_depth_list;
    TimesList<MAX_DURATION_OUTPUTS> duration_list;
    TimesList<MAX_PEAK_OUTPUTS> peak_list;
    DatasetList scalars;
    DatasetList vectors;

    DatasetList& list(bool is_vector) { return is_vector ? vectors : scalars; }
    const DatasetList& list(bool is_vector) const { return is_vector ? vectors : scalars; }
};

// The run's ".xmdf" inputs, numbered from 1 in command-line order.
struct XmdfTable {
    std::int32_t n_xmdf = 0;
    std::vector<XmdfFile> files;  // files[k - 1] is record k

    XmdfFile& file(std::int32_t k) { return files[static_cast<std::size_t>(k - 1)]; }
    const XmdfFile& file(std::int32_t k) const { return files[static_cast<std::size_t>(k - 1)]; }
};

// Splits a dataset path into group, folder and name.
SplitPath split_path(std::string_view path);
// The folder that a lower-case dataset path lies in: the first of "/maximums/",
// "/temporal/", "/minimums/" and "/times/" that it holds; none when it holds none.
DataFolder folder_of(std::string_view lower_path);
// The path held in one slot of a path buffer that the library filled: the slot's bytes
// up to the first NUL or non-ASCII byte, at most one less than its length.
std::string path_in_slot(const char* slot, std::size_t length);

// Makes the list's path_buffer, paths, conversions and split_paths for its n_paths,
// each allocation through CHECK_ALLOC.
void allocate_path_arrays(DatasetList& list);

// Opens every file and reads its library version and its numbers of scalar and
// vector datasets.
void READ_XMDF_HEADERS(XmdfTable& table);
// Reads, lists, splits and classifies every dataset path of every file.
void GET_XMDF_DATASET_NAMES(XmdfTable& table);
// Reads every file's numbers of nodes and cells and its time units.
void GET_XMDF_SIZES(XmdfTable& table);

}  // namespace zorvel::xmdf_read
