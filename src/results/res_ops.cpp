#include "results/res_ops.hpp"

#include "util/numbers.hpp"
#include "util/units.hpp"

namespace zorvel::results {

namespace {

// The count n, kept within the sizes of two arrays.
std::size_t count_of(std::int32_t n, std::size_t a, std::size_t b) {
    return std::min({length_of(n), a, b});
}

}  // namespace

RES_TYPE NEW_RES(std::int32_t ncells, std::int32_t nnodes) {
    RES_TYPE res;
    CHECK_ALLOC(allocate_array(res.ND, nnodes));
    CHECK_ALLOC(allocate_array(res.CELL, ncells));
    return res;
}

void CHECK_ALLOC(std::int32_t status) {
    if (status != 0) util::fail("ERROR - Could not allocate enough memory (RAM).");
}

namespace {

// Folds a's cell flags into b's: the larger flag magnitude (max) or the smaller (min).
void fold_cells(const RES_TYPE& a, RES_TYPE& b, bool take_max) {
    const std::size_t n = count_of(a.ncells, a.CELL.size(), b.CELL.size());
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t x = flag_magnitude(a.CELL[i].flag);
        const std::uint8_t y = flag_magnitude(b.CELL[i].flag);
        b.CELL[i].flag = static_cast<std::int8_t>(take_max ? std::max(x, y) : std::min(x, y));
    }
}

// Folds one node (numbered from 1) by value; a number outside the records is ignored.
void fold_node(const RES_TYPE& a, RES_TYPE& b, std::int32_t node, std::int32_t tag, bool take_max) {
    const std::size_t j = static_cast<std::size_t>(node) - 1;
    if (node < 1 || node > a.nnodes || j >= a.ND.size() || j >= b.ND.size()) return;
    const float v = a.ND[j].value;
    if (take_max ? v > b.ND[j].value : v < b.ND[j].value) {
        b.ND[j].value = v;
        b.ND[j].source = tag;
    }
}

// Folds the first n nodes by value, every one of them held by both records.
template <bool Max>
void fold_all_nodes(const RES_TYPE& a, RES_TYPE& b, std::size_t n, std::int32_t tag) {
    const ND_RES_TYPE* from = a.ND.data();
    ND_RES_TYPE* to = b.ND.data();
    for (std::size_t j = 0; j < n; ++j) {
        const float v = from[j].value;
        const bool wins = Max ? v > to[j].value : v < to[j].value;
        to[j].value = wins ? v : to[j].value;
        to[j].source = wins ? tag : to[j].source;
    }
}

// The merge of RES_MAX (take_max) and RES_MIN.
void fold(const RES_TYPE& a, RES_TYPE& b, const MESH_TYPE& mesh, bool wet_only, std::int32_t tag, bool take_max) {
    fold_cells(a, b, take_max);
    const std::size_t n = count_of(a.nnodes, a.ND.size(), b.ND.size());
    if (a.is_vector && b.is_vector) {
        for (std::size_t j = 0; j < n; ++j) {
            const float m = util::VECTOR_MAGNITUDE(a.ND[j].value, a.ND[j].y);
            const float r = util::VECTOR_MAGNITUDE(b.ND[j].value, b.ND[j].y);
            if (take_max ? m > r : m < r) {
                b.ND[j].value = a.ND[j].value;
                b.ND[j].y = a.ND[j].y;
                b.ND[j].source = tag;
            }
        }
        return;
    }
    const std::size_t ncells = count_of(a.ncells, a.CELL.size(), a.CELL.size());
    if (!wet_only || a.is_fv || mesh.CELLS.size() < ncells) {
        if (take_max)
            fold_all_nodes<true>(a, b, n, tag);
        else
            fold_all_nodes<false>(a, b, n, tag);
        return;
    }
    // Only the corners of the cells that are wet in a: a dry node never counts.
    for (std::size_t i = 0; i < ncells; ++i) {
        if (flag_magnitude(a.CELL[i].flag) != 1) continue;
        const std::array<std::int32_t, 9>& words = mesh.CELLS[i].nodes;
        fold_node(a, b, words[0], tag, take_max);
        fold_node(a, b, words[1], tag, take_max);
        fold_node(a, b, words[2], tag, take_max);
        if (words[3] > 0) fold_node(a, b, words[3], tag, take_max);
    }
}

}  // namespace

void RES_MAX(const RES_TYPE& a, RES_TYPE& b, const MESH_TYPE& mesh, bool wet_only, std::int32_t tag) {
    fold(a, b, mesh, wet_only, tag, true);
}

void RES_MIN(const RES_TYPE& a, RES_TYPE& b, const MESH_TYPE& mesh, bool wet_only, std::int32_t tag) {
    fold(a, b, mesh, wet_only, tag, false);
}

}  // namespace zorvel::results
