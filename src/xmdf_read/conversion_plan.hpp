#pragma once
// The planning of an XMDF-to-".dat" conversion, before any value is read: every dataset
// of the catalogued files is given the ".dat" file it will be written to, and the
// distinct names are gathered into the run's output file list.
//
// Names planned, for a file stem (the input's folder and name without its extension)
// and a dataset path split at its first and last "/" into folder and name:
//   scalar in folder "Times"          stem_times.dat (every /Times/ dataset of a file)
//   name of a map output type         stem_<code>.dat (all folders of a type, scalar and
//                                     vector alike, share the file of their code)
//   any other name                    stem<folder><name>.dat, blanks of the name as "_"
// Separators ("/", "\") inside the parts joined to the stem are turned into "_", so that
// every planned file lies in the input's folder. A vector dataset in "Times" and a
// /Times/ name of no known kind end the run.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "xmdf_read/catalogue.hpp"

namespace zorvel::xmdf_read {

inline constexpr std::int32_t kMaxConversionOutputs = 100;

// The distinct output names of a -conv run, numbered from 1 in the order first met.
struct OutputFileList {
    std::int32_t count = 0;
    std::vector<std::string> names;  // names[k - 1] is output k

    // Name k (1..count).
    const std::string& name(std::int32_t k) const { return names[static_cast<std::size_t>(k - 1)]; }
};

// The ".dat" name one dataset path of a file is written to; ends the run on a /Times/
// name of no known kind, a /Times/ cut-off name without a number, or a vector in "Times".
std::string planned_name(std::string_view stem, std::string_view path, bool is_vector);

// Gives every conversion entry of every file of the table its out_name, with the lines
// "Input data: " and "Output file: " per dataset (scalars of a file, then its vectors).
void PLAN_XMDF_CONVERSION(XmdfTable& table);

// Numbers the entries' out_names into the list (letter case ignored), each new name
// announced by "New Output File Detected: "; more than kMaxConversionOutputs distinct
// names end the run before anything is opened.
void ASSIGN_OUTPUT_FILES(XmdfTable& table, OutputFileList& list);

}  // namespace zorvel::xmdf_read
