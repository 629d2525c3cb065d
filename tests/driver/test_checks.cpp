#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "driver/checks.hpp"
#include "driver/run_state.hpp"
#include "util/console.hpp"
#include "util/paths.hpp"
#include "util/run_end.hpp"
#include "util/units.hpp"

namespace {

using namespace zorvel;

// A run of one input, classified by its extension, with the given -type code and -2dm name.
driver::RunState one_input(const std::string& name, const std::string& type_code, const std::string& mesh) {
    driver::RunState run;
    run.cl.input_names = {name};
    run.cl.n_inputs = 1;
    run.cl.type_code = type_code;
    run.cl.have_2dm = !mesh.empty();
    run.cl.mesh_name = mesh;
    run.inputs.assign(1, driver::InputRecord{});
    const bool xmdf = util::FILEEXT(name) == ".xmdf";
    run.inputs[0].input_is_xmdf = xmdf;
    run.inputs[0].input_is_dat = !xmdf;
    run.only_dat_inputs = !xmdf;
    run.only_xmdf_inputs = xmdf;
    return run;
}

TEST(Checks, DataTypeAndMeshOfEachInput) {
    const struct {
        const char* name;
        const char* type_code;
        const char* mesh_option;
        const char* data_type;
        bool is_h;
        const char* mesh;
        const char* stem;
        const char* lines;
    } cases[] = {
        {"C:\\m\\run_d.dat", "", "", "_d", false, "C:\\m\\run.2dm", "run",
         "\nSMS data type identified as: \"_d\"\n2dm filename: \"C:\\m\\run.2dm\"\n"
         "\nSMS data type identified as: \"_d\"\n"},
        {"m/run_H.dat", "", "", "_h", true, "m/run.2dm", "run", nullptr},
        {"run.dat", "", "", "XX", false, "run.2dm", "run",
         "\nWARNING - Could not identify data type - this may effect results\n"
         "\nSMS data type identified as: \"xx\"\n2dm filename: \"run.2dm\"\n"
         "\nWARNING - Could not identify data type - this may effect results\n"},
        {"a_b_h.dat", "", "mesh.2dm", "_h", true, "mesh.2dm", "a_b", nullptr},
        {"C:\\m\\run.xmdf", "h", "", "_h", true, "C:\\m\\run.2dm", "",
         "\nSMS data type identified as: \"_h\"\n2dm filename: \"C:\\m\\run.2dm\"\n"},
        {"run.xmdf", "H", "", "_H", true, "run.2dm", "", "\nSMS data type identified as: \"_h\"\n"},
        {"run.xmdf", "WI10", "", "", false, "run.2dm", "", "\nSMS data type identified as: \"wi10\"\n"},
        {"m/run_x.xmdf", "d", "o/mesh.2dm", "_d", false, "o/mesh.2dm", "", nullptr},
    };
    for (const auto& c : cases) {
        driver::RunState run = one_input(c.name, c.type_code, c.mesh_option);
        std::ostringstream out;
        std::istringstream in;
        {
            util::ConsoleCapture cap(out, in);
            driver::set_data_types_and_meshes(run);
        }
        const driver::InputRecord& r = run.input(1);
        EXPECT_EQ(r.data_type, c.data_type) << c.name;
        EXPECT_EQ(r.is_h, c.is_h) << c.name;
        EXPECT_EQ(r.mesh_file, c.mesh) << c.name;
        EXPECT_EQ(r.stem, c.stem) << c.name;
        if (c.lines) {
            EXPECT_EQ(out.str().rfind(c.lines, 0), 0u) << c.name << "\n" << out.str();
        }
    }
}

TEST(Checks, AListsMeshServesEveryInput) {
    driver::RunState run = one_input("m/a_h.dat", "", "other.2dm");
    run.from_sup = true;
    run.sup.sup_mesh = "m/run.2dm";
    std::ostringstream out;
    std::istringstream in;
    util::ConsoleCapture cap(out, in);
    driver::set_data_types_and_meshes(run);
    EXPECT_EQ(run.input(1).mesh_file, "m/run.2dm");
    run.sup.sup_mesh.clear();  // a list without a mesh line: the -2dm name
    driver::set_data_types_and_meshes(run);
    EXPECT_EQ(run.input(1).mesh_file, "other.2dm");
}

// An ".xmdf" input without activity flags (0 cells in the catalogue) takes its number of
// cells from its mesh, which stays the input's mesh; a mesh of other nodes (or, for
// finite-volume results, other elements) than the values ends the run, and an input with
// flags, or a listing, opens no mesh.
TEST(Checks, CellsOfAnXmdfWithoutFlagsComeFromItsMesh) {
    const std::string mesh = std::string(ZORVEL_DATA_DIR) + "/driver_mesh.2dm";  // 6 nodes, 3 elements
    const struct {
        const char* what;
        driver::Operation op;
        std::int32_t nnodes, ncells;
        std::string mesh;
        std::int32_t cells;  // afterwards; -1: the run ends
    } cases[] = {
        {"values per node", driver::Operation::conv, 6, 0, mesh, 3},
        {"values per element", driver::Operation::max, 3, 0, mesh, 3},
        {"other nodes", driver::Operation::ensight, 7, 0, mesh, -1},
        {"flags stored", driver::Operation::conv, 6, 5, "absent.2dm", 5},
        {"a listing", driver::Operation::times, 6, 0, "absent.2dm", 0},
    };
    for (const auto& c : cases) {
        util::FILEUNITINIT(1000);
        driver::RunState run = one_input("run.xmdf", "d", c.mesh);
        run.op = c.op;
        run.inputs[0].xmdf_index = 1;
        run.xmdf.n_xmdf = 1;
        run.xmdf.files.resize(1);
        run.xmdf.file(1).file_name = "run.xmdf";
        run.xmdf.file(1).nnodes = c.nnodes;
        run.xmdf.file(1).ncells = c.ncells;
        run.n_cells = c.ncells;
        std::ostringstream out;
        std::istringstream in;
        util::ConsoleCapture cap(out, in);
        if (c.cells < 0) {
            EXPECT_THROW(driver::count_cells_from_meshes(run), util::RunEnd) << c.what;
            EXPECT_NE(out.str().find("\nERROR - Number of nodes does not match results file. Expecting number of nodes:"
                                     "            7\n   .2dm file: " + mesh + " has 6 nodes and 3 elements.\n"),
                      std::string::npos)
                << c.what << "\n" << out.str();
            continue;
        }
        driver::count_cells_from_meshes(run);
        EXPECT_EQ(run.xmdf.file(1).ncells, c.cells) << c.what;
        EXPECT_EQ(run.n_cells, c.cells) << c.what;
        EXPECT_EQ(out.str().find("Trying to open file") != std::string::npos, c.cells != c.ncells) << c.what;
        driver::set_data_types_and_meshes(run);
        EXPECT_EQ(run.input(1).mesh_file, c.mesh) << c.what;
    }
}

}  // namespace
