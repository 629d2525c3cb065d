// The water levels of an ".xmdf" input for the wet/dry test of a difference.

#include "xmdf_read/water_levels.hpp"

#include <cmath>
#include <limits>
#include <span>
#include <string>
#include <vector>

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

constexpr float kMaximumCode = 99999.0f;
constexpr float kTimesCode = 99999.1f;  // 99999.1015625 as a 32-bit real

// Ends the run: the water levels the run needs are not in the file.
[[noreturn]] void no_water_levels(const XmdfFile& file) {
    util::line_after_gap("ERROR - Required water level data could not be found in " + name_of(file));
    util::console().line("To supress this, specify the input flag: \"-nowetdry\"");
    util::EXITS();
}

// The output times of one dataset of an open file, kept once read.
struct KeptTimes {
    std::int32_t file_id = 0;  // ids of open files are never given twice in a run
    std::int32_t dataset = 0;
    std::vector<double> times;
};

// The output times of a scalar dataset of the file in hours, read from its group (opened in the
// shared group and closed again) the first time they are asked for and then kept, since the
// loop of a difference asks for the times of each input's levels at every step.
std::span<const double> dataset_times(const XmdfFile& file, std::int32_t dataset) {
    static std::vector<KeptTimes> kept;
    for (const KeptTimes& k : kept)
        if (k.file_id == file.file_id && k.dataset == dataset) return k.times;
    const DatasetList& list = file.scalars;
    if (!open_data_group(file, false, dataset)) group_open_failed(file, list, dataset);
    std::vector<double> times;
    read_all_times_in_hours(file, times);
    if (close_data_group() < 0) util::fail_at_once("ERROR - Closing group [XF_CLOSE_GROUP]");
    kept.push_back({file.file_id, dataset, std::move(times)});
    return kept.back().times;
}

// Index (from 0) of the first of the closest times to t; times must not be empty.
std::size_t closest(std::span<const double> times, float t) {
    std::size_t best = 0;
    double best_distance = std::numeric_limits<double>::infinity();
    for (std::size_t i = 0; i < times.size(); ++i) {
        const double distance = std::fabs(times[i] - static_cast<double>(t));
        if (distance < best_distance) {
            best_distance = distance;
            best = i;
        }
    }
    return best;
}

// The step of the temporal levels closest to the time, which must lie within tol.
std::int32_t temporal_step(const XmdfFile& file, std::int32_t dataset, float time, float tol) {
    const std::span<const double> times = dataset_times(file, dataset);
    if (times.empty())
        util::fail_at_once("ERROR - No output times found for the water level dataset in " + name_of(file));
    const std::size_t best = closest(times, time);
    const auto found = static_cast<float>(times[best]);
    if (!(std::fabs(found - time) - tol <= 0.0f))
        util::fail_at_once("ERROR - Closest time \"" + util::AREAL(found) + "\" is not within time search tolerance");
    util::console().line("   Found closest time: " + util::AREAL(found));
    return static_cast<std::int32_t>(best + 1);
}

}  // namespace

void FIND_WATER_LEVEL(XmdfTable& table, results::WaterLevelRecord& wl, std::int32_t file_number,
                      bool searched_stands_in) {
    XmdfFile& file = file_record(table, file_number, "FIND_WATER_LEVEL");
    util::Console& con = util::console();
    util::line_after_gap("Searching for water level datasets in " + name_of(file));
    const DatasetList& list = file.scalars;
    for (std::int32_t k = 1; valid_dataset(list, k); ++k) {
        const std::string lower = util::LOWERCASE(dataset_path(list, k));
        if (lower.find("water level") == std::string::npos) continue;
        con.line("   Found: \"" + dataset_path(list, k) + "\".");
        const DataFolder folder = folder_of(lower);
        if (folder == DataFolder::maximums)
            wl.wl_max = k;
        else if (folder == DataFolder::temporal)
            wl.wl_temporal = k;
    }
    if (wl.wl_max < 1) con.line("Warning - No maximum water level dataset found for file: " + name_of(file));
    if (wl.wl_temporal < 1) con.line("Warning - No temporal water level dataset found for file: " + name_of(file));
    if (wl.wl_max + wl.wl_temporal > 0) return;
    if (searched_stands_in && list.found_temporal > 0) {
        wl.wl_max = list.found_temporal;
        wl.wl_temporal = list.found_temporal;
        return;
    }
    no_water_levels(file);
}

