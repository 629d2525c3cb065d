// Reading a ".2dm" mesh of 1,000,000 nodes and 1,000,000 elements (half triangles, half
// 4-node quadrilaterals, current layout): SCAN2DM + READ2DM beside a plain line-by-line read
// of the same file.

#include <charconv>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>

#include "results/mesh_2dm.hpp"
#include "util/console.hpp"
#include "util/units.hpp"

namespace {

using namespace zorvel;
using Clock = std::chrono::steady_clock;

constexpr int kNodes = 1'000'000;
constexpr int kCells = 1'000'000;
constexpr int kColumns = 1000;  // nodes per grid row

// Appends a fixed-point value with the given number of decimals.
void put_fixed(std::string& out, double v, int decimals) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
    out.append(buf, r.ptr);
}

// Appends an integer.
void put_int(std::string& out, long long v) {
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

// Writes the mesh: a grid of nodes; the elements cover its cells, quadrilaterals and
// triangles in turn.
void write_mesh(const std::filesystem::path& path) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::string out;
    out.reserve(1 << 22);
    out += "MESH2D    512345.000000 6123456.000000 0.000000 1.000000 1.000000 0.000000 0.000000 0.000000\n";
    for (int i = 0; i < kNodes; ++i) {
        out += "ND ";
        put_int(out, i + 1);
        out += ' ';
        put_fixed(out, 512345.0 + (i % kColumns) * 2.5, 6);
        out += ' ';
        put_fixed(out, 6123456.0 + (i / kColumns) * 2.5, 6);
        out += ' ';
        put_fixed(out, 10.0 + (i % 977) * 0.001, 3);
        out += " 0 0.000 0.000 0.000\n";
        if (out.size() > (1 << 21)) {
            std::fwrite(out.data(), 1, out.size(), f);
            out.clear();
        }
    }
    const int cols = kColumns - 1;
    for (int e = 0; e < kCells; ++e) {
        const int cell = (e / 2) % (cols * (kNodes / kColumns - 1));
        const int a = (cell / cols) * kColumns + cell % cols + 1;
        const int b = a + 1, c = a + kColumns + 1, d = a + kColumns;
        if (e % 2 == 0) {
            out += "E4Q ";
            put_int(out, e + 1);
            for (int n : {a, b, c, d}) {
                out += ' ';
                put_int(out, n);
            }
            out += " 1 0 0 0\n";
        } else {
            out += "E3T ";
            put_int(out, e + 1);
            for (int n : {a, b, c}) {
                out += ' ';
                put_int(out, n);
            }
            out += " 1 0 0 0 AB\n";
        }
        if (out.size() > (1 << 21)) {
            std::fwrite(out.data(), 1, out.size(), f);
            out.clear();
        }
    }
    std::fwrite(out.data(), 1, out.size(), f);
    std::fclose(f);
}

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
    write_mesh(path);
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
