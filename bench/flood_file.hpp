#pragma once
// What the ".dat" benchmarks share: files on pool units without the opener's dialogue,
// a large ".dat" file of a rising and falling flood, the plain read and write they are
// measured against, and a run of the real zorvel executable as a child process.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

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

// Seconds to write bytes zero bytes to a new file at path in 1 MiB pieces; the file is
// closed (not synced, as zorvel does not sync) and removed.
inline double plain_write(const std::string& path, std::uint64_t bytes) {
    const auto start = std::chrono::steady_clock::now();
    std::vector<char> buffer(std::size_t{1} << 20, 1);
    auto f = util::File::open(path, util::FileKind::bytes_out);
    for (std::uint64_t left = bytes; left > 0;) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, buffer.size()));
        f->write(buffer.data(), n);
        left -= n;
    }
    f->close();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::remove(path.c_str());
    return seconds;
}

// A finished run of the zorvel executable: its time, its peak resident memory as the
// kernel counted it, and its exit status.
struct Child {
    double seconds = 0.0;
    long max_rss_kib = 0;
    int status = -1;
};

// Runs zorvel with the words in the folder, its console going to console.txt there and
// its standard input empty.
inline Child run_zorvel(const std::string& zorvel, const std::string& dir, std::initializer_list<const char*> words) {
    std::vector<const char*> argv{zorvel.c_str()};
    argv.insert(argv.end(), words.begin(), words.end());
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::chdir(dir.c_str()) != 0) ::_exit(126);
        std::FILE* log = std::fopen("console.txt", "w");
        std::FILE* none = std::fopen("/dev/null", "r");
        if (!log || !none) ::_exit(126);
        ::dup2(::fileno(log), STDOUT_FILENO);
        ::dup2(::fileno(none), STDIN_FILENO);
        ::execv(zorvel.c_str(), const_cast<char* const*>(argv.data()));
        ::_exit(127);
    }
    Child c;
    int status = 0;
    struct rusage use {};
    ::wait4(pid, &status, 0, &use);
    c.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    c.max_rss_kib = use.ru_maxrss;
    c.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return c;
}

}  // namespace zorvel::bench
