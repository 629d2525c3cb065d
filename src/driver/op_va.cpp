// -va: input 1's vectors turned into flow directions in degrees, clockwise from north
// (0 north, 90 east, -90 west, 180 south): every step, or with -t the one step at that
// time. The output is named and opened here, as one scalar dataset:
//   ".xmdf" input  <input>_<-type code>_va.xmdf (the "_" doubled without -type), in the
//                  group of the dataset read: <group>/Vector Angle/<name>, or the folder
//                  "Vector Angle Maximums" (-t99999) or "Vector Angle Minimums" (-t-99999)
//   ".dat" input   <input>_va.dat
// -out names the file in place of these.

#include <cmath>
#include <string>

#include "driver/ends.hpp"
#include "driver/operations.hpp"
#include "driver/output_names.hpp"
#include "driver/step_copy.hpp"
#include "results/results_writer.hpp"
#include "results/step_ops.hpp"
#include "util/console.hpp"
#include "util/numbers.hpp"
#include "util/paths.hpp"
#include "util/text.hpp"
#include "util/units.hpp"

namespace zorvel::driver {

namespace {

// Names the output of an ".xmdf" input after the dataset that the time asks for: the
// stored maximum, the stored minimum or the temporal dataset. A file without that
// dataset ends the run.
void name_xmdf_output(const RunState& run, results::OutputDescription& out) {
    const CommandLine& cl = run.cl;
    const std::string& input = run.input_name(1);
    const xmdf_read::DatasetList& vectors = run.xmdf.file(run.input(1).xmdf_index).vectors;
    if (!cl.out_given)
        out.out_path = name_field(util::trimmed(util::FILENAMEPATH(input)) + "_" + util::trimmed(cl.type_code) +
                                  "_va.xmdf");
    const char* folder = "Vector Angle";
    std::int32_t dataset = vectors.found_temporal;
    if (cl.time_given && std::fabs(cl.target_time - 99999.0f) < cl.time_tol) {
        folder = "Vector Angle Maximums";
        dataset = vectors.found_max;
    } else if (cl.time_given && std::fabs(cl.target_time + 99999.0f) < cl.time_tol) {
        folder = "Vector Angle Minimums";
        dataset = vectors.found_min;
    }
    if (dataset < 1 || static_cast<std::size_t>(dataset) > vectors.split_paths.size())
        util::fail("ERROR - No vector dataset found for the velocity angle in: \"" + util::trimmed(input) + "\"");
    const xmdf_read::SplitPath& path = vectors.split_paths[static_cast<std::size_t>(dataset - 1)];
    out.folder_name = name_field(folder);
    out.results_name = name_field(util::trimmed(path.group));
    out.dataset_name = name_field(util::trimmed(path.name));
}

}  // namespace

void run_va(RunState& run) {
    const CommandLine& cl = run.cl;
    results::OutputDescription& out = run.output();
    warn_one_input(run, "WARNING - Only one file for -va (velocity angle) option");
    out.results_name = name_field("");
    out.dataset_name = name_field("");
    if (run.input(1).input_is_xmdf)
        name_xmdf_output(run, out);
    else if (!cl.out_given)
        out.out_path = name_field(util::trimmed(util::FILENAMEPATH(run.input_name(1))) + "_va.dat");
    refuse_named_output(run, out);
    results::OPEN_OUTPUT(out);
    results::WRITE_OUTPUT_HEADER(out, run.res_);

    if (cl.time_given)
        util::line_after_gap("Processing velocity angle at time at " + util::AREAL(cl.target_time));
    else
        util::line_after_gap("Processing velocity angles at all times.");
    write_changed_steps(run, out, [](results::RES_TYPE& res) { results::RES_VEL_ANGLE(res); });
    end_closing_files(out, cl.batch);
}

}  // namespace zorvel::driver
