// zorvel: post-processes the map output of a two-dimensional hydraulic model.
// main reads as the stages of one run; it is the only place that catches RunEnd,
// the one way every run ends, and turns it into the exit status.

#include <span>
#include <string>
#include <vector>

#include "util/console.hpp"
#include "util/fpu.hpp"
#include "util/run_end.hpp"
#include "util/units.hpp"

namespace {

using namespace zorvel;

// The stages of a run, from the command-line words to the end; never returns.
[[noreturn]] void run(std::span<const std::string> words) {
    util::FILEUNITINIT(1000);
    util::console().line();
    util::console().line("Build 2024-02-AA");
    util::console().line();
    (void)words;
    util::console().line("ERROR - Not built yet.");
    util::EXITS();
}

}  // namespace

int main(int argc, char** argv) {
    util::flush_denormals();
    const std::vector<std::string> words(argv + 1, argv + argc);
    int status = 0;
    try {
        run(words);
    } catch (const util::RunEnd& end) {
        status = end.status;
    }
    util::close_all_at_end(status);
    return status;
}
