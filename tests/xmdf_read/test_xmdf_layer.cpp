// The small XMDF access layer over h5py-made files (tests/data/gen_xmdf_layer.py, and
// gen_xmdf_binding.py for a file without datasets and one that is not HDF5).

#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "results/res_type.hpp"
#include "results/xmdf/binding.hpp"
#include "util/console.hpp"
#include "util/run_end.hpp"
#include "util/units.hpp"
#include "xmdf_read/xmdf_layer.hpp"

namespace zorvel::xmdf_read {
namespace {

namespace xf = results::xmdf;

std::string fixture(const std::string& name) { return std::string(ZORVEL_FIXTURES_DIR) + "/" + name; }

const std::string kClose = "\nPress Enter to Close\n";
const std::string kDepth = "results/Temporal/Depth";
const std::string kVelocity = "results/Temporal/Vector Velocity";
const std::vector<std::string> kScalarPaths = {"results/Maximums/Depth", "results/Minimums/Depth", kDepth,
                                               "results/Times/Time of Peak Depth"};
const std::vector<double> kTimes = {0.0, 0.5, 1.0};

std::string opening(const std::string& name) {
    return "\nOpening XMDF file \"" + fixture(name) + "\".\n    Done.\n";
}

// Each test starts from a fresh layer, fresh unit tables and a captured console.
class XmdfLayerTest : public ::testing::Test {
protected:
    XmdfLayerTest() : cap_(out_, in_) {
        util::FILEUNITINIT(1000);
        close_xmdf_layer(xmdf_layer());
        xmdf_layer() = XmdfLayer{};
    }
    ~XmdfLayerTest() override { close_xmdf_layer(xmdf_layer()); }

    // Opens a fixture through the layer and forgets the console text so far.
    std::int32_t open(const std::string& name) {
        XMDFOPEN(fixture(name));
        EXPECT_GT(xmdf_layer().file_id, 0) << name;
        out_.str("");
        return xmdf_layer().file_id;
    }
    // The console text so far, forgotten.
    std::string text() {
        std::string t = out_.str();
        out_.str("");
        return t;
    }
    // Runs a call that must end the run; gives the console text it wrote.
    std::string ends_run(const std::function<void()>& call) {
        out_.str("");
        EXPECT_THROW(call(), util::RunEnd);
        return text();
    }
    static results::RES_TYPE record(bool vector) {
        results::RES_TYPE res;
        res.nnodes = 4;
        res.ncells = 3;
        res.is_vector = vector;
        results::allocate_nodes(res, 4);
        res.CELL.allocate(3);
        return res;
    }

