#pragma once
// ".sup" lists: a text file naming a ".2dm" mesh and the ".dat" results that belong to it.
//
// Lines of up to 1000 characters; keywords are matched on a line's first characters, without
// regard to case, and every other line is ignored:
//   MESH2D<c>name   columns 1-6; the mesh name is columns 7-1000 (the separator included)
//   DATA<c>name     columns 1-4; a data file name is columns 6-1000
// Quote characters (" and ') are removed from both names. The last mesh line counts; the data
// lines give the data files in their order.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zorvel::results {

// What a ".sup" file lists. The caller sets sup_file; READ_SUP fills the rest.
struct sup_contents {
    std::string sup_file;    // the ".sup" file's name (a name typed at the opener's prompt comes back)
    std::string sup_folder;  // its folder with the final separator; blank when the name has none
    // The mesh of the last mesh line, as the run opens it: a relative name is taken from
    // sup_folder, as the data names are; unchanged when the file has no mesh line.
    std::string sup_mesh;
    std::int32_t n_data = 0;
    std::vector<std::string> data_files;  // the data file names as written, n_data of them
};

// Opens, reads and closes a ".sup" file, reporting each name on the console.
void READ_SUP(sup_contents& sup);

// A data name of the list as the run opens it, left-justified: taken from the list's
// folder unless it holds its own folder from the root (or a drive).
std::string in_sup_folder(std::string_view folder, std::string_view name);

}  // namespace zorvel::results
