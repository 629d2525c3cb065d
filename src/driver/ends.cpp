#include "driver/ends.hpp"

#include "util/begun_outputs.hpp"
#include "util/console.hpp"
#include "util/run_end.hpp"
#include "util/units.hpp"

namespace zorvel::driver {

void end_normal(bool batch) {
    // Outputs whose closes follow the closing line are moved into place here.
    util::move_outputs_into_place();
    // A stop signal from now on ends the run as the completed run it is.
    util::closing_line_written();
    if (batch) throw util::RunEnd{0};
    util::EXITS(0);
}

void end_finished(results::OutputDescription& out, bool batch) {
    results::CLOSE_OUTPUT(out);
    util::move_outputs_into_place();
    util::console().line();
    util::console().line("Finished.");
    util::console().line();
    end_normal(batch);
}

void end_closing_files(results::OutputDescription& out, bool batch) {
    util::console().line();
    util::console().line("Closing files and exiting");
    util::console().line();
    results::CLOSE_OUTPUT(out);
    end_normal(batch);
}

void end_times_listing(std::span<int> units, bool batch) {
    for (int& unit : units)
        if (unit != 0) util::CLOSER(unit);
    // The listing is complete: it is in place before the wait.
    util::move_outputs_into_place();
    util::console().line();
    util::console().line("Finished.");
    util::closing_line_written();
    if (!batch) util::console().wait_for_enter();
    throw util::RunEnd{0};
}

void end_exits(std::string_view message) { util::fail_at_once(message); }

void end_pause(std::string_view message, std::string_view advice) {
    util::console().line(message);
    if (!advice.empty()) util::console().line(advice);
    util::pause_and_exit(1);
}

void end_ddur_refused(bool batch) {
    util::console().line();
    util::console().line("Error - Difference in duration (-ddur) not yet implemented for xmdf files.");
    util::console().line("    For .dat files, a previous version of the utility can be used.");
    if (batch) throw util::RunEnd{1};
    util::EXITS(1);
}

}  // namespace zorvel::driver
