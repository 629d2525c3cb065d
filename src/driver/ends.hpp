#pragma once
// The ways a run of the main program ends. Each throws util::RunEnd, which only main
// catches. A message that begins with "\n" is written after an empty line.

#include <cstdint>
#include <span>
#include <string_view>

#include "results/results_writer.hpp"

namespace zorvel::driver {

// Normal end after an operation's closing line: with -b at once (status 0), otherwise
// through EXITS ("Press Enter to Close" and a wait).
[[noreturn]] void end_normal(bool batch);
// The tail of an operation whose output is complete: the output closed, "Finished."
// between empty lines, then the normal end.
[[noreturn]] void end_finished(results::OutputDescription& out, bool batch);
// The common tail of the step-copying operations and of the difference over all times:
// "Closing files and exiting", the output closed, then the normal end.
[[noreturn]] void end_closing_files(results::OutputDescription& out, bool batch);
// The end of the output-time listing: the ".dat" inputs' units closed (an ".xmdf" input
// has none), "Finished.", a wait for Enter without a line of its own unless -b; status 0.
[[noreturn]] void end_times_listing(std::span<int> units, bool batch);
// E1: the message, then EXITS (units closed, "Press Enter to Close", a wait), status 1.
[[noreturn]] void end_exits(std::string_view message);
// E2: the message (and the advice after it, when there is one), then a wait for Enter
// with no line of its own, also with -b; status 1.
[[noreturn]] void end_pause(std::string_view message, std::string_view advice = {});
// E3: the refusal of -ddur; with -b the run ends at once, otherwise through EXITS; status 1.
[[noreturn]] void end_ddur_refused(bool batch);

}  // namespace zorvel::driver
