// Throughput of the ".dat" maximum reduction beside a plain sequential read of the
// same file: a scalar file of 1,000,000 nodes and cells with 100 records (about
// 500 MB) is written into a temp folder, read both ways a few times, and removed.
// The console lines of the reduction go to a file in the temp folder.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "flood_file.hpp"
#include "results/dat.hpp"
#include "util/units.hpp"

namespace {

using namespace zorvel;
using Clock = std::chrono::steady_clock;

constexpr std::int32_t kNodes = 1'000'000;
constexpr std::int32_t kCells = 1'000'000;
constexpr int kRecords = 100;
constexpr int kRounds = 3;

// A rising and falling flood over the mesh, one record per output time.
void write_file(const std::string& path) {
    bench::write_flood_file(path, "Water Level", kNodes, kCells, kRecords, 0.0f,
                            [](std::int32_t j) { return static_cast<float>(j % 997) * 0.01f; });
}

// Seconds to open the file, read its header and reduce it to its maximum.
double reduction(const std::string& path, results::RES_TYPE& max, results::RES_TYPE& tmax) {
    std::fill(max.value.begin(), max.value.end(), -99999.0f);
    std::fill(tmax.value.begin(), tmax.value.end(), -99999.0f);
    const auto start = Clock::now();
    const int unit = bench::put_on_unit(path, util::FileKind::bytes_in);
    std::int32_t nnodes = 0, ncells = 0, card = 0;
    bool vector = false;
    std::string name;
    results::READDATHEADER(unit, nnodes, ncells, card, vector, path, name);
    results::DATMAXIMUMS(unit, vector, max, tmax, false);
    bench::close_unit(unit);
    return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main() {
    const std::filesystem::path dir = bench::work_folder("dat");
    const std::string path = (dir / "bench_h.dat").string();
    {
        const bench::QuietConsole quiet(dir / "console.txt");
        write_file(path);
        const double mb = static_cast<double>(std::filesystem::file_size(path)) / 1.0e6;

        results::RES_TYPE max, tmax;
        max.nnodes = tmax.nnodes = kNodes;
        max.ncells = tmax.ncells = kCells;
        results::allocate_nodes(max, kNodes);
        results::allocate_nodes(tmax, kNodes);
        max.CELL.allocate(kCells);
        tmax.CELL.allocate(kCells);

        std::uint64_t checksum = 0;
        double best_read = 1e30, best_reduce = 1e30;
        const std::vector<std::string> paths = {path};
        bench::plain_read(paths, checksum);  // settles the page cache
        for (int round = 0; round < kRounds; ++round) {
            best_read = std::min(best_read, bench::plain_read(paths, checksum));
            best_reduce = std::min(best_reduce, reduction(path, max, tmax));
        }
        std::printf("file: %.1f MB, %d records of %d nodes and %d cells (best of %d)\n", mb, kRecords, kNodes,
                    kCells, kRounds);
        std::printf("plain sequential read: %8.1f MB/s  (%.3f s)\n", mb / best_read, best_read);
        std::printf("DATMAXIMUMS:           %8.1f MB/s  (%.3f s)\n", mb / best_reduce, best_reduce);
        std::printf("reduction / read:      %8.2f  (goal: 1.50 or less)\n", best_reduce / best_read);
        std::printf("check: %llu %g %g\n", static_cast<unsigned long long>(checksum % 1000),
                    static_cast<double>(max.value[12345]), static_cast<double>(tmax.value[12345]));
    }
    std::filesystem::remove_all(dir);
    return 0;
}
