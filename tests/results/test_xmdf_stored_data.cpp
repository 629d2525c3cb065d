// Sizes that an ".xmdf" input declares against the data it stores (h5py fixtures of
// gen_xmdf_sizes.py): real data, however far it compresses, is read; sizes that nothing
// stored backs end the run with the file's name before anything is allocated from them.

#include <gtest/gtest.h>
#include <hdf5.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "results/xmdf/binding.hpp"
#include "results/xmdf/h5_util.hpp"
#include "results/xmdf/stored_data.hpp"
#include "util/console.hpp"
#include "util/run_end.hpp"

namespace xf = zorvel::results::xmdf;
namespace h5 = zorvel::results::xmdf::h5;
using zorvel::util::RunEnd;

namespace {

std::string fixture(const std::string& name) {
    return std::string(ZORVEL_FIXTURES_DIR) + "/" + name;
}

// An open fixture with one of its dataset groups, both closed at the end of the test.
struct OpenGroup {
    OpenGroup(const std::string& name, const std::string& path) {
        xf::XF_OPEN_FILE(name, true, file, status);
        if (status >= 0 && !path.empty()) xf::XF_OPEN_GROUP(file, path, group, status);
    }
    ~OpenGroup() { xf::close_all_files(); }
    std::int32_t file = 0;
    std::int32_t group = 0;
    std::int32_t status = -99;
};

// Raw HDF5: an array of a fixture, closed at the end of the test.
struct RawArray {
    RawArray(const std::string& name, const char* path) {
        xf::setup_hdf5();
        file = H5Fopen(fixture(name).c_str(), H5F_ACC_RDONLY, H5P_DEFAULT);
        set = H5Dopen2(file, path, H5P_DEFAULT);
        H5Fget_filesize(file, &size);
    }
    ~RawArray() {
        H5Dclose(set);
        H5Fclose(file);
    }
    hid_t file = -1;
    hid_t set = -1;
    hsize_t size = 0;
};

}  // namespace

// What the stored bytes of an array can unpack to, by layout and filter: the chunks
// written times their size, no more than deflate's 1032 to 1 allows; nothing for chunks
// never written; the stored bytes of a contiguous array.
TEST(XmdfStoredData, BoundsWhatTheStoredBytesUnpackTo) {
    struct Case {
        const char* file;
        const char* path;
        std::uint64_t bound;  // 0: none; 1: the stored bytes as they are
    };
    const std::uint64_t mib4 = std::uint64_t{4} << 20;
    const std::vector<Case> cases = {
        {"sizes_unbacked_nodes.xmdf", "run/Temporal/Water Level/Values", 0},
        {"sizes_unbacked_times.xmdf", "run/Temporal/Water Level/Times", 0},
        {"sizes_refused.xmdf", "huge chunk/Values", 0},
        {"sizes_refused.xmdf", "cells/Active", 0},
        // Five chunks of 2^20 float32 values, deflated to some 20 kB (their last chunk,
        // past the 5,000,000 values, is counted whole).
        {"sizes_accepted.xmdf", "run/Temporal/Water Level/Values", 5 * mib4},
        {"sizes_accepted.xmdf", "run/Temporal/Vector Velocity/Values", 5 * mib4},
        // Scale-offset has no known bound: the chunks written count whole.
        {"sizes_accepted.xmdf", "run/Temporal/Depth/Values", 5 * mib4},
        {"sizes_refused.xmdf", "scale-offset/Values", mib4},
        {"sizes_accepted.xmdf", "run/Temporal/Zero steps/Values", 0},
        {"model_run.xmdf", "File Version", 1},
    };
    for (const Case& c : cases) {
        const RawArray a(c.file, c.path);
        ASSERT_GE(a.set, 0) << c.path;
        const std::uint64_t expected = c.bound == 1 ? H5Dget_storage_size(a.set) : c.bound;
        EXPECT_EQ(h5::stored_data_bound(a.set, a.size), expected) << c.file << " " << c.path;
    }
    // One deflated chunk of 2^20 equal values: its 4 MiB, which its stored bytes can reach.
    const RawArray one("sizes_refused.xmdf", "one chunk/Values");
    EXPECT_EQ(h5::stored_data_bound(one.set, one.size), mib4);
    // A file cut short bounds what its arrays can claim to store.
    const RawArray cut("sizes_accepted.xmdf", "run/Temporal/Water Level/Values");
    EXPECT_EQ(h5::stored_data_bound(cut.set, 100), 100u * 1032u);
}

