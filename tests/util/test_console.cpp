#include <gtest/gtest.h>

#include <sstream>

#include "util/console.hpp"
#include "util/run_end.hpp"
#include "util/units.hpp"

namespace zorvel::util {
namespace {

TEST(Console, TracksWhetherTheLineIsComplete) {
    std::ostringstream out;
    std::istringstream in("typed\n");
    ConsoleCapture capture(out, in);
    console().write("\nTrying to open file a.dat...");
    EXPECT_FALSE(console().line_complete());
    console().line("OK.");
    EXPECT_TRUE(console().line_complete());
    EXPECT_EQ(console().read_line().value(), "typed");
    EXPECT_FALSE(console().read_line().has_value());
    EXPECT_EQ(out.str(), "\nTrying to open file a.dat...OK.\n");
}

// An answer is read up to its line end, a last line without one included; a line that runs
// past the bound gives up the input for good instead of growing without end.
TEST(Console, AnswersEndAtTheLineEndAndAnEndlessLineEndsTheInput) {
    std::ostringstream out;
    std::istringstream in("one\r\nlast");
    ConsoleCapture capture(out, in);
    EXPECT_EQ(console().read_line().value(), "one");
    EXPECT_EQ(console().read_line().value(), "last");
    EXPECT_FALSE(console().read_line().has_value());
    EXPECT_FALSE(console().answer_too_long());

    std::istringstream endless(std::string(kMaxAnswer + 10, 'x') + "\nnext\n");
    ConsoleCapture capture2(out, endless);
    EXPECT_FALSE(console().read_line().has_value());
    EXPECT_TRUE(console().answer_too_long());
    EXPECT_FALSE(console().read_line().has_value());
}

TEST(Frame, ExitsPausesAndEndsWithTheStatus) {
    std::ostringstream out;
    std::istringstream in("");
    ConsoleCapture capture(out, in);
    FILEUNITINIT(1000);
    try {
        EXITS();
        FAIL() << "EXITS returned";
    } catch (const RunEnd& end) {
        EXPECT_EQ(end.status, 1);
    }
    EXPECT_EQ(out.str(), "\nPress Enter to Close\n");
}

TEST(Frame, UnitInitGivesSlotAndPoolUnits) {
    FILEUNITINIT(1000);
    EXPECT_EQ(unit_tables().slots[0].unit, 993);
    EXPECT_EQ(unit_tables().slots[7].unit, 1000);
    EXPECT_EQ(unit_tables().pool[0].unit, 1001);
    EXPECT_EQ(unit_tables().pool[999].unit, 2000);
    FILEUNITINIT(5);
    EXPECT_EQ(unit_tables().slots[0].unit, 2);  // base 9: slots 9-8+1 .. 9
    EXPECT_EQ(unit_tables().pool[0].unit, 10);
    EXPECT_EQ(unit_tables().pool[999].unit, 1009);
}

}  // namespace
}  // namespace zorvel::util
