#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>

#include "driver/ends.hpp"
#include "results/results_writer.hpp"
#include "util/console.hpp"
#include "util/run_end.hpp"
#include "util/units.hpp"

namespace {

using namespace zorvel;

struct Ended {
    std::string text;
    int status = -1;
    std::string unread;  // console input left after the end: shows whether it waited
};

Ended run_end(const std::function<void()>& end) {
    util::FILEUNITINIT(1000);
    std::ostringstream out;
    std::istringstream in("first\nsecond\n");
    util::ConsoleCapture cap(out, in);
    Ended e;
    try {
        end();
    } catch (const util::RunEnd& r) {
        e.status = r.status;
    }
    e.text = out.str();
    std::getline(in, e.unread, '\0');
    return e;
}

TEST(Ends, EachEndWritesWaitsAndSetsTheStatus) {
    const std::string refusal =
        "\nError - Difference in duration (-ddur) not yet implemented for xmdf files.\n"
        "    For .dat files, a previous version of the utility can be used.\n";
    const struct {
        const char* what;
        std::function<void()> end;
        std::string text;
        int status;
        bool waits;
    } cases[] = {
        {"normal, -b", [] { driver::end_normal(true); }, "", 0, false},
        {"normal", [] { driver::end_normal(false); }, "\nPress Enter to Close\n", 0, true},
        {"E1", [] { driver::end_exits("\nERROR - x"); }, "\nERROR - x\n\nPress Enter to Close\n", 1, true},
        {"E2", [] { driver::end_pause("ERROR - y"); }, "ERROR - y\n", 1, true},
        {"E3, -b", [] { driver::end_ddur_refused(true); }, refusal, 1, false},
        {"E3", [] { driver::end_ddur_refused(false); }, refusal + "\nPress Enter to Close\n", 1, true},
        {"closing tail, -b",
         [] {
             results::OutputDescription out;  // not open: closing it writes nothing
             driver::end_closing_files(out, true);
         },
         "\nClosing files and exiting\n\n", 0, false},
        {"closing tail",
         [] {
             results::OutputDescription out;
             driver::end_closing_files(out, false);
         },
         "\nClosing files and exiting\n\n\nPress Enter to Close\n", 0, true},
        {"listing, -b",
         [] {
             int units[2] = {0, 0};  // ".xmdf" inputs: no unit to close
             driver::end_times_listing(units, true);
         },
         "\nFinished.\n", 0, false},
        {"listing",
         [] {
             int units[1] = {0};
             driver::end_times_listing(units, false);
         },
         "\nFinished.\n", 0, true},
    };
    for (const auto& c : cases) {
        const Ended e = run_end(c.end);
        EXPECT_EQ(e.text, c.text) << c.what;
        EXPECT_EQ(e.status, c.status) << c.what;
        EXPECT_EQ(e.unread, c.waits ? "second\n" : "first\nsecond\n") << c.what;
    }
}

}  // namespace
