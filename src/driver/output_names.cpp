#include "driver/output_names.hpp"

#include <filesystem>
#include <string>
#include <string_view>

#include "driver/ends.hpp"
#include "util/console.hpp"
#include "util/file_io.hpp"
#include "util/numbers.hpp"
#include "util/paths.hpp"
#include "util/text.hpp"
#include "util/units.hpp"
#include "xmdf_read/map_types.hpp"

namespace zorvel::driver {

namespace {

using util::console;

// What an operation names: the output's suffix, its folder and its dataset.
struct Naming {
    std::string suffix;
    std::string folder;
    std::string dataset;
};

// The naming of the first operation of the naming order that is set.
Naming naming_for(const RunState& run) {
    const CommandLine& cl = run.cl;
    const std::string first = cl.input_names.empty() ? std::string() : cl.input_names.front();
    const std::string t = util::AREAL(cl.target_time);
    const std::string op_text(util::rtrim(cl.op_text));
    if (cl.op_remove) return {"(r" + t + ")", "Remove", ""};
    if (cl.op_keep) return {"(k" + t + ")", "Keep", "Keep " + util::FILENAME(first)};
    if (cl.op_con) return {"(con)", "Concatenate", ""};
    if (cl.op_max) return {"(maxmax)", "MaxMax", "Max Value"};
    if (cl.op_min) return {"(minmin)", "MinMin", "Min Value"};
    if (cl.op_avg) return {"(avg)", "Avg", "Avg Value"};
    if (cl.range_a_given) {
        const std::string dataset = cl.type_given ? util::trimmed(cl.type_desc)
                                                  : "Range " + util::FILENAME(first);
        return {"(range)", "Range", dataset};
    }
    if (cl.op_dif) {
        const std::string b1 = util::FILENAME(cl.input_names.at(0));
        const std::string b2 = util::FILENAME(cl.input_names.at(1));
        return {"", "Difference", "diff_" + b1 + " - " + b2};
    }
    if (cl.op_ddur) return {};
    if (cl.op_dur) return {"(" + op_text + ")", "Duration", op_text};
    if (cl.op_trim) return {"(" + op_text + ")", "Trim", op_text};
    if (cl.op_toi) return {"(toi)", "Time to", "Time to Increase " + util::AREAL(cl.cutoff)};
    return {};
}

// A -dif or -ddur output: a third name names it (after a warning and a pause when -out
// named it too) and leaves two inputs; two names without -out give "<1> - <2>".
void name_difference_output(RunState& run, results::OutputDescription& out) {
    CommandLine& cl = run.cl;
    if (cl.n_inputs == 3) {
        if (cl.out_given) {
            console().line();
            console().line("WARNING - More than two files specifed for -dif or -ddur option with -out option.");
            console().line();
            util::PAUSESIMULATION();
        }
        out.out_path = name_field(util::FILENAMEPATH(cl.input_names[2]));
        cl.n_inputs = 2;
        cl.input_names.resize(2);
    } else if (cl.n_inputs == 2 && !cl.out_given) {
        out.out_path = name_field(util::FILENAME(cl.input_names[0]) + " - " + util::FILENAME(cl.input_names[1]));
    }
}

// The name as the file system resolves it: separators turned, "." and ".." folded away,
// made absolute from the current folder.
std::string normalised(std::string_view name) {
    std::error_code ec;
    const std::filesystem::path p(util::os_name(util::TRIMF(name)));
    std::filesystem::path full = std::filesystem::absolute(p, ec);
    if (ec) full = p;
    return full.lexically_normal().string();
}

// True when the two names are the same file: by identity when both exist, by their
// normalised names when neither does.
bool same_file(std::string_view a, std::string_view b) {
    util::FileId ia, ib;
    const bool has_a = util::file_id(util::TRIMF(a), ia);
    const bool has_b = util::file_id(util::TRIMF(b), ib);
    if (has_a || has_b) return has_a && has_b && ia == ib;
    return normalised(a) == normalised(b);
}

}  // namespace

std::string name_field(std::string_view value) { return util::fit(value, util::kNameLen); }

std::string dat_dataset_name(const InputRecord& in) {
    const std::string_view type = in.data_type;
    const std::string code = util::fit(util::trimmed(type.substr(type.empty() ? 0 : 1)), util::kTypeCodeLen);
    const int row = xmdf_read::map_type_by_code(code);
    return row > 0 ? std::string(xmdf_read::map_type_description(row)) : code;
}

void name_output(RunState& run) {
    CommandLine& cl = run.cl;
    if (run.op == Operation::conv) {
        console().line();
        console().line("-conv found, output name based on conversion.");
        return;
    }
    run.outputs.assign(1, results::OutputDescription{});
    results::OutputDescription& out = run.output();
    out.to_xmdf = out.to_dat = out.to_text = false;

    const std::string& first = cl.input_names.front();
    out.out_path = name_field(util::FILENAMEPATH(first));
    out.results_name = name_field(util::FILENAME(first));
    if (cl.out_given) {
        out.out_path = name_field(util::rtrim(cl.user_out_name));
        out.user_named = true;
    }

    const Naming naming = naming_for(run);
    if (!cl.out_given && !naming.suffix.empty())
        out.out_path = name_field(util::trimmed(out.out_path) + naming.suffix);
    out.folder_name = name_field(naming.folder);
    out.dataset_name = name_field(naming.dataset);

    if (cl.op_dif || cl.op_ddur) {
        name_difference_output(run, out);
    } else if (cl.op_times) {
        if (!cl.out_given) out.out_path = name_field("times.txt");
        out.to_text = true;
    } else if (cl.op_xnfo) {
        out.to_text = true;
    } else if (cl.op_ensight) {
        out.to_text = true;
        console().line();
        console().line("-ensight found, output name based on conversion.");
    }
}

void refuse_output_as_input(const RunState& run) {
    // These operations name their outputs themselves, later in the run.
    if (run.outputs.empty() || run.op == Operation::va || run.op == Operation::xnfo ||
        run.op == Operation::ensight)
        return;
    refuse_named_output(run, run.output());
}

void refuse_named_output(const RunState& run, const results::OutputDescription& out) {
    const std::string path(util::rtrim(out.out_path));
    for (std::int32_t i = 1; i <= run.n_inputs(); ++i) {
        if (same_file(path, run.input_name(i)))
            end_exits("\nERROR - Output file is also an input file: \"" + path + "\"");
    }
}

}  // namespace zorvel::driver
