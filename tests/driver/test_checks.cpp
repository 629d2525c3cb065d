#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "driver/checks.hpp"
#include "driver/run_state.hpp"
#include "util/console.hpp"
#include "util/paths.hpp"

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

}  // namespace
