// The XMDF binding against files made without it (h5py fixtures) and, for what it
// writes, checked with the raw HDF5 C API rather than with the binding itself.

#include <gtest/gtest.h>
#include <hdf5.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <span>
#include <string>
#include <vector>

#include "results/xmdf/binding.hpp"
#include "results/xmdf/fault_guard.hpp"
#include "util/begun_outputs.hpp"
#include "util/file_io.hpp"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace xf = zorvel::results::xmdf;
namespace fs = std::filesystem;

namespace {

std::string fixture(const char* name) {
    return std::string(ZORVEL_FIXTURES_DIR) + "/" + name;
}

// The folder of the files that this test process writes, removed when the tests end.
fs::path scratch_root() {
    return fs::temp_directory_path() / ("zorvel_xmdf_binding_" + std::to_string(getpid()));
}

class ScratchCleanup : public ::testing::Environment {
public:
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(scratch_root(), ec);
    }
};
const auto* const scratch_cleanup = ::testing::AddGlobalTestEnvironment(new ScratchCleanup);

// A fresh folder for the files that one test writes.
fs::path scratch(const char* test) {
    const fs::path dir = scratch_root() / test;
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

// Captures what is written to the process's stderr (where HDF5 prints its error stacks).
class StderrCapture {
public:
    StderrCapture() : file_(std::tmpfile()), saved_(dup(2)) {
        std::fflush(stderr);
        dup2(fileno(file_), 2);
    }
    ~StderrCapture() {
        restore();
        std::fclose(file_);
    }
    std::string text() {
        restore();
        std::rewind(file_);
        std::string out;
        for (int c; (c = std::fgetc(file_)) != EOF;) out.push_back(static_cast<char>(c));
        return out;
    }

private:
    void restore() {
        if (saved_ < 0) return;
        std::fflush(stderr);
        dup2(saved_, 2);
        close(saved_);
        saved_ = -1;
    }
    std::FILE* file_;
    int saved_;
};

// An open fixture, closed at the end of the test.
struct OpenFile {
    explicit OpenFile(const std::string& name) {
        xf::XF_OPEN_FILE(name, true, id, status);
    }
    ~OpenFile() {
        std::int32_t s = 0;
        if (id > 0) xf::XF_CLOSE_FILE(id, s);
    }
    std::int32_t id = 0;
    std::int32_t status = -99;
};

// The paths of one listing, taken from the slots as the catalogue takes them.
std::vector<std::string> listed_paths(std::int32_t file, bool vectors, std::int32_t* slot_out = nullptr) {
    std::int32_t n = -1, slot = -1, status = -99;
    if (vectors) xf::XF_GET_VECTOR_DATASETS_INFO(file, n, slot, status);
    else xf::XF_GET_SCALAR_DATASETS_INFO(file, n, slot, status);
    EXPECT_GE(status, 0);
    if (slot_out != nullptr) *slot_out = slot;
    std::vector<char> buffer(static_cast<std::size_t>(n) * slot, 'X');
    if (vectors) xf::XF_GET_VECTOR_DATASET_PATHS(file, n, slot, buffer, status);
    else xf::XF_GET_SCALAR_DATASET_PATHS(file, n, slot, buffer, status);
    EXPECT_GE(status, 0);
    std::vector<std::string> paths;
    for (std::int32_t k = 0; k < n; ++k) paths.emplace_back(buffer.data() + static_cast<std::size_t>(k) * slot);
    return paths;
}

// Raw HDF5: a string attribute of the object at path.
std::string raw_text_attribute(hid_t file, const char* path, const char* name) {
    hid_t attr = H5Aopen_by_name(file, path, name, H5P_DEFAULT, H5P_DEFAULT);
    if (attr < 0) return "<missing>";
    hid_t type = H5Aget_type(attr);
    std::string out(H5Tget_size(type), '\0');
    EXPECT_EQ(H5Tget_strpad(type), H5T_STR_NULLTERM);
    EXPECT_EQ(H5Tis_variable_str(type), 0);
    H5Aread(attr, type, out.data());
    H5Tclose(type);
    H5Aclose(attr);
    EXPECT_EQ(out.back(), '\0') << name << " is NUL-terminated";
    return out.c_str();
}

// Raw HDF5: an int32 attribute of the object at path.
int raw_int_attribute(hid_t file, const char* path, const char* name) {
    hid_t attr = H5Aopen_by_name(file, path, name, H5P_DEFAULT, H5P_DEFAULT);
    if (attr < 0) return -12345;
    hid_t type = H5Aget_type(attr);
    EXPECT_EQ(H5Tget_class(type), H5T_INTEGER);
    EXPECT_EQ(H5Tget_size(type), 4u);
    int value = 0;
    H5Aread(attr, H5T_NATIVE_INT, &value);
    H5Tclose(type);
    H5Aclose(attr);
    return value;
}

// Raw HDF5: the shape, chunk shape and deflate presence of a dataset, and its values.
struct RawArray {
    std::vector<hsize_t> dims, max_dims, chunk;
    bool deflate = false;
    H5T_class_t cls = H5T_NO_CLASS;
    std::size_t type_size = 0;
    std::vector<double> values;
};

RawArray raw_array(hid_t file, const std::string& path) {
    RawArray out;
    hid_t set = H5Dopen2(file, path.c_str(), H5P_DEFAULT);
    EXPECT_GE(set, 0) << path;
    if (set < 0) return out;
    hid_t space = H5Dget_space(set);
    const int rank = H5Sget_simple_extent_ndims(space);
    out.dims.resize(rank);
    out.max_dims.resize(rank);
    H5Sget_simple_extent_dims(space, out.dims.data(), out.max_dims.data());
    hid_t dcpl = H5Dget_create_plist(set);
    if (H5Pget_layout(dcpl) == H5D_CHUNKED) {
        out.chunk.resize(rank);
        H5Pget_chunk(dcpl, rank, out.chunk.data());
    }
    for (int i = 0; i < H5Pget_nfilters(dcpl); ++i) {
        unsigned flags = 0;
        std::size_t n = 0;
        if (H5Pget_filter2(dcpl, i, &flags, &n, nullptr, 0, nullptr, nullptr) == H5Z_FILTER_DEFLATE)
            out.deflate = true;
    }
    hid_t type = H5Dget_type(set);
    out.cls = H5Tget_class(type);
    out.type_size = H5Tget_size(type);
    out.values.resize(static_cast<std::size_t>(H5Sget_simple_extent_npoints(space)));
    if (!out.values.empty()) H5Dread(set, H5T_NATIVE_DOUBLE, H5S_ALL, H5S_ALL, H5P_DEFAULT, out.values.data());
    H5Tclose(type);
    H5Pclose(dcpl);
    H5Sclose(space);
    H5Dclose(set);
    return out;
}

std::vector<double> as_doubles(std::initializer_list<double> v) {
    return std::vector<double>(v);
}

}  // namespace

