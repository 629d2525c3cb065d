#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "util/begun_outputs.hpp"
#include "util/file_io.hpp"
#include "unit_fixture.hpp"

namespace zorvel::util {
namespace {

namespace fs = std::filesystem;

class BegunOutputs : public testing::InTempFolder {
protected:
    void SetUp() override {
        InTempFolder::SetUp();
        keep_begun_outputs();  // what earlier tests of the process made is theirs
    }
    void TearDown() override {
        keep_begun_outputs();
        InTempFolder::TearDown();
    }
};

// An error end takes back every file the run made or emptied, the ones already closed
// and whole among them, and no file that the run only added to or wrote into in place.
TEST_F(BegunOutputs, AnErrorEndRemovesEveryOutputTheRunMadeClosedOrNot) {
    make_file("appended.txt", "before");
    make_file("kept.txt", "before");
    make_file("emptied.dat", "old contents");
    auto closed = File::open("closed.dat", FileKind::bytes_out);
    closed->write("whole", 5);
    ASSERT_TRUE(closed->close());
    auto open = File::open("open.dat", FileKind::bytes_out);
    open->write("part", 4);
    auto emptied = File::open("emptied.dat", FileKind::bytes_out);
    auto appended = File::open("appended.txt", FileKind::text_out, Existing::append, false);
    auto kept = File::open("kept.txt", FileKind::text_out, Existing::keep, false);
    ASSERT_TRUE(open && emptied && appended && kept);
    ASSERT_TRUE(appended->close() && kept->close());
    ASSERT_GE(begin_output_file("made.xmdf", true), 0);
    // Past the first block of the table.
    std::vector<std::string> many;
    for (int k = 0; k < 300; ++k) {
        many.push_back("many_" + std::to_string(k) + ".txt");
        ASSERT_TRUE(File::open(many.back(), FileKind::text_out)->close());
    }

    remove_begun_outputs();
    for (const char* name : {"closed.dat", "open.dat", "emptied.dat", "made.xmdf"})
        EXPECT_FALSE(fs::exists(name)) << name;
    for (const std::string& name : many) EXPECT_FALSE(fs::exists(name)) << name;
    EXPECT_EQ(contents("appended.txt"), "before");
    EXPECT_EQ(contents("kept.txt"), "before");
}

// A normal end keeps every output; a file once removed, or kept, is no longer the run's,
// so a later file under its name survives a later error end.
TEST_F(BegunOutputs, OutputsKeptOrRemovedOnceAreForgotten) {
    ASSERT_TRUE(File::open("kept.dat", FileKind::bytes_out)->close());
    keep_begun_outputs();
    auto discarded = File::open("again.dat", FileKind::bytes_out);
    discarded->discard();
    EXPECT_FALSE(fs::exists("again.dat"));
    const int entry = begin_output_file("entry.xmdf", true);
    remove_begun_output(entry);
    EXPECT_FALSE(fs::exists("entry.xmdf"));
    make_file("again.dat", "someone else's");
    make_file("entry.xmdf", "someone else's");

    remove_begun_outputs();
    EXPECT_TRUE(fs::exists("kept.dat"));
    EXPECT_EQ(contents("again.dat"), "someone else's");
    EXPECT_EQ(contents("entry.xmdf"), "someone else's");
}

// A file made for writing: replaced (emptied) or only made when new; a file that cannot be
// made is neither touched nor entered.
TEST_F(BegunOutputs, AnOutputFileIsMadeOrLeftAlone) {
    make_file("old.xmdf", "old contents");
    make_file("other.xmdf", "other contents");
    struct Case {
        const char* name;
        bool replace;
        int error;  // errno when the file is not made, else 0
    };
    const Case cases[] = {
        {"old.xmdf", true, 0},
        {"new.xmdf", false, 0},
        {"other.xmdf", false, EEXIST},
        {"missing/out.xmdf", true, ENOENT},
    };
    for (const Case& c : cases) {
        errno = 0;
        const int entry = begin_output_file(c.name, c.replace);
        EXPECT_EQ(entry >= 0, c.error == 0) << c.name;
        if (c.error == 0)
            EXPECT_EQ(contents(c.name), "") << c.name;
        else
            EXPECT_EQ(errno, c.error) << c.name;
    }
    remove_begun_outputs();
    EXPECT_FALSE(fs::exists("old.xmdf"));
    EXPECT_FALSE(fs::exists("new.xmdf"));
    EXPECT_EQ(contents("other.xmdf"), "other contents") << "a file that was not made is not the run's";
}

// A stop signal ends the process with its line and the shell's status for it, every output
// of the run removed; one that arrives while signals are held waits until the file being
// made is entered.
TEST_F(BegunOutputs, AStopSignalRemovesTheOutputsAndEndsWithItsStatus) {
    struct Case {
        int sig;
        const char* line;
    };
    const Case cases[] = {
        {SIGINT, "\nERROR - Run interrupted by signal SIGINT.\n"},
        {SIGTERM, "\nERROR - Run interrupted by signal SIGTERM.\n"},
        {SIGHUP, "\nERROR - Run interrupted by signal SIGHUP.\n"},
    };
    for (const Case& c : cases) {
        make_file("appended.txt", "before");
        EXPECT_EXIT(
            {
                const int console = ::open("console.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
                ::dup2(console, STDOUT_FILENO);
                install_stop_handlers();
                (void)File::open("closed.dat", FileKind::bytes_out)->close();
                auto open = File::open("open.dat", FileKind::bytes_out);
                auto appended = File::open("appended.txt", FileKind::text_out, Existing::append, false);
                appended->write(std::string(2 * File::kBufferSize, 'y'));
                {
                    const HoldStopSignals hold;
                    ::raise(c.sig);
                    const int fd = ::open("held.xmdf", O_WRONLY | O_CREAT | O_TRUNC, 0644);
                    ::close(fd);
                    (void)enter_begun_output("held.xmdf");
                }
                std::exit(3);
            },
            ::testing::ExitedWithCode(128 + c.sig), "")
            << c.line;
        EXPECT_EQ(contents("console.txt"), c.line);
        for (const char* name : {"closed.dat", "open.dat", "held.xmdf"}) EXPECT_FALSE(fs::exists(name)) << name;
        EXPECT_EQ(contents("appended.txt"), "before");
    }
}

}  // namespace
}  // namespace zorvel::util
