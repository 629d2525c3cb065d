#pragma once
// What the ".dat" benchmarks share: files on pool units without the opener's dialogue,
// a large ".dat" file of a rising and falling flood, the plain read and write they are
// measured against, a run of the real zorvel executable as a child process, the rounds
// that pair such runs with plain transfer, and the lines that report them.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "results/dat.hpp"
#include "results/res_type.hpp"
#include "util/console.hpp"
#include "util/memory_cap.hpp"
#include "util/units.hpp"

namespace zorvel::bench {

// While it lives, the benchmark's own calls into zorvel have their console lines go to the
// file at path and an empty console input, and the file units are set up afresh.
class QuietConsole {
public:
    explicit QuietConsole(const std::filesystem::path& path) : file_(path), capture_(file_, no_input_) {
        util::FILEUNITINIT(1000);
    }

private:
    std::ofstream file_;
    std::istringstream no_input_;
    util::ConsoleCapture capture_;
};

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

// Writes a ".dat" file byte by byte, in the layout the results writer gives it: the
// header, then records of flags and values that the caller fills, then the end card.
class DatWriter {
public:
    DatWriter(const std::string& path, const char* name, bool vector, std::int32_t nodes, std::int32_t cells)
        : f_(std::fopen(path.c_str(), "wb")), vector_(vector), nodes_(nodes), cells_(cells) {
        if (f_ == nullptr) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            std::exit(1);
        }
        std::setvbuf(f_, nullptr, _IOFBF, std::size_t{1} << 20);
        for (std::int32_t v : {3000, 100, 3, 110, 4, 120, 1, vector ? 140 : 130, 170, nodes, 180, cells, 190}) put(v);
        char text[40];
        std::memset(text, ' ', sizeof text);
        std::memcpy(text, name, std::min(std::strlen(name), sizeof text));
        std::fwrite(text, 1, sizeof text, f_);
    }
    ~DatWriter() {
        put(210);
        std::fclose(f_);
    }
    DatWriter(const DatWriter&) = delete;
    DatWriter& operator=(const DatWriter&) = delete;

    // One record at time t: cells flags, then nodes values (pairs for vectors).
    void record(float t, const std::vector<std::int8_t>& flags, const std::vector<float>& values) {
        put(200);
        const std::int8_t with_flags = 1;
        std::fwrite(&with_flags, 1, 1, f_);
        std::fwrite(&t, 4, 1, f_);
        std::fwrite(flags.data(), 1, static_cast<std::size_t>(cells_), f_);
        std::fwrite(values.data(), 4, static_cast<std::size_t>(nodes_) * (vector_ ? 2 : 1), f_);
    }

private:
    void put(std::int32_t v) { std::fwrite(&v, 4, 1, f_); }
    std::FILE* f_;
    bool vector_;
    std::int32_t nodes_;
    std::int32_t cells_;
};

// The height of a flood that rises and falls over the records, at record k of n, shifted
// by phase (a fraction of the records).
inline float flood_wave(int k, int n, float phase) {
    return std::sin(3.14159265f * (static_cast<float>(k) / static_cast<float>(n) + phase));
}

// Wet cells of record k: two in three, moving on with the records.
inline void flood_flags(int k, std::vector<std::int8_t>& flags) {
    for (std::size_t i = 0; i < flags.size(); ++i) flags[i] = static_cast<std::int8_t>((i + k) % 3 != 0);
}

// Writes a scalar ".dat" file of a flood rising and falling over the records, shifted
// by phase (a fraction of the records) and lifted by bed(j) at node j.
template <typename Bed>
void write_flood_file(const std::string& path, const char* name, std::int32_t nodes, std::int32_t cells,
                      int records, float phase, Bed bed) {
    DatWriter w(path, name, false, nodes, cells);
    std::vector<float> values(static_cast<std::size_t>(nodes));
    std::vector<std::int8_t> flags(static_cast<std::size_t>(cells));
    for (int k = 0; k < records; ++k) {
        const float wave = flood_wave(k, records, phase);
        for (std::int32_t j = 0; j < nodes; ++j)
            values[static_cast<std::size_t>(j)] = bed(j) + 2.0f * wave + 0.001f * static_cast<float>(j % 13);
        flood_flags(k, flags);
        w.record(0.25f * static_cast<float>(k), flags, values);
    }
}

