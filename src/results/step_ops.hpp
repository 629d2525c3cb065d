#pragma once
// Operations on the result records of one output time, for the operations that walk an
// input's steps: capping values, flow directions, the time each node spends at or above a
// cut-off, the time each node first reaches a threshold, the difference of two results
// with its wet/dry codes, and the two tests of a walk over two inputs at once (do their
// times agree, has either run out).

#include <array>
#include <cstdint>
#include <vector>

#include "results/mesh_2dm.hpp"
#include "results/res_type.hpp"
#include "results/step_fold.hpp"
#include "results/water_level.hpp"
#include "util/zeroed_array.hpp"

namespace zorvel::results {

// What the duration and the time of increase keep alike in a walk over the steps: per node
// the value of the step now and that of the step before, the times of the two steps and the
// length of the one between. The caller sizes the arrays and, before the first step is
// taken, sets the previous time and values from the first step. A step is folded either by
// the reader of the steps, with the steps after it, as a run (StepFold), or when it is taken,
// from its values (the magnitudes of a vector step) put into now.
struct WalkState : StepFold {
    float time_now = 0.0f;
    float time_prev = 0.0f;
    float dt = 0.0f;
    util::ZeroedArray<float> now;
    util::ZeroedArray<float> prev;

    // Takes the walk's next step: folds it from now unless its run has been folded already
    // (its wet cells merged into result's), and moves the times on to it. Gives the step's
    // place in the run folded last.
    std::size_t take_step(const RES_TYPE& step, RES_TYPE& result);
};

// The duration of a walk over the steps: besides the values, per node the hours accumulated
// at or above the cut-off. The caller sets the cut-off too.
struct DurationState : WalkState {
    float cutoff = 0.0f;
    util::ZeroedArray<float> duration;
    // The run folded last: the length of each of its steps and the hours each added.
    std::array<float, kMostSteps> run_dt{};
    std::array<step_fold::HourSum, kMostSteps> run_hours{};

    void start_run(const StepRun& run) override;
    void fold_nodes(const StepRun& run, std::size_t first, std::size_t count) override;
};

// The time of increase of a walk over the steps: besides the values, per node the time at
// which it reached its threshold, the threshold and whether it has reached it (1) or not
// (0). The caller sets the thresholds too.
struct ToiState : WalkState {
    util::ZeroedArray<float> toi;
    util::ZeroedArray<float> threshold;
    util::ZeroedArray<std::uint8_t> reached;
    // The run folded last: the start and length of each of its steps and the nodes that
    // reached their thresholds in each.
    std::array<float, kMostSteps> run_t0{};
    std::array<float, kMostSteps> run_dt{};
    std::array<std::int64_t, kMostSteps> run_reached{};

    void start_run(const StepRun& run) override;
    void fold_nodes(const StepRun& run, std::size_t first, std::size_t count) override;
};

// Sizes the state's arrays for nnodes nodes, every entry 0; the allocation status for
// CHECK_ALLOC (0 when made).
std::int32_t allocate_duration_state(DurationState& state, std::int32_t nnodes);
std::int32_t allocate_toi_state(ToiState& state, std::int32_t nnodes);

// Caps the values in place: a scalar at cap, a vector at the length cap (its direction
// kept). A zero vector stays as it is whatever the cap.
void RES_CAP(RES_TYPE& res, float cap);

// Replaces each node's value by its flow direction in degrees, clockwise from north
// (atan2(x, y), -180 to 180; 0 for a zero vector). A scalar record ends the run.
void RES_VEL_ANGLE(RES_TYPE& res);

// Adds each node's hours at or above the cut-off between the previous step and this one
// (interpolated where the value crosses it), writes the step's progress line and merges
// the step's wet cells into result. A step that the reader folded with its run has been
// added and merged already: only its line is written.
void RES_DURATION(DurationState& state, const RES_TYPE& step, RES_TYPE& result);

// Marks the nodes that reach their thresholds between the previous step and this one,
// with the interpolated time of the crossing, writes the step's progress line and merges
// the step's wet cells into result; a step folded with its run only writes its line.
void RES_TOI(ToiState& state, const RES_TYPE& step, RES_TYPE& result);

// result := a minus b at a's time. With the wet/dry test a node wet in one result only
// gets 99 (a) or -99 (b), one dry in both 0; the water levels are a's and b's values
// themselves with own_levels, else wl_a's and wl_b's, against the mesh nodes' z (a) and
// z2 (b). A vector a turns a and b into their magnitudes in place; a vector a beside a
// scalar b ends the run. A cell of the result is 1 where both inputs are wet (any flag but
// 0) without the test, where either is with it, else 0.
void RES_DIFFERENCE(RES_TYPE& a, RES_TYPE& b, RES_TYPE& result, const WaterLevelRecord& wl_a,
                    const WaterLevelRecord& wl_b, const MESH_TYPE& mesh, bool own_levels, bool no_wet_dry);

// Compares the times of a and b: within 5.0E-5 they are the same; otherwise a warning,
// same false and the ahead marks say which time is the later one (left as they were when
// the times are the same).
void CHECK_TIMES(const RES_TYPE& a, const RES_TYPE& b, bool& a_ahead, bool& b_ahead, bool& same);

// Sets done when either input has delivered its last step: an ".xmdf" input (count > 0)
// once its step reaches its count, a ".dat" input (count <= 0) once its record says
// end_of_data. Otherwise done keeps its value.
void END_OF_DATA(const RES_TYPE& a, const RES_TYPE& b, std::int32_t count_a, std::int32_t count_b,
                 std::int32_t step_a, std::int32_t step_b, bool& done);

}  // namespace zorvel::results
