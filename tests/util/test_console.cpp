#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include "util/console.hpp"
#include "util/file_io.hpp"
#include "util/run_end.hpp"
#include "util/units.hpp"

namespace zorvel::util {
namespace {

// Standard output moved onto the descriptor while it lives, and the process's console taking
// it on as its standard output, with the given input. Nothing is asserted meanwhile, so that
// no test text goes there.
class StdoutOnto {
public:
    StdoutOnto(int fd, std::istream& in) {
        std::fflush(stdout);
        saved_ = ::dup(STDOUT_FILENO);
        ::dup2(fd, STDOUT_FILENO);
        previous_ = console().redirect(nullptr, in);
    }
    ~StdoutOnto() {
        console().redirect(previous_.first, *previous_.second);
        std::fflush(stdout);
        ::dup2(saved_, STDOUT_FILENO);
        ::close(saved_);
    }
    StdoutOnto(const StdoutOnto&) = delete;
    StdoutOnto& operator=(const StdoutOnto&) = delete;

private:
    int saved_ = -1;
    std::pair<std::ostream*, std::istream*> previous_;
};

// The bytes that have reached the reading end since the last call: what is there at once,
// or (wait) what comes within a second and until the other end is quiet for 50 ms.
std::string arrived(int fd, bool wait = false) {
    std::string got;
    char buf[4096];
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        const int ms = !wait ? 0 : got.empty() ? 1000 : 50;
        if (::poll(&p, 1, ms) <= 0) return got;
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0) return got;
        got.append(buf, static_cast<std::size_t>(n));
    }
}

// The process's console writing into a pipe holds its text until the buffer fills, a read of
// the input, a flush or a signal handler's last words; every byte arrives once, in order.
TEST(ProcessConsole, HoldsItsTextUntilAReadAFlushOrAHandlerAsksForIt) {
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    (void)::fcntl(ends[1], F_SETPIPE_SZ, 1 << 20);
    const int pipe_room = ::fcntl(ends[1], F_GETPIPE_SZ);
    ASSERT_EQ(::fcntl(ends[0], F_SETFL, O_NONBLOCK), 0);
    struct Step {
        const char* what;
        std::function<void()> act;
        std::string expected;
    };
    const std::string big(std::size_t{1} << 18, 'x');
    ASSERT_GT(static_cast<std::size_t>(pipe_room), big.size()) << "the pipe holds the test's text unread";
    const Step steps[] = {
        {"a text and a line", [] { console().write("\nTrying to open file a.dat..."); console().line("OK."); }, ""},
        {"a read of the input", [] { (void)console().read_line(); }, "\nTrying to open file a.dat...OK.\n"},
        {"a handler's flush", [] { console().line("Writing END cards"); flush_console_at_fault(); },
         "Writing END cards\n"},
        {"a second handler's flush, then a flush", [] { flush_console_at_fault(); console().flush(); }, ""},
        {"a handler's last words",
         [] {
             console().write("\nClosing output file.");
             say_at_fault("\nERROR - Run interrupted by signal SIGINT.\n");
         },
         "\nClosing output file.\nERROR - Run interrupted by signal SIGINT.\n"},
        {"a flush after them", [] { console().flush(); }, ""},
        {"the end of a run", [] { console().line("Finished."); console().flush(); }, "Finished.\n"},
        {"a text larger than the buffer, then a flush", [&] { console().write(big); console().flush(); }, big},
    };
    std::vector<std::string> got;
    std::string before_flush;
    {
        std::istringstream in("typed\n");
        const StdoutOnto onto(ends[1], in);
        for (const Step& s : steps) {
            s.act();
            got.push_back(arrived(ends[0]));
        }
        console().write(big);
        before_flush = arrived(ends[0]);
    }
    const std::string after_flush = arrived(ends[0]);
    ::close(ends[0]);
    ::close(ends[1]);
    for (std::size_t k = 0; k < got.size(); ++k) EXPECT_EQ(got[k], steps[k].expected) << steps[k].what;
    EXPECT_FALSE(before_flush.empty()) << "a full buffer is written";
    EXPECT_LT(before_flush.size(), big.size());
    EXPECT_EQ(before_flush + after_flush, big) << "the rest is written when the console is routed elsewhere";
}

// On a terminal every text shows as it is written, a trace's count without its line end too.
TEST(ProcessConsole, WritesEachTextAtOnceToATerminal) {
    const int terminal = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (terminal < 0 || ::grantpt(terminal) != 0 || ::unlockpt(terminal) != 0) GTEST_SKIP() << "no terminal to open";
    const int user_side = ::open(::ptsname(terminal), O_RDWR | O_NOCTTY);
    ASSERT_GE(user_side, 0);
    termios raw{};
    ASSERT_EQ(::tcgetattr(user_side, &raw), 0);
    ::cfmakeraw(&raw);
    ASSERT_EQ(::tcsetattr(user_side, TCSANOW, &raw), 0);
    std::string count;
    std::string line;
    {
        std::istringstream in;
        const StdoutOnto onto(user_side, in);
        console().write("Element:   10000");
        count = arrived(terminal, true);
        console().line("   20000");
        line = arrived(terminal, true);
    }
    ::close(user_side);
    ::close(terminal);
    EXPECT_EQ(count, "Element:   10000");
    EXPECT_EQ(line, "   20000\n");
}

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
