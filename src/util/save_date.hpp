#pragma once
// The save-date check of a MIF file and its MID file: the MID file must not have been
// saved later than the MIF file (a MID saved on its own no longer matches its MIF).

#include <cstdint>
#include <string_view>

namespace zorvel::util {

// Compares the modification times of the first file (the MIF) and the second (its MID).
// True when the check passes, or fails only as a warning; in error mode a second file
// saved later closes both units (those of 1 or more), asks for a re-export and gives
// false, and a file whose time cannot be looked up ends the run. Report lines also go
// to the log unit when it is 1 or more.
bool CHECKMISAVEDATE(std::string_view first, std::string_view second, int& first_unit, int& second_unit,
                     bool error_mode, std::int32_t log_unit);

// The last-modification time of a file in seconds; false when it cannot be looked up.
bool modification_time(std::string_view name, std::int64_t& seconds);

}  // namespace zorvel::util
