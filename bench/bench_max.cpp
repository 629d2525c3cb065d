// -max as a user runs it, against cat of the same files: the real zorvel executable (the
// one built beside this program) and `cat files > /dev/null` run as child processes in
// paired rounds, in turns (cat first in even rounds, zorvel first in odd ones). The figure
// of a case is the median over the rounds of zorvel's time over cat's; the peak resident
// memory is the largest the kernel accounted for zorvel (wait4), per node. Each case starts
// with its files in the page cache as read back from disk (written out, let go of, read).
//
// Cases (all inputs 1,000,000 nodes and as many cells unless said, files of about 500 MB):
//   scalar2  two scalar ".dat" files of 100 records
//   scalar1  one of them: the time of each node's maximum is written too
//   vector2  two vector ".dat" files of 56 records
//   level2   two water-level ".dat" files of 100 records (998,001 cells) with the
//            1,000,000-node ".2dm" mesh of the first (wet-cell rule); cat reads the two files
//            and the mesh
//   fixed    one scalar ".dat" file of one record: the fixed cost of a run, in milliseconds
//   fresh    scalar2 on files just written (not read since) against the same run on files
//            read before; the files are written again before every fresh run
//
// bench_max [--zorvel PATH] [--dir DIR] [--keep] [--rounds N] [case ...]
// Without cases every case runs. The files are written into DIR (default: a new folder
// under $TMPDIR) and removed at the end unless --keep is given; --keep with a DIR that
// already holds them reuses them.

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
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

// The figures of one case.
struct Figures {
    double zorvel = 0.0;  // median seconds
    double cat = 0.0;     // median seconds
    double ratio = 0.0;   // median of the paired ratios
    long rss_kib = 0;     // largest peak
};

// Puts the files in the page cache as a file read back from disk is: written out, let go
// of and read again, so that every case starts from the same state of the cache whatever
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

// Runs zorvel with the words and cat of the files in paired rounds.
Figures paired(const Setup& s, const std::vector<std::string>& words, const std::vector<std::string>& files,
               const std::string& output) {
    read_back_from_disk(s, files);
    bench::require_ok(bench::run_child(s.zorvel, s.dir.string(), words, "console.txt"), s.dir);
    fs::remove(s.dir / output);
    std::vector<double> z, c, r;
    Figures f;
    for (int round = 0; round < s.rounds; ++round) {
        bench::Child cat, run;
        if (round % 2 == 0) cat = bench::run_cat(s.dir.string(), files);
        run = bench::run_child(s.zorvel, s.dir.string(), words, "console.txt");
        bench::require_ok(run, s.dir);
        fs::remove(s.dir / output);
        if (round % 2 == 1) cat = bench::run_cat(s.dir.string(), files);
        z.push_back(run.seconds);
        c.push_back(cat.seconds);
        r.push_back(run.seconds / cat.seconds);
        f.rss_kib = std::max(f.rss_kib, run.max_rss_kib);
    }
    f.zorvel = bench::median(z);
    f.cat = bench::median(c);
    f.ratio = bench::median(r);
    return f;
}

// Prints the line of a case.
void report(const char* name, const Figures& f, double mb, double goal_ratio, double goal_bytes) {
    const double per_node = static_cast<double>(f.rss_kib) * 1024.0 / kNodes;
    std::printf("%-8s %8.1f MB  cat %7.3f s  zorvel %7.3f s  ratio %5.2f (goal %.2f)  peak %6.1f MB = %5.1f B/node",
                name, mb, f.cat, f.zorvel, f.ratio, goal_ratio, static_cast<double>(f.rss_kib) / 1024.0, per_node);
    if (goal_bytes > 0.0) std::printf(" (goal %.0f)", goal_bytes);
    std::printf("\n");
    std::fflush(stdout);
}

// One case of two (or one) inputs against cat of its files.
void run_case(const Setup& s, const char* name, const std::vector<std::string>& words,
              const std::vector<std::string>& files, const std::string& output, double goal_ratio,
              double goal_bytes) {
    const Figures f = paired(s, words, files, output);
    report(name, f, megabytes(s, files), goal_ratio, goal_bytes);
}