// Data that compresses near deflate's limit, float64 vectors through shuffle and deflate,
// a filter of unknown reach and a dataset with no step yet are all read as stored.
TEST(XmdfStoredData, RealDataIsReadHoweverFarItCompresses) {
    struct Case {
        const char* path;
        std::int32_t nodes, components, times;
        float x, y;
    };
    const std::vector<Case> cases = {
        {"run/Temporal/Water Level", 5000000, 1, 1, 12.5f, 0.0f},
        {"run/Temporal/Vector Velocity", 1100000, 2, 1, 0.5f, -0.25f},
        {"run/Temporal/Depth", 5000000, 1, 1, 2.0f, 0.0f},
        {"run/Temporal/Zero steps", 1000000, 1, 0, 0.0f, 0.0f},
    };
    for (const Case& c : cases) {
        OpenGroup g(fixture("sizes_accepted.xmdf"), c.path);
        ASSERT_EQ(g.status, 0) << c.path;
        std::int32_t n = 0, times = -1, status = -99;
        xf::XF_GET_DATASET_NUMVALS(g.group, n, status);
        EXPECT_EQ(status, 0) << c.path;
        EXPECT_EQ(n, c.nodes) << c.path;
        xf::XF_GET_DATASET_NUM_TIMES(g.group, times, status);
        EXPECT_EQ(times, c.times) << c.path;
        if (c.times == 0) continue;
        std::vector<float> values(static_cast<std::size_t>(n) * c.components, -1.0f);
        if (c.components == 2) {
            xf::XF_READ_VECTOR_VALUES_TIMESTEP(g.group, 1, n, 2, values, status);
        } else {
            xf::XF_READ_SCALAR_VALUES_TIMESTEP(g.group, 1, n, values, status);
        }
        ASSERT_EQ(status, 0) << c.path;
        for (const std::size_t node : {std::size_t{0}, static_cast<std::size_t>(n / 2), static_cast<std::size_t>(n - 1)}) {
            EXPECT_EQ(values[node * c.components], c.x) << c.path << " node " << node;
            if (c.components == 2) {
                EXPECT_EQ(values[node * 2 + 1], c.y) << c.path << " node " << node;
            }
        }
    }
}

// A count, a read or a listing whose sizes no stored data backs, or of an array whose
// numbers are wider than 64 bits, ends the run with the file's name; the console says
// nothing else of the binding's own.
TEST(XmdfStoredData, SizesThatNothingStoredBacksEndTheRun) {
    struct Case {
        const char* file;
        const char* path;  // empty: the call takes the file
        const char* what;
        std::function<void(std::int32_t, std::int32_t&)> call;
    };
    std::vector<float> values(6);
    std::vector<std::int32_t> flags(3);
    std::vector<double> times(1);
    const auto numvals = [](std::int32_t id, std::int32_t& st) { std::int32_t n; xf::XF_GET_DATASET_NUMVALS(id, n, st); };
    const std::vector<Case> cases = {
        {"sizes_unbacked_nodes.xmdf", "run/Temporal/Water Level", "2^31 - 1 nodes, no chunk", numvals},
        {"sizes_unbacked_times.xmdf", "run/Temporal/Water Level", "2^31 - 1 times, no chunk",
         [](std::int32_t id, std::int32_t& st) { std::int32_t n; xf::XF_GET_DATASET_NUM_TIMES(id, n, st); }},
        {"sizes_unbacked_times.xmdf", "run/Temporal/Water Level", "reading 1 of 2^31 - 1 times",
         [&](std::int32_t id, std::int32_t& st) { xf::XF_GET_DATASET_TIMES(id, 1, times, st); }},
        {"sizes_refused.xmdf", "one chunk", "2^31 - 1 nodes, one deflated chunk", numvals},
        {"sizes_refused.xmdf", "scale-offset", "2^31 - 1 nodes, one scale-offset chunk", numvals},
        {"sizes_refused.xmdf", "huge chunk", "reading 6 values of a 1 GiB chunk never written",
         [&](std::int32_t id, std::int32_t& st) { xf::XF_READ_SCALAR_VALUES_TIMESTEP(id, 1, 6, values, st); }},
        {"sizes_refused.xmdf", "steps not written", "4 steps of 2^18 nodes, one written", numvals},
        {"sizes_refused.xmdf", "no step", "no step, 2^31 - 1 nodes", numvals},
        {"sizes_refused.xmdf", "cells", "2^31 - 1 cells, no chunk",
         [](std::int32_t id, std::int32_t& st) { std::int32_t n; xf::XF_GET_DATASET_NUMACTIVE(id, n, st); }},
        {"sizes_refused.xmdf", "cells", "reading 3 of 2^31 - 1 flags",
         [&](std::int32_t id, std::int32_t& st) { xf::XF_READ_ACTIVITY_TIMESTEP(id, 1, 3, flags, st); }},
        {"sizes_long_paths.xmdf", "", "201 path slots of 100,013 bytes",
         [](std::int32_t id, std::int32_t& st) { std::int32_t n, len; xf::XF_GET_SCALAR_DATASETS_INFO(id, n, len, st); }},
        {"sizes_wide_numbers.xmdf", "wide values", "16-byte values",
         [&](std::int32_t id, std::int32_t& st) { xf::XF_READ_SCALAR_VALUES_TIMESTEP(id, 1, 6, values, st); }},
        {"sizes_wide_numbers.xmdf", "wide times", "16-byte times",
         [](std::int32_t id, std::int32_t& st) { std::int32_t n; xf::XF_GET_DATASET_NUM_TIMES(id, n, st); }},
        {"sizes_wide_numbers.xmdf", "wide flags", "16-byte flags",
         [&](std::int32_t id, std::int32_t& st) { xf::XF_READ_ACTIVITY_TIMESTEP(id, 1, 3, flags, st); }},
        {"sizes_wide_version.xmdf", "", "16-byte File Version",
         [](std::int32_t id, std::int32_t& st) { float v; xf::XF_GET_LIBRARY_VERSION_FILE(id, v, st); }},
    };
    for (const Case& c : cases) {
        const std::string name = fixture(c.file);
        OpenGroup g(name, c.path);
        ASSERT_EQ(g.status, 0) << c.what;
        std::ostringstream out;
        std::istringstream in;
        zorvel::util::ConsoleCapture capture(out, in);
        std::int32_t status = 0;
        EXPECT_THROW(c.call(*c.path != '\0' ? g.group : g.file, status), RunEnd) << c.what;
        EXPECT_EQ(out.str().substr(0, out.str().find("\n\n", 1)),
                  "\nERROR - Dataset sizes not backed by stored data in xmdf file: \"" + name + "\"")
            << c.what;
    }
}

