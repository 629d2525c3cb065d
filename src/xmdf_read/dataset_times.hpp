#pragma once
// The output times of an XMDF dataset as the rest of the program takes them: in hours.
// A dataset's "TimeUnits" attribute says what its Times hold: "Seconds", "Minutes",
// "Hours" or "Days" (any letter case) are turned into hours; a dataset without the
// attribute, or with a blank one, is taken to be in hours already. A unit of another
// name is read as hours after one "WARNING - " line naming it and the dataset, the
// first time in the run that the dataset's times are read.

#include <cstdint>
#include <span>
#include <vector>

#include "xmdf_read/catalogue.hpp"

namespace zorvel::xmdf_read {

// Reads the n output times of the dataset of the file that the shared data group
// holds, in hours; false when XF_GET_DATASET_TIMES fails.
bool read_times_in_hours(const XmdfFile& file, std::int32_t n, std::span<double> times);
// Reads all the output times of the dataset that the shared data group holds, in hours,
// into times (made as long as their number); a count or read that fails ends the run
// with "ERROR - Extracting times [XF_GET_DATASET_TIMES] from xmdf file " and its name.
void read_all_times_in_hours(const XmdfFile& file, std::vector<double>& times);

}  // namespace zorvel::xmdf_read
