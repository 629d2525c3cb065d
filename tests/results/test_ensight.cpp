// The EnSight variable writer and file names; the whole set, as a viewer reads it, is
// tested end to end (tests/e2e/ensight_*).

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "results/dat_test_base.hpp"
#include "results/ensight.hpp"
#include "results/res_fields.hpp"

namespace zorvel::results {
namespace {

using testing::DatTest;
using testing::expect_error_end;
using testing::read_file;

using EnsightTest = DatTest;

TEST_F(EnsightTest, FileNamesNumberStepsInFourDigits) {
    const struct {
        std::int32_t n;
        const char* name;
    } cases[] = {{1, "run.0001"}, {10, "run.0010"}, {100, "run.0100"}, {1000, "run.1000"}, {9999, "run.9999"}};
    for (const auto& c : cases) EXPECT_EQ(ENSIGHTFILENAME("run   ", c.n), c.name);
    const std::string text = expect_error_end([] { ENSIGHTFILENAME("run", 10000); }, out_);
    EXPECT_EQ(text, "\nERROR - Maximum of 10,000 outputs per ensight dataset.\n" + std::string(testing::kPressEnter));
}

TEST_F(EnsightTest, FileNamesHoldNothingACaseFileLineCannotHoldUnquoted) {
    const struct {
        const char* name;
        const char* safe;
    } cases[] = {
        {"my run_h", "my_run_h"},
        {"a\tb\rc\x7f", "a_b_c_"},
        {"q\"uote*star?mark", "q_uote_star_mark"},
        {"c:\\x<y>z|w", "c__x_y_z_w"},
        {"1-in-100 (2%) #3 \xc3\xa9t\xc3\xa9.2dm", "1-in-100_(2%)_#3_\xc3\xa9t\xc3\xa9.2dm"},  // kept as they are
    };
    for (const auto& c : cases) EXPECT_EQ(ensight_name(c.name), c.safe) << c.name;
    // A variable file's name keeps its folders ("/" and "\\" both part them), blanks and all.
    EXPECT_EQ(ENSIGHTFILENAME("my runs/a b\\c d/my run_h  ", 2), "my runs/a b\\c d/my_run_h.0002");
}

// A finite-volume mesh of a triangle between two 4-node quadrilaterals.
MESH_TYPE fv_mesh() {
    MESH_TYPE m;
    m.nnodes = 6;
    m.ncells = 3;
    m.is_fv = m.high_res = true;
    m.nquad4 = 2;
    m.ntri = 1;
    m.NODES.resize(6);
    m.CELLS.resize(3);
    m.CELLS[0] = {4, {1, 2, 5, 4}};
    m.CELLS[1] = {3, {2, 3, 5}};
    m.CELLS[2] = {4, {3, 6, 5, 2}};
    return m;
}

TEST_F(EnsightTest, FiniteVolumeVectorsRunXThenYThenZerosPerBlock) {
    const MESH_TYPE mesh = fv_mesh();
    RES_TYPE res;
    res.nnodes = res.ncells = 3;
    res.is_fv = res.is_vector = true;
    testing::set_nodes(res, {{1.5f, -2.0f, 0}, {0.25f, 4.0f, 0}, {-3.0f, 0.125f, 0}});
    testing::set_cells(res, {1, 1, 0});  // the second quadrilateral is dry
    const std::string name = dir_.file("v.0001");
    const std::string description(90, 'd');  // cut to 80
    ENSIGHTVARIABLE(mesh, res, name, description);

    const std::string z = " 0.00000E+00\n";
    EXPECT_EQ(read_file(name), std::string(80, 'd') + "\npart\n         1\n" +
                                   "tria3\n 0.25000E+00\n 0.40000E+01\n" + z +   // x, y, 0 of the triangle
                                   "quad4\n 0.15000E+01\n" + z + "-0.20000E+01\n" + z + z + z);
    EXPECT_EQ(console_text(), "\nOpening outfile: " + name +
                                  "\n\nWriting triangles (tria3)...\nDone writing triangles.\n\n"
                                  "\nWriting quads (quad4)...\nDone writing quads.\n\nClosing outfile: " +
                                  name + "\n\n");
}

TEST_F(EnsightTest, AVariableFileThatCannotBeOpenedEndsTheRun) {
    const MESH_TYPE mesh = fv_mesh();
    RES_TYPE res;
    res.nnodes = res.ncells = 3;
    res.is_fv = true;
    allocate_nodes(res, 3);
    res.CELL.allocate(3);
    const std::string name = dir_.file("no_such_folder/v.0001");
    const std::string text = expect_error_end([&] { ENSIGHTVARIABLE(mesh, res, name, "d"); }, out_);
    EXPECT_NE(text.find("ERROR - Unable to open file for writing: \"" + name + "\""), std::string::npos) << text;

    // A result with fewer values than the mesh has elements is refused before any file is made.
    allocate_nodes(res, 2);
    const std::string short_name = dir_.file("short.0001");
    const std::string refused = expect_error_end([&] { ENSIGHTVARIABLE(mesh, res, short_name, "d"); }, out_);
    EXPECT_NE(refused.find("ERROR - The results do not fit the mesh for EnSight output"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(short_name));
}

}  // namespace
}  // namespace zorvel::results
