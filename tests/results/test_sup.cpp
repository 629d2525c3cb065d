#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "results/sup.hpp"
#include "util/console.hpp"
#include "util/units.hpp"

namespace zorvel::results {
namespace {

const std::string kData = std::string(ZORVEL_DATA_DIR) + "/";

// Reads a ".sup" file; returns the console text.
std::string read_sup(sup_contents& sup) {
    std::ostringstream out;
    std::istringstream in;
    util::ConsoleCapture cap(out, in);
    util::FILEUNITINIT(1000);
    READ_SUP(sup);
    return out.str();
}

TEST(Sup, ListsMeshAndDataNamesWithTheirConsoleLines) {
    sup_contents sup;
    sup.sup_file = kData + "run.sup";
    const std::string text = read_sup(sup);
    EXPECT_EQ(text, "\nTrying to open file " + kData + "run.sup...OK.\nOpened File Unit:1001\n"
                    "Scanning File: " + kData + "run.sup\n\n"
                    "\nFound: 2 data file in .sup file.\n"
                    "\nRewinding .sup file...\n   Done.\n"
                    "\nAllocate arrarys for .sup file data.\n   Done.\n"
                    "\nReading .sup file...\n"
                    "\n2DM File:   run.2dm\n"
                    "Data file: run_h.dat\n"
                    "Data file: run_d.dat\n"
                    "   Done.\n"
                    "...Closed File Unit:1001\n");
    EXPECT_EQ(sup.sup_folder, kData);
    EXPECT_EQ(sup.sup_mesh, kData + "run.2dm");  // taken from the list's folder, as the data names are
    EXPECT_EQ(sup.n_data, 2);
    EXPECT_EQ(sup.data_files, (std::vector<std::string>{"run_h.dat", "run_d.dat"}));
    EXPECT_EQ(util::unit_file(1001), nullptr);
}

TEST(Sup, KeywordsByTheirFirstLettersAndTheLastMeshWins) {
    sup_contents sup;
    sup.sup_file = kData + "mixed.sup";
    read_sup(sup);
    // DATABASE.dat is a data line; an absolute mesh name is kept as written.
    EXPECT_EQ(sup.n_data, 3);
    EXPECT_EQ(sup.data_files, (std::vector<std::string>{"ASE.dat", "", " sub/run_v.dat"}));
    EXPECT_EQ(sup.sup_mesh, " /models/second.2dm");
}

TEST(Sup, ListInTheCurrentFolderKeepsTheMeshNameAsWritten) {
    const std::filesystem::path here = std::filesystem::current_path();
    std::filesystem::current_path(kData);
    sup_contents sup;
    sup.sup_file = "run.sup";
    read_sup(sup);
    std::filesystem::current_path(here);
    EXPECT_EQ(sup.sup_folder, "");
    EXPECT_EQ(sup.sup_mesh, " run.2dm");
}

TEST(Sup, NameTypedAtThePromptGivesTheFolder) {
    std::ostringstream out;
    std::istringstream in(kData + "run.sup\n");
    util::ConsoleCapture cap(out, in);
    util::FILEUNITINIT(1000);
    sup_contents sup;
    sup.sup_file = "missing_list.sup";
    READ_SUP(sup);
    EXPECT_EQ(sup.sup_file, kData + "run.sup");
    EXPECT_EQ(sup.sup_folder, kData);
    EXPECT_EQ(sup.sup_mesh, kData + "run.2dm");
    EXPECT_NE(out.str().find("Scanning File: " + kData + "run.sup\n"), std::string::npos) << out.str();
}

TEST(Sup, DataNamesAreTakenFromTheListsFolder) {
    EXPECT_EQ(in_sup_folder("runs/", " run_h.dat"), "runs/run_h.dat");
    EXPECT_EQ(in_sup_folder("runs\\", "sub/run_h.dat"), "runs\\sub/run_h.dat");
    EXPECT_EQ(in_sup_folder("", " run_h.dat"), "run_h.dat");
    EXPECT_EQ(in_sup_folder("runs/", " /abs/run_h.dat"), "/abs/run_h.dat");  // its own folder from the root
    EXPECT_EQ(in_sup_folder("runs/", "\\share\\run_h.dat"), "\\share\\run_h.dat");
    EXPECT_EQ(in_sup_folder("runs/", "C:\\run_h.dat"), "C:\\run_h.dat");    // or from a drive
}

TEST(Sup, ListWithoutMeshOrDataLines) {
    sup_contents sup;
    sup.sup_file = kData + "no_data.sup";
    sup.sup_mesh = "kept.2dm";
    const std::string text = read_sup(sup);
    EXPECT_NE(text.find("\nFound: 0 data file in .sup file.\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nReading .sup file...\n   Done.\n"), std::string::npos) << text;
    EXPECT_EQ(sup.n_data, 0);
    EXPECT_TRUE(sup.data_files.empty());
    EXPECT_EQ(sup.sup_mesh, "kept.2dm");
}

}  // namespace
}  // namespace zorvel::results