// The fixed cost: one record of 1,000,000 nodes, in milliseconds.
void run_fixed(const Setup& s) {
    write_one_record(s);
    const Figures f = paired(s, {"-b", "-max", "one_d.dat"}, {"one_d.dat"}, "one_d(maxmax).dat");
    std::printf("fixed    %8.1f MB  cat %7.1f ms  zorvel %7.1f ms (goal 30 ms or less)  peak %6.1f MB\n",
                megabytes(s, {"one_d.dat"}), 1000.0 * f.cat, 1000.0 * f.zorvel,
                static_cast<double>(f.rss_kib) / 1024.0);
    std::fflush(stdout);
}

// Files just written against files read before: in each round the two scalar files are
// written again, reduced at once, read with cat and reduced again.
void run_fresh(const Setup& s) {
    const std::vector<std::string> words{"-b", "-max", "a_d.dat", "b_d.dat"};
    const std::vector<std::string> files{"a_d.dat", "b_d.dat"};
    std::vector<double> fresh, read, r;
    const int rounds = std::max(1, s.rounds / 2);
    for (int round = 0; round < rounds; ++round) {
        fs::remove(s.dir / "a_d.dat");
        fs::remove(s.dir / "b_d.dat");
        write_scalars(s);
        const bench::Child a = bench::run_child(s.zorvel, s.dir.string(), words, "console.txt");
        bench::require_ok(a, s.dir);
        fs::remove(s.dir / "a_d(maxmax).dat");
        bench::run_cat(s.dir.string(), files);
        const bench::Child b = bench::run_child(s.zorvel, s.dir.string(), words, "console.txt");
        bench::require_ok(b, s.dir);
        fs::remove(s.dir / "a_d(maxmax).dat");
        fresh.push_back(a.seconds);
        read.push_back(b.seconds);
        r.push_back(a.seconds / b.seconds);
    }
    std::printf("fresh    just written %7.3f s  read before %7.3f s  ratio %5.2f (goal 1.20 or less)\n",
                bench::median(fresh), bench::median(read), bench::median(r));
    std::fflush(stdout);
}

// Runs one case by name; false when there is no such case.
bool run_named(const Setup& s, const std::string& name) {
    if (name == "scalar2") {
        write_scalars(s);
        run_case(s, "scalar2", {"-b", "-max", "a_d.dat", "b_d.dat"}, {"a_d.dat", "b_d.dat"}, "a_d(maxmax).dat",
                 1.0, 30.0);
    } else if (name == "scalar1") {
        write_scalars(s);
        run_case(s, "scalar1", {"-b", "-max", "a_d.dat"}, {"a_d.dat"}, "a_d(maxmax).dat", 1.1, 0.0);
    } else if (name == "vector2") {
        write_vectors(s);
        run_case(s, "vector2", {"-b", "-max", "a_V.dat", "b_V.dat"}, {"a_V.dat", "b_V.dat"}, "a_V(maxmax).dat",
                 1.5, 0.0);
    } else if (name == "level2") {
        write_levels(s);
        run_case(s, "level2", {"-b", "-max", "a_h.dat", "b_h.dat"}, {"a_h.dat", "b_h.dat", "a.2dm"},
                 "a_h(maxmax).dat", 2.0, 60.0);
    } else if (name == "fixed") {
        run_fixed(s);
    } else if (name == "fresh") {
        run_fresh(s);
    } else {
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
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
    if (cases.empty()) cases = {"scalar2", "scalar1", "vector2", "level2", "fixed", "fresh"};
    std::printf("cores: %ld; %d paired rounds per case; ratios are zorvel over cat of the same files\n",
                ::sysconf(_SC_NPROCESSORS_ONLN), s.rounds);
    int status = 0;
    for (const std::string& c : cases) {
        if (!run_named(s, c)) {
            std::fprintf(stderr, "no case %s (scalar2 scalar1 vector2 level2 fixed fresh)\n", c.c_str());
            status = 1;
        }
    }
    if (!s.keep) fs::remove_all(s.dir);
    return status;
}
