// The whole -dur and -toi runs against a plain read of their input: one scalar ".dat" file
// of 1,000,000 nodes and cells with 100 records (about 500 MB) of a flood that rises through
// the cut-off and falls again is written into a folder (the second argument, else a temp
// folder), then read plainly and by the real zorvel executable (the first argument, else
// the one built beside this program) with -dur and with -toi in turns, so that all see the
// same machine load. Prints the medians of the times, the ratios and the peak memory per
// node; the files are removed at the end.

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "flood_file.hpp"
#include "util/console.hpp"
#include "util/units.hpp"

namespace {

using namespace zorvel;

constexpr std::int32_t kNodes = 1'000'000;
constexpr std::int32_t kCells = 1'000'000;
constexpr int kRecords = 100;
constexpr int kRounds = 7;

// The middle of the figures.
double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    // The child runs in a folder of its own: the executable by its absolute path.
    const std::filesystem::path self = std::filesystem::canonical("/proc/self/exe");
    const std::string zorvel =
        std::filesystem::absolute(argc > 1 ? std::filesystem::path(argv[1]) : self.parent_path().parent_path() / "zorvel")
            .string();
    if (!std::filesystem::exists(zorvel)) {
        std::fprintf(stderr, "zorvel not found at %s (give its path as the argument)\n", zorvel.c_str());
        return 1;
    }
    const std::filesystem::path root = argc > 2 ? std::filesystem::path(argv[2]) : std::filesystem::temp_directory_path();
    const std::filesystem::path dir = root / ("zorvel_bench_dur_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "flood_d.dat").string();
    {
        std::ofstream console_file(dir / "writing.txt");
        std::istringstream no_input;
        util::ConsoleCapture capture(console_file, no_input);
        util::FILEUNITINIT(1000);
        // Beds from 0 to 1.2 m: every node crosses the 0.5 m cut-off at its own times.
        bench::write_flood_file(path, "Depth", kNodes, kCells, kRecords, 0.0f,
                                [](std::int32_t j) { return -0.0012f * static_cast<float>(j % 1000); });
    }
    const double mb = static_cast<double>(std::filesystem::file_size(path)) / 1.0e6;

    std::uint64_t checksum = 0;
    bench::plain_read({path}, checksum);  // settles the page cache
    std::vector<double> reads, runs, ratios, tois, toi_ratios;
    long max_rss_kib = 0;
    long toi_rss_kib = 0;
    for (int round = 0; round < kRounds; ++round) {
        const double read = bench::plain_read({path}, checksum);
        const bench::Child c = bench::run_zorvel(zorvel, dir.string(), {"-b", "-dur0.5", "flood_d.dat"});
        const bench::Child t = bench::run_zorvel(zorvel, dir.string(), {"-b", "-toi0.5", "flood_d.dat"});
        for (const bench::Child& r : {c, t}) {
            if (r.status != 0) {
                std::fprintf(stderr, "zorvel ended with status %d; see %s\n", r.status, (dir / "console.txt").c_str());
                return 1;
            }
        }
        reads.push_back(read);
        runs.push_back(c.seconds);
        ratios.push_back(c.seconds / read);
        tois.push_back(t.seconds);
        toi_ratios.push_back(t.seconds / read);
        max_rss_kib = std::max(max_rss_kib, c.max_rss_kib);
        toi_rss_kib = std::max(toi_rss_kib, t.max_rss_kib);
        std::filesystem::remove(dir / "flood_d(dur0.5).dat");
        std::filesystem::remove(dir / "flood_d(toi).dat");
    }
    const double read = median(reads);
    const double run = median(runs);
    const double toi = median(tois);
    std::printf("cores: %ld\n", ::sysconf(_SC_NPROCESSORS_ONLN));
    std::printf("input: 1 file, %.1f MB, %d records of %d nodes and %d cells (median of %d paired rounds)\n", mb,
                kRecords, kNodes, kCells, kRounds);
    std::printf("plain read:           %8.1f MB/s  (%.3f s)\n", mb / read, read);
    std::printf("zorvel -b -dur0.5:    %8.1f MB/s  (%.3f s)\n", mb / run, run);
    std::printf("run / read:           %8.2f  (median of the paired ratios %.2f; goal: 1.50 or less)\n",
                run / read, median(ratios));
    std::printf("peak resident memory: %8.1f MB, %.1f bytes per node\n", static_cast<double>(max_rss_kib) / 1024.0,
                static_cast<double>(max_rss_kib) * 1024.0 / kNodes);
    std::printf("zorvel -b -toi0.5:    %8.1f MB/s  (%.3f s)\n", mb / toi, toi);
    std::printf("run / read:           %8.2f  (median of the paired ratios %.2f)\n", toi / read, median(toi_ratios));
    std::printf("peak resident memory: %8.1f MB, %.1f bytes per node\n", static_cast<double>(toi_rss_kib) / 1024.0,
                static_cast<double>(toi_rss_kib) * 1024.0 / kNodes);
    std::printf("check: %llu\n", static_cast<unsigned long long>(checksum % 1000));
    std::filesystem::remove_all(dir);
    return 0;
}
