#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "driver/stage_runner.hpp"

namespace {

using namespace zorvel;
using driver_test::stage;

// The text ends with the line(s) and the EXITS pause.
void expect_exits_with(const driver_test::Staged& s, const std::string& lines) {
    EXPECT_EQ(s.status, 1);
    const std::string tail = lines + "\nPress Enter to Close\n";
    ASSERT_GE(s.text.size(), tail.size()) << s.text;
    EXPECT_EQ(s.text.substr(s.text.size() - tail.size()), tail) << s.text;
}

class SupList : public ::testing::Test {
protected:
    void SetUp() override {
        // A folder of this test in this process: other tests, and other trees, run at the same time.
        dir_ = std::filesystem::temp_directory_path() /
               ("zorvel_driver_sup_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) +
                "_" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string write(const std::string& name, const std::string& text) {
        const std::string path = (dir_ / name).string();
        std::ofstream(path) << text;
        return path;
    }
    std::filesystem::path dir_;
};

TEST_F(SupList, DataNamesAreTakenFromTheListsFolder) {
    const std::string sup = write("run.sup", "MESH2D \"run.2dm\"\nDATA run_h.dat\ndata  run_d.dat\nDATA /abs/x_V.dat\n");
    const auto s = stage({"-max", sup});
    ASSERT_EQ(s->status, -1) << s->text;
    const std::string folder = dir_.string() + "/";
    EXPECT_EQ(s->run.cl.input_names,
              (std::vector<std::string>{folder + "run_h.dat", folder + "run_d.dat", "/abs/x_V.dat"}));
    EXPECT_EQ(s->run.n_inputs(), 3);
    EXPECT_TRUE(s->run.from_sup);
    EXPECT_EQ(s->run.sup.sup_mesh, folder + "run.2dm");
    EXPECT_EQ(s->run.output().out_path, folder + "run(maxmax).dat");
    EXPECT_EQ(s->run.output().results_name, "run");
    EXPECT_EQ(s->text.rfind("\nExtracting results files from .sup file....\n", 0), 0u) << s->text;
    EXPECT_NE(s->text.find("   Done.\n\nAllocating arrays for processing 3 files.\n   Done.\n\nKESTRA Results Files:\n"
                           "   File  1: " + folder + "run_h.dat\n"),
              std::string::npos)
        << s->text;
}

TEST_F(SupList, ListsWithoutDataOrWithTooManyEndTheRun) {
    const std::string empty = write("empty.sup", "MESH2D run.2dm\n");
    expect_exits_with(*stage({"-max", empty}), "\nERROR - No input files specified.\n");
    std::string many = "MESH2D run.2dm\n";
    for (int i = 0; i < 101; ++i) many += "DATA r" + std::to_string(i) + "_h.dat\n";
    expect_exits_with(*stage({"-max", write("many.sup", many)}), "\nERROR - Too many input files specified, limit is 100.\n");
    expect_exits_with(*stage({"-max", empty, "b.dat"}), "ERROR - If using .sup file, there must be only one input file.\n");
}

TEST(Inputs, ListingClassifiesAndNumbersTheInputs) {
    const auto s = stage({"-max", "a_h.dat", "b.xmdf", "c.XMDF", "d.dat", "-typeh"});
    ASSERT_EQ(s->status, -1) << s->text;
    EXPECT_NE(s->text.find("\nKESTRA Results Files:\n   File  1: a_h.dat\n   File  2: b.xmdf\n   File  3: c.XMDF\n"
                           "   File  4: d.dat\n\nDefault time search tolerance = 0.0001\nUse -dttol<tolerance> to set.\n"),
              std::string::npos)
        << s->text;
    const driver::RunState& r = s->run;
    EXPECT_EQ(r.xmdf.n_xmdf, 2);
    EXPECT_EQ(r.xmdf.file(1).file_name, "b.xmdf");
    EXPECT_EQ(r.xmdf.file(2).file_name, "c.XMDF");
    EXPECT_EQ(r.input(2).xmdf_index, 1);
    EXPECT_EQ(r.input(3).xmdf_index, 2);
    EXPECT_TRUE(r.input(1).input_is_dat && r.input(4).input_is_dat);
    EXPECT_EQ(r.is_xmdf, (std::vector<bool>{false, true, true, false}));
    EXPECT_EQ(r.first_dat, 1);
    EXPECT_FALSE(r.only_dat_inputs || r.only_xmdf_inputs);
    EXPECT_EQ(stage({"-max", "b.xmdf", "a.dat", "-typeh"})->run.first_dat, 2);
}

TEST(Inputs, UserToleranceIsReported) {
    const auto s = stage({"-max", "a.dat", "-dttol0.5"});
    EXPECT_NE(s->text.find("\nUser specified time search tolerance = 0.5\n\nOnly DAT inputs."), std::string::npos)
        << s->text;
    EXPECT_FLOAT_EQ(s->run.cl.time_tol, 0.5f);
}

TEST(Inputs, RefusalsOfTheInputStage) {
    expect_exits_with(*stage({"-max"}), "\nERROR - No input files specified.\n");
    const auto txt = stage({"-max", "a.txt"});
    expect_exits_with(*txt, "   File  1: a.txt\nERROR - Unable to determine file type (expecting .dat or .xmdf).\n");
    const std::string selector =
        "\nERROR - Must specify an output type to be processed if using xmdf files.\n"
        "   Use -type<output type> to use a specific output type.\n"
        "   Output types should be as specified in the .kcf eg. h, V, q, or d\n"
        "   E.g. -typeV to process the velocity results.\n";
    expect_exits_with(*stage({"-avg", "run.xmdf"}), selector);
    expect_exits_with(*stage({"-max", "a.dat", "run.xmdf"}), selector);
    const std::vector<std::vector<std::string>> selected = {
        {"-max", "run.xmdf", "-typed"}, {"-max", "run.xmdf", "-s1"}, {"-max", "run.xmdf", "-v2"},
        {"-max", "run.xmdf", "-pathDepth"}, {"-xnfo", "run.xmdf"}, {"-conv", "run.xmdf"}, {"-ensight", "run.xmdf"}};
    for (const auto& words : selected) EXPECT_EQ(stage(words)->status, -1) << words[0] << " " << words[2 % words.size()];
}

}  // namespace
