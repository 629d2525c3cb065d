#pragma once
// The map output types of a model run: 60 rows of a code (the -type vocabulary and the
// suffix of converted ".dat" names) and a description (the dataset names recognised in
// ".xmdf" inputs). Rows are numbered 1..60; the number indexes the per-type arrays of an
// XMDF file record. Codes repeat ("v", "q", "n/a"); descriptions do not.

#include <string_view>

namespace zorvel::xmdf_read {

inline constexpr int N_MAP_OUTPUT_TYPES = 60;

// The code of a row (1..N_MAP_OUTPUT_TYPES), at most 4 characters.
std::string_view map_type_code(int row);
// The description of a row (1..N_MAP_OUTPUT_TYPES), at most 40 characters.
std::string_view map_type_description(int row);

// The row whose description equals the dataset name (ASAME; the first such row), 0 for none.
int map_type_by_description(std::string_view name);
// The row whose code equals the code cut to 4 characters (ASAME; the LAST such row,
// so "v" gives "Vector Velocity"), 0 for none.
int map_type_by_code(std::string_view code);

}  // namespace zorvel::xmdf_read
