// The -times listing of a large ".dat" file against a plain read of the same file: a scalar
// file of 1,000,000 nodes and cells with 100 records (about 500 MB) is written into a temp
// folder (TMPDIR), then read plainly and listed by the real zorvel executable (the one built
// beside this program) by turns, run as a child process. -times reads only each record's
// time and moves past its values, so it should take a small part of the plain read.
// A header of the same size without records is listed too, for the share of the run that
// is set-up (reading the header, allocating the run's records) rather than listing.
// Prints the medians of the paired rounds and the peak memory; the files are removed at the end.

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "flood_file.hpp"
#include "results/dat.hpp"
#include "util/console.hpp"
#include "util/file_io.hpp"
#include "util/units.hpp"

namespace {

using namespace zorvel;

constexpr std::int32_t kNodes = 1'000'000;
constexpr std::int32_t kCells = 1'000'000;
constexpr int kRecords = 100;
constexpr int kRounds = 7;

// The median of a list of timings.
double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The number of lines of a text file.
std::size_t count_lines(const std::filesystem::path& path) {
    std::ifstream in(path);
    return static_cast<std::size_t>(std::count(std::istreambuf_iterator<char>(in), {}, '\n'));
}

}  // namespace

int main(int argc, char** argv) {
    const std::filesystem::path self = std::filesystem::canonical("/proc/self/exe");
    const std::string zorvel = argc > 1 ? argv[1] : (self.parent_path().parent_path() / "zorvel").string();
    if (!std::filesystem::exists(zorvel)) {
        std::fprintf(stderr, "zorvel not found at %s (give its path as the argument)\n", zorvel.c_str());
        return 1;
    }
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("zorvel_bench_times_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "flood_d.dat").string();
    {
        std::ofstream console_file(dir / "writing.txt");
        std::istringstream no_input;
        util::ConsoleCapture capture(console_file, no_input);
        util::FILEUNITINIT(1000);
        bench::write_flood_file(path, "Depth", kNodes, kCells, kRecords, 0.0f, [](std::int32_t) { return 0.0f; });
        const int unit = bench::put_on_unit((dir / "header_d.dat").string(), util::FileKind::bytes_out);
        results::WRITE_DAT_HEADER(unit, "Depth", false, kNodes, kCells);
        results::WRITE_DAT_END_CARD(unit);
        bench::close_unit(unit);
    }
    const double mb = static_cast<double>(std::filesystem::file_size(path)) / 1.0e6;

    std::uint64_t checksum = 0;
    bench::plain_read({path}, checksum);  // settles the page cache
    std::vector<double> reads, runs, set_ups;
    long max_rss_kib = 0;
    for (int round = 0; round < kRounds; ++round) {
        reads.push_back(bench::plain_read({path}, checksum));
        const bench::Child c = bench::run_zorvel(zorvel, dir.string(), {"-b", "-times", "flood_d.dat"});
        if (c.status != 0) {
            std::fprintf(stderr, "zorvel ended with status %d; see %s\n", c.status, (dir / "console.txt").c_str());
            return 1;
        }
        runs.push_back(c.seconds);
        max_rss_kib = std::max(max_rss_kib, c.max_rss_kib);
        set_ups.push_back(bench::run_zorvel(zorvel, dir.string(), {"-b", "-times", "header_d.dat"}).seconds);
    }
    bench::run_zorvel(zorvel, dir.string(), {"-b", "-times", "flood_d.dat"});
    const std::size_t listed = count_lines(dir / "times.txt");
    if (listed != static_cast<std::size_t>(kRecords)) {
        std::fprintf(stderr, "times.txt has %zu lines, expected %d\n", listed, kRecords);
        return 1;
    }
    const double read = median(reads);
    const double run = median(runs);
    std::printf("input: 1 file, %.1f MB, %d records of %d nodes and %d cells (median of %d paired rounds)\n", mb,
                kRecords, kNodes, kCells, kRounds);
    std::printf("plain read:           %8.1f MB/s  (%.3f s)\n", mb / read, read);
    std::printf("zorvel -b -times:     %8.1f MB/s  (%.3f s)\n", mb / run, run);
    std::printf("  of which set-up:    %8.3f s  (the same header without records)\n", median(set_ups));
    std::printf("run / read:           %8.3f  (goal: well under 1)\n", run / read);
    std::printf("peak resident memory: %8.1f MB\n", static_cast<double>(max_rss_kib) / 1024.0);
    std::printf("check: %llu\n", static_cast<unsigned long long>(checksum % 1000));
    std::filesystem::remove_all(dir);
    return 0;
}
