// -max as a user runs it, against a plain pread-and-fold loop written here and against cat
// of the same files: the real zorvel executable (the one built beside this program) and
// `cat files > /dev/null` run as child processes, the loop in this process, in paired
// rounds, in turns (zorvel first in odd rounds). The loop preads each record of the files
// into one reused buffer and folds it as -max does: the larger value (the faster vector)
// with the number of its file, or its time for one file, and the larger flag magnitude; it
// makes its arrays and its buffer afresh in every run from new pages, as a program of its
// own would. The figures of a case are the medians over the rounds of zorvel's time over the
// loop's and over cat's; the peak resident memory is the largest the kernel accounted for
// zorvel (wait4), per node, shown beside the cap on data memory that the run gets from its
// files, with one more run under a quarter of that cap. Each case starts with its files in the
// page cache as read back from disk (written out, let go of, read), and every line ends with
// the load average.
//
// Cases (all inputs 1,000,000 nodes and as many cells unless said, files of about 500 MB):
//   scalar2  two scalar ".dat" files of 100 records
//   scalar1  one of them: the time of each node's maximum is written too
//   vector2  two vector ".dat" files of 56 records
//   level2   two water-level ".dat" files of 100 records (998,001 cells) with the
//            1,000,000-node ".2dm" mesh of the first (wet-cell rule); cat reads the two files
//            and the mesh, the loop the two files
//   fixed    one scalar ".dat" file of one record: the fixed cost of a run, in milliseconds
//   states   scalar2 with its files in three states of the page cache: just written (copied
//            in 64 KiB writes and not read since), read back (let go of with
//            posix_fadvise(DONTNEED), then read), and split (their large pages split by
//            paging out one page in sixteen, then read back). Beside zorvel and the loop, the
//            same fold over the files mapped with MAP_POPULATE shows how dear page faults are
//            in each state.
//
// bench_max [--zorvel PATH] [--dir DIR] [--keep] [--rounds N] [case ...]
// Without cases every case runs. The files are written into DIR (default: a new folder
// under $TMPDIR) and removed at the end unless --keep is given; --keep with a DIR that
// already holds them reuses them.

#include <fcntl.h>
#include <malloc.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "flood_file.hpp"
#include "mesh_file.hpp"