void GET_WATER_LEVEL(XmdfTable& table, results::WaterLevelRecord& wl, std::int32_t file_number, float time, float tol,
                     std::int32_t dataset, std::int32_t step) {
    XmdfFile& file = file_record(table, file_number, "GET_WATER_LEVEL");
    util::Console& con = util::console();
    if (step <= 0 || dataset <= 0) {
        if (std::fabs(time - kMaximumCode) < tol) {
            util::line_after_gap("Using /Maximums/ folder.");
            dataset = wl.wl_max;
            step = 1;
            if (dataset < 1) no_water_levels(file);
        } else if (std::fabs(time + kMaximumCode) < tol) {
            util::fail("ERROR - Minimums data not supported for difference.");
        } else if (std::fabs(time - kTimesCode) < tol) {
            util::fail("ERROR - Times data not supported for difference.");
        } else {
            util::line_after_gap("Using /Temporal/ folder.");
            dataset = wl.wl_temporal;
            if (dataset < 1) no_water_levels(file);
            step = temporal_step(file, dataset, time, tol);
        }
    }
    const DatasetList& list = file.scalars;
    if (!valid_dataset(list, dataset))
        util::fail("ERROR - Dataset number " + util::AINTEGER(dataset) + " does not exist in " + name_of(file) +
                   " [GET_WATER_LEVEL]");
    if (wl.values.size() < results::length_of(file.nnodes) || wl.flags.size() < results::length_of(file.ncells))
        util::fail("ERROR - Water level record holds fewer nodes or cells than " + name_of(file) +
                   " [GET_WATER_LEVEL]");

    util::line_after_gap("Getting data from: " + name_of(file));
    util::line_after_gap("Getting data from group: " + dataset_path(list, dataset));
    util::line_after_gap("Opening Group.");
    if (!open_data_group(file, false, dataset)) util::fail_at_once("ERROR - Unable to open group [XF_OPEN_GROUP] ");
    util::line_after_gap("Done.");

    con.line("Reading scalar data at timestep " + util::AINTEGER(step));
    std::int32_t status = 0;
    xf::XF_READ_SCALAR_VALUES_TIMESTEP(data_group().id, step, file.nnodes, wl.values, status);
    if (status < 0)
        util::fail_at_once("ERROR - Reading data [XF_READ_SCALAR_VALUES_TIMESTEP] while reading " + name_of(file));
    xf::XF_READ_ACTIVITY_TIMESTEP(data_group().id, step, file.ncells, wl.flags, status);
    if (status < 0)
        util::fail_at_once("ERROR - Reading cell/wet dry flags [XF_READ_ACTIVITY_TIMESTEP] while reading " +
                           name_of(file));

    con.line("Processing final timestep... closing group");
    if (close_data_group() < 0) util::fail_at_once("ERROR - Closing group [XF_CLOSE_GROUP]");
    con.line("   Done");
    con.line("Finished getting water level data");
}

void require_temporal_water_levels(XmdfTable& table, const results::WaterLevelRecord& wl, std::int32_t file_number) {
    if (wl.wl_temporal < 1) no_water_levels(file_record(table, file_number, "require_temporal_water_levels"));
}

std::int32_t water_level_step(XmdfTable& table, const results::WaterLevelRecord& wl, std::int32_t file_number,
                              float time, float tol, std::int32_t data_step) {
    require_temporal_water_levels(table, wl, file_number);
    XmdfFile& file = file_record(table, file_number, "water_level_step");
    const std::span<const double> times = dataset_times(file, wl.wl_temporal);
    const auto within = [&](std::size_t i) { return std::fabs(static_cast<float>(times[i]) - time) <= tol; };
    if (data_step >= 1 && static_cast<std::size_t>(data_step) <= times.size() &&
        within(static_cast<std::size_t>(data_step - 1)))
        return data_step;
    if (!times.empty()) {
        const std::size_t best = closest(times, time);
        if (within(best)) return static_cast<std::int32_t>(best + 1);
    }
    util::fail("ERROR - Water level time does not match the data time in: \"" + name_of(file) + "\"");
}

}  // namespace zorvel::xmdf_read
