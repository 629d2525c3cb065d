// Dataset and output-time search over the XMDF catalogue.

#include "xmdf_read/search.hpp"

#include <array>
#include <cmath>
#include <limits>

#include "results/res_ops.hpp"
#include "results/xmdf/binding.hpp"
#include "util/console.hpp"
#include "util/numbers.hpp"
#include "util/text.hpp"
#include "util/units.hpp"
#include "xmdf_read/data_group.hpp"
#include "xmdf_read/dataset_times.hpp"

namespace zorvel::xmdf_read {

namespace xf = results::xmdf;

namespace {

// The list's found field of a known folder.
std::int32_t& found_field(DatasetList& list, DataFolder folder) {
    switch (folder) {
        case DataFolder::maximums: return list.found_max;
        case DataFolder::temporal: return list.found_temporal;
        case DataFolder::minimums: return list.found_min;
        default: return list.found_times;
    }
}

// Ends the run: a match lies in no folder that a search by type can file it in.
[[noreturn]] void unknown_folder(std::string_view path, bool is_vector) {
    util::line_after_gap("ERROR - Unknown Data Folder: \"" + std::string(path) + "\".");
    util::line_after_gap("Expecting one of: Maximums, Minimums, Times or Temporal.");
    util::console().line(
        is_vector ? "If File has not been written by KESTRA, other folders can be accessed by specifying the path (-path)"
                  : "If file has not been written by KESTRA, other folders can be accessed by specifying the path (-path)");
    util::EXITS();
}

// Files the matches of one list; true when the list then holds a dataset.
bool search_list(DatasetList& list, bool is_vector, const std::string& lower_text, bool by_path, bool by_number) {
    const std::int32_t named = list.found_temporal;  // the dataset given by number, if any
    std::array<bool, 4> exact{};                     // per known folder: its dataset equals the text
    bool exact_selected = false;
    for (std::int32_t k = 1; k <= list.n_paths && static_cast<std::size_t>(k) <= list.paths.size(); ++k) {
        const std::string& path = dataset_path(list, k);
        const std::string lower = util::LOWERCASE(path);
        if (lower.find(lower_text) == std::string::npos) continue;
        util::console().line("   Found: \"" + path + "\".");
        if (by_path) {
            const bool equal = lower == lower_text;
            if (!equal && exact_selected) continue;
            list.selected_dataset = k;
            list.found_temporal = k;
            exact_selected = equal;
            continue;
        }
        const bool equal =
            static_cast<std::size_t>(k) <= list.split_paths.size() &&
            util::LOWERCASE(list.split_paths[static_cast<std::size_t>(k - 1)].name) == lower_text;
        DataFolder folder = folder_of(lower);
        if (folder == DataFolder::none) {
            if (!by_number) unknown_folder(path, is_vector);
            if (k != named) continue;  // another program's dataset: listed only
            folder = DataFolder::temporal;
        }
        const auto f = static_cast<std::size_t>(folder);
        if (!equal && exact[f]) continue;
        found_field(list, folder) = k;
        exact[f] = equal;
    }
    return list.found_max + list.found_min + list.found_temporal + list.found_times + list.selected_dataset >= 1;
}

// The given dataset of a one-dataset call; ends the run when the arguments name none.
DatasetList& given_list(XmdfTable& table, std::int32_t file, bool is_vector, std::int32_t dataset,
                        std::string_view routine, XmdfFile*& record) {
    record = &file_record(table, file, routine);
    DatasetList& list = record->list(is_vector);
    if (!valid_dataset(list, dataset))
        util::fail("ERROR - Dataset number " + util::AINTEGER(dataset) + " does not exist in " + name_of(*record) +
                   " [" + std::string(routine) + "]");
    return list;
}

// Counts the times of one dataset into its list's n_times.
void count_times(XmdfFile& file, DatasetList& list, bool is_vector, std::int32_t d) {
    if (!open_data_group(file, is_vector, d)) group_open_failed(file, list, d);
    std::int32_t status = 0;
    xf::XF_GET_DATASET_NUM_TIMES(data_group().id, list.n_times, status);
    list.times_dataset = 0;
    if (status < 0) {
        list.n_times = 0;
        util::fail_at_once("ERROR - Extracting number of times [XF_GET_DATASET_NUM_TIMES] from xmdf file " +
                           name_of(file));
    }
    list.n_times = std::max(list.n_times, 0);
}

// Reads the n_times times of one dataset into its list's output_times.
void read_times(XmdfFile& file, DatasetList& list, bool is_vector, std::int32_t d) {
    if (!open_data_group(file, is_vector, d)) group_open_failed(file, list, d);
    const std::string error = "ERROR - Extracting times [XF_GET_DATASET_TIMES] from xmdf file " + name_of(file);
    std::int32_t stored = 0;
    std::int32_t status = 0;
    xf::XF_GET_DATASET_NUM_TIMES(data_group().id, stored, status);
    if (status < 0 || stored != list.n_times) util::fail_at_once(error);
    if (list.output_times.size() != static_cast<std::size_t>(list.n_times))
        results::CHECK_ALLOC(results::allocate_array(list.output_times, list.n_times));
    if (!read_times_in_hours(file, list.n_times, list.output_times)) util::fail_at_once(error);
    list.times_dataset = d;
}

// Calls f(file, list, is_vector, dataset) for the chosen dataset of every file that has
// one, each file after the line that names it.
template <class F>
void for_each_chosen(XmdfTable& table, std::string_view routine, F&& f) {
    for (std::int32_t k = 1; k <= table.n_xmdf; ++k) {
        XmdfFile& record = file_record(table, k, routine);
        util::line_after_gap("Extracting number of outputs for temporal data in \"" + name_of(record) + "\".");
        DatasetList& list = chosen_list(record);
        const std::int32_t d = chosen_dataset(list);
        if (valid_dataset(list, d)) f(record, list, &list == &record.vectors, d);
    }
}

// Selects a stored extreme of the list at step 1; ends the run when the file has none.
void select_stored(const XmdfFile& file, DatasetList& list, std::int32_t dataset, std::string_view folder) {
    if (!valid_dataset(list, dataset))
        util::fail_at_once("ERROR - No /" + std::string(folder) + "/ dataset found in " + name_of(file));
    list.selected_dataset = dataset;
    list.selected_step = 1;
    util::console().line("Found " + dataset_path(list, dataset));
}

// Selects the output time of the searched dataset closest to the time.
void select_closest(const XmdfFile& file, DatasetList& list, float time, float tolerance) {
    const std::size_t n = static_cast<std::size_t>(std::max(list.n_times, 0));
    if (!valid_dataset(list, list.times_dataset) || n == 0 || list.output_times.size() < n)
        util::fail_at_once("ERROR - No output times found for the selected dataset in " + name_of(file));
    std::size_t best = 0;
    double best_distance = std::numeric_limits<double>::infinity();
    for (std::size_t i = 0; i < n; ++i) {
        const double distance = std::fabs(list.output_times[i] - static_cast<double>(time));
        if (distance < best_distance) {
            best_distance = distance;
            best = i;
        }
    }
    const auto found = static_cast<float>(list.output_times[best]);
    if (!(std::fabs(found - time) - tolerance <= 0.0f))
        util::time_not_found("ERROR - Closest time \"" + util::AREAL(found) + "\" is not within time search tolerance",
                             true);
    util::console().line("   Found closest time: " + util::AREAL(found));
    list.selected_step = static_cast<std::int32_t>(best + 1);
    list.selected_dataset = list.times_dataset;
}

}  // namespace

DatasetList& chosen_list(XmdfFile& file) { return file.vectors.type_found ? file.vectors : file.scalars; }

std::int32_t chosen_dataset(const DatasetList& list) {
    if (list.found_temporal > 0) return list.found_temporal;
    if (list.found_max > 0) return list.found_max;
    if (list.found_min > 0) return list.found_min;
    return 0;
}

void FIND_XMDF_TYPE(XmdfTable& table, std::string_view search_text, bool by_path) {
    const std::string shown = util::fit(search_text, 40);
    const std::string lower = util::LOWERCASE(shown);
    for (std::int32_t k = 1; k <= table.n_xmdf; ++k) {
        XmdfFile& file = file_record(table, k, "FIND_XMDF_TYPE");
        const bool by_number = !by_path && (file.scalars.found_temporal > 0 || file.vectors.found_temporal > 0);
        util::line_after_gap("Searching specified xmdf type in \"" + name_of(file) + "\".");
        util::line_after_gap("Searching scalar datasets for \"" + shown + "\"...");
        file.scalars.type_found = search_list(file.scalars, false, lower, by_path, by_number);
        if (!file.scalars.type_found)
            util::console().line("Warning - No scalar datasets found of type \"" + shown + "\" .");
        util::line_after_gap("Searching vector datasets for \"" + shown + "\"...");
        file.vectors.type_found = search_list(file.vectors, true, lower, by_path, by_number);
        if (!file.vectors.type_found)
            util::console().line("Warning - No vector datasets found of type \"" + shown + "\" .");
        if (!file.scalars.type_found && !file.vectors.type_found)
            util::fail_at_once("ERROR - No datasets found of type \"" + shown + "\" found in " + name_of(file));
    }
}

void GET_XMDF_NUM_TIMES(XmdfTable& table, bool one, std::int32_t file, bool is_vector, std::int32_t dataset) {
    if (one) {
        XmdfFile* record = nullptr;
        DatasetList& list = given_list(table, file, is_vector, dataset, "GET_XMDF_NUM_TIMES", record);
        count_times(*record, list, is_vector, dataset);
        (void)close_data_group();
        return;
    }
    for_each_chosen(table, "GET_XMDF_NUM_TIMES", count_times);
    if (data_group().id > 0) (void)close_data_group();
}

void GET_XMDF_TIMES(XmdfTable& table, bool one, std::int32_t file, bool is_vector, std::int32_t dataset) {
    if (one) {
        XmdfFile* record = nullptr;
        DatasetList& list = given_list(table, file, is_vector, dataset, "GET_XMDF_TIMES", record);
        read_times(*record, list, is_vector, dataset);
        return;
    }
    for_each_chosen(table, "GET_XMDF_TIMES", read_times);
}

void FIND_XMDF_TIME(XmdfTable& table, float time, float tolerance) {
    util::line_after_gap("Searching XMDF files for specified output time: " + util::AREAL(time));
    for (std::int32_t k = 1; k <= table.n_xmdf; ++k) {
        XmdfFile& file = file_record(table, k, "FIND_XMDF_TIME");
        util::line_after_gap("Searching xmdf file: \"" + name_of(file) + "\".");
        DatasetList& list = chosen_list(file);
        if (time == 99999.0f) {
            util::console().line("Looking for data in /Maximums/ folder.");
            select_stored(file, list, list.found_max, "Maximums");
        } else if (time == -99999.0f) {
            select_stored(file, list, list.found_min, "Minimums");
        } else if (std::fabs(time - 99999.1f) <= 0.001f) {
            util::fail_at_once("ERROR - Should not be here (extract vector for /times/) ");
        } else {
            select_closest(file, list, time, tolerance);
        }
    }
}

}  // namespace zorvel::xmdf_read
