// The conversion of ".dat" results into ".xmdf" against plain file transfer: one scalar
// ".dat" file of 1,000,000 nodes and cells with 100 records (about 500 MB) is written into
// a temp folder ($TMPDIR), and the real zorvel executable (the one built beside this
// program) converts it with -conv, in rounds that alternate with a plain read of the file
// followed by a plain write of as many bytes as the ".xmdf" output holds. The figure is the
// median of the -conv times over the median of the read-plus-write times, with the peak
// resident memory of -conv, which the kernel accounts for the child (wait4). The files are
// removed at the end.

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
    const std::filesystem::path dir = bench::work_folder("conv");
    const std::vector<std::string> input = {(dir / "run_d.dat").string()};
    bench::write_flood_file(input[0], "Depth", kNodes, kCells, kRecords, 0.0f, [](std::int32_t) { return 0.0f; });
    const std::uint64_t in_bytes = std::filesystem::file_size(input[0]);

    std::uint64_t checksum = 0;
    const bench::AgainstTransfer f =
        bench::against_transfer(zorvel, dir, {"-b", "-conv", "run_d.dat"}, input, dir / "run.xmdf", kRounds, checksum);

    std::printf("input: %.1f MB, %d records of %d nodes and %d cells; output %.1f MB; median of %d paired rounds\n",
                static_cast<double>(in_bytes) / 1.0e6, kRecords, kNodes, kCells,
                static_cast<double>(f.out_bytes) / 1.0e6, kRounds);
    bench::report_transfer("conv", f, "1.50 or less");
    bench::report_peak(23, f.max_rss_kib, kNodes);
    bench::report_check(checksum);
    std::filesystem::remove_all(dir);
    return 0;
}
