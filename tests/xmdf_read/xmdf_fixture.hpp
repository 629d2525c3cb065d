#pragma once
// Shared by the XMDF reading tests: fixture names, a captured console, and a
// catalogue made the way the command driver makes it.

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "results/res_ops.hpp"
#include "results/res_type.hpp"
#include "results/xmdf/binding.hpp"
#include "util/console.hpp"
#include "util/run_end.hpp"
#include "util/units.hpp"
#include "xmdf_read/catalogue.hpp"

namespace zorvel::xmdf_read::testing {

inline std::string fixture(const char* name) { return std::string(ZORVEL_FIXTURES_DIR) + "/" + name; }

// Everything the code under test writes to the console; its input is empty.
struct Captured {
    std::ostringstream out;
    std::istringstream in;
    util::ConsoleCapture capture{out, in};
    // The text written since the last take.
    std::string take() {
        std::string text = out.str();
        out.str("");
        return text;
    }
};

// A table of the named files, as the driver creates it.
inline XmdfTable table_of(const std::vector<std::string>& names) {
    XmdfTable table;
    for (const std::string& name : names) {
        XmdfFile file;
        file.file_name = name;
        table.files.push_back(std::move(file));
    }
    table.n_xmdf = static_cast<std::int32_t>(table.files.size());
    return table;
}

// Headers, path arrays, names and sizes, in the driver's order.
inline void catalogue(XmdfTable& table) {
    READ_XMDF_HEADERS(table);
    for (XmdfFile& file : table.files) {
        allocate_path_arrays(file.scalars);
        allocate_path_arrays(file.vectors);
    }
    GET_XMDF_DATASET_NAMES(table);
    GET_XMDF_SIZES(table);
}

// Closes the files of the table that the catalogue opened.
inline void close_files(XmdfTable& table) {
    for (XmdfFile& file : table.files) {
        std::int32_t status = 0;
        if (file.file_id > 0) results::xmdf::XF_CLOSE_FILE(file.file_id, status);
        file.file_id = 0;
    }
}

// Closes the table's files at the end of a test, so that no test leaves one open.
struct Closer {
    XmdfTable& table;
    ~Closer() { close_files(table); }
};

// A result record sized for the file, every node and cell at the given start values.
inline results::RES_TYPE record_for(const XmdfFile& file, float value, std::int8_t flag = 0) {
    results::RES_TYPE res;
    res.nnodes = file.nnodes;
    res.ncells = file.ncells;
    results::CHECK_ALLOC(results::allocate_nodes(res, file.nnodes));
    std::fill(res.value.begin(), res.value.end(), value);
    std::fill(res.y.begin(), res.y.end(), value);
    results::CHECK_ALLOC(results::allocate_array(res.CELL, file.ncells, results::CELL_RES_TYPE{flag}));
    return res;
}

// A scratch file name of this test process, in a folder of its own that remove_scratch() removes.
inline std::string scratch_file(const char* name) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("zorvel_xmdf_read_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    return (dir / name).string();
}
inline void remove_scratch() {
    std::error_code ec;
    std::filesystem::remove_all(std::filesystem::temp_directory_path() /
                                    ("zorvel_xmdf_read_" + std::to_string(::getpid())),
                                ec);
}

// Writes, through the binding, a file with a stored maximum run/Maximums/Depth (2 nodes,
// no cells) and a dataset run/Temporal/Depth that never got a timestep.
inline bool write_file_without_steps(const std::string& name) {
    namespace xf = results::xmdf;
    std::int32_t file = 0, group = 0, set = 0, status = 0, ok = 0;
    const auto check = [&] { ok = std::min(ok, status); };
    xf::XF_CREATE_FILE(name, true, file, status);
    check();
    xf::XF_CREATE_GENERIC_GROUP(file, "run/Maximums", group, status);
    check();
    xf::XF_CREATE_SCALAR_DATASET(group, "Depth", "m", "Hours", 0, set, status);
    check();
    const std::vector<float> values{1.0f, 2.0f};
    xf::XF_WRITE_SCALAR_TIMESTEP(set, 99999.0, 2, values, status);
    check();
    xf::XF_CLOSE_GROUP(set, status);
    xf::XF_CLOSE_GROUP(group, status);
    xf::XF_CREATE_GENERIC_GROUP(file, "run/Temporal", group, status);
    check();
    xf::XF_CREATE_SCALAR_DATASET(group, "Depth", "m", "Hours", 0, set, status);
    check();
    xf::XF_CLOSE_FILE(file, status);
    return ok >= 0;
}

// The text that ends every run through EXITS.
inline constexpr const char* kExitTail = "\nPress Enter to Close\n";

// Each test with a captured console and fresh file-unit tables (so that EXITS pauses).
class XmdfTest : public ::testing::Test {
protected:
    void SetUp() override { util::FILEUNITINIT(1000); }
    // Runs f, which must end the run through EXITS; the console text it wrote.
    template <class F>
    std::string ended(F&& f) {
        EXPECT_THROW(f(), util::RunEnd);
        return console.take();
    }
    Captured console;
};

// Each test over a table of catalogued files, whose files are closed at the end of the test.
class CataloguedTest : public XmdfTest {
protected:
    // Catalogues the named files as the driver does, in place of the table before (its files
    // closed); the console cleared.
    void catalogue_files(const std::vector<std::string>& names) {
        close_files(table);
        table = table_of(names);
        catalogue(table);
        console.take();
    }
    XmdfTable table;
    Closer closer{table};
};

}  // namespace zorvel::xmdf_read::testing
