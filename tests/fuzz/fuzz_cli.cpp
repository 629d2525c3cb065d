// Fuzz harness of the command line: the input is the run's words, one per line, and the
// whole program runs in-process in a folder that holds small inputs of every kind, the
// odd ".dat" and ".xmdf" files among them. Words that would reach outside the folder
// ("..", a name from the root) are not run. After each run the folder must hold its
// inputs unchanged, and after an error end nothing else; what the run wrote is removed.

#include <cstdint>
#include <string>
#include <vector>

#include "harness.hpp"
#include "results/xmdf/binding.hpp"

using namespace zorvel;

namespace {

// The files of the run folder: fixtures of the end-to-end cases and the odd inputs.
const std::vector<std::string> kInputs = {
    "drv_a_h.dat",   "drv_b_h.dat",  "drv_u_V.dat",        "drv_fv_h.dat",      "drv_f4_d.dat",
    "drv_x.xmdf",    "drv_s.xmdf",   "drv_a.2dm=driver_mesh.2dm", "drv_b.2dm=driver_mesh.2dm",
    "drv_x.2dm=driver_mesh.2dm",     "driver_mesh.2dm",    "driver.sup",        "mixed.sup",
    "mesh_dev_zero.sup",
    "odd_no_record_huge_counts_h.dat", "odd_huge_cells_h.dat", "odd_cut_record_h.dat",
    "odd_ranks.xmdf", "odd_types.xmdf", "odd_missing_arrays.xmdf", "odd_huge_dims.xmdf",
    "odd_strings_for_numbers.xmdf", "odd_root_dataset.xmdf",
    "sizes_unbacked_nodes.xmdf", "sizes_unbacked_times.xmdf", "sizes_linked_twice.xmdf",
};

// True when a word could name a file outside the run folder.
bool leaves_folder(const std::string& word) {
    return word.find("..") != std::string::npos || word.starts_with('/') || word.starts_with('\\') ||
           word.find(':') != std::string::npos || word.find('~') != std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::enter_work_folder(kInputs);
    results::xmdf::setup_hdf5();
    std::vector<std::string> words;
    std::string word;
    for (std::size_t i = 0; i <= size; ++i) {
        if (i == size || data[i] == '\n') {
            if (leaves_folder(word)) return 0;
            words.push_back(word);
            word.clear();
        } else {
            word.push_back(static_cast<char>(data[i]));
        }
    }
    if (words.size() > 40) return 0;
    const std::vector<std::string> before = fuzz::folder_files();
    int status = 0;
    fuzz::run_silenced([&] { status = driver::run_program(words); });
    fuzz::require_no_hdf5_ids();
    if (status != 0) fuzz::require_no_output_left(before);
    fuzz::restore_work_folder();
    return 0;
}
