// Operations on the records of one output time: cap, flow direction, duration, time of
// increase, difference, and the time and end tests of a walk over two inputs.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "results/res_fields.hpp"
#include "results/step_ops.hpp"
#include "util/console.hpp"
#include "util/numbers.hpp"
#include "util/run_end.hpp"
#include "util/units.hpp"
#include "util/zeroed_array.hpp"

namespace zorvel::results {
namespace {

using testing::flags_of;
using testing::scalar;
using testing::values_of;
using testing::ys_of;

RES_TYPE vector(std::vector<std::pair<float, float>> xy) {
    RES_TYPE r;
    r.nnodes = static_cast<std::int32_t>(xy.size());
    r.is_vector = true;
    std::vector<testing::Node> nodes;
    for (auto [x, y] : xy) nodes.push_back({x, y, 0});
    testing::set_nodes(r, nodes);
    return r;
}

// The console text written by f (a run end is let through to the caller).
template <typename F>
std::string console_of(F f) {
    std::ostringstream out;
    std::istringstream in;
    util::ConsoleCapture capture(out, in);
    f();
    return out.str();
}

// The console text of a call that must end the run.
template <typename F>
std::string run_end_text(F f) {
    std::ostringstream out;
    std::istringstream in;
    util::ConsoleCapture capture(out, in);
    util::FILEUNITINIT(1000);
    EXPECT_THROW(f(), util::RunEnd);
    return out.str();
}

// Makes the array hold the values.
template <typename T>
void set(util::ZeroedArray<T>& a, std::vector<T> values) {
    ASSERT_EQ(a.allocate(static_cast<std::int64_t>(values.size())), 0);
    std::copy(values.begin(), values.end(), a.begin());
}

// The entries of the array.
template <typename T>
std::vector<T> entries(const util::ZeroedArray<T>& a) {
    return std::vector<T>(a.begin(), a.end());
}

TEST(StepOps, CapKeepsDirectionAndLeavesZeroVectorsAlone) {
    RES_TYPE s = scalar({5, -5, 1, NAN});
    RES_CAP(s, 1.0f);
    EXPECT_EQ(values_of(s)[0], 1.0f);
    EXPECT_EQ(values_of(s)[1], -5.0f);
    EXPECT_EQ(values_of(s)[2], 1.0f);
    EXPECT_TRUE(std::isnan(values_of(s)[3]));

    RES_TYPE v = vector({{0.6f, 0.8f}, {3, 4}, {0, 0}, {0.5f, 0}});
    RES_CAP(v, 1.0f);
    EXPECT_FLOAT_EQ(v.value[0], 0.6f);
    EXPECT_FLOAT_EQ(v.y[0], 0.8f);
    EXPECT_FLOAT_EQ(v.value[1], 0.6f);
    EXPECT_FLOAT_EQ(v.y[1], 0.8f);
    EXPECT_EQ(ys_of(v)[2], 0.0f);
    EXPECT_EQ(v.value[3], 0.5f);  // shorter than the cap

    // A cap of 0 or below scales every non-zero vector by cap / length; a zero vector
    // (also one whose components are both within the speed threshold) stays.
    for (float cap : {0.0f, -1.0f}) {
        RES_TYPE w = vector({{3, 4}, {0, 0}, {1.0e-7f, -1.0e-7f}});
        RES_CAP(w, cap);
        EXPECT_FLOAT_EQ(w.value[0], 0.6f * cap) << cap;
        EXPECT_FLOAT_EQ(w.y[0], 0.8f * cap) << cap;
        EXPECT_EQ(w.value[1], 0.0f);
        EXPECT_EQ(w.y[1], 0.0f);
        EXPECT_EQ(w.value[2], 1.0e-7f);
        EXPECT_EQ(w.y[2], -1.0e-7f);
    }
}

TEST(StepOps, VelocityAngleIsClockwiseFromNorth) {
    RES_TYPE v = vector({{0, 1}, {1, 0}, {-1, 0}, {0, -1}, {-0.0f, -1}, {0, 0}, {1, 1}});
    RES_VEL_ANGLE(v);
    EXPECT_EQ(values_of(v), (std::vector<float>{0, 90, -90, 180, 180, 0, 45}));
    EXPECT_EQ(ys_of(v), (std::vector<float>{1, 0, 0, -1, -1, 0, 1}));

    RES_TYPE s = scalar({1});
    EXPECT_EQ(run_end_text([&] { RES_VEL_ANGLE(s); }),
              "\nERROR - Must be vector dataset to process velocity angle.\n\nPress Enter to Close\n");
}

TEST(StepOps, VelocityAngleOfAZeroVectorIsPlusZeroWhateverTheSignsOfItsZeros) {
    const std::vector<std::pair<float, float>> zeros = {{0.0f, 0.0f}, {-0.0f, 0.0f}, {0.0f, -0.0f}, {-0.0f, -0.0f}};
    RES_TYPE v = vector(zeros);
    RES_VEL_ANGLE(v);
    for (std::size_t j = 0; j < zeros.size(); ++j) {
        SCOPED_TRACE(std::string("x ") + (std::signbit(zeros[j].first) ? "-0" : "+0") + ", y " +
                     (std::signbit(zeros[j].second) ? "-0" : "+0"));
        EXPECT_EQ(v.value[j], 0.0f);
        EXPECT_FALSE(std::signbit(v.value[j]));
    }
}

TEST(StepOps, DurationInterpolatesCrossingsOfTheCutoff) {
    // Previous -> current, cut-off 0.1, a step of one hour: the four cases, and a NaN
    // that never counts.
    DurationState d;
    ASSERT_EQ(allocate_duration_state(d, 5), 0);
    d.cutoff = 0.1f;
    d.time_prev = 2.0f;
    set(d.prev, {0.0f, 0.2f, 0.1f, 0.05f, NAN});
    set(d.now, {0.2f, 0.0f, 0.1f, 0.05f, 1.0f});
    RES_TYPE step = scalar({0, 0, 0, 0, 0}, {1, 0, -1});
    step.time = 3.0f;
    RES_TYPE result = scalar({0, 0, 0, 0, 0}, {0, 0, 0});
    EXPECT_EQ(console_of([&] { RES_DURATION(d, step, result); }),
              "...Duration Increment = 1.00   Average duration of all nodes = 0.40h\n");
    EXPECT_FLOAT_EQ(d.duration[0], 0.5f);
    EXPECT_FLOAT_EQ(d.duration[1], 0.5f);
    EXPECT_EQ(d.duration[2], 1.0f);
    EXPECT_EQ(d.duration[3], 0.0f);
    EXPECT_EQ(d.duration[4], 0.0f);
    EXPECT_EQ(entries(d.prev), (std::vector<float>{0.2f, 0.0f, 0.1f, 0.05f, 1.0f}));  // the values now
    EXPECT_EQ(d.time_prev, 3.0f);
    EXPECT_EQ(flags_of(result), (std::vector<int>{1, 0, 1}));

    // The next half hour adds to what was there; wet cells stay wet.
    set(d.now, {0.3f, 0.3f, 0.0f, 0.05f, 1.0f});
    step.time = 3.5f;
    testing::set_cells(step, {0, 1, 0});
    EXPECT_EQ(console_of([&] { RES_DURATION(d, step, result); }),
              "...Duration Increment = 0.50   Average duration of all nodes = 0.27h\n");
    EXPECT_FLOAT_EQ(d.duration[0], 1.0f);
    EXPECT_FLOAT_EQ(d.duration[1], 0.5f + 0.5f * (0.3f - 0.1f) / 0.3f);
    EXPECT_FLOAT_EQ(d.duration[2], 1.0f + 0.5f * (0.1f - 0.1f) / 0.1f);
    EXPECT_EQ(d.duration[4], 0.5f);
    EXPECT_EQ(flags_of(result), (std::vector<int>{1, 1, 1}));
}

TEST(StepOps, DurationOfManyNodesFollowsTheFourCases) {
    // Values around the cut-off 0.5, exactly at it, NaN and infinities, in every pairing;
    // each node's hours worked out one by one by the four cases. A step that rises to or
    // falls from +infinity is above the cut-off for its whole length (no inf / inf); one
    // from or to -infinity crosses at its far end.
    const std::vector<float> levels = {0.0f, 0.25f, 0.5f, 0.75f, 1.0f, NAN, -1.0f, INFINITY, -INFINITY};
    std::vector<float> prev, now, want;
    for (float e : levels) {
        for (float v : levels) {
            prev.push_back(e);
            now.push_back(v);
            float add = 0.0f;
            if (0.5f <= v && 0.5f <= e)
                add = 2.0f;
            else if (0.5f <= v && e < 0.5f)
                add = v == INFINITY ? 2.0f : (v - 0.5f) / (v - e) * 2.0f;
            else if (v < 0.5f && 0.5f <= e)
                add = e == INFINITY ? 2.0f : (e - 0.5f) / (e - v) * 2.0f;
            want.push_back(1.0f + add);
        }
    }
    DurationState d;
    set(d.prev, prev);
    set(d.now, now);
    set(d.duration, std::vector<float>(now.size(), 1.0f));
    d.cutoff = 0.5f;
    d.time_prev = 1.0f;
    RES_TYPE step = scalar(std::vector<float>(now.size(), 0.0f));
    step.time = 3.0f;
    RES_TYPE result = scalar(std::vector<float>(now.size(), 0.0f));
    console_of([&] { RES_DURATION(d, step, result); });
    EXPECT_EQ(entries(d.duration), want);
    for (std::size_t i = 0; i < now.size(); ++i) {
        EXPECT_TRUE(d.prev[i] == now[i] || (std::isnan(d.prev[i]) && std::isnan(now[i]))) << i;
        if (!std::isnan(prev[i]) && !std::isnan(now[i])) {
            EXPECT_FALSE(std::isnan(d.duration[i])) << i;
        }
    }
}

TEST(StepOps, TimeOfIncreaseInterpolatesOnlyInsideTheStep) {
    ToiState t;
    ASSERT_EQ(allocate_toi_state(t, 4), 0);
    t.time_prev = 2.0f;
    set(t.threshold, {1.0f, 1.0f, 1.0f, 0.0f});
    // Node 1 crosses inside the step; node 2 stays below; node 3 was already above its
    // threshold; node 4 sits exactly at it with an unchanged value (no 0/0).
    set(t.prev, {0.5f, 0.5f, 2.0f, 0.0f});
    set(t.now, {1.5f, 0.9f, 3.0f, 0.0f});
    RES_TYPE step = scalar({0, 0, 0, 0}, {0, 1});
    step.time = 3.0f;
    RES_TYPE result = scalar({0, 0, 0, 0}, {0, 0});
    EXPECT_EQ(console_of([&] { RES_TOI(t, step, result); }),
              "...Duration Increment = 1.00   % of cells where toi exceeded =  0.75\n");
    EXPECT_EQ(entries(t.toi), (std::vector<float>{2.5f, 0.0f, 2.0f, 2.0f}));
    EXPECT_EQ(entries(t.reached), (std::vector<std::uint8_t>{1, 0, 1, 1}));
    EXPECT_EQ(flags_of(result), (std::vector<int>{0, 1}));

    // A later drop below the threshold unmarks nothing; node 2 crosses now, from 0.9.
    set(t.now, {0.0f, 1.9f, 0.0f, -1.0f});
    step.time = 5.0f;
    EXPECT_EQ(console_of([&] { RES_TOI(t, step, result); }),
              "...Duration Increment = 2.00   % of cells where toi exceeded =  0.25\n");
    EXPECT_FLOAT_EQ(t.toi[1], 3.0f + 2.0f * 0.1f);
    EXPECT_EQ(t.toi[0], 2.5f);
    EXPECT_EQ(entries(t.reached), (std::vector<std::uint8_t>{1, 1, 1, 1}));
    EXPECT_EQ(t.prev[0], 1.5f);  // a reached node keeps the value it was reached with
}

TEST(StepOps, TimeOfIncreaseOfInfiniteValuesIsNeverNaN) {
    // Previous value, value now and threshold of each node over a step from 2 to 4 hours: a
    // step that rises to +infinity is at or above the threshold from its start; one from
    // -infinity crosses at its end; an infinite threshold is reached only by +infinity.
    const struct {
        float prev, now, threshold, toi;
    } cases[] = {
        {0.5f, INFINITY, 1.0f, 2.0f},        {-INFINITY, INFINITY, 1.0f, 2.0f}, {INFINITY, INFINITY, 1.0f, 2.0f},
        {INFINITY, 3.0f, 1.0f, 2.0f},        {-INFINITY, 3.0f, 1.0f, 4.0f},     {0.5f, INFINITY, INFINITY, 2.0f},
        {-INFINITY, -INFINITY, -INFINITY, 2.0f},
    };
    const std::size_t n = std::size(cases);
    ToiState t;
    ASSERT_EQ(allocate_toi_state(t, static_cast<std::int32_t>(n)), 0);
    t.time_prev = 2.0f;
    std::vector<float> prev, now, threshold;
    for (const auto& c : cases) {
        prev.push_back(c.prev);
        now.push_back(c.now);
        threshold.push_back(c.threshold);
    }
    set(t.prev, prev);
    set(t.now, now);
    set(t.threshold, threshold);
    RES_TYPE step = scalar(std::vector<float>(n, 0.0f));
    step.time = 4.0f;
    RES_TYPE result = scalar(std::vector<float>(n, 0.0f));
    console_of([&] { RES_TOI(t, step, result); });
    for (std::size_t i = 0; i < n; ++i) {
        EXPECT_EQ(t.toi[i], cases[i].toi) << "case " << i;
        EXPECT_EQ(t.reached[i], 1) << "case " << i;
    }
}

// Steps of a walk, node values as a ".dat" record stores them (reals, or (x, y) pairs), with
// crossings of the cut-off both ways, values at it, NaN and infinities; and cell flags.
struct WalkSteps {
    static constexpr std::size_t kNodes = 1003;
    static constexpr std::size_t kCells = 301;
    bool pairs;
    std::vector<float> times;
    std::vector<std::vector<float>> values;  // kNodes values, or 2 * kNodes components
    std::vector<std::vector<std::int8_t>> flags;

