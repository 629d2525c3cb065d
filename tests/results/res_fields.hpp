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

// Makes the record's cell array hold exactly the flags.
inline void set_cells(RES_TYPE& r, const std::vector<std::int8_t>& flags) {
    if (r.CELL.allocate(static_cast<std::int64_t>(flags.size())) != 0) throw std::bad_alloc();
    for (std::size_t i = 0; i < flags.size(); ++i) r.CELL[i].flag = flags[i];
}

// A record of the nodes and cell flags at the time.
inline RES_TYPE record(float time, const std::vector<Node>& nodes, const std::vector<std::int8_t>& flags) {
    RES_TYPE r;
    r.nnodes = static_cast<std::int32_t>(nodes.size());
    r.ncells = static_cast<std::int32_t>(flags.size());
    r.time = time;
    set_nodes(r, nodes);
    set_cells(r, flags);
    return r;
}

// A scalar record of the values and cell flags at time 0.
inline RES_TYPE scalar(const std::vector<float>& values, const std::vector<std::int8_t>& flags = {}) {
    std::vector<Node> nodes;
    for (float v : values) nodes.push_back({v, 0.0f, 0});
    return record(0.0f, nodes, flags);
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
