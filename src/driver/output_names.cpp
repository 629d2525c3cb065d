#include "driver/output_names.hpp"

#include <algorithm>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "driver/checks.hpp"
#include "driver/ends.hpp"
#include "util/console.hpp"
#include "util/file_io.hpp"
#include "util/final_names.hpp"
#include "util/numbers.hpp"
#include "util/paths.hpp"
#include "util/run_files.hpp"
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

// The mesh that input i is read with: the one its record names once the data types are
// set (the opener may have been given another), else the one it will name.
std::string mesh_read(const RunState& run, std::int32_t i) {
    const std::string named = run.inputs.size() >= static_cast<std::size_t>(i)
                                  ? util::trimmed(run.input(i).mesh_file)
                                  : std::string();
    return named.empty() ? mesh_of(run, i) : named;
}

// Every file that the run reads: the ".sup" list, the inputs, the meshes that its operation
// reads and the water-level companions of a difference with the wet/dry test.
std::vector<std::string> files_read(const RunState& run) {
    std::vector<std::string> files;
    if (run.from_sup) files.push_back(util::trimmed(run.sup.sup_file));
    for (std::int32_t i = 1; i <= run.n_inputs(); ++i) files.push_back(util::trimmed(run.input_name(i)));
    if (run.inputs.size() < static_cast<std::size_t>(run.n_inputs()) || run.n_inputs() < 1) return files;
    bool any_levels = false;
    for (std::int32_t i = 1; i <= run.n_inputs(); ++i) any_levels = any_levels || is_water_level_input(run, i);
    switch (run.op) {
    case Operation::max:
    case Operation::min:
        if (any_levels) files.push_back(mesh_read(run, 1));
        break;
    case Operation::avg:
        if (is_water_level_input(run, 1)) files.push_back(mesh_read(run, 1));
        break;
    case Operation::ensight: files.push_back(mesh_read(run, 1)); break;
    case Operation::dif:
        // Without -nowetdry both meshes are read, and the companions of ".dat" inputs that
        // hold other data than water levels (none when input 1 holds water levels).
        if (run.cl.nowetdry || run.n_inputs() < 2) break;
        for (std::int32_t i = 1; i <= 2; ++i) files.push_back(mesh_read(run, i));
        if (is_water_level_input(run, 1)) break;
        for (std::int32_t i = 1; i <= 2; ++i)
            if (run.input(i).input_is_dat && !is_water_level_input(run, i))
                files.push_back(water_level_companion(util::trimmed(run.input_name(i))));
        break;
    default: break;
    }
    return files;
}

// True when the file name (without folder) is the base followed by "." and four digits.
bool numbered_name(std::string_view name, std::string_view base) {
    if (name.size() != base.size() + 5 || name.substr(0, base.size()) != base || name[base.size()] != '.')
        return false;
    return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(base.size()) + 1, name.end(),
                       [](char c) { return c >= '0' && c <= '9'; });
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
    refuse_outputs_read(run, std::span<const std::string>(&path, 1));
}

void refuse_outputs_read(const RunState& run, std::span<const std::string> paths) {
    const std::vector<std::string> read = files_read(run);
    for (const std::string& path : paths) {
        util::refuse_unwritable_output(path);
        for (const std::string& file : read)
            if (util::same_file(path, file)) util::output_is_input(path);
        // Files read later (a name typed at a prompt, a mesh found only once the inputs are
        // open) are compared with it as they are opened.
        util::note_output(path);
    }
}

void refuse_numbered_outputs_read(const RunState& run, std::string_view folder,
                                  std::span<const std::string> bases) {
    const std::vector<std::string> read = files_read(run);
    // The folder as a normalised name reaches it: through a name in it.
    const std::filesystem::path dir = std::filesystem::path(util::normalised(std::string(folder) + "_")).parent_path();
    const auto numbered = [&](const std::string& name) {
        return std::any_of(bases.begin(), bases.end(), [&](const std::string& b) { return numbered_name(name, b); });
    };
    std::vector<util::FileId> ids;
    for (const std::string& file : read) {
        const std::filesystem::path p(util::normalised(file));
        if (p.parent_path() == dir && numbered(p.filename().string()))
            util::output_is_input(std::string(folder) + p.filename().string());
        util::FileId id;
        if (util::file_id(file, id)) ids.push_back(id);
    }
    // A file of the folder under such a name may be a file read under another name.
    std::error_code ec;
    for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        util::FileId id;
        if (!numbered(name) || !util::file_id(it->path().string(), id)) continue;
        if (std::find(ids.begin(), ids.end(), id) != ids.end()) util::output_is_input(std::string(folder) + name);
        util::refuse_unwritable_output(std::string(folder) + name);
    }
}

}  // namespace zorvel::driver
