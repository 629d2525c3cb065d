// The -times listing of a large ".dat" file against a plain read of the same file: a scalar
// file of 1,000,000 nodes and cells with 100 records (about 500 MB) is written into a temp
// folder (TMPDIR), then read plainly and listed by the real zorvel executable (the one built
// beside this program) by turns, run as a child process. -times reads only each record's
// time and moves past its values, so it should take a small part of the plain read.
// A header of the same size without records is listed too, for the share of the run that
// is set-up (reading the header, allocating the run's records) rather than listing.
// Prints the medians of the paired rounds and the peak memory; the files are removed at the end.

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "flood_file.hpp"
#include "results/dat.hpp"
#include "util/file_io.hpp"
#include "util/units.hpp"

namespace {

using namespace zorvel;

constexpr std::int32_t kNodes = 1'000'000;
constexpr std::int32_t kCells = 1'000'000;
constexpr int kRecords = 100;
constexpr int kRounds = 7;

// The number of lines of a text file.
std::size_t count_lines(const std::filesystem::path& path) {
    std::ifstream in(path);
    return static_cast<std::size_t>(std::count(std::istreambuf_iterator<char>(in), {}, '\n'));
}

}  // namespace

int main(int argc, char** argv) {
    const std::string zorvel = bench::zorvel_path(argc > 1 ? argv[1] : nullptr);
    const std::filesystem::path dir = bench::work_folder("times");
    const std::string path = (dir / "flood_d.dat").string();
    bench::write_flood_file(path, "Depth", kNodes, kCells, kRecords, 0.0f, [](std::int32_t) { return 0.0f; });
    {
        const bench::QuietConsole quiet(dir / "writing.txt");
        const int unit = bench::put_on_unit((dir / "header_d.dat").string(), util::FileKind::bytes_out);
        results::WRITE_DAT_HEADER(unit, "Depth", false, kNodes, kCells);
        results::WRITE_DAT_END_CARD(unit);
        bench::close_unit(unit);
    }
    const double mb = static_cast<double>(std::filesystem::file_size(path)) / 1.0e6;

    std::uint64_t checksum = 0;
    bench::plain_read({path}, checksum);  // settles the page cache
    std::vector<double> reads, set_ups;
    bench::Runs runs;
    for (int round = 0; round < kRounds; ++round) {
        reads.push_back(bench::plain_read({path}, checksum));
        const bench::Child c = bench::run_zorvel(zorvel, dir.string(), {"-b", "-times", "flood_d.dat"});
        bench::require_ok(c, dir);
        runs.add(c);
        set_ups.push_back(bench::run_zorvel(zorvel, dir.string(), {"-b", "-times", "header_d.dat"}).seconds);
    }
    bench::run_zorvel(zorvel, dir.string(), {"-b", "-times", "flood_d.dat"});
    const std::size_t listed = count_lines(dir / "times.txt");
    if (listed != static_cast<std::size_t>(kRecords)) {
        std::fprintf(stderr, "times.txt has %zu lines, expected %d\n", listed, kRecords);
        return 1;
    }
    const double read = bench::median(reads);
    const double run = bench::median(runs.seconds);
    std::printf("input: 1 file, %.1f MB, %d records of %d nodes and %d cells (median of %d paired rounds)\n", mb,
                kRecords, kNodes, kCells, kRounds);
    bench::report_rate("plain read:", mb, read);
    bench::report_rate("zorvel -b -times:", mb, run);
    std::printf("  of which set-up:    %8.3f s  (the same header without records)\n", bench::median(set_ups));
    std::printf("run / read:           %8.3f  (goal: well under 1)\n", run / read);
    std::printf("peak resident memory: %8.1f MB\n", static_cast<double>(runs.max_rss_kib) / 1024.0);
    bench::report_check(checksum);
    std::filesystem::remove_all(dir);
    return 0;
}
