// Reading a ".2dm" mesh of 1,000,000 nodes and 998,001 elements (a 1000 x 1000 grid, half
// its cells 4-node quadrilaterals and half triangles, current layout: the mesh of bench_max's
// water-level case) with SCAN2DM and READ2DM, beside a plain read of the same file in 1 MiB
// pieces and a plain line-by-line read, in paired rounds (the plain reads first in even
// rounds, the mesh reader first in odd ones). The figures are the medians over the rounds of
// the mesh reader's time over each plain read's. The two passes are timed apart and as the
// one pass that does the work of both (scan_read_2dm, as -dif reads a mesh); the read for
// the element corners alone is timed after SCAN2DM and as the one pass of -max and -min
// (scan_read_2dm_corners).
//
// bench_mesh [--rounds N]

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "flood_file.hpp"
#include "mesh_file.hpp"
#include "results/mesh_2dm.hpp"
#include "util/console.hpp"
#include "util/units.hpp"

namespace {

using namespace zorvel;
using Clock = std::chrono::steady_clock;

constexpr int kNodes = 1'000'000;
constexpr int kCells = 999 * 999;
constexpr int kColumns = 1000;  // nodes per grid row

// Seconds from t0 until now.
double seconds_since(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

// Seconds to read the file in 1 MiB pieces.
double plain_read(const std::filesystem::path& path) {
    std::uint64_t checksum = 0;
    return bench::plain_read({path.string()}, checksum);
}

// Seconds to read the file line by line.
double line_read(const std::filesystem::path& path) {
    const auto t0 = Clock::now();
    auto f = util::File::open(path.string(), util::FileKind::text_in);
    std::string line;
    long long lines = 0, bytes = 0;
    while (f->read_line(line)) {
        ++lines;
        bytes += static_cast<long long>(line.size());
    }
    if (lines == 0 || bytes == 0) std::exit(1);
    return seconds_since(t0);
}

// The times of SCAN2DM and READ2DM of the file, the file on the first pool unit as a text
// input (without the opener's dialogue) and the mesh tables made as the driver makes them.
std::pair<double, double> mesh_read(const std::filesystem::path& path) {
    results::MESH_TYPE mesh;
    mesh.NODES.assign(kNodes, results::mesh_node{});
    mesh.CELLS.assign(kCells, results::mesh_cell{});
    mesh.part_names.assign(1, std::string());
    util::PoolEntry& e = util::unit_tables().pool[0];
    e.file = util::File::open(path.string(), util::FileKind::text_in);
    e.open = e.file != nullptr;
    auto t0 = Clock::now();
    results::SCAN2DM(e.unit, mesh);
    const double scan = seconds_since(t0);
    t0 = Clock::now();
    results::READ2DM(e.unit, mesh);
    const double read = seconds_since(t0);
    e.file.reset();
    e.open = false;
    if (mesh.nnodes != kNodes || mesh.ncells != kCells) std::exit(1);
    return {scan, read};
}

// The time of the one pass of SCAN2DM and READ2DM, with the tables made first.
double one_pass_read(const std::filesystem::path& path) {
    results::MESH_TYPE mesh;
    mesh.NODES.assign(kNodes, results::mesh_node{});
    mesh.CELLS.assign(kCells, results::mesh_cell{});
    mesh.part_names.assign(1, std::string());
    util::PoolEntry& e = util::unit_tables().pool[0];
    e.file = util::File::open(path.string(), util::FileKind::text_in);
    e.open = e.file != nullptr;
    const auto t0 = Clock::now();
    results::scan_read_2dm(e.unit, mesh);
    const double read = seconds_since(t0);
    e.file.reset();
    e.open = false;
    if (mesh.nnodes != kNodes || mesh.ncells != kCells) std::exit(1);
    return read;
}

// The times of the read for the element corners alone after SCAN2DM (not timed), and of
// the one pass that scans and reads the corners, as -max and -min read a mesh for the
// wet-cell rule.
std::pair<double, double> corners_read(const std::filesystem::path& path) {
    results::MESH_TYPE mesh;
    mesh.corners.assign(kCells, {});
    util::PoolEntry& e = util::unit_tables().pool[0];
    e.file = util::File::open(path.string(), util::FileKind::text_in);
    e.open = e.file != nullptr;
    results::SCAN2DM(e.unit, mesh);
    auto t0 = Clock::now();
    results::read_2dm_corners(e.unit, mesh, kNodes);
    const double read = seconds_since(t0);
    results::MESH_TYPE again;
    again.corners.assign(kCells, {});
    e.file = util::File::open(path.string(), util::FileKind::text_in);
    t0 = Clock::now();
    results::scan_read_2dm_corners(e.unit, again, kNodes);
    const double one_pass = seconds_since(t0);
    e.file.reset();
    e.open = false;
    if (again.corners != mesh.corners) std::exit(1);
    return {read, one_pass};
}

}  // namespace

int main(int argc, char** argv) {
    int rounds = 7;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::string(argv[i]) == "--rounds") rounds = std::max(1, std::atoi(argv[i + 1]));
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("zorvel_bench_mesh_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::filesystem::path path = dir / "bench.2dm";
    bench::write_grid_mesh(path.string(), kNodes, kCells, kColumns);
    const double mb = static_cast<double>(std::filesystem::file_size(path)) / 1.0e6;

    util::FILEUNITINIT(1000);
    std::ostringstream discard;
    std::istringstream no_input;
    util::ConsoleCapture capture(discard, no_input);

    plain_read(path);  // settles the page cache
    std::vector<double> plain, lines, scan, read, corners, r_plain, r_lines, r_read, r_corners;
    std::vector<double> one, r_one_plain, r_one_lines, corners_one, r_corners_one;
    for (int round = 0; round < rounds; ++round) {
        double p = 0.0, l = 0.0;
        if (round % 2 == 0) {
            p = plain_read(path);
            l = line_read(path);
        }
        const auto [s, r] = mesh_read(path);
        const double o = one_pass_read(path);
        const auto [c, co] = corners_read(path);
        discard.str("");
        if (round % 2 == 1) {
            p = plain_read(path);
            l = line_read(path);
        }
        plain.push_back(p);
        lines.push_back(l);
        scan.push_back(s);
        read.push_back(r);
        r_plain.push_back((s + r) / p);
        r_lines.push_back((s + r) / l);
        r_read.push_back(r / l);
        corners.push_back(c);
        r_corners.push_back(c / l);
        one.push_back(o);
        r_one_plain.push_back(o / p);
        r_one_lines.push_back(o / l);
        corners_one.push_back(co);
        r_corners_one.push_back(co / l);
    }
    std::printf("cores: %ld; mesh: %d nodes, %d elements, %.1f MB; median of %d paired rounds\n",
                ::sysconf(_SC_NPROCESSORS_ONLN), kNodes, kCells, mb, rounds);
    std::printf("plain read (1 MiB pieces):  %.3f s\n", bench::median(plain));
    std::printf("plain line read:            %.3f s\n", bench::median(lines));
    std::printf("SCAN2DM:                    %.3f s\n", bench::median(scan));
    std::printf("READ2DM:                    %.3f s\n", bench::median(read));
    std::printf("SCAN2DM + READ2DM:          %.2f x the plain read, %.2f x the line read\n", bench::median(r_plain),
                bench::median(r_lines));
    std::printf("READ2DM alone:              %.2f x the line read\n", bench::median(r_read));
    std::printf("both in one pass (-dif):    %.3f s, %.2f x the plain read, %.2f x the line read"
                " (goal: 2.00 or less)\n",
                bench::median(one), bench::median(r_one_plain), bench::median(r_one_lines));
    std::printf("corners after SCAN2DM:      %.3f s, %.2f x the line read\n", bench::median(corners),
                bench::median(r_corners));
    std::printf("corners in one pass (-max): %.3f s, %.2f x the line read\n", bench::median(corners_one),
                bench::median(r_corners_one));
    std::filesystem::remove_all(dir);
    return 0;
}
