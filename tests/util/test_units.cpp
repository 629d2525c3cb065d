#include <gtest/gtest.h>

#include <cstring>

#include "util/support.hpp"
#include "unit_fixture.hpp"

namespace zorvel::util {
namespace {

using Units = testing::InTempFolder;
using testing::Dialogue;
namespace fs = std::filesystem;

TEST_F(Units, PoolHandsOutTheFirstFreeUnitAndTracesOpensAndCloses) {
    make_file("mesh.2dm");
    Dialogue d("");
    int a = 0, b = 0, c = 0;
    std::string in = "mesh.2dm", out = "out.dat";
    OPENFILE(a, "I ", in);
    OPENFILE(b, "BO", out);
    EXPECT_EQ(a, 1001);
    EXPECT_EQ(b, 1002);
    CLOSER(a);
    EXPECT_EQ(a, 0);
    OPENFILE(c, "I ", in);
    EXPECT_EQ(c, 1001);
    EXPECT_EQ(d.text(),
              "\nTrying to open file mesh.2dm...OK.\nOpened File Unit:1001\n"
              "\nTrying to open file out.dat...OK.  File Unit:1002\n"
              "...Closed File Unit:1001\n"
              "\nTrying to open file mesh.2dm...OK.\nOpened File Unit:1001\n");
    CLOSER(b);
    EXPECT_TRUE(fs::exists("out.dat"));
}

TEST_F(Units, ByteUnitsReadManyValuesInOneCallAndOutputsReplaceOldFiles) {
    const float values[3] = {1.5f, -2.0f, 3.25f};
    make_file("in.dat", std::string(reinterpret_cast<const char*>(values), sizeof values));
    make_file("out.dat", "old contents");
    Dialogue d("");
    int in = 0, out = 0;
    std::string in_name = "in.dat", out_name = "out.dat";
    OPENFILE(in, "BI", in_name);
    OPENFILE(out, "BO", out_name);
    float got[3] = {};
    ASSERT_NE(unit_file(in), nullptr);
    EXPECT_TRUE(unit_file(in)->read(got, sizeof got));
    EXPECT_EQ(std::memcmp(got, values, sizeof got), 0);
    EXPECT_FALSE(unit_file(in)->read(got, 1));
    unit_file(out)->write("new");
    CLOSER(out);
    EXPECT_EQ(contents("out.dat"), "new");
    EXPECT_EQ(unit_file(out), nullptr);
}

TEST_F(Units, StopsOfTheOpenerEndWithStatusOne) {
    {
        Dialogue d("");
        int u = 0;
        std::string blank = "   ";
        EXPECT_EQ(end_status([&] { OPENFILE(u, "I ", blank); }), 1);
        EXPECT_EQ(d.text(), "\nEmpty filename specified.  Bailing out.  Please contact " +
                                std::string(kSupportAddress) + ".\nPress Enter to Close\n");
    }
    {
        for (PoolEntry& p : unit_tables().pool) p.open = true;
        Dialogue d("");
        int u = 0;
        std::string name = "a.dat";
        EXPECT_EQ(end_status([&] { OPENFILE(u, "BO", name); }), 1);
        EXPECT_EQ(d.text(), "No free file numbers.\n");
        EXPECT_FALSE(fs::exists("a.dat"));
    }
}

TEST_F(Units, LeadingBlanksAreDroppedAndTheExtensionSetsTheFileType) {
    make_file("a.MID");
    make_file("b.dat");
    Dialogue d("");
    int u = 0;
    std::string name = "  a.MID";
    OPENFILE(u, "I ", name);
    EXPECT_EQ(name, "  a.MID");  // not typed: the caller's name is left as it is
    EXPECT_EQ(GETFILETYPE(u), 102);
    CLOSER(u);
    std::string other = "b.dat";
    OPENFILE(u, "BI", other);
    EXPECT_EQ(u, 1001);
    EXPECT_EQ(GETFILETYPE(1001), 102);  // another extension leaves the code as it was
    EXPECT_EQ(GETFILETYPE(995), 0);     // a slot unit
    EXPECT_EQ(GETFILETYPE(7), 0);
    EXPECT_NE(d.text().find("Trying to open file a.MID...OK."), std::string::npos);
}

TEST_F(Units, CloserOfUnitsThatAreNotOpenDoesNothing) {
    Dialogue d("");
    for (int value : {0, 7, 1001, 995}) {
        int u = value;
        CLOSER(u);
        EXPECT_EQ(u, value);
    }
    EXPECT_EQ(d.text(), "");
}

TEST_F(Units, AnUnknownModeCodeLeavesNoUnitInUse) {
    Dialogue d("");
    int u = 0;
    std::string name = "x.txt";
    OPENFILE(u, "QQ", name);
    EXPECT_EQ(u, 0);
    EXPECT_FALSE(unit_tables().pool[0].open);
    EXPECT_EQ(d.text(), "\nTrying to open file x.txt...  Unrecognised file type QQ file x.txt" + std::string(75, ' ') +
                            "\n");
    OPENFILE(u, "O ", name);
    EXPECT_EQ(u, 1001);
}

TEST_F(Units, CloseAllClosesEveryUnitAndFreesIt) {
    Dialogue d("");
    int a = 0, b = 0, s = 0;
    std::string n1 = "one.txt", n2 = "two.txt";
    OPENFILE(a, "O ", n1);
    OPENFILE(b, "O ", n2);
    SETNAMEOPEN(4, s, "three.txt", "O ", "", 0);
    unit_file(a)->write("1\n");
    unit_file(s)->write("3\n");
    CLOSEALL();
    EXPECT_NE(d.text().find("OK.  File Unit: 996\n\nClosing all file units...\n"), std::string::npos);
    EXPECT_EQ(contents("one.txt"), "1\n");
    EXPECT_EQ(contents("three.txt"), "3\n");
    EXPECT_EQ(unit_file(a), nullptr);
    EXPECT_EQ(unit_file(s), nullptr);
    int c = 0;
    OPENFILE(c, "O ", n2);
    EXPECT_EQ(c, 1001);
    const std::string before = d.text();
    CLOSER(b);  // already closed: nothing happens twice
    EXPECT_EQ(b, 1002);
    EXPECT_EQ(d.text(), before);
}

TEST_F(Units, SlotsOpenUnderTheirStoredNames) {
    make_file("in.txt");
    Dialogue d("");
    int u = 0;
    SETNAMEOPEN(3, u, "  in.txt", "I ", "input", 0);
    EXPECT_EQ(u, 995);
    EXPECT_TRUE(NAMED(3));
    std::string name;
    GETNAM(3, name);
    EXPECT_EQ(name, "in.txt");
    EXPECT_EQ(unit_tables().slots[2].mode, "I ");
    EXPECT_EQ(end_status([&] { OPENER(3, u, "I ", "input", 0); }), 1);
    EXPECT_TRUE(d.text().ends_with("File already opened - OPENER\n"));
    CLOSER(u);
    EXPECT_EQ(u, 0);
    EXPECT_TRUE(d.text().ends_with("...Closed File Unit: 995\n"));
    CLEARNAME(3);
    CLEARNAME(12);  // ignored
    EXPECT_FALSE(NAMED(3));
    // No name and nothing to ask: the run ends.
    EXPECT_EQ(end_status([&] { OPENER(3, u, "I ", "input", 0); }), 1);
}

TEST_F(Units, SlotNumbersOutsideOneToEightStop) {
    struct Case {
        std::function<void()> call;
        const char* message;
    };
    int u = 0;
    std::string name;
    const Case cases[] = {
        {[&] { OPENER(9, u, "I ", "input", 1); }, "Incorrect file number - OPENER\n"},
        {[&] { SETNAMEOPEN(0, u, "a", "I ", "input", 1); }, "Incorrect file number - OPENER\n"},
        {[&] { DEFAULTNAMEOPEN(-1, u, "I ", "input", 1, "ab"); }, "Incorrect file number - OPENER\n"},
        {[&] { (void)NAMED(9); }, "Invalid file number - NAMED\n"},
        {[&] { GETNAM(0, name); }, "Invalid file number - GETNAM\n"},
    };
    for (const Case& c : cases) {
        Dialogue d("");
        EXPECT_EQ(end_status(c.call), 1);
        EXPECT_EQ(d.text(), c.message);
    }
}

TEST_F(Units, SlotsWithoutANameAskForOneAndKeepItsRealLength) {
    make_file("in.txt");
    Dialogue d("in.txt\nresult.txt\n");
    OPENINPUTOUTPUT();
    EXPECT_EQ(unit_tables().io_input_unit, 993);
    EXPECT_EQ(unit_tables().io_output_unit, 994);
    EXPECT_EQ(d.text(),
              "What is the input file name? \nTrying to open file in.txt...OK.\nOpened File Unit: 993\n"
              "What is the output file name? \nTrying to open file result.txt...OK.  File Unit: 994\n");
    EXPECT_EQ(unit_tables().slots[0].name_length, 6);
    EXPECT_EQ(unit_tables().slots[1].name_length, 10);
    CLOSER(unit_tables().io_output_unit);
    EXPECT_TRUE(fs::exists("result.txt"));
}

TEST_F(Units, DerivedNamesComeFromSlotOneWithoutTheShortLimits) {
    const std::string stem(60, 'r');
    make_file("x_" + stem);
    Dialogue d("");
    int u1 = 0, u2 = 0, u3 = 0, u4 = 0;
    SETNAMEOPEN(1, u1, "x_" + stem, "I ", "input", 0);
    // Slot 1's second character is "_": its name is taken from the third character on.
    DEFAULTNAMEOPEN(2, u2, "O ", "output", 0, "pr");
    CLOSER(u2);
    EXPECT_TRUE(fs::exists("pr" + stem));
    EXPECT_EQ(unit_tables().slots[1].name_length, 62);
    OPENPREFIXED(u3, "O ", " p", ".txt");
    EXPECT_EQ(u3, 1001);
    CLOSER(u3);
    EXPECT_TRUE(fs::exists("p" + stem + ".txt"));
    // A slot that has a name keeps it.
    SETNAMEOPEN(5, u4, "kept.txt", "O ", "", 0);
    CLOSER(u4);
    DEFAULTNAMEOPEN(5, u4, "O ", "output", 0, "zz");
    std::string name;
    GETNAM(5, name);
    EXPECT_EQ(name, "kept.txt");
}

TEST_F(Units, AnErrorEndRemovesOutputsItMadeAndKeepsEverythingElse) {
    make_file("in.dat", "input");
    make_file("log.txt", "old\n");
    Dialogue d("");
    int in = 0, out = 0, slot = 0, log = 0;
    std::string in_name = "in.dat", out_name = "out.dat", log_name = "log.txt";
    OPENFILE(in, "BI", in_name);
    OPENFILE(out, "BO", out_name);
    OPENFILE(log, "A ", log_name);
    SETNAMEOPEN(6, slot, "slot.txt", "F ", "", 0);
    unit_file(out)->write("half");
    unit_file(slot)->write("half");
    unit_file(log)->write("appended\n");
    EXPECT_EQ(end_status([] { EXITS(1); }), 1);
    EXPECT_FALSE(fs::exists("out.dat"));
    EXPECT_FALSE(fs::exists("slot.txt"));
    EXPECT_EQ(contents("in.dat"), "input");
    EXPECT_EQ(contents("log.txt"), "old\n");
    EXPECT_TRUE(d.text().ends_with("\nPress Enter to Close\n"));
}

TEST_F(Units, ANormalEndKeepsItsOutputs) {
    Dialogue d("");
    int out = 0;
    std::string name = "out.txt";
    OPENFILE(out, "O ", name);
    unit_file(out)->write("done\n");
    EXPECT_EQ(end_status([] { EXITS(0); }), 0);
    EXPECT_EQ(contents("out.txt"), "done\n");
}

}  // namespace
}  // namespace zorvel::util
