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
    CHECK_ALLOC(allocate_nodes(res, nnodes));
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
void fold_node(const RES_TYPE& a, RES_TYPE& b, std::size_t n, std::int32_t node, std::int32_t tag, bool take_max) {
    const std::size_t j = static_cast<std::size_t>(node) - 1;
    if (node < 1 || j >= n) return;
    const float v = a.value[j];
    if (take_max ? v > b.value[j] : v < b.value[j]) {
        b.value[j] = v;
        b.source[j] = tag;
    }
}

// Folds the first n nodes by value, every one of them held by both records. Written
// without branches over the dense arrays, so that it runs a vector register at a time.
template <bool Max>
void fold_all_nodes(const RES_TYPE& a, RES_TYPE& b, std::size_t n, std::int32_t tag) {
    const float* __restrict from = a.value.data();
    float* __restrict to = b.value.data();
    std::int32_t* __restrict source = b.source.data();
    for (std::size_t j = 0; j < n; ++j) {
        const float v = from[j];
        const float w = to[j];
        const bool wins = Max ? v > w : v < w;
        to[j] = wins ? v : w;
        source[j] = wins ? tag : source[j];
    }
}

// Folds the first n vectors by magnitude: a winner gives both components.
template <bool Max>
void fold_all_vectors(const RES_TYPE& a, RES_TYPE& b, std::size_t n, std::int32_t tag) {
    for (std::size_t j = 0; j < n; ++j) {
        const float m = util::VECTOR_MAGNITUDE(a.value[j], a.y[j]);
        const float r = util::VECTOR_MAGNITUDE(b.value[j], b.y[j]);
        if (Max ? m > r : m < r) {
            b.value[j] = a.value[j];
            b.y[j] = a.y[j];
            b.source[j] = tag;
        }
    }
}

// The merge of RES_MAX (take_max) and RES_MIN.
void fold(const RES_TYPE& a, RES_TYPE& b, const MESH_TYPE& mesh, bool wet_only, std::int32_t tag, bool take_max) {
    fold_cells(a, b, take_max);
    const std::size_t n = std::min(nodes_held(a), nodes_held(b));
    if (a.is_vector && b.is_vector) {
        if (take_max)
            fold_all_vectors<true>(a, b, n, tag);
        else
            fold_all_vectors<false>(a, b, n, tag);
        return;
    }
    const std::size_t ncells = count_of(a.ncells, a.CELL.size(), a.CELL.size());
    // The elements' corners come from the element records, or from the corners alone when
    // the mesh was read for them.
    const bool records = mesh.CELLS.size() >= ncells;
    if (!wet_only || a.is_fv || (!records && mesh.corners.size() < ncells)) {
        if (take_max)
            fold_all_nodes<true>(a, b, n, tag);
        else
            fold_all_nodes<false>(a, b, n, tag);
        return;
    }
    // Only the corners of the cells that are wet in a: a dry node never counts.
    for (std::size_t i = 0; i < ncells; ++i) {
        if (!a.CELL[i].wet()) continue;
        const std::int32_t* words = records ? mesh.CELLS[i].nodes.data() : mesh.corners[i].data();
        fold_node(a, b, n, words[0], tag, take_max);
        fold_node(a, b, n, words[1], tag, take_max);
        fold_node(a, b, n, words[2], tag, take_max);
        if (words[3] > 0) fold_node(a, b, n, words[3], tag, take_max);
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
