#pragma once
// What the mesh benchmarks share: ".2dm" meshes of nodes on a grid whose elements are 4-node
// quadrilaterals and triangles in turn (current layout): one of 1,000,000 nodes and as many
// elements, and one of any size with one element per grid cell.

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace zorvel::bench {

inline constexpr int kMeshNodes = 1'000'000;
inline constexpr int kMeshCells = 1'000'000;
inline constexpr int kMeshColumns = 1000;  // nodes per grid row

// Appends a fixed-point value with the given number of decimals.
inline void put_fixed(std::string& out, double v, int decimals) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
    out.append(buf, r.ptr);
}

// Appends an integer.
inline void put_int(std::string& out, long long v) {
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

// Writes a mesh of the given number of nodes on a grid of the given number of columns
// (nodes a multiple of it): element e covers cell e / per_cell of the grid (starting over
// when the cells run out), as a quadrilateral for even e and as a triangle for odd e.
inline void write_grid_mesh(const std::string& path, int nodes, int elements, int columns, int per_cell = 1) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        std::exit(1);
    }
    std::string out;
    out.reserve(1 << 22);
    const auto flush = [&](bool always) {
        if (!always && out.size() < (1 << 21)) return;
        std::fwrite(out.data(), 1, out.size(), f);
        out.clear();
    };
    out += "MESH2D    512345.000000 6123456.000000 0.000000 1.000000 1.000000 0.000000 0.000000 0.000000\n";
    for (int i = 0; i < nodes; ++i) {
        out += "ND ";
        put_int(out, i + 1);
        out += ' ';
        put_fixed(out, 512345.0 + (i % columns) * 2.5, 6);
        out += ' ';
        put_fixed(out, 6123456.0 + (i / columns) * 2.5, 6);
        out += ' ';
        put_fixed(out, 10.0 + (i % 977) * 0.001, 3);
        out += " 0 0.000 0.000 0.000\n";
        flush(false);
    }
    const int cols = columns - 1;
    for (int e = 0; e < elements; ++e) {
        const int cell = (e / per_cell) % (cols * (nodes / columns - 1));
        const int a = (cell / cols) * columns + cell % cols + 1;
        const int b = a + 1, c = a + columns + 1, d = a + columns;
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
        flush(false);
    }
    flush(true);
    std::fclose(f);
}

// Writes the mesh of 1,000,000 nodes and as many elements, a quadrilateral and a triangle
// in each grid cell.
inline void write_mesh(const std::filesystem::path& path) {
    write_grid_mesh(path.string(), kMeshNodes, kMeshCells, kMeshColumns, 2);
}

}  // namespace zorvel::bench
