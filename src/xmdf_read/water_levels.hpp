#pragma once
// The water levels of an ".xmdf" input for the wet/dry test of a difference: the
// file's "Water Level" datasets found once (their scalar dataset numbers kept in the
// input's water-level record as wl_max and wl_temporal), then one timestep of them
// read into the record's values (one level per node) and flags (one per cell).
//
// Water levels are always scalar datasets. Each read opens the dataset's group in the
// readers' shared group and closes it again before it returns, so it may run between
// two timestep reads of the data only when those do not keep a group open across it.

#include <cstdint>

#include "results/water_level.hpp"
#include "xmdf_read/catalogue.hpp"

namespace zorvel::xmdf_read {

// Sets the record's wl_max and wl_temporal from the file's scalar datasets whose paths
// hold "Water Level" in /Maximums/ or /Temporal/ (case ignored; later paths win),
// warning for each that is missing. When neither is found, the searched dataset
// stands in for both if searched_stands_in (the user named it), else the run ends.
void FIND_WATER_LEVEL(XmdfTable& table, results::WaterLevelRecord& wl, std::int32_t file, bool searched_stands_in);

// Reads one timestep of water levels into the record: that dataset at that step when
// both are above 0; otherwise the time decides: 99999 (within tol) the stored maximum
// levels, -99999 and 99999.1 are refused, any other time the closest output time of
// the temporal levels, which must lie within tol. Ends the run on any failure.
void GET_WATER_LEVEL(XmdfTable& table, results::WaterLevelRecord& wl, std::int32_t file, float time, float tol,
                     std::int32_t dataset, std::int32_t step);

// Ends the run, as a read would, when the record has no temporal water levels.
void require_temporal_water_levels(XmdfTable& table, const results::WaterLevelRecord& wl, std::int32_t file);

// The step of the temporal water levels that belongs to a data step at time (its
// output time within tol of it), trying the data's own step number first; ends the run
// when the levels have no such time.
std::int32_t water_level_step(XmdfTable& table, const results::WaterLevelRecord& wl, std::int32_t file, float time,
                              float tol, std::int32_t data_step);

}  // namespace zorvel::xmdf_read
