// Exported routines of the run frame: the premature exit.

#include "util/exports/abi.hpp"
#include "util/units.hpp"

using namespace zorvel::util::exports;
namespace u = zorvel::util;

extern "C" {

// Closes the open units, pauses at "Press Enter to Close" and ends the process.
[[noreturn]] void EXITS() {
    guarded([] { u::EXITS(); });
    end_process(1);
}

}  // extern "C"
