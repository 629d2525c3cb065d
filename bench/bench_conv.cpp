// The conversion of ".dat" results into ".xmdf" against plain file transfer: one scalar
// ".dat" file of 1,000,000 nodes and cells with 100 records (about 500 MB) is written into
// a temp folder ($TMPDIR), and the real zorvel executable (the one built beside this
// program) converts it with -conv, in rounds that alternate with a plain read of the file
// followed by a plain write of as many bytes as the ".xmdf" output holds. The figure is the
// median of the -conv times over the median of the read-plus-write times, with the peak
// resident memory of -conv, which the kernel accounts for the child (wait4). The files are
// removed at the end.

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

// The middle value (the mean of the two middle ones for an even count).
double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 == 1 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

// Ends the benchmark when a run of zorvel failed.
void require_ok(const bench::Child& c, const std::filesystem::path& dir) {
    if (c.status == 0) return;
    std::fprintf(stderr, "zorvel ended with status %d; see %s\n", c.status, (dir / "console.txt").c_str());
    std::exit(1);
}

}  // namespace

int main(int argc, char** argv) {
    const std::filesystem::path self = std::filesystem::canonical("/proc/self/exe");
    const std::string zorvel = std::filesystem::absolute(argc > 1 ? std::filesystem::path(argv[1])
                                                                  : self.parent_path().parent_path() / "zorvel")
                                   .string();
    if (!std::filesystem::exists(zorvel)) {
        std::fprintf(stderr, "zorvel not found at %s (give its path as the argument)\n", zorvel.c_str());
        return 1;
    }
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("zorvel_bench_conv_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::vector<std::string> input = {(dir / "run_d.dat").string()};
    {
        std::ofstream console_file(dir / "writing.txt");
        std::istringstream no_input;
        util::ConsoleCapture capture(console_file, no_input);
        util::FILEUNITINIT(1000);
        bench::write_flood_file(input[0], "Depth", kNodes, kCells, kRecords, 0.0f, [](std::int32_t) { return 0.0f; });
    }
    const std::uint64_t in_bytes = std::filesystem::file_size(input[0]);
    const std::filesystem::path output = dir / "run.xmdf";
    const std::string plain_out = (dir / "plain_out.bin").string();

    // A first run of each settles the page cache and gives the output's size.
    std::uint64_t checksum = 0;
    bench::plain_read(input, checksum);
    require_ok(bench::run_zorvel(zorvel, dir.string(), {"-b", "-conv", "run_d.dat"}), dir);
    const std::uint64_t out_bytes = std::filesystem::file_size(output);
    std::filesystem::remove(output);

    std::vector<double> plain, conv;
    long conv_rss = 0;
    for (int round = 0; round < kRounds; ++round) {
        plain.push_back(bench::plain_read(input, checksum) + bench::plain_write(plain_out, out_bytes));
        const bench::Child c = bench::run_zorvel(zorvel, dir.string(), {"-b", "-conv", "run_d.dat"});
        require_ok(c, dir);
        conv.push_back(c.seconds);
        conv_rss = std::max(conv_rss, c.max_rss_kib);
        std::filesystem::remove(output);
    }

    const double t_plain = median(plain);
    const double t_conv = median(conv);
    std::printf("input: %.1f MB, %d records of %d nodes and %d cells; output %.1f MB; median of %d paired rounds\n",
                static_cast<double>(in_bytes) / 1.0e6, kRecords, kNodes, kCells,
                static_cast<double>(out_bytes) / 1.0e6, kRounds);
    std::printf("plain read + write:    %8.3f s\n", t_plain);
    std::printf("zorvel -b -conv:       %8.3f s\n", t_conv);
    std::printf("conv / (read + write): %8.2f  (goal: 1.50 or less)\n", t_conv / t_plain);
    std::printf("peak resident memory:  %8.1f MB, %.1f bytes per node\n", static_cast<double>(conv_rss) / 1024.0,
                static_cast<double>(conv_rss) * 1024.0 / kNodes);
    std::printf("check: %llu\n", static_cast<unsigned long long>(checksum % 1000));
    std::filesystem::remove_all(dir);
    return 0;
}
