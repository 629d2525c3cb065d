#include "util/save_date.hpp"

#include <string>
#include <sys/stat.h>

#include "util/console.hpp"
#include "util/file_io.hpp"
#include "util/text.hpp"
#include "util/units.hpp"

namespace zorvel::util {

namespace {

// A file name between double quotes, trimmed.
std::string quoted_name(std::string_view name) {
    std::string q(1, '"');
    q.append(rtrim(name));
    q.push_back('"');
    return q;
}

}  // namespace

bool modification_time(std::string_view name, std::int64_t& seconds) {
    struct stat st {};
    if (::stat(os_name(TRIMF(name)).c_str(), &st) != 0) return false;
    seconds = static_cast<std::int64_t>(st.st_mtime);
    return true;
}

bool CHECKMISAVEDATE(std::string_view first, std::string_view second, int& first_unit, int& second_unit,
                     bool error_mode, std::int32_t log_unit) {
    Console& con = console();
    std::int64_t t1 = 0;
    const bool first_known = modification_time(first, t1);
    con.write("Checking save date is later than that of " + trimmed(second) + "...");
    std::int64_t t2 = 0;
    const bool second_known = modification_time(second, t2);
    const std::string prefix = error_mode ? "ERROR 0004" : "WARNING 0004";

    if (!first_known || !second_known) {
        con.line("NOT OK");
        con.line();
        const std::string report =
            prefix + " - Could not access save date of " + quoted_name(first) + " to check with " + quoted_name(second);
        con.line(report);
        unit_line(log_unit, report);
        if (!error_mode) return true;
        const std::string note =
            "NOTE - If using KESTRA.exe, use CHECK MI SAVE DATE == WARNING or OFF to suppress check";
        con.line();
        con.line(note);
        con.line();
        unit_line(log_unit, note);
        EXITS();
    }

    if (t1 >= t2) {
        con.line("OK");
        con.line();
        return true;
    }

    con.line("NOT OK");
    con.line();
    if (error_mode) {
        if (first_unit >= 1) CLOSER(first_unit);
        if (second_unit >= 1) CLOSER(second_unit);
    }
    const std::string report =
        prefix + " - Save date of " + quoted_name(second) + " file is later than that of " + quoted_name(first);
    con.line(report);
    if (!error_mode) {
        unit_line(log_unit, report);
        return true;
    }
    con.line("Re-export mif file and press Enter, or close window.");
    con.wait_for_enter();
    return false;
}

}  // namespace zorvel::util
