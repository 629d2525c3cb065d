#include "results/water_level.hpp"

#include "results/res_ops.hpp"

namespace zorvel::results {

std::int32_t allocate_water_levels(WaterLevelRecord& wl, std::int32_t nnodes, std::int32_t ncells) {
    if (allocate_array(wl.values, nnodes) != 0) return 1;
    return allocate_array(wl.flags, ncells);
}

}  // namespace zorvel::results
