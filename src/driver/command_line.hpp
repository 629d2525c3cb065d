#pragma once
// The first stage of a run: the command-line words read into flags, glued values and
// input names, the checks of the flag combination and the choice of the one operation.
//
// A flag word begins with "-" or an en dash (the byte 0x96, or the UTF-8 en dash
// E2 80 93); every other word is an input name. A flag is matched by a fixed window of
// characters after its prefix, so a longer word that begins with a flag's name is that
// flag (-maximum is -max, -typeh is -type with the code h). Values are glued to their
// flag (-k2.5, -dur0.1, -s1), except the names after -out and -2dm, which are the next word.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace zorvel::driver {

inline constexpr int kMaxInputs = 100;

// How the reading of the words ended when it did not reach the checks.
enum class Stop {
    none,            // the words were read; the checks come next
    usage,           // no word at all: the usage text and a wait for Enter
    exits,           // the message, then the end through EXITS
    pause_and_exit,  // the message, then a wait for Enter without a line of its own
};

// The command-line state of the run; later stages read it and change only what they own
// (n_inputs, input_names after a ".sup" list, target_time, time_tol, nowetdry, type_desc).
struct CommandLine {
    std::vector<std::string> input_names;  // in command-line order; the first is the primary input
    std::int32_t n_inputs = 0;             // number of input names in use
    std::string user_out_name;             // the word after -out
    std::string mesh_name;                 // the word after -2dm
    std::string op_text;                   // the -dur, -trim or -va word without its prefix
    std::string xmdf_path;                 // the text glued to -path
    std::string type_code;                 // the text glued to -type, first 4 characters
    std::string type_desc;                 // the map output type description type_code names
    std::int32_t scalar_ids = 0;           // the dataset number glued to -s (only one is allowed)
    std::int32_t vector_ids = 0;           // the dataset number glued to -v (only one is allowed)
    float cutoff = 0.1f;                   // glued to -dur, -ddur, -trim or -toi
    float target_time = 0.0f;              // hours, glued to -k, -r or -t
    float range_a = 0.0f;                  // glued to -rangeA
    float range_b = 0.0f;                  // glued to -rangeB
    float time_tol = 0.0f;                 // glued to -dttol; the default is set with the inputs

    bool op_max = false;
    bool op_min = false;
    bool op_avg = false;
    bool op_dif = false;
    bool op_dur = false;
    bool op_ddur = false;
    bool op_keep = false;
    bool op_remove = false;
    bool op_trim = false;
    bool op_toi = false;
    bool op_times = false;
    bool op_xnfo = false;
    bool op_va = false;
    bool op_con = false;
    bool op_conv = false;
    bool op_ensight = false;
    bool range_a_given = false;  // the range operation
    bool range_b_given = false;
    bool batch = false;  // -b: no wait for Enter at a normal end
    bool out_given = false;
    bool have_2dm = false;
    bool time_given = false;
    bool type_given = false;
    bool path_given = false;
    bool scalar_id_given = false;
    bool vector_id_given = false;
    bool tol_given = false;
    bool nowetdry = false;
    bool ignore_mm = false;
    bool show_usage = true;

    // Set when a word (or the lack of any) ends the run: how, and the message to write
    // (a leading "\n" is the empty line before it).
    Stop stop = Stop::none;
    std::string stop_message;
    std::string stop_advice;  // a line after the message saying what to do; empty for none
};

// The one operation of a run, in the order the dispatch tests the flags.
enum class Operation {
    max, min, avg, toi, dur, dif, times, keep, con, remove, range, trim, va, xnfo, conv,
    ensight, ddur,
};

// Reads the words (the program name is not one of them) into the command-line state;
// writes nothing and opens nothing. A word that ends the run sets stop and stop_message
// (and stop_advice when the fault can be named: a value given as the next word).
CommandLine parse_command_line(std::span<const std::string> words);

// Writes the blank-framed build line that opens every run.
void write_build_line();
// Ends the run when the words stopped it (the usage text, or the message and its end);
// returns when they did not.
void end_if_stopped(const CommandLine& cl);
// Checks the combination of flags and the number of inputs; ends the run on a failure.
void check_combinations(const CommandLine& cl);
// Counts the operation flags, writing a line for each; ends the run unless exactly one
// is set, and returns it.
Operation choose_operation(const CommandLine& cl);

}  // namespace zorvel::driver
