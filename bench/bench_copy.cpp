// The step-copying operations against plain file transfer: two scalar ".dat" files of
// 1,000,000 nodes and cells with 100 records each (about 500 MB each) are written into a
// temp folder ($TMPDIR), and the real zorvel executable (the one built beside this
// program) concatenates them with -con, in rounds that alternate with a plain read of both
// files followed by a plain write of as many bytes as the output holds. The figure is the
// median of the -con times over the median of the read-plus-write times. -r and -trim over
// one input then run once each for their peak resident memory, which the kernel accounts
// for the child (wait4): copying a file of 100 records must cost about one record, not 100.
// The files are removed at the end.

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
constexpr int kRounds = 5;

// The middle value (the mean of the two middle ones for an even count).
double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 == 1 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

// Peak resident memory of a child in MB.
double mb_of(const bench::Child& c) { return static_cast<double>(c.max_rss_kib) / 1024.0; }

// Ends the benchmark when a run of zorvel failed.
void require_ok(const bench::Child& c, const std::filesystem::path& dir) {
    if (c.status == 0) return;
    std::fprintf(stderr, "zorvel ended with status %d; see %s\n", c.status, (dir / "console.txt").c_str());
    std::exit(1);
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
        std::filesystem::temp_directory_path() / ("zorvel_bench_copy_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::vector<std::string> paths = {(dir / "a_d.dat").string(), (dir / "b_d.dat").string()};
    {
        std::ofstream console_file(dir / "writing.txt");
        std::istringstream no_input;
        util::ConsoleCapture capture(console_file, no_input);
        util::FILEUNITINIT(1000);
        for (std::size_t k = 0; k < paths.size(); ++k)
            bench::write_flood_file(paths[k], "Depth", kNodes, kCells, kRecords, 0.1f * static_cast<float>(k),
                                    [](std::int32_t) { return 0.0f; });
    }
    const std::uint64_t in_bytes = std::filesystem::file_size(paths[0]) + std::filesystem::file_size(paths[1]);
    const std::string output = (dir / "a_d(con).dat").string();
    const std::string plain_out = (dir / "plain_out.bin").string();

    // A first run of each settles the page cache and gives the output's size.
    std::uint64_t checksum = 0;
    bench::plain_read(paths, checksum);
    require_ok(bench::run_zorvel(zorvel, dir.string(), {"-b", "-con", "a_d.dat", "b_d.dat"}), dir);
    const std::uint64_t out_bytes = std::filesystem::file_size(output);
    std::filesystem::remove(output);

    std::vector<double> plain, con;
    long con_rss = 0;
    for (int round = 0; round < kRounds; ++round) {
        plain.push_back(bench::plain_read(paths, checksum) + bench::plain_write(plain_out, out_bytes));
        const bench::Child c = bench::run_zorvel(zorvel, dir.string(), {"-b", "-con", "a_d.dat", "b_d.dat"});
        require_ok(c, dir);
        con.push_back(c.seconds);
        con_rss = std::max(con_rss, c.max_rss_kib);
        std::filesystem::remove(output);
    }
    const bench::Child remove = bench::run_zorvel(zorvel, dir.string(), {"-b", "-r10", "a_d.dat"});
    require_ok(remove, dir);
    std::filesystem::remove(dir / "a_d(r10.).dat");
    const bench::Child trim = bench::run_zorvel(zorvel, dir.string(), {"-b", "-trim1", "a_d.dat"});
    require_ok(trim, dir);

    const double mb_in = static_cast<double>(in_bytes) / 1.0e6;
    const double record_mb = (9.0 + kCells + 4.0 * kNodes) / 1.0e6;
    const double t_plain = median(plain);
    const double t_con = median(con);
    std::printf("inputs: 2 files, %.1f MB, %d records of %d nodes and %d cells each (%.1f MB a record); "
                "output %.1f MB; median of %d paired rounds\n",
                mb_in, kRecords, kNodes, kCells, record_mb, static_cast<double>(out_bytes) / 1.0e6, kRounds);
    std::printf("plain read + write:   %8.3f s\n", t_plain);
    std::printf("zorvel -b -con:       %8.3f s\n", t_con);
    std::printf("con / (read + write): %8.2f  (goal: 1.50 or less)\n", t_con / t_plain);
    std::printf("peak resident memory: -con %.1f MB, -r %.1f MB, -trim %.1f MB (a file is %.1f MB)\n",
                static_cast<double>(con_rss) / 1024.0, mb_of(remove), mb_of(trim), mb_in / 2.0);
    std::printf("check: %llu\n", static_cast<unsigned long long>(checksum % 1000));
    std::filesystem::remove_all(dir);
    return 0;
}
