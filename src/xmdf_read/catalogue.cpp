// The XMDF catalogue: headers, dataset paths with their folders and types, sizes
// (layout of an input in catalogue.hpp).

#include "xmdf_read/catalogue.hpp"

#include <charconv>
#include <cmath>

#include "results/res_ops.hpp"
#include "results/xmdf/binding.hpp"
#include "util/console.hpp"
#include "util/numbers.hpp"
#include "util/text.hpp"
#include "util/units.hpp"
#include "xmdf_read/data_group.hpp"

namespace zorvel::xmdf_read {

namespace xf = results::xmdf;

namespace {

// The first number in the text after the words (a minus sign belongs to it).
bool first_number_after(std::string_view name, std::string_view words, float& value) {
    std::string rest;
    if (!util::FLAGEXISTSRET(name, words, rest)) return false;
    const auto digit = [&](std::size_t i) { return i < rest.size() && rest[i] >= '0' && rest[i] <= '9'; };
    for (std::size_t i = 0; i < rest.size(); ++i) {
        std::size_t start = i;
        if (rest[i] == '-') ++i;
        if (digit(i) || (i < rest.size() && rest[i] == '.' && digit(i + 1))) {
            float parsed = 0.0f;
            const auto [end, ec] = std::from_chars(rest.data() + start, rest.data() + rest.size(), parsed);
            if (ec != std::errc() || end == rest.data() + start || !std::isfinite(parsed)) return false;
            value = parsed;
            return true;
        }
        i = start;
    }
    return false;
}

// Adds a /Times/ dataset with a cut-off depth to its list.
template <int N>
void add_cutoff_entry(TimesList<N>& list, std::int32_t dataset, std::string_view name, std::string_view words,
                      std::string_view limit_message) {
    if (list.count >= N) util::fail_at_once(limit_message);
    const auto k = static_cast<std::size_t>(list.count++);
    list.datasets[k] = dataset;
    list.values[k] = 0.0f;
    float cutoff = 0.0f;
    if (first_number_after(name, words, cutoff))
        list.values[k] = cutoff;
    else
        util::console().line("WARNING - Extracting cutoff depth from " + std::string(name));
}

// Adds a /Times/ dataset of a peak time to the peak list.
void add_peak_entry(XmdfFile& file, std::int32_t dataset, float code) {
    TimesList<MAX_PEAK_OUTPUTS>& list = file.peak_list;
    if (list.count >= MAX_PEAK_OUTPUTS) util::fail_at_once("ERROR - Exceeded maximum number of peak time outputs, limit is 10.");
    const auto k = static_cast<std::size_t>(list.count++);
    list.values[k] = code;
    list.datasets[k] = dataset;
}

// Files a scalar dataset of the folder "Times" by the kind its name tells.
void classify_times_dataset(XmdfFile& file, std::int32_t dataset, std::string_view name) {
    file.has_times = true;
    if (util::FLAGEXISTS(name, "Time of First"))
        add_cutoff_entry(file.first_depth_list, dataset, name, "Time of First",
                         "ERROR - Exceeded maximum number of time outputs, limit is 100.");
    else if (util::FLAGEXISTS(name, "Duration Above"))
        add_cutoff_entry(file.duration_list, dataset, name, "Duration Above",
                         "ERROR - Exceeded maximum number of duration outputs, limit is 100.");
    else if (util::FLAGEXISTS(name, "Time of Peak h"))
        add_peak_entry(file, dataset, kPeakWaterLevel);
    else if (util::FLAGEXISTS(name, "Time of Peak V"))
        add_peak_entry(file, dataset, kPeakVelocity);
    else
        util::line_after_gap("WARNING - Unable to determine /Time/ output type.");
}

// Files a dataset of a known type by its folder.
void classify_typed_dataset(XmdfFile& file, bool is_vector, int row, std::int32_t dataset,
                            std::string_view folder) {
    const auto r = static_cast<std::size_t>(row - 1);
    file.type_present[r] = true;
    if (is_vector) file.type_is_vector[r] = true;
    if (util::ASAME(folder, "Maximums"))
        (is_vector ? file.vector_max_dataset : file.max_dataset)[r] = dataset;
    else if (util::ASAME(folder, "Temporal"))
        (is_vector ? file.vector_temporal_dataset : file.temporal_dataset)[r] = dataset;
    else if (util::ASAME(folder, "Minimums"))
        (is_vector ? file.vector_min_dataset : file.min_dataset)[r] = dataset;
    else
        file.unknown_folder = true;
}

// The name a vector dataset is looked up by: without a "Vector" prefix of 7 characters.
std::string vector_search_name(std::string_view name) {
    std::string_view search = name;
    if (util::ASAME(name.substr(0, std::min<std::size_t>(6, name.size())), "Vector"))
        search = name.size() > 7 ? name.substr(7) : std::string_view();
    return util::fit(util::TRIMF(search), 20);
}

// Reads, lists, splits and classifies the paths of one of a file's lists.
void read_paths(XmdfFile& file, bool is_vector) {
    DatasetList& list = file.list(is_vector);
    util::console().line(is_vector ? "Vector datasets available: " : "Scalar datasets available: ");
    if (list.paths.size() != static_cast<std::size_t>(list.n_paths) ||
        list.path_buffer.size() != static_cast<std::size_t>(list.n_paths) * static_cast<std::size_t>(list.max_path_len))
        allocate_path_arrays(list);
    std::int32_t status = 0;
    if (is_vector)
        xf::XF_GET_VECTOR_DATASET_PATHS(file.file_id, list.n_paths, list.max_path_len, list.path_buffer, status);
    else
        xf::XF_GET_SCALAR_DATASET_PATHS(file.file_id, list.n_paths, list.max_path_len, list.path_buffer, status);
    if (status < 0)
        util::fail(is_vector ? "ERROR - Exracting Vector Dataset Paths [XF_GET_VECTOR_DATASET_PATHS]."
                             : "ERROR - Exracting Scalar Dataset Paths [XF_GET_SCALAR_DATASET_PATHS].");
    for (std::int32_t j = 1; j <= list.n_paths; ++j) {
        const auto k = static_cast<std::size_t>(j - 1);
        const auto slot = static_cast<std::size_t>(list.max_path_len);
        list.paths[k] = path_in_slot(list.path_buffer.data() + k * slot, slot);
        util::console().line(util::integer_field(j, 5) + ": " + list.paths[k]);
        list.split_paths[k] = split_path(list.paths[k]);
        const SplitPath& split = list.split_paths[k];
        if (!is_vector && util::ASAME(split.folder, "Times")) {
            classify_times_dataset(file, j, split.name);
            continue;
        }
        const int row = map_type_by_description(is_vector ? vector_search_name(split.name) : split.name);
        if (row > 0) classify_typed_dataset(file, is_vector, row, j, split.folder);
    }
}

// Opens the group of a list's first dataset; 0 when the list has none or it did not open.
std::int32_t open_first_group(const XmdfFile& file, const DatasetList& list, bool& failed) {
    failed = false;
    if (list.n_paths < 1 || list.paths.empty()) return 0;
    std::int32_t id = 0;
    std::int32_t status = 0;
    xf::XF_OPEN_GROUP(file.file_id, list.paths[0], id, status);
    if (status >= 0 && id > 0) return id;
    failed = true;
    return 0;
}

// The line naming a data group that did not open.
std::string group_line(std::string_view kind, const DatasetList& list) {
    return std::string(kind) + " - Could not open data group \"" + list.paths[0] + "\" in XMDF file.";
}

// Asks the scalar group, then the vector group, for one size; ends the run when neither answers.
template <class Query>
void query_size(std::int32_t scalar_id, std::int32_t vector_id, Query&& query, std::string_view warning,
                std::string_view error) {
    std::int32_t status = -1;
    if (scalar_id > 0) {
        query(scalar_id, status);
        if (status >= 0) return;
        if (vector_id > 0) util::line_after_gap(warning);
    }
    if (vector_id > 0) query(vector_id, status);
    if (status < 0) util::fail(error);
}

}  // namespace

SplitPath split_path(std::string_view path) {
    path = util::rtrim(path);
    SplitPath split;
    const std::size_t first = path.find('/');
    if (first == std::string_view::npos) {
        split.name = util::fit(path, kLeafLen);
        return split;
    }
    const std::size_t last = path.rfind('/');
    split.group = util::fit(path.substr(0, first), util::kNameLen);
    if (last > first) split.folder = util::fit(path.substr(first + 1, last - first - 1), kFolderLen);
    split.name = util::fit(path.substr(last + 1), kLeafLen);
    return split;
}

DataFolder folder_of(std::string_view lower_path) {
    static constexpr std::string_view marks[] = {"/maximums/", "/temporal/", "/minimums/", "/times/"};
    for (std::size_t f = 0; f < std::size(marks); ++f)
        if (lower_path.find(marks[f]) != std::string_view::npos) return static_cast<DataFolder>(f);
    return DataFolder::none;
}

std::string path_in_slot(const char* slot, std::size_t length) {
    std::size_t n = 0;
    while (n + 1 < length && slot[n] != '\0' && static_cast<unsigned char>(slot[n]) < 128) ++n;
    return util::fit(std::string_view(slot, n), util::kNameLen);
}

void allocate_path_arrays(DatasetList& list) {
    const std::int64_t n = list.n_paths;
    results::CHECK_ALLOC(results::allocate_array(list.path_buffer, n * std::max(list.max_path_len, 0)));
    results::CHECK_ALLOC(results::allocate_array(list.paths, n));
    results::CHECK_ALLOC(results::allocate_array(list.conversions, n));
    results::CHECK_ALLOC(results::allocate_array(list.split_paths, n));
}

void READ_XMDF_HEADERS(XmdfTable& table) {
    util::Console& con = util::console();
    util::line_after_gap("Opening all .xmdf files to extract header information.");
    for (std::int32_t k = 1; k <= table.n_xmdf; ++k) {
        XmdfFile& file = file_record(table, k, "READ_XMDF_HEADERS");
        const std::string name = name_of(file);
        util::line_after_gap("Opening XMDF file \"" + name + "\".");
        std::int32_t status = 0;
        xf::XF_OPEN_FILE(name, true, file.file_id, status);
        if (status < 0) {
            std::int32_t ignored = 0;
            xf::XF_CLOSE_FILE(file.file_id, ignored);
            file.file_id = 0;
            util::fail("ERROR - Could not open XMDF file \"" + name + "\".");
        }
        con.line("    Done.");
        xf::XF_GET_LIBRARY_VERSION_FILE(file.file_id, file.xmdf_version, status);
        con.line("XMDF Version: " + util::AREAL(file.xmdf_version));
        if (status < 0) util::fail("ERROR - Determining XMDF Library Version.");
        util::line_after_gap("Extracting filepath information for array allocation...");

        util::line_after_gap("Getting scalar dataset information");
        DatasetList& s = file.scalars;
        xf::XF_GET_SCALAR_DATASETS_INFO(file.file_id, s.n_paths, s.max_path_len, status);
        if (status < 0) util::fail("ERROR - Getting scalar data set information.");
        if (s.n_paths < 1) util::line_after_gap("Warning - Number of scalar paths less than or equal to zero.");
        s.n_paths = std::max(s.n_paths, 0);
        s.max_path_len = std::max(s.max_path_len, 0);
        con.line("   Number of scalar datasets: " + util::AINTEGER(s.n_paths));
        con.line("   Maximum character length of dataset names: " + util::AINTEGER(s.max_path_len));

        util::line_after_gap("Getting vector dataset information");
        DatasetList& v = file.vectors;
        xf::XF_GET_VECTOR_DATASETS_INFO(file.file_id, v.n_paths, v.max_path_len, status);
        if (status < 0) util::fail("ERROR - Getting vector data set information.");
        if (v.n_paths < 1) util::line_after_gap("Warning - Number of vector paths less than or equal to zero.");
        v.n_paths = std::max(v.n_paths, 0);
        v.max_path_len = std::max(v.max_path_len, 0);
        con.line("   Maximum character length of dataset names: " + util::AINTEGER(v.max_path_len));
    }
}

void GET_XMDF_DATASET_NAMES(XmdfTable& table) {
    for (std::int32_t k = 1; k <= table.n_xmdf; ++k) {
        XmdfFile& file = file_record(table, k, "GET_XMDF_DATASET_NAMES");
        file.first_depth_list.count = 0;
        file.duration_list.count = 0;
        file.peak_list.count = 0;
        file.type_present.fill(false);
        file.type_is_vector.fill(false);
        util::line_after_gap("Getting dataset names from XMDF file \"" + name_of(file) + "\".");
        read_paths(file, false);
        read_paths(file, true);
    }
}

void GET_XMDF_SIZES(XmdfTable& table) {
    util::Console& con = util::console();
    for (std::int32_t k = 1; k <= table.n_xmdf; ++k) {
        XmdfFile& file = file_record(table, k, "GET_XMDF_SIZES");
        util::line_after_gap("Getting time units, number of cells and nodes from XMDF file \"" + name_of(file) + "\".");
        if (file.scalars.n_paths < 1 && file.vectors.n_paths < 1)
            util::fail("ERROR - No scalar or vector datasets in XMDF file \"" + name_of(file) + "\".");
        bool scalar_failed = false;
        bool vector_failed = false;
        const std::int32_t scalar_id = open_first_group(file, file.scalars, scalar_failed);
        const std::int32_t vector_id = open_first_group(file, file.vectors, vector_failed);
        if (scalar_id <= 0 && vector_id <= 0)
            util::fail(group_line("ERROR", scalar_failed ? file.scalars : file.vectors));
        if (scalar_failed) util::line_after_gap(group_line("WARNING", file.scalars));
        if (vector_failed) util::line_after_gap(group_line("WARNING", file.vectors));

        query_size(
            scalar_id, vector_id,
            [&](std::int32_t id, std::int32_t& status) { xf::XF_GET_DATASET_NUMVALS(id, file.nnodes, status); },
            "WARNING - Could not extract nodes from scalar data group.. trying vector data group.",
            "ERROR - Exracting Number of Values in Dataset [XF_GET_DATASET_NUMVALS].");
        con.line("   Number of nodes:    " + util::AINTEGER(file.nnodes));
        query_size(
            scalar_id, vector_id,
            [&](std::int32_t id, std::int32_t& status) { xf::XF_GET_DATASET_NUMACTIVE(id, file.ncells, status); },
            "WARNING - Could not extract number of cells from scalar data group.. trying vector data group.",
            "ERROR - Exracting Number Active in Dataset [XF_GET_DATASET_NUMACTIVE].");
        con.line("   Number of cells:    " + util::AINTEGER(file.ncells));
        query_size(
            scalar_id, vector_id,
            [&](std::int32_t id, std::int32_t& status) { xf::XF_GET_DATASET_TIME_UNITS(id, file.time_units, status); },
            "WARNING - Could not extract Time Unit Dataset from scalar data group.. trying vector data group.",
            "ERROR - Exracting Time Unit Dataset [XF_GET_DATASET_TIME_UNITS].");
        con.line("   Time Units:         " + util::fit(file.time_units, 40));

        std::int32_t ignored = 0;
        if (scalar_id > 0) xf::XF_CLOSE_GROUP(scalar_id, ignored);
        if (vector_id > 0) xf::XF_CLOSE_GROUP(vector_id, ignored);
    }
}

}  // namespace zorvel::xmdf_read
