#pragma once
// The result record: one dataset at one output time, a value (or vector) per node
// and an activity flag per cell. Every reader fills it, the timestep operations
// change it and the writers write it out. The nodes are kept as three dense arrays,
// value, y and source (node j of the model is value[j - 1], y[j - 1], source[j - 1]),
// so that a fold or a write runs over one array at a time; cell i is CELL[i - 1]. The
// node and cell arrays are made of zeroed pages (util::ZeroedArray): an array that a run
// never writes, such as y of a scalar result, costs it no memory.

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "util/zeroed_array.hpp"

namespace zorvel::results {

// A count of nodes or cells as an array length (0 for a negative count).
inline std::size_t length_of(std::int32_t n) { return n > 0 ? static_cast<std::size_t>(n) : 0; }

// One cell of a result: 1 wet (active), 0 dry; merges work on the absolute value.
struct CELL_RES_TYPE {
    std::int8_t flag = 0;
    // Any flag but 0 is wet: other writers store -1, or 255 (read as -1), for an active cell.
    bool wet() const { return flag != 0; }
};
static_assert(sizeof(CELL_RES_TYPE) == 1, "cell flags are read and written as one byte each");

struct RES_TYPE {
    std::int32_t nnodes = 0;
    std::int32_t ncells = 0;
    bool is_vector = false;
    float time = 0.0f;         // hours, or a time code
    bool end_of_data = false;  // the ".dat" timestep reader found no further time record
    bool is_fv = false;        // finite-volume result: one value per cell
    util::ZeroedArray<float> value;          // per node: the scalar value, or the x component of a vector
    util::ZeroedArray<float> y;              // per node: the y component of a vector (unused for scalars)
    util::ZeroedArray<std::int32_t> source;  // per node: the number of the input that supplied a running extreme
    util::ZeroedArray<CELL_RES_TYPE> CELL;
};

// Makes the record's three node arrays n entries of 0 each (untouched until written); the
// status for CHECK_ALLOC.
inline std::int32_t allocate_nodes(RES_TYPE& res, std::int64_t n) noexcept {
    std::int32_t status = res.value.allocate(n);
    if (status == 0) status = res.y.allocate(n);
    if (status == 0) status = res.source.allocate(n);
    return status;
}

// The number of nodes that the record counts and its node arrays hold.
inline std::size_t nodes_held(const RES_TYPE& res) {
    const std::size_t n = length_of(res.nnodes);
    return std::min({n, res.value.size(), res.y.size(), res.source.size()});
}

}  // namespace zorvel::results
