// The planning of an XMDF-to-".dat" conversion: the names planned per dataset path, their
// console lines, the errors that end the run, and the numbering of the distinct names.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "xmdf_fixture.hpp"
#include "xmdf_read/conversion_plan.hpp"

namespace zorvel::xmdf_read {
namespace {

using testing::fixture;
using testing::kExitTail;

class ConversionPlan : public testing::CataloguedTest {};

// A file record whose scalar list holds the given planned names (as PLAN would leave them).
XmdfFile planned_file(const std::string& name, const std::vector<std::string>& out_names) {
    XmdfFile file;
    file.file_name = name;
    file.scalars.n_paths = static_cast<std::int32_t>(out_names.size());
    for (const std::string& out : out_names) {
        file.scalars.paths.push_back("run/Temporal/" + out);
        file.scalars.conversions.push_back({out, 0});
    }
    return file;
}

TEST_F(ConversionPlan, NamesByFolderAndType) {
    const struct {
        const char* path;
        bool vector;
        const char* planned;
        const char* console;
    } cases[] = {
        {"run/Temporal/Water Level", false, "C:\\m/a_h.dat", ""},
        {"run/Maximums/water level", false, "C:\\m/a_h.dat", ""},
        {"run/Temporal/Vector Velocity", true, "C:\\m/a_v.dat", ""},
        {"run/Temporal/Velocity", true, "C:\\m/a_v.dat", ""},
        {"run/Other/Mass Error %", false, "C:\\m/a_ME%.dat", ""},
        // A code with a separator would name a file in another folder.
        {"run/Temporal/054", false, "C:\\m/a_n_a.dat", ""},
        {"run/Times/Time of Peak h", false, "C:\\m/a_times.dat", ""},
        {"run/ times /Duration Above 0.3m", false, "C:\\m/a_times.dat", ""},
        {"run/Times/Time of First Depth > 1.2.3m", false, "C:\\m/a_times.dat", ""},
        {"run/Times/Duration Above 0.3 Time of Peak h", false, "C:\\m/a_times.dat", ""},
        {"run/Temporal/My Data", false, "C:\\m/aTemporalMy_Data.dat",
         "WARNING - Unexpected data name - My Data\n"},
        {"Depth here", false, "C:\\m/aDepth_here.dat", "WARNING - Unexpected data name - Depth here\n"},
        {"run/a/b\\c/x\\y z", true, "C:\\m/aa_b_cx_y_z.dat", "WARNING - Unexpected data name - x\\y z\n"},
        {"run/Temporal/" "0123456789012345678901234567890123456789tail", false,
         "C:\\m/aTemporal0123456789012345678901234567890123456789.dat",
         "WARNING - Unexpected data name - 0123456789012345678901234567890123456789\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(planned_name("C:\\m/a", c.path, c.vector), c.planned) << c.path;
        EXPECT_EQ(console.take(), c.console) << c.path;
    }
}

TEST_F(ConversionPlan, TimesNamesThatEndTheRun) {
    const struct {
        const char* path;
        bool vector;
        const char* message;
    } cases[] = {
        {"run/Times/Duration Above", false, "ERROR - Extracting output time for Duration Above\n"},
        {"run/Times/TIME OF FIRST depth > m", false, "ERROR - Extracting output time for TIME OF FIRST depth > m\n"},
        {"run/Times/Unknown Output", false,
         "ERROR - Unexpected of data name - Unknown Output , please contact support@example.com\n"},
        {"run/Times/Time of Peak h", true, "ERROR - Unexpected vector dataset in \\Times\\ folder: Time of Peak h\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ended([&] { (void)planned_name("a", c.path, c.vector); }), c.message + std::string(kExitTail))
            << c.path;
}

TEST_F(ConversionPlan, PlansAndCountsAFile) {
    const std::string f = fixture("conv_a.xmdf");
    catalogue_files({f});
    PLAN_XMDF_CONVERSION(table);
    const std::string stem = f.substr(0, f.size() - 5);
    std::string want;
    const char* const planned[][2] = {
        {"a/Maximums/Water Level", "_h.dat"},
        {"a/Minimums/Water Level", "_h.dat"},
        {"a/Temporal/Depth", "_d.dat"},
        {"a/Temporal/My Data", "Temporal" "My_Data.dat"},
        {"a/Temporal/Water Level", "_h.dat"},
        {"a/Times/Duration Above 0.3m", "_times.dat"},
        {"a/Times/Time of First Depth > 0.1m", "_times.dat"},
        {"a/Times/Time of Peak h", "_times.dat"},
        {"a/Maximums/Vector Velocity", "_v.dat"},
        {"a/Temporal/Vector Velocity", "_v.dat"},
    };
    for (const auto& p : planned) {
        if (std::string(p[0]) == "a/Temporal/My Data") want += "WARNING - Unexpected data name - My Data\n";
        want += "\nInput data: " + std::string(p[0]) + "\nOutput file: " + stem + p[1] + "\n";
    }
    EXPECT_EQ(console.take(), want);

    OutputFileList list;
    ASSIGN_OUTPUT_FILES(table, list);
    EXPECT_EQ(console.take(), "\nNew Output File Detected: " + stem + "_h.dat\n" +
                                  "\nNew Output File Detected: " + stem + "_d.dat\n" +
                                  "\nNew Output File Detected: " + stem + "TemporalMy_Data.dat\n" +
                                  "\nNew Output File Detected: " + stem + "_times.dat\n" +
                                  "\nNew Output File Detected: " + stem + "_v.dat\n");
    ASSERT_EQ(list.count, 5);
    std::vector<std::int32_t> scalars, vectors;
    for (const ConversionEntry& e : table.file(1).scalars.conversions) scalars.push_back(e.out_index);
    for (const ConversionEntry& e : table.file(1).vectors.conversions) vectors.push_back(e.out_index);
    EXPECT_EQ(scalars, (std::vector<std::int32_t>{1, 1, 2, 3, 1, 4, 4, 4}));
    EXPECT_EQ(vectors, (std::vector<std::int32_t>{5, 5}));
}

TEST_F(ConversionPlan, NamesDifferingInCaseShareAFile) {
    table.files = {planned_file("a.xmdf", {"a_h.dat", "a_d.dat"}), planned_file("A.xmdf", {"A_H.dat", "b_h.dat"})};
    table.n_xmdf = 2;
    OutputFileList list;
    ASSIGN_OUTPUT_FILES(table, list);
    EXPECT_EQ(console.take(), "\nNew Output File Detected: a_h.dat\n\nNew Output File Detected: a_d.dat\n"
                              "\nNew Output File Detected: b_h.dat\n");
    EXPECT_EQ(list.count, 3);
    EXPECT_EQ(table.file(2).scalars.conversions[0].out_index, 1);
    EXPECT_EQ(table.file(2).scalars.conversions[1].out_index, 3);
}

TEST_F(ConversionPlan, MoreThanAHundredNamesEndTheRun) {
    std::vector<std::string> names;
    char name[16];
    for (int k = 1; k <= 101; ++k) names.emplace_back(name, std::snprintf(name, sizeof name, "a%d.dat", k));
    table.files = {planned_file("a.xmdf", names)};
    table.n_xmdf = 1;
    OutputFileList list;
    const std::string text = ended([&] { ASSIGN_OUTPUT_FILES(table, list); });
    EXPECT_EQ(list.count, 100);
    const std::string tail = "\nNew Output File Detected: a100.dat\n"
                             "\nERROR - Too many output files for -conv, the limit is 100.\n" +
                             std::string(kExitTail);
    ASSERT_GE(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
}

}  // namespace
}  // namespace zorvel::xmdf_read
