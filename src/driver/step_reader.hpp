#pragma once
// The steps of one input, read one after another into a result record: an ".xmdf" input's
// selected dataset from step 1 to its number of output times (its data group opened at the
// first read and closed at the last), a ".dat" input record by record from the one its
// header ended at until no further record follows. Every operation that walks the output
// times of an input reads them through this one reader; what it does with a step is its own.
// An ".xmdf" walk may be limited to a run of steps and may leave one step out; the first
// step it reads still opens the group and the last one it reads closes it.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>

#include "driver/run_state.hpp"
#include "results/res_type.hpp"
#include "results/results_writer.hpp"
#include "results/step_fold.hpp"

namespace zorvel::driver {

// A ".dat" record whose time is a time code beyond every output time: a stored maximum or
// minimum, or the time of either (99999, 99999.1, -99999, -99999.1), not a step.
inline bool is_stored_extreme(float time) { return std::fabs(time) > 99998.0f; }

class StepReader {
public:
    // A reader of input i (from 1), vectors or scalars as is_vector says; an ".xmdf" input
    // whose dataset has no output time ends the run here, before any step. With
    // group_per_step an ".xmdf" input's data group is opened and closed at every step, so
    // that other groups of the file may be read between two steps.
    StepReader(RunState& run, std::int32_t input, bool is_vector, bool group_per_step = false);

    // Walks an ".xmdf" input from step first to step last only (nothing when first is
    // after last); a ".dat" input is read record by record whatever is asked here.
    void limit(std::int32_t first, std::int32_t last);
    // Passes over step s of an ".xmdf" input without reading it.
    void leave_out(std::int32_t s);

    // Reads the next step into res; false, with nothing read, when the input had no
    // further step. A ".dat" input without any time record ends the run.
    bool next(results::RES_TYPE& res);
    // Reads the next step as next() does, for a copy that writes it unchanged with
    // copy_to: a ".dat" record's values are kept as the file stores them, not put into res.
    bool next_for_copy(results::RES_TYPE& res);
    // Writes the step just read by next_for_copy to the output, as it was read.
    void copy_to(results::OutputDescription& out, results::RES_TYPE& res);
    // Reads the next step as next() does, for a walk that compares one value per node
    // from step to step: now gets each node's value (the magnitude of a vector); a ".dat"
    // step's node values do not go into res (its time and flags do). With a fold, a ".dat"
    // step is folded into it straight from the file and now is left as it is: the records
    // from the next one on that can be folded together (none that is a stored extreme) as
    // a run when the first of them is read, each then read as a step whose outcome waits
    // in the fold; any other record on its own as it is read. The first step is never
    // folded, as its values start the fold.
    bool next_magnitudes(results::RES_TYPE& res, std::span<float> now, results::StepFold* fold = nullptr);

    // The step just read is the input's last.
    bool at_last() const { return last_; }
    // Number of the step just read, from 1 (0 before the first read).
    std::int32_t step() const { return step_; }
    // Number of the step that the next call comes to, a left-out step included.
    std::int32_t upcoming() const { return step_ == 0 && xmdf_ ? from_ : step_ + 1; }
    // Number of steps of an ".xmdf" input; 0 for a ".dat" input, whose count is known
    // only when its last record has been read.
    std::int32_t count() const { return count_; }

private:
    // The step of an ".xmdf" walk that comes after step s, the left-out one passed over.
    std::int32_t after(std::int32_t s) const { return s + 1 == left_out_ ? s + 2 : s + 1; }
    // Where a step's values go: into res's nodes, kept as a ".dat" record stores them, or
    // into an array of one value (or magnitude) per node.
    enum class Values { nodes, as_stored, magnitudes };
    // The next step into res, its values as take says (now for magnitudes).
    bool read(results::RES_TYPE& res, Values take, std::span<float> now = {});

    RunState& run_;
    std::int32_t input_;
    bool vector_;
    bool xmdf_;
    bool group_per_step_;
    std::int32_t count_ = 0;
    std::int32_t from_ = 1;
    std::int32_t to_ = 0;
    std::int32_t left_out_ = 0;
    std::int32_t step_ = 0;
    std::int32_t reads_ = 0;
    std::size_t folded_ahead_ = 0;  // ".dat" records folded with a run and not yet read
    bool last_ = false;
    std::span<const std::byte> stored_;  // values of the ".dat" record read for a copy
};

// Reads input i's (from 1) one step at the run's -t (or -k) time into res: an ".xmdf"
// input's step that the time search selected, its group opened and closed around the read;
// a ".dat" input's record within the time search tolerance, or the run ends.
void read_step_at_time(RunState& run, results::RES_TYPE& res, std::int32_t i = 1);

}  // namespace zorvel::driver
