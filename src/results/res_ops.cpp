#include "results/res_ops.hpp"

#include "util/console.hpp"
#include "util/units.hpp"

namespace zorvel::results {

namespace {

std::size_t count_of(std::int32_t n, std::size_t a, std::size_t b) {
    return std::min({static_cast<std::size_t>(n > 0 ? n : 0), a, b});
}

}  // namespace

RES_TYPE NEW_RES(std::int32_t ncells, std::int32_t nnodes) {
    RES_TYPE res;
    CHECK_ALLOC(allocate_array(res.ND, nnodes));
    CHECK_ALLOC(allocate_array(res.CELL, ncells));
    return res;
}

void CHECK_ALLOC(std::int32_t status) {
    if (status == 0) return;
    util::console().line();
    util::console().line("ERROR - Could not allocate enough memory (RAM).");
    util::EXITS();
}

namespace detail {

void fold_cells(const RES_TYPE& a, RES_TYPE& b, bool take_max) {
    const std::size_t n = count_of(a.ncells, a.CELL.size(), b.CELL.size());
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t x = flag_magnitude(a.CELL[i].flag);
        const std::uint8_t y = flag_magnitude(b.CELL[i].flag);
        b.CELL[i].flag = static_cast<std::int8_t>(take_max ? std::max(x, y) : std::min(x, y));
    }
}

bool fold_all_nodes(const RES_TYPE& a, RES_TYPE& b, bool wet_only, std::int32_t tag, bool take_max) {
    const std::size_t n = count_of(a.nnodes, a.ND.size(), b.ND.size());
    if (a.is_vector && b.is_vector) {
        for (std::size_t j = 0; j < n; ++j) {
            const float m = speed(a.ND[j].value, a.ND[j].y);
            const float r = speed(b.ND[j].value, b.ND[j].y);
            if (take_max ? m > r : m < r) {
                b.ND[j].value = a.ND[j].value;
                b.ND[j].y = a.ND[j].y;
                b.ND[j].source = tag;
            }
        }
        return true;
    }
    if (wet_only && !a.is_fv) return false;
    for (std::size_t j = 0; j < n; ++j) {
        const float v = a.ND[j].value;
        if (take_max ? v > b.ND[j].value : v < b.ND[j].value) {
            b.ND[j].value = v;
            b.ND[j].source = tag;
        }
    }
    return true;
}

}  // namespace detail

}  // namespace zorvel::results
