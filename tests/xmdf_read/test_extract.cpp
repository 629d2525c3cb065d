// Extraction of catalogued h5py fixtures into result records.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "xmdf_fixture.hpp"
#include "xmdf_read/extract.hpp"
#include "xmdf_read/search.hpp"

namespace zorvel::xmdf_read {
namespace {

using results::RES_TYPE;
using testing::fixture;
using testing::kExitTail;
using testing::record_for;

class Extract : public testing::CataloguedTest {
protected:
    // The catalogued fixture with the datasets of the search text chosen; with times, their
    // output times read as the driver reads them.
    void load(const std::string& name, const char* text, bool by_path = false, bool with_times = true) {
        path = name.front() == '/' ? name : fixture(name.c_str());
        catalogue_files({path});
        FIND_XMDF_TYPE(table, text, by_path);
        if (with_times) {
            GET_XMDF_NUM_TIMES(table, false, 0, false, 0);
            GET_XMDF_TIMES(table, false, 0, false, 0);
        }
        console.take();
    }
    const XmdfFile& file() const { return table.file(1); }

    std::string path;
};

// The node values (x only, or x then y per node), the cell flags and the time result's values.
std::vector<float> values(const RES_TYPE& r, bool with_y = false) {
    std::vector<float> out;
    for (std::size_t j = 0; j < r.value.size(); ++j) {
        out.push_back(r.value[j]);
        if (with_y) out.push_back(r.y[j]);
    }
    return out;
}
std::vector<int> flags(const RES_TYPE& r) {
    std::vector<int> out;
    for (const auto& c : r.CELL) out.push_back(c.flag);
    return out;
}

TEST_F(Extract, TemporalScalarReductions) {
    load("catalogue_run.xmdf", "Depth");
    RES_TYPE max = record_for(file(), -99999.0f);
    RES_TYPE tmax = record_for(file(), -99999.0f);
    GET_XMDF_TEMPORAL_MAX(table, 1, false, max, tmax);
    EXPECT_EQ(console.take(), "\nExtracting maximums from /Temporal/ folder in " + path + "\n"
                              "\nOpening data group: results/Temporal/Depth\n"
                              "\nClosing Group\n"
                              "   Done\n");
    EXPECT_EQ(values(max), (std::vector<float>{6, 5, 0, 4}));
    EXPECT_EQ(values(tmax), (std::vector<float>{2, 0, 0, 1}));  // equal values keep the earlier time
    EXPECT_EQ(flags(max), (std::vector<int>{1, 1, 0}));         // wet at any step
    EXPECT_EQ(flags(tmax), flags(max));

    RES_TYPE min = record_for(file(), 99999.0f, 1);
    RES_TYPE tmin = record_for(file(), 99999.0f);
    GET_XMDF_TEMPORAL_MIN(table, 1, false, min, tmin);
    EXPECT_NE(console.take().find("\nExtracting minimums from /Temporal/ folder in " + path + "\n"), std::string::npos);
    EXPECT_EQ(values(min), (std::vector<float>{1, 1, 0, -1}));
    EXPECT_EQ(values(tmin), (std::vector<float>{0, 2, 0, 0}));
    EXPECT_EQ(flags(min), (std::vector<int>{0, 1, 0}));  // wet at every step

    RES_TYPE avg = record_for(file(), 0.0f);
    GET_XMDF_TEMPORAL_AVG(table, 1, false, avg);
    EXPECT_NE(console.take().find("\nExtracting averages from /Temporal/ folder in " + path + "\n"), std::string::npos);
    EXPECT_FLOAT_EQ(avg.value[0], 3.0f);
    EXPECT_FLOAT_EQ(avg.value[1], 11.0f / 3.0f);
    EXPECT_FLOAT_EQ(avg.value[3], 7.0f / 3.0f);
    EXPECT_EQ(flags(avg), (std::vector<int>{1, 1, 0}));
}

TEST_F(Extract, TemporalVectorReductions) {
    load("catalogue_run.xmdf", "Velocity", false, false);  // the times come from the dataset itself
    RES_TYPE max = record_for(file(), -99999.0f);
    RES_TYPE tmax = record_for(file(), -99999.0f);
    GET_XMDF_TEMPORAL_MAX(table, 1, true, max, tmax);
    // Node 1 is (0, 0) at every step: the first step sets it, as it sets every node.
    EXPECT_EQ(values(max, true), (std::vector<float>{6, 8, 0, 0, 1, 0, 0, -3}));
    EXPECT_EQ(values(tmax), (std::vector<float>{2, 0.5, 0.5, 1}));
    EXPECT_EQ(flags(max), (std::vector<int>{1, 0, 1}));

    RES_TYPE min = record_for(file(), 99999.0f, 1);
    RES_TYPE tmin = record_for(file(), 99999.0f);
    GET_XMDF_TEMPORAL_MIN(table, 1, true, min, tmin);
    EXPECT_EQ(values(min, true), (std::vector<float>{0, 1, 0, 0, 1, 0, 1, 1}));
    EXPECT_EQ(values(tmin), (std::vector<float>{1, 0.5, 0.5, 2}));
    EXPECT_EQ(flags(min), (std::vector<int>{0, 0, 1}));

    RES_TYPE avg = record_for(file(), 0.0f);
    GET_XMDF_TEMPORAL_AVG(table, 1, true, avg);
    EXPECT_FLOAT_EQ(avg.value[0], 3.0f);
    EXPECT_FLOAT_EQ(avg.y[0], 13.0f / 3.0f);
    EXPECT_FLOAT_EQ(avg.value[3], 1.0f);
    EXPECT_FLOAT_EQ(avg.y[3], -2.0f / 3.0f);
}

TEST_F(Extract, StoredExtremes) {
    load("catalogue_run.xmdf", "Water Level");
    RES_TYPE res = record_for(file(), 0.0f);
    res.time = 5.0f;
    GET_XMDF_MAX(table, 1, false, res);
    EXPECT_EQ(console.take(), "\nGetting maximum data from: " + path + "\n"
                              "Getting data from group: results/Maximums/Water Level\n"
                              "Closing Group\n"
                              "   Done\n");
    EXPECT_EQ(values(res), (std::vector<float>{10, 11, 12, 13}));
    EXPECT_EQ(flags(res), (std::vector<int>{1, 1, 1}));
    EXPECT_EQ(res.time, 5.0f);
    GET_XMDF_MIN(table, 1, false, res);
    EXPECT_EQ(console.take(), "\nGetting minimum data from: " + path + "\n"
                              "Getting data from group: results/Minimums/Water Level\n"
                              "Closing Group\n"
                              "   Done\n");
    EXPECT_EQ(values(res), (std::vector<float>{1, 2, 3, 4}));
    EXPECT_EQ(flags(res), (std::vector<int>{0, 1, 0}));

    load("catalogue_run.xmdf", "Velocity");
    GET_XMDF_MAX(table, 1, true, res);
    EXPECT_EQ(values(res, true), (std::vector<float>{6, 8, 0, 0, 1, 0, 0, -3}));

    load("catalogue_run.xmdf", "Depth");
    EXPECT_EQ(ended([&] { GET_XMDF_MIN(table, 1, false, res); }),
              "\nGetting minimum data from: " + path + "\n"
              "\nERROR - No /Minimums/ dataset found in " + path + "\n" + kExitTail);
    table.file(1).scalars.paths[0] = "results/Maximums/Gone";
    EXPECT_EQ(ended([&] { GET_XMDF_MAX(table, 1, false, res); }),
              "\nGetting maximum data from: " + path + "\n"
              "Getting data from group: results/Maximums/Gone\n"
              "\nERROR - Unable to open group [XF_OPEN_GROUP] \"results/Maximums/Gone\" in " + path + "\n" +
                  kExitTail);
}

TEST_F(Extract, SingleTimeDataset) {
    load("catalogue_run.xmdf", "Depth");
    RES_TYPE res = record_for(file(), 0.0f);
    GET_XMDF_SINGLE(table, 1, false, res, 12);
    EXPECT_EQ(console.take(), "Getting data from group: results/Times/Time of Peak h\n   Done.\n");
    EXPECT_EQ(values(res), (std::vector<float>{2, 2, 2, 2}));
    EXPECT_EQ(ended([&] { GET_XMDF_SINGLE(table, 1, false, res, 4); }),
              "Getting data from group: results/Temporal/Depth\n"
              "\nERROR - Multiple output times exits, expecting 1.\n"
              "Contact support@example.com\n" + std::string(kExitTail));
    EXPECT_EQ(ended([&] { GET_XMDF_SINGLE(table, 1, false, res, 0); }),
              "\nERROR - Dataset number 0 does not exist in " + path + " [GET_XMDF_SINGLE]\n" + kExitTail);
}

TEST_F(Extract, TimestepReaderOneCall) {
    load("catalogue_run.xmdf", "Depth");
    FIND_XMDF_TIME(table, 1.0f, 1.0e-4f);
    console.take();
    RES_TYPE res = record_for(file(), 0.0f);
    xmdf_get_data_time(table, 1, false, res, 0, true, true);
    EXPECT_EQ(console.take(), "\nGetting data from: " + path + "\n"
                              "\nGetting data from group: results/Temporal/Depth\n"
                              "\nOpening Group.\n"
                              "   Done.\n"
                              "Reading scalar data at timestep 2\n"
                              "Processing final timestep... closing group\n"
                              "   Done\n"
                              "Finished getting data\n");
    EXPECT_EQ(values(res), (std::vector<float>{2, 5, 0, 4}));
    EXPECT_EQ(flags(res), (std::vector<int>{1, 1, 0}));
    EXPECT_EQ(res.time, 1.0f);
    EXPECT_FALSE(res.is_vector);

    // The stored maximum is labelled with its own time, not with a time of the temporal dataset.
    FIND_XMDF_TIME(table, 99999.0f, 1.0e-4f);
    xmdf_get_data_time(table, 1, false, res, 0, true, true);
    console.take();
    EXPECT_EQ(values(res), (std::vector<float>{6, 5, 0, 4}));
    EXPECT_EQ(res.time, 99999.0f);
}

TEST_F(Extract, TimestepReaderWalk) {
    load("catalogue_run.xmdf", "Velocity");
    RES_TYPE res = record_for(file(), 0.0f);
    std::vector<float> times;
    for (std::int32_t step = 1; step <= 3; ++step) {
        xmdf_get_data_time(table, 1, true, res, step, step == 1, step == 3);
        const std::string text = console.take();
        if (step == 2) {
            EXPECT_EQ(text, "\nReading vector data at timestep 2\nFinished getting data\n");
        }
        times.push_back(res.time);
    }
    EXPECT_EQ(times, (std::vector<float>{0.5f, 1.0f, 2.0f}));
    EXPECT_EQ(values(res, true), (std::vector<float>{6, 8, 0, 0, 0, 1, 1, 1}));
    EXPECT_TRUE(res.is_vector);

    // A scalar read leaves the vector mark; a walk that begins without the first call opens
    // the group itself.
    load("catalogue_run.xmdf", "Depth");
    xmdf_get_data_time(table, 1, false, res, 3, false, true);
    EXPECT_EQ(console.take(), "Reading scalar data at timestep 3\n"
                              "Processing final timestep... closing group\n"
                              "   Done\n"
                              "Finished getting data\n");
    EXPECT_EQ(res.time, 2.0f);
    EXPECT_TRUE(res.is_vector);
    xmdf_get_data_time(table, 1, false, res, 1, false, true);
    EXPECT_EQ(res.time, 0.0f);
}

TEST_F(Extract, TimestepReaderWithoutDatasetOrStep) {
    load("catalogue_run.xmdf", "Depth");
    RES_TYPE res = record_for(file(), 0.0f);
    EXPECT_EQ(ended([&] { xmdf_get_data_time(table, 1, false, res, 0, true, true); }),
              "ERROR - No timestep selected for \"results/Temporal/Depth\" in " + path + " [xmdf_get_data_time]\n" +
                  kExitTail);
    DatasetList& s = table.file(1).scalars;
    s.selected_dataset = 0;
    s.found_temporal = 0;
    EXPECT_EQ(ended([&] { xmdf_get_data_time(table, 1, false, res, 1, true, true); }),
              "ERROR - Unable trying to open group ID = 0 [xmdf_get_data_time] \n" + std::string(kExitTail));
    EXPECT_EQ(ended([&] { GET_XMDF_TEMPORAL_AVG(table, 1, false, res); }),
              "\nExtracting averages from /Temporal/ folder in " + path + "\n"
              "\nERROR - No /Temporal/ dataset found in " + path + "\n" + kExitTail);
}

TEST_F(Extract, BadDataEndsTheRun) {
    load("catalogue_wrong_count.xmdf", "Depth");  // the temporal dataset has 3 nodes, the file 4
    RES_TYPE res = record_for(file(), -99999.0f);
    RES_TYPE tres = record_for(file(), -99999.0f);
    EXPECT_EQ(ended([&] { GET_XMDF_TEMPORAL_MAX(table, 1, false, res, tres); }),
              "\nExtracting maximums from /Temporal/ folder in " + path + "\n"
              "\nOpening data group: results/Temporal/Depth\n"
              "ERROR - Reading timestep [XF_READ_SCALAR_VALUES_TIMESTEP] while reading " + path + "\n" + kExitTail);
    RES_TYPE small;
    allocate_nodes(small, 3);
    small.CELL.allocate(3);
    EXPECT_EQ(ended([&] { GET_XMDF_MAX(table, 1, false, small); }),
              "\nGetting maximum data from: " + path + "\n"
              "\nERROR - Result record holds fewer nodes or cells than " + path + " [GET_XMDF_MAX]\n" + kExitTail);

    const std::string name = testing::scratch_file("no_steps.xmdf");
    ASSERT_TRUE(testing::write_file_without_steps(name));
    load(name, "Depth");
    RES_TYPE avg = record_for(file(), 0.0f);
    EXPECT_EQ(ended([&] { GET_XMDF_TEMPORAL_AVG(table, 1, false, avg); }),
              "\nExtracting averages from /Temporal/ folder in " + name + "\n"
              "\nOpening data group: run/Temporal/Depth\n"
              "ERROR - No output times in dataset \"run/Temporal/Depth\" in " + name + "\n" + kExitTail);
    testing::close_files(table);
    testing::remove_scratch();
}

TEST_F(Extract, ForeignDatasetByPath) {
    load("catalogue_foreign.xmdf", "Depth", true);
    RES_TYPE avg = record_for(file(), 0.0f);
    GET_XMDF_TEMPORAL_AVG(table, 1, false, avg);  // float64 values, no activity flags
    EXPECT_EQ(values(avg), (std::vector<float>{0.75f, 1.75f, 2.75f, 3.75f}));
    EXPECT_TRUE(avg.CELL.empty());
    RES_TYPE res = record_for(file(), 0.0f);
    xmdf_get_data_time(table, 1, false, res, 2, true, true);
    EXPECT_EQ(values(res), (std::vector<float>{1, 2, 3, 4}));
    EXPECT_EQ(res.time, 1.0f);  // stored as 3600 seconds
}

}  // namespace
}  // namespace zorvel::xmdf_read