    std::ostringstream out_;
    std::istringstream in_;
    util::ConsoleCapture cap_;
};

TEST_F(XmdfLayerTest, OpensCountsListsAndDescribesAModelRun) {
    XMDFOPEN(fixture("layer_run.xmdf"));
    const std::int32_t id = xmdf_layer().file_id;
    XMDFVERSION(id);
    EXPECT_EQ(text(), opening("layer_run.xmdf") + "XMDF Version: 1.9\n");

    XmdfLayer& layer = xmdf_layer();
    XMDFCOUNTSCALARS(id);
    EXPECT_EQ(layer.n_paths, 4);
    EXPECT_EQ(layer.path_length, 33);
    XMDFSCALARPATHS(layer.n_paths, layer.path_length);
    EXPECT_EQ(text(),
              "\nScalar datasets available: \n"
              "    1: results/Maximums/Depth\n"
              "    2: results/Minimums/Depth\n"
              "    3: results/Temporal/Depth\n"
              "    4: results/Times/Time of Peak Depth\n");
    EXPECT_EQ(layer.paths, kScalarPaths);

    XMDFCOUNTVECTORS(id);
    EXPECT_EQ(layer.n_paths, 2);
    XMDFVECTORPATHS(layer.n_paths, layer.path_length);
    EXPECT_EQ(text(),
              "\nVector datasets available: \n"
              "    1: results/Maximums/Vector Velocity\n"
              "    2: results/Temporal/Vector Velocity\n");
    EXPECT_EQ(layer.paths, (std::vector<std::string>{"results/Maximums/Vector Velocity", kVelocity}));

    // Only the first path_length characters name the dataset.
    XMDFDATASETINFO(id, kDepth + "/Values", static_cast<std::int32_t>(kDepth.size()));
    EXPECT_EQ(text(),
              "Extracting number of cells and nodes from XMDF file: \n"
              "Number Cells:           3\n"
              "Number Nodes:           4\n"
              "Time Units: Hours\n");
    EXPECT_EQ(layer.n_values, 4);
    EXPECT_EQ(layer.n_active, 3);
    EXPECT_EQ(layer.time_units, "Hours");
    EXPECT_GT(layer.scalar_group_id, 0);
}

TEST_F(XmdfLayerTest, PathsLongerThanTheirFieldAreCut) {
    const std::int32_t id = open("long_path.xmdf");
    XmdfLayer& layer = xmdf_layer();
    XMDFCOUNTSCALARS(id);
    ASSERT_EQ(layer.path_length, 1118);  // "results/Temporal/" and 1100 letters, and the NUL
    XMDFSCALARPATHS(layer.n_paths, layer.path_length);
    const std::string cut = "results/Temporal/" + std::string(1000 - 17, 'L');
    ASSERT_EQ(layer.paths.size(), 1u);
    EXPECT_EQ(layer.paths[0], cut);
    EXPECT_EQ(text(), "\nScalar datasets available: \n    1: " + cut + "\n");
}

TEST_F(XmdfLayerTest, FindFolderRecordsTheLatestPathOfEachFolder) {
    struct Case {
        std::vector<std::string> paths;
        std::int32_t n;
        std::int32_t length;
        std::string text;
        std::vector<std::int32_t> expected;  // maximums, temporal, minimums, times
        std::string console;
    };
    const std::vector<std::string> runs = {"Run/Maximums/Depth", "Run/Temporal/Depth", "Run/MAXIMUMS/Velocity",
                                           "Run/Minimums/Depth", "Run/Times/Time of Max h"};
    const Case cases[] = {
        {kScalarPaths, 4, 33, "Depth", {1, 3, 2, 4},
         "   Found: \"results/Maximums/Depth\".\n   Found: \"results/Minimums/Depth\".\n"
         "   Found: \"results/Temporal/Depth\".\n   Found: \"results/Times/Time of Peak Depth\".\n"},
        // Case ignored on both sides; a later match of a folder wins; blanks around the text dropped.
        {runs, 5, 1000, "  vELOCITY  ", {3, 0, 0, 0}, "   Found: \"Run/MAXIMUMS/Velocity\".\n"},
        {runs, 5, 1000, "", {3, 2, 4, 5},
         "   Found: \"Run/Maximums/Depth\".\n   Found: \"Run/Temporal/Depth\".\n"
         "   Found: \"Run/MAXIMUMS/Velocity\".\n   Found: \"Run/Minimums/Depth\".\n"
         "   Found: \"Run/Times/Time of Max h\".\n"},
        // Only the first n paths, and at most the paths given, are searched.
        {runs, 2, 1000, "Depth", {1, 2, 0, 0}, "   Found: \"Run/Maximums/Depth\".\n   Found: \"Run/Temporal/Depth\".\n"},
        {runs, 99, 1000, "Time of", {0, 0, 0, 5}, "   Found: \"Run/Times/Time of Max h\".\n"},
        // Only the first length characters are searched and shown.
        {runs, 5, 13, "Depth", {0, 0, 0, 0}, ""},
        {{"Run/Maximums/Depth"}, 1, 13, "/", {1, 0, 0, 0}, "   Found: \"Run/Maximums/\".\n"},
    };
    XmdfLayer& layer = xmdf_layer();
    for (const Case& c : cases) {
        layer.maximums = layer.temporal = layer.minimums = layer.times = 77;
        XMDFFINDFOLDER(c.paths, c.n, c.length, c.text);
        EXPECT_EQ((std::vector<std::int32_t>{layer.maximums, layer.temporal, layer.minimums, layer.times}),
                  c.expected)
            << c.text;
        EXPECT_EQ(text(), c.console) << c.text;
    }
}

TEST_F(XmdfLayerTest, FindFolderEndsTheRunOnAPathInNoKnownFolder) {
    const std::vector<std::string> paths = {"Run/Maximums/Depth", "Run/Other/Depth", "Run/Temporal/Depth"};
    EXPECT_EQ(ends_run([&] { XMDFFINDFOLDER(paths, 3, 1000, "Depth"); }),
              "   Found: \"Run/Maximums/Depth\".\n   Found: \"Run/Other/Depth\".\n"
              "\nERROR - Unknown Data Folder: \"Run/Other/Depth\".\n"
              "\nSearching for Maximums, Minimums, Times or Temporal.\n" +
                  kClose);
    EXPECT_EQ(xmdf_layer().maximums, 1);
}

TEST_F(XmdfLayerTest, ReadsOneOutputTimeIntoARecord) {
    const std::int32_t id = open("layer_run.xmdf");
    const std::string steps =
        "Extracting values from XMDF file.\n    Done.\nExtracting wet / dry flags from XMDF file.\n    Done.\n";

    results::RES_TYPE res = record(false);
    XMDFREADTIMESTEP(id, kDepth, static_cast<std::int32_t>(kDepth.size()), 2, res);
    EXPECT_EQ(text(), steps);
    std::vector<float> values;
    std::vector<int> flags;
    values.assign(res.value.begin(), res.value.end());
    for (const auto& cell : res.CELL) flags.push_back(cell.flag);
    EXPECT_EQ(values, (std::vector<float>{3.0f, 0.25f, -1.0f, 6.0f}));
    EXPECT_EQ(flags, (std::vector<int>{0, 0, 0}));

    // The group of the earlier read is closed when the next one opens.
    const std::int32_t first_group = xmdf_layer().scalar_group_id;
    res = record(true);
    XMDFREADTIMESTEP(id, kVelocity, static_cast<std::int32_t>(kVelocity.size()), 3, res);
    EXPECT_EQ(text(), steps);
    std::vector<float> xy;
    for (std::size_t j = 0; j < res.value.size(); ++j) xy.insert(xy.end(), {res.value[j], res.y[j]});
    EXPECT_EQ(xy, (std::vector<float>{0, 0, 3, 0, 6, 4, -3, -2}));
    flags.clear();
    for (const auto& cell : res.CELL) flags.push_back(cell.flag);
    EXPECT_EQ(flags, (std::vector<int>{1, 0, 0}));
    std::int32_t n = 0, status = 0;
    xf::XF_GET_DATASET_NUMVALS(first_group, n, status);
    EXPECT_LT(status, 0);
    xf::XF_GET_DATASET_NUMVALS(xmdf_layer().scalar_group_id, n, status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(n, 4);
}

TEST_F(XmdfLayerTest, ReadTimestepFailures) {
    const std::int32_t id = open("layer_run.xmdf");
    const auto depth_length = static_cast<std::int32_t>(kDepth.size());
    const std::string values_error =
        "\nERROR - Exracting Values from XMDF [XF_READ_VECTOR_VALUES_TIMESTEP or XF_READ_SCALAR_VALUES_TIMESTEP].\n"
        "\nContact support@example.com\n";
    results::RES_TYPE res = record(false);

    // The size check only writes its line; the read of output time 0 then fails.
    EXPECT_EQ(ends_run([&] { XMDFREADTIMESTEP(id, kDepth, depth_length, 0, res); }),
              "\nERROR - One or more of xmdf pathlength, time index, number nodes or number of cells equal to 0.\n"
              "Extracting values from XMDF file.\n" +
                  values_error + kClose);
    EXPECT_EQ(ends_run([&] { XMDFREADTIMESTEP(id, kDepth, depth_length, 4, res); }),
              "Extracting values from XMDF file.\n" + values_error + kClose);
    // A vector record read from a scalar dataset.
    results::RES_TYPE vec = record(true);
    EXPECT_EQ(ends_run([&] { XMDFREADTIMESTEP(id, kDepth, depth_length, 1, vec); }),
              "Extracting values from XMDF file.\n" + values_error + kClose);
    EXPECT_EQ(ends_run([&] { XMDFREADTIMESTEP(id, "results/Temporal/Speed", 22, 1, res); }),
              "\nERROR - Could not open data group \"results/Temporal/Speed\" in XMDF file.\n" + kClose);
    // A record whose arrays are smaller than its counts is never filled.
    results::allocate_nodes(res, 3);
    EXPECT_EQ(ends_run([&] { XMDFREADTIMESTEP(id, kDepth, depth_length, 1, res); }),
              "\nERROR - Result record smaller than its number of nodes or number of cells.\n" + kClose);

    const std::int32_t broken = open("broken.xmdf");
    res = record(false);
    EXPECT_EQ(ends_run([&] { XMDFREADTIMESTEP(broken, "results/Temporal/Float Active", 29, 1, res); }),
              "Extracting values from XMDF file.\n    Done.\nExtracting wet / dry flags from XMDF file.\n"
              "\nERROR - Exracting wet dry status from XMDF file.\n" +
                  kClose);
}

TEST_F(XmdfLayerTest, MaximumOverAllOutputTimes) {
    const std::int32_t id = open("layer_run.xmdf");
    const XmdfLayer& layer = xmdf_layer();
    const std::string processing =
        "\nExtracting maximum values from XMDF file.\n"
        "    Processing time:      0.00000\n"
        "    Processing time:      0.50000\n"
        "    Processing time:      1.00000\n"
        "    Done.\n";

    XMDFMAXOVERTIMES(id, kDepth, static_cast<std::int32_t>(kDepth.size()), kTimes, 3, false, 4, 3);
    EXPECT_EQ(text(), processing);
    EXPECT_EQ(layer.max_x, (std::vector<float>{3.0f, 0.75f, -1.0f, 7.0f}));
    EXPECT_EQ(layer.max_flags, (std::vector<std::int32_t>{1, 1, 0}));
    EXPECT_GT(layer.scalar_group_id, 0);

    XMDFMAXOVERTIMES(id, kVelocity, static_cast<std::int32_t>(kVelocity.size()), kTimes, 3, true, 4, 3);
    EXPECT_EQ(text(), processing);
    EXPECT_EQ(layer.max_x, (std::vector<float>{2, 3, 6, -1}));
    EXPECT_EQ(layer.max_y, (std::vector<float>{0, 2, 6, -0.5f}));
    EXPECT_EQ(layer.max_flags, (std::vector<std::int32_t>{1, 1, 0}));
    EXPECT_GT(layer.vector_group_id, 0);

    // No output time: the size line, and every value keeps its start.
    XMDFMAXOVERTIMES(id, kDepth, static_cast<std::int32_t>(kDepth.size()), {}, 0, false, 4, 3);
    EXPECT_EQ(text(),
              "\nERROR - One or more of xmdf pathlength, time index or number of values equal to 0.\n"
              "\nExtracting maximum values from XMDF file.\n    Done.\n");
    EXPECT_EQ(layer.max_x, std::vector<float>(4, -99999.0f));
    EXPECT_EQ(layer.max_flags, std::vector<std::int32_t>(3, 0));
}

TEST_F(XmdfLayerTest, MaximumOverTimesFailures) {
    const std::int32_t id = open("layer_run.xmdf");
    const auto length = static_cast<std::int32_t>(kDepth.size());

    // More than 1000 times only writes the limit lines; the read past the dataset's
    // three output times then fails, naming the time.
    std::vector<double> many(1001);
    for (std::size_t i = 0; i < many.size(); ++i) many[i] = 0.5 * static_cast<double>(i);
    EXPECT_EQ(ends_run([&] { XMDFMAXOVERTIMES(id, kDepth, length, many, 1001, false, 4, 3); }),
              "\nERROR - Number of output times exceeds maximum of 1000\n"
              "   To increse the limit please contact support@example.com\n"
              "\nExtracting maximum values from XMDF file.\n"
              "    Processing time:      0.00000\n    Processing time:      0.50000\n"
              "    Processing time:      1.00000\n    Processing time:      1.50000\n"
              "\nERROR - Exracting Values from XMDF at time.     1.50000\n" +
                  kClose);
    EXPECT_EQ(ends_run([&] { XMDFMAXOVERTIMES(id, kDepth, length, kTimes, 4, false, 4, 3); }),
              "\nERROR - Fewer output times given than the number of output times.\n" + kClose);
    EXPECT_EQ(ends_run([&] { XMDFMAXOVERTIMES(id, "results/Temporal/Speed", 22, kTimes, 3, true, 4, 3); }),
              "\nERROR - Could not open data group \"results/Temporal/Speed\" in XMDF file.\n" + kClose);

    const std::int32_t broken = open("broken.xmdf");
    EXPECT_EQ(ends_run([&] { XMDFMAXOVERTIMES(broken, "results/Temporal/Float Active", 29, kTimes, 3, false, 4, 3); }),
              "\nExtracting maximum values from XMDF file.\n    Processing time:      0.00000\n"
              "\nERROR - Exracting wet dry status from XMDF file.\n" +
                  kClose);
}

TEST_F(XmdfLayerTest, FileAndListingFailuresEndTheRun) {
    EXPECT_EQ(ends_run([] { XMDFOPEN(fixture("not_hdf5.xmdf")); }),
              "\nOpening XMDF file \"" + fixture("not_hdf5.xmdf") + "\".\n\nERROR - Could not open XMDF file \"" +
                  fixture("not_hdf5.xmdf") + "\".\n" + kClose);
    EXPECT_EQ(xmdf_layer().file_id, 0);

    // The version line comes before the failure is reported.
    const std::int32_t no_version = open("no_version.xmdf");
    EXPECT_EQ(ends_run([&] { XMDFVERSION(no_version); }),
              "XMDF Version: 0.\n\nERROR - Determining XMDF Library Version.\n" + kClose);

    const std::int32_t empty = open("no_datasets.xmdf");
    const std::string no_paths = "\nERROR - Number of paths less than or equal to zero.\n" + kClose;
    EXPECT_EQ(ends_run([&] { XMDFCOUNTSCALARS(empty); }), no_paths);
    EXPECT_EQ(ends_run([&] { XMDFCOUNTVECTORS(empty); }), no_paths);
    EXPECT_EQ(ends_run([] { XMDFCOUNTSCALARS(0); }), "\nERROR - Getting Scalar Data Set Information.\n" + kClose);
    EXPECT_EQ(ends_run([] { XMDFCOUNTVECTORS(0); }), "\nERROR - Getting Vector Data Set Information.\n" + kClose);

    // More paths than the file holds, or slots too short for them.
    open("layer_run.xmdf");
    EXPECT_EQ(ends_run([] { XMDFSCALARPATHS(5, 33); }),
              "\nScalar datasets available: \n"
              "\nERROR - Exracting Scalar Dataset Paths [XF_GET_SCALAR_DATASET_PATHS].\n" +
                  kClose);
    EXPECT_EQ(ends_run([] { XMDFVECTORPATHS(2, 20); }),
              "\nVector datasets available: \n"
              "\nERROR - Exracting Vector Dataset Paths [XF_GET_VECTOR_DATASET_PATHS].\n" +
                  kClose);
}

TEST_F(XmdfLayerTest, DatasetInfoAndGroupFailuresEndTheRun) {
    const std::int32_t id = open("broken.xmdf");
    const std::string heading = "Extracting number of cells and nodes from XMDF file: \n";
    struct Case {
        std::string path;
        std::string expected;
    };
    const Case cases[] = {
        {"results/Temporal/No Values",
         heading + "\nERROR - Exracting Number of Values in Dataset [XF_GET_DATASET_NUMVALS].\n"},
        {"results/Temporal/Flat Active",
         heading + "\nERROR - Exracting Number Active in Dataset [XF_GET_DATASET_NUMACTIVE].\n"},
        {"results/Temporal/No Units", heading + "\nERROR - Exracting Time Unit Dataset [XF_GET_DATASET_TIME_UNITS].\n"},
        // A folder opens as a group, but holds no dataset.
        {"results/Temporal", heading + "\nERROR - Exracting Number of Values in Dataset [XF_GET_DATASET_NUMVALS].\n"},
        {"results/Temporal/Missing", "\nERROR - Could not open data group \"results/Temporal/Missing\" in XMDF file.\n"},
    };
    for (const Case& c : cases) {
        const auto length = static_cast<std::int32_t>(c.path.size());
        EXPECT_EQ(ends_run([&] { XMDFDATASETINFO(id, c.path, length); }), c.expected + kClose) << c.path;
    }
    // A path length of 0 names no group.
    EXPECT_EQ(ends_run([&] { XMDFOPENDATAGROUP(id, "results/Temporal/No Units", 0, false); }),
              "\nERROR - Could not open data group \"\" in XMDF file.\n" + kClose);
    EXPECT_EQ(xmdf_layer().scalar_group_id, 0);
}

TEST_F(XmdfLayerTest, OpenDataGroupAndTheCloseOfWhatIsLeftOpen) {
    const std::int32_t id = open("layer_run.xmdf");
    XmdfLayer& layer = xmdf_layer();
    XMDFOPENDATAGROUP(id, kVelocity, static_cast<std::int32_t>(kVelocity.size()), true);
    XMDFOPENDATAGROUP(id, kDepth, static_cast<std::int32_t>(kDepth.size()), false);
    EXPECT_EQ(text(), "");
    const std::int32_t vector_group = layer.vector_group_id;
    const std::int32_t scalar_group = layer.scalar_group_id;
    std::int32_t n = 0, status = 0;
    xf::XF_GET_DATASET_NUMACTIVE(vector_group, n, status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(n, 3);

    close_xmdf_layer(layer);
    EXPECT_EQ(layer.file_id, 0);
    EXPECT_EQ(layer.vector_group_id, 0);
    EXPECT_EQ(layer.scalar_group_id, 0);
    for (const std::int32_t group : {vector_group, scalar_group}) {
        xf::XF_GET_DATASET_NUMVALS(group, n, status);
        EXPECT_LT(status, 0);
    }
    float version = 0.0f;
    xf::XF_GET_LIBRARY_VERSION_FILE(id, version, status);
    EXPECT_LT(status, 0);
}

}  // namespace
}  // namespace zorvel::xmdf_read
