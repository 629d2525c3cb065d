#pragma once
// Shared by the XMDF reading tests: fixture names, a captured console, and a
// catalogue made the way the command driver makes it.

#include <gtest/gtest.h>

#include <initializer_list>
#include <sstream>
#include <string>

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
inline XmdfTable table_of(std::initializer_list<std::string> names) {
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

// Closes the files the catalogue opened, so that no test leaves one open.
struct Closer {
    XmdfTable& table;
    ~Closer() {
        for (XmdfFile& file : table.files) {
            std::int32_t status = 0;
            if (file.file_id > 0) results::xmdf::XF_CLOSE_FILE(file.file_id, status);
            file.file_id = 0;
        }
    }
};

// A result record sized for the file, every node and cell at the given start values.
inline results::RES_TYPE record_for(const XmdfFile& file, float value, std::int8_t flag = 0) {
    results::RES_TYPE res;
    res.nnodes = file.nnodes;
    res.ncells = file.ncells;
    res.ND.assign(static_cast<std::size_t>(file.nnodes), results::ND_RES_TYPE{value, value, 0});
    res.CELL.assign(static_cast<std::size_t>(file.ncells), results::CELL_RES_TYPE{flag});
    return res;
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

}  // namespace zorvel::xmdf_read::testing
