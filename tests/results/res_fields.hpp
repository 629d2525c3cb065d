#pragma once
// The fields of a result record as plain lists, for comparing in tests.

#include <vector>

#include "results/res_type.hpp"

namespace zorvel::results::testing {

inline std::vector<float> values_of(const RES_TYPE& r) {
    std::vector<float> v;
    for (const ND_RES_TYPE& n : r.ND) v.push_back(n.value);
    return v;
}
inline std::vector<float> ys_of(const RES_TYPE& r) {
    std::vector<float> v;
    for (const ND_RES_TYPE& n : r.ND) v.push_back(n.y);
    return v;
}
inline std::vector<int> sources_of(const RES_TYPE& r) {
    std::vector<int> v;
    for (const ND_RES_TYPE& n : r.ND) v.push_back(n.source);
    return v;
}
inline std::vector<int> flags_of(const RES_TYPE& r) {
    std::vector<int> v;
    for (const CELL_RES_TYPE& c : r.CELL) v.push_back(c.flag);
    return v;
}

}  // namespace zorvel::results::testing