namespace {

using namespace zorvel;
namespace fs = std::filesystem;

constexpr std::int32_t kNodes = 1'000'000;
constexpr std::int32_t kCells = 1'000'000;
constexpr int kRecords = 100;
constexpr int kVectorRecords = 56;
// The water levels belong to a 1000 x 1000 grid of nodes: one element per grid cell.
constexpr std::int32_t kGridCells = 999 * 999;

// The bed under node j of the water-level files.
float bed(std::int32_t j) { return 0.01f * static_cast<float>(j % 997); }

// Where and how the benchmark runs.
struct Setup {
    std::string zorvel;
    fs::path dir;
    bool keep = false;
    int rounds = 7;
};

// Writes a file with make unless it is there already (from an earlier run with --keep).
void ensure(const Setup& s, const std::string& name, const std::function<void(const std::string&)>& make) {
    const fs::path p = s.dir / name;
    if (fs::exists(p) && fs::file_size(p) > 0) return;
    std::printf("writing %s\n", p.c_str());
    std::fflush(stdout);
    make(p.string());
}

// The inputs of the cases, written as needed.
void write_scalars(const Setup& s) {
    const auto flat = [](std::int32_t) { return 0.0f; };
    for (const auto& [name, phase] : {std::pair{"a_d.dat", 0.0f}, std::pair{"b_d.dat", 0.1f}})
        ensure(s, name, [&](const std::string& p) {
            bench::write_flood_file(p, "Depth", kNodes, kCells, kRecords, phase, flat);
        });
}
void write_vectors(const Setup& s) {
    for (const auto& [name, phase] : {std::pair{"a_V.dat", 0.0f}, std::pair{"b_V.dat", 0.1f}})
        ensure(s, name, [&](const std::string& p) {
            bench::write_vector_flood_file(p, "Velocity", kNodes, kCells, kVectorRecords, phase);
        });
}
void write_levels(const Setup& s) {
    ensure(s, "a_h.dat", [](const std::string& p) {
        bench::write_flood_file(p, "Water Level", kNodes, kGridCells, kRecords, 0.0f, bed);
    });
    ensure(s, "b_h.dat", [](const std::string& p) {
        bench::write_flood_file(p, "Water Level", kNodes, kGridCells, kRecords, 0.1f, bed);
    });
    ensure(s, "a.2dm", [](const std::string& p) { bench::write_grid_mesh(p, kNodes, kGridCells, 1000); });
}
void write_one_record(const Setup& s) {
    ensure(s, "one_d.dat", [](const std::string& p) {
        bench::write_flood_file(p, "Depth", kNodes, kCells, 1, 0.0f, [](std::int32_t) { return 0.0f; });
    });
}

// Total size of the files in MB.
double megabytes(const Setup& s, const std::vector<std::string>& files) {
    std::uintmax_t n = 0;
    for (const std::string& f : files) n += fs::file_size(s.dir / f);
    return static_cast<double>(n) / 1.0e6;
}

// The load average of the machine over the last minute, as /proc/loadavg gives it.
std::string load_average() {
    std::ifstream in("/proc/loadavg");
    std::string one;
    in >> one;
    return one.empty() ? "?" : one;
}

// The running maximum of the plain loop: per node the value (x and y and the speed for
// vectors) and its file's number or its time, per cell the flag magnitude.
struct LoopFold {
    bool vector = false;
    bool times = false;  // one file: the time of the maximum instead of the file's number
    std::vector<float> x, y, speed, source;
    std::vector<std::uint8_t> cells;

    LoopFold(bool is_vector, bool with_times, std::size_t nodes, std::size_t ncells)
        : vector(is_vector), times(with_times), x(nodes, -99999.0f), y(nodes, 0.0f),
          speed(nodes, vector ? 0.0f : -99999.0f), source(nodes, 0.0f), cells(ncells, 0) {}

