#include "util/memory_cap.hpp"

#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <limits>
#include <vector>

#include "util/sanitizer.hpp"

namespace zorvel::util {

namespace {

constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;

// The bound is
//      64 MiB  +  32 MiB per file read  +  256 x the bytes of the files read
//              +  2 KiB x the largest count of values that an input's stored data backs,
// and each term is many times what a sound run of any size takes for what it stands for
// (counted as RLIMIT_DATA counts: every page of the heap and of private writable mappings,
// written or not, so a run's arrays count at full size even where it never touches them):
//  - 64 MiB: what a run takes whatever its inputs: the program's and its libraries'
//    writable data, HDF5's set-up and free lists, the console's lines, the buffers of its
//    outputs. A run over inputs of a few nodes takes 6 MiB.
//  - 32 MiB for each file: its 1 MiB buffer, HDF5's metadata cache for it and its chunk
//    cache (1 MiB for each array open), its dataset listing, an output of its own. A run
//    over 100 small ".xmdf" files takes 81 MiB in all, under 1 MiB each.
//  - 256 per byte: a ".dat" record stores at least 4 bytes per node and 1 per cell, and a
//    run sizes about 220 bytes of arrays per node and cell from it (206 MiB for a file of
//    one record of 1,000,000 nodes and as many cells, 5 MB: 41 per byte); a ".2dm" mesh
//    spends 30 to 80 bytes of text on each node and element, and takes less than 3 times
//    that once read.
//  - 2 KiB per count: compressed XMDF arrays hold a million equal values in a few kilobytes,
//    so the size of such a file says nothing of the arrays a run makes from it; the counts
//    of nodes, cells and times that the binding hands out are backed by the stored data
//    (results/xmdf/stored_data.hpp). A run takes about 300 bytes per node of a dataset
//    (for 1,000,000 nodes and as many flags: 306 MiB for -max, 324 MiB for -max of
//    vectors, 292 MiB for -conv).
// The 1,000,000-node benchmarks pass under a quarter of their bound (bench/). A damaged
// XMDF file of 100 KB on which HDF5 runs away meets its cap of about 120 MiB within a
// second or two, before any count of it has come in.
constexpr std::uint64_t kFloor = 64 * kMiB;
constexpr std::uint64_t kPerFile = 32 * kMiB;
constexpr std::uint64_t kPerByte = 256;
constexpr std::uint64_t kPerCount = 2048;

// What the cap stands on: whether it is in force, the limit the run was given, and what
// the run has read, each file once.
struct CapState {
    bool in_force = false;
    rlim_t given = RLIM_INFINITY;
    ReadSoFar read;
    std::vector<FileId> counted;
};

CapState& cap_state() {
    static CapState state;
    return state;
}

// a + b, or the largest number where that overflows.
std::uint64_t add(std::uint64_t a, std::uint64_t b) {
    return a > std::numeric_limits<std::uint64_t>::max() - b ? std::numeric_limits<std::uint64_t>::max() : a + b;
}

// a x b, or the largest number where that overflows.
std::uint64_t times(std::uint64_t a, std::uint64_t b) {
    return b != 0 && a > std::numeric_limits<std::uint64_t>::max() / b ? std::numeric_limits<std::uint64_t>::max()
                                                                       : a * b;
}

// Sets the soft limit to the bound of what has been read, never above the limit given.
void apply(const CapState& state) {
    if (!state.in_force) return;
    rlimit now{};
    if (::getrlimit(RLIMIT_DATA, &now) != 0) return;
    const std::uint64_t bound = memory_bound(state.read);
    rlim_t soft = bound >= static_cast<std::uint64_t>(RLIM_INFINITY) ? RLIM_INFINITY : static_cast<rlim_t>(bound);
    if (state.given != RLIM_INFINITY) soft = std::min(soft, state.given);
    if (now.rlim_max != RLIM_INFINITY) soft = std::min(soft, now.rlim_max);
    now.rlim_cur = soft;
    ::setrlimit(RLIMIT_DATA, &now);
}

// Counts the file once; true when it had not been counted.
bool count_once(CapState& state, const FileId& id, std::uint64_t size) {
    if (std::find(state.counted.begin(), state.counted.end(), id) != state.counted.end()) return false;
    state.counted.push_back(id);
    state.read.files += 1;
    state.read.bytes = add(state.read.bytes, size);
    return true;
}

}  // namespace

std::uint64_t memory_bound(const ReadSoFar& read) {
    std::uint64_t bound = kFloor;
    bound = add(bound, times(kPerFile, read.files));
    bound = add(bound, times(kPerByte, read.bytes));
    return add(bound, times(kPerCount, read.largest_count));
}

bool memory_cap_possible() { return !kAddressSanitizer; }

void cap_memory(std::span<const std::string> names) {
    if (!memory_cap_possible()) return;
    CapState& state = cap_state();
    if (!state.in_force) {
        rlimit given{};
        if (::getrlimit(RLIMIT_DATA, &given) != 0) return;
        state.given = given.rlim_cur;
        state.in_force = true;
    }
    for (const std::string& name : names) {
        struct stat st {};
        if (::stat(os_name(name).c_str(), &st) != 0 || S_ISDIR(st.st_mode)) continue;
        count_once(state, FileId{st.st_dev, st.st_ino}, static_cast<std::uint64_t>(st.st_size));
    }
    apply(state);
}

void count_read_file(const FileId& id, std::uint64_t size) {
    CapState& state = cap_state();
    if (state.in_force && count_once(state, id, size)) apply(state);
}

void count_backed_values(std::uint64_t count) {
    CapState& state = cap_state();
    if (!state.in_force || count <= state.read.largest_count) return;
    state.read.largest_count = count;
    apply(state);
}

std::uint64_t data_limit() {
    rlimit now{};
    if (::getrlimit(RLIMIT_DATA, &now) != 0 || now.rlim_cur == RLIM_INFINITY) return 0;
    return static_cast<std::uint64_t>(now.rlim_cur);
}

}  // namespace zorvel::util