// A group that hard links reach twice, or round in a cycle, is listed once: 63 levels
// each linked twice from the one above give one dataset, not 2^63 paths to it.
TEST(XmdfStoredData, AGroupReachedByTwoLinksIsListedOnce) {
    OpenGroup g(fixture("sizes_linked_twice.xmdf"), "");
    ASSERT_EQ(g.status, 0);
    std::int32_t n = 0, len = 0, status = -99;
    xf::XF_GET_SCALAR_DATASETS_INFO(g.file, n, len, status);
    ASSERT_EQ(status, 0);
    ASSERT_EQ(n, 1);
    std::string expected = "top";
    for (int k = 0; k < 63; ++k) expected += "/a";
    expected += "/Water Level";
    EXPECT_EQ(len, static_cast<std::int32_t>(expected.size() + 1));
    std::vector<char> slots(static_cast<std::size_t>(len));
    xf::XF_GET_SCALAR_DATASET_PATHS(g.file, n, len, slots, status);
    EXPECT_EQ(std::string(slots.data()), expected);
}

// The walk that lists a file's datasets stops once its paths would hold more bytes than
// its bound, and a single path longer than the bound stops it as well.
TEST(XmdfStoredData, TheListingWalkKeepsWithinItsBound) {
    xf::setup_hdf5();
    const hid_t file = H5Fopen(fixture("model_run.xmdf").c_str(), H5F_ACC_RDONLY, H5P_DEFAULT);
    ASSERT_GE(file, 0);
    h5::DatasetPaths paths;
    // Scalars results/Maximums/Depth, results/Temporal/Depth, results/Temporal/Water Level,
    // plain/Inner, zeta; vectors results/Maximums/Vector Velocity, results/Temporal/Vector Velocity.
    std::uint64_t all = 0;
    ASSERT_EQ(h5::list_dataset_groups(file, 1 << 20, paths), h5::WalkEnd::done);
    for (const auto* list : {&paths.scalars, &paths.vectors})
        for (const std::string& p : *list) all += p.size() + 1;
    EXPECT_EQ(paths.scalars.size() + paths.vectors.size(), 7u);
    EXPECT_EQ(h5::list_dataset_groups(file, all, paths), h5::WalkEnd::done);
    EXPECT_EQ(h5::list_dataset_groups(file, all - 1, paths), h5::WalkEnd::too_large);
    EXPECT_EQ(h5::list_dataset_groups(file, 10, paths), h5::WalkEnd::too_large);
    H5Fclose(file);
}
