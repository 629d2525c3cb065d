#pragma once
// Moving XMDF data into result records: a stored maximum or minimum, a dataset of a
// single time, the per-node maximum, minimum and average over every timestep of a
// /Temporal/ dataset, and the timestep reader that an operation walks through the
// steps with.
//
// Values are read for the file record's nnodes (vector: x then y per node), flags
// for its ncells, one timestep per read into buffers reused from call to call; a
// cell's flag is the low 8 bits of the 32-bit flag read. The dataset list is the
// file's vector list when is_vector is set, else its scalar list. Every failure
// ends the run with an "ERROR - " line naming the call and the file.

#include <cstdint>

#include "results/res_type.hpp"
#include "xmdf_read/catalogue.hpp"

namespace zorvel::xmdf_read {

// Timestep 1 of the list's found_max into the record's nodes and cells.
void GET_XMDF_MAX(XmdfTable& table, std::int32_t file, bool is_vector, results::RES_TYPE& res);
// Timestep 1 of the list's found_min.
void GET_XMDF_MIN(XmdfTable& table, std::int32_t file, bool is_vector, results::RES_TYPE& res);
// Timestep 1 of the given dataset, which must hold one output time (a /Times/ dataset).
void GET_XMDF_SINGLE(XmdfTable& table, std::int32_t file, bool is_vector, results::RES_TYPE& res,
                     std::int32_t dataset);

// Folds every timestep of the list's found_temporal into the running maximum that
// the record holds (vectors by magnitude, the first step setting every node); the
// time result's values receive the time of each node's maximum, and both records'
// cells the flag of largest magnitude. Of equal extremes the earlier step stays. A time
// result that holds no nodes and no cells keeps no times.
void GET_XMDF_TEMPORAL_MAX(XmdfTable& table, std::int32_t file, bool is_vector, results::RES_TYPE& res,
                           results::RES_TYPE& time_res);
// The same for the minimum; cells take the flag of smallest magnitude.
void GET_XMDF_TEMPORAL_MIN(XmdfTable& table, std::int32_t file, bool is_vector, results::RES_TYPE& res,
                           results::RES_TYPE& time_res);
// Adds every timestep of found_temporal onto the record's values (x and y) and
// divides by the number of timesteps; cells take the flag of largest magnitude.
void GET_XMDF_TEMPORAL_AVG(XmdfTable& table, std::int32_t file, bool is_vector, results::RES_TYPE& res);

// Ends the run with the "No output times" line when the dataset that the timestep reader
// reads (selected_dataset, else found_temporal) has no output time: a walk over its steps
// would read none and leave a result with nothing in it.
void require_output_times(XmdfTable& table, std::int32_t file, bool is_vector);

// Reads one timestep (step, or selected_step when step is 0 or less) of the list's
// selected_dataset (found_temporal when none is selected) into the record, with the
// time of that step in the dataset read; vector data set is_vector. The group opens
// on the call with first set and closes on the call with last set.
void xmdf_get_data_time(XmdfTable& table, std::int32_t file, bool is_vector, results::RES_TYPE& res,
                        std::int32_t step, bool first, bool last);

}  // namespace zorvel::xmdf_read
