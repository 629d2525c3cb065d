#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "driver/stage_runner.hpp"

namespace {

using namespace zorvel;
using driver_test::stage;

TEST(OutputNames, EachOperationNamesItsOutput) {
    const struct {
        std::vector<std::string> words;
        const char* out_path;
        const char* results;
        const char* folder;
        const char* dataset;
    } cases[] = {
        {{"-max", "m/a_h.dat", "b_h.dat"}, "m/a_h(maxmax).dat", "a_h", "MaxMax", "Max Value"},
        {{"-min", "a_h.dat"}, "a_h(minmin).dat", "a_h", "MinMin", "Min Value"},
        {{"-avg", "run_d.dat"}, "run_d(avg).dat", "run_d", "Avg", "Avg Value"},
        {{"-k99999", "run_h.dat"}, "run_h(k99999.).dat", "run_h", "Keep", "Keep run_h"},
        {{"-k2.5", "m\\run_h.dat"}, "m\\run_h(k2.5).dat", "run_h", "Keep", "Keep run_h"},
        {{"-r5", "run_h.dat"}, "run_h(r5.).dat", "run_h", "Remove", ""},
        {{"-con", "a_h.dat", "b_h.dat"}, "a_h(con).dat", "a_h", "Concatenate", ""},
        {{"-rangeA1", "-rangeB2", "m/run_h.dat"}, "m/run_h(range).dat", "run_h", "Range", "Range run_h"},
        {{"-rangeA1", "-rangeB2", "-typeh", "run.xmdf"}, "run(range).xmdf", "run", "Range", "Water Level"},
        {{"-dif", "m/a_h.dat", "m/b_h.dat"}, "a_h - b_h.dat", "a_h", "Difference", "diff_a_h - b_h"},
        {{"-dif", "a.dat", "b.dat", "o/c.dat"}, "o/c.dat", "a", "Difference", "diff_a - b"},
        {{"-dur0.3", "run_d.dat"}, "run_d(dur0.3).dat", "run_d", "Duration", "dur0.3"},
        {{"-trim5", "run_V.dat"}, "run_V(trim5).dat", "run_V", "Trim", "trim5"},
        {{"-toi0.5", "run_h.dat"}, "run_h(toi).dat", "run_h", "Time to", "Time to Increase 0.5"},
        {{"-va", "m/run_V.dat"}, "m/run_V.dat", "run_V", "", ""},
        {{"-times", "m/run_h.dat"}, "times.txt", "run_h", "", ""},
        {{"-times", "-out", "t.csv", "run_h.dat"}, "t.csv.txt", "run_h", "", ""},
        {{"-xnfo", "m/run.xmdf"}, "m/run.txt", "run", "", ""},
        {{"-max", "-out", "x.dat", "a_h.dat"}, "x.dat", "a_h", "MaxMax", "Max Value"},
        {{"-max", "-out", "x.DAT", "a_h.dat"}, "x.DAT", "a_h", "MaxMax", "Max Value"},
        {{"-max", "-out", "x.dat", "a.xmdf", "-typeh"}, "x.dat.xmdf", "a", "MaxMax", "Max Value"},
        {{"-max", "-out", "x.xmdf", "a.dat", "b.dat"}, "x.xmdf", "a", "MaxMax", "Max Value"},
        {{"-max", "-out", "x", "a.dat"}, "x.dat", "a", "MaxMax", "Max Value"},
    };
    for (const auto& c : cases) {
        const auto s = stage(c.words);
        const std::string what = c.words.front() + " " + c.words[1];
        ASSERT_EQ(s->status, -1) << what << "\n" << s->text;
        const results::OutputDescription& out = s->run.output();
        EXPECT_EQ(out.out_path, c.out_path) << what;
        EXPECT_EQ(out.results_name, c.results) << what;
        EXPECT_EQ(out.folder_name, c.folder) << what;
        EXPECT_EQ(out.dataset_name, c.dataset) << what;
        EXPECT_EQ(out.user_named, s->run.cl.out_given) << what;
    }
}

TEST(OutputNames, OutputTypeLinesAndFlags) {
    const struct {
        std::vector<std::string> words;
        const char* lines;
        bool to_xmdf, to_dat, to_text;
    } cases[] = {
        {{"-max", "a.dat", "b.dat"}, "\nOnly DAT inputs.\n\nUsing DAT for output type\n", false, true, false},
        {{"-max", "a.xmdf", "-typeh"}, "\nOnly XMDF inputs.\n\nUsing XMDF for output type\n", true, false, false},
        {{"-max", "a.dat", "b.xmdf", "-typeh"}, "\nBoth XMDF and DAT inputs\n\nUsing XMDF for output type\n", true,
         false, false},
        {{"-max", "-out", "x.dat", "a.xmdf", "-typeh"},
         "\nOnly XMDF inputs.\nSpecified output file is .dat type\n\nUsing XMDF for output type\n", true, true, false},
        {{"-max", "-out", "x.xmdf", "a.dat"},
         "\nOnly DAT inputs.\nSpecified output file is .xmdf type\n\nUsing XMDF for output type\n", true, true, false},
        {{"-max", "-out", "x", "a.dat"},
         "\nOnly DAT inputs.\nSpecified output file has no extension\n\nUsing DAT for output type\n", false, true,
         false},
        {{"-times", "a.dat"}, "\nOutput file is a text file\n", false, false, true},
    };
    for (const auto& c : cases) {
        const auto s = stage(c.words);
        ASSERT_EQ(s->status, -1) << s->text;
        EXPECT_NE(s->text.find(std::string("Use -dttol<tolerance> to set.\n") + c.lines), std::string::npos)
            << s->text;
        EXPECT_EQ(s->run.output().to_xmdf, c.to_xmdf) << s->text;
        EXPECT_EQ(s->run.output().to_dat, c.to_dat) << s->text;
        EXPECT_EQ(s->run.output().to_text, c.to_text) << s->text;
    }
}

TEST(OutputNames, ThirdDifferenceNameWithOutWarnsPausesAndNamesTheOutput) {
    const auto s = stage({"-dif", "-out", "o.dat", "a_h.dat", "b_h.dat", "c"}, "\n");
    ASSERT_EQ(s->status, -1) << s->text;
    EXPECT_EQ(s->text.rfind("\nWARNING - More than two files specifed for -dif or -ddur option with -out option.\n\n\n"
              "Press Enter to Continue\n", 0), 0u) << s->text;
    EXPECT_NE(s->text.find("Specified output file has no extension\n"), std::string::npos);
    EXPECT_EQ(s->run.output().out_path, "c.dat");
    EXPECT_EQ(s->run.n_inputs(), 2);
    EXPECT_EQ(s->run.cl.input_names.size(), 2u);
}

TEST(OutputNames, ConversionAndEnsightNameTheirOutputsLater) {
    auto s = stage({"-conv", "a.dat"});
    EXPECT_TRUE(s->run.outputs.empty());
    EXPECT_EQ(s->text.rfind("\n-conv found, output name based on conversion.\n", 0), 0u) << s->text;
    s = stage({"-ensight", "a.dat"});
    EXPECT_TRUE(s->run.output().to_text);
    EXPECT_EQ(s->text.rfind("\n-ensight found, output name based on conversion.\n", 0), 0u) << s->text;
    EXPECT_NE(s->text.find("\nWARNING - Ensight conversion not fully supported for .dat files.\n"), std::string::npos);
}

TEST(OutputNames, AnOutputThatIsAnInputIsRefused) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("zorvel_driver_names_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir / "sub");
    const std::string a = (dir / "a_h.dat").string();
    std::ofstream(a) << "x";
    const std::string spelled = (dir / "sub" / ".." / "a_h.dat").string();
    const struct {
        std::vector<std::string> words;
        std::string name;
    } cases[] = {
        {{"-max", "-out", spelled, a}, spelled},                 // the same existing file, spelled otherwise
        {{"-dif", "x.dat", "y.dat", "./x.dat"}, "./x.dat"},      // a third name that is input 1 (missing)
        {{"-max", "-out", "m//n.dat", "m/n.dat"}, "m//n.dat"},   // normalised names
    };
    for (const auto& c : cases) {
        const auto s = stage(c.words);
        EXPECT_EQ(s->status, 1) << s->text;
        const std::string tail = "\nERROR - Output file is also an input file: \"" + c.name + "\"\n\nPress Enter to Close\n";
        ASSERT_GE(s->text.size(), tail.size());
        EXPECT_EQ(s->text.substr(s->text.size() - tail.size()), tail);
    }
    EXPECT_EQ(stage({"-max", "-out", (dir / "b.dat").string(), a})->status, -1);
    std::filesystem::remove_all(dir);
}

// Besides the inputs the run reads its ".sup" list, the meshes its operation reads and the
// water-level companions of a difference: none of them may be an output either, whatever
// its name; a file that this run does not read may be.
TEST(OutputNames, AnOutputThatIsAnotherFileTheRunReadsIsRefused) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("zorvel_driver_read_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto in_dir = [&](const char* name) { return (dir / name).string(); };
    for (const char* name : {"r_h.dat", "r.2dm", "r_d.dat", "s_d.dat"}) std::ofstream(in_dir(name)) << "x";
    std::ofstream(in_dir("list.sup")) << "MESH2D r.2dm\nDATA r_h.dat\n";
    for (const auto& [target, link] : {std::pair{"r.2dm", "mesh.dat"}, {"list.sup", "sup.dat"}, {"s_h.dat", "s.dat"}})
        std::filesystem::create_symlink(in_dir(target), in_dir(link));
    const struct {
        std::vector<std::string> words;
        std::string refused;  // the output named in the refusal; empty when the run goes on
    } cases[] = {
        {{"-max", in_dir("r_h.dat"), "-out", in_dir("mesh.dat")}, in_dir("mesh.dat")},  // its mesh
        {{"-avg", in_dir("r_h.dat"), "-2dm", "m.dat", "-out", "m.dat"}, "m.dat"},      // the -2dm mesh
        {{"-max", in_dir("list.sup"), "-out", in_dir("sup.dat")}, in_dir("sup.dat")},  // the list
        {{"-dif", in_dir("r_d.dat"), in_dir("s_d.dat"), in_dir("s_h.dat")}, in_dir("s_h.dat")},  // a companion to come
        {{"-dif", in_dir("r_d.dat"), in_dir("s_d.dat"), in_dir("s.dat")}, in_dir("s.dat")},  // a link to it
        {{"-dif", in_dir("r_d.dat"), in_dir("s_d.dat"), "-out", in_dir("r.2dm.dat")}, ""},
        {{"-dif", in_dir("r_d.dat"), in_dir("s_d.dat"), in_dir("s.dat"), "-nowetdry"}, ""},
        {{"-dif", in_dir("r_h.dat"), in_dir("s_d.dat"), in_dir("s.dat")}, ""},  // levels of input 1: no companion
        {{"-max", in_dir("r_d.dat"), "-out", in_dir("mesh.dat")}, ""},          // depths: no mesh read
        {{"-con", in_dir("r_h.dat"), "-out", in_dir("mesh.dat")}, ""},
    };
    for (const auto& c : cases) {
        const auto s = stage(c.words);
        const std::string what = c.words.front() + " " + c.words.back();
        if (c.refused.empty()) {
            EXPECT_EQ(s->status, -1) << what << "\n" << s->text;
            continue;
        }
        EXPECT_EQ(s->status, 1) << what << "\n" << s->text;
        const std::string tail = "\nERROR - Output file is also an input file: \"" + c.refused + "\"\n\nPress Enter to Close\n";
        ASSERT_GE(s->text.size(), tail.size()) << what;
        EXPECT_EQ(s->text.substr(s->text.size() - tail.size()), tail) << what;
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
