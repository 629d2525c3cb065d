// The whole -dur and -toi runs against a plain read of their input: one scalar ".dat" file
// of 1,000,000 nodes and cells with 100 records (about 500 MB) of a flood that rises through
// the cut-off and falls again is written into a folder (the second argument, else a temp
// folder), then read plainly and by the real zorvel executable (the first argument, else
// the one built beside this program) with -dur and with -toi in turns, so that all see the
// same machine load. Prints the medians of the times, the ratios and the peak memory per
// node; the files are removed at the end.

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "flood_file.hpp"

namespace {

using namespace zorvel;

constexpr std::int32_t kNodes = 1'000'000;
constexpr std::int32_t kCells = 1'000'000;
constexpr int kRecords = 100;
constexpr int kRounds = 7;

}  // namespace

int main(int argc, char** argv) {
    const std::string zorvel = bench::zorvel_path(argc > 1 ? argv[1] : nullptr);
    const std::filesystem::path dir =
        argc > 2 ? bench::work_folder("dur", argv[2]) : bench::work_folder("dur");
    const std::string path = (dir / "flood_d.dat").string();
    // Beds from 0 to 1.2 m: every node crosses the 0.5 m cut-off at its own times.
    bench::write_flood_file(path, "Depth", kNodes, kCells, kRecords, 0.0f,
                            [](std::int32_t j) { return -0.0012f * static_cast<float>(j % 1000); });
    const double mb = static_cast<double>(std::filesystem::file_size(path)) / 1.0e6;

    std::uint64_t checksum = 0;
    bench::plain_read({path}, checksum);  // settles the page cache
    std::vector<double> reads, ratios, toi_ratios;
    bench::Runs dur, toi;
    for (int round = 0; round < kRounds; ++round) {
        const double read = bench::plain_read({path}, checksum);
        const bench::Child c = bench::run_zorvel(zorvel, dir.string(), {"-b", "-dur0.5", "flood_d.dat"});
        const bench::Child t = bench::run_zorvel(zorvel, dir.string(), {"-b", "-toi0.5", "flood_d.dat"});
        bench::require_ok(c, dir);
        bench::require_ok(t, dir);
        reads.push_back(read);
        dur.add(c);
        ratios.push_back(c.seconds / read);
        toi.add(t);
        toi_ratios.push_back(t.seconds / read);
        std::filesystem::remove(dir / "flood_d(dur0.5).dat");
        std::filesystem::remove(dir / "flood_d(toi).dat");
    }
    const double read = bench::median(reads);
    const double run = bench::median(dur.seconds);
    const double toi_run = bench::median(toi.seconds);
    std::printf("cores: %ld\n", ::sysconf(_SC_NPROCESSORS_ONLN));
    std::printf("input: 1 file, %.1f MB, %d records of %d nodes and %d cells (median of %d paired rounds)\n", mb,
                kRecords, kNodes, kCells, kRounds);
    bench::report_rate("plain read:", mb, read);
    bench::report_rate("zorvel -b -dur0.5:", mb, run);
    std::printf("run / read:           %8.2f  (median of the paired ratios %.2f; goal: 1.50 or less)\n",
                run / read, bench::median(ratios));
    bench::report_peak(22, dur.max_rss_kib, kNodes);
    bench::report_rate("zorvel -b -toi0.5:", mb, toi_run);
    std::printf("run / read:           %8.2f  (median of the paired ratios %.2f)\n", toi_run / read,
                bench::median(toi_ratios));
    bench::report_peak(22, toi.max_rss_kib, kNodes);
    bench::report_check(checksum);
    std::filesystem::remove_all(dir);
    return 0;
}
