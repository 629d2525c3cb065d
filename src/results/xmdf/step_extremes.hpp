#pragma once
// The smallest and largest value of one timestep, as stored in a dataset's Mins and
// Maxs: of the values, or of the magnitudes for vectors. NaNs are passed over; a step
// of NaNs alone gives +inf and -inf. One pass, four lanes at a time where SSE2 is there.

#include <cstddef>

namespace zorvel::results::xmdf {

// Smallest and largest of n values.
void value_range(const float* v, std::size_t n, float& low, float& high);
// Smallest and largest squared magnitude of n (x, y) pairs.
void squared_magnitude_range(const float* xy, std::size_t n, float& low, float& high);
// Merges the extremes of count floats into low and high: of the values, or of the squared
// magnitudes of count / 2 (x, y) pairs.
void merge_range(const float* v, std::size_t count, bool vector, float& low, float& high);

}  // namespace zorvel::results::xmdf
