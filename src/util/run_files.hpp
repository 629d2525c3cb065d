#pragma once
// The files of a run that must never meet: the outputs it names and the files it reads. An
// output is moved onto its name at the end of the run, so an output that is a file the run
// reads would destroy it. Every output named is kept here, and every file opened for reading
// (an input, a list, a mesh, a companion, a name typed at a prompt) is compared with them when
// it is opened, as every output is compared with the files already read when it is named;
// either clash ends the run with "ERROR - Output file is also an input file: " and the output's
// name, before any output is moved.

#include <string>
#include <string_view>

#include "util/file_io.hpp"

namespace zorvel::util {

// The start of a run: no outputs named, no files read.
void forget_run_files();
// An output named by the run; ends the run when it is a file the run has read.
void note_output(std::string_view name);
// A file just opened for reading, by its identity; ends the run when it is one of the run's
// outputs.
void note_read(const FileId& id);
// The same for a file named but not opened here (a file that a library opens itself).
void note_read(std::string_view name);

// Ends the run: the output is a file that the run reads.
[[noreturn]] void output_is_input(std::string_view output);
// Ends the run when something other than a regular file (or a link to one) stands under an
// output's name: a folder, a pipe, a device or a socket is never written over.
void refuse_unwritable_output(std::string_view name);

// True when the two names are the same file: by identity when both exist, by their normalised
// names when neither does.
bool same_file(std::string_view a, std::string_view b);

}  // namespace zorvel::util
