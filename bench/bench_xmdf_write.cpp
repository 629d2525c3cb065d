// Writing speed of the XMDF binding against a plain byte stream: 100 timesteps of
// 1,000,000 scalar values through XF_WRITE_SCALAR_TIMESTEP (compression 0, as the
// results writer asks, and -1), and the same bytes through util::File, as a ".dat"
// output would write them. Prints both throughputs and their ratio.
// Usage: bench_xmdf_write [folder]   (default: the system's temporary folder)

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "results/xmdf/binding.hpp"
#include "util/file_io.hpp"

namespace {

namespace xf = zorvel::results::xmdf;
using Clock = std::chrono::steady_clock;

constexpr int kSteps = 100;
constexpr std::int32_t kValues = 1'000'000;

// Removes the last run's file and writes back every dirty page, so that each timed
// write starts from the same state and pays for no other write.
void settle(const std::string& name) {
    std::filesystem::remove(name);
    sync();
}

// Seconds taken to write every step through the binding; negative on a failed call.
double write_xmdf(const std::string& name, std::int32_t compression, const std::vector<float>& values) {
    settle(name);
    const auto start = Clock::now();
    std::int32_t file = 0, group = 0, set = 0, status = 0;
    xf::XF_CREATE_FILE(name, true, file, status);
    if (status < 0) return -1;
    xf::XF_CREATE_GENERIC_GROUP(file, "bench/Temporal", group, status);
    if (status < 0) return -1;
    xf::XF_CREATE_SCALAR_DATASET(group, "Depth", "m", "Hours", compression, set, status);
    if (status < 0) return -1;
    for (int step = 0; step < kSteps; ++step) {
        xf::XF_WRITE_SCALAR_TIMESTEP(set, 0.5 * step, kValues, values, status);
        if (status < 0) return -1;
    }
    std::int32_t s1 = 0, s2 = 0, s3 = 0;
    xf::XF_CLOSE_GROUP(set, s1);
    xf::XF_CLOSE_GROUP(group, s2);
    xf::XF_CLOSE_FILE(file, s3);
    if (s1 < 0 || s2 < 0 || s3 < 0) return -1;
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Seconds taken to write the same values, with a time per step, as one byte stream.
double write_stream(const std::string& name, const std::vector<float>& values) {
    settle(name);
    const auto start = Clock::now();
    auto out = zorvel::util::File::open(name, zorvel::util::FileKind::bytes_out);
    if (!out) return -1;
    for (int step = 0; step < kSteps; ++step) {
        const float time = 0.5f * static_cast<float>(step);
        out->write(&time, sizeof time);
        out->write(values.data(), values.size() * sizeof(float));
    }
    if (!out->close()) return -1;
    return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    xf::setup_hdf5();
    const std::filesystem::path dir = argc > 1 ? std::filesystem::path(argv[1]) : std::filesystem::temp_directory_path();
    const std::string xmdf_name = (dir / "bench_xmdf_write.xmdf").string();
    const std::string dat_name = (dir / "bench_xmdf_write.dat").string();
    std::vector<float> values(kValues);
    for (std::int32_t i = 0; i < kValues; ++i) values[i] = 0.001f * static_cast<float>(i % 10007);
    const double megabytes = static_cast<double>(kSteps) * kValues * sizeof(float) / 1e6;

    // Best of five runs of each, alternating, so that neither gets a warm cache the other lacks.
    double stream = 1e30, level0 = 1e30, plain = 1e30;
    for (int run = 0; run < 5; ++run) {
        const double s = write_stream(dat_name, values);
        const double d = write_xmdf(xmdf_name, 0, values);
        const double p = write_xmdf(xmdf_name, -1, values);
        if (s < 0 || d < 0 || p < 0) {
            std::printf("bench_xmdf_write: a write failed in %s\n", dir.string().c_str());
            return 1;
        }
        stream = std::min(stream, s);
        level0 = std::min(level0, d);
        plain = std::min(plain, p);
    }
    std::filesystem::remove(xmdf_name);
    std::filesystem::remove(dat_name);

    std::printf("%d steps of %d scalar values (%.0f MB)\n", kSteps, kValues, megabytes);
    std::printf("util::File byte stream:          %8.1f MB/s\n", megabytes / stream);
    std::printf("XMDF binding, compression 0:     %8.1f MB/s  (%.2f times the stream's time)\n",
                megabytes / level0, level0 / stream);
    std::printf("XMDF binding, compression -1:    %8.1f MB/s  (%.2f times the stream's time)\n",
                megabytes / plain, plain / stream);
    return 0;
}
