// Reading a ".2dm" mesh of 1,000,000 nodes and 1,000,000 elements (half triangles, half
// 4-node quadrilaterals, current layout): SCAN2DM + READ2DM beside a plain line-by-line read
// of the same file.

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>

#include "mesh_file.hpp"
#include "results/mesh_2dm.hpp"
#include "util/console.hpp"
#include "util/units.hpp"

namespace {

using namespace zorvel;
using Clock = std::chrono::steady_clock;

constexpr int kNodes = bench::kMeshNodes;
constexpr int kCells = bench::kMeshCells;

// Puts the mesh on the first pool unit as a text input, without the opener's dialogue.
int open_on_unit(const std::filesystem::path& path) {
    util::PoolEntry& e = util::unit_tables().pool[0];
    e.file = util::File::open(path.string(), util::FileKind::text_in);
    e.open = e.file != nullptr;
    return e.unit;
}

// Seconds from t0 until now.
double seconds_since(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

}  // namespace

int main() {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "zorvel_bench_mesh";
    std::filesystem::create_directories(dir);
    const std::filesystem::path path = dir / "bench.2dm";
    bench::write_mesh(path);
    const double mib = static_cast<double>(std::filesystem::file_size(path)) / (1024.0 * 1024.0);

    util::FILEUNITINIT(1000);
    std::ostringstream discard;
    std::istringstream no_input;
    util::ConsoleCapture capture(discard, no_input);

    // Plain read: every line once, as a lower bound for one pass.
    auto t0 = Clock::now();
    {
        auto f = util::File::open(path.string(), util::FileKind::text_in);
        std::string line;
        long long lines = 0, bytes = 0;
        while (f->read_line(line)) {
            ++lines;
            bytes += static_cast<long long>(line.size());
        }
        if (lines == 0 || bytes == 0) return 1;
    }
    const double plain = seconds_since(t0);

    results::MESH_TYPE mesh;
    mesh.NODES.assign(kNodes, results::mesh_node{});
    mesh.CELLS.assign(kCells, results::mesh_cell{});
    mesh.part_names.assign(1, std::string());
    const int unit = open_on_unit(path);
    t0 = Clock::now();
    results::SCAN2DM(unit, mesh);
    const double scan = seconds_since(t0);
    t0 = Clock::now();
    results::READ2DM(unit, mesh);
    const double read = seconds_since(t0);
    util::unit_tables().pool[0].file.reset();
    util::unit_tables().pool[0].open = false;

    std::printf("mesh: %d nodes, %d elements, %.1f MiB\n", mesh.nnodes, mesh.ncells, mib);
    std::printf("plain line read (one pass): %.3f s\n", plain);
    std::printf("SCAN2DM:                    %.3f s\n", scan);
    std::printf("READ2DM:                    %.3f s\n", read);
    std::printf("SCAN2DM + READ2DM:          %.3f s\n", scan + read);
    std::filesystem::remove_all(dir);
    return 0;
}
