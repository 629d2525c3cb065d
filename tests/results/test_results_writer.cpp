// The results writer: ".xmdf" outputs checked with the raw HDF5 C API (not with the
// binding), ".dat" outputs byte for byte, the console text of each routine, and the
// ends of the run when an XMDF call fails.

#include <hdf5.h>
#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "results/dat_test_base.hpp"
#include "results/results_writer.hpp"
#include "results/xmdf/binding.hpp"
#include "results/res_fields.hpp"
#include "util/begun_outputs.hpp"
#include "util/units.hpp"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace zorvel::results {
namespace {

namespace xf = xmdf;
using testing::DatBytes;
using testing::expect_error_end;
using testing::kPressEnter;
using testing::record;

// A finished ".xmdf" file read with HDF5 itself.
class RawFile {
public:
    explicit RawFile(const std::string& path) : id_(H5Fopen(path.c_str(), H5F_ACC_RDONLY, H5P_DEFAULT)) {}
    ~RawFile() {
        if (id_ >= 0) H5Fclose(id_);
    }
    bool ok() const { return id_ >= 0; }

    std::string text_attribute(const std::string& path, const char* name) const {
        const hid_t attr = H5Aopen_by_name(id_, path.c_str(), name, H5P_DEFAULT, H5P_DEFAULT);
        if (attr < 0) return "<missing>";
        const hid_t type = H5Aget_type(attr);
        std::string out(H5Tget_size(type), '\0');
        H5Aread(attr, type, out.data());
        H5Tclose(type);
        H5Aclose(attr);
        return out.c_str();
    }
    int int_attribute(const std::string& path, const char* name) const {
        const hid_t attr = H5Aopen_by_name(id_, path.c_str(), name, H5P_DEFAULT, H5P_DEFAULT);
        if (attr < 0) return -12345;
        int value = 0;
        H5Aread(attr, H5T_NATIVE_INT, &value);
        H5Aclose(attr);
        return value;
    }
    // The names in a group, in name order.
    std::vector<std::string> members(const std::string& path) const {
        std::vector<std::string> names;
        H5Literate_by_name(id_, path.c_str(), H5_INDEX_NAME, H5_ITER_INC, nullptr, collect, &names, H5P_DEFAULT);
        return names;
    }
    std::vector<hsize_t> dims(const std::string& path) const {
        const hid_t set = H5Dopen2(id_, path.c_str(), H5P_DEFAULT);
        if (set < 0) return {};
        const hid_t space = H5Dget_space(set);
        std::vector<hsize_t> d(static_cast<std::size_t>(std::max(0, H5Sget_simple_extent_ndims(space))));
        H5Sget_simple_extent_dims(space, d.data(), nullptr);
        H5Sclose(space);
        H5Dclose(set);
        return d;
    }
    std::vector<double> values(const std::string& path) const {
        const hid_t set = H5Dopen2(id_, path.c_str(), H5P_DEFAULT);
        if (set < 0) return {};
        const hid_t space = H5Dget_space(set);
        std::vector<double> v(static_cast<std::size_t>(H5Sget_simple_extent_npoints(space)));
        if (!v.empty()) H5Dread(set, H5T_NATIVE_DOUBLE, H5S_ALL, H5S_ALL, H5P_DEFAULT, v.data());
        H5Sclose(space);
        H5Dclose(set);
        return v;
    }
    int filters(const std::string& path) const {
        const hid_t set = H5Dopen2(id_, path.c_str(), H5P_DEFAULT);
        if (set < 0) return -1;
        const hid_t dcpl = H5Dget_create_plist(set);
        const int n = H5Pget_nfilters(dcpl);
        H5Pclose(dcpl);
        H5Dclose(set);
        return n;
    }

private:
    static herr_t collect(hid_t, const char* name, const H5L_info_t*, void* data) {
        static_cast<std::vector<std::string>*>(data)->emplace_back(name);
        return 0;
    }
    hid_t id_;
};

using Values = std::vector<double>;
using Names = std::vector<std::string>;

OutputDescription xmdf_output(const std::string& path, const std::string& results, const std::string& folder,
                              const std::string& dataset, bool vector = false) {
    OutputDescription out;
    out.to_xmdf = true;
    out.is_vector = vector;
    out.out_path = path;
    out.results_name = results;
    out.folder_name = folder;
    out.dataset_name = dataset;
    return out;
}

OutputDescription dat_output(const std::string& path, const std::string& dataset, bool vector = false) {
    OutputDescription out;
    out.to_dat = true;
    out.is_vector = vector;
    out.out_path = path;
    out.dataset_name = dataset;
    return out;
}

bool no_ids(const OutputDescription& out) {
    return out.handle == 0 && out.group_id == 0 && out.scalar_id == 0 && out.vector_id == 0;
}

class ResultsWriter : public testing::DatTest {
protected:
    void TearDown() override {
        discard_open_outputs();  // what a test left open
        DatTest::TearDown();
    }
};

TEST_F(ResultsWriter, WritesAScalarXmdfOutputUnderItsGroupPath) {
    const std::string path = dir_.file("run_h(maxmax).xmdf");
    OutputDescription out = xmdf_output(path, "run_h  ", "MaxMax ", "Max Value  ");
    out.to_dat = true;  // both flags set: the XMDF file is written
    RES_TYPE res = record(111111.0f, {{1.5f, 0, 2}, {-2.0f, 0, 0}, {0.25f, 0, 1}}, {1, 0});

    OPEN_OUTPUT(out);
    EXPECT_TRUE(out.is_open);
    EXPECT_GT(out.handle, 0);
    WRITE_OUTPUT_HEADER(out, res);
    EXPECT_EQ(out.folder_name, "run_h/MaxMax");
    EXPECT_GT(out.group_id, 0);
    EXPECT_GT(out.scalar_id, 0);
    EXPECT_EQ(out.vector_id, 0);
    WRITE_OUTPUT_TIMESTEP(out, res);
    EXPECT_FLOAT_EQ(res.value[1], -2.0f) << "a scalar step leaves the record as it is";
    res = record(-111111.0f, {{7, 0, 0}, {8, 0, 0}, {9, 0, 0}}, {0, -1});
    WRITE_OUTPUT_TIMESTEP(out, res);
    CLOSE_OUTPUT(out);
    EXPECT_FALSE(out.is_open);
    EXPECT_TRUE(no_ids(out));

    EXPECT_EQ(console_text(), "\nOutput XMDF File: " + path +
                                  "\n"
                                  "\nCreating Folder: run_h/MaxMax\n"
                                  "Creating scalar dataset: Max Value\n"
                                  "Done.\n"
                                  "   Done\n"
                                  "   Done.\n"
                                  "   Done.\n"
                                  "\nClosing XMDF File: " +
                                  path + "\n\nDone.\n");
    clear_console();
    CLOSE_OUTPUT(out);
    EXPECT_EQ(console_text(), "") << "an output already closed is left alone";

    RawFile f(path);
    ASSERT_TRUE(f.ok());
    EXPECT_EQ(f.members("/"), (Names{"File Type", "File Version", "run_h"}));
    EXPECT_EQ(f.text_attribute("run_h", "Grouptype"), "Generic");
    EXPECT_EQ(f.text_attribute("run_h/MaxMax", "Grouptype"), "Generic");
    EXPECT_EQ(f.members("run_h/MaxMax"), (Names{"Max Value"}));
    const std::string set = "run_h/MaxMax/Max Value";
    EXPECT_EQ(f.text_attribute(set, "Grouptype"), "DATASET SCALAR");
    EXPECT_EQ(f.text_attribute(set, "DatasetUnits"), "m");
    EXPECT_EQ(f.text_attribute(set, "TimeUnits"), "Hours");
    EXPECT_EQ(f.int_attribute(set, "DatasetCompression"), 0);
    EXPECT_EQ(f.values(set + "/Times"), (Values{111111.0, -111111.0})) << "time codes are written as they are";
    EXPECT_EQ(f.dims(set + "/Values"), (std::vector<hsize_t>{2, 3}));
    EXPECT_EQ(f.values(set + "/Values"), (Values{1.5, -2.0, 0.25, 7, 8, 9}));
    EXPECT_EQ(f.filters(set + "/Values"), 0);
    EXPECT_EQ(f.dims(set + "/Active"), (std::vector<hsize_t>{2, 2}));
    EXPECT_EQ(f.values(set + "/Active"), (Values{1, 0, 0, 255}));
}

TEST_F(ResultsWriter, WritesAVectorWithItsMagnitudeCompanion) {
    const std::string path = dir_.file("run.xmdf");
    OutputDescription out = xmdf_output(path, "run_V", "Temporal", "Vector Velocity", true);
    RES_TYPE res = record(0.5f, {{3, 4, 0}, {0, -2, 0}}, {1});
    OPEN_OUTPUT(out);
    WRITE_OUTPUT_HEADER(out, res);
    EXPECT_EQ(out.mag_name, "Velocity");
    EXPECT_GT(out.vector_id, 0);
    EXPECT_GT(out.scalar_id, 0);
    clear_console();
    WRITE_OUTPUT_TIMESTEP(out, res);
    EXPECT_EQ(console_text(), "   Done.\n   Done.\n");
    EXPECT_FLOAT_EQ(res.value[0], 5.0f);
    EXPECT_FLOAT_EQ(res.value[1], 2.0f);
    EXPECT_FLOAT_EQ(res.y[0], 4.0f) << "y keeps the y components";
    EXPECT_FLOAT_EQ(res.y[1], -2.0f);
    RES_TYPE second = record(1.0f, {{-6, 8, 0}, {1, 0, 0}}, {0});
    WRITE_OUTPUT_TIMESTEP(out, second);
    CLOSE_OUTPUT(out);

    RawFile f(path);
    ASSERT_TRUE(f.ok());
    EXPECT_EQ(f.members("run_V/Temporal"), (Names{"Vector Velocity", "Velocity"}));
    const std::string vec = "run_V/Temporal/Vector Velocity";
    const std::string mag = "run_V/Temporal/Velocity";
    EXPECT_EQ(f.text_attribute(vec, "Grouptype"), "DATASET VECTOR");
    EXPECT_EQ(f.text_attribute(vec, "DatasetUnits"), "m");
    EXPECT_EQ(f.text_attribute(vec, "TimeUnits"), "Hours");
    EXPECT_EQ(f.int_attribute(vec, "DatasetCompression"), 0);
    EXPECT_EQ(f.dims(vec + "/Values"), (std::vector<hsize_t>{2, 2, 2}));
    EXPECT_EQ(f.values(vec + "/Values"), (Values{3, 4, 0, -2, -6, 8, 1, 0}));
    EXPECT_EQ(f.values(vec + "/Active"), (Values{1, 0}));
    EXPECT_EQ(f.text_attribute(mag, "Grouptype"), "DATASET SCALAR");
    EXPECT_EQ(f.text_attribute(mag, "DatasetUnits"), "m");
    EXPECT_EQ(f.values(mag + "/Times"), (Values{0.5, 1.0}));
    EXPECT_EQ(f.values(mag + "/Values"), (Values{5, 2, 10, 1}));
    EXPECT_EQ(f.values(mag + "/Active"), (Values{1, 0}));
}

// Values as a ".dat" record stores them.
std::vector<std::byte> stored(const std::vector<float>& values) {
    std::vector<std::byte> bytes(values.size() * sizeof(float));
    if (!bytes.empty()) std::memcpy(bytes.data(), values.data(), bytes.size());
    return bytes;
}

TEST_F(ResultsWriter, XmdfOutputsTakeStoredValuesAsTheyAre) {
    const std::string path = dir_.file("run.xmdf");
    OutputDescription vec = xmdf_output(path, "run", "Temporal", "Vector Velocity", true);
    RES_TYPE res = record(0.5f, {{-1, -1, 0}, {-1, -1, 0}}, {1});
    res.is_vector = true;
    OPEN_OUTPUT(vec);
    WRITE_OUTPUT_HEADER(vec, res);
    clear_console();
    write_output_step_as_stored(vec, res, stored({3, 4, 0, -2}));
    EXPECT_EQ(console_text(), "   Done.\n   Done.\n");
    EXPECT_FLOAT_EQ(res.value[0], -1.0f) << "the record's nodes are left as they are";
    CLOSE_OUTPUT_GROUPS(vec);
    vec.folder_name = "Maximums";
    vec.dataset_name = "Depth";
    vec.is_vector = false;
    res.is_vector = false;
    res.time = 99999.0f;
    WRITE_OUTPUT_HEADER(vec, res);
    write_output_step_as_stored(vec, res, stored({1.5f, -2.5f}));
    CLOSE_OUTPUT(vec);

    RawFile f(path);
    ASSERT_TRUE(f.ok());
    EXPECT_EQ(f.values("run/Temporal/Vector Velocity/Values"), (Values{3, 4, 0, -2}));
    EXPECT_EQ(f.values("run/Temporal/Vector Velocity/Active"), (Values{1}));
    EXPECT_EQ(f.values("run/Temporal/Velocity/Values"), (Values{5, 2}));
    EXPECT_EQ(f.values("run/Temporal/Velocity/Times"), (Values{0.5}));
    EXPECT_EQ(f.values("run/Maximums/Depth/Values"), (Values{1.5, -2.5}));
    EXPECT_EQ(f.values("run/Maximums/Depth/Times"), (Values{99999}));
}

TEST_F(ResultsWriter, NamesTheScalarCompanionOfAVector) {
    struct Case {
        std::string name, companion;
    };
    const std::vector<Case> cases = {
        {"Vector Velocity", "Velocity"},     {"Vector_Unit Flow  ", "Unit Flow"},
        {"Vector-Depth", "Depth"},      {"Max Value", "Max Value_mag"},
        {"vector Velocity", "vector Velocity_mag"}, {"VECTOR Velocity", "VECTOR Velocity_mag"},
        {"Vector", "Vector_mag"},            {"Vector   ", "Vector_mag"},
        {"VectorX", "VectorX_mag"},
    };
    for (const Case& c : cases) EXPECT_EQ(companion_name(c.name), c.companion) << c.name;
}

TEST_F(ResultsWriter, AddsFurtherDatasetsAndGroupsBesideTheFirst) {
    const std::string path = dir_.file("run_h(maxmax).xmdf");
    OutputDescription out = xmdf_output(path, "run_h", "MaxMax", "Max Value", true);
    RES_TYPE res = record(111111.0f, {{3, 4, 1}, {1, 0, 1}}, {1, 1});
    OPEN_OUTPUT(out);
    WRITE_OUTPUT_HEADER(out, res);
    WRITE_OUTPUT_TIMESTEP(out, res);

    // The source numbers, as the maximum writes them: the same group asked for again.
    CLOSE_OUTPUT_GROUPS(out);
    EXPECT_TRUE(out.group_id == 0 && out.scalar_id == 0 && out.vector_id == 0);
    EXPECT_GT(out.handle, 0);
    CLOSE_OUTPUT_GROUPS(out);  // nothing is closed twice
    out.folder_name = "MaxMax";
    out.dataset_name = "Max Source";
    out.is_vector = false;
    clear_console();
    WRITE_OUTPUT_HEADER(out, res);
    EXPECT_EQ(console_text(),
              "\nCreating Folder: run_h/MaxMax\nCreating scalar dataset: Max Source\nDone.\n   Done\n");
    res = record(222222.0f, {{1, 0, 0}, {0, 0, 0}}, {1, 1});
    WRITE_OUTPUT_TIMESTEP(out, res);

    CLOSE_OUTPUT_GROUPS(out);
    out.folder_name = "Temporal";
    out.dataset_name = "Depth";
    WRITE_OUTPUT_HEADER(out, res);
    WRITE_OUTPUT_TIMESTEP(out, res);
    CLOSE_OUTPUT(out);

    RawFile f(path);
    ASSERT_TRUE(f.ok());
    EXPECT_EQ(f.members("run_h"), (Names{"MaxMax", "Temporal"}));
    EXPECT_EQ(f.members("run_h/MaxMax"), (Names{"Max Source", "Max Value", "Max Value_mag"}));
    EXPECT_EQ(f.values("run_h/MaxMax/Max Value_mag/Values"), (Values{5, 1}));
    EXPECT_EQ(f.values("run_h/MaxMax/Max Source/Times"), (Values{222222}));
    EXPECT_EQ(f.values("run_h/MaxMax/Max Source/Values"), (Values{1, 0}));
    EXPECT_EQ(f.members("run_h/Temporal"), (Names{"Depth"}));
}

TEST_F(ResultsWriter, BlankDatasetNameTakesTheOutputFilesOwnName) {
    std::filesystem::create_directories(dir_.file("sub"));
    const std::string xmdf_path = dir_.file("sub/run(max).xmdf");
    OutputDescription x = xmdf_output(xmdf_path, "run", "Remove", "   ");
    RES_TYPE res = record(1.0f, {{1, 0, 0}}, {1});
    OPEN_OUTPUT(x);
    WRITE_OUTPUT_HEADER(x, res);
    EXPECT_EQ(x.dataset_name, "run(max)");
    CLOSE_OUTPUT(x);
    RawFile f(xmdf_path);
    ASSERT_TRUE(f.ok());
    EXPECT_EQ(f.members("run/Remove"), (Names{"run(max)"})) << "the folder of the path nests no groups";

    const std::string dat_path = dir_.file("sub/run(k2.5).dat");
    OutputDescription d = dat_output(dat_path, "");
    OPEN_OUTPUT(d);
    WRITE_OUTPUT_HEADER(d, res);
    CLOSE_OUTPUT(d);
    EXPECT_EQ(d.dataset_name, "run(k2.5)");
    EXPECT_EQ(testing::read_file(dat_path), DatBytes().header(1, 1, false, "run(k2.5)").end().bytes())
        << "the .dat name is the file-name part of the output path";
}

TEST_F(ResultsWriter, WritesADatOutputByteForByte) {
    const std::string path = dir_.file("a_h(maxmax).dat");
    OutputDescription out = dat_output(path, "Max Value");
    RES_TYPE res = record(111111.0f, {{1, 0, 0}, {2, 0, 0}, {3, 0, 0}}, {1, 0});
    OPEN_OUTPUT(out);
    EXPECT_EQ(out.handle, 1001);
    WRITE_OUTPUT_HEADER(out, res);
    EXPECT_TRUE(out.dat_header_done);
    WRITE_OUTPUT_TIMESTEP(out, res);
    res.time = 222222.0f;
    WRITE_OUTPUT_TIMESTEP(out, res);
    CLOSE_OUTPUT(out);
    EXPECT_FALSE(out.is_open);
    EXPECT_EQ(out.handle, 0);

    const DatBytes expected = DatBytes()
                                  .header(3, 2, false, "Max Value")
                                  .record(111111.0f, {1, 0}, {1, 2, 3})
                                  .record(222222.0f, {1, 0}, {1, 2, 3})
                                  .end();
    EXPECT_EQ(testing::read_file(path), expected.bytes());
    EXPECT_EQ(console_text(), "\nOutput .dat File: " + path + "\n\nTrying to open file " + path +
                                  "...OK.  File Unit:1001\n"
                                  "\nWriting header inforamtion to .dat file: " +
                                  path + "\n   Done\n\nWriting output data to: " + path +
                                  "\nDone.\n\nWriting output data to: " + path +
                                  "\nDone.\n"
                                  "\nWriting END cards\n"
                                  "\nClosing output file.\n"
                                  "...Closed File Unit:1001\n"
                                  "   Done\n");
}

TEST_F(ResultsWriter, WritesVectorDatRecordsAsPairs) {
    const std::string path = dir_.file("v.dat");
    OutputDescription out = dat_output(path, "Vector Velocity", true);
    RES_TYPE res = record(1.5f, {{3, 4, 0}, {5, 6, 0}}, {1});
    OPEN_OUTPUT(out);
    WRITE_OUTPUT_HEADER(out, res);
    WRITE_OUTPUT_TIMESTEP(out, res);
    CLOSE_OUTPUT(out);
    EXPECT_FLOAT_EQ(res.value[0], 3.0f) << "a .dat step leaves the record as it is";
    EXPECT_EQ(testing::read_file(path),
              DatBytes().header(2, 1, true, "Vector Velocity").record(1.5f, {1}, {3, 4, 5, 6}).end().bytes());
}

TEST_F(ResultsWriter, DatNameIsTheFileNamePartCutToFortyCharacters) {
    struct Case {
        std::string dataset, stored;
    };
    const std::vector<Case> cases = {
        {"diff_a_h - b_h", "diff_a_h - b_h"},
        {"C:\\models\\Max Value", "Max Value"},
        {"runs/m01.dat", "m01"},
        {"Keep " + std::string(45, 'k'), "Keep " + std::string(35, 'k')},
    };
    for (const Case& c : cases) {
        const std::string path = dir_.file("name.dat");
        OutputDescription out = dat_output(path, c.dataset);
        OPEN_OUTPUT(out);
        WRITE_OUTPUT_HEADER(out, record(0.0f, {{0, 0, 0}}, {}));
        CLOSE_OUTPUT(out);
        EXPECT_EQ(testing::read_file(path), DatBytes().header(1, 0, false, c.stored).end().bytes()) << c.dataset;
    }
}

TEST_F(ResultsWriter, TextOutputIsOnlyOpenedAndClosed) {
    const std::string path = dir_.file("run.xmdf_xmdf_info.txt");
    OutputDescription out;
    out.to_text = true;
    out.out_path = path;
    OPEN_OUTPUT(out);
    EXPECT_EQ(out.handle, 1001);
    RES_TYPE res = record(1.0f, {{1, 0, 0}}, {1});
    WRITE_OUTPUT_HEADER(out, res);
    WRITE_OUTPUT_TIMESTEP(out, res);
    util::unit_file(out.handle)->write("listing\n");
    CLOSE_OUTPUT(out);
    EXPECT_EQ(testing::read_file(path), "listing\n");
    EXPECT_EQ(console_text(), "\nOutput Text File: " + path + "\n\nTrying to open file " + path +
                                  "...OK.  File Unit:1001\n"
                                  "\nClosing output file.\n"
                                  "...Closed File Unit:1001\n"
                                  "   Done\n");
}

TEST_F(ResultsWriter, AnOutputOfNoKnownTypeEndsTheRun) {
    OutputDescription out;
    out.out_path = dir_.file("what");
    const std::string text = expect_error_end([&] { OPEN_OUTPUT(out); }, out_);
    EXPECT_EQ(text, "ERROR - Determining output file type. Contact support@example.com\n" + std::string(kPressEnter));
    EXPECT_FALSE(std::filesystem::exists(out.out_path));
}

TEST_F(ResultsWriter, FailedXmdfCallsEndTheRunAndTheFileIsRemoved) {
    struct Case {
        std::string what;
        std::function<void(OutputDescription&)> run;  // the steps up to the failing call
        std::string message;
    };
    RES_TYPE res = record(1.0f, {{3, 4, 0}, {1, 1, 0}}, {1, 0});
    auto opened = [&](OutputDescription& o, const std::string& name, bool vector) {
        o.dataset_name = name;
        o.is_vector = vector;
        OPEN_OUTPUT(o);
    };
    auto with_header = [&](OutputDescription& o, const std::string& name, bool vector) {
        opened(o, name, vector);
        WRITE_OUTPUT_HEADER(o, res);
    };
    auto again = [&](OutputDescription& o, const std::string& name, bool vector) {
        CLOSE_OUTPUT_GROUPS(o);
        o.folder_name = "F";
        o.dataset_name = name;
        o.is_vector = vector;
        WRITE_OUTPUT_HEADER(o, res);
    };
    std::int32_t s = 0;
    const std::vector<Case> cases = {
        {"group of a file closed under the writer",
         [&](OutputDescription& o) {
             opened(o, "Depth", false);
             xf::XF_CLOSE_FILE(o.handle, s);
             WRITE_OUTPUT_HEADER(o, res);
         },
         "ERROR - Creating group [XF_CREATE_GENERIC_GROUP]run/F"},
        {"scalar dataset whose name is taken",
         [&](OutputDescription& o) {
             with_header(o, "Depth", false);
             again(o, "Depth", false);
         },
         "Creating scalar dataset: Depth\nERROR - Creating group [XF_CREATE_SCALAR_DATASET]run/F"},
        {"vector dataset whose name is taken",
         [&](OutputDescription& o) {
             with_header(o, "Velocity", false);
             again(o, "Velocity", true);
         },
         "Creating vector dataset: Velocity\nERROR - Creating group [XF_CREATE_VECTOR_DATASET]run/F"},
        {"companion whose name is taken",
         [&](OutputDescription& o) {
             with_header(o, "Velocity", false);
             again(o, "Vector Velocity", true);
         },
         "Creating scalar dataset: Velocity\nERROR - Creating group [XF_CREATE_VECTOR_DATASET]run/F"},
        {"scalar step to a dataset closed under the writer",
         [&](OutputDescription& o) {
             with_header(o, "Depth", false);
             xf::XF_CLOSE_GROUP(o.scalar_id, s);
             WRITE_OUTPUT_TIMESTEP(o, res);
         },
         "ERROR - Writing data [XF_WRITE_SCALAR_TIMESTEP] run/F"},
        {"vector flags of another number of cells",
         [&](OutputDescription& o) {
             with_header(o, "Vector Velocity", true);
             RES_TYPE r = res;
             WRITE_OUTPUT_TIMESTEP(o, r);
             r = res;
             r.ncells = 1;
             WRITE_OUTPUT_TIMESTEP(o, r);
         },
         "ERROR - Writing data [XF_WRITE_VECTOR_TIMESTEP] run/F"},
        {"group closed under the writer",
         [&](OutputDescription& o) {
             with_header(o, "Depth", false);
             xf::XF_CLOSE_GROUP(o.group_id, s);
             CLOSE_OUTPUT_GROUPS(o);
         },
         "ERROR - Closing group [XF_CLOSE_GROUP] run/F"},
        {"file closed under the writer",
         [&](OutputDescription& o) {
             opened(o, "Depth", false);
             xf::XF_CLOSE_FILE(o.handle, s);
             CLOSE_OUTPUT(o);
         },
         "ERROR - Closing file [XF_CLOSE_FILE] " + dir_.file("fail.xmdf")},
    };
    // As in a run, outputs wait for its end to be moved into place.
    util::defer_outputs_to_run_end(true);
    for (const Case& c : cases) {
        const std::string path = dir_.file("fail.xmdf");
        OutputDescription out = xmdf_output(path, "run", "F", "");
        const std::string text = expect_error_end([&] { c.run(out); }, out_);
        const std::string tail = c.message + "\n" + kPressEnter;
        ASSERT_GE(text.size(), tail.size()) << c.what << "\n" << text;
        EXPECT_EQ(text.substr(text.size() - tail.size()), tail) << c.what << "\n" << text;
        EXPECT_TRUE(no_ids(out)) << c.what;
        EXPECT_FALSE(out.is_open) << c.what;
        discard_open_outputs();
        EXPECT_FALSE(std::filesystem::exists(path)) << c.what << ": a half-written output is left";
    }
    util::defer_outputs_to_run_end(false);
}

TEST_F(ResultsWriter, AFullDiskEndsTheRunAndTheFileIsRemoved) {
    // Files may not grow past the limit here: a large step fails as it is written, a small
    // one when its dataset is closed and flushed.
    struct Case {
        rlim_t limit;
        std::size_t nodes;
        std::string message;
    };
    const std::vector<Case> cases = {
        {65536, 400000, "ERROR - Writing data [XF_WRITE_SCALAR_TIMESTEP] run/F"},
        {8192, 300, "ERROR - Closing group [XF_CLOSE_GROUP] run/F"},
    };
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
#if defined(__SANITIZE_ADDRESS__)
    __lsan_disable();  // HDF5 keeps, and never frees, the memory of a file that it failed to close
#endif
    for (const Case& c : cases) {
        RES_TYPE res = record(1.0f, std::vector<testing::Node>(c.nodes), {1});
        OutputDescription out = xmdf_output(dir_.file("full.xmdf"), "run", "F", "Depth");
        rlimit small = saved;
        small.rlim_cur = c.limit;
        const std::string text = expect_error_end(
            [&] {
                ::setrlimit(RLIMIT_FSIZE, &small);
                OPEN_OUTPUT(out);
                WRITE_OUTPUT_HEADER(out, res);
                WRITE_OUTPUT_TIMESTEP(out, res);
                CLOSE_OUTPUT(out);
            },
            out_);
        ::setrlimit(RLIMIT_FSIZE, &saved);
        const std::string tail = c.message + "\n" + kPressEnter;
        ASSERT_GE(text.size(), tail.size()) << text;
        EXPECT_EQ(text.substr(text.size() - tail.size()), tail) << text;
        EXPECT_TRUE(no_ids(out));
        discard_open_outputs();
        EXPECT_FALSE(std::filesystem::exists(out.out_path)) << c.message;
    }
#if defined(__SANITIZE_ADDRESS__)
    __lsan_enable();
#endif
}

TEST_F(ResultsWriter, AFileThatCannotBeCreatedEndsTheRun) {
    const std::string path = dir_.file("missing/out.xmdf");
    OutputDescription out = xmdf_output(path, "run", "F", "Depth");
    const std::string text = expect_error_end([&] { OPEN_OUTPUT(out); }, out_);
    EXPECT_EQ(text, "\nOutput XMDF File: " + path + "\nERROR - Creating file [XF_CREATE_FILE]" + path + "\n" +
                        kPressEnter);
    EXPECT_TRUE(no_ids(out));
}

TEST_F(ResultsWriter, DiscardRemovesEveryXmdfOutputNotClosedCleanly) {
    RES_TYPE res = record(2.0f, {{1, 0, 0}, {2, 0, 0}}, {1});
    OutputDescription left = xmdf_output(dir_.file("left.xmdf"), "run", "Temporal", "Depth");
    OutputDescription bare = xmdf_output(dir_.file("bare.xmdf"), "run", "Temporal", "Depth");
    OutputDescription done = xmdf_output(dir_.file("done.xmdf"), "run", "Temporal", "Depth");
    OPEN_OUTPUT(left);
    WRITE_OUTPUT_HEADER(left, res);
    WRITE_OUTPUT_TIMESTEP(left, res);
    OPEN_OUTPUT(bare);
    OPEN_OUTPUT(done);
    WRITE_OUTPUT_HEADER(done, res);
    WRITE_OUTPUT_TIMESTEP(done, res);
    CLOSE_OUTPUT(done);

    discard_open_outputs();
    EXPECT_FALSE(std::filesystem::exists(left.out_path));
    EXPECT_FALSE(std::filesystem::exists(bare.out_path));
    std::int32_t status = 0;
    xf::XF_CLOSE_FILE(left.handle, status);
    EXPECT_LT(status, 0) << "the file was closed by the discard";
    RawFile f(done.out_path);
    ASSERT_TRUE(f.ok()) << "an output closed cleanly stays";
    EXPECT_EQ(f.values("run/Temporal/Depth/Values"), (Values{1, 2}));
    discard_open_outputs();  // nothing left to do
    EXPECT_TRUE(std::filesystem::exists(done.out_path));
}

TEST_F(ResultsWriter, WorkArraysServeOutputsOfAnySizeOpenTogether) {
    OutputDescription a = xmdf_output(dir_.file("a.xmdf"), "a", "Temporal", "Vector Velocity", true);
    OutputDescription b = xmdf_output(dir_.file("b.xmdf"), "b", "Temporal", "Depth");
    RES_TYPE big = record(1.0f, {{0, 1, 0}, {0, 2, 0}, {0, 3, 0}, {0, 4, 0}}, {1, 0, 1});
    RES_TYPE small = record(1.0f, {{7, 0, 0}}, {0});
    OPEN_OUTPUT(a);
    OPEN_OUTPUT(b);
    WRITE_OUTPUT_HEADER(a, big);
    WRITE_OUTPUT_HEADER(b, small);
    WRITE_OUTPUT_TIMESTEP(a, big);
    WRITE_OUTPUT_TIMESTEP(b, small);
    // A record whose arrays are shorter than its counts gives zeros, never a read past them.
    RES_TYPE short_record = record(2.0f, {{0, -5, 0}}, {1});
    short_record.nnodes = 4;
    short_record.ncells = 3;
    WRITE_OUTPUT_TIMESTEP(a, short_record);
    CLOSE_OUTPUT(a);
    CLOSE_OUTPUT(b);

    RawFile fa(a.out_path);
    EXPECT_EQ(fa.values("a/Temporal/Vector Velocity/Values"),
              (Values{0, 1, 0, 2, 0, 3, 0, 4, 0, -5, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(fa.values("a/Temporal/Velocity/Values"), (Values{1, 2, 3, 4, 5, 0, 0, 0}));
    EXPECT_EQ(fa.values("a/Temporal/Velocity/Active"), (Values{1, 0, 1, 1, 0, 0}));
    RawFile fb(b.out_path);
    EXPECT_EQ(fb.values("b/Temporal/Depth/Values"), (Values{7}));
    EXPECT_EQ(fb.values("b/Temporal/Depth/Active"), (Values{0}));
}

}  // namespace
}  // namespace zorvel::results
