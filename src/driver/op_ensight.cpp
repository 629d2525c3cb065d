// -ensight: the mesh of the primary input and its results as an EnSight Gold file set
// (geometry, log and variable files: results/ensight.hpp), tied together by the case file
// written here. Every file goes into the mesh's folder; the case file names the others
// without a folder, so the set opens from wherever it is moved to. The files' names are
// those below with every character that a case-file line cannot hold unquoted (a blank,
// among others) as "_" (results::ensight_name): "my run_h.dat" writes my_run_h.0001.
//
// Exported: every scalar and then every vector dataset of the first ".xmdf" input, or every
// record of every ".dat" input (temporal records numbered .0001 ..., a stored maximum as
// <name>Max.0001, a minimum as <name>Min.0001, times of peak as <name>_tHMax.0001 and
// <name>_tVMax.0001).
//
// Case file "<mesh>.case":
//   FORMAT / type: ensight gold / GEOMETRY / model: <mesh>_text.geo / VARIABLE
//   one line per variable: "scalar per node: " (or "vector", or "per element") then
//     static:     <description> <file>.0001
//     transient:  <time set> <description> <base>.****
//   descriptions are one word, each used once (a repeat gets "_2", "_3", ...), never
//   beginning with a digit (such a one gets "_" ahead: a reader takes it for a time set)
//   four time constants of time set 1, days, hours, minutes and seconds of each step:
//     one step:   "constant per case:         1 day " E12.5
//     more:       "constant per case file:    1 day <mesh>_day.txt" (one E12.5 a line)
//   "constant per case:         Xref  " E12.5 xmin, likewise Yref
//   TIME, then per time set: "time set:               <n>", "number of steps: " I10,
//     "filename start number:  1", "filename increment:     1", "time values:", E12.5 lines
// One time set per distinct list of output times, numbered in order of first use; a set
// with no transient variable gets time set 1 of one step at time 0.

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "driver/checks.hpp"
#include "driver/ends.hpp"
#include "driver/operations.hpp"
#include "driver/output_names.hpp"
#include "driver/step_copy.hpp"
#include "driver/step_reader.hpp"
#include "results/dat.hpp"
#include "results/ensight.hpp"
#include "results/mesh_2dm.hpp"
#include "results/res_ops.hpp"
#include "util/console.hpp"
#include "util/numbers.hpp"
#include "util/paths.hpp"
#include "util/text.hpp"
#include "util/units.hpp"
#include "xmdf_read/map_types.hpp"
#include "xmdf_read/search.hpp"

namespace zorvel::driver {

namespace {

using util::console;
using util::line_after_gap;

constexpr std::size_t kLeafLen = 40;

// One number as an E12.5 field.
std::string e12(double v) {
    char field[12];
    return std::string(field, util::put_e_field(field, v, 12, 5));
}

// One number as an I10 field.
std::string i10(std::int64_t v) {
    char field[10];
    return std::string(field, util::put_integer_field(field, v, 10));
}

// The text with every blank replaced by "_".
std::string blanks_to_underscores(std::string text) {
    std::replace(text.begin(), text.end(), ' ', '_');
    return text;
}

// The text as one word of a case-file line: every blank or control character as "_".
std::string one_word(std::string text) {
    for (char& c : text)
        if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7f) c = '_';
    return text;
}

// The case file while the export runs: its unit, the folder every file of the set goes
// into, the time sets in order of first use and the descriptions already used.
class CaseFile {
public:
    CaseFile(std::string folder, std::string mesh_name) : folder_(std::move(folder)), mesh_(std::move(mesh_name)) {}

    // Opens the case file and writes its head.
    void open() {
        std::string name = folder_ + mesh_ + ".case";
        util::OPENFILE(unit_, "O ", name);
        line("FORMAT");
        line("type: ensight gold");
        line("GEOMETRY");
        line("model: " + mesh_ + "_text.geo");
        line("VARIABLE");
    }

    // A line of the case file.
    void line(std::string_view text) const { util::unit_line(unit_, text); }

    // The folder of the set, with its separator ("" for the working folder).
    const std::string& folder() const { return folder_; }
    // The mesh file's name without its folder.
    const std::string& mesh() const { return mesh_; }

