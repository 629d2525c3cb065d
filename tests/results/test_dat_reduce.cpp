// Reading ".dat" records into result records: the next record, the search by time
// and the reductions to maximum, minimum and average.

#include <cmath>
#include <filesystem>
#include <utility>
#include <vector>

#include "results/dat.hpp"
#include "results/dat_test_base.hpp"
#include "results/res_fields.hpp"
#include "results/res_ops.hpp"
#include "util/numbers.hpp"

namespace zorvel::results {
namespace {

using testing::values_of;
using testing::ys_of;
using testing::flags_of;

using testing::DatBytes;
using testing::expect_error_end;
using testing::kPressEnter;

// One time record of a test file.
struct Rec {
    float time;
    std::vector<std::int8_t> flags;  // empty: the record carries none
    std::vector<float> values;
};

DatBytes file_of(std::int32_t nnodes, std::int32_t ncells, bool vector, const std::vector<Rec>& recs,
                 bool end_card = true) {
    DatBytes d = DatBytes().header(nnodes, ncells, vector, "Water Level");
    for (const Rec& r : recs) d.record(r.time, r.flags, r.values);
    if (end_card) d.end();
    return d;
}

RES_TYPE record_of(std::int32_t nnodes, std::int32_t ncells, bool vector, float value, std::int8_t flag) {
    RES_TYPE r;
    r.nnodes = nnodes;
    r.ncells = ncells;
    r.is_vector = vector;
    testing::fill_nodes(r, static_cast<std::size_t>(nnodes), value);
    CHECK_ALLOC(allocate_array(r.CELL, ncells, CELL_RES_TYPE{flag}));
    return r;
}


class DatReduce : public testing::DatTest {
protected:
    // Writes the file, opens it and reads its header, as the driver does before a reduction.
    int open_at_first_record(const DatBytes& bytes, const std::string& name = "in.dat") {
        path_ = dir_.write(name, bytes);
        const int unit = testing::open_in(path_);
        std::int32_t nnodes = 0, ncells = 0, card = 0;
        bool vector = false;
        std::string dataset;
        READDATHEADER(unit, nnodes, ncells, card, vector, path_, dataset);
        clear_console();
        return unit;
    }
    std::string path_;
};

TEST_F(DatReduce, NextTimestepReadsEachRecordThenMarksTheEnd) {
    const int unit = open_at_first_record(
        file_of(2, 1, true, {{1.0f, {1}, {1, 2, 3, 4}}, {2.5f, {}, {5, 6, 7, 8}}}, false));
    RES_TYPE r = record_of(2, 1, true, 0.0f, 0);
    NEXTDATTIMESTEP(unit, r);
    EXPECT_EQ(console_text(), "   Call ReadDatFile.\nReading data for time 1.000\nDone.\n   Done.\n");
    EXPECT_FALSE(r.end_of_data);
    EXPECT_EQ(r.time, 1.0f);
    EXPECT_EQ(values_of(r), (std::vector<float>{1, 3}));
    EXPECT_EQ(ys_of(r), (std::vector<float>{2, 4}));
    EXPECT_EQ(flags_of(r), (std::vector<int>{1}));

    clear_console();
    NEXTDATTIMESTEP(unit, r);
    EXPECT_EQ(console_text(), "   Call ReadDatFile.\nReading data for time 2.500\nDone.\n   Done.\n\nEnd of .dat file.\n");
    EXPECT_TRUE(r.end_of_data);
    EXPECT_EQ(values_of(r), (std::vector<float>{5, 7}));
    EXPECT_EQ(flags_of(r), (std::vector<int>{1}));  // no flags in the record: the previous ones stay

    clear_console();
    NEXTDATTIMESTEP(unit, r);
    EXPECT_EQ(console_text(), "");
    EXPECT_EQ(r.time, 2.5f);
}

// The three scalar records of the maximum and minimum cases: 3 nodes, 2 cells.
const Rec kR1{1.0f, {0, 0}, {1, 5, 0}};
const Rec kR2{2.0f, {1, 0}, {3, 2, 0}};
const Rec kR3{3.0f, {0, 0}, {2, 4, 0}};
const Rec kStoredMax{99999.0f, {1, 1}, {9, 0, 9}};
const Rec kTimeOfMax{99999.1f, {1, 1}, {100, 100, 100}};

TEST_F(DatReduce, MaximumsFoldEveryRecordOrTakeTheStoredMaximum) {
    struct Case {
        const char* what;
        std::vector<Rec> recs;
        bool ignore_mm;
        std::vector<float> max, tmax;
        std::vector<int> cells;
        const char* line;  // a line the console must show
    };
    const float S = 99999.0f;
    const std::vector<Case> cases = {
        {"three times", {kR1, kR2, kR3}, false, {3, 5, 0}, {2, 1, 1}, {1, 0}, "Processing\n"},
        {"one time", {kR2}, false, {3, 2, 0}, {2, 2, 2}, {1, 0}, "Processing\n"},
        {"stored maximum last",
         {kR1, kR2, kStoredMax},
         false,
         {9, 0, 9},
         {S, S, S},
         {1, 1},
         "\nFile has maximums stored (time = 99,999) using these values and ignoring all other timesteps.\n"},
        {"stored maximum last, ignored",
         {kR1, kR2, kStoredMax},
         true,
         {3, 5, 0},
         {2, 1, 1},
         {1, 0},
         "\nIgnoring maximum values as -ignore_MM has been specified.\n"},
        {"stored maximum before the time of maximum",
         {kR1, kR2, kStoredMax, kTimeOfMax},
         false,
         {9, 5, 9},
         {S, 1, S},
         {1, 1},
         "Reading data for time 99999.102\nDone.\n\nFinished"},
        {"stored maximum skipped",
         {kR1, kR2, kStoredMax, kTimeOfMax},
         true,
         {3, 5, 0},
         {2, 1, 1},
         {1, 0},
         "\nIgnoring maximum values as -ignore_MM specified.\n"},
        {"records after the time of maximum are not read", {kR1, kTimeOfMax, kR2}, false, {1, 5, 0}, {1, 1, 1},
         {0, 0}, "Reading data for time 99999.102\nDone.\n\nFinished processing file.\n"},
        {"a record without flags takes those of the last that had them, even a skipped one",
         {kR1, kStoredMax, {3.0f, {}, {0, 0, 0}}, kTimeOfMax},
         true,
         {1, 5, 0},
         {1, 1, 1},
         {1, 1},
         "Processing\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        util::FILEUNITINIT(1000);
        const int unit = open_at_first_record(file_of(3, 2, false, c.recs));
        RES_TYPE max = record_of(3, 2, false, -99999.0f, 0);
        RES_TYPE tmax = record_of(3, 2, false, -99999.0f, 0);
        DATMAXIMUMS(unit, false, max, tmax, c.ignore_mm);
        EXPECT_EQ(values_of(max), c.max);
        EXPECT_EQ(values_of(tmax), c.tmax);
        EXPECT_EQ(flags_of(max), c.cells);
        EXPECT_EQ(flags_of(tmax), c.cells);
        EXPECT_EQ(ys_of(max), (std::vector<float>(3, -99999.0f)));  // a scalar fold leaves y alone
        EXPECT_NE(console_text().find(c.line), std::string::npos) << console_text();
        EXPECT_EQ(console_text().rfind("\nFinished processing file.\n"), console_text().size() - 27);
    }
}

// Many nodes and cells, so that the wide paths of the folds are used (the larger meshes over
// several blocks of a group, the largest with records longer than the fold buffer, read in
// pieces), against a plain fold written out here.
TEST_F(DatReduce, ExtremesOfManyNodesMatchAPlainFold) {
    for (const auto& [nn, nc] :
         {std::pair<std::int32_t, std::int32_t>{37, 35}, {70001, 70003}, {300001, 1100003}}) {
        SCOPED_TRACE(nn);
        std::vector<Rec> recs;
        std::uint32_t seed = 12345;
        const auto next = [&] { return seed = seed * 1103515245u + 12345u, (seed >> 16) % 7; };
        for (int k = 0; k < 6; ++k) {
            Rec r{static_cast<float>(k + 1), {}, {}};
            for (int i = 0; i < nc; ++i)
                r.flags.push_back(static_cast<std::int8_t>(static_cast<int>(next() % 3) - 1));
            for (int j = 0; j < nn; ++j)
                r.values.push_back(static_cast<float>(next()) - (j == 20 && k == 2 ? NAN : 0.0f));
            if (k == 3) r.flags.clear();
            recs.push_back(r);
        }
        for (bool max_kind : {true, false}) {
            SCOPED_TRACE(max_kind ? "maximum" : "minimum");
            util::FILEUNITINIT(1000);
            const float start = max_kind ? -99999.0f : 99999.0f;
            RES_TYPE ext = record_of(nn, nc, false, start, max_kind ? 0 : 1);
            RES_TYPE text = record_of(nn, nc, false, -1.0f, 0);
            const int unit = open_at_first_record(file_of(nn, nc, false, recs));
            if (max_kind)
                DATMAXIMUMS(unit, false, ext, text, false);
            else
                DATMINIMUMS(unit, false, ext, text, false);

            std::vector<float> value(nn, start), time(nn, -1.0f);
            std::vector<int> cell(nc, max_kind ? 0 : 1);
            std::vector<std::int8_t> flags;
            for (const Rec& r : recs) {
                if (!r.flags.empty()) flags = r.flags;
                for (int j = 0; j < nn; ++j) {
                    if (max_kind ? r.values[j] > value[j] : r.values[j] < value[j])
                        value[j] = r.values[j], time[j] = r.time;
                }
                for (int i = 0; i < nc; ++i)
                    cell[i] = max_kind ? std::max(cell[i], std::abs(flags[i])) : std::min(cell[i], std::abs(flags[i]));
            }
            EXPECT_EQ(values_of(ext), value);
            EXPECT_EQ(values_of(text), time);
            EXPECT_EQ(flags_of(ext), cell);
            EXPECT_EQ(flags_of(text), cell);
        }
    }
}

// Vectors and averages of a large mesh, against plain folds written out here.
TEST_F(DatReduce, VectorExtremesAndAveragesOfALargeMeshMatchAPlainFold) {
    const std::int32_t nn = 70001, nc = 69999;
    std::vector<Rec> recs;
    std::uint32_t seed = 777;
    const auto next = [&] { return seed = seed * 1103515245u + 12345u, static_cast<int>((seed >> 16) % 9); };
    for (int k = 0; k < 5; ++k) {
        Rec r{static_cast<float>(k) * 0.5f, {}, {}};
        for (int i = 0; i < nc; ++i) r.flags.push_back(static_cast<std::int8_t>(next() % 3 - 1));
        for (int j = 0; j < 2 * nn; ++j) r.values.push_back(static_cast<float>(next() - 4) * 0.25f);
        recs.push_back(r);
    }
    RES_TYPE max = record_of(nn, nc, true, 0.0f, 0);
    RES_TYPE tmax = record_of(nn, nc, true, -99999.0f, 0);
    DATMAXIMUMS(open_at_first_record(file_of(nn, nc, true, recs)), true, max, tmax, false);
    util::FILEUNITINIT(1000);
    RES_TYPE avg = record_of(nn, nc, true, 0.0f, 0);
    DATAVERAGES(open_at_first_record(file_of(nn, nc, true, recs)), true, avg);

    std::vector<float> x(nn, 0.0f), y(nn, 0.0f), speed(nn, 0.0f), time(nn, -99999.0f), sx(nn, 0.0f), sy(nn, 0.0f);
    std::vector<int> cell(nc, 0);
    for (const Rec& r : recs) {
        for (int j = 0; j < nn; ++j) {
            const float vx = r.values[2 * j], vy = r.values[2 * j + 1];
            const float s = util::VECTOR_MAGNITUDE(vx, vy);
            if (&r == &recs.front() || s > speed[j]) x[j] = vx, y[j] = vy, speed[j] = s, time[j] = r.time;
            sx[j] += vx;
            sy[j] += vy;
        }
        for (int i = 0; i < nc; ++i) cell[i] = std::max(cell[i], std::abs(r.flags[i]));
    }
    EXPECT_EQ(values_of(max), x);
    EXPECT_EQ(ys_of(max), y);
    EXPECT_EQ(values_of(tmax), time);
    EXPECT_EQ(flags_of(max), cell);
    for (float& v : sx) v /= 5.0f;
    for (float& v : sy) v /= 5.0f;
    EXPECT_EQ(values_of(avg), sx);
    EXPECT_EQ(ys_of(avg), sy);
    EXPECT_EQ(flags_of(avg), cell);
}

TEST_F(DatReduce, MaximumConsoleLines) {
    const int unit = open_at_first_record(file_of(3, 2, false, {kR1, kStoredMax}));
    RES_TYPE max = record_of(3, 2, false, -99999.0f, 0);
    RES_TYPE tmax = record_of(3, 2, false, -99999.0f, 0);
    DATMAXIMUMS(unit, false, max, tmax, false);
    EXPECT_EQ(console_text(),
              "\nExtracting maximums from all timesteps in .dat file\n"
              "Reading data for time 1.000\nDone.\nProcessing\n"
              "Reading data for time 99999.000\nDone.\n"
              "\nFile has maximums stored (time = 99,999) using these values and ignoring all other timesteps.\n"
              "\nFinished processing file.\n");
}

TEST_F(DatReduce, MinimumsMirrorTheMaximums) {
    const Rec stored_min{-99999.0f, {1, 0}, {-7, -7, -7}};
    struct Case {
        bool ignore_mm;
        std::vector<float> min, tmin;
        std::vector<int> cells;
        const char* lines;
    };
    const std::vector<Case> cases = {
        {false, {-7, -7, -7}, {-99999, -99999, -99999}, {1, 0},
         "Processing.\nReading data for time -99999.000\nDone.\n\nFile has minimums stored (time = 99,999) using "
         "these values and ignoring all other timesteps.\n"},
        {true, {1, 2, 0}, {1, 2, 1}, {0, 0},
         "Processing.\nReading data for time -99999.000\nDone.\n\nIgnoring minimum values as -ignore_MM "
         "specified.\n"},
    };
    for (const Case& c : cases) {
        util::FILEUNITINIT(1000);
        const int unit = open_at_first_record(file_of(3, 2, false, {kR1, kR2, stored_min}));
        RES_TYPE min = record_of(3, 2, false, 99999.0f, 1);
        RES_TYPE tmin = record_of(3, 2, false, 99999.0f, 0);
        DATMINIMUMS(unit, false, min, tmin, c.ignore_mm);
        EXPECT_EQ(values_of(min), c.min);
        EXPECT_EQ(values_of(tmin), c.tmin);
        EXPECT_EQ(flags_of(min), c.cells);
        EXPECT_TRUE(console_text().starts_with("\nExtracting minimums from all timesteps in .dat file\n"));
        EXPECT_NE(console_text().find(c.lines), std::string::npos) << console_text();
    }
}

TEST_F(DatReduce, VectorExtremesTakeBothComponentsOfTheFasterVector) {
    // Node 3 is still at every time: its vector and its time are those of the first record.
    const std::vector<Rec> recs = {{1.0f, {1}, {3, 4, 1, 0, 0, 0}}, {2.0f, {0}, {0, 4.5f, 0, 2, 0, 0}}};
    RES_TYPE max = record_of(3, 1, true, 0.0f, 0);
    RES_TYPE tmax = record_of(3, 1, true, -99999.0f, 0);
    DATMAXIMUMS(open_at_first_record(file_of(3, 1, true, recs)), true, max, tmax, false);
    EXPECT_EQ(values_of(max), (std::vector<float>{3, 0, 0}));
    EXPECT_EQ(ys_of(max), (std::vector<float>{4, 2, 0}));
    EXPECT_EQ(values_of(tmax), (std::vector<float>{1, 2, 1}));

    util::FILEUNITINIT(1000);
    RES_TYPE min = record_of(3, 1, true, 99999.0f, 1);
    RES_TYPE tmin = record_of(3, 1, true, 99999.0f, 0);
    DATMINIMUMS(open_at_first_record(file_of(3, 1, true, recs)), true, min, tmin, false);
    EXPECT_EQ(values_of(min), (std::vector<float>{0, 1, 0}));
    EXPECT_EQ(ys_of(min), (std::vector<float>{4.5f, 0, 0}));
    EXPECT_EQ(values_of(tmin), (std::vector<float>{2, 1, 1}));
    EXPECT_EQ(flags_of(min), (std::vector<int>{0}));
}

TEST_F(DatReduce, AveragesCountOnlyOutputTimes) {
    const std::vector<Rec> recs = {{0.5f, {0, 0}, {1, 2, 3, 10}},
                                   {1.0f, {}, {2, 2, 6, 20}},
                                   {99999.0f, {1, 1}, {500, 500, 500, 500}},
                                   {2.0f, {1, 0}, {6, 2, 0, 30}},
                                   {99999.1f, {1, 1}, {700, 700, 700, 700}}};
    RES_TYPE avg = record_of(2, 2, true, 0.0f, 0);
    DATAVERAGES(open_at_first_record(file_of(2, 2, true, recs)), true, avg);
    EXPECT_EQ(values_of(avg), (std::vector<float>{3, 3}));
    EXPECT_EQ(ys_of(avg), (std::vector<float>{2, 20}));
    EXPECT_EQ(flags_of(avg), (std::vector<int>{1, 0}));
    EXPECT_TRUE(console_text().starts_with("\nExtracting averages from all timesteps in .dat file\n"));
    EXPECT_TRUE(console_text().ends_with("Reading data for time 99999.102\nDone.\n\nFinished processing file.\n"));
}

TEST_F(DatReduce, FindTimeSearchesFromTheHeaderEveryTime) {
    const std::vector<Rec> recs = {{1.0f, {1, 0}, {1, 1, 1}}, {2.00005f, {}, {2, 2, 2}}, {3.0f, {0, 1}, {3, 3, 3}}};
    int unit = open_at_first_record(file_of(3, 2, false, recs));
    RES_TYPE r = record_of(3, 2, false, 0.0f, 0);
    r.end_of_data = true;
    FINDDATTIME(unit, r, 2.0f, 1.0e-4f, "in.dat");
    EXPECT_EQ(console_text(),
              "\nReading Header for: in.dat\nNumber Cells:           2\nNumber Nodes:           3\n"
              "Data Description: Water Level\n"
              "Reading data for time 1.000\nDone.\nReading data for time 2.000\nDone.\n"
              "...Found time      2.000 in dat file.\n");
    EXPECT_EQ(r.time, 2.00005f);
    EXPECT_EQ(values_of(r), (std::vector<float>{2, 2, 2}));
    EXPECT_EQ(flags_of(r), (std::vector<int>{1, 0}));  // the record has none: those read before it
    EXPECT_TRUE(r.end_of_data);

    FINDDATTIME(unit, r, 3.0f, 1.0e-4f, "in.dat");
    EXPECT_EQ(values_of(r), (std::vector<float>{3, 3, 3}));
    EXPECT_EQ(flags_of(r), (std::vector<int>{0, 1}));
    FINDDATTIME(unit, r, 1.0f, 1.0e-4f, "in.dat");
    EXPECT_EQ(values_of(r), (std::vector<float>{1, 1, 1}));

    for (float tol : {1.0e-4f, 0.0f}) {
        const float time = tol > 0 ? 4.0f : 3.0f;
        const std::string text = expect_error_end([&] { FINDDATTIME(unit, r, time, tol, "in.dat"); }, out_);
        EXPECT_TRUE(text.ends_with("Done.\n\nERROR - Could not find specified timestep in .dat file.\n"
                                   "Use -dttol<tolerance> to widen the time search, e.g. -dttol0.01\n" +
                                   std::string(kPressEnter)))
            << text;
        util::FILEUNITINIT(1000);
        unit = testing::open_in(path_);
    }
}

TEST_F(DatReduce, WaterLevelsFromTwoFilesInTurn) {
    const std::string first = dir_.write("a_h.dat", file_of(2, 1, false, {{1.0f, {1}, {10, 11}}, {2.0f, {0}, {12, 13}}}));
    const std::string second = dir_.write("b_h.dat", file_of(2, 1, true, {{2.0f, {1}, {20, -1, 21, -1}}}));
    const int a = testing::open_in(first);
    const int b = testing::open_in(second);
    const RES_TYPE counts = record_of(2, 1, false, 0.0f, 0);
    WaterLevelRecord wl1, wl2;
    ASSERT_EQ(allocate_water_levels(wl1, 2, 1), 0);
    ASSERT_EQ(allocate_water_levels(wl2, 2, 1), 0);
    wl1.time = -5.0f;
    FINDDATVALUES(a, counts, wl1, 2.0f, 1.0e-4f);
    FINDDATVALUES(b, counts, wl2, 2.0f, 1.0e-4f);
    EXPECT_EQ(wl1.values, (std::vector<float>{12, 13}));
    EXPECT_EQ(wl1.flags, (std::vector<std::int32_t>{0}));
    EXPECT_EQ(wl1.time, -5.0f);
    EXPECT_EQ(wl2.values, (std::vector<float>{20, 21}));  // the header's layout: first components
    EXPECT_EQ(wl2.flags, (std::vector<std::int32_t>{1}));
    const std::string header = "\nReading Header for: \nNumber Cells:           1\n";
    const std::string text = console_text();
    ASSERT_NE(text.find(header), std::string::npos) << text;
    EXPECT_NE(text.find(header, text.find(header) + 1), std::string::npos) << text;

    const RES_TYPE other = record_of(3, 1, false, 0.0f, 0);
    const std::string mismatch = expect_error_end([&] { FINDDATVALUES(a, other, wl1, 2.0f, 1.0e-4f); }, out_);
    EXPECT_NE(mismatch.find("\nERROR - Numbers of nodes and cells in .dat file do not match the results: \"" +
                            first + "\"\n"),
              std::string::npos)
        << mismatch;

    // Levels of a time the companion lacks: the data were found at it, so no advice on the tolerance.
    util::FILEUNITINIT(1000);
    const int again = testing::open_in(first);
    const std::string missing = expect_error_end([&] { FINDDATVALUES(again, counts, wl1, 3.0f, 1.0e-4f); }, out_);
    EXPECT_TRUE(missing.ends_with("Done.\n\nERROR - Could not find specified timestep in .dat file.\n" +
                                  std::string(kPressEnter)))
        << missing;
}

TEST_F(DatReduce, NextValuesKeepTheLastLevelsAtTheEnd) {
    const int unit = open_at_first_record(
        file_of(2, 1, true, {{1.0f, {1}, {10, 0, 11, 0}}, {2.0f, {0}, {12, 0, 13, 0}}}));
    RES_TYPE counts = record_of(2, 1, true, 0.0f, 0);
    WaterLevelRecord wl;
    ASSERT_EQ(allocate_water_levels(wl, 2, 1), 0);
    NEXTDATVALUES(unit, counts, wl);
    EXPECT_EQ(console_text(), "Reading data for time 1.000\nDone.\n");
    EXPECT_EQ(wl.flags, (std::vector<std::int32_t>{1}));
    NEXTDATVALUES(unit, counts, wl);
    NEXTDATVALUES(unit, counts, wl);
    EXPECT_TRUE(wl.end_of_data);
    EXPECT_EQ(wl.time, 2.0f);
    EXPECT_EQ(wl.values, (std::vector<float>{12, 13}));
    EXPECT_EQ(wl.flags, (std::vector<std::int32_t>{0}));
    EXPECT_EQ(wl.wl_max, 0);
    EXPECT_EQ(wl.wl_temporal, 0);
    EXPECT_TRUE(console_text().ends_with("Reading data for time 2.000\nDone.\n\nEnd of .dat file.\n"));
}

TEST_F(DatReduce, NextValuesAtATimeReadOnPastOtherTimes) {
    // Half-hourly levels of a vector file: the record at 1 h is found past the one at 0.5 h,
    // whose values are not taken; a time the file lacks reads it to its end and is not found,
    // and the levels keep the record found last.
    const int unit = open_at_first_record(file_of(
        2, 1, true, {{0.5f, {1}, {5, 0, 6, 0}}, {1.0f, {0}, {10, 0, 11, 0}}, {2.0f, {1}, {12, 0, 13, 0}}}));
    RES_TYPE counts = record_of(2, 1, true, 0.0f, 0);
    WaterLevelRecord wl;
    ASSERT_EQ(allocate_water_levels(wl, 2, 1), 0);
    EXPECT_TRUE(next_dat_values_at(unit, counts, wl, 1.00004f, 1.0e-4f));
    EXPECT_EQ(console_text(), "Reading data for time 0.500\nDone.\nReading data for time 1.000\nDone.\n");
    EXPECT_EQ(wl.time, 1.0f);
    EXPECT_EQ(wl.values, (std::vector<float>{10, 11}));
    EXPECT_EQ(wl.flags, (std::vector<std::int32_t>{0}));
    EXPECT_FALSE(wl.end_of_data);

    EXPECT_FALSE(next_dat_values_at(unit, counts, wl, 1.5f, 1.0e-4f));
    EXPECT_TRUE(wl.end_of_data);
    EXPECT_TRUE(console_text().ends_with("Reading data for time 2.000\nDone.\n\nEnd of .dat file.\n"));
    EXPECT_EQ(wl.time, 1.0f);
    EXPECT_EQ(wl.values, (std::vector<float>{10, 11}));
    EXPECT_FALSE(next_dat_values_at(unit, counts, wl, 2.0f, 1.0e-4f));  // ended: nothing more is read
}

TEST_F(DatReduce, FilesWithoutOutputTimesEndTheRun) {
    struct Case {
        const char* what;
        std::vector<Rec> recs;
        void (*call)(int unit);
    };
    const auto max = [](int unit) {
        RES_TYPE a = record_of(3, 2, false, 0.0f, 0), b = a;
        DATMAXIMUMS(unit, false, a, b, false);
    };
    const auto min = [](int unit) {
        RES_TYPE a = record_of(3, 2, false, 0.0f, 0), b = a;
        DATMINIMUMS(unit, false, a, b, true);
    };
    const auto avg = [](int unit) {
        RES_TYPE a = record_of(3, 2, false, 0.0f, 0);
        DATAVERAGES(unit, false, a);
    };
    const auto find = [](int unit) {
        RES_TYPE a = record_of(3, 2, false, 0.0f, 0);
        FINDDATTIME(unit, a, 1.0f, 1.0f, "in.dat");
    };
    const std::vector<Case> cases = {
        {"maximum", {}, max},
        {"minimum", {}, min},
        {"average", {}, avg},
        {"average of stored extremes only", {kStoredMax, kTimeOfMax}, avg},
        {"search", {}, find},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        util::FILEUNITINIT(1000);
        const int unit = open_at_first_record(file_of(3, 2, false, c.recs));
        const std::string text = expect_error_end([&] { c.call(unit); }, out_);
        EXPECT_TRUE(text.ends_with("\nERROR - No time record found in .dat file: \"" + path_ + "\"\n" +
                                   std::string(kPressEnter)))
            << text;
    }
}

// A file that another program cuts short after it was opened (its records counted from the
// size it had, and larger than what a read buffers) ends the run where its data end,
// whichever way its records are read.
TEST_F(DatReduce, AFileCutShortAfterItWasOpenedEndsTheRun) {
    constexpr std::int32_t kNodes = 30000;
    struct Case {
        const char* what;
        void (*call)(int unit);
    };
    const auto max = [](int unit) {
        RES_TYPE a = record_of(kNodes, 2, false, 0.0f, 0), b = a;
        DATMAXIMUMS(unit, false, a, b, false);
    };
    const auto avg = [](int unit) {
        RES_TYPE a = record_of(kNodes, 2, false, 0.0f, 0);
        DATAVERAGES(unit, false, a);
    };
    const auto next = [](int unit) {
        RES_TYPE a = record_of(kNodes, 2, false, 0.0f, 0);
        for (int k = 0; k < 4; ++k) NEXTDATTIMESTEP(unit, a);
    };
    const std::vector<Case> cases = {{"maximum", max}, {"average", avg}, {"next timestep", next}};
    std::vector<Rec> recs;
    for (int k = 1; k <= 4; ++k) recs.push_back(Rec{static_cast<float>(k), {1, 0}, std::vector<float>(kNodes, 0.5f * k)});
    const DatBytes whole = file_of(kNodes, 2, false, recs);
    const std::uintmax_t record = 4 + 5 + 2 + 4 * kNodes;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        util::FILEUNITINIT(1000);
        const int unit = open_at_first_record(whole);
        std::filesystem::resize_file(path_, whole.size() - 4 - record - 100);  // inside the third record's values
        const std::string text = expect_error_end([&] { c.call(unit); }, out_);
        EXPECT_TRUE(text.ends_with("\nERROR - Unexpected end of .dat file: \"" + path_ + "\"\n" +
                                   std::string(kPressEnter)))
            << text;
        EXPECT_NE(text.find("Reading data for time 3.000"), std::string::npos) << text;
    }
}

TEST(TimeLabel, NamesTimesAndTimeCodes) {
    struct Case {
        float time;
        const char* label;
    };
    const std::vector<Case> cases = {
        {0.0f, "Temporal"},
        {12.5f, "Temporal"},
        {-99998.9f, "Temporal"},
        {99999.0f, "Maximums"},
        {-99999.0f, "Minimums"},
        {900001.0f, "Time of Peak h"},
        {900002.0f, "Time of Peak V"},
        {100000.5f, "Time of First Depth"},
        {111111.0f, "Time of First Depth"},
        {200000.25f, "Duration Above 0.25m"},
        {200000.5f, "Duration Above 0.50m"},
        {222222.0f, "Duration Above 22222"},
        {99999.1f, "Unknown 99999"},
        {333333.0f, "Unknown 333333"},
        {-111111.0f, "Unknown -111111"},
        {-3.0e9f, "Unknown -3000000000"},
        {1.0e30f, "Unknown 100000001504"},
    };
    for (const Case& c : cases) EXPECT_EQ(TIMELABEL(c.time), c.label) << c.time;
}

TEST(TimeLabel, FullLabelsAndKinds) {
    struct Case {
        float time;
        TimeKind kind;
        const char* label;
    };
    const std::vector<Case> cases = {
        {1.5f, TimeKind::temporal, "Temporal"},
        {99999.0f, TimeKind::maximum, "Maximums"},
        {-99999.0f, TimeKind::minimum, "Minimums"},
        {900002.0f, TimeKind::peak_v, "Time of Peak V"},
        {100000.1f, TimeKind::first_depth, "Time of First Depth > 0.10m"},
        {222222.0f, TimeKind::duration, "Duration Above 22222.00m"},
        {99999.1f, TimeKind::unknown, "Unknown 99999"},
        {-111111.0f, TimeKind::unknown, "Unknown -111111"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(time_kind(c.time), c.kind) << c.time;
        EXPECT_EQ(time_label(c.time), c.label) << c.time;
    }
}

}  // namespace
}  // namespace zorvel::results
