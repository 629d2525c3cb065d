// -max and -min: every input's extreme (its own over all times, its stored extreme, or
// its step at the -t time) merged node by node into the running extreme, which keeps
// the number of the input that supplied each node. Water levels on a mesh whose cells
// are not its nodes count only at the corners of wet cells.
//
// Output, in one group <results>/MaxMax (or MinMin) of an ".xmdf" file, or as the records
// of one ".dat" dataset:
//   Max Value   the extremes, at time 111111 (-min: -111111, stored as 111111 in ".dat")
//   Max Source  the input numbers as reals (0 where no input set the node), at 222222
//   Max Time    the time of each node's extreme, at 333333: only for a single input
//               that was scanned over its times

#include <algorithm>
#include <string>

#include "driver/checks.hpp"
#include "driver/ends.hpp"
#include "driver/operations.hpp"
#include "driver/step_reader.hpp"
#include "results/dat.hpp"
#include "results/mesh_2dm.hpp"
#include "results/res_ops.hpp"
#include "results/xmdf/binding.hpp"
#include "util/console.hpp"
#include "util/text.hpp"
#include "util/units.hpp"
#include "xmdf_read/extract.hpp"

namespace zorvel::driver {

namespace {

using util::console;

constexpr float kTimeOfMax = 111111.0f;
constexpr float kTimeOfSource = 222222.0f;
constexpr float kTimeOfExtremeTime = 333333.0f;
constexpr float kUnsetMax = -99999.0f;
constexpr float kUnsetMin = 99999.0f;

// The names and codes of the maximum or the minimum.
struct Extreme {
    bool max;
    const char* folder;
    const char* source_name;
    const char* time_name;
    float time_code;
    float unset;
};

constexpr Extreme kMax{true, "MaxMax", "Max Source", "Max Time", kTimeOfMax, kUnsetMax};
constexpr Extreme kMin{false, "MinMin", "Min Source", "Min Time", -kTimeOfMax, kUnsetMin};

// The record of each node's time of extreme, sized like the primary input; its times
// start unset (and its cells dry). The times are written only for a single input, so
// with more inputs the record holds no nodes and the readers keep no times.
void allocate_time_record(RunState& run, const Extreme& e) {
    console().line();
    console().line("Allocating secondary arrays for time of max / min.");
    if (run.n_inputs() == 1) {
        results::RES_TYPE& tm = run.tm_res_;
        results::CHECK_ALLOC(results::allocate_nodes(tm, run.n_nodes));
        results::CHECK_ALLOC(results::allocate_array(tm.CELL, run.n_cells));
        std::fill(tm.value.begin(), tm.value.end(), e.unset);
        // The second components go out beside the times to a vector ".dat" output.
        if (run.primary_is_vector) std::fill(tm.y.begin(), tm.y.end(), e.unset);
    }
    console().line("Done.");
    run.tm_res_.nnodes = run.res_.nnodes;
    run.tm_res_.ncells = run.res_.ncells;
}

// The record an input's extreme is read into, started afresh for each input so that
// one input's values and wet cells never count as another's. A vector maximum read over
// times starts at the zero vector, which every real vector matches or beats. The second
// components count only for vectors, and the source numbers only in the running extreme.
void start_input_record(RunState& run, const Extreme& e) {
    const float start = e.max && run.primary_is_vector ? 0.0f : e.unset;
    const std::int8_t flag = e.max ? 0 : 1;
    results::RES_TYPE& res = run.res_;
    std::fill(res.value.begin(), res.value.end(), start);
    if (run.primary_is_vector) std::fill(res.y.begin(), res.y.end(), start);
    for (results::CELL_RES_TYPE& c : res.CELL) c.flag = flag;
}

// The start of the running extreme: nothing merged yet.
void start_records(RunState& run, const Extreme& e) {
    const std::int8_t flag = e.max ? 0 : 1;
    results::RES_TYPE& wk = run.wk_res_;
    std::fill(wk.value.begin(), wk.value.end(), e.unset);
    if (run.primary_is_vector) std::fill(wk.y.begin(), wk.y.end(), e.unset);
    std::fill(wk.source.begin(), wk.source.end(), 0);
    for (results::CELL_RES_TYPE& c : wk.CELL) c.flag = flag;
}

// Reads input i's contribution into res_: its step at the -t time, its stored extreme,
// or its extreme over all times. True when it was scanned over its times.
bool read_input(RunState& run, std::int32_t i, const Extreme& e) {
    const InputRecord& in = run.input(i);
    const CommandLine& cl = run.cl;
    const bool vector = run.primary_is_vector;
    const std::size_t k = static_cast<std::size_t>(i - 1);
    if (cl.time_given) {
        if (in.input_is_xmdf && !e.max) end_exits("\nERROR - Min not yet enabled for xmdf files.");
        read_step_at_time(run, run.res_, i);
        return false;
    }
    if (in.input_is_xmdf) {
        const xmdf_read::DatasetList& list = run.xmdf.file(in.xmdf_index).list(vector);
        const bool stored = (e.max ? list.found_max : list.found_min) >= 1 && !cl.ignore_mm;
        if (stored) {
            if (e.max)
                xmdf_read::GET_XMDF_MAX(run.xmdf, in.xmdf_index, vector, run.res_);
            else
                xmdf_read::GET_XMDF_MIN(run.xmdf, in.xmdf_index, vector, run.res_);
            return false;
        }
        if (e.max)
            xmdf_read::GET_XMDF_TEMPORAL_MAX(run.xmdf, in.xmdf_index, vector, run.res_, run.tm_res_);
        else
            xmdf_read::GET_XMDF_TEMPORAL_MIN(run.xmdf, in.xmdf_index, vector, run.res_, run.tm_res_);
        return true;
    }
    if (e.max)
        results::DATMAXIMUMS(run.units[k], vector, run.res_, run.tm_res_, cl.ignore_mm);
    else
        results::DATMINIMUMS(run.units[k], vector, run.res_, run.tm_res_, cl.ignore_mm);
    return true;
}

// Merges res_ into the running extreme as input i. A vector maximum's nodes that no
// input has set yet take input i's vectors, so the first real value always counts.
void merge(RunState& run, std::int32_t i, const Extreme& e) {
    if (e.max && run.primary_is_vector) {
        results::RES_TYPE& wk = run.wk_res_;
        const std::size_t n = std::min(results::nodes_held(run.res_), results::nodes_held(wk));
        for (std::size_t j = 0; j < n; ++j) {
            if (wk.source[j] != 0) continue;
            wk.value[j] = run.res_.value[j];
            wk.y[j] = run.res_.y[j];
            wk.source[j] = i;
        }
    }
    const bool wet_only = run.input(i).is_h;
    if (e.max)
        results::RES_MAX(run.res_, run.wk_res_, run.geom_, wet_only, i);
    else
        results::RES_MIN(run.res_, run.wk_res_, run.geom_, wet_only, i);
}

// Starts a further dataset of an ".xmdf" output in the operation's group.
void next_xmdf_dataset(RunState& run, const Extreme& e, const char* name, const results::RES_TYPE& sizes) {
    results::OutputDescription& out = run.output();
    if (!out.to_xmdf) return;
    results::CLOSE_OUTPUT_GROUPS(out);
    out.folder_name = e.folder;
    out.dataset_name = name;
    out.is_vector = false;
    results::WRITE_OUTPUT_HEADER(out, sizes);
}

// Writes the extremes, the source numbers and (for one scanned input) the times.
void write_result(RunState& run, const Extreme& e, bool scanned) {
    results::OutputDescription& out = run.output();
    console().line();
    console().line("Writing Output");
    console().line();
    results::RES_TYPE& wk = run.wk_res_;
    const std::size_t n = results::nodes_held(wk);
    if (e.max && run.primary_is_vector) {
        for (std::size_t j = 0; j < n; ++j)
            if (wk.source[j] == 0) wk.value[j] = wk.y[j] = kUnsetMax;
    }
    wk.time = e.time_code;
    results::WRITE_OUTPUT_TIMESTEP(out, wk);

    next_xmdf_dataset(run, e, e.source_name, run.res_);
    wk.time = kTimeOfSource;
    wk.is_vector = false;
    for (std::size_t j = 0; j < n; ++j) wk.value[j] = static_cast<float>(wk.source[j]);
    results::WRITE_OUTPUT_TIMESTEP(out, wk);

    if (scanned && run.n_inputs() == 1) {
        next_xmdf_dataset(run, e, e.time_name, run.tm_res_);
        run.tm_res_.time = kTimeOfExtremeTime;
        run.tm_res_.is_vector = false;
        results::WRITE_OUTPUT_TIMESTEP(out, run.tm_res_);
    }
}

// Closes every input: ".xmdf" files through the library, ".dat" files on their units.
void close_inputs(RunState& run) {
    console().line();
    console().line("Closing input file");
    console().line();
    for (std::int32_t i = 1; i <= run.n_inputs(); ++i) {
        const InputRecord& in = run.input(i);
        console().line();
        if (in.input_is_xmdf) {
            console().line("Closing .xmdf file: " + util::trimmed(run.input_name(i)));
            xmdf_read::XmdfFile& file = run.xmdf.file(in.xmdf_index);
            std::int32_t status = 0;
            results::xmdf::XF_CLOSE_FILE(file.file_id, status);
            file.file_id = 0;
        } else {
            console().line("Closing .dat file: " + util::trimmed(run.input_name(i)));
            util::CLOSER(run.units[static_cast<std::size_t>(i - 1)]);
        }
    }
}

}  // namespace

void run_max_min(RunState& run) {
    const Extreme& e = run.op == Operation::max ? kMax : kMin;
    const CommandLine& cl = run.cl;
    if (cl.time_given && run.n_inputs() < 2)
        end_exits("\nERROR - expecting two or more files when using -max or -min with a specified time (-t)");

    allocate_time_record(run, e);
    if (cl.ignore_mm) {
        console().line();
        console().line("-Ignore_MM specified - Ignoring stored maximums or minimums if they exist.");
    }
    start_records(run, e);

    bool mesh_read = false;
    bool scanned = false;
    for (std::int32_t i = 1; i <= run.n_inputs(); ++i) {
        if (run.input(i).is_h && !run.fv_mesh && !mesh_read) {
            read_first_mesh(run);
            mesh_read = true;
        }
        start_input_record(run, e);
        if (read_input(run, i, e)) scanned = true;
        merge(run, i, e);
    }

    write_result(run, e, scanned);
    close_inputs(run);
    end_finished(run.output(), cl.batch);
}

}  // namespace zorvel::driver
