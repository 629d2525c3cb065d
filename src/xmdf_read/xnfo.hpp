#pragma once
// The "_xmdf_info.txt" listing: what every ".xmdf" input holds, one text file per input.
//
// Layout of a listing, line by line:
//   the input's name as given
//   (only when the file has vector datasets)
//     empty line, "Vector Datasets", "Number Datasets: " and the count (I3)
//     per dataset: empty line, its path, "Num Times" and the number of times (I5),
//                  then each time on a line of its own (F15.3)
//   (only when the file has scalar datasets) the same under "Scalar Datasets"
// Times are in hours, whatever units the dataset stores them in (dataset_times.hpp).
// A count too wide for its field shows asterisks across the field. A dataset whose times
// cannot be read is listed with its path and 0 times.

#include <string>

#include "results/results_writer.hpp"
#include "xmdf_read/catalogue.hpp"

namespace zorvel::xmdf_read {

// Writes the listing of every file of the table into a text file of its own (the
// description's out_path when it is user_named, else the input's name and
// "_xmdf_info.txt"), with one console line per file, and closes each ".xmdf" file after
// its listing. Each listing is complete on disk once written; a dataset whose times
// cannot be read is reported on the console and the listing goes on.
void WRITE_XMDF_INFO(XmdfTable& table, results::OutputDescription& out);
// The name of a file's listing when no -out names it: the input's name and "_xmdf_info.txt".
std::string listing_name(const XmdfFile& file);

}  // namespace zorvel::xmdf_read