    // The number of the time set that holds the times, made when none does yet.
    std::size_t time_set(const std::vector<float>& times) {
        const auto found = std::find(sets_.begin(), sets_.end(), times);
        if (found != sets_.end()) return static_cast<std::size_t>(found - sets_.begin()) + 1;
        sets_.push_back(times);
        return sets_.size();
    }

    // The description as the case file lists it: one word, not used before, that a reader
    // cannot take for a time set number ("_" ahead of a leading digit or signed digit).
    std::string description(std::string_view text) {
        std::string word = one_word(util::trimmed(text));
        const auto digit = [&](std::size_t k) { return k < word.size() && word[k] >= '0' && word[k] <= '9'; };
        const bool sign = !word.empty() && (word[0] == '+' || word[0] == '-');
        if (digit(0) || (sign && digit(1))) word.insert(0, 1, '_');
        std::string unique = word;
        for (int k = 2; std::find(used_.begin(), used_.end(), unique) != used_.end(); ++k)
            unique = word + "_" + std::to_string(k);
        used_.push_back(unique);
        return unique;
    }

    // A static variable: its file named once.
    void static_variable(bool vector, bool per_element, std::string_view description, std::string_view file) {
        line(kind(vector, per_element) + this->description(description) + " " + std::string(file));
    }

    // A transient variable over the times, its files <base>.0001 ...
    void transient_variable(bool vector, bool per_element, std::string_view description, std::string_view base,
                            const std::vector<float>& times) {
        const std::size_t set = time_set(times);
        line(kind(vector, per_element) + std::to_string(set) + " " + this->description(description) + " " +
             std::string(base) + ".****");
    }

    // The time constants, the coordinate shift and the time sets; closes the file.
    void finish(double xmin, double ymin) {
        if (sets_.empty()) sets_.push_back({0.0f});
        write_time_constants(sets_.front());
        line_after_gap("Writing x and y references to casefile.");
        console().line();
        line("constant per case:         Xref  " + e12(xmin));
        line("constant per case:         Yref  " + e12(ymin));
        line_after_gap("Writing times to casefile.");
        console().line();
        line("TIME");
        for (std::size_t k = 0; k < sets_.size(); ++k) {
            line("time set:               " + std::to_string(k + 1));
            line("number of steps: " + i10(static_cast<std::int64_t>(sets_[k].size())));
            line("filename start number:  1");
            line("filename increment:     1");
            line("time values:");
            for (float t : sets_[k]) line(e12(t));
        }
        util::CLOSER(unit_);
    }

private:
    // The start of a variable line.
    static std::string kind(bool vector, bool per_element) {
        return std::string(vector ? "vector" : "scalar") + (per_element ? " per element: " : " per node: ");
    }

    // Days, hours, minutes and seconds of every time of the set, one list per constant.
    void write_time_constants(const std::vector<float>& times) {
        std::vector<float> parts[4];
        for (float t : times) {
            float days = 0.0f, hours = 0.0f, minutes = 0.0f, seconds = 0.0f;
            float r = t;
            if (t / 24.0f > 1.0f) {
                days = std::trunc(t / 24.0f);
                r = std::fmod(t, 24.0f);
            }
            float m = 60.0f * r;
            if (r > 1.0f) {
                hours = std::trunc(r);
                m = 60.0f * (r - hours);
            }
            float s = 60.0f * m;
            if (m > 1.0f) {
                minutes = std::trunc(m);
                s = 60.0f * (m - minutes);
            }
            seconds = s < 0.1f ? 0.0f : s;
            parts[0].push_back(days);
            parts[1].push_back(hours);
            parts[2].push_back(minutes);
            parts[3].push_back(seconds);
        }
        static constexpr const char* kNames[] = {"day", "hrs", "min", "sec"};
        for (int k = 0; k < 4; ++k) {
            const std::vector<float>& values = parts[k];
            if (values.size() == 1) {
                line(std::string("constant per case:         1 ") + kNames[k] + " " + e12(values.front()));
                continue;
            }
            const std::string file = mesh_ + "_" + kNames[k] + ".txt";
            std::string name = folder_ + file;
            int unit = 0;
            util::OPENFILE(unit, "O ", name);
            for (float v : values) util::unit_line(unit, e12(v));
            util::CLOSER(unit);
            line(std::string("constant per case file:    1 ") + kNames[k] + " " + file);
        }
    }

