// The step-by-step reader of one input (see step_reader.hpp).

#include "driver/step_reader.hpp"

#include <algorithm>

#include "results/dat.hpp"
#include "results/results_writer.hpp"
#include "util/numbers.hpp"
#include "util/text.hpp"
#include "util/units.hpp"
#include "xmdf_read/extract.hpp"

namespace zorvel::driver {

namespace {

// Each node's value of the record, the magnitude of a vector.
void magnitudes_of(const results::RES_TYPE& res, std::span<float> now) {
    const std::size_t n = std::min(now.size(), results::nodes_held(res));
    if (res.is_vector) {
        for (std::size_t j = 0; j < n; ++j) now[j] = util::VECTOR_MAGNITUDE(res.value[j], res.y[j]);
    } else {
        std::copy_n(res.value.data(), n, now.begin());
    }
}

}  // namespace

StepReader::StepReader(RunState& run, std::int32_t input, bool is_vector, bool group_per_step)
    : run_(run),
      input_(input),
      vector_(is_vector),
      xmdf_(run.input(input).input_is_xmdf),
      group_per_step_(group_per_step) {
    if (xmdf_) {
        const std::int32_t file = run.input(input).xmdf_index;
        xmdf_read::require_output_times(run.xmdf, file, is_vector);
        count_ = run.xmdf.file(file).list(is_vector).n_times;
    }
    to_ = count_;
}

void StepReader::limit(std::int32_t first, std::int32_t last) {
    from_ = first < 1 ? 1 : first;
    to_ = last > count_ ? count_ : last;
}

void StepReader::leave_out(std::int32_t s) { left_out_ = s; }

bool StepReader::next(results::RES_TYPE& res) { return read(res, Values::nodes); }

bool StepReader::next_for_copy(results::RES_TYPE& res) { return read(res, Values::as_stored); }

bool StepReader::next_magnitudes(results::RES_TYPE& res, std::span<float> now, results::StepFold* fold) {
    if (fold != nullptr && !xmdf_ && !last_ && step_ > 0) {
        const int unit = run_.units[static_cast<std::size_t>(input_ - 1)];
        const auto is_step = [](float t) { return !is_stored_extreme(t); };
        res.is_vector = vector_;
        if (folded_ahead_ == 0) folded_ahead_ = results::fold_dat_steps(unit, res, *fold, is_step);
        ++step_;
        if (folded_ahead_ > 0) {
            --folded_ahead_;
            results::next_dat_folded(unit, res);
        } else {
            results::next_dat_folding(unit, res, *fold, is_step);
        }
        last_ = res.end_of_data;
        return true;
    }
    return read(res, Values::magnitudes, now);
}

void StepReader::copy_to(results::OutputDescription& out, results::RES_TYPE& res) {
    if (xmdf_)
        results::WRITE_OUTPUT_TIMESTEP(out, res);
    else
        results::write_output_step_as_stored(out, res, stored_);
}

bool StepReader::read(results::RES_TYPE& res, Values take, std::span<float> now) {
    if (last_) return false;
    if (xmdf_) {
        const std::int32_t s = step_ == 0 ? (from_ == left_out_ ? from_ + 1 : from_) : after(step_);
        if (s > to_) {
            last_ = true;
            return false;
        }
        const bool first = reads_ == 0;
        step_ = s;
        ++reads_;
        last_ = after(s) > to_;
        xmdf_read::xmdf_get_data_time(run_.xmdf, run_.input(input_).xmdf_index, vector_, res, s,
                                      group_per_step_ || first, group_per_step_ || last_);
        if (take == Values::magnitudes) magnitudes_of(res, now);
        return true;
    }
    ++step_;
    const std::size_t k = static_cast<std::size_t>(input_ - 1);
    if (step_ == 1 && run_.next_card[k] != results::kCardTimeRecord)
        util::fail("ERROR - No time record found in .dat file: \"" + util::trimmed(run_.input_name(input_)) + "\"");
    res.is_vector = vector_;
    res.end_of_data = false;
    if (take == Values::as_stored)
        stored_ = results::next_dat_step_as_stored(run_.units[k], res);
    else if (take == Values::magnitudes)
        results::next_dat_magnitudes(run_.units[k], res, now);
    else
        results::NEXTDATTIMESTEP(run_.units[k], res);
    last_ = res.end_of_data;
    return true;
}

void read_step_at_time(RunState& run, results::RES_TYPE& res, std::int32_t i) {
    const InputRecord& in = run.input(i);
    if (in.input_is_xmdf) {
        xmdf_read::xmdf_get_data_time(run.xmdf, in.xmdf_index, run.primary_is_vector, res, 0, true, true);
        return;
    }
    results::FINDDATTIME(run.units[static_cast<std::size_t>(i - 1)], res, run.cl.target_time, run.cl.time_tol,
                         run.input_name(i));
}

}  // namespace zorvel::driver
