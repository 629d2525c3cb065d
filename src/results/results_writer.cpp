// The results writer (layout and calling order in results_writer.hpp).

#include "results/results_writer.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <system_error>
#include <vector>

#include "results/dat.hpp"
#include "results/res_ops.hpp"
#include "results/xmdf/binding.hpp"
#include "util/console.hpp"
#include "util/file_io.hpp"
#include "util/paths.hpp"
#include "util/support.hpp"
#include "util/text.hpp"
#include "util/units.hpp"

namespace zorvel::results {

namespace {

namespace xf = xmdf;

constexpr std::string_view kUnits = "m";
constexpr std::string_view kTimeUnits = "Hours";
constexpr std::int32_t kCompression = 0;

// What the writer keeps for the run: the ".dat" dataset name of the last header, the
// work arrays of a timestep (grown as needed and reused from call to call), and the
// ".xmdf" outputs still open.
struct WriterState {
    std::string dat_name;
    std::vector<float> pairs;
    std::vector<float> values;
    std::vector<std::int8_t> flags;
    std::vector<std::int32_t> xmdf_files;
};

// The writer's one state for the run.
WriterState& state() {
    static WriterState s;
    return s;
}

// The type of an output: the first flag set, in the order that OPEN_OUTPUT tests them.
enum class Kind { none, text, xmdf, dat };

// The type of the output, so that every routine treats it as OPEN_OUTPUT opened it.
Kind kind_of(const OutputDescription& out) {
    if (out.to_text) return Kind::text;
    if (out.to_xmdf) return Kind::xmdf;
    if (out.to_dat) return Kind::dat;
    return Kind::none;
}

// Books an ".xmdf" output just created, to be closed at an error end.
void remember_file(std::int32_t file_id) { state().xmdf_files.push_back(file_id); }

// Forgets an ".xmdf" output whose file is closed.
void file_closed(std::int32_t file_id) { std::erase(state().xmdf_files, file_id); }

// Closes what an ".xmdf" output holds open without testing the closes: the run is
// ending and the file is to be removed.
void close_after_failure(OutputDescription& out) {
    std::int32_t status = 0;
    for (std::int32_t* id : {&out.vector_id, &out.scalar_id, &out.group_id}) {
        if (*id > 0) xf::XF_CLOSE_GROUP(*id, status);
        *id = 0;
    }
    if (kind_of(out) == Kind::xmdf && out.handle > 0) {
        xf::discard_file(out.handle);
        file_closed(out.handle);
        out.handle = 0;
    }
    out.is_open = false;
}

// Ends the run after a failed XMDF call: what the output holds is closed, then the message.
[[noreturn]] void xmdf_failure(OutputDescription& out, std::string_view message) {
    close_after_failure(out);
    util::fail_at_once(message);
}

// Closes the vector dataset, the scalar dataset and the group, each id above 0, and
// sets them to 0; a failed close ends the run.
void close_groups(OutputDescription& out) {
    for (std::int32_t* id : {&out.vector_id, &out.scalar_id, &out.group_id}) {
        if (*id <= 0) continue;
        std::int32_t status = 0;
        xf::XF_CLOSE_GROUP(*id, status);
        *id = 0;
        if (status < 0) xmdf_failure(out, "ERROR - Closing group [XF_CLOSE_GROUP] " + util::trimmed(out.folder_name));
    }
}

// The record's activity flags as bytes, one per cell (0 past the record's own cells).
std::span<const std::int8_t> cell_flags(const RES_TYPE& res) {
    const std::size_t n = length_of(res.ncells);
    std::span<std::int8_t> flags = work_array(state().flags, n);
    const std::size_t have = std::min(n, res.CELL.size());
    if (have > 0) std::memcpy(flags.data(), res.CELL.data(), have);
    std::fill(flags.begin() + static_cast<std::ptrdiff_t>(have), flags.end(), std::int8_t{0});
    return flags;
}

// The magnitude of each (x, y) pair of xy into mags.
void magnitudes_of(std::span<const float> xy, std::span<float> mags) {
    for (std::size_t j = 0; j < mags.size(); ++j) {
        const float x = xy[2 * j];
        const float y = xy[2 * j + 1];
        mags[j] = std::sqrt(x * x + y * y);
    }
}

// Writes one timestep to the XMDF datasets: for a vector output the (x, y) pairs in xy,
// and then, for every output, the values (a vector's magnitudes).
void write_xmdf_arrays(OutputDescription& out, const RES_TYPE& res, std::span<const float> xy,
                       std::span<const float> values) {
    util::Console& con = util::console();
    const double time = res.time;
    const std::span<const std::int8_t> flags = cell_flags(res);
    std::int32_t status = 0;
    if (out.is_vector) {
        xf::XF_WRITE_VECTOR_TIMESTEP(out.vector_id, time, res.nnodes, 2, xy, status);
        if (status >= 0) xf::XF_WRITE_ACTIVITY_TIMESTEP(out.vector_id, res.ncells, flags, status);
        if (status < 0)
            xmdf_failure(out, "ERROR - Writing data [XF_WRITE_VECTOR_TIMESTEP] " + util::trimmed(out.folder_name));
        con.line("   Done.");
    }
    xf::XF_WRITE_SCALAR_TIMESTEP(out.scalar_id, time, res.nnodes, values, status);
    if (status >= 0) xf::XF_WRITE_ACTIVITY_TIMESTEP(out.scalar_id, res.ncells, flags, status);
    if (status < 0)
        xmdf_failure(out, "ERROR - Writing data [XF_WRITE_SCALAR_TIMESTEP] " + util::trimmed(out.folder_name));
    con.line("   Done.");
}

}  // namespace

std::string companion_name(std::string_view dataset_name) {
    const std::string_view name = util::rtrim(dataset_name);
    // "Vector" and the character after it dropped, when a name is left.
    if (name.substr(0, 6) == "Vector" && name.size() > 7) return util::fit(name.substr(7), util::kNameLen);
    return util::fit(std::string(name) + "_mag", util::kNameLen);
}

void OPEN_OUTPUT(OutputDescription& out) {
    switch (kind_of(out)) {
    case Kind::text:
        util::line_after_gap("Output Text File: " + util::trimmed(out.out_path));
        util::OPENFILE(out.handle, "O ", out.out_path);
        break;
    case Kind::xmdf:
        util::line_after_gap("Output XMDF File: " + util::trimmed(out.out_path));
        CREATE_XMDF_OUTPUT(out);
        break;
    case Kind::dat:
        util::line_after_gap("Output .dat File: " + util::trimmed(out.out_path));
        util::OPENFILE(out.handle, "BO", out.out_path);
        break;
    case Kind::none:
        util::fail_at_once("ERROR - Determining output file type. Contact " + std::string(util::kSupportAddress));
    }
    out.is_open = true;
}

void CREATE_XMDF_OUTPUT(OutputDescription& out) {
    const std::string path = util::trimmed(out.out_path);
    std::int32_t status = 0;
    xf::XF_CREATE_FILE(path, true, out.handle, status);
    if (status < 0) xmdf_failure(out, "ERROR - Creating file [XF_CREATE_FILE]" + path);
    remember_file(out.handle);
}

void WRITE_OUTPUT_HEADER(OutputDescription& out, const RES_TYPE& res) {
    // A blank dataset name becomes the output file's name without its folder (whose
    // separators would nest groups) and extension; that is also the ".dat" name.
    if (util::trimmed_length(out.dataset_name) == 0) {
        out.dataset_name = util::fit(util::FILENAME(util::rtrim(out.out_path)), util::kNameLen);
        state().dat_name = util::fit(out.dataset_name, util::kDatNameLen);
    } else {
        state().dat_name = util::fit(util::FILENAME(util::rtrim(out.dataset_name)), util::kDatNameLen);
    }

    util::Console& con = util::console();
    switch (kind_of(out)) {
    case Kind::xmdf:
        out.folder_name =
            util::fit(util::trimmed(out.results_name) + "/" + util::trimmed(out.folder_name), util::kNameLen);
        util::line_after_gap("Creating Folder: " + out.folder_name);
        CREATE_XMDF_DATASETS(out);
        con.line("   Done");
        break;
    case Kind::dat:
        util::line_after_gap("Writing header inforamtion to .dat file: " + util::trimmed(out.out_path));
        WRITE_DAT_HEADER(out.handle, state().dat_name, out.is_vector, res.nnodes, res.ncells);
        con.line("   Done");
        out.dat_header_done = true;
        break;
    case Kind::text:
    case Kind::none:
        break;
    }
}

void CREATE_XMDF_DATASETS(OutputDescription& out) {
    util::Console& con = util::console();
    const std::string path = util::trimmed(out.folder_name);
    const std::string name = util::trimmed(out.dataset_name);
    std::int32_t status = 0;
    xf::XF_CREATE_GENERIC_GROUP(out.handle, path, out.group_id, status);
    if (status < 0) xmdf_failure(out, "ERROR - Creating group [XF_CREATE_GENERIC_GROUP]" + path);
    if (out.is_vector) {
        con.line("Creating vector dataset: " + name);
        xf::XF_CREATE_VECTOR_DATASET(out.group_id, name, kUnits, kTimeUnits, kCompression, out.vector_id, status);
        if (status < 0) xmdf_failure(out, "ERROR - Creating group [XF_CREATE_VECTOR_DATASET]" + path);
        out.mag_name = companion_name(out.dataset_name);
        con.line("Creating scalar dataset: " + out.mag_name);
        xf::XF_CREATE_SCALAR_DATASET(out.group_id, out.mag_name, kUnits, kTimeUnits, kCompression, out.scalar_id,
                                     status);
        if (status < 0) xmdf_failure(out, "ERROR - Creating group [XF_CREATE_VECTOR_DATASET]" + path);
    } else {
        xf::XF_CREATE_SCALAR_DATASET(out.group_id, name, kUnits, kTimeUnits, kCompression, out.scalar_id, status);
        con.line("Creating scalar dataset: " + name);
        if (status < 0) xmdf_failure(out, "ERROR - Creating group [XF_CREATE_SCALAR_DATASET]" + path);
    }
    con.line("Done.");
}

void WRITE_OUTPUT_TIMESTEP(OutputDescription& out, RES_TYPE& res) {
    switch (kind_of(out)) {
    case Kind::xmdf:
        WRITE_XMDF_TIMESTEP(out, res);
        break;
    case Kind::dat:
        WRITE_DAT_TIMESTEP(out.handle, res, out.out_path, out.is_vector);
        break;
    case Kind::text:
    case Kind::none:
        break;
    }
}

void write_output_step_as_stored(OutputDescription& out, RES_TYPE& res, std::span<const std::byte> values) {
    const std::size_t n = length_of(res.nnodes);
    const bool same_layout =
        out.is_vector == res.is_vector && values.size() == n * (res.is_vector ? 2 : 1) * sizeof(float);
    if (same_layout && kind_of(out) == Kind::dat) {
        write_dat_step_as_stored(out.handle, res, values, out.out_path);
        return;
    }
    if (same_layout && kind_of(out) == Kind::xmdf) {
        // The kept values are whole reals, written as they lie when they are aligned as
        // reals are, else from a copy.
        const std::size_t count = values.size() / sizeof(float);
        const float* reals = reinterpret_cast<const float*>(values.data());
        if (reinterpret_cast<std::uintptr_t>(reals) % alignof(float) != 0) {
            const std::span<float> copy = work_array(state().pairs, static_cast<std::int64_t>(count));
            if (count > 0) std::memcpy(copy.data(), values.data(), values.size());
            reals = copy.data();
        }
        const std::span<const float> kept(reals, count);
        if (out.is_vector) {
            const std::span<float> mags = work_array(state().values, n);
            magnitudes_of(kept, mags);
            write_xmdf_arrays(out, res, kept, mags);
        } else {
            write_xmdf_arrays(out, res, {}, kept);
        }
        return;
    }
    dat_values_into(values, res);
    WRITE_OUTPUT_TIMESTEP(out, res);
}

void WRITE_XMDF_TIMESTEP(OutputDescription& out, RES_TYPE& res) {
    const std::size_t n = length_of(res.nnodes);
    const std::size_t have = nodes_held(res);
    if (!out.is_vector) {
        // Scalars go out straight from the values when the record holds every node.
        if (have == n) {
            write_xmdf_arrays(out, res, {}, std::span<const float>(res.value.data(), n));
            return;
        }
        const std::span<float> values = work_array(state().values, n);
        std::copy_n(res.value.data(), have, values.begin());
        std::fill(values.begin() + static_cast<std::ptrdiff_t>(have), values.end(), 0.0f);
        write_xmdf_arrays(out, res, {}, values);
        return;
    }
    const std::span<float> values = work_array(state().values, n);
    const std::span<float> xy = work_array(state().pairs, 2 * n);
    for (std::size_t j = 0; j < have; ++j) {
        xy[2 * j] = res.value[j];
        xy[2 * j + 1] = res.y[j];
    }
    std::fill(xy.begin() + static_cast<std::ptrdiff_t>(2 * have), xy.end(), 0.0f);
    magnitudes_of(xy, values);
    write_xmdf_arrays(out, res, xy, values);
    // The record holds the magnitudes afterwards.
    std::copy_n(values.begin(), have, res.value.data());
}

void CLOSE_OUTPUT(OutputDescription& out) {
    if (!out.is_open) return;
    util::Console& con = util::console();
    switch (kind_of(out)) {
    case Kind::xmdf: {
        const std::string path = util::trimmed(out.out_path);
        util::line_after_gap("Closing XMDF File: " + path);
        close_groups(out);
        const std::int32_t file_id = out.handle;
        std::int32_t status = 0;
        xf::XF_CLOSE_FILE(file_id, status);
        out.handle = 0;
        file_closed(file_id);
        if (status < 0) {
            out.is_open = false;
            util::fail_at_once("ERROR - Closing file [XF_CLOSE_FILE] " + path);
        }
        util::line_after_gap("Done.");
        break;
    }
    case Kind::dat:
        util::line_after_gap("Writing END cards");
        WRITE_DAT_END_CARD(out.handle);
        util::line_after_gap("Closing output file.");
        util::CLOSER(out.handle);
        con.line("   Done");
        break;
    case Kind::text:
        util::line_after_gap("Closing output file.");
        util::CLOSER(out.handle);
        con.line("   Done");
        break;
    case Kind::none:
        break;
    }
    out.is_open = false;
}

void finish_text_output(OutputDescription& out) {
    if (!out.is_open || kind_of(out) != Kind::text) return;
    const util::File* f = util::unit_file(out.handle);
    const std::string name = f != nullptr ? f->name() : util::trimmed(out.out_path);
    out.is_open = false;
    if (!util::close_held_unit(out.handle)) {
        util::console().finish_line();
        util::fail_at_once("ERROR - Writing to \"" + name + "\" failed.");
    }
}

void CLOSE_OUTPUT_GROUPS(OutputDescription& out) { close_groups(out); }

void discard_open_outputs() {
    std::vector<std::int32_t> files = std::move(state().xmdf_files);
    state().xmdf_files.clear();
    for (const std::int32_t file_id : files) xf::discard_file(file_id);
}

}  // namespace zorvel::results
