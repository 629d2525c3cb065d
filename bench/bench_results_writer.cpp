// Writing speed of the results writer: 100 timesteps of 1,000,000 scalar values (and
// as many cell flags) through WRITE_OUTPUT_TIMESTEP, to an ".xmdf" output and to a
// ".dat" output in the same run, from opening to closing. The console goes to a
// discarded stream. Prints both throughputs and their ratio (goal: the ".xmdf" write
// takes no more than 1.5 times the ".dat" write).
// Usage: bench_results_writer [folder]   (default: the system's temporary folder)

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <ostream>
#include <sstream>
#include <string>

#include "results/res_type.hpp"
#include "results/results_writer.hpp"
#include "results/xmdf/binding.hpp"
#include "util/console.hpp"
#include "util/run_end.hpp"
#include "util/units.hpp"

namespace {

namespace res = zorvel::results;
namespace util = zorvel::util;
using Clock = std::chrono::steady_clock;

constexpr int kSteps = 100;
constexpr std::int32_t kNodes = 1'000'000;
constexpr std::int32_t kCells = 1'000'000;

// Removes the last run's file and writes back every dirty page, so that each timed
// write starts from the same state and pays for no other write.
void settle(const std::string& name) {
    std::filesystem::remove(name);
    sync();
}

// Seconds taken to open the output, write its header and every step, and close it.
double write_output(res::OutputDescription out, res::RES_TYPE& record) {
    settle(out.out_path);
    const auto start = Clock::now();
    res::OPEN_OUTPUT(out);
    res::WRITE_OUTPUT_HEADER(out, record);
    for (int step = 0; step < kSteps; ++step) {
        record.time = 0.5f * static_cast<float>(step);
        res::WRITE_OUTPUT_TIMESTEP(out, record);
    }
    res::CLOSE_OUTPUT(out);
    return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    res::xmdf::setup_hdf5();
    util::FILEUNITINIT(1000);
    std::ostream discarded(nullptr);
    std::istringstream no_input;
    util::ConsoleCapture quiet(discarded, no_input);

    const std::filesystem::path dir =
        argc > 1 ? std::filesystem::path(argv[1]) : std::filesystem::temp_directory_path();
    res::OutputDescription xmdf;
    xmdf.to_xmdf = true;
    xmdf.out_path = (dir / "bench_results_writer.xmdf").string();
    xmdf.results_name = "bench";
    xmdf.folder_name = "Temporal";
    xmdf.dataset_name = "Depth";
    res::OutputDescription dat;
    dat.to_dat = true;
    dat.out_path = (dir / "bench_results_writer.dat").string();
    dat.dataset_name = "Depth";

    res::RES_TYPE record;
    record.nnodes = kNodes;
    record.ncells = kCells;
    allocate_nodes(record, kNodes);
    record.CELL.allocate(kCells);
    for (std::int32_t j = 0; j < kNodes; ++j) record.value[j] = 0.001f * static_cast<float>(j % 10007);
    for (std::int32_t i = 0; i < kCells; ++i) record.CELL[i].flag = static_cast<std::int8_t>(i % 3 != 0);
    const double megabytes = static_cast<double>(kSteps) * (4.0 * kNodes + kCells) / 1e6;

    // Best of five runs of each, alternating, so that neither gets a warm cache the other lacks.
    double dat_time = 1e30, xmdf_time = 1e30;
    try {
        for (int run = 0; run < 5; ++run) {
            dat_time = std::min(dat_time, write_output(dat, record));
            xmdf_time = std::min(xmdf_time, write_output(xmdf, record));
        }
    } catch (const util::RunEnd&) {
        res::discard_open_outputs();
        util::close_all_at_end(1);
        std::printf("bench_results_writer: a write failed in %s\n", dir.string().c_str());
        return 1;
    }
    std::filesystem::remove(xmdf.out_path);
    std::filesystem::remove(dat.out_path);

    std::printf("%d steps of %d scalar values and %d cell flags (%.0f MB)\n", kSteps, kNodes, kCells, megabytes);
    std::printf(".dat output:   %8.1f MB/s  (%.3f s)\n", megabytes / dat_time, dat_time);
    std::printf(".xmdf output:  %8.1f MB/s  (%.3f s, %.2f times the .dat write)\n", megabytes / xmdf_time, xmdf_time,
                xmdf_time / dat_time);
    return 0;
}