TEST(XmdfBinding, ListsModelRunDatasetsDepthFirstInNameOrder) {
    OpenFile f(fixture("model_run.xmdf"));
    ASSERT_EQ(f.status, 0);
    ASSERT_GT(f.id, 0);
    float version = 0;
    std::int32_t status = -99;
    xf::XF_GET_LIBRARY_VERSION_FILE(f.id, version, status);
    EXPECT_EQ(status, 0);
    EXPECT_FLOAT_EQ(version, 1.9f);

    std::int32_t slot = 0;
    EXPECT_EQ(listed_paths(f.id, false, &slot),
              (std::vector<std::string>{"plain/Inner", "results/Maximums/Depth", "results/Temporal/Depth",
                                        "results/Temporal/Water Level", "zeta"}));
    EXPECT_EQ(slot, 29);  // "results/Temporal/Water Level" and its NUL
    EXPECT_EQ(listed_paths(f.id, true, &slot),
              (std::vector<std::string>{"results/Maximums/Vector Velocity", "results/Temporal/Vector Velocity"}));
    EXPECT_EQ(slot, 33);
}

TEST(XmdfBinding, ReadsSizesTimesValuesAndActivityOfOneDataset) {
    OpenFile f(fixture("model_run.xmdf"));
    std::int32_t g = 0, status = -99, n = 0;
    xf::XF_OPEN_GROUP(f.id, "results/Temporal/Depth   ", g, status);  // trailing blanks are not part of a path
    ASSERT_EQ(status, 0);
    xf::XF_GET_DATASET_NUMVALS(g, n, status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(n, 5);
    xf::XF_GET_DATASET_NUMACTIVE(g, n, status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(n, 3);
    std::string units = "old";
    xf::XF_GET_DATASET_TIME_UNITS(g, units, status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(units, "Hours");
    xf::XF_GET_DATASET_NUM_TIMES(g, n, status);
    EXPECT_EQ(status, 0);
    ASSERT_EQ(n, 3);
    std::vector<double> times(3);
    xf::XF_GET_DATASET_TIMES(g, 3, times, status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(times, as_doubles({0.0, 0.5, 1.0}));

    std::vector<float> values(5);
    xf::XF_READ_SCALAR_VALUES_TIMESTEP(g, 2, 5, values, status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(values, (std::vector<float>{20.0f, 20.5f, 21.0f, 21.5f, 22.0f}));
    std::vector<std::int32_t> flags(3, -7);
    xf::XF_READ_ACTIVITY_TIMESTEP(g, 3, 3, flags, status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(flags, (std::vector<std::int32_t>{1, 0, 1}));

    std::int32_t v = 0;
    xf::XF_OPEN_GROUP(f.id, "results/Temporal/Vector Velocity", v, status);
    ASSERT_EQ(status, 0);
    std::vector<float> xy(10);
    xf::XF_READ_VECTOR_VALUES_TIMESTEP(v, 3, 5, 2, xy, status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(xy, (std::vector<float>{3, -0.75f, 4, -1, 5, -1.25f, 6, -1.5f, 7, -1.75f}));
    xf::XF_CLOSE_GROUP(v, status);
    EXPECT_EQ(status, 0);
    xf::XF_CLOSE_GROUP(g, status);
    EXPECT_EQ(status, 0);
}

TEST(XmdfBinding, CopesWithAnotherWritersLayout) {
    OpenFile f(fixture("foreign_layout.xmdf"));
    ASSERT_EQ(f.status, 0);
    float version = 0;
    std::int32_t status = -99, g = 0, n = -1;
    xf::XF_GET_LIBRARY_VERSION_FILE(f.id, version, status);
    EXPECT_EQ(status, 0);
    EXPECT_FLOAT_EQ(version, 2.5f);
    EXPECT_EQ(listed_paths(f.id, false), std::vector<std::string>{"Depth"});
    EXPECT_EQ(listed_paths(f.id, true), std::vector<std::string>{"Velocity"});

    xf::XF_OPEN_GROUP(f.id, "Depth", g, status);
    ASSERT_EQ(status, 0);
    std::string units;
    xf::XF_GET_DATASET_TIME_UNITS(g, units, status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(units, "Seconds");
    xf::XF_GET_DATASET_NUMACTIVE(g, n, status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(n, 0);  // no Active dataset
    std::vector<float> values(5);
    xf::XF_READ_SCALAR_VALUES_TIMESTEP(g, 1, 5, values, status);  // float64, deflated
    EXPECT_EQ(status, 0);
    EXPECT_EQ(values, (std::vector<float>{10.0f, 10.5f, 11.0f, 11.5f, 12.0f}));
    std::vector<std::int32_t> flags(4, 0);
    xf::XF_READ_ACTIVITY_TIMESTEP(g, 2, 4, flags, status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(flags, (std::vector<std::int32_t>{1, 1, 1, 1}));  // every cell counts as active
    std::vector<double> times(2);
    xf::XF_GET_DATASET_TIMES(g, 2, times, status);
    EXPECT_EQ(times, as_doubles({0.0, 3600.0}));

    std::int32_t v = 0;
    xf::XF_OPEN_GROUP(f.id, "/Velocity", v, status);
    ASSERT_EQ(status, 0);
    std::vector<float> xy(10);
    xf::XF_READ_VECTOR_VALUES_TIMESTEP(v, 2, 5, 2, xy, status);
    EXPECT_EQ(status, 0);
    EXPECT_FLOAT_EQ(xy[8], 6.0f);
    EXPECT_FLOAT_EQ(xy[9], -1.5f);
}

TEST(XmdfBinding, FileWithoutDatasetsGivesCountZero) {
    OpenFile f(fixture("no_datasets.xmdf"));
    ASSERT_EQ(f.status, 0);
    std::int32_t n = -1, slot = -1, status = -99;
    xf::XF_GET_SCALAR_DATASETS_INFO(f.id, n, slot, status);
    EXPECT_GE(status, 0);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(slot, 0);
    xf::XF_GET_VECTOR_DATASETS_INFO(f.id, n, slot, status);
    EXPECT_GE(status, 0);
    EXPECT_EQ(n, 0);
    xf::XF_GET_SCALAR_DATASET_PATHS(f.id, 0, 0, {}, status);
    EXPECT_GE(status, 0);
}

TEST(XmdfBinding, UnreadableFilesFailQuietly) {
    StderrCapture err;
    for (const std::string& name : {fixture("not_hdf5.xmdf"), fixture("truncated.xmdf"), fixture("absent.xmdf"),
                                    std::string("    "), std::string()}) {
        std::int32_t id = 77, status = 0;
        xf::XF_OPEN_FILE(name, true, id, status);
        EXPECT_LT(status, 0) << name;
        EXPECT_EQ(id, 0) << name;
        xf::XF_CLOSE_FILE(id, status);  // what a caller does after a failed open
        EXPECT_LT(status, 0);
    }
    EXPECT_EQ(err.text(), "");
}

// Every call that cannot be carried out as asked fails, and leaves the caller's buffer alone.
TEST(XmdfBinding, RefusesWhatDoesNotFitTheData) {
    StderrCapture err;
    OpenFile f(fixture("model_run.xmdf"));
    std::int32_t s = 0, v = 0, folder = 0, status = 0;
    xf::XF_OPEN_GROUP(f.id, "results/Temporal/Depth", s, status);
    xf::XF_OPEN_GROUP(f.id, "results/Temporal/Vector Velocity", v, status);
    xf::XF_OPEN_GROUP(f.id, "results/Temporal", folder, status);
    ASSERT_GT(s * v * folder, 0);

    std::vector<float> guard(12, -42.0f);
    std::vector<double> times(3, -42.0);
    std::vector<std::int32_t> flags(4, -42);
    const std::span<float> four(guard.data(), 4);
    struct Case {
        const char* what;
        std::function<void(std::int32_t&)> call;
    };
    const std::vector<Case> cases = {
        {"values into a buffer too small", [&](auto& st) { xf::XF_READ_SCALAR_VALUES_TIMESTEP(s, 1, 5, four, st); }},
        {"fewer values than stored", [&](auto& st) { xf::XF_READ_SCALAR_VALUES_TIMESTEP(s, 1, 4, guard, st); }},
        {"more values than stored", [&](auto& st) { xf::XF_READ_SCALAR_VALUES_TIMESTEP(s, 1, 6, guard, st); }},
        {"timestep 0", [&](auto& st) { xf::XF_READ_SCALAR_VALUES_TIMESTEP(s, 0, 5, guard, st); }},
        {"timestep past the end", [&](auto& st) { xf::XF_READ_SCALAR_VALUES_TIMESTEP(s, 4, 5, guard, st); }},
        {"scalar read of a vector", [&](auto& st) { xf::XF_READ_SCALAR_VALUES_TIMESTEP(v, 1, 5, guard, st); }},
        {"vector read of a scalar", [&](auto& st) { xf::XF_READ_VECTOR_VALUES_TIMESTEP(s, 1, 5, 2, guard, st); }},
        {"three components", [&](auto& st) { xf::XF_READ_VECTOR_VALUES_TIMESTEP(v, 1, 4, 3, guard, st); }},
        {"vector buffer too small", [&](auto& st) { xf::XF_READ_VECTOR_VALUES_TIMESTEP(v, 1, 5, 2, {guard.data(), 9}, st); }},
        {"more times than stored", [&](auto& st) { xf::XF_GET_DATASET_TIMES(s, 4, {times.data(), 3}, st); }},
        {"times buffer too small", [&](auto& st) { xf::XF_GET_DATASET_TIMES(s, 3, {times.data(), 2}, st); }},
        {"flags into a buffer too small", [&](auto& st) { xf::XF_READ_ACTIVITY_TIMESTEP(s, 1, 3, {flags.data(), 2}, st); }},
        {"flags of another count", [&](auto& st) { xf::XF_READ_ACTIVITY_TIMESTEP(s, 1, 4, flags, st); }},
        {"flags past the end", [&](auto& st) { xf::XF_READ_ACTIVITY_TIMESTEP(s, 4, 3, flags, st); }},
        {"a folder is no dataset", [&](auto& st) { std::int32_t n; xf::XF_GET_DATASET_NUMVALS(folder, n, st); }},
        {"a file id is no group", [&](auto& st) { std::int32_t n; xf::XF_GET_DATASET_NUM_TIMES(f.id, n, st); }},
        {"a group id is no file", [&](auto& st) { std::int32_t a, b; xf::XF_GET_SCALAR_DATASETS_INFO(s, a, b, st); }},
        {"an unknown id", [&](auto& st) { std::int32_t n; xf::XF_GET_DATASET_NUMVALS(987654, n, st); }},
        {"a missing path", [&](auto& st) { std::int32_t g; xf::XF_OPEN_GROUP(f.id, "results/Nothing", g, st); }},
        {"an array is no group", [&](auto& st) { std::int32_t g; xf::XF_OPEN_GROUP(f.id, "zeta/Values", g, st); }},
        {"a blank path", [&](auto& st) { std::int32_t g; xf::XF_OPEN_GROUP(f.id, "   ", g, st); }},
        {"path slots too short", [&](auto& st) {
             std::vector<char> b(5 * 28);
             xf::XF_GET_SCALAR_DATASET_PATHS(f.id, 5, 28, b, st);
         }},
        {"path buffer too small", [&](auto& st) {
             std::vector<char> b(5 * 29 - 1);
             xf::XF_GET_SCALAR_DATASET_PATHS(f.id, 5, 29, b, st);
         }},
        {"more paths than listed", [&](auto& st) {
             std::vector<char> b(6 * 29);
             xf::XF_GET_SCALAR_DATASET_PATHS(f.id, 6, 29, b, st);
         }},
    };
    for (const Case& c : cases) {
        std::int32_t st = 0;
        c.call(st);
        EXPECT_LT(st, 0) << c.what;
    }
    EXPECT_EQ(guard, std::vector<float>(12, -42.0f));
    EXPECT_EQ(times, std::vector<double>(3, -42.0));
    EXPECT_EQ(flags, std::vector<std::int32_t>(4, -42));
    EXPECT_EQ(err.text(), "");
}

TEST(XmdfBinding, GroupsStayOpenSideBySideUntilClosedOrTheirFileCloses) {
    std::int32_t file = 0, a = 0, b = 0, status = 0, n = 0;
    xf::XF_OPEN_FILE(fixture("model_run.xmdf"), true, file, status);
    ASSERT_EQ(status, 0);
    xf::XF_OPEN_GROUP(file, "results/Temporal/Depth", a, status);
    xf::XF_OPEN_GROUP(file, "results/Temporal/Depth", b, status);
    ASSERT_GT(a, 0);
    ASSERT_GT(b, 0);
    EXPECT_NE(a, b);
    EXPECT_NE(a, file);
    xf::XF_CLOSE_GROUP(a, status);
    EXPECT_EQ(status, 0);
    xf::XF_CLOSE_GROUP(a, status);  // a second close of the same id
    EXPECT_LT(status, 0);
    xf::XF_GET_DATASET_NUM_TIMES(b, n, status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(n, 3);
    xf::XF_CLOSE_GROUP(file, status);  // a file is not closed as a group
    EXPECT_LT(status, 0);

    xf::XF_CLOSE_FILE(file, status);  // takes b with it
    EXPECT_EQ(status, 0);
    xf::XF_GET_DATASET_NUM_TIMES(b, n, status);
    EXPECT_LT(status, 0);
    xf::XF_CLOSE_GROUP(b, status);
    EXPECT_LT(status, 0);
    xf::XF_CLOSE_FILE(file, status);
    EXPECT_LT(status, 0);
    xf::XF_CLOSE_FILE(0, status);
    EXPECT_LT(status, 0);

    // The same file opened twice gives two independent ids.
    std::int32_t f1 = 0, f2 = 0;
    xf::XF_OPEN_FILE(fixture("model_run.xmdf"), true, f1, status);
    xf::XF_OPEN_FILE(fixture("model_run.xmdf"), true, f2, status);
    xf::XF_OPEN_GROUP(f2, "zeta", b, status);
    xf::XF_CLOSE_FILE(f1, status);
    EXPECT_EQ(status, 0);
    xf::XF_GET_DATASET_NUMVALS(b, n, status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(n, 5);
    xf::XF_CLOSE_FILE(f2, status);
    EXPECT_EQ(status, 0);
}

namespace {

// Writes a vector output as the results writer does: group, vector dataset, its
// scalar companion, two timesteps of values and flags each, then closes it all.
void write_vector_output(const std::string& name, std::int32_t compression) {
    std::int32_t file = 0, group = 0, vec = 0, mag = 0, status = -99;
    xf::XF_CREATE_FILE(name, true, file, status);
    ASSERT_EQ(status, 0);
    xf::XF_CREATE_GENERIC_GROUP(file, "run_h/MaxMax", group, status);
    ASSERT_EQ(status, 0);
    xf::XF_CREATE_VECTOR_DATASET(group, "Vector Velocity", "m", "Hours", compression, vec, status);
    ASSERT_EQ(status, 0);
    xf::XF_CREATE_SCALAR_DATASET(group, "Velocity", "m", "Hours", compression, mag, status);
    ASSERT_EQ(status, 0);
    const std::vector<std::int8_t> flags[2] = {{1, 0}, {0, -1}};
    for (int step = 0; step < 2; ++step) {
        const float k = static_cast<float>(step + 1);
        const std::vector<float> xy = {3 * k, 4 * k, 0, 0, -6 * k, 8 * k};
        const std::vector<float> m = {5 * k, 0, 10 * k};
        xf::XF_WRITE_VECTOR_TIMESTEP(vec, 0.25 * (step + 1), 3, 2, xy, status);
        EXPECT_EQ(status, 0);
        xf::XF_WRITE_ACTIVITY_TIMESTEP(vec, 2, flags[step], status);
        EXPECT_EQ(status, 0);
        xf::XF_WRITE_SCALAR_TIMESTEP(mag, 0.25 * (step + 1), 3, m, status);
        EXPECT_EQ(status, 0);
        xf::XF_WRITE_ACTIVITY_TIMESTEP(mag, 2, flags[step], status);
        EXPECT_EQ(status, 0);
    }
    for (std::int32_t id : {vec, mag, group}) {
        xf::XF_CLOSE_GROUP(id, status);
        EXPECT_EQ(status, 0);
    }
    xf::XF_CLOSE_FILE(file, status);
    EXPECT_EQ(status, 0);
}

}  // namespace

TEST(XmdfBinding, WritesTheXmdfLayout) {
    const std::string name = (scratch("layout") / "out.xmdf").string();
    write_vector_output(name, 0);

    hid_t file = H5Fopen(name.c_str(), H5F_ACC_RDONLY, H5P_DEFAULT);
    ASSERT_GE(file, 0);
    {
        // A one-element array, as other XMDF writers store it.
        hid_t set = H5Dopen2(file, "File Type", H5P_DEFAULT);
        hid_t space = H5Dget_space(set);
        hsize_t dims[2] = {0, 0};
        EXPECT_EQ(H5Sget_simple_extent_ndims(space), 1);
        H5Sget_simple_extent_dims(space, dims, nullptr);
        EXPECT_EQ(dims[0], 1u);
        hid_t t = H5Dget_type(set);
        char text[5] = {'?', '?', '?', '?', '?'};
        EXPECT_EQ(H5Tget_size(t), 5u);
        H5Dread(set, t, H5S_ALL, H5S_ALL, H5P_DEFAULT, text);
        EXPECT_EQ(std::string(text, 5), std::string("Xmdf\0", 5));
        H5Tclose(t);
        H5Sclose(space);
        H5Dclose(set);
    }
    const RawArray version = raw_array(file, "File Version");
    EXPECT_EQ(version.cls, H5T_FLOAT);
    EXPECT_EQ(version.type_size, 4u);
    ASSERT_EQ(version.values.size(), 1u);
    EXPECT_FLOAT_EQ(static_cast<float>(version.values[0]), 1.9f);

    EXPECT_EQ(raw_text_attribute(file, "run_h", "Grouptype"), "Generic");
    EXPECT_EQ(raw_text_attribute(file, "run_h/MaxMax", "Grouptype"), "Generic");
    for (const char* path : {"run_h/MaxMax/Vector Velocity", "run_h/MaxMax/Velocity"}) {
        const bool vector = std::string(path).find("Vector") != std::string::npos;
        EXPECT_EQ(raw_text_attribute(file, path, "Grouptype"), vector ? "DATASET VECTOR" : "DATASET SCALAR");
        EXPECT_EQ(raw_text_attribute(file, path, "DatasetUnits"), "m");
        EXPECT_EQ(raw_text_attribute(file, path, "TimeUnits"), "Hours");
        EXPECT_EQ(raw_int_attribute(file, path, "DatasetCompression"), 0);
        EXPECT_EQ(raw_int_attribute(file, path, "Data Type"), 0);

        const std::string p = path;
        const RawArray times = raw_array(file, p + "/Times");
        EXPECT_EQ(times.cls, H5T_FLOAT);
        EXPECT_EQ(times.type_size, 8u);
        EXPECT_EQ(times.max_dims, std::vector<hsize_t>{H5S_UNLIMITED});
        EXPECT_EQ(times.values, as_doubles({0.25, 0.5}));

        const RawArray values = raw_array(file, p + "/Values");
        EXPECT_EQ(values.type_size, 4u);
        EXPECT_FALSE(values.deflate);  // level 0: stored as it is
        EXPECT_EQ(values.max_dims[0], H5S_UNLIMITED);
        if (vector) {
            EXPECT_EQ(values.dims, (std::vector<hsize_t>{2, 3, 2}));
            EXPECT_EQ(values.chunk, (std::vector<hsize_t>{1, 3, 2}));
            EXPECT_EQ(values.values, as_doubles({3, 4, 0, 0, -6, 8, 6, 8, 0, 0, -12, 16}));
        } else {
            EXPECT_EQ(values.dims, (std::vector<hsize_t>{2, 3}));
            EXPECT_EQ(values.chunk, (std::vector<hsize_t>{1, 3}));
            EXPECT_EQ(values.values, as_doubles({5, 0, 10, 10, 0, 20}));
        }
        EXPECT_EQ(raw_array(file, p + "/Mins").values, as_doubles({0, 0}));
        EXPECT_EQ(raw_array(file, p + "/Maxs").values, as_doubles({10, 20}));
        const RawArray active = raw_array(file, p + "/Active");
        EXPECT_EQ(active.cls, H5T_INTEGER);
        EXPECT_EQ(active.type_size, 1u);
        EXPECT_EQ(active.dims, (std::vector<hsize_t>{2, 2}));
        EXPECT_EQ(active.values, as_doubles({1, 0, 0, 255}));
    }
    H5Fclose(file);
    EXPECT_EQ(std::system(("h5dump \"" + name + "\" > /dev/null 2>&1").c_str()), 0) << "h5dump opens the file";
}

TEST(XmdfBinding, ReadsBackWhatItWrote) {
    const std::string name = (scratch("round_trip") / "out.xmdf").string();
    write_vector_output(name, -1);
    OpenFile f(name);
    ASSERT_EQ(f.status, 0);
    EXPECT_EQ(listed_paths(f.id, true), std::vector<std::string>{"run_h/MaxMax/Vector Velocity"});
    EXPECT_EQ(listed_paths(f.id, false), std::vector<std::string>{"run_h/MaxMax/Velocity"});
    std::int32_t g = 0, status = 0, n = 0;
    xf::XF_OPEN_GROUP(f.id, "run_h/MaxMax/Vector Velocity", g, status);
    xf::XF_GET_DATASET_NUMACTIVE(g, n, status);
    EXPECT_EQ(n, 2);
    std::vector<float> xy(6);
    xf::XF_READ_VECTOR_VALUES_TIMESTEP(g, 2, 3, 2, xy, status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(xy, (std::vector<float>{6, 8, 0, 0, -12, 16}));
    std::vector<std::int32_t> flags(2);
    xf::XF_READ_ACTIVITY_TIMESTEP(g, 2, 2, flags, status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(static_cast<std::int8_t>(flags[1]), -1);  // the low 8 bits give the flag back

    hid_t file = H5Fopen(name.c_str(), H5F_ACC_RDONLY, H5P_DEFAULT);
    EXPECT_FALSE(raw_array(file, "run_h/MaxMax/Velocity/Values").deflate);  // compression -1
    H5Fclose(file);
}

TEST(XmdfBinding, GroupAskedForAgainTakesFurtherDatasets) {
    const std::string name = (scratch("again") / "out.xmdf").string();
    std::int32_t file = 0, g1 = 0, g2 = 0, d1 = 0, d2 = 0, status = 0;
    xf::XF_CREATE_FILE(name, true, file, status);
    xf::XF_CREATE_GENERIC_GROUP(file, "m01/Temporal", g1, status);
    ASSERT_EQ(status, 0);
    xf::XF_CREATE_SCALAR_DATASET(g1, "Water Level  ", "m", "Hours", 0, d1, status);
    ASSERT_EQ(status, 0);
    const std::vector<float> v = {1, 2};
    xf::XF_WRITE_SCALAR_TIMESTEP(d1, 0.0, 2, v, status);
    xf::XF_CLOSE_GROUP(d1, status);
    xf::XF_CLOSE_GROUP(g1, status);
    xf::XF_CREATE_GENERIC_GROUP(file, "m01/Temporal  ", g2, status);
    ASSERT_EQ(status, 0);
    EXPECT_NE(g2, g1);
    xf::XF_CREATE_SCALAR_DATASET(g2, "Depth", "m", "Hours", 0, d2, status);
    ASSERT_EQ(status, 0);
    xf::XF_CREATE_SCALAR_DATASET(g2, "Water Level", "m", "Hours", 0, d1, status);  // already there
    EXPECT_LT(status, 0);
    std::int32_t bad = 0;
    xf::XF_CREATE_GENERIC_GROUP(file, "m01/Temporal/Depth", bad, status);  // a dataset is no folder
    EXPECT_LT(status, 0);
    xf::XF_CREATE_GENERIC_GROUP(file, "m01/Temporal/Depth/Inner", bad, status);
    EXPECT_LT(status, 0);
    xf::XF_CREATE_SCALAR_DATASET(g2, "Depth/Inner", "m", "Hours", 0, bad, status);
    EXPECT_LT(status, 0);
    // A name with folders in it (a dataset named after an output path) gets them as groups.
    xf::XF_CREATE_SCALAR_DATASET(g2, "out/run_h(maxmax).xmdf", "m", "Hours", 0, bad, status);
    EXPECT_EQ(status, 0);
    xf::XF_CREATE_GENERIC_GROUP(file, "  ", bad, status);
    EXPECT_LT(status, 0);
    xf::XF_CREATE_SCALAR_DATASET(g2, "", "m", "Hours", 0, bad, status);
    EXPECT_LT(status, 0);
    xf::XF_CLOSE_FILE(file, status);  // closes d2 and g2 too
    EXPECT_EQ(status, 0);

    OpenFile f(name);
    EXPECT_EQ(listed_paths(f.id, false), (std::vector<std::string>{"m01/Temporal/Depth", "m01/Temporal/Water Level",
                                                                    "m01/Temporal/out/run_h(maxmax).xmdf"}));
}

TEST(XmdfBinding, RefusesWritesThatDoNotFit) {
    StderrCapture err;
    const fs::path dir = scratch("refusals");
    const std::string name = (dir / "out.xmdf").string();
    std::int32_t file = 0, group = 0, s = 0, v = 0, status = 0;
    xf::XF_CREATE_FILE(name, true, file, status);
    xf::XF_CREATE_GENERIC_GROUP(file, "run/Temporal", group, status);
    xf::XF_CREATE_SCALAR_DATASET(group, "Depth", "m", "Hours", 0, s, status);
    xf::XF_CREATE_VECTOR_DATASET(group, "Vector Velocity", "m", "Hours", 0, v, status);
    ASSERT_GT(s * v, 0);
    const std::vector<float> three = {1, 2, 3};
    const std::vector<std::int8_t> flags = {1, 1};

    xf::XF_WRITE_ACTIVITY_TIMESTEP(s, 2, flags, status);
    EXPECT_LT(status, 0) << "flags before any timestep";
    xf::XF_WRITE_SCALAR_TIMESTEP(s, 0.0, 3, three, status);
    ASSERT_EQ(status, 0);

    struct Case {
        const char* what;
        std::function<void(std::int32_t&)> call;
    };
    const std::vector<Case> cases = {
        {"another number of values", [&](auto& st) { xf::XF_WRITE_SCALAR_TIMESTEP(s, 1.0, 2, three, st); }},
        {"values past the buffer", [&](auto& st) { xf::XF_WRITE_SCALAR_TIMESTEP(s, 1.0, 4, three, st); }},
        {"no values", [&](auto& st) { xf::XF_WRITE_SCALAR_TIMESTEP(s, 1.0, 0, three, st); }},
        {"scalar values to a vector", [&](auto& st) { xf::XF_WRITE_SCALAR_TIMESTEP(v, 1.0, 3, three, st); }},
        {"vector values to a scalar", [&](auto& st) { xf::XF_WRITE_VECTOR_TIMESTEP(s, 1.0, 1, 2, three, st); }},
        {"three components", [&](auto& st) { xf::XF_WRITE_VECTOR_TIMESTEP(v, 1.0, 1, 3, three, st); }},
        {"vector past the buffer", [&](auto& st) { xf::XF_WRITE_VECTOR_TIMESTEP(v, 1.0, 2, 2, three, st); }},
        {"flags past the buffer", [&](auto& st) { xf::XF_WRITE_ACTIVITY_TIMESTEP(s, 3, flags, st); }},
        {"a folder is no dataset", [&](auto& st) { xf::XF_WRITE_SCALAR_TIMESTEP(group, 1.0, 3, three, st); }},
        {"compression 10", [&](auto& st) { std::int32_t d; xf::XF_CREATE_SCALAR_DATASET(group, "A", "m", "Hours", 10, d, st); }},
        {"an unknown group", [&](auto& st) { std::int32_t d; xf::XF_CREATE_SCALAR_DATASET(555555, "A", "m", "Hours", 0, d, st); }},
        {"a file not replaced", [&](auto& st) {
             std::ofstream(dir / "existing.xmdf") << "kept";
             std::int32_t f;
             xf::XF_CREATE_FILE((dir / "existing.xmdf").string(), false, f, st);
         }},
        {"a file in no folder", [&](auto& st) { std::int32_t f; xf::XF_CREATE_FILE((dir / "no/x.xmdf").string(), true, f, st); }},
    };
    for (const Case& c : cases) {
        std::int32_t st = 0;
        c.call(st);
        EXPECT_LT(st, 0) << c.what;
    }
    xf::XF_WRITE_ACTIVITY_TIMESTEP(s, 2, flags, status);
    EXPECT_EQ(status, 0);
    xf::XF_CLOSE_FILE(file, status);
    EXPECT_EQ(status, 0);

    // A file opened for reading takes no new groups.
    OpenFile f(name);
    xf::XF_CREATE_GENERIC_GROUP(f.id, "run/Other", group, status);
    EXPECT_LT(status, 0);
    std::int32_t g = 0, n = 0;
    xf::XF_OPEN_GROUP(f.id, "run/Temporal/Depth", g, status);
    xf::XF_GET_DATASET_NUM_TIMES(g, n, status);
    EXPECT_EQ(n, 1) << "the refused steps left nothing behind";
    xf::XF_OPEN_GROUP(f.id, "run/Temporal/Vector Velocity", g, status);
    xf::XF_GET_DATASET_NUM_TIMES(g, n, status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(err.text(), "");
}

namespace {

// Runs the body with the process's file-size limit at the given size (writes past it fail).
template <class Body>
void with_file_size_limit(std::uintmax_t size, Body&& body) {
    const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = static_cast<rlim_t>(size);
    setrlimit(RLIMIT_FSIZE, &small);
    body();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, old_handler);
}

}  // namespace

// Writes and closes that cannot reach the disk (here: the file-size limit is reached) are
// failures, nothing crashes, and the binding goes on working for the next file.
TEST(XmdfBinding, FailedWritesAndClosesAreReported) {
    StderrCapture err;
    const fs::path dir = scratch("failed_io");
#if defined(__SANITIZE_ADDRESS__)
    __lsan_disable();  // HDF5 keeps, and never frees, the memory of a file that it failed to close
#endif
    for (const std::int32_t compression : {-1, 0}) {
        const std::string name = (dir / "out.xmdf").string();
        std::int32_t file = 0, group = 0, set = 0, status = 0;
        xf::XF_CREATE_FILE(name, true, file, status);
        xf::XF_CREATE_GENERIC_GROUP(file, "run/Temporal", group, status);
        xf::XF_CREATE_SCALAR_DATASET(group, "Depth", "m", "Hours", compression, set, status);
        const std::vector<float> small(1000, 1.0f), large(300000, 2.0f);
        xf::XF_WRITE_SCALAR_TIMESTEP(set, 0.0, 1000, small, status);
        ASSERT_EQ(status, 0);
        std::int32_t write_status = 0, set_status = 0, group_status = 0, file_status = 0;
        // The file is written under its temporary name until it is closed whole.
        std::uintmax_t written = 0;
        for (const auto& e : fs::directory_iterator(dir))
            if (e.path().filename().string().rfind("out.xmdf.zorvel-", 0) == 0) written = fs::file_size(e.path());
        ASSERT_GT(written, 0u);
        with_file_size_limit(written, [&] {
            std::int32_t big = 0;
            xf::XF_CREATE_SCALAR_DATASET(group, "Large", "m", "Hours", compression, big, status);
            xf::XF_WRITE_SCALAR_TIMESTEP(big, 0.0, 300000, large, write_status);
            xf::XF_CLOSE_GROUP(big, status);
            xf::XF_CLOSE_GROUP(set, set_status);
            xf::XF_CLOSE_GROUP(group, group_status);
            xf::XF_CLOSE_FILE(file, file_status);
        });
        EXPECT_LT(write_status, 0) << compression;
        EXPECT_LT(file_status, 0) << compression;
    }
#if defined(__SANITIZE_ADDRESS__)
    __lsan_enable();
#endif
    // The next file is written as if nothing had happened.
    write_vector_output((dir / "after.xmdf").string(), 0);
    EXPECT_EQ(err.text(), "");
}

// Long rows go through every write path (no filter, level 0 made here, zlib's levels);
// HDF5 must read them back exactly, and each step's extremes must skip NaNs.
TEST(XmdfBinding, LongRowsKeepTheirValuesAndExtremesOnEveryCompression) {
    const fs::path dir = scratch("long_rows");
    constexpr std::int32_t kNodes = 40001;
    std::vector<float> scalar(kNodes), xy(2 * kNodes);
    for (std::int32_t i = 0; i < kNodes; ++i) {
        scalar[i] = static_cast<float>((i * 7919) % 1000) - 500.0f;
        xy[2 * i] = static_cast<float>(i % 13);
        xy[2 * i + 1] = static_cast<float>(i % 7);
    }
    scalar[123] = scalar[39990] = std::numeric_limits<float>::quiet_NaN();  // early, and in the last full lanes
    scalar[20000] = -900.0f;  // inside the vector lanes
    scalar[kNodes - 1] = 950.0f;  // in the tail
    xy[2 * 333] = xy[2 * 39999] = std::numeric_limits<float>::quiet_NaN();
    xy[2 * 777] = 30.0f, xy[2 * 777 + 1] = 40.0f;  // magnitude 50
    const std::pair<std::int32_t, const char*> levels[] = {{-1, "none.xmdf"}, {0, "level0.xmdf"}, {6, "level6.xmdf"}};
    for (const auto& [compression, file_name] : levels) {
        const std::string name = (dir / file_name).string();
        std::int32_t file = 0, group = 0, s = 0, v = 0, status = 0;
        xf::XF_CREATE_FILE(name, true, file, status);
        xf::XF_CREATE_GENERIC_GROUP(file, "run/Temporal", group, status);
        xf::XF_CREATE_SCALAR_DATASET(group, "Depth", "m", "Hours", compression, s, status);
        xf::XF_CREATE_VECTOR_DATASET(group, "Vector Velocity", "m", "Hours", compression, v, status);
        for (int step = 0; step < 2; ++step) {
            xf::XF_WRITE_SCALAR_TIMESTEP(s, step, kNodes, scalar, status);
            EXPECT_EQ(status, 0);
            xf::XF_WRITE_VECTOR_TIMESTEP(v, step, kNodes, 2, xy, status);
            EXPECT_EQ(status, 0);
        }
        xf::XF_CLOSE_FILE(file, status);
        ASSERT_EQ(status, 0);

        hid_t raw = H5Fopen(name.c_str(), H5F_ACC_RDONLY, H5P_DEFAULT);
        const RawArray values = raw_array(raw, "run/Temporal/Depth/Values");
        EXPECT_EQ(values.deflate, compression >= 1);
        ASSERT_EQ(values.values.size(), 2u * kNodes);
        for (std::int32_t i = 0; i < kNodes; ++i) {
            if (std::isnan(scalar[i])) {
                EXPECT_TRUE(std::isnan(values.values[kNodes + i]));
                continue;
            }
            ASSERT_EQ(values.values[kNodes + i], scalar[i]) << compression << " node " << i;
        }
        EXPECT_EQ(raw_array(raw, "run/Temporal/Depth/Mins").values, as_doubles({-900, -900}));
        EXPECT_EQ(raw_array(raw, "run/Temporal/Depth/Maxs").values, as_doubles({950, 950}));
        const RawArray vec = raw_array(raw, "run/Temporal/Vector Velocity/Values");
        ASSERT_EQ(vec.values.size(), 4u * kNodes);
        EXPECT_EQ(vec.values[2 * kNodes + 2 * 777], 30.0);
        EXPECT_EQ(vec.values[4 * kNodes - 1], xy.back());
        EXPECT_EQ(raw_array(raw, "run/Temporal/Vector Velocity/Mins").values, as_doubles({0, 0}));
        EXPECT_EQ(raw_array(raw, "run/Temporal/Vector Velocity/Maxs").values, as_doubles({50, 50}));
        H5Fclose(raw);
    }
}

namespace {

// Runs the body in a death test's child with stdout going to the file.
void with_stdout_to(const fs::path& file, const std::function<void()>& body) {
    std::fflush(stdout);
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(fd, STDOUT_FILENO);
    body();
}

std::string read_all(const fs::path& file) {
    std::FILE* f = std::fopen(file.c_str(), "rb");
    if (f == nullptr) return {};
    std::string text;
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) text.append(buf, n);
    std::fclose(f);
    return text;
}

}  // namespace

// A fault while an HDF5 call is in progress (as HDF5 faults on some damaged files) ends the
// process with the library's error line naming the file, status 1, and the run's outputs
// (a ".dat" output of the file layer, a file entered among the begun outputs) removed. A
// fault outside such a call stays a crash.
TEST(XmdfBindingDeathTest, AFaultInsideHdf5EndsTheRunAndRemovesTheOutputs) {
    const fs::path dir = scratch("fault_guard");
    const fs::path console = dir / "console.txt";
    const fs::path dat = dir / "out(maxmax).dat";
    const fs::path xmdf = dir / "out(maxmax).xmdf";
    xf::setup_hdf5();
    EXPECT_EXIT(with_stdout_to(console,
                               [&] {
                                   auto out = zorvel::util::File::open(dat.string(), zorvel::util::FileKind::bytes_out);
                                   out->write("data", 4);
                                   std::fclose(std::fopen(xmdf.c_str(), "wb"));
                                   (void)zorvel::util::enter_begun_output(xmdf.string());
                                   const xf::Hdf5Call call("damaged.xmdf");
                                   std::raise(SIGSEGV);
                               }),
                ::testing::ExitedWithCode(1), "");
    EXPECT_EQ(read_all(console), "\nERROR - The HDF5 library failed while reading: \"damaged.xmdf\"\n");
    EXPECT_FALSE(fs::exists(dat));
    EXPECT_FALSE(fs::exists(xmdf));

    EXPECT_DEATH(with_stdout_to(console,
                                [&] {
                                    { const xf::Hdf5Call call("damaged.xmdf"); }
                                    std::raise(SIGSEGV);
                                }),
                 "");
    EXPECT_EQ(read_all(console).find("HDF5 library failed"), std::string::npos);
}

// Every HDF5 id that the binding opens is closed again: after calls that fail half-way
// (files that are no XMDF, groups that are no datasets, arrays of the wrong shape) and
// after the end of a run closes what is left open, no file, group, dataset, attribute or
// named datatype id remains.
TEST(XmdfBinding, NoHdf5IdIsLeftOpenAfterFailedCallsAndTheEndOfARun) {
    const auto open_ids = [] { return H5Fget_obj_count(H5F_OBJ_ALL, H5F_OBJ_ALL); };
    xf::setup_hdf5();
    const ssize_t before = open_ids();
    std::int32_t status = 0;
    for (const char* name : {"not_hdf5.xmdf", "truncated.xmdf", "drv_x.xmdf", "drv_s.xmdf"}) {
        std::int32_t file = 0, n = 0, len = 0;
        xf::XF_OPEN_FILE(fixture(name), true, file, status);
        xf::XF_GET_SCALAR_DATASETS_INFO(file, n, len, status);
        for (const char* path : {"drv_x", "drv_x/Temporal", "drv_x/Temporal/Water Level", "Depth", "nowhere"}) {
            std::int32_t group = 0, values = 0;
            xf::XF_OPEN_GROUP(file, path, group, status);
            xf::XF_GET_DATASET_NUMVALS(group, values, status);
            std::vector<float> too_few(1);
            xf::XF_READ_SCALAR_VALUES_TIMESTEP(group, 1, 6, too_few, status);
            xf::XF_READ_SCALAR_VALUES_TIMESTEP(group, 99, 1, too_few, status);
        }
        // Files and groups left open, as a run that ends on an error leaves them.
    }
    EXPECT_GT(open_ids(), before);
    xf::close_all_files();
    EXPECT_EQ(open_ids(), before);
}
