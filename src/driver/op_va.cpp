// -va: input 1's vectors turned into flow directions in degrees, clockwise from north
// (0 north, 90 east, -90 west, 180 south): every step, or with -t the one step at that
// time. The output is named and opened here, as one scalar dataset:
//   ".xmdf" input  <input>_<-type code>_va.xmdf (the "_" doubled without -type), in the
//                  group of the dataset read: <group>/Vector Angle/<name>, or the folder
//                  "Vector Angle Maximums" (-t99999) or "Vector Angle Minimums" (-t-99999)
//   ".dat" input   <input>_va.dat; into an ".xmdf" file (-out) the dataset is
//                  <input's file name>/<the folder as above>/<its map output type>
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

// What the time asks for: the stored maximum (-t99999), the stored minimum (-t-99999) or
// the output times.
enum class Asked { temporal, maximum, minimum };

Asked asked_for(const CommandLine& cl) {
    if (cl.time_given && std::fabs(cl.target_time - 99999.0f) < cl.time_tol) return Asked::maximum;
    if (cl.time_given && std::fabs(cl.target_time + 99999.0f) < cl.time_tol) return Asked::minimum;
    return Asked::temporal;
}

// The output's folder for what the time asks for.
const char* folder_for(Asked asked) {
    switch (asked) {
        case Asked::maximum: return "Vector Angle Maximums";
        case Asked::minimum: return "Vector Angle Minimums";
        case Asked::temporal: break;
    }
    return "Vector Angle";
}

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
    const Asked asked = asked_for(cl);
    const std::int32_t dataset = asked == Asked::maximum   ? vectors.found_max
                                 : asked == Asked::minimum ? vectors.found_min
                                                           : vectors.found_temporal;
    if (dataset < 1 || static_cast<std::size_t>(dataset) > vectors.split_paths.size())
        util::fail("ERROR - No vector dataset found for the velocity angle in: \"" + util::trimmed(input) + "\"");
    const xmdf_read::SplitPath& path = vectors.split_paths[static_cast<std::size_t>(dataset - 1)];
    out.folder_name = name_field(folder_for(asked));
    out.results_name = name_field(util::trimmed(path.group));
    out.dataset_name = name_field(util::trimmed(path.name));
}

// Names the output of a ".dat" input: <input>_va.dat unless -out names the file. An
// ".xmdf" output needs a group, a folder and a dataset: the input's file name, the folder
// of an ".xmdf" input and the input's map output type. A ".dat" output keeps them blank,
// its header named after the file.
void name_dat_output(const RunState& run, results::OutputDescription& out) {
    const CommandLine& cl = run.cl;
    const std::string& input = run.input_name(1);
    if (!cl.out_given) out.out_path = name_field(util::trimmed(util::FILENAMEPATH(input)) + "_va.dat");
    if (!out.to_xmdf) return;
    out.results_name = name_field(util::trimmed(util::FILENAME(input)));
    out.folder_name = name_field(folder_for(asked_for(cl)));
    out.dataset_name = name_field(dat_dataset_name(run.input(1)));
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
    else
        name_dat_output(run, out);
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
