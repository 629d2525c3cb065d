#pragma once
// The water levels of one input of a difference, kept beside its data for the
// wet/dry test: filled from an "_h.dat" companion or from an ".xmdf" input's
// water-level datasets, read by the difference.

#include <cstdint>
#include <vector>

namespace zorvel::results {

struct WaterLevelRecord {
    std::int32_t wl_max = 0;       // ".xmdf" scalar dataset number of the stored maximum levels; 0 for none
    std::int32_t wl_temporal = 0;  // ".xmdf" scalar dataset number of the temporal levels; 0 for none
    bool end_of_data = false;      // no further time record follows in the "_h.dat" file
    float time = 0.0f;             // hours: the time of the record last read
    std::vector<float> values;     // one water level per node
    std::vector<std::int32_t> flags;  // one activity flag per cell
};

// Makes the record's arrays for nnodes levels and ncells flags; the allocation
// status for CHECK_ALLOC (0 when made).
std::int32_t allocate_water_levels(WaterLevelRecord& wl, std::int32_t nnodes, std::int32_t ncells);

}  // namespace zorvel::results
