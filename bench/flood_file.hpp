#pragma once
// What the ".dat" benchmarks share: files on pool units without the opener's dialogue,
// a large ".dat" file of a rising and falling flood, and the plain read they are measured
// against.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "results/dat.hpp"
#include "results/res_type.hpp"
#include "util/units.hpp"

namespace zorvel::bench {

// Puts a file on the first free pool unit.
inline int put_on_unit(const std::string& path, util::FileKind kind) {
    for (util::PoolEntry& p : util::unit_tables().pool) {
        if (p.open) continue;
        p.file = util::File::open(path, kind);
        if (!p.file) {
            std::fprintf(stderr, "cannot open %s\n", path.c_str());
            std::exit(1);
        }
        p.open = true;
        return p.unit;
    }
    std::exit(1);
}

// Closes a unit opened by put_on_unit.
inline void close_unit(int unit) {
    for (util::PoolEntry& p : util::unit_tables().pool)
        if (p.open && p.unit == unit) {
            p.file->close();
            p.file.reset();
            p.open = false;
        }
}

// Writes a scalar ".dat" file of a flood rising and falling over the records, shifted
// by phase (a fraction of the records) and lifted by bed(j) at node j.
template <typename Bed>
void write_flood_file(const std::string& path, const char* name, std::int32_t nodes, std::int32_t cells,
                      int records, float phase, Bed bed) {
    results::RES_TYPE r;
    r.nnodes = nodes;
    r.ncells = cells;
    r.ND.resize(static_cast<std::size_t>(nodes));
    r.CELL.resize(static_cast<std::size_t>(cells));
    const int unit = put_on_unit(path, util::FileKind::bytes_out);
    results::WRITE_DAT_HEADER(unit, name, false, nodes, cells);
    for (int k = 0; k < records; ++k) {
        r.time = 0.25f * static_cast<float>(k);
        const float wave = std::sin(3.14159265f * (static_cast<float>(k) / static_cast<float>(records) + phase));
        for (std::int32_t j = 0; j < nodes; ++j)
            r.ND[static_cast<std::size_t>(j)].value = bed(j) + 2.0f * wave + 0.001f * static_cast<float>(j % 13);
        for (std::int32_t i = 0; i < cells; ++i)
            r.CELL[static_cast<std::size_t>(i)].flag = static_cast<std::int8_t>((i + k) % 3 != 0);
        results::WRITE_DAT_TIMESTEP(unit, r, path, false);
    }
    results::WRITE_DAT_END_CARD(unit);
    close_unit(unit);
}

// Seconds to read the files in 1 MiB pieces, one byte of each piece added to the checksum.
inline double plain_read(const std::vector<std::string>& paths, std::uint64_t& checksum) {
    const auto start = std::chrono::steady_clock::now();
    std::vector<char> buffer(std::size_t{1} << 20);
    for (const std::string& path : paths) {
        auto f = util::File::open(path, util::FileKind::bytes_in);
        std::uint64_t left = f->size();
        while (left > 0) {
            const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, buffer.size()));
            if (!f->read(buffer.data(), n)) break;
            checksum += static_cast<unsigned char>(buffer[n / 2]);
            left -= n;
        }
        f->close();
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace zorvel::bench