    // Folds the record at p (its flag byte, time, flags and values) of file number file.
    void fold(const std::byte* p, float file) {
        float t;
        std::memcpy(&t, p + 1, 4);
        const float tag = times ? t : file;
        const auto* flags = reinterpret_cast<const std::int8_t*>(p + 5);
        std::uint8_t* c = cells.data();
        for (std::size_t i = 0; i < cells.size(); ++i) {
            const std::uint8_t m = static_cast<std::uint8_t>(flags[i] < 0 ? -flags[i] : flags[i]);
            c[i] = m > c[i] ? m : c[i];
        }
        const auto* v = reinterpret_cast<const float*>(p + 5 + cells.size());
        float* __restrict vx = x.data();
        float* __restrict vy = y.data();
        float* __restrict vs = speed.data();
        float* __restrict src = source.data();
        const std::size_t n = x.size();
        if (!vector) {
            for (std::size_t j = 0; j < n; ++j) {
                const bool wins = v[j] > vx[j];
                vx[j] = wins ? v[j] : vx[j];
                src[j] = wins ? tag : src[j];
            }
            return;
        }
        for (std::size_t j = 0; j < n; ++j) {
            const float a = v[2 * j], b = v[2 * j + 1];
            const float sp = std::sqrt(a * a + b * b);
            const bool wins = sp > vs[j];
            vx[j] = wins ? a : vx[j];
            vy[j] = wins ? b : vy[j];
            vs[j] = wins ? sp : vs[j];
            src[j] = wins ? tag : src[j];
        }
    }
    // A number that depends on every result, so that no fold can be left out.
    double check() const {
        double sum = 0.0;
        for (std::size_t j = 0; j < x.size(); j += 997) sum += x[j] + y[j] + source[j];
        for (std::size_t i = 0; i < cells.size(); i += 997) sum += cells[i];
        return sum;
    }
};

// The layout of one of the benchmark's ".dat" files, from its header (as DatWriter writes
// it: 13 integers and the name): the bytes of a record with its card, and its counts.
struct Shape {
    static constexpr std::size_t kHeader = 92;
    bool vector = false;
    std::size_t nodes = 0;
    std::size_t cells = 0;
    std::size_t record() const { return 9 + cells + nodes * (vector ? 8 : 4); }
};
Shape shape_of(int fd) {
    std::int32_t head[13] = {};
    Shape shape;
    if (::pread(fd, head, sizeof head, 0) != static_cast<ssize_t>(sizeof head)) return shape;
    shape.vector = head[7] == 140;
    shape.nodes = static_cast<std::size_t>(head[9]);
    shape.cells = static_cast<std::size_t>(head[11]);
    return shape;
}

// Seconds of a fold of the files, each opened and handed to read(fd, shape, fold, number),
// which folds its records into the one running maximum.
template <typename Read>
double fold_files(const Setup& s, const std::vector<std::string>& files, double& check, Read&& read) {
    const auto start = std::chrono::steady_clock::now();
    std::unique_ptr<LoopFold> fold;
    for (std::size_t k = 0; k < files.size(); ++k) {
        const int fd = ::open((s.dir / files[k]).c_str(), O_RDONLY);
        if (fd < 0) continue;
        const Shape shape = shape_of(fd);
        if (!fold) fold = std::make_unique<LoopFold>(shape.vector, files.size() == 1, shape.nodes, shape.cells);
        read(fd, shape, *fold, static_cast<float>(k + 1));
        ::close(fd);
    }
    if (fold) check += fold->check();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Seconds of the plain loop over the files: each record pread into one reused buffer and folded.
double plain_loop(const Setup& s, const std::vector<std::string>& files, double& check) {
    std::vector<std::byte> buffer;
    return fold_files(s, files, check, [&](int fd, const Shape& shape, LoopFold& fold, float number) {
        const std::size_t record = shape.record();
        if (buffer.size() < record) buffer.resize(record);
        for (off_t at = Shape::kHeader;; at += static_cast<off_t>(record)) {
            if (::pread(fd, buffer.data(), record, at) != static_cast<ssize_t>(record)) break;
            std::int32_t card;
            std::memcpy(&card, buffer.data(), 4);
            if (card != 200) break;
            fold.fold(buffer.data() + 4, number);
        }
    });
}

// Seconds of the same fold over the files mapped with MAP_POPULATE (the mapping included).
double mapped_loop(const Setup& s, const std::vector<std::string>& files, double& check) {
    return fold_files(s, files, check, [&](int fd, const Shape& shape, LoopFold& fold, float number) {
        struct stat st {};
        if (::fstat(fd, &st) != 0) return;
        const auto size = static_cast<std::size_t>(st.st_size);
        void* map = ::mmap(nullptr, size, PROT_READ, MAP_SHARED | MAP_POPULATE, fd, 0);
        if (map == MAP_FAILED) return;
        const auto* p = static_cast<const std::byte*>(map);
        const std::size_t record = shape.record();
        for (std::size_t at = Shape::kHeader; at + record <= size; at += record) {
            std::int32_t card;
            std::memcpy(&card, p + at, 4);
            if (card != 200) break;
            fold.fold(p + at + 4, number);
        }
        ::munmap(map, size);
    });
}

// The figures of one case: medians of the times and of the paired ratios.
struct Figures {
    double zorvel = 0.0;
    double loop = 0.0;
    double cat = 0.0;
    double per_loop = 0.0;  // zorvel over the loop
    double per_cat = 0.0;   // zorvel over cat
    long rss_kib = 0;       // largest peak
    double cap_mb = 0.0;    // the cap on data memory that the run gets from its files
    bool quarter = false;   // the run passes under a quarter of that cap
};

// Puts the files in the page cache as a file read back from disk is: written out, let go
// of and read again, so that a case starts from the same state of the cache whatever
// wrote its files and when.
void read_back_from_disk(const Setup& s, const std::vector<std::string>& files) {
    for (const std::string& name : files) {
        const int fd = ::open((s.dir / name).c_str(), O_RDONLY);
        if (fd < 0) continue;
        ::fdatasync(fd);
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
        ::close(fd);
    }
    bench::run_cat(s.dir.string(), files);
}

// Runs zorvel with the words, the loop over the .dat files and cat of the files in paired
// rounds, with the files as they lie in the page cache.
Figures paired(const Setup& s, const std::vector<std::string>& words, const std::vector<std::string>& dats,
               const std::vector<std::string>& files, const std::string& output, double& check) {
    bench::require_ok(bench::run_child(s.zorvel, s.dir.string(), words, "console.txt"), s.dir);
    fs::remove(s.dir / output);
    std::vector<double> z, l, c, rl, rc;
    Figures f;
    for (int round = 0; round < s.rounds; ++round) {
        bench::Child cat, run;
        double loop = 0.0;
        if (round % 2 == 0) {
            cat = bench::run_cat(s.dir.string(), files);
            loop = plain_loop(s, dats, check);
        }
        run = bench::run_child(s.zorvel, s.dir.string(), words, "console.txt");
        bench::require_ok(run, s.dir);
        fs::remove(s.dir / output);
        if (round % 2 == 1) {
            loop = plain_loop(s, dats, check);
            cat = bench::run_cat(s.dir.string(), files);
        }
        z.push_back(run.seconds);
        l.push_back(loop);
        c.push_back(cat.seconds);
        rl.push_back(run.seconds / loop);
        rc.push_back(run.seconds / cat.seconds);
        f.rss_kib = std::max(f.rss_kib, run.max_rss_kib);
    }
    f.zorvel = bench::median(z);
    f.loop = bench::median(l);
    f.cat = bench::median(c);
    f.per_loop = bench::median(rl);
    f.per_cat = bench::median(rc);
    std::vector<std::string> paths;
    for (const std::string& name : files) paths.push_back((s.dir / name).string());
    f.cap_mb = static_cast<double>(bench::memory_bound_of(paths)) / (1024.0 * 1024.0);
    f.quarter = bench::passes_under_quarter(s.zorvel, s.dir, words, paths);
    fs::remove(s.dir / output);
    return f;
}

// Prints the line of a case.
void report(const char* name, const Figures& f, double mb, double goal_ratio, double goal_bytes) {
    const double per_node = static_cast<double>(f.rss_kib) * 1024.0 / kNodes;
    std::printf("%-8s %7.1f MB  cat %6.3f s  loop %6.3f s  zorvel %6.3f s  zorvel/loop %5.2f (goal %.2f)  "
                "zorvel/cat %5.2f  peak %5.1f MB = %5.1f B/node",
                name, mb, f.cat, f.loop, f.zorvel, f.per_loop, goal_ratio, f.per_cat,
                static_cast<double>(f.rss_kib) / 1024.0, per_node);
    if (goal_bytes > 0.0) std::printf(" (goal %.0f)", goal_bytes);
    std::printf("  cap %.0f MB (%s under a quarter)  load %s\n", f.cap_mb, f.quarter ? "passes" : "FAILS",
                load_average().c_str());
    std::fflush(stdout);
}

// One case against the loop over its .dat files and cat of all its files.
void run_case(const Setup& s, const char* name, const std::vector<std::string>& words,
              const std::vector<std::string>& dats, const std::vector<std::string>& files,
              const std::string& output, double goal_ratio, double goal_bytes, double& check) {
    read_back_from_disk(s, files);
    const Figures f = paired(s, words, dats, files, output, check);
    report(name, f, megabytes(s, files), goal_ratio, goal_bytes);
}

// The fixed cost: one record of 1,000,000 nodes, in milliseconds.
void run_fixed(const Setup& s, double& check) {
    write_one_record(s);
    read_back_from_disk(s, {"one_d.dat"});
    const Figures f =
        paired(s, {"-b", "-max", "one_d.dat"}, {"one_d.dat"}, {"one_d.dat"}, "one_d(maxmax).dat", check);
    std::printf("fixed    %7.1f MB  cat %6.1f ms  loop %6.1f ms  zorvel %6.1f ms (goal 30 ms or less)  peak %5.1f MB"
                "  cap %.0f MB (%s under a quarter)  load %s\n",
                megabytes(s, {"one_d.dat"}), 1000.0 * f.cat, 1000.0 * f.loop, 1000.0 * f.zorvel,
                static_cast<double>(f.rss_kib) / 1024.0, f.cap_mb, f.quarter ? "passes" : "FAILS",
                load_average().c_str());
    std::fflush(stdout);
}

// Writes each file anew from its bytes in 64 KiB writes, as a program writing its results
// does; the new files are not read.
void write_in_small_writes(const Setup& s, const std::vector<std::string>& files) {
    std::vector<char> piece(std::size_t{64} << 10);
    for (const std::string& name : files) {
        const fs::path from = s.dir / name;
        const fs::path to = s.dir / (name + ".new");
        const int in = ::open(from.c_str(), O_RDONLY);
        const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        for (ssize_t got; in >= 0 && out >= 0 && (got = ::read(in, piece.data(), piece.size())) > 0;)
            if (::write(out, piece.data(), static_cast<std::size_t>(got)) != got) break;
        if (in >= 0) ::close(in);
        if (out >= 0) ::close(out);
        fs::rename(to, from);
    }
}

// Splits the large pages of the files in the page cache: one page in sixteen is paged out
// of a mapping (which splits the large page that holds it), and the files are read back.
// False when the kernel refuses.
bool split_large_pages(const Setup& s, const std::vector<std::string>& files) {
#ifdef MADV_PAGEOUT
    bool done = true;
    for (const std::string& name : files) {
        const int fd = ::open((s.dir / name).c_str(), O_RDONLY);
        const std::size_t size = fs::file_size(s.dir / name);
        ::fdatasync(fd);
        void* map = ::mmap(nullptr, size, PROT_READ, MAP_SHARED | MAP_POPULATE, fd, 0);
        if (map == MAP_FAILED) {
            done = false;
        } else {
            for (std::size_t at = 0; at + 4096 <= size; at += std::size_t{64} << 10)
                if (::madvise(static_cast<char*>(map) + at, 4096, MADV_PAGEOUT) != 0) done = false;
            ::munmap(map, size);
        }
        ::close(fd);
    }
    bench::run_cat(s.dir.string(), files);
    return done;
#else
    (void)s;
    (void)files;
    return false;
#endif
}

// scalar2 with its files in three states of the page cache, each set up once (reading with
// pread leaves a state as it is) and measured in paired rounds of zorvel, the loop and the
// mapped loop; the spread of zorvel's medians over the states is the figure.
void run_states(const Setup& s, double& check) {
    const std::vector<std::string> words{"-b", "-max", "a_d.dat", "b_d.dat"};
    const std::vector<std::string> files{"a_d.dat", "b_d.dat"};
    write_scalars(s);
    std::printf("states   scalar2 in three states of the page cache; mapped: the loop over MAP_POPULATE mappings\n");
    std::vector<double> medians;
    for (const char* state : {"just written", "read back", "split"}) {
        const std::string which = state;
        if (which == "just written") {
            write_in_small_writes(s, files);
        } else if (which == "read back") {
            read_back_from_disk(s, files);
        } else if (!split_large_pages(s, files)) {
            std::printf("  %-13s not provoked here (the kernel refuses MADV_PAGEOUT)\n", state);
            continue;
        }
        std::vector<double> z, l, m, rl;
        for (int round = 0; round < s.rounds; ++round) {
            const bench::Child run = bench::run_child(s.zorvel, s.dir.string(), words, "console.txt");
            bench::require_ok(run, s.dir);
            fs::remove(s.dir / "a_d(maxmax).dat");
            const double loop = plain_loop(s, files, check);
            z.push_back(run.seconds);
            l.push_back(loop);
            rl.push_back(run.seconds / loop);
            if (round < 3) m.push_back(mapped_loop(s, files, check));
        }
        medians.push_back(bench::median(z));
        std::printf("  %-13s zorvel %6.3f s  loop %6.3f s  mapped %6.3f s  zorvel/loop %5.2f  load %s\n", state,
                    bench::median(z), bench::median(l), bench::median(m), bench::median(rl), load_average().c_str());
        std::fflush(stdout);
    }
    if (medians.empty()) return;
    const auto [least, most] = std::minmax_element(medians.begin(), medians.end());
    std::printf("  zorvel slowest state / fastest %5.2f (goal 1.20 or less)\n", *most / *least);
    std::fflush(stdout);
}

// Runs one case by name; false when there is no such case.
bool run_named(const Setup& s, const std::string& name, double& check) {
    if (name == "scalar2") {
        write_scalars(s);
        run_case(s, "scalar2", {"-b", "-max", "a_d.dat", "b_d.dat"}, {"a_d.dat", "b_d.dat"},
                 {"a_d.dat", "b_d.dat"}, "a_d(maxmax).dat", 1.25, 30.0, check);
    } else if (name == "scalar1") {
        write_scalars(s);
        run_case(s, "scalar1", {"-b", "-max", "a_d.dat"}, {"a_d.dat"}, {"a_d.dat"}, "a_d(maxmax).dat", 1.25,
                 0.0, check);
    } else if (name == "vector2") {
        write_vectors(s);
        run_case(s, "vector2", {"-b", "-max", "a_V.dat", "b_V.dat"}, {"a_V.dat", "b_V.dat"},
                 {"a_V.dat", "b_V.dat"}, "a_V(maxmax).dat", 1.25, 0.0, check);
    } else if (name == "level2") {
        write_levels(s);
        run_case(s, "level2", {"-b", "-max", "a_h.dat", "b_h.dat"}, {"a_h.dat", "b_h.dat"},
                 {"a_h.dat", "b_h.dat", "a.2dm"}, "a_h(maxmax).dat", 2.0, 60.0, check);
    } else if (name == "fixed") {
        run_fixed(s, check);
    } else if (name == "states") {
        run_states(s, check);
    } else {
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    // Large arrays always come from new pages, so that every run of the loop makes its
    // memory as a new process does, whatever the runs before it freed.
    ::mallopt(M_MMAP_THRESHOLD, 128 << 10);
    Setup s;
    const char* zorvel = nullptr;
    std::vector<std::string> cases;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--zorvel" && i + 1 < argc)
            zorvel = argv[++i];
        else if (a == "--dir" && i + 1 < argc)
            s.dir = argv[++i];
        else if (a == "--keep")
            s.keep = true;
        else if (a == "--rounds" && i + 1 < argc)
            s.rounds = std::max(1, std::atoi(argv[++i]));
        else
            cases.push_back(a);
    }
    s.zorvel = bench::zorvel_path(zorvel, "with --zorvel");
    if (s.dir.empty())
        s.dir = bench::work_folder("max");
    else
        fs::create_directories(s.dir);
    if (cases.empty()) cases = {"scalar2", "scalar1", "vector2", "level2", "fixed", "states"};
    std::printf("cores: %ld; %d paired rounds per case; ratios are medians of zorvel's time over the loop's and "
                "over cat's\n",
                ::sysconf(_SC_NPROCESSORS_ONLN), s.rounds);
    double check = 0.0;
    int status = 0;
    for (const std::string& c : cases) {
        if (!run_named(s, c, check)) {
            std::fprintf(stderr, "no case %s (scalar2 scalar1 vector2 level2 fixed states)\n", c.c_str());
            status = 1;
        }
    }
    std::printf("check: %.0f\n", std::fmod(check, 1000.0));
    if (!s.keep) fs::remove_all(s.dir);
    return status;
}