    int unit_ = 0;
    std::string folder_;
    std::string mesh_;
    std::vector<std::vector<float>> sets_;
    std::vector<std::string> used_;
};

// Reads input 1's mesh into geom_; for finite-volume results (one value per element) every
// variable is then written per element.
void read_mesh(RunState& run) {
    line_after_gap("Need to read 2dm file.");
    int unit = open_mesh(run.input(1));
    line_after_gap("Scanning geometry...");
    results::MESH_TYPE& mesh = run.geom_;
    results::SCAN2DM(unit, mesh);
    console().line("   Finished scanning geometry.");
    if (run.res_.is_fv) {
        line_after_gap("Allocating RAM for reading geometry");
        // Nodes as the mesh has them; one element for each of the results' values.
        results::CHECK_ALLOC(results::allocate_array(mesh.NODES, mesh.nnodes));
        results::CHECK_ALLOC(results::allocate_array(mesh.CELLS, run.n_cells));
        results::CHECK_ALLOC(results::allocate_array(mesh.part_names, 1));
        mesh.high_res = true;
    } else {
        size_mesh(mesh, run.n_nodes, run.n_cells);
    }
    results::READ2DM(unit, mesh);
    util::CLOSER(unit);
}

// The leaf name of a dataset path: after its last "/", cut to 40, blanks as "_".
std::string leaf_name(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    const std::string_view leaf = slash == std::string_view::npos ? path : path.substr(slash + 1);
    return blanks_to_underscores(util::fit(leaf, kLeafLen));
}

// The base name of a dataset's variable files: the path with "/" as "_", ">" as "Above" and
// every blank or other character that cannot stand in a case-file line or file name as "_".
std::string base_name(std::string_view path) {
    return results::ensight_name(util::REPLACEALL(util::REPLACEALL(util::trimmed(path), "/", "_"), ">", "Above"));
}

// The name of a ".dat" input's variable files: its file name without folder and extension,
// as a case-file line can hold it.
std::string dat_base_name(std::string_view input) { return results::ensight_name(util::FILENAME(input)); }

// The description prefix of a static dataset of an ".xmdf" input.
std::string static_prefix(std::string_view base, bool vector) {
    if (util::FLAGEXISTS(base, "Maximums")) return "Max_";
    if (util::FLAGEXISTS(base, "Minimums")) return "Min_";
    if (!vector && util::FLAGEXISTS(base, "Fixed")) return "Fixed_";
    return "";
}

// Every scalar, then every vector dataset of the first ".xmdf" input, one variable file per
// dataset and output time.
void export_xmdf(RunState& run, CaseFile& set) {
    const std::int32_t file_number = run.input(1).xmdf_index;
    const bool per_element = results::ensight_per_element(run.geom_, run.res_);
    for (const bool vector : {false, true}) {
        const char* kind = vector ? "vector" : "scalar";
        xmdf_read::DatasetList& list = run.xmdf.file(file_number).list(vector);
        line_after_gap(std::string("Processing all ") + kind + " datasets, total number: " +
                       util::AINTEGER(list.n_paths));
        for (std::int32_t j = 1; j <= list.n_paths; ++j) {
            line_after_gap(std::string("Processing ") + kind + " datasets number " + util::AINTEGER(j));
            list.selected_dataset = j;
            const std::string path = util::trimmed(list.paths[static_cast<std::size_t>(j - 1)]);
            console().line("Datasets Name: " + path);
            const std::string description = util::fit(path, results::kEnsightDescriptionLen);
            const std::string leaf = leaf_name(path);
            const std::string base = base_name(path);
            console().line("Output dataset name " + base);

            xmdf_read::GET_XMDF_NUM_TIMES(run.xmdf, true, file_number, vector, j);
            if (list.n_times > results::kMaxEnsightSteps) results::too_many_ensight_steps();
            xmdf_read::GET_XMDF_TIMES(run.xmdf, true, file_number, vector, j);
            std::vector<float> times;
            for (std::int32_t k = 0; k < list.n_times; ++k)
                times.push_back(static_cast<float>(list.output_times[static_cast<std::size_t>(k)]));
            if (times.empty()) {
                line_after_gap("WARNING - Dataset has no output times, no ensight output written.");
                continue;
            }
            if (times.size() == 1)
                set.static_variable(vector, per_element, static_prefix(base, vector) + leaf, base + ".0001");
            else
                set.transient_variable(vector, per_element, leaf, base, times);

            run.res_.is_vector = vector;
            StepReader reader(run, 1, vector);
            while (reader.next(run.res_))
                results::ENSIGHTVARIABLE(run.geom_, run.res_,
                                         results::ENSIGHTFILENAME(set.folder() + base, reader.step()), description);
            console().line("Finished Processing Dataset.");
        }
    }
}

// The base names of the set's series of variable files: one per dataset of the first
// ".xmdf" input, or one per ".dat" input (its name without folder and extension).
std::vector<std::string> series_bases(const RunState& run) {
    std::vector<std::string> bases;
    if (run.only_xmdf_inputs) {
        const xmdf_read::XmdfFile& file = run.xmdf.file(run.input(1).xmdf_index);
        for (const bool vector : {false, true})
            for (const std::string& path : file.list(vector).paths) bases.push_back(base_name(path));
    } else {
        for (std::int32_t i = 1; i <= run.n_inputs(); ++i) bases.push_back(dat_base_name(run.input_name(i)));
    }
    return bases;
}

// Ends the run before anything is written when two series of the set would write files of
// the same name (two ".dat" inputs of one name from different folders, or two dataset paths
// that come to one base name), so that no series overwrites another's files. Names compare
// without regard to case, as they do on the systems the set may be moved to.
void refuse_shared_names(RunState& run) {
    std::vector<std::string> seen;
    for (const std::string& base : series_bases(run)) {
        std::string key = util::UPPERCASE(base);
        if (std::find(seen.begin(), seen.end(), key) != seen.end())
            end_exits("\nERROR - Two series would write the same ensight files: " + base);
        seen.push_back(std::move(key));
    }
}

// Ends the run before anything is written when a file of the set would be a file that the
// run reads: the geometries and their logs, the case file and its time lists, and the
// variable files of every series.
void refuse_set_outputs_read(const RunState& run, const std::string& folder, const std::string& mesh_name) {
    const std::string mesh = folder + mesh_name;
    std::vector<std::string> files = {mesh + "_text.geo", mesh + "_text.geo.log", mesh + "_binary.geo",
                                      mesh + "_binary.geo.log", folder + mesh_name + ".case"};
    for (const char* constant : {"_day.txt", "_hrs.txt", "_min.txt", "_sec.txt"})
        files.push_back(folder + mesh_name + constant);
    refuse_outputs_read(run, files);
    // A ".dat" series also writes its stored extremes and times of peak under names of their own.
    std::vector<std::string> bases;
    for (const std::string& base : series_bases(run)) {
        bases.push_back(base);
        if (!run.only_xmdf_inputs)
            for (const char* tail : {"Max", "Min", "_tHMax", "_tVMax"}) bases.push_back(base + tail);
    }
    refuse_numbered_outputs_read(run, folder, bases);
}

// The dataset type name of a ".dat" input: the description of its data type's row of the
// map output types (the last row whose code matches), else the input's name.
std::string dat_type_name(const RunState& run, std::int32_t i) {
    std::string code = util::trimmed(run.input(i).data_type);
    if (!code.empty() && code.front() == '_') code.erase(0, 1);
    const int row = xmdf_read::map_type_by_code(util::fit(code, util::kTypeCodeLen));
    if (row > 0) return std::string(xmdf_read::map_type_description(row));
    return util::trimmed(run.input_name(i));
}

// Ends the run before input i's first variable file when it has more temporal records than
// its files can be numbered.
void check_dat_steps(RunState& run, std::int32_t i) {
    const std::size_t k = static_cast<std::size_t>(i - 1);
    if (run.next_card[k] != results::kCardTimeRecord) return;
    const std::vector<float> times = results::remaining_record_times(run.units[k], run.input(i).input_is_vector,
                                                                     run.n_nodes, run.n_cells);
    const auto temporal = std::count_if(times.begin(), times.end(), [](float t) {
        return util::FLAGEXISTS(results::TIMELABEL(t), "Temporal");
    });
    if (temporal > results::kMaxEnsightSteps) results::too_many_ensight_steps();
}

// Every record of every ".dat" input: a numbered file per temporal record, a fixed name per
// stored extreme or time of peak; a record of any other time is skipped with a warning.
void export_dat(RunState& run, CaseFile& set) {
    const bool per_element_mesh = results::ensight_per_element(run.geom_, run.res_);
    for (std::int32_t i = 1; i <= run.n_inputs(); ++i) {
        const std::string& input = run.input_name(i);
        line_after_gap("Processing File: " + util::trimmed(input));
        const std::string name = dat_base_name(input);
        const std::string description =
            util::fit(util::FILENAME(input) + "_" + dat_type_name(run, i), results::kEnsightDescriptionLen);
        const bool vector = run.input(i).input_is_vector;
        check_dat_steps(run, i);

        std::vector<float> times;
        struct Static {
            std::string prefix;
            std::string file;
        };
        std::vector<Static> statics;
        StepReader reader(run, i, vector);
        while (reader.next(run.res_)) {
            const std::string label = results::TIMELABEL(run.res_.time);
            const bool temporal = util::FLAGEXISTS(label, "Temporal");
            std::string file;
            std::string prefix;
            if (temporal) {
                times.push_back(run.res_.time);
                file = results::ENSIGHTFILENAME(name, static_cast<std::int32_t>(times.size()));
            } else if (util::FLAGEXISTS(label, "Maximum")) {
                file = name + "Max.0001";
                prefix = "Max_";
            } else if (util::FLAGEXISTS(label, "Minimum")) {
                file = name + "Min.0001";
                prefix = "Min_";
            } else if (util::FLAGEXISTS(label, "Time of Peak h")) {
                file = name + "_tHMax.0001";
            } else if (util::FLAGEXISTS(label, "Time of Peak V")) {
                file = name + "_tVMax.0001";
            } else {
                line_after_gap("WARNING - Unexpected time, skip ensight write.");
                continue;
            }
            results::ENSIGHTVARIABLE(run.geom_, run.res_, set.folder() + file, description);
            const auto same = [&](const Static& s) { return s.file == file; };
            if (!temporal && std::none_of(statics.begin(), statics.end(), same)) statics.push_back({prefix, file});
        }
        if (!times.empty()) set.transient_variable(vector, per_element_mesh, description, name, times);
        for (const Static& s : statics) set.static_variable(vector, per_element_mesh, s.prefix + description, s.file);
    }
}

}  // namespace

