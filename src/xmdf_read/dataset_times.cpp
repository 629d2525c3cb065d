// Output times of an XMDF dataset in hours (see dataset_times.hpp).

#include "xmdf_read/dataset_times.hpp"

#include <set>
#include <string>
#include <utility>

#include "results/res_ops.hpp"
#include "results/xmdf/binding.hpp"
#include "util/console.hpp"
#include "util/text.hpp"
#include "util/units.hpp"
#include "xmdf_read/data_group.hpp"

namespace zorvel::xmdf_read {

namespace xf = results::xmdf;

namespace {

// How a time of the dataset's units becomes hours: times mul / div.
struct ToHours {
    double mul = 1.0;
    double div = 1.0;
};

// The conversion of a dataset's time units; false for a unit of no known name.
bool to_hours(const std::string& units, ToHours& to) {
    const std::string u = util::LOWERCASE(units);
    if (u.empty() || u == "hours") to = {1.0, 1.0};
    else if (u == "seconds") to = {1.0, 3600.0};
    else if (u == "minutes") to = {1.0, 60.0};
    else if (u == "days") to = {24.0, 1.0};
    else return false;
    return true;
}

// Warns that the dataset's time units are not known, once in the run for each dataset
// (the water levels of a difference read their times again at every step).
void warn_unknown_units(const XmdfFile& file, const std::string& path, const std::string& units) {
    static std::set<std::pair<std::string, std::string>> warned;
    if (!warned.emplace(name_of(file), path).second) return;
    util::line_after_gap("WARNING - Unknown time units \"" + units + "\" of dataset \"" + path + "\" in " +
                         name_of(file) + ", its times are read as hours.");
}

}  // namespace

bool read_times_in_hours(const XmdfFile& file, std::int32_t n, std::span<double> times) {
    const std::int32_t id = data_group().id;
    std::int32_t status = 0;
    xf::XF_GET_DATASET_TIMES(id, n, times, status);
    if (status < 0) return false;
    std::string units;
    xf::XF_GET_DATASET_TIME_UNITS(id, units, status);
    if (status < 0) return true;  // no time units: hours, as the program writes them
    units = util::trimmed(units);
    ToHours to;
    if (!to_hours(units, to)) {
        const DataGroup& g = data_group();
        const DatasetList& list = file.list(g.is_vector);
        warn_unknown_units(file, valid_dataset(list, g.dataset) ? dataset_path(list, g.dataset) : std::string(), units);
    }
    if (to.mul != 1.0 || to.div != 1.0)
        for (std::size_t i = 0; i < static_cast<std::size_t>(n) && i < times.size(); ++i)
            times[i] = times[i] * to.mul / to.div;
    return true;
}

void read_all_times_in_hours(const XmdfFile& file, std::vector<double>& times) {
    const std::string error = "ERROR - Extracting times [XF_GET_DATASET_TIMES] from xmdf file " + name_of(file);
    std::int32_t n = 0;
    std::int32_t status = 0;
    xf::XF_GET_DATASET_NUM_TIMES(data_group().id, n, status);
    if (status < 0) util::fail_at_once(error);
    results::CHECK_ALLOC(results::allocate_array(times, n));
    if (!read_times_in_hours(file, n, times)) util::fail_at_once(error);
}

}  // namespace zorvel::xmdf_read
