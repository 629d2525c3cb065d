// The small XMDF access layer (see xmdf_layer.hpp).

#include "xmdf_read/xmdf_layer.hpp"

#include <algorithm>
#include <cstddef>

#include "results/res_ops.hpp"
#include "results/xmdf/binding.hpp"
#include "results/xmdf/objects.hpp"
#include "util/console.hpp"
#include "util/numbers.hpp"
#include "util/support.hpp"
#include "util/text.hpp"
#include "util/units.hpp"
#include "xmdf_read/catalogue.hpp"

namespace zorvel::xmdf_read {

namespace xf = results::xmdf;

namespace {

constexpr std::size_t kTimeUnitsLen = 100;
constexpr std::size_t kSearchLen = 40;
constexpr std::int32_t kMaxOutputTimes = 1000;
constexpr float kNoMaximum = -99999.0f;

// The layer's state and, at the end of the process, the close of what it left open.
struct LayerHolder {
    // The binding's table of open objects is made first, so that it outlives the layer.
    LayerHolder() { (void)xf::objects(); }
    ~LayerHolder() { close_xmdf_layer(state); }
    XmdfLayer state;
};


// An output time as the console shows it: 12 characters, 5 decimals.
std::string time_field(double t) { return util::right_justified(util::AREALD8(t, 5), 12); }

// The first length characters of a path field.
std::string path_head(std::string_view path, std::int32_t length) {
    const std::size_t n = length > 0 ? std::min(static_cast<std::size_t>(length), path.size()) : 0;
    return util::fit(path.substr(0, n), util::kNameLen);
}

// Opens the dataset group of the path into a group slot, closing the group the slot held.
void open_data_group(XmdfLayer& layer, std::int32_t& slot, std::int32_t file_id, const std::string& path) {
    if (slot > 0) {
        // A group already closed with its file is unknown to the binding: the close then
        // fails with nothing left open, which is no reason to stop.
        xf::XF_CLOSE_GROUP(slot, layer.status);
        slot = 0;
    }
    xf::XF_OPEN_GROUP(file_id, path, slot, layer.status);
    if (layer.status < 0) {
        slot = 0;
        util::fail("ERROR - Could not open data group \"" + path + "\" in XMDF file.");
    }
}

// The count of scalar or vector dataset paths into the state.
void count_paths(std::int32_t file_id, bool vectors) {
    XmdfLayer& layer = xmdf_layer();
    if (vectors)
        xf::XF_GET_VECTOR_DATASETS_INFO(file_id, layer.n_paths, layer.path_length, layer.status);
    else
        xf::XF_GET_SCALAR_DATASETS_INFO(file_id, layer.n_paths, layer.path_length, layer.status);
    if (layer.status < 0)
        util::fail(vectors ? "ERROR - Getting Vector Data Set Information." : "ERROR - Getting Scalar Data Set Information.");
    if (layer.n_paths <= 0) util::fail("ERROR - Number of paths less than or equal to zero.");
}

// Reads the scalar or vector dataset paths into the path list and lists them.
void read_paths(std::int32_t n_paths, std::int32_t path_length, bool vectors) {
    XmdfLayer& layer = xmdf_layer();
    const std::int64_t n = std::max(n_paths, 0);
    const std::int64_t slot = std::max(path_length, 0);
    results::CHECK_ALLOC(results::allocate_array(layer.raw_paths, n * slot));
    results::CHECK_ALLOC(results::allocate_array(layer.paths, n));
    util::line_after_gap(vectors ? "Vector datasets available: " : "Scalar datasets available: ");
    if (vectors) {
        xf::XF_GET_VECTOR_DATASET_PATHS(layer.file_id, n_paths, path_length, layer.raw_paths, layer.status);
        if (layer.status < 0) util::fail("ERROR - Exracting Vector Dataset Paths [XF_GET_VECTOR_DATASET_PATHS].");
    } else {
        xf::XF_GET_SCALAR_DATASET_PATHS(layer.file_id, n_paths, path_length, layer.raw_paths, layer.status);
        if (layer.status < 0) util::fail("ERROR - Exracting Scalar Dataset Paths [XF_GET_SCALAR_DATASET_PATHS].");
    }
    for (std::int64_t i = 0; i < n; ++i) {
        std::string& entry = layer.paths[static_cast<std::size_t>(i)];
        entry = path_in_slot(layer.raw_paths.data() + i * slot, static_cast<std::size_t>(slot));
        util::console().line(util::integer_field(i + 1, 5) + ": " + entry);
    }
}

// Reads the values of output time k from an open group into the state's step buffer.
bool read_step_values(XmdfLayer& layer, std::int32_t group, std::int32_t k, std::int32_t n_values, bool vector) {
    const std::span<float> values = results::work_array(layer.step_values, std::int64_t{n_values} * (vector ? 2 : 1));
    if (vector)
        xf::XF_READ_VECTOR_VALUES_TIMESTEP(group, k, n_values, 2, values, layer.status);
    else
        xf::XF_READ_SCALAR_VALUES_TIMESTEP(group, k, n_values, values, layer.status);
    return layer.status >= 0;
}

// Reads the activity flags of output time k from an open group into the state's step buffer.
bool read_step_flags(XmdfLayer& layer, std::int32_t group, std::int32_t k, std::int32_t n_cells) {
    xf::XF_READ_ACTIVITY_TIMESTEP(group, k, n_cells, results::work_array(layer.step_flags, n_cells), layer.status);
    return layer.status >= 0;
}

}  // namespace

XmdfLayer& xmdf_layer() {
    static LayerHolder holder;
    return holder.state;
}

void close_xmdf_layer(XmdfLayer& layer) {
    // At the end nothing can be done about a failed close, and nothing is said.
    std::int32_t status = 0;
    for (std::int32_t* group : {&layer.vector_group_id, &layer.scalar_group_id}) {
        if (*group > 0) xf::XF_CLOSE_GROUP(*group, status);
        *group = 0;
    }
    if (layer.file_id > 0) xf::XF_CLOSE_FILE(layer.file_id, status);
    layer.file_id = 0;
}

void XMDFOPEN(std::string_view name) {
    XmdfLayer& layer = xmdf_layer();
    layer.file_id = 0;
    const std::string file = util::fit(name, util::kNameLen);
    util::line_after_gap("Opening XMDF file \"" + file + "\".");
    xf::XF_OPEN_FILE(file, true, layer.file_id, layer.status);
    // A failed open leaves nothing open and no id to close.
    if (layer.status < 0) {
        layer.file_id = 0;
        util::fail("ERROR - Could not open XMDF file \"" + file + "\".");
    }
    util::console().line("    Done.");
}

void XMDFVERSION(std::int32_t file_id) {
    XmdfLayer& layer = xmdf_layer();
    float version = 0.0f;
    xf::XF_GET_LIBRARY_VERSION_FILE(file_id, version, layer.status);
    util::console().line("XMDF Version: " + util::AREAL(version));
    if (layer.status < 0) util::fail("ERROR - Determining XMDF Library Version.");
}

void XMDFCOUNTSCALARS(std::int32_t file_id) { count_paths(file_id, false); }

void XMDFCOUNTVECTORS(std::int32_t file_id) { count_paths(file_id, true); }

void XMDFSCALARPATHS(std::int32_t n_paths, std::int32_t path_length) { read_paths(n_paths, path_length, false); }

void XMDFVECTORPATHS(std::int32_t n_paths, std::int32_t path_length) { read_paths(n_paths, path_length, true); }

void XMDFDATASETINFO(std::int32_t file_id, std::string_view path, std::int32_t path_length) {
    XmdfLayer& layer = xmdf_layer();
    open_data_group(layer, layer.scalar_group_id, file_id, path_head(path, path_length));
    util::Console& con = util::console();
    con.line("Extracting number of cells and nodes from XMDF file: ");
    const std::int32_t group = layer.scalar_group_id;
    xf::XF_GET_DATASET_NUMVALS(group, layer.n_values, layer.status);
    if (layer.status < 0) util::fail("ERROR - Exracting Number of Values in Dataset [XF_GET_DATASET_NUMVALS].");
    xf::XF_GET_DATASET_NUMACTIVE(group, layer.n_active, layer.status);
    if (layer.status < 0) util::fail("ERROR - Exracting Number Active in Dataset [XF_GET_DATASET_NUMACTIVE].");
    std::string units;
    xf::XF_GET_DATASET_TIME_UNITS(group, units, layer.status);
    if (layer.status < 0) util::fail("ERROR - Exracting Time Unit Dataset [XF_GET_DATASET_TIME_UNITS].");
    layer.time_units = util::fit(units, kTimeUnitsLen);
    con.line("Number Cells:" + util::integer_field(layer.n_active, 12));
    con.line("Number Nodes:" + util::integer_field(layer.n_values, 12));
    con.line("Time Units: " + util::TRIMF(layer.time_units));
}

void XMDFFINDFOLDER(std::span<const std::string> paths, std::int32_t n_paths, std::int32_t path_length,
                    std::string_view text) {
    XmdfLayer& layer = xmdf_layer();
    layer.maximums = layer.temporal = layer.minimums = layer.times = 0;
    const std::string search = util::LOWERCASE(util::TRIMF(util::fit(text, kSearchLen)));
    // Per known folder, in the order of DataFolder.
    std::int32_t* const positions[] = {&layer.maximums, &layer.temporal, &layer.minimums, &layer.times};
    const std::size_t n = std::min(static_cast<std::size_t>(std::max(n_paths, 0)), paths.size());
    for (std::size_t i = 0; i < n; ++i) {
        const std::string path = path_head(paths[i], path_length);
        const std::string lower = util::LOWERCASE(path);
        if (lower.find(search) == std::string::npos) continue;
        util::console().line("   Found: \"" + path + "\".");
        const DataFolder folder = folder_of(lower);
        if (folder == DataFolder::none) {
            util::line_after_gap("ERROR - Unknown Data Folder: \"" + path + "\".");
            util::fail("Searching for Maximums, Minimums, Times or Temporal.");
        }
        *positions[static_cast<std::size_t>(folder)] = static_cast<std::int32_t>(i + 1);
    }
}

void XMDFOPENDATAGROUP(std::int32_t file_id, std::string_view path, std::int32_t path_length, bool is_vector) {
    XmdfLayer& layer = xmdf_layer();
    open_data_group(layer, is_vector ? layer.vector_group_id : layer.scalar_group_id, file_id,
                    path_head(path, path_length));
}

void XMDFREADTIMESTEP(std::int32_t file_id, std::string_view path, std::int32_t path_length, std::int32_t k,
                      results::RES_TYPE& res) {
    XmdfLayer& layer = xmdf_layer();
    if (path_length < 1 || k < 1 || res.nnodes < 1 || res.ncells < 1)
        util::line_after_gap("ERROR - One or more of xmdf pathlength, time index, number nodes or number of cells equal to 0.");
    const std::size_t n_nodes = static_cast<std::size_t>(std::max(res.nnodes, 0));
    const std::size_t n_cells = static_cast<std::size_t>(std::max(res.ncells, 0));
    if (res.value.size() < n_nodes || res.y.size() < n_nodes || res.CELL.size() < n_cells)
        util::fail("ERROR - Result record smaller than its number of nodes or number of cells.");

    // The group is read through the id it was just opened with, vector or not.
    open_data_group(layer, layer.scalar_group_id, file_id, path_head(path, path_length));
    const std::int32_t group = layer.scalar_group_id;
    util::Console& con = util::console();

    con.line("Extracting values from XMDF file.");
    if (!read_step_values(layer, group, k, res.nnodes, res.is_vector)) {
        util::line_after_gap("ERROR - Exracting Values from XMDF [XF_READ_VECTOR_VALUES_TIMESTEP or "
                             "XF_READ_SCALAR_VALUES_TIMESTEP].");
        util::fail("Contact " + std::string(util::kSupportAddress));
    }
    const float* v = layer.step_values.data();
    if (res.is_vector) {
        for (std::size_t j = 0; j < n_nodes; ++j) {
            res.value[j] = v[2 * j];
            res.y[j] = v[2 * j + 1];
        }
    } else {
        std::copy_n(v, n_nodes, res.value.data());
    }
    con.line("    Done.");

    con.line("Extracting wet / dry flags from XMDF file.");
    if (!read_step_flags(layer, group, k, res.ncells)) util::fail("ERROR - Exracting wet dry status from XMDF file.");
    const std::int32_t* flags = layer.step_flags.data();
    for (std::size_t i = 0; i < n_cells; ++i) res.CELL[i].flag = static_cast<std::int8_t>(flags[i]);
    con.line("    Done.");
}

void XMDFMAXOVERTIMES(std::int32_t file_id, std::string_view path, std::int32_t path_length,
                      std::span<const double> times, std::int32_t n_times, bool is_vector, std::int32_t n_values,
                      std::int32_t n_cells) {
    XmdfLayer& layer = xmdf_layer();
    results::CHECK_ALLOC(results::allocate_array(layer.max_x, n_values));
    results::CHECK_ALLOC(results::allocate_array(layer.max_y, n_values));
    results::CHECK_ALLOC(results::allocate_array(layer.max_flags, n_cells));
    std::fill(layer.max_x.begin(), layer.max_x.end(), kNoMaximum);
    std::fill(layer.max_y.begin(), layer.max_y.end(), kNoMaximum);

    if (path_length < 1 || n_times < 1 || n_values < 1 || n_cells < 1)
        util::line_after_gap("ERROR - One or more of xmdf pathlength, time index or number of values equal to 0.");
    if (n_times > kMaxOutputTimes) {
        util::line_after_gap("ERROR - Number of output times exceeds maximum of " + util::AINTEGER(kMaxOutputTimes));
        util::console().line("   To increse the limit please contact " + std::string(util::kSupportAddress));
    }
    if (n_times > 0 && times.size() < static_cast<std::size_t>(n_times))
        util::fail("ERROR - Fewer output times given than the number of output times.");

    std::int32_t& slot = is_vector ? layer.vector_group_id : layer.scalar_group_id;
    open_data_group(layer, slot, file_id, path_head(path, path_length));
    const std::int32_t group = slot;
    util::Console& con = util::console();
    util::line_after_gap("Extracting maximum values from XMDF file.");

    const std::size_t n = layer.max_x.size();
    const std::size_t cells = layer.max_flags.size();
    for (std::int32_t i = 1; i <= n_times; ++i) {
        const std::string time = time_field(times[static_cast<std::size_t>(i - 1)]);
        con.line("    Processing time: " + time);
        if (!read_step_values(layer, group, i, n_values, is_vector))
            util::fail("ERROR - Exracting Values from XMDF at time." + time);
        if (!read_step_flags(layer, group, i, n_cells)) util::fail("ERROR - Exracting wet dry status from XMDF file.");
        const float* v = layer.step_values.data();
        if (is_vector) {
            for (std::size_t j = 0; j < n; ++j) {
                layer.max_x[j] = std::max(layer.max_x[j], v[2 * j]);
                layer.max_y[j] = std::max(layer.max_y[j], v[2 * j + 1]);
            }
        } else {
            for (std::size_t j = 0; j < n; ++j) layer.max_x[j] = std::max(layer.max_x[j], v[j]);
        }
        const std::int32_t* flags = layer.step_flags.data();
        for (std::size_t c = 0; c < cells; ++c) layer.max_flags[c] = std::max(layer.max_flags[c], flags[c]);
    }
    con.line("    Done.");
}

}  // namespace zorvel::xmdf_read
