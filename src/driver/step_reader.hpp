#pragma once
// The steps of one input, read one after another into a result record: an ".xmdf" input's
// selected dataset from step 1 to its number of output times (its data group opened at the
// first read and closed at the last), a ".dat" input record by record from the one its
// header ended at until no further record follows. Every operation that walks the output
// times of an input reads them through this one reader; what it does with a step is its own.

#include <cstdint>

#include "driver/run_state.hpp"
#include "results/res_type.hpp"

namespace zorvel::driver {

class StepReader {
public:
    // A reader of input i (from 1), vectors or scalars as is_vector says.
    StepReader(RunState& run, std::int32_t input, bool is_vector);

    // Reads the next step into res; false, with nothing read, when the input had no
    // further step. A ".dat" input without any time record ends the run.
    bool next(results::RES_TYPE& res);

    // The step just read is the input's last.
    bool at_last() const { return last_; }
    // Number of the step just read, from 1 (0 before the first read).
    std::int32_t step() const { return step_; }
    // Number of steps of an ".xmdf" input; 0 for a ".dat" input, whose count is known
    // only when its last record has been read.
    std::int32_t count() const { return count_; }

private:
    RunState& run_;
    std::int32_t input_;
    bool vector_;
    bool xmdf_;
    std::int32_t count_ = 0;
    std::int32_t step_ = 0;
    bool last_ = false;
};

}  // namespace zorvel::driver
