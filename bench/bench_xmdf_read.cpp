// Reading speed of the XMDF extraction against the binding's bare reads: a file of
// 50 timesteps of 1,000,000 scalar values and 500,000 cells is reduced to its
// temporal maximum (GET_XMDF_TEMPORAL_MAX), walked step by step (xmdf_get_data_time),
// and read step by step through XF_READ_SCALAR_VALUES_TIMESTEP and
// XF_READ_ACTIVITY_TIMESTEP alone. Prints each throughput and its ratio to the bare reads.
// Usage: bench_xmdf_read [folder]   (default: the system's temporary folder)

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "results/xmdf/binding.hpp"
#include "util/console.hpp"
#include "xmdf_read/catalogue.hpp"
#include "xmdf_read/extract.hpp"
#include "xmdf_read/search.hpp"

namespace {

namespace xf = zorvel::results::xmdf;
namespace xr = zorvel::xmdf_read;
using Clock = std::chrono::steady_clock;

constexpr int kSteps = 50;
constexpr std::int32_t kNodes = 1'000'000;
constexpr std::int32_t kCells = 500'000;

// Writes the benchmark file through the binding; false on a failed call.
bool write_file(const std::string& name) {
    std::int32_t file = 0, group = 0, set = 0, status = 0, worst = 0;
    xf::XF_CREATE_FILE(name, true, file, status);
    xf::XF_CREATE_GENERIC_GROUP(file, "bench/Temporal", group, status);
    worst = std::min(worst, status);
    xf::XF_CREATE_SCALAR_DATASET(group, "Depth", "m", "Hours", -1, set, status);
    worst = std::min(worst, status);
    std::vector<float> values(kNodes);
    std::vector<std::int8_t> flags(kCells);
    for (int step = 0; step < kSteps && worst >= 0; ++step) {
        for (std::int32_t i = 0; i < kNodes; ++i) values[i] = 0.001f * static_cast<float>((i + 37 * step) % 10007);
        for (std::int32_t k = 0; k < kCells; ++k) flags[k] = static_cast<std::int8_t>((k + step) % 2);
        xf::XF_WRITE_SCALAR_TIMESTEP(set, 0.5 * step, kNodes, values, status);
        worst = std::min(worst, status);
        xf::XF_WRITE_ACTIVITY_TIMESTEP(set, kCells, flags, status);
        worst = std::min(worst, status);
    }
    xf::XF_CLOSE_GROUP(set, status);
    xf::XF_CLOSE_GROUP(group, status);
    xf::XF_CLOSE_FILE(file, status);
    return worst >= 0 && status >= 0;
}

// The catalogued table of the file with its temporal dataset chosen and its times read.
xr::XmdfTable catalogued(const std::string& name) {
    xr::XmdfTable table;
    table.files.emplace_back();
    table.files[0].file_name = name;
    table.n_xmdf = 1;
    xr::READ_XMDF_HEADERS(table);
    xr::allocate_path_arrays(table.files[0].scalars);
    xr::allocate_path_arrays(table.files[0].vectors);
    xr::GET_XMDF_DATASET_NAMES(table);
    xr::GET_XMDF_SIZES(table);
    xr::FIND_XMDF_TYPE(table, "Depth", false);
    xr::GET_XMDF_NUM_TIMES(table, false, 0, false, 0);
    xr::GET_XMDF_TIMES(table, false, 0, false, 0);
    return table;
}

// A record sized for the benchmark file.
zorvel::results::RES_TYPE record(float value) {
    zorvel::results::RES_TYPE res;
    res.nnodes = kNodes;
    res.ncells = kCells;
    zorvel::results::allocate_nodes(res, kNodes);
    std::fill(res.value.begin(), res.value.end(), value);
    std::fill(res.y.begin(), res.y.end(), value);
    res.CELL.allocate(kCells);
    return res;
}

// Seconds taken by the bare reads of every step; negative on a failed call.
double bare_reads(const std::string& name) {
    const auto start = Clock::now();
    std::int32_t file = 0, group = 0, status = 0;
    xf::XF_OPEN_FILE(name, true, file, status);
    xf::XF_OPEN_GROUP(file, "bench/Temporal/Depth", group, status);
    if (status < 0) return -1;
    std::vector<float> values(kNodes);
    std::vector<std::int32_t> flags(kCells);
    for (int step = 1; step <= kSteps; ++step) {
        xf::XF_READ_SCALAR_VALUES_TIMESTEP(group, step, kNodes, values, status);
        if (status < 0) return -1;
        xf::XF_READ_ACTIVITY_TIMESTEP(group, step, kCells, flags, status);
        if (status < 0) return -1;
    }
    xf::XF_CLOSE_GROUP(group, status);
    xf::XF_CLOSE_FILE(file, status);
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Seconds taken by the temporal maximum.
double temporal_max(xr::XmdfTable& table) {
    zorvel::results::RES_TYPE max = record(-99999.0f);
    zorvel::results::RES_TYPE time = record(-99999.0f);
    const auto start = Clock::now();
    xr::GET_XMDF_TEMPORAL_MAX(table, 1, false, max, time);
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Seconds taken by a walk through every step with the timestep reader.
double walk(xr::XmdfTable& table) {
    zorvel::results::RES_TYPE res = record(0.0f);
    const auto start = Clock::now();
    for (int step = 1; step <= kSteps; ++step) xr::xmdf_get_data_time(table, 1, false, res, step, step == 1, step == kSteps);
    return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    xf::setup_hdf5();
    const std::filesystem::path dir = argc > 1 ? std::filesystem::path(argv[1]) : std::filesystem::temp_directory_path();
    const std::string name = (dir / "bench_xmdf_read.xmdf").string();
    if (!write_file(name)) {
        std::printf("bench_xmdf_read: writing %s failed\n", name.c_str());
        return 1;
    }
    std::ostringstream discarded;
    std::istringstream no_input;
    double bare = 1e30, reduce = 1e30, stepwise = 1e30;
    {
        zorvel::util::ConsoleCapture quiet(discarded, no_input);
        xr::XmdfTable table = catalogued(name);
        // Best of five runs of each, alternating, so that each meets the same page cache.
        for (int run = 0; run < 5; ++run) {
            const double b = bare_reads(name);
            if (b < 0) {
                std::printf("bench_xmdf_read: a bare read failed\n");
                return 1;
            }
            bare = std::min(bare, b);
            reduce = std::min(reduce, temporal_max(table));
            stepwise = std::min(stepwise, walk(table));
            discarded.str("");
        }
        std::int32_t status = 0;
        xf::XF_CLOSE_FILE(table.files[0].file_id, status);
    }
    std::filesystem::remove(name);
    const double megabytes = static_cast<double>(kSteps) * (kNodes * 4.0 + kCells * 4.0) / 1e6;
    std::printf("%d steps of %d scalar values and %d cells (%.0f MB as read)\n", kSteps, kNodes, kCells, megabytes);
    std::printf("bare binding reads:        %8.1f MB/s\n", megabytes / bare);
    std::printf("GET_XMDF_TEMPORAL_MAX:     %8.1f MB/s  (%.2f times the bare reads' time)\n", megabytes / reduce,
                reduce / bare);
    std::printf("xmdf_get_data_time walk:   %8.1f MB/s  (%.2f times the bare reads' time)\n", megabytes / stepwise,
                stepwise / bare);
    return 0;
}
