// The XMDF catalogue over h5py fixtures: console text and the records it fills.

#include <gtest/gtest.h>

#include <string>

#include "xmdf_fixture.hpp"
#include "xmdf_read/catalogue.hpp"

namespace zorvel::xmdf_read {
namespace {

using testing::catalogue;
using testing::Closer;
using testing::fixture;
using testing::kExitTail;
using testing::table_of;

class Catalogue : public testing::XmdfTest {};

TEST_F(Catalogue, ModelRunConsoleAndRecords) {
    const std::string f = fixture("catalogue_run.xmdf");
    XmdfTable table = table_of({f});
    Closer closer{table};
    catalogue(table);
    EXPECT_EQ(console.take(),
              "\nOpening all .xmdf files to extract header information.\n"
              "\nOpening XMDF file \"" + f + "\".\n"
              "    Done.\n"
              "XMDF Version: 1.9\n"
              "\nExtracting filepath information for array allocation...\n"
              "\nGetting scalar dataset information\n"
              "   Number of scalar datasets: 13\n"
              "   Maximum character length of dataset names: 41\n"
              "\nGetting vector dataset information\n"
              "   Maximum character length of dataset names: 33\n"
              "\nGetting dataset names from XMDF file \"" + f + "\".\n"
              "Scalar datasets available: \n"
              "    1: results/Maximums/Depth\n"
              "    2: results/Maximums/Water Level\n"
              "    3: results/Minimums/Water Level\n"
              "    4: results/Temporal/Depth\n"
              "    5: results/Temporal/Manning n\n"
              "    6: results/Temporal/Manning n2\n"
              "    7: results/Temporal/Water Level\n"
              "    8: results/Times/Duration Above -0.5m\n"
              "    9: results/Times/Duration Above 0.1m\n"
              "   10: results/Times/Time of First Depth > 0.1m\n"
              "   11: results/Times/Time of Peak V\n"
              "   12: results/Times/Time of Peak h\n"
              "   13: results/Times/Unknown Output\n"
              "\nWARNING - Unable to determine /Time/ output type.\n"
              "Vector datasets available: \n"
              "    1: results/Maximums/Vector Velocity\n"
              "    2: results/Temporal/Vector Velocity\n"
              "\nGetting time units, number of cells and nodes from XMDF file \"" + f + "\".\n"
              "   Number of nodes:    4\n"
              "   Number of cells:    3\n"
              "   Time Units:         Hours\n");

    const XmdfFile& r = table.file(1);
    EXPECT_GT(r.file_id, 0);
    EXPECT_FLOAT_EQ(r.xmdf_version, 1.9f);
    EXPECT_EQ(r.nnodes, 4);
    EXPECT_EQ(r.ncells, 3);
    EXPECT_EQ(r.time_units, "Hours");
    EXPECT_EQ(r.scalars.n_paths, 13);
    EXPECT_EQ(r.scalars.max_path_len, 41);
    EXPECT_EQ(r.vectors.n_paths, 2);
    EXPECT_EQ(r.scalars.paths[9], "results/Times/Time of First Depth > 0.1m");
    EXPECT_EQ(r.scalars.split_paths[9].group, "results");
    EXPECT_EQ(r.scalars.split_paths[9].folder, "Times");
    EXPECT_EQ(r.scalars.split_paths[9].name, "Time of First Depth > 0.1m");

    // Per type (index row - 1): Water Level 1, Depth 2, Velocity 3, Manning n 5, Manning n2 6.
    EXPECT_TRUE(r.type_present[0] && r.type_present[1] && r.type_present[2] && r.type_present[4] &&
                r.type_present[5]);
    EXPECT_FALSE(r.type_present[3] || r.type_present[50]);
    EXPECT_EQ(r.max_dataset[0], 2);
    EXPECT_EQ(r.min_dataset[0], 3);
    EXPECT_EQ(r.temporal_dataset[0], 7);
    EXPECT_EQ(r.max_dataset[1], 1);
    EXPECT_EQ(r.temporal_dataset[1], 4);
    EXPECT_EQ(r.min_dataset[1], 0);
    EXPECT_EQ(r.temporal_dataset[4], 5);
    EXPECT_EQ(r.temporal_dataset[5], 6);
    EXPECT_TRUE(r.type_is_vector[2]);
    EXPECT_FALSE(r.type_is_vector[1]);
    EXPECT_EQ(r.vector_max_dataset[2], 1);
    EXPECT_EQ(r.vector_temporal_dataset[2], 2);
    EXPECT_EQ(r.max_dataset[2], 0);
    EXPECT_TRUE(r.has_times);
    EXPECT_FALSE(r.unknown_folder);

    ASSERT_EQ(r.duration_list.count, 2);
    EXPECT_FLOAT_EQ(r.duration_list.values[0], -0.5f);
    EXPECT_EQ(r.duration_list.datasets[0], 8);
    EXPECT_FLOAT_EQ(r.duration_list.values[1], 0.1f);
    EXPECT_EQ(r.duration_list.datasets[1], 9);
    ASSERT_EQ(r.first_depth_list.count, 1);
    EXPECT_FLOAT_EQ(r.first_depth_list.values[0], 0.1f);
    EXPECT_EQ(r.first_depth_list.datasets[0], 10);
    ASSERT_EQ(r.peak_list.count, 2);
    EXPECT_EQ(r.peak_list.values[0], kPeakVelocity);
    EXPECT_EQ(r.peak_list.datasets[0], 11);
    EXPECT_EQ(r.peak_list.values[1], kPeakWaterLevel);
    EXPECT_EQ(r.peak_list.datasets[1], 12);
}

TEST_F(Catalogue, ForeignLayoutIsListedWithItsFoldersUnknown) {
    XmdfTable table = table_of({fixture("catalogue_foreign.xmdf")});
    Closer closer{table};
    catalogue(table);
    const std::string text = console.take();
    EXPECT_NE(text.find("XMDF Version: 2.5\n"), std::string::npos);
    EXPECT_NE(text.find("Scalar datasets available: \n    1: Depth\n    2: misc/Water Level\n"
                        "Vector datasets available: \n    1: other/Velocity\n"),
              std::string::npos);
    EXPECT_NE(text.find("   Number of nodes:    4\n   Number of cells:    0\n   Time Units:         Seconds\n"),
              std::string::npos);
    EXPECT_EQ(text.find("WARNING"), std::string::npos);

    const XmdfFile& r = table.file(1);
    EXPECT_EQ(r.scalars.split_paths[0].group, "");
    EXPECT_EQ(r.scalars.split_paths[0].folder, "");
    EXPECT_EQ(r.scalars.split_paths[0].name, "Depth");
    EXPECT_EQ(r.scalars.split_paths[1].group, "misc");
    EXPECT_EQ(r.scalars.split_paths[1].folder, "");
    EXPECT_TRUE(r.type_present[0] && r.type_present[1] && r.type_present[2]);
    EXPECT_TRUE(r.type_is_vector[2]);
    EXPECT_TRUE(r.unknown_folder);
    EXPECT_EQ(r.max_dataset[1] + r.temporal_dataset[1] + r.min_dataset[1], 0);
    EXPECT_FALSE(r.has_times);
}

TEST_F(Catalogue, NoXmdfInputWritesOnlyTheFirstLine) {
    XmdfTable table;
    READ_XMDF_HEADERS(table);
    EXPECT_EQ(console.take(), "\nOpening all .xmdf files to extract header information.\n");
}

TEST_F(Catalogue, SplitPaths) {
    const struct {
        const char* path;
        const char* group;
        const char* folder;
        const char* name;
    } cases[] = {
        {"run/Maximums/Depth", "run", "Maximums", "Depth"},
        {"run/a/b/Depth", "run", "a/b", "Depth"},
        {"run/Depth", "run", "", "Depth"},
        {"Depth", "", "", "Depth"},
        {"run//Depth", "run", "", "Depth"},
        {"run/Temporal/", "run", "Temporal", ""},
    };
    for (const auto& c : cases) {
        const SplitPath s = split_path(c.path);
        EXPECT_EQ(s.group, c.group) << c.path;
        EXPECT_EQ(s.folder, c.folder) << c.path;
        EXPECT_EQ(s.name, c.name) << c.path;
    }
    const std::string long_name(50, 'n');
    EXPECT_EQ(split_path("run/" + std::string(120, 'f') + "/" + long_name).folder, std::string(100, 'f'));
    EXPECT_EQ(split_path("run/Temporal/" + long_name).name, std::string(40, 'n'));
    EXPECT_EQ(split_path(long_name + long_name).name, std::string(40, 'n'));
}

TEST_F(Catalogue, PathInSlotEndsAtNulOrNonAsciiByte) {
    const struct {
        std::string slot;
        const char* path;
    } cases[] = {
        {std::string("run/Depth\0xx", 12), "run/Depth"},
        {"run/D\xE9pth", "run/D"},      // a non-ASCII byte ends the path
        {"abcdef", "abcde"},             // the last byte of a full slot is never path
        {std::string("\0abc", 4), ""},
        {"run/Depth   ", "run/Depth"},  // trailing blanks carry no meaning
    };
    for (const auto& c : cases) EXPECT_EQ(path_in_slot(c.slot.data(), c.slot.size()), c.path) << c.slot;
    EXPECT_EQ(path_in_slot("", 0), "");
}

TEST_F(Catalogue, CutOffIsTheFirstNumberAfterTheWords) {
    XmdfTable table = table_of({fixture("catalogue_cutoffs.xmdf")});
    Closer closer{table};
    catalogue(table);
    const std::string text = console.take();
    // Listing order: "Duration Above", "Duration Above 0.3 Time of First 0.7",
    // "TIME OF FIRST depth > .5m", "Time of First Depth > -0.05m", "... > 1.2.3m", "... > m".
    EXPECT_NE(text.find("    1: results/Times/Duration Above\nWARNING - Extracting cutoff depth from Duration Above\n"),
              std::string::npos);
    EXPECT_NE(text.find("    6: results/Times/Time of First Depth > m\n"
                        "WARNING - Extracting cutoff depth from Time of First Depth > m\n"),
              std::string::npos);
    const XmdfFile& r = table.file(1);
    ASSERT_EQ(r.duration_list.count, 1);
    EXPECT_EQ(r.duration_list.values[0], 0.0f);
    EXPECT_EQ(r.duration_list.datasets[0], 1);
    const struct {
        std::int32_t dataset;
        float cutoff;
    } first[] = {{2, 0.7f}, {3, 0.5f}, {4, -0.05f}, {5, 1.2f}, {6, 0.0f}};
    ASSERT_EQ(r.first_depth_list.count, 5);
    for (std::size_t k = 0; k < 5; ++k) {
        EXPECT_EQ(r.first_depth_list.datasets[k], first[k].dataset);
        EXPECT_FLOAT_EQ(r.first_depth_list.values[k], first[k].cutoff) << k;
    }
}

TEST_F(Catalogue, TimesListLimitsEndTheRun) {
    const struct {
        const char* file;
        const char* message;
    } cases[] = {
        {"catalogue_first_depth_101.xmdf", "  100: results/Times/Time of First Depth > 1.00m\n"
                                           "  101: results/Times/Time of First Depth > 1.01m\n"
                                           "ERROR - Exceeded maximum number of time outputs, limit is 100.\n"},
        {"catalogue_peaks_11.xmdf", "   11: results/Times/Time of Peak h 11\n"
                                    "ERROR - Exceeded maximum number of peak time outputs, limit is 10.\n"},
    };
    for (const auto& c : cases) {
        XmdfTable table = table_of({fixture(c.file)});
        Closer closer{table};
        const std::string text = ended([&] { catalogue(table); });
        EXPECT_NE(text.find(std::string(c.message) + kExitTail), std::string::npos) << text;
    }
}

TEST_F(Catalogue, UnreadableFileEndsTheRun) {
    const std::string f = fixture("catalogue_not_hdf5.xmdf");
    XmdfTable table = table_of({f, fixture("catalogue_run.xmdf")});
    Closer closer{table};
    EXPECT_EQ(ended([&] { READ_XMDF_HEADERS(table); }),
              "\nOpening all .xmdf files to extract header information.\n"
              "\nOpening XMDF file \"" + f + "\".\n"
              "\nERROR - Could not open XMDF file \"" + f + "\".\n" + kExitTail);
    EXPECT_EQ(table.file(1).file_id, 0);
    EXPECT_EQ(table.file(2).file_id, 0);

    XmdfTable cut = table_of({fixture("catalogue_truncated.xmdf")});
    Closer cut_closer{cut};
    const std::string text = ended([&] { catalogue(cut); });
    EXPECT_NE(text.find("\nERROR - "), std::string::npos) << text;
}

TEST_F(Catalogue, SizesFromWhicheverKindExists) {
    {
        const std::string f = fixture("catalogue_vectors_only.xmdf");
        XmdfTable table = table_of({f});
        Closer closer{table};
        catalogue(table);
        const std::string text = console.take();
        EXPECT_NE(text.find("\nWarning - Number of scalar paths less than or equal to zero.\n"
                            "   Number of scalar datasets: 0\n"),
                  std::string::npos);
        EXPECT_NE(text.find("\nGetting time units, number of cells and nodes from XMDF file \"" + f + "\".\n"
                            "   Number of nodes:    4\n   Number of cells:    3\n   Time Units:         Hours\n"),
                  std::string::npos);
        EXPECT_EQ(table.file(1).nnodes, 4);
    }
    {
        const std::string f = fixture("catalogue_no_datasets.xmdf");
        XmdfTable table = table_of({f});
        Closer closer{table};
        const std::string text = ended([&] { catalogue(table); });
        EXPECT_NE(text.find("\nWarning - Number of vector paths less than or equal to zero.\n"
                            "   Maximum character length of dataset names: 0\n"
                            "\nGetting dataset names from XMDF file \"" + f + "\".\n"
                            "Scalar datasets available: \nVector datasets available: \n"
                            "\nGetting time units, number of cells and nodes from XMDF file \"" + f + "\".\n"
                            "\nERROR - No scalar or vector datasets in XMDF file \"" + f + "\".\n" + kExitTail),
                  std::string::npos)
            << text;
    }
}

TEST_F(Catalogue, SizeQueryFallsBackToTheVectorGroup) {
    XmdfTable table = table_of({fixture("catalogue_broken_first.xmdf")});
    Closer closer{table};
    catalogue(table);
    const std::string text = console.take();
    EXPECT_NE(text.find("\nWARNING - Could not extract nodes from scalar data group.. trying vector data group.\n"
                        "   Number of nodes:    4\n   Number of cells:    3\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(table.file(1).nnodes, 4);
}

}  // namespace
}  // namespace zorvel::xmdf_read