    explicit WalkSteps(bool as_pairs) : pairs(as_pairs) {
        const std::vector<float> odd = {NAN, INFINITY, -INFINITY, 0.5f, -0.0f};
        for (std::size_t k = 0; k < 7; ++k) {
            times.push_back(k == 4 ? times.back() : 0.25f * static_cast<float>(k + 1));
            std::vector<float> v;
            for (std::size_t j = 0; j < kNodes; ++j) {
                float x = static_cast<float>((j * 7 + k * 5) % 17) * 0.0625f;
                if ((j + k) % 41 == 0) x = odd[(j + k) % odd.size()];
                v.push_back(x);
                if (pairs) v.push_back(static_cast<float>((j + k) % 3) * 0.25f);
            }
            values.push_back(v);
            std::vector<std::int8_t> f;
            for (std::size_t i = 0; i < kCells; ++i) f.push_back(static_cast<std::int8_t>((i * 3 + k) % 4) - 1);
            flags.push_back(f);
        }
    }
    // The values of step k that the walk compares: the reals, or the magnitudes.
    std::vector<float> compared(std::size_t k) const {
        if (!pairs) return values[k];
        std::vector<float> m;
        for (std::size_t j = 0; j < kNodes; ++j)
            m.push_back(util::VECTOR_MAGNITUDE(values[k][2 * j], values[k][2 * j + 1]));
        return m;
    }
    // The record of step k, flags and time set.
    RES_TYPE record(std::size_t k) const {
        RES_TYPE r = scalar(std::vector<float>(kNodes, 0.0f), flags[k]);
        r.time = times[k];
        return r;
    }
    // Steps 1 and on as one run.
    StepRun run() const {
        StepRun r;
        r.count = times.size() - 1;
        r.pairs = pairs;
        r.nnodes = static_cast<std::int32_t>(kNodes);
        r.ncells = static_cast<std::int32_t>(kCells);
        for (std::size_t k = 1; k < times.size(); ++k) {
            r.time[k - 1] = times[k];
            r.values[k - 1] = reinterpret_cast<const std::byte*>(values[k].data());
            r.flags[k - 1] = flags[k].data();
        }
        return r;
    }
};

// Takes steps 1 and on one after another as RES_TOI or RES_DURATION (take), with now the
// values that each compares put into it first; the console text.
template <typename Take>
std::string take_steps(const WalkSteps& w, Take take, util::ZeroedArray<float>* now = nullptr) {
    std::string text;
    for (std::size_t k = 1; k < w.times.size(); ++k) {
        if (now != nullptr) set(*now, w.compared(k));
        const RES_TYPE step = w.record(k);
        text += console_of([&] { take(step); });
    }
    return text;
}

// Folds the run into the fold over uneven blocks of nodes and cells, some of them starting
// off a multiple of four, then takes its steps as RES_TOI or RES_DURATION (take); the console text.
template <typename Take>
std::string fold_as_run(const WalkSteps& w, StepFold& fold, RES_TYPE& result, Take take) {
    const StepRun run = w.run();
    fold.cells = std::span(result.CELL);
    fold.start_run(run);
    for (auto [first, last] : {std::pair{0, 8}, {8, 14}, {14, 520}, {520, 1003}})
        fold.fold_nodes(run, first, last - first);
    for (auto [first, last] : {std::pair{0, 17}, {17, 301}}) fold.fold_cells(run, first, last - first);
    return take_steps(w, take);
}

TEST(StepOps, ARunOfStepsFoldsAsItsStepsOneAtATime) {
    for (bool pairs : {false, true}) {
        SCOPED_TRACE(pairs ? "vectors" : "scalars");
        const WalkSteps w(pairs);
        const std::size_t n = WalkSteps::kNodes;

        // The duration: every figure of the progress lines, the hours and the values held.
        DurationState one, run;
        for (DurationState* d : {&one, &run}) {
            ASSERT_EQ(allocate_duration_state(*d, static_cast<std::int32_t>(n)), 0);
            d->cutoff = 0.5f;
            d->time_prev = w.times[0];
            set(d->prev, w.compared(0));
        }
        RES_TYPE one_result = scalar(std::vector<float>(n, 0.0f), std::vector<std::int8_t>(WalkSteps::kCells, 0));
        RES_TYPE run_result = one_result;
        const std::string one_text =
            take_steps(w, [&](const RES_TYPE& step) { RES_DURATION(one, step, one_result); }, &one.now);
        const std::string run_text =
            fold_as_run(w, run, run_result, [&](const RES_TYPE& step) { RES_DURATION(run, step, run_result); });
        EXPECT_EQ(run_text, one_text);
        EXPECT_EQ(std::memcmp(run.duration.data(), one.duration.data(), 4 * n), 0);
        EXPECT_EQ(std::memcmp(run.prev.data(), one.prev.data(), 4 * n), 0);
        EXPECT_EQ(flags_of(run_result), flags_of(one_result));

        // The time of increase, with a negative cut-off and with thresholds above the first values.
        for (float cutoff : {-0.75f, 0.25f}) {
            ToiState t_one, t_run;
            for (ToiState* t : {&t_one, &t_run}) {
                ASSERT_EQ(allocate_toi_state(*t, static_cast<std::int32_t>(n)), 0);
                t->time_prev = w.times[0];
                set(t->prev, w.compared(0));
                for (std::size_t j = 0; j < n; ++j) t->threshold[j] = cutoff < 0 ? -cutoff : t->prev[j] + cutoff;
            }
            RES_TYPE toi_one = scalar(std::vector<float>(n, 0.0f), std::vector<std::int8_t>(WalkSteps::kCells, 0));
            RES_TYPE toi_run = toi_one;
            const std::string toi_text =
                take_steps(w, [&](const RES_TYPE& step) { RES_TOI(t_one, step, toi_one); }, &t_one.now);
            EXPECT_EQ(fold_as_run(w, t_run, toi_run, [&](const RES_TYPE& step) { RES_TOI(t_run, step, toi_run); }),
                      toi_text);
            EXPECT_EQ(std::memcmp(t_run.toi.data(), t_one.toi.data(), 4 * n), 0);
            EXPECT_EQ(entries(t_run.reached), entries(t_one.reached));
            EXPECT_EQ(flags_of(toi_run), flags_of(toi_one));
        }
    }
}

TEST(StepOps, DifferenceCodesWetAndDryNodes) {
    MESH_TYPE mesh;
    mesh.NODES.resize(4);
    for (mesh_node& n : mesh.NODES) n.z = n.z2 = 10.0f;
    const WaterLevelRecord none;

    // Own levels: a dry at 10.0005 (not above 10.001), both wet, both dry, only a wet.
    RES_TYPE a = scalar({10.0005f, 11.0f, 9.0f, 10.5f}, {1, 0, -1});
    RES_TYPE b = scalar({11.0f, 10.5f, 9.5f, 10.0f}, {0, 0, 1});
    a.time = 2.0f;
    b.time = 2.0005f;
    RES_TYPE r = scalar({7, 7, 7, 7}, {7, 7, 7});
    r.is_vector = true;
    EXPECT_EQ(console_of([&] { RES_DIFFERENCE(a, b, r, none, none, mesh, true, false); }),
              "\nProcessing difference results.\n");
    EXPECT_EQ(values_of(r), (std::vector<float>{-99.0f, 0.5f, 0.0f, 99.0f}));
    EXPECT_EQ(flags_of(r), (std::vector<int>{1, 0, 1}));  // wet where either is wet
    EXPECT_EQ(r.time, 2.0f);
    EXPECT_FALSE(r.is_vector);

    // Levels from the water-level records; without the test the plain difference, wet
    // only where both are wet: any flag but 0 (-1 is 255 as other writers store it), written 1.
    WaterLevelRecord wa, wb;
    wa.values = {11, 11, 9, 9};
    wb.values = {11, 9, 11, 9};
    RES_TYPE da = scalar({3, 3, 3, 3}, {1, 1, -1, 2});
    RES_TYPE db = scalar({1, 1, 1, 1}, {1, 0, 1, -1});
    RES_TYPE r4 = scalar({7, 7, 7, 7}, {7, 7, 7, 7});
    da.time = 1.0f;
    db.time = 1.5f;
    EXPECT_EQ(console_of([&] { RES_DIFFERENCE(da, db, r4, wa, wb, mesh, false, false); }),
              "\nProcessing difference results.\n\nWarning - Timesteps do not match.\n");
    EXPECT_EQ(values_of(r4), (std::vector<float>{2, 99, -99, 0}));
    EXPECT_EQ(flags_of(r4), (std::vector<int>{1, 1, 1, 1}));
    console_of([&] { RES_DIFFERENCE(da, db, r4, wa, wb, mesh, false, true); });
    EXPECT_EQ(values_of(r4), (std::vector<float>{2, 2, 2, 2}));
    EXPECT_EQ(flags_of(r4), (std::vector<int>{1, 0, 1, 1}));

    // Vectors are differenced by their speeds; a scalar second record ends the run.
    RES_TYPE va = vector({{3, 4}});
    RES_TYPE vb = vector({{0, 1}});
    RES_TYPE vr = scalar({0});
    console_of([&] { RES_DIFFERENCE(va, vb, vr, none, none, mesh, false, true); });
    EXPECT_EQ(values_of(vr), (std::vector<float>{4}));
    RES_TYPE vs = scalar({1});
    EXPECT_EQ(run_end_text([&] { RES_DIFFERENCE(va, vs, vr, none, none, mesh, false, true); }),
              "\nProcessing difference results.\n\nERROR - Second data for -dif option is not a vector.\n\n"
              "Press Enter to Close\n");
}

TEST(StepOps, CheckTimesAndEndOfData) {
    RES_TYPE a = scalar({});
    RES_TYPE b = scalar({});
    bool a_ahead = true, b_ahead = true, same = false;
    a.time = 1.0f;
    b.time = 1.00004f;
    EXPECT_EQ(console_of([&] { CHECK_TIMES(a, b, a_ahead, b_ahead, same); }), "");
    EXPECT_TRUE(same);
    EXPECT_TRUE(a_ahead && b_ahead);  // left as they were

    b.time = 1.1f;
    EXPECT_EQ(console_of([&] { CHECK_TIMES(a, b, a_ahead, b_ahead, same); }),
              "WARNING - Inconsistent times were found:     1.000     1.100\n");
    EXPECT_FALSE(same);
    EXPECT_FALSE(a_ahead);
    EXPECT_TRUE(b_ahead);

    // An ".xmdf" input of 5 steps against a ".dat" input whose end its record tells.
    struct Case {
        std::int32_t step_a;
        bool b_end;
        bool done;
    };
    for (const Case& c : {Case{4, false, false}, Case{5, false, true}, Case{6, false, true}, Case{1, true, true}}) {
        b.end_of_data = c.b_end;
        bool done = false;
        END_OF_DATA(a, b, 5, 0, c.step_a, 99, done);
        EXPECT_EQ(done, c.done) << c.step_a << c.b_end;
    }
    b.end_of_data = false;
    bool done = true;
    END_OF_DATA(a, b, 5, -99, 1, 1, done);
    EXPECT_TRUE(done);  // kept
}

}  // namespace
}  // namespace zorvel::results
