// The whole -dif run with its wet/dry test against a plain read of what it reads: two
// depth results of a 1000 x 1000 node grid (998,001 quadrilaterals) with 50 records each
// (about 250 MB each), their companion "_h.dat" water levels of the same size and their
// two ".2dm" meshes are written into a temp folder ($TMPDIR); the real zorvel executable
// (the one built beside this program) differences them in rounds that alternate with a
// plain read of the six files followed by a plain write of as many bytes as the output
// holds. The figure is the median of the -dif times over the median of the plain times.
// The peak resident memory of -dif comes from the kernel's account of the child (wait4):
// the walk holds one step of each input and of each companion, a few arrays per node. It is
// shown against the cap on memory that the run gets from the six files it reads, and one
// more run shows it passes under a quarter of that cap.
// The files are removed at the end.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "flood_file.hpp"

namespace {

using namespace zorvel;

constexpr std::int32_t kSide = 1000;  // nodes along each side of the grid
constexpr std::int32_t kNodes = kSide * kSide;
constexpr std::int32_t kCells = (kSide - 1) * (kSide - 1);
constexpr int kRecords = 50;
constexpr int kRounds = 3;

// The bed level of node j (from 0): a slope across the grid.
float bed(std::int32_t j) { return 0.002f * static_cast<float>(j % kSide); }

// Writes the grid as a ".2dm" mesh, its beds lifted by lift.
void write_mesh(const std::string& path, float lift) {
    std::FILE* f = std::fopen(path.c_str(), "w");
    if (f == nullptr) std::exit(1);
    std::fprintf(f, "MESH2D\n");
    for (std::int32_t j = 0; j < kNodes; ++j)
        std::fprintf(f, "ND %d %d.0 %d.0 %.4f\n", j + 1, j % kSide, j / kSide, bed(j) + lift);
    std::int32_t e = 0;
    for (std::int32_t r = 0; r + 1 < kSide; ++r)
        for (std::int32_t c = 0; c + 1 < kSide; ++c) {
            const std::int32_t n = r * kSide + c + 1;
            std::fprintf(f, "E4Q %d %d %d %d %d 1\n", ++e, n, n + 1, n + kSide + 1, n + kSide);
        }
    std::fclose(f);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string zorvel = bench::zorvel_path(argc > 1 ? argv[1] : nullptr);
    const std::filesystem::path dir = bench::work_folder("dif");
    const std::vector<std::string> paths = {(dir / "a_d.dat").string(), (dir / "b_d.dat").string(),
                                            (dir / "a_h.dat").string(), (dir / "b_h.dat").string(),
                                            (dir / "a.2dm").string(),   (dir / "b.2dm").string()};
    const auto zero = [](std::int32_t) { return 0.0f; };
    bench::write_flood_file(paths[0], "Depth", kNodes, kCells, kRecords, 0.0f, zero);
    bench::write_flood_file(paths[1], "Depth", kNodes, kCells, kRecords, 0.1f, zero);
    bench::write_flood_file(paths[2], "Water Level", kNodes, kCells, kRecords, 0.0f, bed);
    bench::write_flood_file(paths[3], "Water Level", kNodes, kCells, kRecords, 0.1f, bed);
    write_mesh(paths[4], 0.0f);
    write_mesh(paths[5], 0.25f);
    std::uint64_t in_bytes = 0;
    for (const std::string& p : paths) in_bytes += std::filesystem::file_size(p);

    std::uint64_t checksum = 0;
    const bench::AgainstTransfer f = bench::against_transfer(zorvel, dir, {"-b", "-dif", "a_d.dat", "b_d.dat"}, paths,
                                                             dir / "a_d - b_d.dat", kRounds, checksum);

    const double dat_mb = static_cast<double>(std::filesystem::file_size(paths[0])) / 1.0e6;
    std::printf("inputs: 4 .dat files of %.1f MB (%d records of %d nodes and %d cells) and 2 meshes, %.1f MB "
                "in all; output %.1f MB; median of %d paired rounds\n",
                dat_mb, kRecords, kNodes, kCells, static_cast<double>(in_bytes) / 1.0e6,
                static_cast<double>(f.out_bytes) / 1.0e6, kRounds);
    bench::report_transfer("dif", f);
    std::printf("peak resident memory per node: %.0f bytes (a file is %.1f MB)\n",
                1024.0 * static_cast<double>(f.max_rss_kib) / kNodes, dat_mb);
    const bool quarter = bench::passes_under_quarter(zorvel, dir, {"-b", "-dif", "a_d.dat", "b_d.dat"}, paths);
    std::filesystem::remove(dir / "a_d - b_d.dat");
    bench::report_bound(22, f.max_rss_kib, paths, quarter);
    bench::report_check(checksum);
    std::filesystem::remove_all(dir);
    return 0;
}
