// The water-level search and reads on catalogued h5py fixtures (gen_water_levels.py):
// levels of step s at node j are 10 * s + j, flags [s % 2, 1]; stored maxima 100 + j, [1, 0].

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "results/water_level.hpp"
#include "xmdf_fixture.hpp"
#include "xmdf_read/search.hpp"
#include "xmdf_read/water_levels.hpp"

namespace zorvel::xmdf_read {
namespace {

using results::WaterLevelRecord;
using testing::fixture;
using testing::kExitTail;

class WaterLevels : public testing::CataloguedTest {
protected:
    // The catalogued fixture and a water-level record sized for it.
    void load(const char* name) {
        path = fixture(name);
        catalogue_files({path});
        wl = WaterLevelRecord{};
        ASSERT_EQ(results::allocate_water_levels(wl, table.file(1).nnodes, table.file(1).ncells), 0);
    }
    // The record's levels and flags.
    std::vector<float> levels() const { return wl.values; }
    std::vector<std::int32_t> flags() const { return wl.flags; }

    std::string path;
    WaterLevelRecord wl;
};

// The lines of one read of a dataset at a step, after its folder lines.
std::string read_lines(const std::string& file, const std::string& group, int step) {
    return "\nGetting data from: " + file + "\n" + "\nGetting data from group: " + group + "\n" +
           "\nOpening Group.\n" + "\nDone.\n" + "Reading scalar data at timestep " + std::to_string(step) + "\n" +
           "Processing final timestep... closing group\n" + "   Done\n" + "Finished getting water level data\n";
}

TEST_F(WaterLevels, FindsBothFoldersAndListsOthers) {
    load("wl_both.xmdf");
    FIND_WATER_LEVEL(table, wl, 1, false);
    EXPECT_EQ(console.take(), "\nSearching for water level datasets in " + path + "\n" +
                                  "   Found: \"run/Maximums/Water Level\".\n"
                                  "   Found: \"run/Minimums/Water Level\".\n"
                                  "   Found: \"run/Temporal/Water Level\".\n");
    EXPECT_EQ(wl.wl_max, 2);
    EXPECT_EQ(wl.wl_temporal, 5);
}

TEST_F(WaterLevels, LowerCaseTemporalOnlyWarnsOfTheMaximum) {
    load("wl_temporal_only.xmdf");
    FIND_WATER_LEVEL(table, wl, 1, true);
    EXPECT_EQ(console.take(), "\nSearching for water level datasets in " + path + "\n" +
                                  "   Found: \"run/Temporal/water level\".\n"
                                  "Warning - No maximum water level dataset found for file: " + path + "\n");
    EXPECT_EQ(wl.wl_max, 0);
    EXPECT_EQ(wl.wl_temporal, 2);
}

TEST_F(WaterLevels, NoneFoundEndsTheRunUnlessTheNamedDatasetStandsIn) {
    load("wl_none.xmdf");
    const std::string warnings = "\nSearching for water level datasets in " + path + "\n" +
                                 "   Found: \"run/Extra/Water Level\".\n"
                                 "Warning - No maximum water level dataset found for file: " + path + "\n" +
                                 "Warning - No temporal water level dataset found for file: " + path + "\n";
    // A dataset found by the search does not stand in unless the user named it.
    table.file(1).scalars.found_temporal = 3;
    EXPECT_EQ(ended([&] { FIND_WATER_LEVEL(table, wl, 1, false); }),
              warnings + "\nERROR - Required water level data could not be found in " + path + "\n" +
                  "To supress this, specify the input flag: \"-nowetdry\"\n" + kExitTail);
    EXPECT_EQ(wl.wl_max + wl.wl_temporal, 0);

    FIND_WATER_LEVEL(table, wl, 1, true);
    EXPECT_EQ(console.take(), warnings);
    EXPECT_EQ(wl.wl_max, 3);
    EXPECT_EQ(wl.wl_temporal, 3);

    table.file(1).scalars.found_temporal = 0;
    wl.wl_max = wl.wl_temporal = 0;
    EXPECT_NE(ended([&] { FIND_WATER_LEVEL(table, wl, 1, true); }).find("ERROR - Required water level data"),
              std::string::npos);
}

TEST_F(WaterLevels, MaximumTimeReadsTheStoredLevels) {
    load("wl_both.xmdf");
    FIND_WATER_LEVEL(table, wl, 1, false);
    console.take();
    GET_WATER_LEVEL(table, wl, 1, 99999.0f, 1.0e-4f, -99, -99);
    EXPECT_EQ(console.take(), "\nUsing /Maximums/ folder.\n" + read_lines(path, "run/Maximums/Water Level", 1));
    EXPECT_EQ(levels(), (std::vector<float>{101, 102, 103, 104}));
    EXPECT_EQ(flags(), (std::vector<std::int32_t>{1, 0}));

    // The maximum test comes first: 99999.05 within 0.1 is the maximum too.
    wl.values.assign(4, 0.0f);
    GET_WATER_LEVEL(table, wl, 1, 99999.05f, 0.1f, -99, -99);
    EXPECT_EQ(console.take().substr(0, 26), "\nUsing /Maximums/ folder.\n");
    EXPECT_EQ(levels(), (std::vector<float>{101, 102, 103, 104}));
}

TEST_F(WaterLevels, RefusedTimeCodes) {
    load("wl_both.xmdf");
    FIND_WATER_LEVEL(table, wl, 1, false);
    console.take();
    EXPECT_EQ(ended([&] { GET_WATER_LEVEL(table, wl, 1, -99999.0f, 1.0e-4f, -99, -99); }),
              "\nERROR - Minimums data not supported for difference.\n" + std::string(kExitTail));
    EXPECT_EQ(ended([&] { GET_WATER_LEVEL(table, wl, 1, 99999.1f, 1.0e-4f, -99, -99); }),
              "\nERROR - Times data not supported for difference.\n" + std::string(kExitTail));
}

TEST_F(WaterLevels, TemporalTimeSearchesTheLevelsOwnTimes) {
    load("wl_both.xmdf");
    FIND_WATER_LEVEL(table, wl, 1, false);
    console.take();
    // No output times were read for the searched datasets: the levels' own times count.
    GET_WATER_LEVEL(table, wl, 1, 1.00005f, 1.0e-4f, -99, -99);
    EXPECT_EQ(console.take(), "\nUsing /Temporal/ folder.\n   Found closest time: 1.\n" +
                                  read_lines(path, "run/Temporal/Water Level", 2));
    EXPECT_EQ(levels(), (std::vector<float>{21, 22, 23, 24}));
    EXPECT_EQ(flags(), (std::vector<std::int32_t>{0, 1}));

    EXPECT_EQ(ended([&] { GET_WATER_LEVEL(table, wl, 1, 1.25f, 0.2f, -99, -99); }),
              "\nUsing /Temporal/ folder.\nERROR - Closest time \"1.\" is not within time search tolerance\n" +
                  std::string(kExitTail));
}

TEST_F(WaterLevels, TemporalTimeSearchGoesByHours) {
    load("wl_seconds.xmdf");  // levels stored at 1800 and 3600 seconds
    FIND_WATER_LEVEL(table, wl, 1, false);
    console.take();
    GET_WATER_LEVEL(table, wl, 1, 1.0f, 1.0e-4f, -99, -99);
    EXPECT_EQ(console.take(), "\nUsing /Temporal/ folder.\n   Found closest time: 1.\n" +
                                  read_lines(path, "run/Temporal/Water Level", 2));
    EXPECT_EQ(levels(), (std::vector<float>{21, 22, 23, 24}));
    EXPECT_EQ(water_level_step(table, wl, 1, 0.5f, 1.0e-4f, 7), 1);
}

TEST_F(WaterLevels, GivenDatasetAndStepReadWithoutSearch) {
    load("wl_both.xmdf");
    GET_WATER_LEVEL(table, wl, 1, -99.0f, 1.0e-4f, 5, 3);
    EXPECT_EQ(console.take(), read_lines(path, "run/Temporal/Water Level", 3));
    EXPECT_EQ(levels(), (std::vector<float>{31, 32, 33, 34}));
    EXPECT_EQ(flags(), (std::vector<std::int32_t>{1, 1}));
}

TEST_F(WaterLevels, MissingDatasetOfTheAskedFolderEndsTheRun) {
    load("wl_temporal_only.xmdf");
    FIND_WATER_LEVEL(table, wl, 1, false);
    console.take();
    EXPECT_EQ(ended([&] { GET_WATER_LEVEL(table, wl, 1, 99999.0f, 1.0e-4f, -99, -99); }),
              "\nUsing /Maximums/ folder.\n\nERROR - Required water level data could not be found in " + path +
                  "\nTo supress this, specify the input flag: \"-nowetdry\"\n" + kExitTail);
    wl.wl_temporal = 0;
    EXPECT_NE(ended([&] { (void)water_level_step(table, wl, 1, 1.0f, 1.0e-4f, 1); })
                  .find("ERROR - Required water level data could not be found in " + path),
              std::string::npos);
}

TEST_F(WaterLevels, StepOfTheDataTime) {
    load("wl_both.xmdf");
    FIND_WATER_LEVEL(table, wl, 1, false);
    console.take();
    struct Case {
        float time;
        std::int32_t data_step;
        std::int32_t step;
    };
    for (const Case& c : {Case{0.5f, 1, 1}, Case{1.5f, 3, 3}, Case{1.0f, 3, 2}, Case{1.50009f, 7, 3}}) {
        EXPECT_EQ(water_level_step(table, wl, 1, c.time, 1.0e-4f, c.data_step), c.step) << c.time;
    }
    EXPECT_EQ(console.take(), "");
    EXPECT_EQ(ended([&] { (void)water_level_step(table, wl, 1, 2.0f, 1.0e-4f, 3); }),
              "\nERROR - Water level time does not match the data time in: \"" + path + "\"\n" + kExitTail);
}

}  // namespace
}  // namespace zorvel::xmdf_read
