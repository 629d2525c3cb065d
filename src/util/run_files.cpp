// The outputs a run names and the files it reads (see run_files.hpp).

#include "util/run_files.hpp"

#include <algorithm>
#include <vector>

#include "util/final_names.hpp"
#include "util/text.hpp"
#include "util/units.hpp"

namespace zorvel::util {

namespace {

// The run's outputs by the names it gave them, and the identities of the files it has read.
struct RunFiles {
    std::vector<std::string> outputs;
    std::vector<FileId> read;
};

RunFiles& run_files() {
    static RunFiles files;
    return files;
}

}  // namespace

void forget_run_files() {
    run_files().outputs.clear();
    run_files().read.clear();
}

void note_output(std::string_view name) {
    const std::string output = trimmed(name);
    if (output.empty()) return;
    RunFiles& files = run_files();
    FileId id;
    if (file_id(output, id) && std::find(files.read.begin(), files.read.end(), id) != files.read.end())
        output_is_input(output);
    if (std::find(files.outputs.begin(), files.outputs.end(), output) == files.outputs.end())
        files.outputs.push_back(output);
}

void note_read(const FileId& id) {
    RunFiles& files = run_files();
    // A file that exists is one of the outputs only when an output's name leads to it now.
    for (const std::string& output : files.outputs) {
        FileId other;
        if (file_id(output, other) && other == id) output_is_input(output);
    }
    if (std::find(files.read.begin(), files.read.end(), id) == files.read.end()) files.read.push_back(id);
}

void note_read(std::string_view name) {
    FileId id;
    if (file_id(trimmed(name), id)) note_read(id);
}

void output_is_input(std::string_view output) {
    fail_at_once("\nERROR - Output file is also an input file: \"" + std::string(output) + "\"");
}

void refuse_unwritable_output(std::string_view name) {
    const std::string output = trimmed(name);
    if (output.empty() || output_target(output).writable) return;
    fail_at_once("\nERROR - Output file exists and is not a regular file: \"" + output + "\"");
}

bool same_file(std::string_view a, std::string_view b) {
    FileId ia, ib;
    const bool has_a = file_id(TRIMF(a), ia);
    const bool has_b = file_id(TRIMF(b), ib);
    if (has_a || has_b) return has_a && has_b && ia == ib;
    return normalised(a) == normalised(b);
}

}  // namespace zorvel::util
