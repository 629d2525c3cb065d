// The step-copying operations against plain file transfer: two scalar ".dat" files of
// 1,000,000 nodes and cells with 100 records each (about 500 MB each) are written into a
// temp folder ($TMPDIR), and the real zorvel executable (the one built beside this
// program) concatenates them with -con, in rounds that alternate with a plain read of both
// files followed by a plain write of as many bytes as the output holds. The figure is the
// median of the -con times over the median of the read-plus-write times. -r and -trim over
// one input then run once each for their peak resident memory, which the kernel accounts
// for the child (wait4): copying a file of 100 records must cost about one record, not 100.
// The files are removed at the end.

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
constexpr int kRounds = 5;

// Peak resident memory of a child in MB.
double mb_of(const bench::Child& c) { return static_cast<double>(c.max_rss_kib) / 1024.0; }

}  // namespace

int main(int argc, char** argv) {
    const std::string zorvel = bench::zorvel_path(argc > 1 ? argv[1] : nullptr);
    const std::filesystem::path dir = bench::work_folder("copy");
    const std::vector<std::string> paths = {(dir / "a_d.dat").string(), (dir / "b_d.dat").string()};
    for (std::size_t k = 0; k < paths.size(); ++k)
        bench::write_flood_file(paths[k], "Depth", kNodes, kCells, kRecords, 0.1f * static_cast<float>(k),
                                [](std::int32_t) { return 0.0f; });
    const std::uint64_t in_bytes = std::filesystem::file_size(paths[0]) + std::filesystem::file_size(paths[1]);

    std::uint64_t checksum = 0;
    const bench::AgainstTransfer f = bench::against_transfer(zorvel, dir, {"-b", "-con", "a_d.dat", "b_d.dat"}, paths,
                                                             dir / "a_d(con).dat", kRounds, checksum);
    const bench::Child remove = bench::run_zorvel(zorvel, dir.string(), {"-b", "-r10", "a_d.dat"});
    bench::require_ok(remove, dir);
    std::filesystem::remove(dir / "a_d(r10.).dat");
    const bench::Child trim = bench::run_zorvel(zorvel, dir.string(), {"-b", "-trim1", "a_d.dat"});
    bench::require_ok(trim, dir);

    const double mb_in = static_cast<double>(in_bytes) / 1.0e6;
    const double record_mb = (9.0 + kCells + 4.0 * kNodes) / 1.0e6;
    std::printf("inputs: 2 files, %.1f MB, %d records of %d nodes and %d cells each (%.1f MB a record); "
                "output %.1f MB; median of %d paired rounds\n",
                mb_in, kRecords, kNodes, kCells, record_mb, static_cast<double>(f.out_bytes) / 1.0e6, kRounds);
    bench::report_transfer("con", f, "1.50 or less");
    std::printf("peak resident memory: -con %.1f MB, -r %.1f MB, -trim %.1f MB (a file is %.1f MB)\n",
                static_cast<double>(f.max_rss_kib) / 1024.0, mb_of(remove), mb_of(trim), mb_in / 2.0);
    bench::report_check(checksum);
    std::filesystem::remove_all(dir);
    return 0;
}
