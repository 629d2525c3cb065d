// The step-by-step reader of one input (see step_reader.hpp).

#include "driver/step_reader.hpp"

#include "results/dat.hpp"
#include "util/text.hpp"
#include "util/units.hpp"
#include "xmdf_read/extract.hpp"

namespace zorvel::driver {

StepReader::StepReader(RunState& run, std::int32_t input, bool is_vector)
    : run_(run), input_(input), vector_(is_vector), xmdf_(run.input(input).input_is_xmdf) {
    if (xmdf_) count_ = run.xmdf.file(run.input(input).xmdf_index).list(is_vector).n_times;
}

bool StepReader::next(results::RES_TYPE& res) {
    if (last_) return false;
    ++step_;
    if (xmdf_) {
        if (count_ < 1) return false;
        last_ = step_ >= count_;
        xmdf_read::xmdf_get_data_time(run_.xmdf, run_.input(input_).xmdf_index, vector_, res, step_, step_ == 1,
                                      last_);
        return true;
    }
    const std::size_t k = static_cast<std::size_t>(input_ - 1);
    if (step_ == 1 && run_.next_card[k] != results::kCardTimeRecord)
        util::fail("ERROR - No time record found in .dat file: \"" + util::trimmed(run_.input_name(input_)) + "\"");
    res.is_vector = vector_;
    res.end_of_data = false;
    results::NEXTDATTIMESTEP(run_.units[k], res);
    last_ = res.end_of_data;
    return true;
}

}  // namespace zorvel::driver