// Writes a vector ".dat" file of a flood's velocities: speeds rising and falling over the
// records, shifted by phase, turning with the node number and the record.
inline void write_vector_flood_file(const std::string& path, const char* name, std::int32_t nodes,
                                    std::int32_t cells, int records, float phase) {
    DatWriter w(path, name, true, nodes, cells);
    std::vector<float> values(2 * static_cast<std::size_t>(nodes));
    std::vector<std::int8_t> flags(static_cast<std::size_t>(cells));
    for (int k = 0; k < records; ++k) {
        const float wave = flood_wave(k, records, phase);
        for (std::int32_t j = 0; j < nodes; ++j) {
            const float speed = std::fabs(wave) * (1.0f + 0.01f * static_cast<float>(j % 29));
            const float angle = 0.1f * static_cast<float>((j + k) % 63);
            values[2 * static_cast<std::size_t>(j)] = speed * std::cos(angle);
            values[2 * static_cast<std::size_t>(j) + 1] = speed * std::sin(angle);
        }
        flood_flags(k, flags);
        w.record(0.25f * static_cast<float>(k), flags, values);
    }
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

// Runs a program with the words in the folder, its standard output going to the file
// out there (or to /dev/null when out is empty) and its standard input empty; with a
// data_limit, under that soft limit on its data (RLIMIT_DATA) in bytes.
inline Child run_child(const std::string& program, const std::string& dir, const std::vector<std::string>& words,
                       const std::string& out, std::uint64_t data_limit = 0) {
    std::vector<const char*> argv{program.c_str()};
    for (const std::string& w : words) argv.push_back(w.c_str());
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::chdir(dir.c_str()) != 0) ::_exit(126);
        std::FILE* log = std::fopen(out.empty() ? "/dev/null" : out.c_str(), "w");
        std::FILE* none = std::fopen("/dev/null", "r");
        if (!log || !none) ::_exit(126);
        ::dup2(::fileno(log), STDOUT_FILENO);
        ::dup2(::fileno(none), STDIN_FILENO);
        const struct rlimit limit {static_cast<rlim_t>(data_limit), RLIM_INFINITY};
        if (data_limit > 0 && ::setrlimit(RLIMIT_DATA, &limit) != 0) ::_exit(126);
        ::execvp(program.c_str(), const_cast<char* const*>(argv.data()));
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

// Runs zorvel with the words in the folder, its console going to console.txt there and
// its standard input empty.
inline Child run_zorvel(const std::string& zorvel, const std::string& dir, std::initializer_list<const char*> words) {
    return run_child(zorvel, dir, std::vector<std::string>(words.begin(), words.end()), "console.txt");
}

// Runs cat on the files in the folder, its output going to /dev/null: the plain read that
// a run is measured against, process start included.
inline Child run_cat(const std::string& dir, const std::vector<std::string>& files) {
    return run_child("cat", dir, files, "");
}

// The middle value (the mean of the two middle ones for an even count).
inline double median(std::vector<double> v) {
    if (v.empty()) return 0.0;
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 == 1 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

// The zorvel executable that a benchmark runs, by its absolute path (the child runs in a
// folder of its own): the one given, else the one built beside the benchmark. Ends the
// benchmark when there is none there; how tells how to give the path.
inline std::string zorvel_path(const char* given, const char* how = "as the argument") {
    const std::filesystem::path self = std::filesystem::canonical("/proc/self/exe");
    const std::string zorvel =
        std::filesystem::absolute(given != nullptr ? std::filesystem::path(given)
                                                   : self.parent_path().parent_path() / "zorvel")
            .string();
    if (!std::filesystem::exists(zorvel)) {
        std::fprintf(stderr, "zorvel not found at %s (give its path %s)\n", zorvel.c_str(), how);
        std::exit(1);
    }
    return zorvel;
}

// A new folder for the files of the benchmark of that name, under root.
inline std::filesystem::path work_folder(const char* name,
                                         const std::filesystem::path& root = std::filesystem::temp_directory_path()) {
    const std::filesystem::path dir =
        root / ("zorvel_bench_" + std::string(name) + "_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    return dir;
}

// Ends the benchmark when a run of zorvel in the folder failed.
inline void require_ok(const Child& c, const std::filesystem::path& dir) {
    if (c.status == 0) return;
    std::fprintf(stderr, "zorvel ended with status %d; see %s\n", c.status, (dir / "console.txt").c_str());
    std::exit(1);
}

// The runs of one command over the rounds of a benchmark: their times and the largest peak
// resident memory of any of them.
struct Runs {
    std::vector<double> seconds;
    long max_rss_kib = 0;

    // Counts in a finished run.
    void add(const Child& c) {
        seconds.push_back(c.seconds);
        max_rss_kib = std::max(max_rss_kib, c.max_rss_kib);
    }
};

// A run of zorvel against plain transfer: the medians of the plain times and of the run's,
// the run's largest peak resident memory and the bytes of its output.
struct AgainstTransfer {
    double plain = 0.0;
    double run = 0.0;
    long max_rss_kib = 0;
    std::uint64_t out_bytes = 0;
};

// Runs zorvel with the words in the folder in rounds that alternate with a plain read of the
// inputs followed by a plain write of as many bytes as the run's output holds. A first run of
// each settles the page cache and gives the output's size; the output is removed after every
// run.
inline AgainstTransfer against_transfer(const std::string& zorvel, const std::filesystem::path& dir,
                                        std::initializer_list<const char*> words,
                                        const std::vector<std::string>& inputs, const std::filesystem::path& output,
                                        int rounds, std::uint64_t& checksum) {
    const std::string plain_out = (dir / "plain_out.bin").string();
    const std::vector<std::string> argv(words.begin(), words.end());
    AgainstTransfer f;
    plain_read(inputs, checksum);
    require_ok(run_child(zorvel, dir.string(), argv, "console.txt"), dir);
    f.out_bytes = std::filesystem::file_size(output);
    std::filesystem::remove(output);

    std::vector<double> plain;
    Runs runs;
    for (int round = 0; round < rounds; ++round) {
        plain.push_back(plain_read(inputs, checksum) + plain_write(plain_out, f.out_bytes));
        const Child c = run_child(zorvel, dir.string(), argv, "console.txt");
        require_ok(c, dir);
        runs.add(c);
        std::filesystem::remove(output);
    }
    f.plain = median(plain);
    f.run = median(runs.seconds);
    f.max_rss_kib = runs.max_rss_kib;
    return f;
}

// Prints the figures of against_transfer for the operation op (its flag without the "-"):
// both medians and their ratio, with the goal after it when there is one, each figure in
// one column after its label.
inline void report_transfer(const char* op, const AgainstTransfer& f, const char* goal = nullptr) {
    const int width = static_cast<int>(std::strlen(op)) + 19;
    const std::string run = "zorvel -b -" + std::string(op) + ":";
    const std::string ratio = std::string(op) + " / (read + write):";
    std::printf("%-*s%8.3f s\n", width, "plain read + write:", f.plain);
    std::printf("%-*s%8.3f s\n", width, run.c_str(), f.run);
    std::printf("%-*s%8.2f", width, ratio.c_str(), f.run / f.plain);
    if (goal != nullptr) std::printf("  (goal: %s)", goal);
    std::printf("\n");
}

// Prints a rate of reading mb megabytes in the seconds, after its label.
inline void report_rate(const char* label, double mb, double seconds) {
    std::printf("%-22s%8.1f MB/s  (%.3f s)\n", label, mb / seconds, seconds);
}

// Prints a peak resident memory in MB and in bytes per node, its label padded to width.
inline void report_peak(int width, long kib, std::int32_t nodes) {
    std::printf("%-*s%8.1f MB, %.1f bytes per node\n", width, "peak resident memory:",
                static_cast<double>(kib) / 1024.0, static_cast<double>(kib) * 1024.0 / nodes);
}

// The cap on data memory that a run reading the files gets from them (util/memory_cap.hpp), in
// bytes; the ".dat" and ".2dm" inputs of the benchmarks back no counts of their own.
inline std::uint64_t memory_bound_of(const std::vector<std::string>& paths) {
    util::ReadSoFar read;
    for (const std::string& p : paths) {
        ++read.files;
        read.bytes += std::filesystem::file_size(p);
    }
    return util::memory_bound(read);
}

// True when zorvel with the words in the folder, reading the files, passes under a given limit
// on its data of a quarter of the cap it gets from them; its output is the caller's to remove.
inline bool passes_under_quarter(const std::string& zorvel, const std::filesystem::path& dir,
                               const std::vector<std::string>& words, const std::vector<std::string>& paths) {
    return run_child(zorvel, dir.string(), words, "console.txt", memory_bound_of(paths) / 4).status == 0;
}

// Prints a peak resident memory against the cap of a run reading the files, after its label,
// and whether the run passed under a quarter of the cap.
inline void report_bound(int width, long kib, const std::vector<std::string>& paths, bool quarter) {
    const double peak = static_cast<double>(kib) / 1024.0;
    const double bound = static_cast<double>(memory_bound_of(paths)) / (1024.0 * 1024.0);
    std::printf("%-*s%8.1f MB of a cap of %.0f MB (%.1f %%); under a quarter of the cap: %s\n", width,
                "peak resident memory:", peak, bound, 100.0 * peak / bound, quarter ? "passes" : "FAILS");
}

// Prints the checksum of the plain reads, so that they cannot be left out.
inline void report_check(std::uint64_t checksum) {
    std::printf("check: %llu\n", static_cast<unsigned long long>(checksum % 1000));
}

}  // namespace zorvel::bench
