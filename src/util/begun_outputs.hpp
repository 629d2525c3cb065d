#pragma once
// The outputs a run has begun. An output is written under a temporary name of its own in the
// folder of the file its final name stands for, "<final name>.zorvel-<pid>-<n>.tmp", made new
// (never an existing file opened, emptied or written through), and moved onto its final name
// only when the run has completed all its outputs (move_begun_outputs_into_place). Until then
// every earlier file under those names stays as it was: an error end removes the temporary
// files alone (remove_begun_outputs), and so do SIGINT, SIGTERM and SIGHUP, which end the run
// with 128 + the signal's number; a SIGKILL leaves at most the temporary files.
//
// A final name that is a symbolic link stands for the file the link leads to: that file is
// replaced and the link stays. A final name under which something other than a regular file
// (or such a link) exists is not written (begin_output fails with EINVAL).
//
// The table is a list of fixed blocks of entries, grown and changed in ordinary code only; a
// handler walks it with async-signal-safe calls alone. An entry counts for the handler once its
// temporary file exists, so no stop signal needs to be held while a file is made.

#include <csignal>
#include <string>
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

// Where an output under a final name is written: the file the name stands for (symbolic links
// followed), whether one exists there, and whether a final name may be written at all.
struct OutputTarget {
    std::string path;     // the file the final name stands for
    bool exists = false;  // a regular file is there now
    bool writable = true; // false: something other than a regular file is there
};
// The target of an output's final name.
OutputTarget output_target(std::string_view final_name);

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
// and empties the table. False when a move fails: failed_name and errno then tell which and
// why, the outputs not yet moved stay entered (an error end removes them).
bool move_begun_outputs_into_place(std::string& failed_name);
// An error end: removes every temporary file of the table and empties it.
void remove_begun_outputs();
// The start of a run: empties the table, touching no file.
void keep_begun_outputs();
// For a signal handler: removes every temporary file of the table; async-signal-safe.
void remove_begun_outputs_at_fault();

// Installs the handler of SIGINT, SIGTERM and SIGHUP, once; a signal that the process was
// started ignoring stays ignored.
void install_stop_handlers();

}  // namespace zorvel::util
