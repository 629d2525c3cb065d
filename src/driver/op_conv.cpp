// -conv: result datasets copied from one file kind to the other, values and activity
// flags unchanged.
//
// ".dat" inputs to ".xmdf": the ".dat" files of one model run (m01_h.dat, m01_d.dat,
// m01_V.dat) go into one file named after the run (m01.xmdf), or all into the -out file,
// each input as one dataset named after its map output type ("Water Level" ...) in the
// group <run>/<folder>, the folder chosen from each record's time:
//   output time           Temporal        at its time (a new group only for the
//                                         input's first record; a later output time
//                                         goes into the dataset made last)
//   99999 / -99999        Maximums / Minimums, at its time
//   900001 / 900002       Times, "Time of Peak h" / "Time of Peak V", at its time
//   100000 + x            Times, "Time of First Depth > <x>m" (x with 2 decimals), at time 0
//   200000 + x            Times, "Duration Above <x>m", at time 0
//   any other             "Unknown <whole part>", at its time
//
// ".xmdf" inputs to ".dat": the datasets of the first ".xmdf" input go to the ".dat" files
// planned for them (xmdf_read/conversion_plan.hpp): all map output types or the -type one
// (every Temporal step, the stored maximum at 99999 and minimum at -99999, one file per
// type), the /Times/ datasets into <input>_times.dat (first depth at 100000 + cut-off,
// duration at 200000 + cut-off, peak times at their codes), or just the -path, -s or -v
// dataset. A run that would convert nothing ends with an error, before any output is
// opened, pointing to -path and -xnfo.

#include <algorithm>
#include <string>

#include "driver/ends.hpp"
#include "driver/operations.hpp"
#include "driver/output_names.hpp"
#include "driver/step_reader.hpp"
#include "results/dat.hpp"
#include "results/res_ops.hpp"
#include "results/results_writer.hpp"
#include "util/console.hpp"
#include "util/numbers.hpp"
#include "util/paths.hpp"
#include "util/support.hpp"
#include "util/text.hpp"
#include "util/units.hpp"
#include "xmdf_read/catalogue.hpp"
#include "xmdf_read/conversion_plan.hpp"
#include "xmdf_read/extract.hpp"
#include "xmdf_read/map_types.hpp"
#include "xmdf_read/search.hpp"

