#include "driver/inputs.hpp"

#include <string>
#include <string_view>
#include <vector>

#include "driver/ends.hpp"
#include "results/sup.hpp"
#include "util/console.hpp"
#include "util/memory_cap.hpp"
#include "util/numbers.hpp"
#include "util/paths.hpp"
#include "util/text.hpp"
#include "util/units.hpp"

namespace zorvel::driver {

namespace {

using util::console;

}  // namespace

void require_inputs(const RunState& run) {
    if (run.n_inputs() < 1) end_exits("\nERROR - No input files specified.");
}

void expand_sup(RunState& run) {
    CommandLine& cl = run.cl;
    if (util::FILEEXT(cl.input_names.front()) != ".sup") return;
    if (cl.n_inputs > 1) end_exits("ERROR - If using .sup file, there must be only one input file.");
    console().line();
    console().line("Extracting results files from .sup file....");
    run.sup = results::sup_contents{};
    run.sup.sup_file = cl.input_names.front();
    results::READ_SUP(run.sup);
    console().line("   Done.");
    if (run.sup.n_data < 1) end_exits("\nERROR - No input files specified.");
    if (run.sup.n_data > kMaxInputs) end_exits("\nERROR - Too many input files specified, limit is 100.");
    run.from_sup = true;
    cl.n_inputs = run.sup.n_data;
    cl.input_names.clear();
    for (const std::string& name : run.sup.data_files)
        cl.input_names.push_back(results::in_sup_folder(run.sup.sup_folder, name));
}

void make_input_tables(RunState& run) {
    const std::int32_t n = run.n_inputs();
    console().line();
    console().line("Allocating arrays for processing " + util::AINTEGER(n) + " files.");
    run.inputs.assign(static_cast<std::size_t>(n), InputRecord{});
    run.is_xmdf.assign(static_cast<std::size_t>(n), false);
    run.xmdf = xmdf_read::XmdfTable{};
    run.xmdf.files.assign(static_cast<std::size_t>(n), xmdf_read::XmdfFile{});
    console().line("   Done.");
}

void list_inputs(RunState& run) {
    console().line();
    console().line("KESTRA Results Files:");
    run.only_xmdf_inputs = true;
    run.only_dat_inputs = true;
    std::int32_t n_xmdf = 0;
    for (std::int32_t i = 1; i <= run.n_inputs(); ++i) {
        const std::string& name = run.input_name(i);
        console().line("   File" + util::integer_field(i, 3) + ": " + util::trimmed(name));
        InputRecord& in = run.input(i);
        const std::string ext = util::FILEEXT(name);
        if (ext == ".xmdf") {
            run.is_xmdf[static_cast<std::size_t>(i - 1)] = true;
            in.input_is_xmdf = true;
            in.input_is_dat = false;
            ++n_xmdf;
            in.xmdf_index = n_xmdf;
            run.xmdf.n_xmdf = n_xmdf;
            run.xmdf.files[static_cast<std::size_t>(n_xmdf - 1)].file_name = name;
            run.only_dat_inputs = false;
        } else if (ext == ".dat") {
            run.is_xmdf[static_cast<std::size_t>(i - 1)] = false;
            in.input_is_xmdf = false;
            in.input_is_dat = true;
            if (run.only_xmdf_inputs) run.first_dat = i;
            run.only_xmdf_inputs = false;
        } else {
            end_exits("ERROR - Unable to determine file type (expecting .dat or .xmdf).");
        }
    }
}

void set_time_tolerance(RunState& run) {
    CommandLine& cl = run.cl;
    console().line();
    if (cl.tol_given) {
        console().line("User specified time search tolerance = " + util::AREAL(cl.time_tol));
        return;
    }
    cl.time_tol = 1.0e-4f;
    console().line("Default time search tolerance = " + util::AREAL(cl.time_tol));
    console().line("Use -dttol<tolerance> to set.");
}

void choose_output_type(RunState& run) {
    if (run.op == Operation::conv) return;
    results::OutputDescription& out = run.output();
    const Operation op = run.op;
    if (op != Operation::times && op != Operation::xnfo && op != Operation::ensight) {
        console().line();
        if (run.only_xmdf_inputs) {
            console().line("Only XMDF inputs.");
            out.to_xmdf = true;
        } else if (run.only_dat_inputs) {
            console().line("Only DAT inputs.");
            out.to_dat = true;
        } else {
            console().line("Both XMDF and DAT inputs");
            out.to_xmdf = true;
        }
        if (run.cl.out_given) {
            const std::string ext = util::FILEEXT(out.out_path);
            if (ext == ".xmdf") {
                console().line("Specified output file is .xmdf type");
                out.to_xmdf = true;
            } else if (ext == ".dat") {
                console().line("Specified output file is .dat type");
                out.to_dat = true;
            } else {
                console().line("Specified output file has no extension");
            }
        }
    }
    std::string ext;
    if (out.to_xmdf) {
        console().line("\nUsing XMDF for output type");
        ext = ".xmdf";
    } else if (out.to_dat) {
        console().line("\nUsing DAT for output type");
        ext = ".dat";
    } else if (out.to_text) {
        console().line("\nOutput file is a text file");
        ext = ".txt";
    }
    if (util::FILEEXT(out.out_path) != ext)
        out.out_path = util::fit(util::trimmed(out.out_path) + ext, util::kNameLen);
}

void require_dataset_selector(const RunState& run) {
    const CommandLine& cl = run.cl;
    if (!run.only_dat_inputs && !cl.op_xnfo && !cl.type_given && !cl.path_given && !cl.op_conv &&
        !cl.op_ensight && !cl.scalar_id_given && !cl.vector_id_given) {
        console().line();
        console().line("ERROR - Must specify an output type to be processed if using xmdf files.");
        console().line("   Use -type<output type> to use a specific output type.");
        console().line("   Output types should be as specified in the .kcf eg. h, V, q, or d");
        end_exits("   E.g. -typeV to process the velocity results.");
    }
    if (cl.op_ensight && !run.only_xmdf_inputs) {
        console().line();
        console().line("WARNING - Ensight conversion not fully supported for .dat files.");
    }
}

void cap_memory(const RunState& run) {
    std::vector<std::string> names = run.cl.input_names;
    if (run.from_sup) names.push_back(run.sup.sup_file);
    util::cap_memory(names);
}

}  // namespace zorvel::driver
