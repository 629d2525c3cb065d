#pragma once
// Operations on whole result records: making a record, folding one record into a
// running maximum or minimum, and the check that every allocation passes through.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <new>
#include <stdexcept>
#include <vector>

#include "results/res_type.hpp"

namespace zorvel::results {

// A fresh record whose arrays hold nnodes nodes and ncells cells (none for a
// negative count); its counts stay 0. Ends the run when memory runs out.
RES_TYPE NEW_RES(std::int32_t ncells, std::int32_t nnodes);

// Ends the run with the out-of-memory message when an allocation status is not 0.
void CHECK_ALLOC(std::int32_t status);

// Makes an array of n default entries (none for n <= 0) and gives the allocation
// status for CHECK_ALLOC: 0 when it was made, 1 when memory ran out.
template <typename T>
std::int32_t allocate_array(std::vector<T>& array, std::int64_t n) noexcept {
    try {
        array.assign(n > 0 ? static_cast<std::size_t>(n) : 0, T{});
        return 0;
    } catch (const std::bad_alloc&) {
        return 1;
    } catch (const std::length_error&) {
        return 1;
    }
}

// The speed of a vector: 0 when both components are within 1.0E-6 of 0.
inline float speed(float u, float v) {
    if (u > 1.0e-6f || u < -1.0e-6f || v > 1.0e-6f || v < -1.0e-6f) return __builtin_sqrtf(u * u + v * v);
    return 0.0f;
}

// The size of an activity flag as a merge compares it: its absolute value as an
// unsigned byte (so -1 counts as wet, and -128 as 128).
inline std::uint8_t flag_magnitude(std::int8_t flag) {
    const auto u = static_cast<std::uint8_t>(flag);
    return std::min(u, static_cast<std::uint8_t>(0u - u));
}

namespace detail {

// Folds a's cell flags into b's: the larger absolute flag (max) or the smaller (min).
void fold_cells(const RES_TYPE& a, RES_TYPE& b, bool take_max);
// Folds the nodes when the wet-only rule does not apply; false when it does.
bool fold_all_nodes(const RES_TYPE& a, RES_TYPE& b, bool wet_only, std::int32_t tag, bool take_max);
// Folds one node (numbered from 1) by value; numbers outside both records are ignored.
inline void fold_node(const RES_TYPE& a, RES_TYPE& b, std::int32_t node, std::int32_t tag, bool take_max) {
    if (node < 1 || static_cast<std::size_t>(node) > a.ND.size() || static_cast<std::size_t>(node) > b.ND.size() ||
        node > a.nnodes)
        return;
    const float v = a.ND[static_cast<std::size_t>(node - 1)].value;
    ND_RES_TYPE& r = b.ND[static_cast<std::size_t>(node - 1)];
    if (take_max ? v > r.value : v < r.value) {
        r.value = v;
        r.source = tag;
    }
}

// The wet-only rule: only the corner nodes of cells that are wet in a take part.
// The mesh supplies element_corners(mesh, cell) -> words 2 to 5 of an element record.
template <typename Mesh>
void fold_wet_corners(const RES_TYPE& a, RES_TYPE& b, const Mesh& mesh, std::int32_t tag, bool take_max) {
    const std::size_t ncells = std::min(static_cast<std::size_t>(a.ncells > 0 ? a.ncells : 0), a.CELL.size());
    for (std::size_t i = 0; i < ncells; ++i) {
        const int flag = a.CELL[i].flag;
        if (flag != 1 && flag != -1) continue;
        const std::array<std::int32_t, 4> corners = element_corners(mesh, i);
        fold_node(a, b, corners[0], tag, take_max);
        fold_node(a, b, corners[1], tag, take_max);
        fold_node(a, b, corners[2], tag, take_max);
        if (corners[3] > 0) fold_node(a, b, corners[3], tag, take_max);
    }
}

}  // namespace detail

// Folds record a into the running maximum b; where a wins, b's source becomes tag.
// With wet_only (water levels on a mesh whose cells are not its nodes) only the
// corners of a's wet cells are compared. Comparisons are strict: ties keep b.
template <typename Mesh>
void RES_MAX(const RES_TYPE& a, RES_TYPE& b, const Mesh& mesh, bool wet_only, std::int32_t tag) {
    detail::fold_cells(a, b, true);
    if (!detail::fold_all_nodes(a, b, wet_only, tag, true)) detail::fold_wet_corners(a, b, mesh, tag, true);
}

// Folds record a into the running minimum b, as RES_MAX does for the maximum.
template <typename Mesh>
void RES_MIN(const RES_TYPE& a, RES_TYPE& b, const Mesh& mesh, bool wet_only, std::int32_t tag) {
    detail::fold_cells(a, b, false);
    if (!detail::fold_all_nodes(a, b, wet_only, tag, false)) detail::fold_wet_corners(a, b, mesh, tag, false);
}

}  // namespace zorvel::results
