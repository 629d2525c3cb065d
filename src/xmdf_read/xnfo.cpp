// The "_xmdf_info.txt" listing (layout in xnfo.hpp).

#include "xmdf_read/xnfo.hpp"

#include <string>
#include <vector>

#include "results/res_ops.hpp"
#include "results/xmdf/binding.hpp"
#include "util/console.hpp"
#include "util/numbers.hpp"
#include "util/text.hpp"
#include "util/units.hpp"
#include "xmdf_read/data_group.hpp"
#include "xmdf_read/dataset_times.hpp"

namespace zorvel::xmdf_read {

namespace xf = results::xmdf;

namespace {

constexpr std::size_t kTimeWidth = 15;
constexpr int kTimeDecimals = 3;

// One listing being written: its unit, the input it lists and the times of one dataset,
// a work list that only grows.
struct Listing {
    int unit = 0;
    const XmdfFile* file = nullptr;
    std::vector<double> times;
};

// Writes one line of the listing.
void put(Listing& l, std::string_view text) { util::unit_line(l.unit, text); }

// Writes the first n times of the work list, one a line (F15.3).
void put_times(Listing& l, std::int32_t n) {
    util::File* f = util::unit_file(l.unit);
    if (f == nullptr) return;
    char line[kTimeWidth + 1];
    line[kTimeWidth] = '\n';
    for (std::int32_t k = 0; k < n; ++k) {
        util::put_f_field(line, l.times[static_cast<std::size_t>(k)], kTimeWidth, kTimeDecimals);
        f->write(line, sizeof line);
    }
}

// The console lines of a dataset whose times could not be read.
void times_failed(const Listing& l, std::string_view path) {
    util::console().line("ERROR - Extracting times [XF_GET_DATASET_TIMES] from xmdf file " + name_of(*l.file));
    util::console().line("   Dataset: \"" + std::string(path) + "\"");
}

// Makes sure the work list holds n times; ends the run when memory runs out.
void hold_times(Listing& l, std::int32_t n) {
    if (n <= 0 || l.times.size() >= static_cast<std::size_t>(n)) return;
    l.times.clear();
    l.times.shrink_to_fit();
    if (results::allocate_array(l.times, n) != 0) {
        util::console().line("ERROR - assigning temporary memory for storing times");
        util::EXITS();
    }
}

// Reads the times of dataset j of the list into the work list and gives their number;
// -1 when the group did not open or its times could not be read.
std::int32_t read_times(Listing& l, bool is_vector, std::int32_t j) {
    if (!open_data_group(*l.file, is_vector, j)) return -1;
    const std::int32_t id = data_group().id;
    std::int32_t n = 0;
    std::int32_t status = 0;
    xf::XF_GET_DATASET_NUM_TIMES(id, n, status);
    if (status >= 0) {
        hold_times(l, n);
        if (n > 0 && !read_times_in_hours(*l.file, n, l.times)) status = -1;
    }
    const bool closed = close_data_group() >= 0;
    if (status < 0) return -1;
    // The times were read; a group that would not close is still reported.
    if (!closed) times_failed(l, dataset_path(l.file->list(is_vector), j));
    return n > 0 ? n : 0;
}

// Lists the vector or the scalar datasets of the file, when it has any.
void list_datasets(Listing& l, bool is_vector) {
    const DatasetList& list = l.file->list(is_vector);
    if (list.n_paths < 1) return;
    put(l, "");
    put(l, is_vector ? "Vector Datasets" : "Scalar Datasets");
    put(l, "Number Datasets: " + util::integer_field(list.n_paths, 3));
    for (std::int32_t j = 1; j <= list.n_paths; ++j) {
        const std::string path = valid_dataset(list, j) ? util::trimmed(dataset_path(list, j)) : std::string();
        std::int32_t n = read_times(l, is_vector, j);
        if (n < 0) {
            times_failed(l, path);
            n = 0;
        }
        put(l, "");
        put(l, path);
        put(l, "Num Times" + util::integer_field(n, 5));
        put_times(l, n);
    }
}

}  // namespace

std::string listing_name(const XmdfFile& file) { return name_of(file) + "_xmdf_info.txt"; }

void WRITE_XMDF_INFO(XmdfTable& table, results::OutputDescription& out) {
    Listing l;
    for (std::int32_t k = 1; k <= table.n_xmdf; ++k) {
        XmdfFile& file = file_record(table, k, "WRITE_XMDF_INFO");
        const std::string name = name_of(file);
        if (!out.user_named) out.out_path = util::fit(listing_name(file), util::kNameLen);
        results::OPEN_OUTPUT(out);
        l.unit = out.handle;
        l.file = &file;
        put(l, name);
        util::line_after_gap("Extracting number of outputs for temporal data in \"" + name + "\".");
        list_datasets(l, true);
        list_datasets(l, false);
        results::finish_text_output(out);

        std::int32_t status = 0;
        xf::XF_CLOSE_FILE(file.file_id, status);
        file.file_id = 0;
        if (status < 0) util::console().line("ERROR - Closing file [XF_CLOSE_FILE] " + name);
    }
}

}  // namespace zorvel::xmdf_read
