#pragma once
// The outputs a run has begun. An output is written under a temporary name of its own in the
// folder of the file its final name stands for (final_names.hpp), "<final name>.zorvel-<pid>-<n>.tmp",
// made new (never an existing file opened, emptied or written through), and put in place only
// when the run has completed all its outputs (move_begun_outputs_into_place): moved onto its
// final name, or, where the run may write the earlier file but not replace it, written into it.
// Until then every earlier file under those names stays as it was: an error end removes the
// temporary files alone (remove_begun_outputs), and so do the stop signals (SIGINT, SIGTERM,
// SIGHUP, SIGPIPE and SIGXFSZ), which end the run with 128 + the signal's number; a SIGKILL
// leaves at most the temporary files. Once the outputs are in place a stop signal ends the run
// as a completed one (its closing line, status 0).
//
// A final name that is refused where the output is begun (something other than a regular file
// under it, a name its folder cannot hold, a file the user may not write or replace) makes
// begin_output fail with the errno that says why, before anything is written.
//
// The table is a list of fixed blocks of entries, grown and changed in ordinary code only; a
// handler walks it with async-signal-safe calls alone. An entry counts for the handler from
// just before its temporary file is made, so no stop signal needs to be held while it is made.

#include <csignal>
#include <string>
#include <string_view>

#include "util/final_names.hpp"

namespace zorvel::util {

// For its lifetime the stop signals wait (they are delivered when it ends).
class HoldStopSignals {
public:
    HoldStopSignals();
    ~HoldStopSignals();
    HoldStopSignals(const HoldStopSignals&) = delete;
    HoldStopSignals& operator=(const HoldStopSignals&) = delete;

private:
    sigset_t saved_;
};

// Begins an output: makes its temporary file, empty and new, beside the target of the final
// name (replace false: fails with EEXIST when a file is there) and enters it. Gives the entry
// and the temporary file's name (and, with fd, the file open for reading and writing), or -1
// with errno set.
int begin_output(std::string_view final_name, bool replace, std::string& temp_name, int* fd = nullptr);
// Enters a file that the run made or emptied in place under its own name (outputs that add to
// or write into a kept file): an error end removes it, a normal end leaves it; -1 on no memory.
int enter_begun_output(std::string_view name);
// Takes an entry out without touching its file.
void forget_begun_output(int entry);
// Removes the temporary file of an entry and takes the entry out.
void remove_begun_output(int entry);

// A run's outputs wait for its end (on) to be moved into place all at once; otherwise (callers
// of the library outside a run) each output is moved onto its name when it is closed.
void defer_outputs_to_run_end(bool on);
// An output's file is closed whole: moved onto its final name at once unless outputs wait
// for the run's end; false when the move fails (errno tells why; the entry stays).
bool complete_begun_output(int entry);

// The normal end: moves every begun output onto its final name, in the order they were begun,
// then writes those that the run may not move into their earlier files, and empties the table;
// a stop signal meanwhile waits, and from then on ends the run as a completed one. False when
// one fails: failed_name, written_into (a write into an earlier file, which may then hold part
// of the output) and errno tell which and why; the outputs not yet in place stay entered (an
// error end removes them).
bool move_begun_outputs_into_place(std::string& failed_name, bool& written_into);
// The run's closing line is written, its outputs in place: a stop signal from now on ends the
// process with status 0 at once, and one that came since the outputs moved ends the run here
// (RunEnd{0}), without a wait for Enter.
void closing_line_written();
// An error end: removes every temporary file of the table and empties it.
void remove_begun_outputs();
// The start of a run: empties the table, touching no file.
void keep_begun_outputs();
// For a signal handler: removes every temporary file of the table; async-signal-safe.
void remove_begun_outputs_at_fault();

// Installs the handler of the stop signals, once; a signal that the process was started
// ignoring stays ignored.
void install_stop_handlers();

}  // namespace zorvel::util
