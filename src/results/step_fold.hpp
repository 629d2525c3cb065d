#pragma once
// Folding steps straight from where they lie, for the walks that carry one value per node
// from step to step (duration, time of increase): a run of steps is folded a block of nodes
// at a time through all of its steps, so that the running values of a block are read and
// written once per run rather than once per step. A run is one step whose values sit in an
// array, or several ".dat" records in a row read a block of nodes at a time.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "results/res_type.hpp"

namespace zorvel::results {

// Most steps in a run.
inline constexpr std::size_t kMostSteps = 8;

// Steps folded together, in order: each one's time, its node values (a real per node, or an
// (x, y) pair per node whose magnitude counts, as a ".dat" record stores them) from node
// node0 and its cell flags from cell cell0, as far as the block of nodes or cells handed
// over with them; nodes and cells are the counts of every step.
struct StepRun {
    std::size_t count = 0;
    bool pairs = false;
    std::int32_t nnodes = 0;
    std::int32_t ncells = 0;
    std::array<float, kMostSteps> time{};
    std::array<const std::byte*, kMostSteps> values{};
    std::array<const std::int8_t*, kMostSteps> flags{};
    std::size_t node0 = 0;
    std::size_t cell0 = 0;
};

// A walk's work on a run of steps. The reader of the steps starts the run, then hands it
// over a block of nodes and a block of cells at a time, every block once.
class StepFold {
public:
    // The result's cells, into which the wet cells of every step are merged (a cell wet in
    // either stays wet).
    std::span<CELL_RES_TYPE> cells;
    // The steps of the run folded last, how many of them the walk has taken since, and the
    // nodes of each step that the run folds (within the arrays of the fold).
    std::size_t run_steps = 0;
    std::size_t steps_taken = 0;
    std::size_t run_nodes = 0;

    // True when the walk's next step has been folded with its run already.
    bool step_waiting() const { return steps_taken < run_steps; }
    // Starts a run whose steps follow the last one folded.
    virtual void start_run(const StepRun& run) = 0;
    // Folds nodes [first, first + count) of every step of the run, step after step (the
    // values of the run hold them).
    virtual void fold_nodes(const StepRun& run, std::size_t first, std::size_t count) = 0;
    // Merges cells [first, first + count) of every step of the run into cells.
    void fold_cells(const StepRun& run, std::size_t first, std::size_t count);

protected:
    StepFold() = default;
    StepFold(const StepFold&) = default;
    StepFold& operator=(const StepFold&) = default;
    ~StepFold() = default;
};

// Folds one step on its own, as a run of one: the nodes of the record step (at most nodes of
// them) from values (reals, or pairs), its cells from the record.
void fold_one_step(StepFold& fold, const RES_TYPE& step, const std::byte* values, bool pairs, std::size_t nodes);

namespace step_fold {

// The hours that one step adds, summed for its progress line: in double, as four running
// sums over the nodes by their number modulo 4 up to the last whole four, then the nodes
// after those one by one; total() adds them up in that order, the same for every way the
// nodes are split into blocks.
struct HourSum {
    std::array<double, 4> lanes{};
    std::array<float, 3> tail{};
    std::size_t tails = 0;
    double total() const;
};

// Adds to duration the hours at or above cutoff of nodes [first, first + count) over every
// step of the run (step k lasting dt[k] hours), from the values in prev, which then hold
// the last step's; the hours of step k go into sums[k] (nodes from lanes_end on as the tail).
void add_durations(const StepRun& run, std::span<const float> dt, float cutoff, float* prev, float* duration,
                   std::size_t first, std::size_t count, std::size_t lanes_end, std::span<HourSum> sums);

// Marks the nodes of [first, first + count) not yet reached that reach their threshold in a
// step of the run (step k from time t0[k], lasting dt[k] hours), with the time of the
// crossing in toi; prev holds the values of the nodes not yet reached; counts[k] adds the
// nodes reached in step k.
void mark_increases(const StepRun& run, std::span<const float> t0, std::span<const float> dt,
                    const float* threshold, float* prev, float* toi, std::uint8_t* reached, std::size_t first,
                    std::size_t count, std::span<std::int64_t> counts);

}  // namespace step_fold

}  // namespace zorvel::results
