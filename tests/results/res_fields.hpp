#pragma once
// The fields of a result record as plain lists, for comparing in tests.

#include <cstdint>
#include <new>
#include <vector>

#include "results/res_type.hpp"

namespace zorvel::results::testing {

// One node of a record as a test writes it.
struct Node {
    float value = 0.0f;
    float y = 0.0f;
    std::int32_t source = 0;
};

// Makes the record's node arrays hold exactly the nodes.
inline void set_nodes(RES_TYPE& r, const std::vector<Node>& nodes) {
    if (allocate_nodes(r, static_cast<std::int64_t>(nodes.size())) != 0) throw std::bad_alloc();
    for (std::size_t j = 0; j < nodes.size(); ++j) {
        r.value[j] = nodes[j].value;
        r.y[j] = nodes[j].y;
        r.source[j] = nodes[j].source;
    }
}

// Makes the record's node arrays hold n nodes, each with value and y v.
inline void fill_nodes(RES_TYPE& r, std::size_t n, float v) {
    set_nodes(r, std::vector<Node>(n, Node{v, v, 0}));
}

inline std::vector<float> values_of(const RES_TYPE& r) { return {r.value.begin(), r.value.end()}; }
inline std::vector<float> ys_of(const RES_TYPE& r) { return {r.y.begin(), r.y.end()}; }
inline std::vector<int> sources_of(const RES_TYPE& r) { return {r.source.begin(), r.source.end()}; }
inline std::vector<int> flags_of(const RES_TYPE& r) {
    std::vector<int> v;
    for (const CELL_RES_TYPE& c : r.CELL) v.push_back(c.flag);
    return v;
}

}  // namespace zorvel::results::testing
