#pragma once
// The cap a run puts on its own memory: the soft limit on its data (RLIMIT_DATA: the heap
// and every private writable mapping), worked out from what the run reads. A damaged input
// on which a library allocates without end then meets the cap within seconds: the
// allocation fails inside the library, whose failed call ends the run with its "ERROR - "
// line, and an allocation of zorvel's own past the cap ends at the allocation check. The
// cap follows what the run reads: it grows as the run opens more files and as the counts
// of values that an input's stored data backs come in, never past the limit the run was
// given. It is never in force under the address sanitizer, whose shadow memory is a
// mapping of terabytes.

#include <cstdint>
#include <span>
#include <string>

#include "util/file_io.hpp"

namespace zorvel::util {

// What the run has read so far, as far as its memory goes.
struct ReadSoFar {
    std::uint64_t files = 0;           // the files it reads, each counted once
    std::uint64_t bytes = 0;           // their sizes
    std::uint64_t largest_count = 0;   // the largest count of nodes, cells or times that data backs
};

// The most data memory a run may take that has read that much.
std::uint64_t memory_bound(const ReadSoFar& read);

// True where the cap can be put in force (not under the address sanitizer).
bool memory_cap_possible();

// Puts the cap in force, counting the files under the names (names of no file count
// nothing), once the inputs of the run are known and before its first XMDF call.
void cap_memory(std::span<const std::string> names);

// Counts a file that the run opens for reading: with the cap in force and the file not yet
// counted, the cap is worked out afresh before the file is read.
void count_read_file(const FileId& id, std::uint64_t size);

// Counts a count of values (nodes, cells or times) that an input's stored data backs: the
// cap makes room for the arrays a run sizes from it before they are allocated.
void count_backed_values(std::uint64_t count);

// The soft limit on the run's data now; 0 when there is none.
std::uint64_t data_limit();

}  // namespace zorvel::util