void run_ensight(RunState& run) {
    if (!run.only_dat_inputs && !run.only_xmdf_inputs)
        end_exits("\nERROR - Must specify all .dat or all .xmdf files for export to ensight.");
    if (run.input(1).input_is_xmdf) {
        line_after_gap("Converting xmdf file to ensight text format.");
        warn_one_input(run, "WARNING - Only one file used for -ensight option");
    } else {
        line_after_gap("Converting .dat file(s) to ensight text format.");
        if (run.n_inputs() > 1) {
            char field[4];
            line_after_gap("Number of .dat files: " +
                           std::string(field, util::put_integer_field(field, run.n_inputs(), 4)));
        }
    }

    refuse_shared_names(run);
    read_mesh(run);
    const std::string mesh = util::trimmed(run.input(1).mesh_file);
    CaseFile set(util::FILEFOLDERPATH(mesh), results::ensight_name(util::FILENAMEEXT(mesh)));
    refuse_set_outputs_read(run, set.folder(), set.mesh());
    results::ENSIGHTGEOTEXT(run.geom_, set.folder() + set.mesh() + "_text.geo");
    results::ENSIGHTGEOBINARY(run.geom_, set.folder() + set.mesh() + "_binary.geo");
    set.open();
    if (run.only_xmdf_inputs)
        export_xmdf(run, set);
    else
        export_dat(run, set);
    set.finish(run.geom_.xmin, run.geom_.ymin);
    util::move_outputs_into_place();

    line_after_gap("Finished.");
    console().line();
    end_normal(run.cl.batch);
}

}  // namespace zorvel::driver
