// Dataset and output-time search over catalogued h5py fixtures.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "xmdf_fixture.hpp"
#include "xmdf_read/search.hpp"

namespace zorvel::xmdf_read {
namespace {

using testing::fixture;
using testing::kExitTail;

class Search : public testing::CataloguedTest {
protected:
    // The catalogued table of one fixture, the console cleared.
    void load(const std::string& name) {
        path = fixture(name.c_str());
        catalogue_files({path});
    }
    // The output times of the chosen datasets, read as the driver reads them.
    void read_times() {
        GET_XMDF_NUM_TIMES(table, false, 0, false, 0);
        GET_XMDF_TIMES(table, false, 0, false, 0);
        console.take();
    }
    std::string path;
};

TEST_F(Search, TypeSearchFilesMatchesByFolder) {
    load("catalogue_run.xmdf");
    FIND_XMDF_TYPE(table, "Depth", false);
    EXPECT_EQ(console.take(), "\nSearching specified xmdf type in \"" + path + "\".\n"
                              "\nSearching scalar datasets for \"Depth\"...\n"
                              "   Found: \"results/Maximums/Depth\".\n"
                              "   Found: \"results/Temporal/Depth\".\n"
                              "   Found: \"results/Times/Time of First Depth > 0.1m\".\n"
                              "\nSearching vector datasets for \"Depth\"...\n"
                              "Warning - No vector datasets found of type \"Depth\" .\n");
    const DatasetList& s = table.file(1).scalars;
    EXPECT_EQ(s.found_max, 1);
    EXPECT_EQ(s.found_temporal, 4);
    EXPECT_EQ(s.found_min, 0);
    EXPECT_EQ(s.found_times, 10);
    EXPECT_EQ(s.selected_dataset, 0);
    EXPECT_TRUE(s.type_found);
    EXPECT_FALSE(table.file(1).vectors.type_found);
    EXPECT_EQ(&chosen_list(table.file(1)), &table.file(1).scalars);
    EXPECT_EQ(chosen_dataset(s), 4);

    GET_XMDF_NUM_TIMES(table, false, 0, false, 0);
    EXPECT_EQ(console.take(), "\nExtracting number of outputs for temporal data in \"" + path + "\".\n");
    EXPECT_EQ(s.n_times, 3);
    GET_XMDF_TIMES(table, false, 0, false, 0);
    EXPECT_EQ(console.take(), "\nExtracting number of outputs for temporal data in \"" + path + "\".\n");
    EXPECT_EQ(s.output_times, (std::vector<double>{0.0, 1.0, 2.0}));
    EXPECT_EQ(s.times_dataset, 4);
}

TEST_F(Search, ExactNameWinsWithinAFolderOtherwiseTheLaterMatch) {
    load("catalogue_run.xmdf");
    const struct {
        const char* text;
        bool by_path;
        std::int32_t temporal;
    } cases[] = {
        {"Manning n", false, 5},
        {"MANNING N2", false, 6},
        {"Manning", false, 6},
        {"results/Temporal/Manning n", true, 5},
        {"results/temporal/manning", true, 6},
        {"results/Times/Time of First Depth > 0.1m and what follows", true, 10},
    };
    for (const auto& c : cases) {
        DatasetList& s = table.file(1).scalars;
        s.found_max = s.found_min = s.found_temporal = s.found_times = s.selected_dataset = 0;
        FIND_XMDF_TYPE(table, c.text, c.by_path);
        console.take();
        EXPECT_EQ(s.found_temporal, c.temporal) << c.text;
        EXPECT_EQ(s.selected_dataset, c.by_path ? c.temporal : 0) << c.text;
    }
}

TEST_F(Search, VectorListIsChosenWhenItHoldsTheType) {
    load("catalogue_run.xmdf");
    FIND_XMDF_TYPE(table, "Velocity", false);
    const std::string text = console.take();
    EXPECT_NE(text.find("Warning - No scalar datasets found of type \"Velocity\" .\n"), std::string::npos);
    XmdfFile& r = table.file(1);
    EXPECT_EQ(r.vectors.found_max, 1);
    EXPECT_EQ(r.vectors.found_temporal, 2);
    EXPECT_EQ(&chosen_list(r), &r.vectors);
    read_times();
    EXPECT_EQ(r.vectors.output_times, (std::vector<double>{0.5, 1.0, 2.0}));
    EXPECT_EQ(r.scalars.n_times, 0);
}

TEST_F(Search, SearchEnds) {
    load("catalogue_run.xmdf");
    EXPECT_EQ(ended([&] { FIND_XMDF_TYPE(table, "Froude", false); }),
              "\nSearching specified xmdf type in \"" + path + "\".\n"
              "\nSearching scalar datasets for \"Froude\"...\n"
              "Warning - No scalar datasets found of type \"Froude\" .\n"
              "\nSearching vector datasets for \"Froude\"...\n"
              "Warning - No vector datasets found of type \"Froude\" .\n"
              "ERROR - No datasets found of type \"Froude\" found in " + path + "\n" + kExitTail);

    load("catalogue_foreign.xmdf");
    EXPECT_EQ(ended([&] { FIND_XMDF_TYPE(table, "Depth", false); }),
              "\nSearching specified xmdf type in \"" + path + "\".\n"
              "\nSearching scalar datasets for \"Depth\"...\n"
              "   Found: \"Depth\".\n"
              "\nERROR - Unknown Data Folder: \"Depth\".\n"
              "\nExpecting one of: Maximums, Minimums, Times or Temporal.\n"
              "If file has not been written by KESTRA, other folders can be accessed by specifying the path (-path)\n" +
                  kExitTail);
    const std::string text = ended([&] { FIND_XMDF_TYPE(table, "Velocity", false); });
    EXPECT_NE(text.find("   Found: \"other/Velocity\".\n\nERROR - Unknown Data Folder: \"other/Velocity\".\n"
                        "\nExpecting one of: Maximums, Minimums, Times or Temporal.\n"
                        "If File has not been written by KESTRA"),
              std::string::npos)
        << text;
}

TEST_F(Search, ForeignDatasetsAreReachedByPathAndByNumber) {
    load("catalogue_foreign.xmdf");
    XmdfFile& r = table.file(1);
    FIND_XMDF_TYPE(table, "other/velocity", true);
    console.take();
    EXPECT_EQ(r.vectors.selected_dataset, 1);
    EXPECT_TRUE(r.vectors.type_found);
    EXPECT_FALSE(r.scalars.type_found);

    load("catalogue_foreign.xmdf");
    table.file(1).scalars.found_temporal = 2;  // -s2: misc/Water Level
    FIND_XMDF_TYPE(table, "Water Level", false);
    EXPECT_EQ(console.take(), "\nSearching specified xmdf type in \"" + path + "\".\n"
                              "\nSearching scalar datasets for \"Water Level\"...\n"
                              "   Found: \"misc/Water Level\".\n"
                              "\nSearching vector datasets for \"Water Level\"...\n"
                              "Warning - No vector datasets found of type \"Water Level\" .\n");
    const DatasetList& s = table.file(1).scalars;
    EXPECT_EQ(s.found_temporal, 2);
    EXPECT_TRUE(s.type_found);
    read_times();
    EXPECT_EQ(s.output_times, (std::vector<double>{0.0, 1.0}));  // stored in seconds: 0 and 3600
    FIND_XMDF_TIME(table, 1.0f, 1.0e-4f);
    EXPECT_EQ(s.selected_dataset, 2);
    EXPECT_EQ(s.selected_step, 2);

    load("catalogue_foreign.xmdf");
    table.file(1).scalars.found_temporal = 1;  // -s1: the root "Depth"; other matches are only listed
    FIND_XMDF_TYPE(table, "e", false);
    console.take();
    EXPECT_EQ(table.file(1).scalars.found_temporal, 1);
    EXPECT_FALSE(table.file(1).vectors.type_found);
}

TEST_F(Search, TimesAreReadInHoursWhateverTheirUnits) {
    load("catalogue_time_units.xmdf");
    const struct {
        std::int32_t dataset;
        std::vector<double> hours;
        const char* lines;
    } cases[] = {
        {1, {0.0, 0.025, 1.5}, ""},  // Seconds
        {2, {0.5, 1.5}, ""},         // minutes
        {3, {12.0, 30.0}, ""},       // DAYS
        {4, {1.5}, ""},              // Hours
        {5, {2.5}, ""},              // no TimeUnits
        {6, {3.0}, "\nWARNING - Unknown time units \"Fortnights\" of dataset \"f fortnights\" in "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dataset);
        GET_XMDF_NUM_TIMES(table, true, 1, false, c.dataset);
        GET_XMDF_TIMES(table, true, 1, false, c.dataset);
        const DatasetList& s = table.file(1).scalars;
        EXPECT_EQ(s.output_times, c.hours);
        const std::string text = console.take();
        if (*c.lines == '\0')
            EXPECT_EQ(text, "");
        else
            EXPECT_EQ(text, c.lines + path + ", its times are read as hours.\n");
    }
    // The warning is written once in a run for a dataset.
    GET_XMDF_TIMES(table, true, 1, false, 6);
    EXPECT_EQ(console.take(), "");
    // The search and the time of a step go by hours: 90 minutes is 1.5.
    table.file(1).scalars.found_temporal = 2;
    FIND_XMDF_TYPE(table, "b minutes", false);
    read_times();
    FIND_XMDF_TIME(table, 1.5f, 1.0e-4f);
    EXPECT_EQ(table.file(1).scalars.selected_step, 2);
}

TEST_F(Search, ClosestTime) {
    load("catalogue_run.xmdf");
    FIND_XMDF_TYPE(table, "Depth", false);
    read_times();
    const DatasetList& s = table.file(1).scalars;
    const struct {
        float time, tolerance;
        const char* shown;
        std::int32_t step;
        const char* found;
    } cases[] = {
        {1.4f, 0.5f, "1.4", 2, "1."},  // closest
        {1.5f, 0.5f, "1.5", 2, "1."},  // equally close: the first; a distance equal to the tolerance is accepted
        {2.5f, 0.5f, "2.5", 3, "2."},  // beyond the last time
        {-0.0001f, 1.0e-4f, "-0.0001", 1, "0."},
    };
    for (const auto& c : cases) {
        FIND_XMDF_TIME(table, c.time, c.tolerance);
        EXPECT_EQ(console.take(), "\nSearching XMDF files for specified output time: " + std::string(c.shown) + "\n"
                                  "\nSearching xmdf file: \"" + path + "\".\n"
                                  "   Found closest time: " + c.found + "\n");
        EXPECT_EQ(s.selected_step, c.step) << c.time;
        EXPECT_EQ(s.selected_dataset, 4) << c.time;
    }
    EXPECT_EQ(ended([&] { FIND_XMDF_TIME(table, 2.6f, 0.5f); }),
              "\nSearching XMDF files for specified output time: 2.6\n"
              "\nSearching xmdf file: \"" + path + "\".\n"
              "ERROR - Closest time \"2.\" is not within time search tolerance\n"
              "Use -dttol<tolerance> to widen the time search, e.g. -dttol0.01\n" + kExitTail);
}

TEST_F(Search, TimeCodes) {
    load("catalogue_run.xmdf");
    FIND_XMDF_TYPE(table, "Water Level", false);
    read_times();
    DatasetList& s = table.file(1).scalars;
    FIND_XMDF_TIME(table, 99999.0f, 1.0e-4f);
    EXPECT_EQ(console.take(), "\nSearching XMDF files for specified output time: 99999.\n"
                              "\nSearching xmdf file: \"" + path + "\".\n"
                              "Looking for data in /Maximums/ folder.\n"
                              "Found results/Maximums/Water Level\n");
    EXPECT_EQ(s.selected_dataset, 2);
    EXPECT_EQ(s.selected_step, 1);
    FIND_XMDF_TIME(table, -99999.0f, 1.0e-4f);
    EXPECT_EQ(console.take(), "\nSearching XMDF files for specified output time: -99999.\n"
                              "\nSearching xmdf file: \"" + path + "\".\n"
                              "Found results/Minimums/Water Level\n");
    EXPECT_EQ(s.selected_dataset, 3);

    s.selected_dataset = s.selected_step = 0;
    const std::string head = "\nSearching xmdf file: \"" + path + "\".\n";
    EXPECT_EQ(ended([&] { FIND_XMDF_TIME(table, 99999.1f, 1.0e-4f); }),
              "\nSearching XMDF files for specified output time: 99999.\n" + head +
                  "ERROR - Should not be here (extract vector for /times/) \n" + kExitTail);
    s.found_min = 0;
    EXPECT_EQ(ended([&] { FIND_XMDF_TIME(table, -99999.0f, 1.0e-4f); }),
              "\nSearching XMDF files for specified output time: -99999.\n" + head +
                  "ERROR - No /Minimums/ dataset found in " + path + "\n" + kExitTail);
    s.found_max = 0;
    EXPECT_EQ(ended([&] { FIND_XMDF_TIME(table, 99999.0f, 1.0e-4f); }),
              "\nSearching XMDF files for specified output time: 99999.\n" + head +
                  "Looking for data in /Maximums/ folder.\n"
                  "ERROR - No /Maximums/ dataset found in " + path + "\n" + kExitTail);
    EXPECT_EQ(s.selected_dataset, 0);
}

TEST_F(Search, TimeSearchSelectsTheDatasetItSearched) {
    load("catalogue_run.xmdf");
    FIND_XMDF_TYPE(table, "Depth", false);
    DatasetList& s = table.file(1).scalars;
    s.found_temporal = 0;  // a type stored only as a maximum
    read_times();
    EXPECT_EQ(s.times_dataset, 1);
    FIND_XMDF_TIME(table, 99998.5f, 1.0f);
    console.take();
    EXPECT_EQ(s.selected_dataset, 1);
    EXPECT_EQ(s.selected_step, 1);
}

TEST_F(Search, OneDatasetForm) {
    load("catalogue_run.xmdf");
    DatasetList& s = table.file(1).scalars;
    GET_XMDF_NUM_TIMES(table, true, 1, false, 12);
    EXPECT_EQ(s.n_times, 1);
    GET_XMDF_TIMES(table, true, 1, false, 12);
    EXPECT_EQ(console.take(), "");
    EXPECT_EQ(s.output_times, (std::vector<double>{0.0}));
    EXPECT_EQ(s.times_dataset, 12);
    GET_XMDF_NUM_TIMES(table, true, 1, true, 2);
    EXPECT_EQ(table.file(1).vectors.n_times, 3);
    EXPECT_EQ(ended([&] { GET_XMDF_NUM_TIMES(table, true, 1, false, 14); }),
              "\nERROR - Dataset number 14 does not exist in " + path + " [GET_XMDF_NUM_TIMES]\n" + kExitTail);
}

TEST_F(Search, TimesThatCannotBeReadEndTheRun) {
    load("catalogue_no_times.xmdf");
    FIND_XMDF_TYPE(table, "Depth", false);
    console.take();
    EXPECT_EQ(ended([&] { GET_XMDF_NUM_TIMES(table, false, 0, false, 0); }),
              "\nExtracting number of outputs for temporal data in \"" + path + "\".\n"
              "ERROR - Extracting number of times [XF_GET_DATASET_NUM_TIMES] from xmdf file " + path + "\n" +
                  kExitTail);

    load("catalogue_run.xmdf");
    FIND_XMDF_TYPE(table, "Depth", false);
    table.file(1).scalars.paths[3] = "results/Temporal/Gone";
    console.take();
    EXPECT_EQ(ended([&] { GET_XMDF_NUM_TIMES(table, false, 0, false, 0); }),
              "\nExtracting number of outputs for temporal data in \"" + path + "\".\n"
              "\nERROR - Unable to open group [XF_OPEN_GROUP] \"results/Temporal/Gone\" in " + path + "\n" +
                  kExitTail);
}

TEST_F(Search, DatasetWithoutOutputTimes) {
    const std::string name = testing::scratch_file("no_steps.xmdf");
    ASSERT_TRUE(testing::write_file_without_steps(name));

    catalogue_files({name});
    FIND_XMDF_TYPE(table, "Depth", false);
    read_times();
    EXPECT_EQ(table.file(1).scalars.n_times, 0);
    EXPECT_EQ(ended([&] { FIND_XMDF_TIME(table, 1.0f, 1.0e-4f); }),
              "\nSearching XMDF files for specified output time: 1.\n"
              "\nSearching xmdf file: \"" + name + "\".\n"
              "ERROR - No output times found for the selected dataset in " + name + "\n" + kExitTail);
    testing::close_files(table);
    testing::remove_scratch();
}

}  // namespace
}  // namespace zorvel::xmdf_read
