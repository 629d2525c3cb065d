// The whole -ensight run on a mesh of 1,000,000 nodes and 1,000,000 elements with a ".dat"
// result of 10 records (per-node variables): the real zorvel executable, run as a child
// process, against a plain read of its inputs and a plain write of as many bytes as it
// writes, alternately, in one run. Prints the medians: the bytes of the EnSight set over
// the whole run's time (mesh and results read included) and the plain figures beside it.
// The files go into a folder under the temp folder (TMPDIR) and are removed at the end.

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "flood_file.hpp"
#include "mesh_file.hpp"

namespace {

using namespace zorvel;
namespace fs = std::filesystem;

constexpr int kRecords = 10;
constexpr int kRounds = 5;

// Bytes of the files in the folder that are not among the inputs.
std::uintmax_t output_bytes(const fs::path& dir, const std::vector<std::string>& inputs) {
    std::uintmax_t total = 0;
    for (const fs::directory_entry& e : fs::directory_iterator(dir)) {
        const std::string name = e.path().filename().string();
        if (name == "console.txt" || std::find(inputs.begin(), inputs.end(), e.path().string()) != inputs.end())
            continue;
        total += e.file_size();
    }
    return total;
}

// Removes what a run wrote, keeping the inputs.
void remove_outputs(const fs::path& dir, const std::vector<std::string>& inputs) {
    std::vector<fs::path> outputs;
    for (const fs::directory_entry& e : fs::directory_iterator(dir))
        if (std::find(inputs.begin(), inputs.end(), e.path().string()) == inputs.end()) outputs.push_back(e.path());
    for (const fs::path& p : outputs) fs::remove(p);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string zorvel = bench::zorvel_path(argc > 1 ? argv[1] : nullptr);
    const fs::path dir = bench::work_folder("ensight");
    const std::vector<std::string> inputs = {(dir / "flood.2dm").string(), (dir / "flood_d.dat").string()};
    bench::write_mesh(inputs[0]);
    bench::write_flood_file(inputs[1], "Depth", bench::kMeshNodes, bench::kMeshCells, kRecords, 0.0f,
                            [](std::int32_t) { return 0.0f; });
    const double in_mb = static_cast<double>(fs::file_size(inputs[0]) + fs::file_size(inputs[1])) / 1.0e6;

    std::uint64_t checksum = 0;
    bench::plain_read(inputs, checksum);  // settles the page cache
    std::vector<double> reads, writes;
    bench::Runs runs;
    double out_mb = 0.0;
    for (int round = 0; round < kRounds; ++round) {
        reads.push_back(bench::plain_read(inputs, checksum));
        const bench::Child c = bench::run_zorvel(zorvel, dir.string(), {"-b", "-ensight", "flood_d.dat"});
        bench::require_ok(c, dir);
        runs.add(c);
        const std::uintmax_t written = output_bytes(dir, inputs);
        out_mb = static_cast<double>(written) / 1.0e6;
        remove_outputs(dir, inputs);
        writes.push_back(bench::plain_write((dir / "plain_write.bin").string(), written));
    }
    const double run = bench::median(runs.seconds), read = bench::median(reads), write = bench::median(writes);
    std::printf("inputs: mesh of %d nodes and %d elements, %d records of per-node results, %.1f MB\n",
                bench::kMeshNodes, bench::kMeshCells, kRecords, in_mb);
    std::printf("EnSight set written: %.1f MB (geometry, logs, %d variable files, case), median of %d\n", out_mb,
                kRecords, kRounds);
    std::printf("zorvel -b -ensight:       %8.3f s  %8.1f MB/s written (goal: 100 or more)\n", run, out_mb / run);
    std::printf("plain read of the inputs: %8.3f s  %8.1f MB/s\n", read, in_mb / read);
    std::printf("plain write of the bytes: %8.3f s  %8.1f MB/s\n", write, out_mb / write);
    std::printf("run - plain read:         %8.3f s  %8.1f MB/s written\n", run - read, out_mb / (run - read));
    const bool quarter = bench::passes_under_quarter(zorvel, dir, {"-b", "-ensight", "flood_d.dat"}, inputs);
    remove_outputs(dir, inputs);
    bench::report_bound(26, runs.max_rss_kib, inputs, quarter);
    bench::report_check(checksum);
    fs::remove_all(dir);
    return 0;
}
