#pragma once
// The ways a run of the main program ends. Each throws util::RunEnd, which only main
// catches. A message that begins with "\n" is written after an empty line.

#include <string_view>

namespace zorvel::driver {

// Normal end after an operation's closing line: with -b at once (status 0), otherwise
// through EXITS ("Press Enter to Close" and a wait).
[[noreturn]] void end_normal(bool batch);
// E1: the message, then EXITS (units closed, "Press Enter to Close", a wait), status 1.
[[noreturn]] void end_exits(std::string_view message);
// E2: the message, then a wait for Enter with no line of its own, also with -b; status 1.
[[noreturn]] void end_pause(std::string_view message);
// E3: the refusal of -ddur; with -b the run ends at once, otherwise through EXITS; status 1.
[[noreturn]] void end_ddur_refused(bool batch);

}  // namespace zorvel::driver
