// Extraction of XMDF datasets into result records.

#include "xmdf_read/extract.hpp"

#include <algorithm>
#include <span>

#include "results/res_ops.hpp"
#include "results/xmdf/binding.hpp"
#include "util/console.hpp"
#include "util/numbers.hpp"
#include "util/support.hpp"
#include "util/text.hpp"
#include "util/units.hpp"
#include "xmdf_read/data_group.hpp"
#include "xmdf_read/dataset_times.hpp"

namespace zorvel::xmdf_read {

namespace xf = results::xmdf;
using results::RES_TYPE;

namespace {

// Buffers of one timestep, kept from call to call, and the times of the dataset
// last asked for when the list's own output_times belong to another.
struct Work {
    std::vector<float> values;      // nnodes values, or nnodes (x, y) pairs
    std::vector<std::int32_t> flags;
    std::vector<float> magnitudes;  // running extreme magnitude per node
    std::vector<double> times;
    std::int32_t times_file_id = 0;
    bool times_is_vector = false;
    std::int32_t times_dataset = 0;
};

// The process's one set of buffers.
Work& work() {
    static Work w;
    return w;
}

using results::length_of;

// Ends the run unless the record holds the file's nodes and cells.
void check_record(const XmdfFile& file, const RES_TYPE& res, std::string_view routine) {
    const std::size_t n = length_of(file.nnodes);
    if (res.value.size() >= n && res.y.size() >= n && res.CELL.size() >= length_of(file.ncells)) return;
    util::fail("ERROR - Result record holds fewer nodes or cells than " + name_of(file) + " [" + std::string(routine) +
               "]");
}

// Ends the run: the list holds no dataset of the folder.
[[noreturn]] void no_dataset(const XmdfFile& file, std::string_view folder) {
    util::fail("ERROR - No /" + std::string(folder) + "/ dataset found in " + name_of(file));
}

// Reads the values of a timestep of the shared group into the value buffer.
const float* read_values(const XmdfFile& file, bool is_vector, std::int32_t step, std::string_view what) {
    const std::span<float> out = results::work_array(work().values, std::int64_t{file.nnodes} * (is_vector ? 2 : 1));
    std::int32_t status = 0;
    if (is_vector)
        xf::XF_READ_VECTOR_VALUES_TIMESTEP(data_group().id, step, file.nnodes, 2, out, status);
    else
        xf::XF_READ_SCALAR_VALUES_TIMESTEP(data_group().id, step, file.nnodes, out, status);
    if (status < 0)
        util::fail_at_once("ERROR - Reading " + std::string(what) +
                           (is_vector ? " [XF_READ_VECTOR_VALUES_TIMESTEP] while reading "
                                      : " [XF_READ_SCALAR_VALUES_TIMESTEP] while reading ") +
                           name_of(file));
    return out.data();
}

// Reads the activity flags of a timestep of the shared group into the flag buffer.
const std::int32_t* read_flags(const XmdfFile& file, std::int32_t step) {
    const std::span<std::int32_t> flags = results::work_array(work().flags, file.ncells);
    std::int32_t status = 0;
    xf::XF_READ_ACTIVITY_TIMESTEP(data_group().id, step, file.ncells, flags, status);
    if (status < 0)
        util::fail_at_once("ERROR - Reading cell/wet dry flags [XF_READ_ACTIVITY_TIMESTEP] while reading " + name_of(file));
    return flags.data();
}

// A flag read as the record keeps it: its low 8 bits.
std::int8_t low_byte(std::int32_t flag) { return static_cast<std::int8_t>(static_cast<std::uint8_t>(flag & 0xff)); }

// Puts a timestep's values and flags into the record.
void store_step(const XmdfFile& file, bool is_vector, const float* values, const std::int32_t* flags,
                RES_TYPE& res) {
    const std::size_t n = length_of(file.nnodes);
    if (is_vector) {
        for (std::size_t i = 0; i < n; ++i) {
            res.value[i] = values[2 * i];
            res.y[i] = values[2 * i + 1];
        }
    } else {
        std::copy_n(values, n, res.value.data());
    }
    const std::size_t c = length_of(file.ncells);
    for (std::size_t k = 0; k < c; ++k) res.CELL[k].flag = low_byte(flags[k]);
}

// The output times of a dataset whose group the shared group holds: the list's own
// when they were read for it, else read from the group.
std::span<const double> times_of(const XmdfFile& file, const DatasetList& list, bool is_vector, std::int32_t d) {
    if (list.times_dataset == d && list.n_times >= 0 && list.output_times.size() >= length_of(list.n_times))
        return std::span<const double>(list.output_times.data(), length_of(list.n_times));
    Work& w = work();
    if (w.times_file_id == file.file_id && w.times_is_vector == is_vector && w.times_dataset == d)
        return w.times;
    w.times_dataset = 0;
    read_all_times_in_hours(file, w.times);
    w.times_file_id = file.file_id;
    w.times_is_vector = is_vector;
    w.times_dataset = d;
    return w.times;
}

// Ends the run: the dataset has no output time (the line after an empty one with gap).
[[noreturn]] void no_output_times(const XmdfFile& file, const std::string& path, bool gap) {
    const std::string line = "ERROR - No output times in dataset \"" + path + "\" in " + name_of(file);
    if (gap) util::fail(line);
    util::fail_at_once(line);
}

// Closes the shared group; ends the run when the close fails.
void close_group_checked() {
    if (close_data_group() < 0) util::fail_at_once("ERROR - Closing group [XF_CLOSE_GROUP]");
}

// How one of the single-time readers speaks.
struct SingleStyle {
    std::string_view routine;
    std::string_view first_line;  // empty: none
    std::string_view what;        // the word of its read failures
    bool single_time;             // the dataset must hold one time; "   Done." after the close
    std::string_view folder;      // the folder of the dataset it is given; empty: any
};

// Reads timestep 1 of a dataset into the record.
void read_single(XmdfTable& table, std::int32_t file_number, bool is_vector, RES_TYPE& res, std::int32_t dataset,
                 const SingleStyle& style) {
    XmdfFile& file = file_record(table, file_number, style.routine);
    const DatasetList& list = file.list(is_vector);
    if (!style.first_line.empty()) util::line_after_gap(std::string(style.first_line) + name_of(file));
    check_record(file, res, style.routine);
    if (!valid_dataset(list, dataset)) {
        if (!style.folder.empty()) no_dataset(file, style.folder);
        util::fail("ERROR - Dataset number " + util::AINTEGER(dataset) + " does not exist in " + name_of(file) + " [" +
                   std::string(style.routine) + "]");
    }
    const std::string& path = dataset_path(list, dataset);
    util::console().line("Getting data from group: " + path);
    if (!open_data_group(file, is_vector, dataset)) group_open_failed(file, list, dataset);
    if (style.single_time) {
        std::int32_t n = 0;
        std::int32_t status = 0;
        xf::XF_GET_DATASET_NUM_TIMES(data_group().id, n, status);
        if (status < 0)
            util::fail_at_once("ERROR - Extracting number of times [XF_GET_DATASET_NUM_TIMES] from xmdf file " +
                               name_of(file));
        if (n > 1) {
            util::line_after_gap("ERROR - Multiple output times exits, expecting 1.");
            util::console().line("Contact " + std::string(util::kSupportAddress));
            util::EXITS();
        }
        if (n < 1) util::fail_at_once("ERROR - No output time in dataset \"" + path + "\" in " + name_of(file));
    }
    const float* values = read_values(file, is_vector, 1, style.what);
    const std::int32_t* flags = read_flags(file, 1);
    store_step(file, is_vector, values, flags, res);
    if (!style.single_time) util::console().line("Closing Group");
    close_group_checked();
    util::console().line(style.single_time ? "   Done." : "   Done");
}

enum class Reduction { maximum, minimum, average };

// Folds one step's scalar values into the running extreme and the time result (strict,
// so a tie keeps the earlier step and a NaN never wins); written without branches.
template <bool kMax>
void fold_scalars(const float* __restrict v, float t, std::size_t n, RES_TYPE& res, RES_TYPE* time_res) {
    float* __restrict values = res.value.data();
    if (time_res == nullptr) {
        for (std::size_t i = 0; i < n; ++i) {
            const float current = values[i];
            values[i] = (kMax ? v[i] > current : v[i] < current) ? v[i] : current;
        }
        return;
    }
    float* __restrict times = time_res->value.data();
    for (std::size_t i = 0; i < n; ++i) {
        const float current = values[i];
        const bool wins = kMax ? v[i] > current : v[i] < current;
        values[i] = wins ? v[i] : current;
        times[i] = wins ? t : times[i];
    }
}

// Folds one step's flags into the record's cells (largest or smallest magnitude) and
// copies the outcome into the time result's cells.
template <bool kMax>
void fold_flags(const std::int32_t* flags, std::size_t c, RES_TYPE& res, RES_TYPE* time_res) {
    results::CELL_RES_TYPE* cells = res.CELL.data();
    for (std::size_t k = 0; k < c; ++k) {
        const std::uint8_t a = results::flag_magnitude(low_byte(flags[k]));
        const std::uint8_t b = results::flag_magnitude(cells[k].flag);
        cells[k].flag = static_cast<std::int8_t>(kMax ? std::max(a, b) : std::min(a, b));
    }
    if (time_res != nullptr) std::copy_n(res.CELL.data(), c, time_res->CELL.data());
}

// Reduces every timestep of the list's found_temporal into the record (and the time result).
void reduce_temporal(XmdfTable& table, std::int32_t file_number, bool is_vector, RES_TYPE& res, RES_TYPE* time_res,
                     Reduction kind, std::string_view routine, std::string_view first_line) {
    XmdfFile& file = file_record(table, file_number, routine);
    const DatasetList& list = file.list(is_vector);
    util::line_after_gap(std::string(first_line) + name_of(file));
    check_record(file, res, routine);
    // A time result without nodes keeps no times.
    if (time_res != nullptr && time_res->value.empty() && time_res->CELL.empty()) time_res = nullptr;
    if (time_res != nullptr) check_record(file, *time_res, routine);
    const std::int32_t dataset = list.found_temporal;
    if (!valid_dataset(list, dataset)) no_dataset(file, "Temporal");
    const std::string& path = dataset_path(list, dataset);
    util::line_after_gap("Opening data group: " + path);
    if (!open_data_group(file, is_vector, dataset)) group_open_failed(file, list, dataset);
    const std::span<const double> times = times_of(file, list, is_vector, dataset);
    if (times.empty()) no_output_times(file, path, false);

    const std::size_t n = length_of(file.nnodes);
    const std::size_t c = length_of(file.ncells);
    float* magnitude = is_vector ? results::work_array(work().magnitudes, file.nnodes).data() : nullptr;
    const bool take_max = kind != Reduction::minimum;
    for (std::size_t s = 0; s < times.size(); ++s) {
        const auto step = static_cast<std::int32_t>(s + 1);
        const auto t = static_cast<float>(times[s]);
        const float* v = read_values(file, is_vector, step, "timestep");
        const std::int32_t* flags = read_flags(file, step);
        if (kind == Reduction::average) {
            if (is_vector) {
                for (std::size_t i = 0; i < n; ++i) {
                    res.value[i] += v[2 * i];
                    res.y[i] += v[2 * i + 1];
                }
            } else {
                for (std::size_t i = 0; i < n; ++i) res.value[i] += v[i];
            }
        } else if (is_vector) {
            for (std::size_t i = 0; i < n; ++i) {
                const float m = util::VECTOR_MAGNITUDE(v[2 * i], v[2 * i + 1]);
                if (s == 0 || (take_max ? m > magnitude[i] : m < magnitude[i])) {
                    magnitude[i] = m;
                    res.value[i] = v[2 * i];
                    res.y[i] = v[2 * i + 1];
                    if (time_res != nullptr) time_res->value[i] = t;
                }
            }
        } else if (take_max) {
            fold_scalars<true>(v, t, n, res, time_res);
        } else {
            fold_scalars<false>(v, t, n, res, time_res);
        }
        if (take_max)
            fold_flags<true>(flags, c, res, time_res);
        else
            fold_flags<false>(flags, c, res, time_res);
    }
    if (kind == Reduction::average) {
        const auto divisor = static_cast<float>(times.size());
        for (std::size_t i = 0; i < n; ++i) {
            res.value[i] /= divisor;
            if (is_vector) res.y[i] /= divisor;
        }
    }
    util::line_after_gap("Closing Group");
    close_group_checked();
    util::console().line("   Done");
}

}  // namespace

void GET_XMDF_MAX(XmdfTable& table, std::int32_t file, bool is_vector, RES_TYPE& res) {
    const std::int32_t dataset = file_record(table, file, "GET_XMDF_MAX").list(is_vector).found_max;
    read_single(table, file, is_vector, res, dataset,
                {"GET_XMDF_MAX", "Getting maximum data from: ", "maximums", false, "Maximums"});
}

void GET_XMDF_MIN(XmdfTable& table, std::int32_t file, bool is_vector, RES_TYPE& res) {
    const std::int32_t dataset = file_record(table, file, "GET_XMDF_MIN").list(is_vector).found_min;
    read_single(table, file, is_vector, res, dataset, {"GET_XMDF_MIN", "Getting minimum data from: ", "data", false, "Minimums"});
}

void GET_XMDF_SINGLE(XmdfTable& table, std::int32_t file, bool is_vector, RES_TYPE& res, std::int32_t dataset) {
    read_single(table, file, is_vector, res, dataset, {"GET_XMDF_SINGLE", "", "data", true, ""});
}

void GET_XMDF_TEMPORAL_MAX(XmdfTable& table, std::int32_t file, bool is_vector, RES_TYPE& res, RES_TYPE& time_res) {
    reduce_temporal(table, file, is_vector, res, &time_res, Reduction::maximum, "GET_XMDF_TEMPORAL_MAX",
                    "Extracting maximums from /Temporal/ folder in ");
}

void GET_XMDF_TEMPORAL_MIN(XmdfTable& table, std::int32_t file, bool is_vector, RES_TYPE& res, RES_TYPE& time_res) {
    reduce_temporal(table, file, is_vector, res, &time_res, Reduction::minimum, "GET_XMDF_TEMPORAL_MIN",
                    "Extracting minimums from /Temporal/ folder in ");
}

void GET_XMDF_TEMPORAL_AVG(XmdfTable& table, std::int32_t file, bool is_vector, RES_TYPE& res) {
    reduce_temporal(table, file, is_vector, res, nullptr, Reduction::average, "GET_XMDF_TEMPORAL_AVG",
                    "Extracting averages from /Temporal/ folder in ");
}

void require_output_times(XmdfTable& table, std::int32_t file_number, bool is_vector) {
    const XmdfFile& file = file_record(table, file_number, "require_output_times");
    const DatasetList& list = file.list(is_vector);
    const std::int32_t dataset = list.selected_dataset > 0 ? list.selected_dataset : list.found_temporal;
    if (list.n_times == 0 && valid_dataset(list, dataset)) no_output_times(file, dataset_path(list, dataset), true);
}

void xmdf_get_data_time(XmdfTable& table, std::int32_t file_number, bool is_vector, RES_TYPE& res,
                        std::int32_t step, bool first, bool last) {
    util::Console& con = util::console();
    XmdfFile& file = file_record(table, file_number, "xmdf_get_data_time");
    DatasetList& list = file.list(is_vector);
    const std::int32_t timestep = step > 0 ? step : list.selected_step;
    if (list.selected_dataset <= 0 && list.found_temporal > 0) list.selected_dataset = list.found_temporal;
    const std::int32_t dataset = list.selected_dataset;
    if (dataset <= 0) util::fail_at_once("ERROR - Unable trying to open group ID = 0 [xmdf_get_data_time] ");
    if (!valid_dataset(list, dataset))
        util::fail("ERROR - Dataset number " + util::AINTEGER(dataset) + " does not exist in " + name_of(file) +
                   " [xmdf_get_data_time]");
    const std::string& path = dataset_path(list, dataset);
    if (timestep < 1)
        util::fail_at_once("ERROR - No timestep selected for \"" + path + "\" in " + name_of(file) +
                           " [xmdf_get_data_time]");
    check_record(file, res, "xmdf_get_data_time");

    if (first) {
        util::line_after_gap("Getting data from: " + name_of(file));
        util::line_after_gap("Getting data from group: " + path);
        util::line_after_gap("Opening Group.");
    }
    if (first || !data_group_holds(file, is_vector, dataset)) {
        if (!open_data_group(file, is_vector, dataset))
            util::fail_at_once("ERROR - Unable to open group [XF_OPEN_GROUP] ");
        if (first) con.line("   Done.");
    }

    const std::string at = "data at timestep " + util::AINTEGER(timestep);
    if (is_vector)
        util::line_after_gap("Reading vector " + at);
    else
        con.line("Reading scalar " + at);
    const float* values = read_values(file, is_vector, timestep, "data");
    const std::int32_t* flags = read_flags(file, timestep);
    store_step(file, is_vector, values, flags, res);
    const std::span<const double> times = times_of(file, list, is_vector, dataset);
    if (static_cast<std::size_t>(timestep) > times.size())
        util::fail_at_once("ERROR - Extracting times [XF_GET_DATASET_TIMES] from xmdf file " + name_of(file));
    res.time = static_cast<float>(times[static_cast<std::size_t>(timestep - 1)]);
    if (is_vector) res.is_vector = true;

    if (last) {
        con.line("Processing final timestep... closing group");
        close_group_checked();
        con.line("   Done");
    }
    con.line("Finished getting data");
}

}  // namespace zorvel::xmdf_read
