#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "util/begun_outputs.hpp"
#include "util/file_io.hpp"
#include "util/run_end.hpp"
#include "unit_fixture.hpp"

namespace zorvel::util {
namespace {

namespace fs = std::filesystem;

// The names in the folder that are temporary outputs.
std::vector<std::string> temporary_files(const fs::path& folder = ".") {
    std::vector<std::string> found;
    for (const auto& e : fs::directory_iterator(folder))
        if (e.path().filename().string().find(".zorvel-") != std::string::npos) found.push_back(e.path().string());
    return found;
}

// Tests of a run's outputs: they wait for the run's end, as in a run.
class BegunOutputs : public testing::InTempFolder {
protected:
    void SetUp() override {
        InTempFolder::SetUp();
        keep_begun_outputs();  // what earlier tests of the process made is theirs
        defer_outputs_to_run_end(true);
    }
    void TearDown() override {
        keep_begun_outputs();
        defer_outputs_to_run_end(false);
        InTempFolder::TearDown();
    }
};

// Outputs are written beside their names and reach them only when the run moves them into
// place: an error end removes the temporary files alone, every earlier file under the names
// as it was, closed outputs and those past the first block of the table included.
TEST_F(BegunOutputs, AnErrorEndLeavesEveryEarlierFileAsItWas) {
    make_file("appended.txt", "before");
    make_file("earlier.dat", "earlier result");
    auto closed = File::open("closed.dat", FileKind::bytes_out);
    closed->write("whole", 5);
    ASSERT_TRUE(closed->close());
    auto open = File::open("earlier.dat", FileKind::bytes_out);
    open->write("part", 4);
    auto appended = File::open("appended.txt", FileKind::text_out, Existing::append, false);
    auto made_in_place = File::open("kept.txt", FileKind::text_out, Existing::keep, false);
    ASSERT_TRUE(open && appended && made_in_place);
    ASSERT_TRUE(appended->close() && made_in_place->close());
    std::string temp;
    ASSERT_GE(begin_output("made.xmdf", true, temp), 0);
    std::vector<std::string> many;
    for (int k = 0; k < 300; ++k) {
        many.push_back("many_" + std::to_string(k) + ".txt");
        ASSERT_TRUE(File::open(many.back(), FileKind::text_out)->close());
    }
    EXPECT_FALSE(fs::exists("closed.dat")) << "a closed output waits for the run's end";
    EXPECT_EQ(contents("earlier.dat"), "earlier result");

    remove_begun_outputs();
    for (const char* name : {"closed.dat", "made.xmdf", "kept.txt"}) EXPECT_FALSE(fs::exists(name)) << name;
    for (const std::string& name : many) EXPECT_FALSE(fs::exists(name)) << name;
    EXPECT_EQ(contents("earlier.dat"), "earlier result");
    EXPECT_EQ(contents("appended.txt"), "before");
    EXPECT_TRUE(temporary_files().empty());
}

// The normal end moves every output onto its name; a link stays and the file it leads to is
// replaced, with the permissions of the file it replaces.
TEST_F(BegunOutputs, TheNormalEndMovesEveryOutputIntoPlace) {
    fs::create_directory("store");
    make_file("store/kept.dat", "old");
    ::chmod("store/kept.dat", 0640);
    fs::create_symlink("store/kept.dat", "link.dat");
    fs::create_symlink("store/future.dat", "dangling.dat");
    for (const char* name : {"new.dat", "link.dat", "dangling.dat"}) {
        auto f = File::open(name, FileKind::bytes_out);
        ASSERT_TRUE(f) << name;
        f->write(std::string("new ") + name);
        ASSERT_TRUE(f->close());
    }
    std::string failed;
    bool written_into = false;
    ASSERT_TRUE(move_begun_outputs_into_place(failed, written_into));
    EXPECT_EQ(contents("new.dat"), "new new.dat");
    EXPECT_TRUE(fs::is_symlink("link.dat"));
    EXPECT_EQ(contents("store/kept.dat"), "new link.dat");
    EXPECT_EQ(fs::status("store/kept.dat").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_TRUE(fs::is_symlink("dangling.dat"));
    EXPECT_EQ(contents("store/future.dat"), "new dangling.dat");
    EXPECT_TRUE(temporary_files().empty());
    EXPECT_TRUE(temporary_files("store").empty());
    // Moved outputs are no longer the run's: a later error end leaves them.
    remove_begun_outputs();
    EXPECT_EQ(contents("new.dat"), "new new.dat");
}

// Where an output may be begun: replacing or not, and never over anything but a regular file.
TEST_F(BegunOutputs, AnOutputIsBegunOnlyWhereAFileMayBeReplaced) {
    make_file("old.xmdf", "old contents");
    fs::create_directory("folder.xmdf");
    ASSERT_EQ(::mkfifo("pipe.dat", 0644), 0);
    fs::create_symlink("folder.xmdf", "to_folder.xmdf");
    fs::create_symlink("loop_a", "loop_b");
    fs::create_symlink("loop_b", "loop_a");
    struct Case {
        const char* name;
        bool replace;
        int error;  // errno when no output is begun, else 0
    };
    const Case cases[] = {
        {"old.xmdf", true, 0},
        {"new.xmdf", false, 0},
        {"old.xmdf", false, EEXIST},
        {"missing/out.xmdf", true, ENOENT},
        {"folder.xmdf", true, EINVAL},
        {"pipe.dat", true, EINVAL},
        {"to_folder.xmdf", true, EINVAL},
        {"loop_a", true, EINVAL},
        {"name_too_long_", true, ENAMETOOLONG},
    };
    for (const Case& c : cases) {
        errno = 0;
        std::string temp;
        const std::string name = c.error == ENAMETOOLONG ? std::string(NAME_MAX + 1, 'x') : c.name;
        const int entry = begin_output(name, c.replace, temp);
        EXPECT_EQ(entry >= 0, c.error == 0) << c.name;
        if (c.error == 0) {
            EXPECT_EQ(contents(temp), "") << c.name;
            EXPECT_EQ(fs::path(temp).parent_path(), fs::absolute(c.name).parent_path()) << temp;
        } else {
            EXPECT_EQ(errno, c.error) << c.name;
        }
    }
    EXPECT_EQ(contents("old.xmdf"), "old contents");
    EXPECT_TRUE(fs::is_fifo("pipe.dat"));
    EXPECT_TRUE(fs::is_directory("folder.xmdf"));
    remove_begun_outputs();
    EXPECT_EQ(contents("old.xmdf"), "old contents");
    EXPECT_FALSE(fs::exists("new.xmdf"));
    EXPECT_TRUE(temporary_files().empty());
}

// A temporary name says which output it belongs to, is the run's own and ends in no extension
// of a results file, within the longest file name.
TEST_F(BegunOutputs, ATemporaryNameShowsItsOutput) {
    const std::string pid = std::to_string(::getpid());
    std::string first, second;
    ASSERT_GE(begin_output("run_d(maxmax).dat", true, first), 0);
    ASSERT_GE(begin_output("run_d(maxmax).dat", true, second), 0);
    const std::string name = fs::path(first).filename().string();
    EXPECT_EQ(name.rfind("run_d(maxmax).dat.zorvel-" + pid + "-", 0), 0u) << name;
    EXPECT_EQ(fs::path(name).extension(), ".tmp");
    EXPECT_NE(first, second);
    const std::string long_name(NAME_MAX, 'x');
    std::string temp;
    ASSERT_GE(begin_output(long_name, true, temp), 0);
    EXPECT_EQ(fs::path(temp).filename().string().size(), static_cast<std::size_t>(NAME_MAX));
    remove_begun_outputs();
}

// A stop signal that comes while the outputs move waits until they are all in place, and then
// ends the run as the completed run it is: at its closing line, status 0, no wait for Enter;
// one that comes after that line ends the process at once, status 0.
TEST_F(BegunOutputs, AStopSignalOnceTheOutputsMoveEndsTheRunAsCompleted) {
    for (const bool during_moves : {true, false}) {
        make_file("earlier.dat", "earlier result");
        EXPECT_EXIT(
            {
                install_stop_handlers();
                auto f = File::open("earlier.dat", FileKind::bytes_out);
                f->write("new result", 10);
                (void)f->close();
                std::string failed;
                bool written_into = false;
                {
                    const HoldStopSignals around_the_moves;
                    if (during_moves) ::raise(SIGTERM);
                    if (!move_begun_outputs_into_place(failed, written_into)) std::exit(4);
                }
                if (!during_moves) {
                    closing_line_written();
                    ::raise(SIGTERM);
                    std::exit(5);
                }
                try {
                    closing_line_written();
                } catch (const RunEnd& end) {
                    std::exit(end.status);
                }
                std::exit(6);
            },
            ::testing::ExitedWithCode(0), "")
            << (during_moves ? "during the moves" : "after the closing line");
        EXPECT_EQ(contents("earlier.dat"), "new result");
        EXPECT_TRUE(temporary_files().empty());
    }
}

// Outside a run (callers of the library) an output goes onto its name when it is closed whole.
class BegunOutputsOutsideARun : public testing::InTempFolder {};

TEST_F(BegunOutputsOutsideARun, AClosedOutputGoesOntoItsNameAtOnce) {
    defer_outputs_to_run_end(false);
    make_file("out.txt", "old");
    auto f = File::open("out.txt", FileKind::text_out);
    f->write("new");
    EXPECT_EQ(contents("out.txt"), "old");
    ASSERT_TRUE(f->close());
    EXPECT_EQ(contents("out.txt"), "new");
    remove_begun_outputs();
    EXPECT_EQ(contents("out.txt"), "new");
    EXPECT_TRUE(temporary_files().empty());
}

// A stop signal ends the process with its line and the shell's status for it, every
// temporary output removed and every earlier file as it was.
TEST_F(BegunOutputs, AStopSignalRemovesTheTemporaryFilesAndEndsWithItsStatus) {
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
        make_file("earlier.dat", "earlier result");
        EXPECT_EXIT(
            {
                const int console = ::open("console.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
                ::dup2(console, STDOUT_FILENO);
                install_stop_handlers();
                (void)File::open("closed.dat", FileKind::bytes_out)->close();
                auto open = File::open("earlier.dat", FileKind::bytes_out);
                open->write(std::string(2 * File::kBufferSize, 'y'));
                ::raise(c.sig);
                std::exit(3);
            },
            ::testing::ExitedWithCode(128 + c.sig), "")
            << c.line;
        EXPECT_EQ(contents("console.txt"), c.line);
        EXPECT_FALSE(fs::exists("closed.dat"));
        EXPECT_EQ(contents("earlier.dat"), "earlier result");
        EXPECT_TRUE(temporary_files().empty());
    }
}

}  // namespace
}  // namespace zorvel::util