namespace zorvel::driver {

namespace {

using results::OutputDescription;
using util::console;
using util::line_after_gap;
using xmdf_read::DatasetList;
using xmdf_read::OutputFileList;
using xmdf_read::XmdfFile;

constexpr float kStoredMax = 99999.0f;
constexpr float kStoredMin = -99999.0f;
constexpr float kFirstDepthBase = 100000.0f;
constexpr float kDurationBase = 200000.0f;

// Output k of the run (from 1).
OutputDescription& output(RunState& run, std::int32_t k) { return run.outputs[static_cast<std::size_t>(k - 1)]; }

// Ends the run when another distinct output name would pass the limit of the list.
void check_output_limit(const OutputFileList& list) {
    if (list.count >= xmdf_read::kMaxConversionOutputs)
        end_exits("\nERROR - Too many output files for -conv, the limit is " +
                  util::AINTEGER(xmdf_read::kMaxConversionOutputs) + ".");
}

// Names the ".xmdf" outputs of ".dat" inputs: the folder and name of each input without
// its extension and data-type suffix, equal names (letter case counting) sharing a file.
void name_xmdf_outputs(RunState& run, OutputFileList& list) {
    if (run.n_inputs() <= 1) {
        list.names.assign(1, util::trimmed(util::FILENAMEPATHNO_(run.input_name(1))) + ".xmdf");
        list.count = 1;
        run.input(1).out_index = 1;
        return;
    }
    line_after_gap("Checking that filenames match, so can be outputted to the same .xmdf");
    for (std::int32_t i = 1; i <= run.n_inputs(); ++i) {
        const std::string name = util::trimmed(util::FILENAMEPATHNO_(run.input_name(i))) + ".xmdf";
        const auto found = std::find(list.names.begin(), list.names.end(), name);
        if (found != list.names.end()) {
            run.input(i).out_index = static_cast<std::int32_t>(found - list.names.begin()) + 1;
            continue;
        }
        check_output_limit(list);
        list.names.push_back(name);
        run.input(i).out_index = ++list.count;
        line_after_gap("New Output File Detected: " + name);
    }
}

// Ends the run: nothing in the file lies in the layout of a model run that the conversion
// takes on its own. The last line says how to convert one of its datasets all the same.
[[noreturn]] void end_nothing_to_convert(const std::string& file) {
    line_after_gap("ERROR - No datasets to convert in: \"" + file + "\"");
    end_exits("Choose a dataset with -path\"<dataset path>\"; zorvel -xnfo \"" + file + "\" lists the dataset paths.");
}

// Plans the ".dat" outputs of the first ".xmdf" input; a further ".xmdf" input is named
// in a warning and left out of the rest of the run.
void plan_dat_outputs(RunState& run, OutputFileList& list) {
    xmdf_read::XmdfTable& table = run.xmdf;
    for (std::int32_t k = 2; k <= table.n_xmdf; ++k)
        line_after_gap("WARNING - Only the first .xmdf file is converted, ignoring: " +
                       util::trimmed(table.file(k).file_name));
    table.n_xmdf = std::min(table.n_xmdf, 1);
    line_after_gap("Determing possible outputs in each .xmdf file.");
    xmdf_read::PLAN_XMDF_CONVERSION(table);
    line_after_gap("Counting unique outputs...");
    xmdf_read::ASSIGN_OUTPUT_FILES(table, list);
    line_after_gap("Finished counting unique outputs.");
    console().line("   Found " + util::AINTEGER(list.count) + " possible outputs.");
    if (list.count < 1) end_nothing_to_convert(util::trimmed(table.file(1).file_name));
    refuse_outputs_read(run, list.names);
}

// The output file of an input; every input goes to output 1 when -out merged the outputs.
std::int32_t output_of(const RunState& run, std::int32_t i, bool merged) { return merged ? 1 : run.input(i).out_index; }

// ".dat" to ".xmdf": where one record goes, by its time.
struct Placement {
    std::string folder;
    std::string dataset;
    float time;
    bool new_group;
};

// The group, dataset and time of a record of an input whose own dataset name is given.
Placement place_record(float t, const std::string& own_name, bool first_record) {
    switch (results::time_kind(t)) {
        case results::TimeKind::temporal: return {"Temporal", own_name, t, first_record};
        case results::TimeKind::maximum: return {"Maximums", own_name, t, true};
        case results::TimeKind::minimum: return {"Minimums", own_name, t, true};
        case results::TimeKind::peak_h:
        case results::TimeKind::peak_v: return {"Times", results::time_label(t), t, true};
        case results::TimeKind::first_depth:
        case results::TimeKind::duration: return {"Times", results::time_label(t), 0.0f, true};
        case results::TimeKind::unknown: break;
    }
    return {results::time_label(t), own_name, t, true};
}

// Copies every record of ".dat" input i into its output, each into the group its time picks.
void convert_dat_input(RunState& run, std::int32_t i, OutputDescription& out) {
    const InputRecord& in = run.input(i);
    line_after_gap("Processing File: " + util::trimmed(run.input_name(i)));
    out.is_vector = in.input_is_vector;
    out.results_name = name_field(in.stem);
    const std::string own_name = dat_dataset_name(in);
    results::RES_TYPE& res = run.res_;
    res.end_of_data = false;
    res.is_vector = in.input_is_vector;
    StepReader steps(run, i, in.input_is_vector);
    while (steps.next_for_copy(res)) {
        const Placement p = place_record(res.time, own_name, steps.step() == 1);
        if (p.new_group) {
            results::CLOSE_OUTPUT_GROUPS(out);
            out.folder_name = name_field(p.folder);
            out.dataset_name = name_field(p.dataset);
            results::WRITE_OUTPUT_HEADER(out, res);
        }
        res.time = p.time;
        steps.copy_to(out, res);
    }
}

// End A: "Closing files and exiting", every output of the conversion closed, the normal end.
[[noreturn]] void end_closing_outputs(RunState& run) {
    console().line();
    console().line("Closing files and exiting");
    console().line();
    for (OutputDescription& out : run.outputs) results::CLOSE_OUTPUT(out);
    end_normal(run.cl.batch);
}

// ".dat" inputs into their ".xmdf" outputs, all opened before the first input is read.
[[noreturn]] void convert_dat_inputs(RunState& run, const OutputFileList& list) {
    const CommandLine& cl = run.cl;
    bool merged = false;
    if (list.count <= 1) {
        if (cl.out_given) line_after_gap("Using user defined output name.");
        output(run, 1).out_path = name_field(cl.out_given ? util::trimmed(cl.user_out_name) : list.name(1));
    } else if (cl.out_given) {
        line_after_gap("WARNING - More than 1 output file name detected in combination with -out option.");
        line_after_gap("Using user defined output name.");
        output(run, 1).out_path = name_field(util::trimmed(cl.user_out_name));
        run.outputs.resize(1);
        merged = true;
    } else {
        line_after_gap("More than 1 output file name detected.");
        for (std::int32_t k = 1; k <= list.count; ++k) output(run, k).out_path = name_field(list.name(k));
    }
    for (OutputDescription& out : run.outputs) {
        out.to_xmdf = true;
        out.to_dat = out.to_text = false;
    }
    // An output that -out names may be one of the inputs.
    for (const OutputDescription& out : run.outputs) refuse_named_output(run, out);
    for (OutputDescription& out : run.outputs) results::OPEN_OUTPUT(out);

    for (std::int32_t i = 1; i <= run.n_inputs(); ++i)
        convert_dat_input(run, i, output(run, output_of(run, i, merged)));
    end_closing_outputs(run);
}

// The first ".xmdf" input's record.
XmdfFile& first_file(RunState& run) { return run.xmdf.file(1); }

// Reads the output times of dataset d of the first file's list into the list.
void read_times(RunState& run, bool is_vector, std::int32_t d) {
    DatasetList& list = first_file(run).list(is_vector);
    list.selected_dataset = d;
    xmdf_read::GET_XMDF_NUM_TIMES(run.xmdf, true, 1, is_vector, d);
    results::CHECK_ALLOC(results::allocate_array(list.output_times, list.n_times));
    xmdf_read::GET_XMDF_TIMES(run.xmdf, true, 1, is_vector, d);
}

// Lets go of the output times that read_times read.
void release_times(DatasetList& list) {
    list.output_times = {};
    list.times_dataset = 0;
}

// Copies every step of the list's selected dataset, at its own time, into the output.
void copy_steps(RunState& run, bool is_vector, OutputDescription& out) {
    StepReader steps(run, 1, is_vector);
    while (steps.next(run.res_)) results::WRITE_OUTPUT_TIMESTEP(out, run.res_);
}

// Opens output o as a ".dat" file the first time a dataset goes to it.
void open_dat_output(OutputDescription& out) {
    if (!out.is_open) results::OPEN_OUTPUT(out);
}

// Ends the run when an output already holds its ".dat" header: a second one would corrupt it.
void refuse_second_header(const OutputDescription& out) {
    if (!out.dat_header_done) return;
    console().line("/ERROR - Should not be here [Output file already initialised]");
    end_exits("Contact " + std::string(util::kSupportAddress) + "]");
}

// Writes the ".dat" header of an output of the all-types conversion under its name.
void start_dat_output(RunState& run, OutputDescription& out, const std::string& dataset_name) {
    refuse_second_header(out);
    out.dataset_name = name_field(dataset_name);
    console().line("Initialising output data name: " + util::trimmed(out.dataset_name));
    results::WRITE_OUTPUT_HEADER(out, run.res_);
    line_after_gap("Done initialising file.");
}

// Step 6 of the conversion: the one dataset that -path names, into the file planned for it.
[[noreturn]] void convert_path(RunState& run) {
    xmdf_read::FIND_XMDF_TYPE(run.xmdf, run.cl.xmdf_path, true);
    XmdfFile& file = first_file(run);
    const bool is_vector = file.vectors.type_found;
    DatasetList& list = file.list(is_vector);
    const std::int32_t d = list.selected_dataset;
    run.primary_is_vector = is_vector;
    OutputDescription& out = output(run, 1);
    out.out_path = list.conversions[static_cast<std::size_t>(d - 1)].out_name;
    out.is_vector = is_vector;
    xmdf_read::GET_XMDF_NUM_TIMES(run.xmdf, false, 0, false, 0);
    results::CHECK_ALLOC(results::allocate_array(list.output_times, list.n_times));
    xmdf_read::GET_XMDF_TIMES(run.xmdf, true, 1, is_vector, d);
    out.to_dat = true;
    out.to_xmdf = out.to_text = false;
    results::OPEN_OUTPUT(out);
    results::WRITE_OUTPUT_HEADER(out, run.res_);
    copy_steps(run, is_vector, out);
    end_closing_outputs(run);
}

// Step 7 of the conversion: dataset d of the scalar or vector list into its planned file.
void convert_numbered(RunState& run, bool is_vector, std::int32_t d) {
    DatasetList& list = first_file(run).list(is_vector);
    const xmdf_read::ConversionEntry& entry = list.conversions[static_cast<std::size_t>(d - 1)];
    const xmdf_read::SplitPath& split = list.split_paths[static_cast<std::size_t>(d - 1)];
    line_after_gap("Processing dataset: " + util::trimmed(list.paths[static_cast<std::size_t>(d - 1)]));
    OutputDescription& out = output(run, entry.out_index);
    if (out.is_open) {
        line_after_gap("Already open: " + util::trimmed(out.out_path));
    } else {
        out.out_path = name_field(util::trimmed(entry.out_name));
        out.to_dat = true;
        out.to_xmdf = out.to_text = false;
        line_after_gap("Opening: " + util::trimmed(out.out_path));
        results::OPEN_OUTPUT(out);
    }
    if (out.dat_header_done) {
        line_after_gap("File already initialised.");
    } else {
        out.is_vector = is_vector;
        out.dataset_name = name_field(util::trimmed(split.name) + " " + util::trimmed(split.group));
        line_after_gap("Initialsing: " + util::trimmed(out.dataset_name));
        results::WRITE_OUTPUT_HEADER(out, run.res_);
        console().line("   Done initialising file.");
    }
    read_times(run, is_vector, d);
    copy_steps(run, is_vector, out);
    console().line(is_vector ? "Finished processing dataset." : "Finished processing sataset.");
    release_times(list);
}

// The stored maximum (or, maximum false, minimum) dataset d of the list into the output at its
// time code; a line that there is none when d is 0.
void convert_stored(RunState& run, DatasetList& list, bool is_vector, std::int32_t d, bool maximum,
                    OutputDescription& out) {
    if (d == 0) {
        line_after_gap(maximum ? "No maximum data found... skipping" : "No minimum data found... skipping");
        return;
    }
    line_after_gap(maximum ? "Processing Maximums Data." : "Processing Minimums Data.");
    console().line("Dataset name " + util::trimmed(list.paths[static_cast<std::size_t>(d - 1)]));
    if (maximum) {
        list.found_max = d;
        xmdf_read::GET_XMDF_MAX(run.xmdf, 1, is_vector, run.res_);
    } else {
        list.found_min = d;
        xmdf_read::GET_XMDF_MIN(run.xmdf, 1, is_vector, run.res_);
    }
    run.res_.time = maximum ? kStoredMax : kStoredMin;
    results::WRITE_OUTPUT_TIMESTEP(out, run.res_);
    line_after_gap("Finished processing maximums Data.");  // after a minimum too
}

// The datasets of one map output type (row of the type table) into the file planned for it:
// every Temporal step, then the stored maximum and minimum.
void convert_type(RunState& run, int row) {
    XmdfFile& file = first_file(run);
    const auto r = static_cast<std::size_t>(row - 1);
    const std::string code(xmdf_read::map_type_code(row));
    run.output_data_type = code;
    line_after_gap("Processing " + std::string(xmdf_read::map_type_description(row)));
    const bool is_vector = file.type_is_vector[r];
    console().line(is_vector ? "Data is vector type." : "Data is scalar type.");
    run.primary_is_vector = is_vector;
    const std::int32_t t = is_vector ? file.vector_temporal_dataset[r] : file.temporal_dataset[r];
    const std::int32_t m = is_vector ? file.vector_max_dataset[r] : file.max_dataset[r];
    const std::int32_t n = is_vector ? file.vector_min_dataset[r] : file.min_dataset[r];
    DatasetList& list = file.list(is_vector);
    if (t == 0 && m == 0 && n == 0)
        end_exits("ERROR - Should not be here [data not found] contact " + std::string(util::kSupportAddress));

    const std::int32_t first = t != 0 ? t : (m != 0 ? m : n);
    OutputDescription& out = output(run, list.conversions[static_cast<std::size_t>(first - 1)].out_index);
    open_dat_output(out);
    out.is_vector = is_vector;
    if (is_vector) run.res_.is_vector = true;
    out.results_name = name_field(util::FILENAMENO_(out.out_path));
    std::string code4 = code;
    code4.resize(util::kTypeCodeLen, ' ');
    start_dat_output(run, out, code4 + util::trimmed(out.results_name));

    if (t == 0) {
        line_after_gap("WARNING - No temporal data found... skipping");
    } else {
        line_after_gap("Processing Temporal Data.");
        console().line("Dataset name " + util::trimmed(list.paths[static_cast<std::size_t>(t - 1)]));
        read_times(run, is_vector, t);
        copy_steps(run, is_vector, out);
        console().line("Finished Processing Temporal Dataset.");
        release_times(list);
    }
    convert_stored(run, list, is_vector, m, true, out);
    convert_stored(run, list, is_vector, n, false, out);
}

// Writes each /Times/ dataset of one list at its base plus the list's value (its cut-off
// depth, or its peak code with base 0).
template <int N>
void convert_times_list(RunState& run, const xmdf_read::TimesList<N>& times, float base, bool gap_before_name,
                        OutputDescription& out) {
    const DatasetList& scalars = first_file(run).scalars;
    for (std::int32_t k = 0; k < times.count; ++k) {
        const std::int32_t d = times.datasets[static_cast<std::size_t>(k)];
        const std::string line = "Dataset name " + util::trimmed(scalars.paths[static_cast<std::size_t>(d - 1)]);
        if (gap_before_name)
            line_after_gap(line);
        else
            console().line(line);
        xmdf_read::GET_XMDF_SINGLE(run.xmdf, 1, false, run.res_, d);
        run.res_.time = base + times.values[static_cast<std::size_t>(k)];
        results::WRITE_OUTPUT_TIMESTEP(out, run.res_);
    }
}

// The /Times/ datasets of the first file into the file planned for them.
void convert_times(RunState& run) {
    XmdfFile& file = first_file(run);
    run.primary_is_vector = false;
    std::int32_t d = file.first_depth_list.datasets[0];
    if (d == 0) d = file.duration_list.datasets[0];
    if (d == 0) d = file.peak_list.datasets[0];
    if (d == 0) {
        line_after_gap("ERROR - Should not be here processing times.");
        end_exits("Please contact " + std::string(util::kSupportAddress));
    }
    OutputDescription& out = output(run, file.scalars.conversions[static_cast<std::size_t>(d - 1)].out_index);
    out.is_vector = false;
    out.results_name = name_field(util::FILENAMENO_(out.out_path));
    open_dat_output(out);
    start_dat_output(run, out, "Time " + util::trimmed(out.results_name));

    if (file.first_depth_list.datasets[0] == 0) {
        line_after_gap("No time to first depth data found... skipping");
    } else {
        line_after_gap("Processing time of first inundation data.");
        convert_times_list(run, file.first_depth_list, kFirstDepthBase, true, out);
    }
    if (file.duration_list.datasets[0] == 0) {
        line_after_gap("No time to first depth data found... skipping");
    } else {
        line_after_gap("Processing time of first inundation data.");
        convert_times_list(run, file.duration_list, kDurationBase, false, out);
    }
    if (file.peak_list.datasets[0] == 0) {
        line_after_gap("No time to peak data found... skipping");
    } else {
        line_after_gap("Processing time of peak data.");
        convert_times_list(run, file.peak_list, 0.0f, false, out);
    }
}

// End B: every output that was opened closed, then "Finished." and the normal end.
[[noreturn]] void end_finished(RunState& run) {
    line_after_gap("Closing output files...");
    console().line();
    for (OutputDescription& out : run.outputs)
        if (out.is_open) results::CLOSE_OUTPUT(out);
    line_after_gap("Done closing outputs.");
    util::move_outputs_into_place();
    console().line();
    console().line("Finished.");
    console().line();
    end_normal(run.cl.batch);
}

// The first ".xmdf" input into ".dat" files: the -path dataset, the -s or -v dataset, or
// all map output types (or the -type one) with the /Times/ datasets.
[[noreturn]] void convert_xmdf_input(RunState& run, const OutputFileList& list) {
    const CommandLine& cl = run.cl;
    if (cl.path_given) convert_path(run);
    if (cl.scalar_id_given || cl.vector_id_given) {
        line_after_gap("Processing specified scalar and/or vector datasets.");
        line_after_gap("Processing scalar datasets.");
        run.primary_is_vector = false;
        if (cl.scalar_id_given) convert_numbered(run, false, cl.scalar_ids);
        line_after_gap("Processing vector datasets.");
        run.primary_is_vector = true;
        if (cl.vector_id_given) convert_numbered(run, true, cl.vector_ids);
        end_finished(run);
    }

    for (std::int32_t k = 1; k <= list.count; ++k) {
        OutputDescription& out = output(run, k);
        out.to_dat = true;
        out.to_xmdf = out.to_text = false;
        out.out_path = name_field(list.name(k));
        if (util::trimmed_length(out.out_path) == 0)
            end_exits("\nERROR - Blank File Name, please contact " + std::string(util::kSupportAddress));
    }
    line_after_gap(cl.type_given ? "Specified datasets." : "Processing all datasets.");
    const XmdfFile& file = first_file(run);
    for (int row = 1; row <= xmdf_read::N_MAP_OUTPUT_TYPES; ++row) {
        if (!file.type_present[static_cast<std::size_t>(row - 1)]) continue;
        if (cl.type_given && !util::ASAME(xmdf_read::map_type_code(row), cl.type_code)) continue;
        convert_type(run, row);
    }
    if (file.has_times && !cl.type_given) convert_times(run);
    const bool any =
        std::any_of(run.outputs.begin(), run.outputs.end(), [](const OutputDescription& o) { return o.is_open; });
    if (!any) end_nothing_to_convert(util::trimmed(file.file_name));
    end_finished(run);
}

}  // namespace

void run_conv(RunState& run) {
    line_after_gap("Converting file type.");
    OutputFileList list;
    if (run.only_dat_inputs)
        name_xmdf_outputs(run, list);
    else if (run.only_xmdf_inputs)
        plan_dat_outputs(run, list);
    else
        end_exits("\nERROR - filetypes must be consistent for -conv (i.e. all .dat or all .xmdf)");

    line_after_gap("Allocating Output Arrays.");
    run.outputs.assign(static_cast<std::size_t>(list.count), OutputDescription{});
    console().line("   Done.");

    if (run.input(1).input_is_dat) convert_dat_inputs(run, list);
    convert_xmdf_input(run, list);
}

}  // namespace zorvel::driver
