// The cap on a run's memory: its bound against what sound runs were measured to take and
// against the damaged file it must stop, and the soft limit it sets as files and counts
// come in (in a child process, whose limits die with it).

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <new>
#include <string>
#include <vector>

#include "util/memory_cap.hpp"
#include "util/zeroed_array.hpp"

using namespace zorvel::util;

namespace {

constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;

// What a run read and the data memory it was measured to take (RLIMIT_DATA counts: the
// smallest limit under which it still passed).
struct SoundRun {
    const char* what;
    ReadSoFar read;
    std::uint64_t takes;
};

const SoundRun kSoundRuns[] = {
    {"-max of a .dat file of 10 nodes and one record", {1, 155, 0}, 6 * kMiB},
    {"-max of 100 .xmdf files of 6 nodes", {100, 100 * 58352, 6}, 81 * kMiB},
    {"-max of a .dat file of one record of 1,000,000 nodes and cells", {1, 5000105, 0}, 206 * kMiB},
    {"-max of a vector .dat file of one record of 1,000,000 nodes and cells", {1, 9000105, 0}, 210 * kMiB},
    {"-max of a compressed .xmdf file of one step of 1,000,000 nodes", {1, 19874, 1000000}, 306 * kMiB},
    {"-conv of the same", {1, 19874, 1000000}, 292 * kMiB},
    {"-max of a compressed vector .xmdf file of one step of 1,000,000 nodes", {1, 24283, 1000000}, 324 * kMiB},
    {"-max of a compressed .xmdf file of one step of 4,000,000 nodes", {1, 35439, 4000000}, 1204 * kMiB},
};

// Ends the child: status 0 when nothing failed, else 1 with the failures on stderr.
[[noreturn]] void end_child(const std::vector<std::string>& failed) {
    for (const std::string& f : failed) std::fprintf(stderr, "%s\n", f.c_str());
    std::fflush(stderr);
    ::_exit(failed.empty() ? 0 : 1);
}

// Records a failure unless the data limit is what is wanted.
void expect_limit(std::vector<std::string>& failed, const char* when, std::uint64_t want) {
    if (data_limit() != want)
        failed.push_back(std::string(when) + ": limit " + std::to_string(data_limit()) + ", want " +
                         std::to_string(want));
}

// In a child: the limit as the named file, an opened file and counts come in, and arrays
// and copies past it.
[[noreturn]] void follow_in_child(const std::string& file) {
    std::vector<std::string> failed;
    rlimit none{RLIM_INFINITY, RLIM_INFINITY};
    ::setrlimit(RLIMIT_DATA, &none);
    const std::vector<std::string> names = {file, file, "no such file", "/tmp"};
    cap_memory(names);
    expect_limit(failed, "named", memory_bound({1, 1000, 0}));
    count_read_file(FileId{1, 2}, 100000);
    count_read_file(FileId{1, 2}, 100000);
    expect_limit(failed, "opened", memory_bound({2, 1000 + 100000, 0}));
    count_backed_values(1000);
    count_backed_values(10);
    expect_limit(failed, "counted", memory_bound({2, 1000 + 100000, 1000}));
    ZeroedArray<float> array;
    if (array.allocate(std::int64_t{1} << 28) != 1) failed.push_back("a zeroed array of 1 GiB was made");
    ZeroedArray<float> large;
    if (large.allocate(std::int64_t{25} << 20) != 0) failed.push_back("a zeroed array of 100 MiB was refused");
    try {
        const ZeroedArray<float> copy = large;
        failed.push_back("a copy past the cap was made");
    } catch (const std::bad_alloc&) {
    }
    try {
        std::vector<char> v(std::size_t{1} << 30);
        failed.push_back("a vector of 1 GiB was made");
    } catch (const std::bad_alloc&) {
    }
    end_child(failed);
}

// In a child: a given limit of 300 MiB against the bound of nothing read and of more.
[[noreturn]] void given_limit_in_child() {
    std::vector<std::string> failed;
    rlimit given{300 * kMiB, RLIM_INFINITY};
    ::setrlimit(RLIMIT_DATA, &given);
    cap_memory({});
    expect_limit(failed, "nothing read", memory_bound({}));
    count_read_file(FileId{1, 3}, std::uint64_t{1} << 30);
    expect_limit(failed, "a file of 1 GiB", 300 * kMiB);
    count_backed_values(1000000);
    expect_limit(failed, "a count of 1,000,000", 300 * kMiB);
    end_child(failed);
}

}  // namespace

// Every sound run measured stays far below the bound of what it read; the damaged file on
// which HDF5 runs away (92,810 bytes, nothing of it counted) gets a bound that it reaches
// within seconds.
TEST(MemoryCap, BoundIsFarAboveSoundRunsAndCloseAboveNothing) {
    for (const SoundRun& run : kSoundRuns)
        EXPECT_GE(memory_bound(run.read), 4 * run.takes) << run.what;
    EXPECT_LE(memory_bound({1, 92810, 0}), 128 * kMiB);
    // Sizes past any real file do not wrap round to a small bound.
    constexpr std::uint64_t most = std::numeric_limits<std::uint64_t>::max();
    EXPECT_EQ(memory_bound({most, 0, 0}), most);
    EXPECT_EQ(memory_bound({0, most / 3, 0}), most);
    EXPECT_EQ(memory_bound({0, 0, most / 3}), most);
}

// The limit follows what is counted: the named files once each (names of no file and
// folders count nothing), each file opened later once, a larger backed count, and never a
// smaller one; under it, arrays past it are refused as the allocation check expects, and a
// copy past it throws as the run's end at the allocation check expects.
TEST(MemoryCap, LimitFollowsWhatIsReadAndRefusesArraysPastIt) {
    if (!memory_cap_possible()) GTEST_SKIP() << "no cap under the address sanitizer";
    const std::filesystem::path file = std::filesystem::temp_directory_path() / ("cap_" + std::to_string(::getpid()));
    std::ofstream(file) << std::string(1000, 'x');
    EXPECT_EXIT(follow_in_child(file.string()), ::testing::ExitedWithCode(0), "");
    std::filesystem::remove(file);
}

// A limit that the run was given stays as it is where the bound is above it, and the cap
// lowers none that is set below the bound.
TEST(MemoryCap, GivenLimitIsNeverRaised) {
    if (!memory_cap_possible()) GTEST_SKIP() << "no cap under the address sanitizer";
    EXPECT_EXIT(given_limit_in_child(), ::testing::ExitedWithCode(0), "");
}
