// -k: the one step of input 1 at the -k time, written alone. The output is opened here,
// after the step has been read: an ".xmdf" input names the dataset after the dataset
// read and its time ("Depth 1.5", or "Depth Max" for the stored maximum), and without
// -out an ".xmdf" output goes into the working folder, named after the output type
// (a(k1.5)_Depth.xmdf).

#include <cmath>
#include <string>

#include "driver/ends.hpp"
#include "driver/operations.hpp"
#include "driver/output_names.hpp"
#include "driver/step_copy.hpp"
#include "driver/step_reader.hpp"
#include "results/results_writer.hpp"
#include "util/console.hpp"
#include "util/numbers.hpp"
#include "util/paths.hpp"
#include "util/text.hpp"

namespace zorvel::driver {

namespace {

// The dataset name of an ".xmdf" input's kept step: the name of the dataset read (a
// scalar one before a vector one), then " Max" for the stored maximum or the time.
void name_kept_dataset(const RunState& run, results::OutputDescription& out) {
    const xmdf_read::XmdfFile& file = run.xmdf.file(run.input(1).xmdf_index);
    const xmdf_read::DatasetList* list = nullptr;
    if (file.scalars.selected_dataset >= 1)
        list = &file.scalars;
    else if (file.vectors.selected_dataset >= 1)
        list = &file.vectors;
    if (list == nullptr) return;
    const float t = run.cl.target_time;
    const std::string& path = list->paths[static_cast<std::size_t>(list->selected_dataset - 1)];
    const std::string when = std::fabs(t - 99999.0f) < 0.001f ? " Max" : " " + util::AREAL(t);
    out.dataset_name = name_field(util::trimmed(util::FILENAME(path)) + when);
}

}  // namespace

void run_keep(RunState& run) {
    const CommandLine& cl = run.cl;
    results::OutputDescription& out = run.output();
    warn_one_input(run, "WARNING - Only one file for -k (remove) option");
    util::console().line("Keeping time: " + time_field(cl.target_time));
    read_step_at_time(run, run.res_);

    if (run.input(1).input_is_xmdf) name_kept_dataset(run, out);
    if (!cl.out_given && !run.only_dat_inputs && util::FILEEXT(out.out_path) == ".xmdf")
        out.out_path =
            name_field(util::trimmed(util::FILENAME(out.out_path)) + "_" + util::trimmed(cl.type_desc) + ".xmdf");
    refuse_named_output(run, out);

    results::OPEN_OUTPUT(out);
    results::WRITE_OUTPUT_HEADER(out, run.res_);
    results::WRITE_OUTPUT_TIMESTEP(out, run.res_);
    close_input_file(run);
    end_closing_files(out, cl.batch);
}

}  // namespace zorvel::driver
