#include "driver/command_line.hpp"

#include <algorithm>
#include <charconv>
#include <cfloat>
#include <cmath>
#include <string_view>
#include <system_error>

#include "driver/ends.hpp"
#include "util/console.hpp"
#include "util/numbers.hpp"
#include "util/run_end.hpp"
#include "util/text.hpp"
#include "xmdf_read/map_types.hpp"

namespace zorvel::driver {

namespace {

constexpr std::size_t kOpTextLen = 100;  // field of op_text

// What a flag row does when its test is true.
enum class Flag {
    mesh, conv, con, max, min, avg, dif, dur, ddur, trim, toi, batch, keep, out, range_a,
    range_b, remove, times, path, type, t, ts, va, xnfo, nowetdry, ensight, dttol, scalar,
    vector, ignore_mm,
};

enum class Test { contains, equals };

// One flag row: its name, how it is tested against a window of `width` characters after
// the prefix, and the character (counting the prefix as character 1) a glued number starts at.
struct Row {
    std::string_view name;
    Test test;
    std::size_t width;
    Flag flag;
    std::size_t value_at;  // 0: no glued number
};

// Tested in this order; the first true row takes the word.
constexpr Row kRows[] = {
    {"2dm", Test::equals, 3, Flag::mesh, 0},
    {"conv", Test::contains, 4, Flag::conv, 0},
    {"con", Test::contains, 3, Flag::con, 0},
    {"max", Test::contains, 3, Flag::max, 0},
    {"min", Test::contains, 3, Flag::min, 0},
    {"avg", Test::contains, 3, Flag::avg, 0},
    {"dif", Test::contains, 3, Flag::dif, 0},
    {"dur", Test::contains, 3, Flag::dur, 5},
    {"ddur", Test::contains, 4, Flag::ddur, 6},
    {"trim", Test::contains, 4, Flag::trim, 6},
    {"toi", Test::contains, 4, Flag::toi, 5},
    {"b", Test::contains, 1, Flag::batch, 0},
    {"k", Test::contains, 1, Flag::keep, 3},
    {"out", Test::contains, 3, Flag::out, 0},
    {"rangeA", Test::contains, 6, Flag::range_a, 8},
    {"rangeB", Test::contains, 6, Flag::range_b, 8},
    {"r", Test::contains, 1, Flag::remove, 3},
    {"times", Test::contains, 5, Flag::times, 0},
    {"path", Test::contains, 4, Flag::path, 0},
    {"type", Test::equals, 4, Flag::type, 0},
    {"t", Test::contains, 1, Flag::t, 3},
    {"ts", Test::contains, 2, Flag::ts, 3},  // never reached: the row "t" takes its words
    {"va", Test::contains, 2, Flag::va, 0},
    {"xnfo", Test::contains, 4, Flag::xnfo, 0},
    {"nowetdry", Test::contains, 8, Flag::nowetdry, 0},
    {"ensight", Test::contains, 8, Flag::ensight, 0},
    {"dttol", Test::contains, 5, Flag::dttol, 7},
    {"s", Test::contains, 1, Flag::scalar, 3},
    {"v", Test::contains, 1, Flag::vector, 3},
    {"ignore_mm", Test::contains, 9, Flag::ignore_mm, 0},
};

constexpr std::string_view kReadError =
    "ERROR - Reading time for keep or remove argument, or cutoff depth for duration";

constexpr std::string_view kUsage[] = {
    "Performs various operations on KESTRA .dat files and outputs a new .dat file",
    "",
    "  Flags:",
    "     \"-b\" batch mode, no Enter key required when finished",
    "     \"-conv\" convert between .dat and .xmdf files",
    "     \"-con\" concatenate multiple files into one",
    "     \"-dif\" takes the difference between two .dat files.",
    "          An optional third .dat file is used for the output filename.",
    "        \"Specifying -nowetdry\" for -dif option does not carry out wet/dry test using _h.dat file",
    "     \"-ddur<cutoff_value>\" determines the difference in inundation duration in hours up to the -t time",
    "          The -t<time> flag must be used to set the time when the duration difference is calculated",
    "          cutoff_value is used to remove points where the flood has not started to fall",
    "            and to handle points that are stagnant at the -t time.",
    "            The hydrograph must fall by the cutoff_value after the peak, and the level ",
    "            used to determine the difference is the level at the -t time",
    "            plus the cutoff_value.  Typically specify a value of, say 0.1m.",
    "          An optional third .dat file is used for the output filename.",
    "     \"-dur<cutoff_value>\" determines the duration in hours the cutoff value is exceeded",
    "     \"-k<time>\" keeps only data for time <time>",
    "     \"-out\" \"<file.dat>\" specifies the output .dat filename.",
    "          Must be a space between -out and filename.  Use quotes if spaces in filename.",
    "     \"-max\" determines the maximum value in all the .dat files",
    "     \"-r<time>\" removes data for time <time>",
    "     \"-t<time>\" applies only to time <time> for the -dif and -max options.",
    "          Also required for the -ddur option (see above). ",
    "     \"-times\" displays and exports the times in the .dat file",
    "     \"-trim<cutoff_value>\" trims any values to the cutoff value (useful for large velocities)",
    "     \"-va\" outputs the flow angle in degrees (N=0, E=90, W=-90, S=180/-180)",
    "     \"-avg\" extracts the average value from all the .dat/.xmdf timesteps",
    "  Range Flags:",
    "     Create a new results file with only range of times.",
    "     Can be used to crop large results file into smaller files.",
    "     \"-rangeA<first time>\" set the first time to keep",
    "     \"-rangeB<last time>\" set the last time to keep",
    "     No space between rangeA/rangeB and the time",
    "",
    "  XMDF Flags:",
    "     -type<output type> to convert a specific output type.",
    "     output types should as specified in the .kcf eg. h, V, q, or d",
    "      For example -typeH to convert water levels.",
    "",
    "     -s<id>\"<output id (integer)>\" to use the specified scalar dataset.",
    "     -s1 will convert the first scalar dataset in the .xmdf file.",
    "",
    "     -v<id>\"<output id (integer)>\" to use the specified vector dataset.",
    "     -v2 will convert the second vector dataset in the .xmdf file.",
    "",
    "     -path\"<path name>\" the datasets are specified via the dataset or folder name.",
    "     -path\"Max Value\" will use the dataset called Max Value.",
    "     -path\"MaxMax/Max Value\" will use the dataset Max Value in folder MaxMax.",
    "",
    "  File 1:  Primary .dat file.",
    "  File 2 onwards (-con, -dif, -ddur, -k, -max, -r flags):  Secondary .dat file(s).",
    "",
    "Example:  zorvel.exe -k99999 run_h.dat",
    "            Will create a new.dat file with only the data for the 99999 time.",
    "Example:  zorvel.exe -rangeA1 -rangeB27.5 run_h.dat",
    "            Will create a new.dat file with only the data between time 1 and time 27.5.",
    "Example:  zorvel.exe -rangeA1 -rangeB27.5 -out run_h_extract.dat run_h.dat",
    "            As above but will output to .dat file called run_h_extract.dat.",
    "",
};

// The word after its flag prefix, or false when the word is not a flag.
bool flag_body(std::string_view arg, std::string_view& body) {
    if (arg.size() >= 3 && arg[0] == '\xE2' && arg[1] == '\x80' && arg[2] == '\x93') {
        body = arg.substr(3);
        return true;
    }
    if (!arg.empty() && (arg[0] == '-' || arg[0] == '\x96')) {
        body = arg.substr(1);
        return true;
    }
    return false;
}

// The first row whose test is true for the word after its prefix, or nullptr.
const Row* match_row(std::string_view body) {
    for (const Row& row : kRows) {
        const std::string_view window = body.substr(0, std::min(row.width, body.size()));
        const bool hit = row.test == Test::equals ? util::ASAME(window, row.name)
                                                  : util::FLAGEXISTS(window, row.name);
        if (hit) return &row;
    }
    return nullptr;
}

// The text from the given character of the word (the prefix is character 1) to its end.
std::string_view from_character(std::string_view body, std::size_t character) {
    const std::size_t offset = character - 2;
    return offset < body.size() ? body.substr(offset) : std::string_view();
}

// The first field of a free-form value: leading blanks skipped, ended by a blank or comma.
std::string_view first_field(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    std::size_t j = i;
    while (j < text.size() && text[j] != ' ' && text[j] != '\t' && text[j] != ',') ++j;
    return text.substr(i, j - i);
}

// Reads a real as list-directed input takes it (see util::real_number_text) from the
// first field of the text; a value beyond the range of a 32-bit real is refused.
bool read_real(std::string_view text, float& value) {
    std::string norm;  // the number as from_chars reads it
    if (!util::real_number_text(first_field(text), norm)) return false;
    double d = 0.0;
    const auto [end, ec] = std::from_chars(norm.data(), norm.data() + norm.size(), d);
    if (ec != std::errc() || end != norm.data() + norm.size()) return false;
    if (!std::isfinite(d) || std::fabs(d) > static_cast<double>(FLT_MAX)) return false;
    value = static_cast<float>(d);
    return true;
}

// Reads an integer as list-directed input takes it: an optional sign and digits.
bool read_int(std::string_view text, std::int32_t& value) {
    std::string_view f = first_field(text);
    if (!f.empty() && f[0] == '+') f.remove_prefix(1);
    if (f.empty() || f[0] == '+') return false;
    std::int32_t v = 0;
    const auto [end, ec] = std::from_chars(f.data(), f.data() + f.size(), v);
    if (ec != std::errc() || end != f.data() + f.size()) return false;
    value = v;
    return true;
}

// Marks the state as ended by a word and returns it.
CommandLine& stopped(CommandLine& cl, Stop how, std::string message) {
    cl.stop = how;
    cl.stop_message = std::move(message);
    return cl;
}

// What the reading of the words keeps between words.
struct Reading {
    bool want_out = false;   // the next word is the -out name
    bool want_mesh = false;  // the next word is the -2dm mesh name
    int scalar_words = 0;
    int vector_words = 0;
};

// Ends the reading at a glued value that did not read. When nothing is glued to the flag
// and the next word reads as the value, the value was given after a blank: the advice
// names the flag as it should be written.
bool value_unread(CommandLine& cl, std::string_view arg, std::string_view glued, std::string_view next,
                  bool integer) {
    stopped(cl, Stop::pause_and_exit, std::string(kReadError));
    float real = 0.0f;
    std::int32_t whole = 0;
    const bool next_is_value = integer ? read_int(next, whole) : read_real(next, real);
    if (first_field(glued).empty() && next_is_value)
        cl.stop_advice = "The value follows the flag without a blank: " + util::trimmed(arg) + util::trimmed(next);
    return false;
}

// Carries out a flag row for the word (next: the word after it, empty at the end); false
// when the word ended the run.
bool apply_row(CommandLine& cl, Reading& r, const Row& row, std::string_view arg, std::string_view body,
               std::string_view next) {
    const std::string_view glued = row.value_at ? from_character(body, row.value_at) : "";
    auto real_to = [&](float& target) {
        return read_real(glued, target) || value_unread(cl, arg, glued, next, false);
    };
    switch (row.flag) {
    case Flag::mesh: cl.have_2dm = true; r.want_mesh = true; return true;
    case Flag::conv: cl.op_conv = true; return true;
    case Flag::con: cl.op_con = true; return true;
    case Flag::max: cl.op_max = true; return true;
    case Flag::min: cl.op_min = true; return true;
    case Flag::avg: cl.op_avg = true; return true;
    case Flag::dif: cl.op_dif = true; return true;
    case Flag::dur:
        cl.op_dur = true;
        if (!real_to(cl.cutoff)) return false;
        cl.op_text = util::fit(body, kOpTextLen);
        return true;
    case Flag::ddur: cl.op_ddur = true; return real_to(cl.cutoff);
    case Flag::trim:
        cl.op_trim = true;
        if (!real_to(cl.cutoff)) return false;
        cl.op_text = util::fit(body, kOpTextLen);
        return true;
    case Flag::toi: cl.op_toi = true; return real_to(cl.cutoff);
    case Flag::batch: cl.batch = true; return true;
    case Flag::keep: cl.op_keep = true; cl.time_given = true; return real_to(cl.target_time);
    case Flag::out: cl.out_given = true; r.want_out = true; return true;
    case Flag::range_a: cl.range_a_given = true; return real_to(cl.range_a);
    case Flag::range_b: cl.range_b_given = true; return real_to(cl.range_b);
    case Flag::remove: cl.op_remove = true; cl.time_given = true; return real_to(cl.target_time);
    case Flag::times: cl.op_times = true; return true;
    case Flag::path:
        cl.path_given = true;
        cl.xmdf_path = util::fit(from_character(body, 6), util::kNameLen);
        return true;
    case Flag::type: {
        cl.type_given = true;
        cl.type_code = util::fit(from_character(body, 6), util::kTypeCodeLen);
        cl.type_desc = std::string(
            xmdf_read::map_type_description(xmdf_read::map_type_by_code(cl.type_code)));
        if (!util::BLANK(cl.type_desc)) return true;
        stopped(cl, Stop::exits,
                "\nERROR - Unable to interpret Map Output Data Type: \"" + cl.type_code + "\"");
        return false;
    }
    case Flag::t:
    case Flag::ts: cl.time_given = true; return real_to(cl.target_time);
    case Flag::va:
        cl.op_va = true;
        cl.op_text = util::fit(body, kOpTextLen);
        return true;
    case Flag::xnfo: cl.op_xnfo = true; return true;
    case Flag::nowetdry: cl.nowetdry = true; return true;
    case Flag::ensight: cl.op_ensight = true; return true;
    case Flag::dttol: cl.tol_given = true; return real_to(cl.time_tol);
    case Flag::scalar:
    case Flag::vector: {
        const bool scalar = row.flag == Flag::scalar;
        int& words = scalar ? r.scalar_words : r.vector_words;
        ++words;
        (scalar ? cl.scalar_id_given : cl.vector_id_given) = true;
        if (words > 1) {
            stopped(cl, Stop::exits,
                    scalar ? "\nERROR - Only one scalar dataset can be specified with \"-s\" option.."
                           : "\nERROR - Only one vector dataset can be specified with \"-v\" option..");
            return false;
        }
        return read_int(glued, scalar ? cl.scalar_ids : cl.vector_ids) || value_unread(cl, arg, glued, next, true);
    }
    case Flag::ignore_mm: cl.ignore_mm = true; return true;
    }
    return true;
}

}  // namespace

CommandLine parse_command_line(std::span<const std::string> words) {
    CommandLine cl;
    if (words.empty()) return stopped(cl, Stop::usage, "");
    cl.show_usage = false;
    Reading r;
    for (std::size_t w = 0; w < words.size(); ++w) {
        const std::string arg = util::fit(words[w], util::kNameLen);
        if (r.want_out) {
            cl.user_out_name = arg;
            r.want_out = false;
            continue;
        }
        if (r.want_mesh) {
            cl.mesh_name = arg;
            r.want_mesh = false;
            continue;
        }
        std::string_view body;
        if (!flag_body(arg, body)) {
            if (cl.n_inputs >= kMaxInputs)
                return stopped(cl, Stop::exits,
                               "\nERROR - Too many input files specified, limit is 100.");
            cl.input_names.push_back(arg);
            ++cl.n_inputs;
            continue;
        }
        const Row* row = match_row(body);
        if (!row)
            return stopped(cl, Stop::pause_and_exit,
                           "\nERROR - Incorrect flag specified: \"" + arg + "\"");
        const std::string next = w + 1 < words.size() ? util::fit(words[w + 1], util::kNameLen) : std::string();
        if (!apply_row(cl, r, *row, arg, body, next)) return cl;
    }
    if (r.want_out)
        return stopped(cl, Stop::pause_and_exit, "\nERROR - No filename specified for -out option.");
    if (r.want_mesh)
        return stopped(cl, Stop::pause_and_exit, "\nERROR - No filename specified for -2dm option.");
    return cl;
}

void write_build_line() {
    util::console().line();
    util::console().line("Build 2024-02-AA");
    util::console().line();
}

void end_if_stopped(const CommandLine& cl) {
    switch (cl.stop) {
    case Stop::none: return;
    case Stop::usage:
        for (std::string_view line : kUsage) util::console().line(line);
        util::console().wait_for_enter();
        throw util::RunEnd{0};
    case Stop::exits: end_exits(cl.stop_message);
    case Stop::pause_and_exit: end_pause(cl.stop_message, cl.stop_advice);
    }
}

void check_combinations(const CommandLine& cl) {
    if (cl.op_keep || cl.op_remove || cl.op_dur || cl.op_trim || cl.op_va || cl.op_times) {
        if (cl.n_inputs > 1)
            end_pause("\nERROR - Can only specify one .dat file for -dur, -trim, -va, -times, -k and -r options.");
    } else if (cl.op_dif || cl.op_ddur) {
        if (cl.n_inputs != 2 && cl.n_inputs != 3)
            end_pause("\nERROR - Must specify two .dat files for -dif or -ddur options.");
    } else if (cl.op_con) {
        if (cl.n_inputs < 2) end_pause("\nERROR - Must specify at least two .dat files for -con option.");
    } else {
        if (cl.range_a_given != cl.range_b_given)
            end_pause("\nERROR - Must specify at start and end time if using -range option.");
        if (cl.range_a_given && cl.range_b_given && cl.range_a >= cl.range_b)
            end_pause("\nERROR - Range B input less than or equal to Range A.");
    }
    if (cl.op_ddur && !cl.time_given)
        end_exits("ERROR - Must specify an end time using -t option for duration differences");
    if (cl.path_given && cl.type_given) end_exits("ERROR - Cannot specify both -type and -path options.");
    if (cl.scalar_id_given && cl.vector_id_given)
        end_exits("ERROR - Cannot specify both \"-s\" and \"-v\" options.");
}

Operation choose_operation(const CommandLine& cl) {
    util::console().line();
    util::console().line("Checking operational flags.");
    const struct {
        bool set;
        std::string_view line;
    } flags[] = {
        {cl.op_max, "Opertational flag -max (maximum)"},
        {cl.op_min, "Opertational flag -min (minimum)"},
        {cl.op_avg, "Opertational flag -avg (average)"},
        {cl.op_dif, "Opertational flag -dif (difference)"},
        {cl.op_dur, "Opertational flag -dur (duration)"},
        {cl.op_ddur, "Opertational flag -ddur (difference in duration)"},
        {cl.op_keep, "Opertational flag -k (keep)"},
        {cl.range_a_given, "Opertational flag -range (range)"},
        {cl.op_remove, "Opertational flag -r (remove)"},
        {cl.op_trim, "Opertational flag -trim (trim)"},
        {cl.op_times, "Opertational flag -times (times)"},
        {cl.op_xnfo, "Opertational flag -xnfo (XMDF information)"},
        {cl.op_va, "Opertational flag -va (velocity angle)"},
        {cl.op_con, "Opertational flag -con (concatenate)"},
        {cl.op_conv, "Opertational flag -conv (convert)"},
        {cl.op_ensight, "Opertational flag -ensight (convert to ensight)"},
        {cl.op_toi, "Opertational flag -toi (time to increase)"},
    };
    int count = 0;
    for (const auto& f : flags) {
        if (!f.set) continue;
        util::console().line(f.line);
        ++count;
    }
    if (count >= 2) end_exits("\nERROR - Multiple operational flags specified, expecting 1.");
    if (count == 0) end_exits("\nERROR - No operational flags specified.");
    util::console().line();
    util::console().line("Found 1 operational flags specified.");

    // In the order the dispatch tests the flags.
    if (cl.op_max) return Operation::max;
    if (cl.op_min) return Operation::min;
    if (cl.op_avg) return Operation::avg;
    if (cl.op_toi) return Operation::toi;
    if (cl.op_dur) return Operation::dur;
    if (cl.op_dif) return Operation::dif;
    if (cl.op_times) return Operation::times;
    if (cl.op_keep) return Operation::keep;
    if (cl.op_con) return Operation::con;
    if (cl.op_remove) return Operation::remove;
    if (cl.range_a_given) return Operation::range;
    if (cl.op_trim) return Operation::trim;
    if (cl.op_va) return Operation::va;
    if (cl.op_xnfo) return Operation::xnfo;
    if (cl.op_conv) return Operation::conv;
    if (cl.op_ensight) return Operation::ensight;
    return Operation::ddur;
}

}  // namespace zorvel::driver
