// -times: the output times of input 1, one per line, into a text file ("times.txt" unless
// -out names it): an ".xmdf" input's are the times of its selected dataset, a ".dat"
// input's are read record by record, each record's flags and values moved past unread.
// Stored extremes and other time codes are listed like any other time; a ".dat" header
// followed by no record gives an empty file.
//
// Line layout: the time in hours right-justified in 15 characters with 4 decimals (F15.4),
// asterisks across the field when it does not fit. No other line.

#include <algorithm>
#include <span>
#include <string>

#include "driver/ends.hpp"
#include "driver/operations.hpp"
#include "driver/step_copy.hpp"
#include "results/dat.hpp"
#include "util/console.hpp"
#include "util/numbers.hpp"
#include "util/text.hpp"
#include "util/units.hpp"

namespace zorvel::driver {

namespace {

constexpr std::size_t kTimeWidth = 15;
constexpr int kTimeDecimals = 4;

// Writes one time as a line of the listing (F15.4).
void put_time(util::File* out, double time) {
    if (out == nullptr) return;
    char line[kTimeWidth + 1];
    util::put_f_field(line, time, kTimeWidth, kTimeDecimals);
    line[kTimeWidth] = '\n';
    out->write(line, sizeof line);
}

// Lists the times of the selected dataset of an ".xmdf" input 1: the vector dataset's
// when one was found, else the scalar dataset's, else none.
void list_xmdf_times(RunState& run, int unit) {
    const xmdf_read::XmdfFile& file = run.xmdf.file(run.input(1).xmdf_index);
    const xmdf_read::DatasetList* list = nullptr;
    if (file.vectors.type_found)
        list = &file.vectors;
    else if (file.scalars.type_found)
        list = &file.scalars;
    if (list == nullptr) return;
    util::File* out = util::unit_file(unit);
    const std::size_t n = std::min(results::length_of(list->n_times), list->output_times.size());
    for (std::size_t k = 0; k < n; ++k) put_time(out, list->output_times[k]);
}

// Lists the time of every record of a ".dat" input 1 from the one its header ended at.
void list_dat_times(RunState& run, int unit) {
    const int in = run.units[0];
    std::int32_t& card = run.next_card[0];
    util::File* f = util::unit_file(in);
    util::File* out = util::unit_file(unit);
    while (card == results::kCardTimeRecord && f != nullptr && !f->at_end()) {
        float time = 0.0f;
        results::read_dat_time(in, run.primary_is_vector, run.n_nodes, run.n_cells, time, card);
        put_time(out, time);
    }
}

}  // namespace

void run_times(RunState& run) {
    warn_one_input(run, "WARNING - Only one file for -times option");
    results::OutputDescription& out = run.output();
    const std::string name = util::trimmed(run.input_name(1));
    if (run.input(1).input_is_xmdf) {
        util::line_after_gap("Writing output times in .xmdf to output file. " + name);
        list_xmdf_times(run, out.handle);
    } else {
        util::line_after_gap("Reading times from file: " + name);
        list_dat_times(run, out.handle);
    }
    // The listing is complete on disk before the run's end, which only closes the inputs.
    results::finish_text_output(out);
    end_times_listing(std::span<int>(run.units.data(), static_cast<std::size_t>(run.n_inputs())), run.cl.batch);
}

}  // namespace zorvel::driver
