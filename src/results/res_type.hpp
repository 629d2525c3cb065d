#pragma once
// The result record: one dataset at one output time, a value (or vector) per node
// and an activity flag per cell. Every reader fills it, the timestep operations
// change it and the writers write it out. Arrays are indexed from 0: node j of the
// model is ND[j - 1], cell i is CELL[i - 1].

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zorvel::results {

// A count of nodes or cells as an array length (0 for a negative count).
inline std::size_t length_of(std::int32_t n) { return n > 0 ? static_cast<std::size_t>(n) : 0; }

// One node of a result.
struct ND_RES_TYPE {
    float value = 0.0f;       // the scalar value, or the x component of a vector
    float y = 0.0f;           // the y component of a vector (unused for scalars)
    std::int32_t source = 0;  // the number of the input that supplied a running extreme
};

// One cell of a result: 1 wet (active), 0 dry; merges work on the absolute value.
struct CELL_RES_TYPE {
    std::int8_t flag = 0;
};
static_assert(sizeof(CELL_RES_TYPE) == 1, "cell flags are read and written as one byte each");

struct RES_TYPE {
    std::int32_t nnodes = 0;
    std::int32_t ncells = 0;
    bool is_vector = false;
    float time = 0.0f;         // hours, or a time code
    bool end_of_data = false;  // the ".dat" timestep reader found no further time record
    bool is_fv = false;        // finite-volume result: one value per cell
    std::vector<ND_RES_TYPE> ND;
    std::vector<CELL_RES_TYPE> CELL;
};

}  // namespace zorvel::results
