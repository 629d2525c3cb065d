#pragma once
// The choice, in every ".xmdf" input, of the datasets a run works on and of the
// timestep to read: the search for a map output type or a dataset path, the
// numbers and lists of output times, and the search for an output time.
//
// Time codes: 99999 the stored maximum (/Maximums/), -99999 the stored minimum
// (/Minimums/); 99999.1 (a stored time-of-maximum record) cannot be searched.

#include <cstdint>
#include <string_view>

#include "xmdf_read/catalogue.hpp"

namespace zorvel::xmdf_read {

// Finds in both lists of every file the datasets whose paths contain the search
// text (its first 40 characters, case ignored) and files them by folder into
// found_max, found_temporal, found_min and found_times; with by_path, every match
// becomes selected_dataset and found_temporal. Within a folder a dataset whose
// name (by_path: whose path) equals the text wins over one that only contains it;
// otherwise the later match wins. Fields are not cleared first: a dataset given by
// number (-s, -v: found_temporal set before the call) stays unless a match
// replaces it, and then matches outside the known folders are only listed.
// Sets type_found of each list; ends the run when a file has neither kind.
void FIND_XMDF_TYPE(XmdfTable& table, std::string_view search_text, bool by_path);

// The list the time routines use: the vector list when its type was found.
DatasetList& chosen_list(XmdfFile& file);
// The dataset whose times the time routines read: the first of found_temporal,
// found_max and found_min that is set; 0 for none.
std::int32_t chosen_dataset(const DatasetList& list);

// Counts the output times into n_times: with one false, of the chosen dataset of
// every file (files without one are skipped); with one true, of the given dataset
// of the given file's vector or scalar list.
void GET_XMDF_NUM_TIMES(XmdfTable& table, bool one, std::int32_t file, bool is_vector, std::int32_t dataset);
// Reads the n_times output times of the same dataset(s) into output_times (made
// when the caller has not) and records the dataset in times_dataset. Leaves the
// last group read open in the readers' shared group.
void GET_XMDF_TIMES(XmdfTable& table, bool one, std::int32_t file, bool is_vector, std::int32_t dataset);

// Selects in the chosen list of every file the dataset and timestep to read for
// the time (hours, or the code 99999 / -99999): the stored extreme at step 1, or
// the closest output time of the searched dataset within the tolerance. Ends the
// run when there is nothing to select.
void FIND_XMDF_TIME(XmdfTable& table, float time, float tolerance);

}  // namespace zorvel::xmdf_read
