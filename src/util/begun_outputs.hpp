#pragma once
// The outputs a run has begun: every file that it created, or emptied, to write into. Each
// is entered by its absolute name when it is made and stays entered after it is closed, so
// that an error end removes every output of the run (remove_begun_outputs) while a normal
// end keeps them all (keep_begun_outputs). Signal handlers read the table too: SIGINT,
// SIGTERM and SIGHUP remove every entered file and end the run with 128 + the signal's
// number, and the fault handlers remove them before their own ends.
//
// The table is a list of fixed blocks of name pointers, grown and changed in ordinary code
// only; a handler walks it with async-signal-safe calls alone. The stop signals are held
// while a file is made and entered, so no signal finds a file of the run that is not entered.

#include <csignal>
#include <string_view>

namespace zorvel::util {

// For its lifetime SIGINT, SIGTERM and SIGHUP wait (they are delivered when it ends).
class HoldStopSignals {
public:
    HoldStopSignals();
    ~HoldStopSignals();
    HoldStopSignals(const HoldStopSignals&) = delete;
    HoldStopSignals& operator=(const HoldStopSignals&) = delete;

private:
    sigset_t saved_;
};

// Enters a file just made or emptied by the run (the caller holds the stop signals across
// the making and this call); its entry, or -1 when the name cannot be kept.
int enter_begun_output(std::string_view name);
// Takes an entry out without touching its file.
void forget_begun_output(int entry);
// Removes the file of an entry and takes the entry out.
void remove_begun_output(int entry);
// Makes an empty file for writing (replace: an existing one is emptied; else the make fails
// when the name exists) and enters it; its entry, or -1 with errno set when it cannot be made.
int begin_output_file(std::string_view name, bool replace);

// An error end: removes the file of every entry and empties the table.
void remove_begun_outputs();
// A normal end, or the start of a run: empties the table and keeps the files.
void keep_begun_outputs();
// For a signal handler: removes the file of every entry; async-signal-safe.
void remove_begun_outputs_at_fault();

// Installs the handler of SIGINT, SIGTERM and SIGHUP, once; a signal that the process was
// started ignoring stays ignored.
void install_stop_handlers();

}  // namespace zorvel::util
