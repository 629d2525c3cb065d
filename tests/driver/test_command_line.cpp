#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "driver/command_line.hpp"
#include "util/console.hpp"
#include "util/run_end.hpp"
#include "util/units.hpp"

namespace {

using namespace zorvel;
using driver::CommandLine;
using driver::Operation;
using driver::Stop;

// Every field that differs from its start value, in a fixed order, as one line of text.
std::string describe(const CommandLine& cl) {
    const CommandLine start;
    std::ostringstream s;
    auto flag = [&](bool v, const char* name) {
        if (v) s << name << ' ';
    };
    auto text = [&](const std::string& v, const char* name) {
        if (!v.empty()) s << name << "=[" << v << "] ";
    };
    auto number = [&](double v, double start_value, const char* name) {
        if (v != start_value) s << name << '=' << v << ' ';
    };
    if (cl.n_inputs != static_cast<int>(cl.input_names.size())) s << "n_inputs=" << cl.n_inputs << ' ';
    if (!cl.input_names.empty()) {
        s << "inputs=[";
        for (std::size_t i = 0; i < cl.input_names.size(); ++i) s << (i ? "|" : "") << cl.input_names[i];
        s << "] ";
    }
    text(cl.user_out_name, "out");
    text(cl.mesh_name, "mesh");
    text(cl.op_text, "op_text");
    text(cl.xmdf_path, "path");
    text(cl.type_code, "type_code");
    text(cl.type_desc, "type_desc");
    number(cl.scalar_ids, 0, "s");
    number(cl.vector_ids, 0, "v");
    number(cl.cutoff, start.cutoff, "cutoff");
    number(cl.target_time, 0, "time");
    number(cl.range_a, 0, "range_a");
    number(cl.range_b, 0, "range_b");
    number(cl.time_tol, 0, "tol");
    flag(cl.op_max, "op_max");
    flag(cl.op_min, "op_min");
    flag(cl.op_avg, "op_avg");
    flag(cl.op_dif, "op_dif");
    flag(cl.op_dur, "op_dur");
    flag(cl.op_ddur, "op_ddur");
    flag(cl.op_keep, "op_keep");
    flag(cl.op_remove, "op_remove");
    flag(cl.op_trim, "op_trim");
    flag(cl.op_toi, "op_toi");
    flag(cl.op_times, "op_times");
    flag(cl.op_xnfo, "op_xnfo");
    flag(cl.op_va, "op_va");
    flag(cl.op_con, "op_con");
    flag(cl.op_conv, "op_conv");
    flag(cl.op_ensight, "op_ensight");
    flag(cl.range_a_given, "range_a_given");
    flag(cl.range_b_given, "range_b_given");
    flag(cl.batch, "batch");
    flag(cl.out_given, "out_given");
    flag(cl.have_2dm, "have_2dm");
    flag(cl.time_given, "time_given");
    flag(cl.type_given, "type_given");
    flag(cl.path_given, "path_given");
    flag(cl.scalar_id_given, "scalar_id_given");
    flag(cl.vector_id_given, "vector_id_given");
    flag(cl.tol_given, "tol_given");
    flag(cl.nowetdry, "nowetdry");
    flag(cl.ignore_mm, "ignore_mm");
    flag(cl.show_usage, "show_usage");
    static const char* stops[] = {"", "usage", "exits", "pause_and_exit"};
    if (cl.stop != Stop::none) s << "STOP " << stops[static_cast<int>(cl.stop)] << " " << cl.stop_message;
    std::string out = s.str();
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

CommandLine parse(const std::vector<std::string>& words) { return driver::parse_command_line(words); }

// The fields set before the glued value failed to read, then the reading error.
std::string read_error(const std::string& set_before) {
    return set_before +
           " STOP pause_and_exit ERROR - Reading time for keep or remove argument, or cutoff depth for duration";
}

TEST(CommandLine, WordsToFields) {
    const struct {
        std::vector<std::string> words;
        std::string expected;
    } cases[] = {
        {{}, "show_usage STOP usage"},
        // Prefixes: "-", the byte 0x96 and the UTF-8 en dash; "/" begins a name.
        {{"-max", "a_h.dat", "b_h.dat"}, "inputs=[a_h.dat|b_h.dat] op_max"},
        {{"-MAX"}, "op_max"},
        {{"-maximum"}, "op_max"},
        {{"\x96max"}, "op_max"},
        {{"\xE2\x80\x93max"}, "op_max"},
        {{"\xE2\x80\x93k2.5"}, "time=2.5 op_keep time_given"},
        {{"\xE2\x80\x93typev"}, "type_code=[v] type_desc=[Vector Velocity] type_given"},
        {{"\xE2\x80\x93"}, "STOP pause_and_exit \nERROR - Incorrect flag specified: \"\xE2\x80\x93\""},
        {{"/max"}, "inputs=[/max]"},
        {{"/home/x/run_h.dat", "-b"}, "inputs=[/home/x/run_h.dat] batch"},
        {{""}, "inputs=[]"},
        // Windows: a longer word that begins with a name is that row.
        {{"-bogus"}, "batch"},
        {{"-conv"}, "op_conv"},
        {{"-con"}, "op_con"},
        {{"-xtoi"}, read_error("op_toi")},
        {{"-toi0.3"}, "cutoff=0.3 op_toi"},
        {{"-xensight"}, "op_ensight"},
        {{"-ensight"}, "op_ensight"},
        {{"-xnfo", "-nowetdry", "-ignore_mm"}, "op_xnfo nowetdry ignore_mm"},
        {{"-times"}, "op_times"},
        {{"-avg", "-dif", "-min"}, "op_min op_avg op_dif"},
        {{"-va"}, "op_text=[va] op_va"},
        {{"-2DM", "m.2dm"}, "mesh=[m.2dm] have_2dm"},
        {{"-2dmx"}, "have_2dm STOP pause_and_exit \nERROR - No filename specified for -2dm option."},
        // Glued values.
        {{"-dur0.5"}, "op_text=[dur0.5] cutoff=0.5 op_dur"},
        {{"-dur"}, read_error("op_dur")},
        {{"-trim5"}, "op_text=[trim5] cutoff=5 op_trim"},
        {{"-ddur0.25"}, "cutoff=0.25 op_ddur"},
        {{"-k99999"}, "time=99999 op_keep time_given"},
        {{"-kx"}, read_error("op_keep time_given")},
        {{"-r-1.5e1"}, "time=-15 op_remove time_given"},
        {{"-t+2.5D1"}, "time=25 time_given"},
        {{"-t.5"}, "time=0.5 time_given"},
        {{"-t5."}, "time=5 time_given"},
        {{"-t1.5+1"}, "time=15 time_given"},
        {{"-t3,7"}, "time=3 time_given"},
        {{"-t 4 x"}, "time=4 time_given"},
        {{"-t,3"}, read_error("time_given")},
        {{"-t1e"}, read_error("time_given")},
        {{"-t1e99"}, read_error("time_given")},
        {{"-tnan"}, read_error("time_given")},
        {{"-t."}, read_error("time_given")},
        {{"-ts5"}, read_error("time_given")},
        {{"-range5"}, read_error("op_remove time_given")},
        {{"-rangeA1", "-rangeB27.5"}, "range_a=1 range_b=27.5 range_a_given range_b_given"},
        {{"-dttol0.01"}, "tol=0.01 tol_given"},
        {{"-s2"}, "s=2 scalar_id_given"},
        {{"-v+3"}, "v=3 vector_id_given"},
        {{"-s1.5"}, read_error("scalar_id_given")},
        {{"-s99999999999"}, read_error("scalar_id_given")},
        {{"-s1", "-s2"},
         "s=1 scalar_id_given STOP exits \nERROR - Only one scalar dataset can be specified with \"-s\" option.."},
        {{"-v1", "-vx"},
         "v=1 vector_id_given STOP exits \nERROR - Only one vector dataset can be specified with \"-v\" option.."},
        {{"-s1", "-v2"}, "s=1 v=2 scalar_id_given vector_id_given"},
        {{"-pathMaxMax/Max Value"}, "path=[MaxMax/Max Value] path_given"},
        // The type lookup: the last matching code wins; at most 4 characters are looked up.
        {{"-typeh"}, "type_code=[h] type_desc=[Water Level] type_given"},
        {{"-TYPEH"}, "type_code=[H] type_desc=[Water Level] type_given"},
        {{"-typev"}, "type_code=[v] type_desc=[Vector Velocity] type_given"},
        {{"-typeq"}, "type_code=[q] type_desc=[Vector Unit Flow] type_given"},
        {{"-typeWI10"}, "type_code=[WI10] type_desc=[Wind] type_given"},
        {{"-typeXYZ"},
         "type_code=[XYZ] type_given STOP exits \nERROR - Unable to interpret Map Output Data Type: \"XYZ\""},
        {{"-typeVelocity"},
         "type_code=[Velo] type_given STOP exits \nERROR - Unable to interpret Map Output Data Type: \"Velo\""},
        {{"-type"}, "type_given STOP exits \nERROR - Unable to interpret Map Output Data Type: \"\""},
        // Unknown flags.
        {{"-q"}, "STOP pause_and_exit \nERROR - Incorrect flag specified: \"-q\""},
        {{"-"}, "STOP pause_and_exit \nERROR - Incorrect flag specified: \"-\""},
        // The names after -out and -2dm are taken whatever they begin with.
        {{"-out", "-max", "a.dat"}, "inputs=[a.dat] out=[-max] out_given"},
        {{"-2dm", "-b"}, "mesh=[-b] have_2dm"},
        {{"-max", "-out"}, "op_max out_given STOP pause_and_exit \nERROR - No filename specified for -out option."},
        {{"-2dm"}, "have_2dm STOP pause_and_exit \nERROR - No filename specified for -2dm option."},
        // A word that stops the run leaves the later words unread.
        {{"-q", "-max"}, "STOP pause_and_exit \nERROR - Incorrect flag specified: \"-q\""},
    };
    for (const auto& c : cases) {
        std::string shown;
        for (const std::string& w : c.words) shown += "[" + w + "]";
        EXPECT_EQ(describe(driver::parse_command_line(c.words)), c.expected) << shown;
    }
}

// A flag whose value came as the next word: the reading error, then advice with the flag as
// it should be written; no advice where the next word is no value of the flag's kind.
TEST(CommandLine, ValueAfterABlank) {
    const std::string advice = "The value follows the flag without a blank: ";
    const struct {
        std::vector<std::string> words;
        std::string expected;  // the advice; empty for none
    } cases[] = {
        {{"-k", "2.5", "run_h.dat"}, advice + "-k2.5"},
        {{"-dur", "0.3"}, advice + "-dur0.3"},
        {{"-toi", "-0.5"}, advice + "-toi-0.5"},
        {{"-rangeA", "1", "-rangeB27.5"}, advice + "-rangeA1"},
        {{"-max", "-t", "1e1"}, advice + "-t1e1"},
        {{"-dttol", "0.01"}, advice + "-dttol0.01"},
        {{"-s", "2"}, advice + "-s2"},
        {{"-s", "2.5"}, ""},               // not a dataset number
        {{"-k", "run_h.dat"}, ""},         // not a number
        {{"-k"}, ""},                      // no next word
        {{"-kx", "2.5"}, ""},              // something else is glued to the flag
        {{"-k", "-out", "x.dat"}, ""},     // a flag, not a number
    };
    for (const auto& c : cases) {
        const CommandLine cl = driver::parse_command_line(c.words);
        EXPECT_EQ(cl.stop, Stop::pause_and_exit) << c.words[0];
        EXPECT_EQ(cl.stop_message, "ERROR - Reading time for keep or remove argument, or cutoff depth for duration");
        EXPECT_EQ(cl.stop_advice, c.expected) << c.words[0] << " " << (c.words.size() > 1 ? c.words[1] : "");
    }
}

TEST(CommandLine, LongWordsAndManyInputs) {
    const std::string long_name(1500, 'x');
    CommandLine cl = driver::parse_command_line(std::vector<std::string>{long_name, "-b"});
    ASSERT_EQ(cl.input_names.size(), 1u);
    EXPECT_EQ(cl.input_names[0], std::string(1000, 'x'));

    std::vector<std::string> words(100, "a.dat");
    cl = driver::parse_command_line(words);
    EXPECT_EQ(cl.stop, Stop::none);
    EXPECT_EQ(cl.n_inputs, 100);
    words.push_back("b.dat");
    cl = driver::parse_command_line(words);
    EXPECT_EQ(cl.stop, Stop::exits);
    EXPECT_EQ(cl.stop_message, "\nERROR - Too many input files specified, limit is 100.");
}

// The console text and exit status of the checks and the count for one command line.
struct Outcome {
    std::string text;
    int status = -1;  // -1: the run went on
    Operation op = Operation::ddur;
};

Outcome check_and_count(std::vector<std::string> words) {
    util::FILEUNITINIT(1000);
    std::ostringstream out;
    std::istringstream in;
    util::ConsoleCapture cap(out, in);
    Outcome o;
    const CommandLine cl = driver::parse_command_line(words);
    try {
        driver::check_combinations(cl);
        o.op = driver::choose_operation(cl);
    } catch (const util::RunEnd& end) {
        o.status = end.status;
    }
    o.text = out.str();
    return o;
}

TEST(CommandLine, CombinationChecks) {
    const std::string pause = "";
    const std::string exits = "\nPress Enter to Close\n";
    const struct {
        std::vector<std::string> words;
        std::string text;
    } cases[] = {
        {{"-k5", "a.dat", "b.dat"},
         "\nERROR - Can only specify one .dat file for -dur, -trim, -va, -times, -k and -r options.\n"},
        {{"-times", "-rangeA5", "a.dat", "b.dat"},
         "\nERROR - Can only specify one .dat file for -dur, -trim, -va, -times, -k and -r options.\n"},
        {{"-dif", "a.dat"}, "\nERROR - Must specify two .dat files for -dif or -ddur options.\n"},
        {{"-ddur0.1", "-t1", "a", "b", "c", "d"}, "\nERROR - Must specify two .dat files for -dif or -ddur options.\n"},
        {{"-con", "a.dat"}, "\nERROR - Must specify at least two .dat files for -con option.\n"},
        {{"-rangeA5", "a.dat"}, "\nERROR - Must specify at start and end time if using -range option.\n"},
        {{"-rangeB5", "a.dat"}, "\nERROR - Must specify at start and end time if using -range option.\n"},
        {{"-rangeA5", "-rangeB5", "a.dat"}, "\nERROR - Range B input less than or equal to Range A.\n"},
        {{"-rangeA6", "-rangeB5", "a.dat"}, "\nERROR - Range B input less than or equal to Range A.\n"},
        {{"-ddur0.1", "a", "b"}, "ERROR - Must specify an end time using -t option for duration differences\n" + exits},
        {{"-max", "-typeh", "-pathx", "a"}, "ERROR - Cannot specify both -type and -path options.\n" + exits},
        {{"-max", "-s1", "-v2", "a"}, "ERROR - Cannot specify both \"-s\" and \"-v\" options.\n" + exits},
    };
    for (const auto& c : cases) {
        const Outcome o = check_and_count(c.words);
        EXPECT_EQ(o.text, c.text) << c.words[0];
        EXPECT_EQ(o.status, 1) << c.words[0];
    }
    // A one-input operation skips the other checks: the range is not tested with -k.
    EXPECT_EQ(check_and_count({"-k5", "-rangeA5", "a"}).text.find("Range"), std::string::npos);
}

TEST(CommandLine, OperationCount) {
    const std::string head = "\nChecking operational flags.\n";
    const std::string found = "\nFound 1 operational flags specified.\n";
    const struct {
        std::vector<std::string> words;
        std::string line;
        Operation op;
    } ops[] = {
        {{"-max", "a"}, "Opertational flag -max (maximum)", Operation::max},
        {{"-min", "a"}, "Opertational flag -min (minimum)", Operation::min},
        {{"-avg", "a"}, "Opertational flag -avg (average)", Operation::avg},
        {{"-dif", "a", "b"}, "Opertational flag -dif (difference)", Operation::dif},
        {{"-dif", "a", "b", "c"}, "Opertational flag -dif (difference)", Operation::dif},
        {{"-dur0.1", "a"}, "Opertational flag -dur (duration)", Operation::dur},
        {{"-ddur0.1", "-t5", "a", "b"}, "Opertational flag -ddur (difference in duration)", Operation::ddur},
        {{"-k5", "a"}, "Opertational flag -k (keep)", Operation::keep},
        {{"-rangeA1", "-rangeB2", "a"}, "Opertational flag -range (range)", Operation::range},
        {{"-r5", "a"}, "Opertational flag -r (remove)", Operation::remove},
        {{"-trim5", "a"}, "Opertational flag -trim (trim)", Operation::trim},
        {{"-times", "a"}, "Opertational flag -times (times)", Operation::times},
        {{"-xnfo", "a"}, "Opertational flag -xnfo (XMDF information)", Operation::xnfo},
        {{"-va", "a"}, "Opertational flag -va (velocity angle)", Operation::va},
        {{"-con", "a", "b"}, "Opertational flag -con (concatenate)", Operation::con},
        {{"-conv", "a"}, "Opertational flag -conv (convert)", Operation::conv},
        {{"-ensight", "a"}, "Opertational flag -ensight (convert to ensight)", Operation::ensight},
        {{"-toi0.1", "a"}, "Opertational flag -toi (time to increase)", Operation::toi},
    };
    for (const auto& c : ops) {
        const Outcome o = check_and_count(c.words);
        EXPECT_EQ(o.text, head + c.line + "\n" + found) << c.words[0];
        EXPECT_EQ(o.status, -1) << c.words[0];
        EXPECT_EQ(o.op, c.op) << c.words[0];
    }

    const Outcome two = check_and_count({"-toi0.1", "-max", "a"});
    EXPECT_EQ(two.text, head + "Opertational flag -max (maximum)\nOpertational flag -toi (time to increase)\n"
                               "\nERROR - Multiple operational flags specified, expecting 1.\n"
                               "\nPress Enter to Close\n");
    EXPECT_EQ(two.status, 1);
    const Outcome none = check_and_count({"-t5", "-b", "-typeh", "-s1", "-out", "x", "a"});
    EXPECT_EQ(none.text, head + "\nERROR - No operational flags specified.\n\nPress Enter to Close\n");
    EXPECT_EQ(none.status, 1);
}

TEST(CommandLine, UsageTextAndStoppedEnds) {
    util::FILEUNITINIT(1000);
    std::ostringstream out;
    std::istringstream in;
    util::ConsoleCapture cap(out, in);
    try {
        driver::end_if_stopped(parse({}));
        FAIL() << "usage did not end the run";
    } catch (const util::RunEnd& end) {
        EXPECT_EQ(end.status, 0);
    }
    const std::string text = out.str();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 61);
    EXPECT_EQ(text.rfind("Performs various operations on KESTRA .dat files and outputs a new .dat file\n\n  Flags:\n", 0), 0u);
    EXPECT_NE(text.find("\n            The hydrograph must fall by the cutoff_value after the peak, and the level \n"),
              std::string::npos);
    EXPECT_NE(text.find("\n          Also required for the -ddur option (see above). \n"), std::string::npos);
    EXPECT_TRUE(text.ends_with("run_h_extract.dat.\n\n"));

    // A word that stops the run: the message and its end; a clean parse goes on.
    out.str("");
    EXPECT_THROW(driver::end_if_stopped(parse({"-q"})), util::RunEnd);
    EXPECT_EQ(out.str(), "\nERROR - Incorrect flag specified: \"-q\"\n");
    out.str("");
    EXPECT_THROW(driver::end_if_stopped(parse({"-typeZZ"})), util::RunEnd);
    EXPECT_EQ(out.str(), "\nERROR - Unable to interpret Map Output Data Type: \"ZZ\"\n\nPress Enter to Close\n");
    out.str("");
    EXPECT_NO_THROW(driver::end_if_stopped(parse({"-max", "a"})));
    EXPECT_EQ(out.str(), "");
}

}  // namespace
