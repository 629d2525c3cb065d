// The "_xmdf_info.txt" listing over catalogued h5py fixtures copied into a scratch folder
// (the listings are written beside their inputs).

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "results/results_writer.hpp"
#include "xmdf_fixture.hpp"
#include "util/begun_outputs.hpp"
#include "xmdf_read/xnfo.hpp"

namespace zorvel::xmdf_read {
namespace {

using testing::fixture;
using testing::kExitTail;
using testing::scratch_file;

std::string read_text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class Xnfo : public testing::CataloguedTest {
protected:
    void TearDown() override { testing::remove_scratch(); }
    // Copies the fixtures into the scratch folder under the given names and catalogues them.
    void load(std::initializer_list<std::pair<const char*, const char*>> files) {
        std::vector<std::string> names;
        for (const auto& [from, to] : files) {
            std::filesystem::copy_file(fixture(from), scratch_file(to),
                                       std::filesystem::copy_options::overwrite_existing);
            names.push_back(scratch_file(to));
        }
        catalogue_files(names);
        out.to_text = true;
    }
    // The console text of the opening of a listing and of its first line.
    static std::string opened(const std::string& listing, const std::string& input, int unit) {
        return "\nOutput Text File: " + listing + "\n\nTrying to open file " + listing +
               "...OK.  File Unit:" + std::to_string(unit) + "\n\nExtracting number of outputs for temporal data in \"" +
               input + "\".\n";
    }
    results::OutputDescription out;
};

TEST_F(Xnfo, CountsTooWideForTheirFieldShowAsterisks) {
    load({{"lst_many.xmdf", "many.xmdf"}});
    out.user_named = true;
    out.out_path = scratch_file("many.txt");
    WRITE_XMDF_INFO(table, out);
    EXPECT_EQ(console.take(), opened(scratch_file("many.txt"), scratch_file("many.xmdf"), 1001));
    const std::string text = read_text(scratch_file("many.txt"));
    const std::string head = scratch_file("many.xmdf") +
                             "\n\nScalar Datasets\nNumber Datasets: ***\n\nlst_m/Temporal/S0000\nNum Times    1\n"
                             "          0.000\n\nlst_m/Temporal/S0001\n";
    const std::string tail = "\nlst_m/Temporal/S0999\nNum Times    1\n        999.000\n";
    EXPECT_EQ(text.substr(0, head.size()), head);
    ASSERT_GE(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
    EXPECT_EQ(table.file(1).file_id, 0) << "the input is closed after its listing";
}

TEST_F(Xnfo, DatasetsWhoseGroupsDoNotOpenAreListedWithoutTimes) {
    load({{"lst_scalars.xmdf", "s.xmdf"}});
    // The file goes away under the listing: no group opens, and the file no longer closes.
    std::int32_t status = 0;
    results::xmdf::XF_CLOSE_FILE(table.file(1).file_id, status);
    ASSERT_GE(status, 0);
    WRITE_XMDF_INFO(table, out);
    const std::string input = scratch_file("s.xmdf");
    const std::string error = "ERROR - Extracting times [XF_GET_DATASET_TIMES] from xmdf file " + input + "\n";
    EXPECT_EQ(console.take(), opened(input + "_xmdf_info.txt", input, 1001) + error +
                                  "   Dataset: \"lst_s/Temporal/Depth\"\n" + error +
                                  "   Dataset: \"lst_s/Temporal/Water Level\"\n"
                                  "ERROR - Closing file [XF_CLOSE_FILE] " + input + "\n");
    EXPECT_EQ(read_text(input + "_xmdf_info.txt"),
              input + "\n\nScalar Datasets\nNumber Datasets:   2\n\nlst_s/Temporal/Depth\nNum Times    0\n"
                      "\nlst_s/Temporal/Water Level\nNum Times    0\n");
}

TEST_F(Xnfo, AFailedWriteEndsTheRunAndRemovesEveryListing) {
    load({{"lst_scalars.xmdf", "a.xmdf"}, {"lst_many.xmdf", "b.xmdf"}});
    // As in a run, the listings wait for its end to be moved into place.
    util::defer_outputs_to_run_end(true);
    // Files may not grow past 16 KiB: the first listing fits, the second does not.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 16384;
    ::setrlimit(RLIMIT_FSIZE, &small);
    const std::string text = ended([&] { WRITE_XMDF_INFO(table, out); });
    ::setrlimit(RLIMIT_FSIZE, &saved);

    const std::string a = scratch_file("a.xmdf");
    const std::string b = scratch_file("b.xmdf");
    EXPECT_EQ(text, opened(a + "_xmdf_info.txt", a, 1001) + opened(b + "_xmdf_info.txt", b, 1002) +
                        "ERROR - Writing to \"" + b + "_xmdf_info.txt\" failed.\n" + kExitTail);
    EXPECT_FALSE(std::filesystem::exists(b + "_xmdf_info.txt")) << "a half-written listing is left";
    EXPECT_FALSE(std::filesystem::exists(a + "_xmdf_info.txt")) << "a listing of the failed run is left";
    util::defer_outputs_to_run_end(false);
}

}  // namespace
}  // namespace zorvel::xmdf_read
