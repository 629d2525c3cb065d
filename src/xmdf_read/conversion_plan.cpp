// The planning of an XMDF-to-".dat" conversion (names in conversion_plan.hpp).

#include "xmdf_read/conversion_plan.hpp"

#include <algorithm>

#include "util/console.hpp"
#include "util/numbers.hpp"
#include "util/paths.hpp"
#include "util/support.hpp"
#include "util/text.hpp"
#include "util/units.hpp"
#include "xmdf_read/map_types.hpp"

namespace zorvel::xmdf_read {

namespace {

using util::console;

// Folder and name of a path are cut to this many characters for the planning.
constexpr std::size_t kPartLen = 40;

// The part of a name joined to the stem, with its folder separators turned into "_".
std::string without_separators(std::string text) {
    std::replace(text.begin(), text.end(), '/', '_');
    std::replace(text.begin(), text.end(), '\\', '_');
    return text;
}

// Ends the run unless a /Times/ name of the cut-off kind carries a number: one of its
// digits, "-" or "." at least.
void check_cutoff_number(std::string_view name) {
    std::string gathered;
    for (char c : name)
        if ((c >= '0' && c <= '9') || c == '-' || c == '.') gathered += c;
    if (util::NUMBEROFNUMBERS(gathered) == 0)
        util::fail_at_once("ERROR - Extracting output time for " + std::string(name));
}

// The name of the file a /Times/ dataset goes to, after the checks of its name.
std::string times_name(std::string_view stem, std::string_view name) {
    if (util::FLAGEXISTS(name, "Duration Above") || util::FLAGEXISTS(name, "Time of First")) {
        check_cutoff_number(name);
    } else if (!util::FLAGEXISTS(name, "Time of Peak V") && !util::FLAGEXISTS(name, "Time of Peak h")) {
        util::fail_at_once("ERROR - Unexpected of data name - " + std::string(name) + " , please contact " +
                           std::string(util::kSupportAddress));
    }
    return std::string(stem) + "_times.dat";
}

// The stem of a file: its folder and name without the extension.
std::string stem_of(const XmdfFile& file) { return util::FILENAMEPATH(util::rtrim(file.file_name)); }

// Calls f(list, is_vector, k) for every dataset of the table's files, in planning order.
template <class F>
void for_each_entry(XmdfTable& table, F&& f) {
    for (std::int32_t k = 1; k <= table.n_xmdf; ++k) {
        XmdfFile& file = table.file(k);
        for (bool is_vector : {false, true}) {
            DatasetList& list = file.list(is_vector);
            const auto n = std::min<std::size_t>(static_cast<std::size_t>(std::max(list.n_paths, 0)),
                                                 std::min(list.paths.size(), list.conversions.size()));
            for (std::size_t j = 0; j < n; ++j) f(file, list, is_vector, j);
        }
    }
}

}  // namespace

std::string planned_name(std::string_view stem, std::string_view path, bool is_vector) {
    const SplitPath split = split_path(path);
    const std::string folder = util::fit(split.folder, kPartLen);
    const std::string name = util::fit(split.name, kPartLen);
    if (util::ASAME(folder, "Times")) {
        if (is_vector) util::fail_at_once("ERROR - Unexpected vector dataset in \\Times\\ folder: " + name);
        return times_name(stem, name);
    }
    if (const int row = map_type_by_description(name); row > 0)
        return std::string(stem) + "_" + without_separators(std::string(map_type_code(row))) + ".dat";
    console().line("WARNING - Unexpected data name - " + name);
    std::string joined = name;
    std::replace(joined.begin(), joined.end(), ' ', '_');
    return std::string(stem) + without_separators(folder) + without_separators(joined) + ".dat";
}

void PLAN_XMDF_CONVERSION(XmdfTable& table) {
    for_each_entry(table, [](XmdfFile& file, DatasetList& list, bool is_vector, std::size_t j) {
        ConversionEntry& entry = list.conversions[j];
        entry.out_name = util::fit(planned_name(stem_of(file), list.paths[j], is_vector), util::kNameLen);
        util::line_after_gap("Input data: " + util::trimmed(list.paths[j]));
        console().line("Output file: " + util::trimmed(entry.out_name));
    });
}

void ASSIGN_OUTPUT_FILES(XmdfTable& table, OutputFileList& list) {
    for_each_entry(table, [&list](XmdfFile&, DatasetList& datasets, bool, std::size_t j) {
        ConversionEntry& entry = datasets.conversions[j];
        for (std::int32_t k = 1; k <= list.count; ++k) {
            if (util::ASAME(list.name(k), entry.out_name)) {
                entry.out_index = k;
                return;
            }
        }
        if (list.count >= kMaxConversionOutputs)
            util::fail("ERROR - Too many output files for -conv, the limit is " +
                       util::AINTEGER(kMaxConversionOutputs) + ".");
        list.names.push_back(util::trimmed(entry.out_name));
        entry.out_index = ++list.count;
        util::line_after_gap("New Output File Detected: " + list.names.back());
    });
}

}  // namespace zorvel::xmdf_read
