#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include "util/opener.hpp"
#include "util/support.hpp"
#include "unit_fixture.hpp"

namespace zorvel::util {
namespace {

using Opener = testing::InTempFolder;
using testing::Dialogue;
namespace fs = std::filesystem;

const std::string kPrompt = "\nCheck file exists and press enter or enter another file name: ";
const std::string kCantOpen =
    "Can't Open\n\n Can't open: %\n\n Another application or user maybe using it,\n"
    "    or the file's folder does not exist.\n If so, close the file or create file path.\n"
    "\nPress Enter to Continue\n";

// The explanation for an output that cannot be opened, for the name.
std::string cant_open(const std::string& name) {
    std::string text = kCantOpen;
    return text.replace(text.find('%'), 1, name);
}

TEST_F(Opener, AMissingInputAnsweredWithAnotherNameOpensThatOneAndHandsItBack) {
    make_file("a.dat");
    Dialogue d("a.dat\n");
    int u = 0;
    std::string name = "run.dat";
    OPENFILE(u, "BI", name);
    EXPECT_EQ(u, 1001);
    EXPECT_EQ(name, "a.dat");
    EXPECT_EQ(d.text(), "\nTrying to open file run.dat...\nCHECK 0008 - \"run.dat\" cannot be found\n" + kPrompt +
                            "\nTrying to open file a.dat...OK.\nOpened File Unit:1001\n");
}

TEST_F(Opener, AMissingInputAnsweredWithEnterIsTriedAgainOnceItExists) {
    Dialogue d("\n", [] { make_file("run.dat"); });
    int u = 0;
    std::string name = "run.dat";
    OPENFILE(u, "I ", name);
    EXPECT_EQ(u, 1001);
    EXPECT_EQ(name, "run.dat");
    EXPECT_EQ(d.text(), "\nTrying to open file run.dat...\nCHECK 0008 - \"run.dat\" cannot be found\n" + kPrompt +
                            "\nNo file name entered.  Trying file again...\n"
                            "\nTrying to open file run.dat...OK.\nOpened File Unit:1001\n");
}

TEST_F(Opener, TypedNamesAreTrimmedKeptWholeAndShownAsTyped) {
    fs::create_directory("sub");
    const std::string long_name = std::string(150, 'n') + ".dat";
    make_file("sub/" + long_name);
    Dialogue d("   sub\\" + long_name + "   \n");
    int u = 0;
    std::string name = "missing.dat";
    OPENFILE(u, "BI", name);
    EXPECT_EQ(name, "sub\\" + long_name);
    EXPECT_NE(d.text().find("\nTrying to open file sub\\" + long_name + "...OK.\n"), std::string::npos);
    EXPECT_NE(unit_file(u), nullptr);
}

TEST_F(Opener, EndOfInputAtTheNamePromptEndsTheRun) {
    Dialogue d("");
    int u = 0;
    std::string name = "run.dat";
    EXPECT_EQ(end_status([&] { OPENFILE(u, "BI", name); }), 1);
    EXPECT_EQ(d.text(), "\nTrying to open file run.dat...\nCHECK 0008 - \"run.dat\" cannot be found\n" + kPrompt +
                            "\nERROR - End of console input while asking for another name for the file "
                            "\"run.dat\".\n\nPress Enter to Close\n");
}

TEST_F(Opener, AnEndlessAnswerAtTheNamePromptEndsTheRun) {
    Dialogue d(std::string(kMaxAnswer + 1, 'x'));
    int u = 0;
    std::string name = "run.dat";
    EXPECT_EQ(end_status([&] { OPENFILE(u, "BI", name); }), 1);
    EXPECT_EQ(d.text(), "\nTrying to open file run.dat...\nCHECK 0008 - \"run.dat\" cannot be found\n" + kPrompt +
                            "\nERROR - Console input line longer than 1 MiB while asking for another name for the "
                            "file \"run.dat\".\n\nPress Enter to Close\n");
}

TEST_F(Opener, AnOutputInAMissingFolderIsExplainedAndRetriedUntilEndOfInput) {
    Dialogue d("");
    int u = 0;
    std::string name = "nofolder\\out.dat";
    EXPECT_EQ(end_status([&] { OPENFILE(u, "BO", name); }), 1);
    EXPECT_EQ(d.text(), "\nTrying to open file nofolder\\out.dat..." + cant_open("nofolder\\out.dat") +
                            "ERROR - End of console input while waiting to try \"nofolder\\out.dat\" again.\n"
                            "\nPress Enter to Close\n");
}

TEST_F(Opener, AnOutputOpensOnItsOwnLineOnceItsFolderIsMade) {
    Dialogue d("\n", [] { fs::create_directory("made"); });
    int u = 0;
    std::string name = "made/out.txt";
    OPENFILE(u, "O ", name);
    EXPECT_EQ(u, 1001);
    EXPECT_EQ(d.text(), "\nTrying to open file made/out.txt..." + cant_open("made/out.txt") + "OK.  File Unit:1001\n");
    CLOSER(u);
    EXPECT_TRUE(fs::exists("made/out.txt"));
}

TEST_F(Opener, AFileThisRunHoldsIsClosedWhenTheUserSaysYes) {
    make_file("in.dat", "data");
    Dialogue d("y\n");
    int in = 0, out = 0;
    std::string in_name = "in.dat", out_name = ".//in.dat";  // another spelling of the same file
    OPENFILE(in, "BI", in_name);
    OPENFILE(out, "BO", out_name);
    EXPECT_EQ(out, 1002);
    EXPECT_NE(d.text().find("\nTrying to open file ./in.dat...\n./in.dat is already open, close it? OK.  File "
                            "Unit:1002\n"),
              std::string::npos);
    // The input's unit is closed but stays out of the pool until its owner returns it.
    EXPECT_EQ(unit_file(in), nullptr);
    int next = 0;
    std::string other = "other.txt";
    OPENFILE(next, "O ", other);
    EXPECT_EQ(next, 1003);
    CLOSER(in);
    EXPECT_EQ(in, 0);
    EXPECT_TRUE(d.text().ends_with("...Closed File Unit:1001\n"));
    std::string third = "third.txt";
    OPENFILE(next, "O ", third);
    EXPECT_EQ(next, 1001);
}

TEST_F(Opener, AnsweringNoToTheCloseQuestionAsksForAnotherName) {
    make_file("in.dat", "data");
    Dialogue d("n\nother.dat\n");
    int in = 0, out = 0;
    std::string in_name = "in.dat", out_name = "in.dat";
    OPENFILE(in, "BI", in_name);
    OPENFILE(out, "BO", out_name);
    EXPECT_EQ(out, 1002);
    EXPECT_EQ(out_name, "other.dat");
    EXPECT_NE(unit_file(in), nullptr);
    EXPECT_EQ(contents("in.dat"), "data");
    EXPECT_TRUE(d.text().ends_with("\nTrying to open file in.dat...\nin.dat is already open, close it? " + kPrompt +
                                   "\nTrying to open file other.dat...OK.  File Unit:1002\n"));
}

TEST_F(Opener, EndOfInputAtTheCloseQuestionEndsTheRunAndKeepsTheHeldFile) {
    make_file("in.dat", "data");
    Dialogue d("");
    int in = 0, out = 0;
    std::string in_name = "in.dat", out_name = "in.dat";
    OPENFILE(in, "BI", in_name);
    EXPECT_EQ(end_status([&] { OPENFILE(out, "BO", out_name); }), 1);
    EXPECT_TRUE(d.text().ends_with("in.dat is already open, close it? \nERROR - End of console input while asking "
                                   "whether to close \"in.dat\".\n\nPress Enter to Close\n"));
    EXPECT_EQ(contents("in.dat"), "data");
}

TEST_F(Opener, AppendAndKeepCodesReopenAHeldFileWithoutAsking) {
    Dialogue d("");
    int first = 0, second = 0;
    std::string a = "log.txt", b = "log.txt";
    OPENFILE(first, "O ", a);
    OPENFILE(second, "A ", b);
    EXPECT_EQ(second, 1002);
    EXPECT_EQ(d.text().find("already open"), std::string::npos);
}

// What each mode code opens, seen through the File on the unit.
struct ModeCase {
    const char* code;
    bool output;
    const char* before;  // contents before the open (nullptr: no file)
    const char* after;   // contents after writing "new" and closing (outputs)
    ByteOrder order;
    bool records;
    int record_length;
};

const ModeCase kModeCases[] = {
    {"I ", false, "old", "old", ByteOrder::native, false, 0},
    {"UI", false, "old", "old", ByteOrder::native, true, 0},
    {"BE", false, "old", "old", ByteOrder::big, false, 0},
    {"DI", false, "old", "old", ByteOrder::native, false, 4},
    {"DE", false, "old", "old", ByteOrder::big, false, 4},
    {"SI", false, "old", "old", ByteOrder::native, false, 0},
    {"F ", true, "old-old", "new", ByteOrder::native, false, 0},
    {"UO", true, "old-old", "new", ByteOrder::native, true, 0},
    {"BN", true, nullptr, "new", ByteOrder::big, false, 0},
    {"LL", true, "old-old", "new", ByteOrder::little, false, 0},
    {"SO", true, "old-old", "new", ByteOrder::native, false, 0},
    {"A ", true, "old-old", "old-oldnew", ByteOrder::native, false, 0},
    {"AB", true, nullptr, "new", ByteOrder::native, false, 0},
    {"S ", true, "old-old", "new-old", ByteOrder::native, false, 0},
    {"SB", true, nullptr, "new", ByteOrder::native, false, 0},
    {"SE", true, "old-old", "new-old", ByteOrder::big, false, 0},
    {"DX", true, "old-old", "new-old", ByteOrder::native, false, 4},
};

TEST_F(Opener, EveryModeCodeOpensAsItsTableSays) {
    for (const ModeCase& c : kModeCases) {
        SCOPED_TRACE(c.code);
        FILEUNITINIT(1000);
        fs::remove("f");
        if (c.before) make_file("f", c.before);
        Dialogue d("");
        int u = 0;
        std::string name = "f";
        OPENFILE(u, c.code, name);
        ASSERT_EQ(u, 1001);
        File* f = unit_file(u);
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->is_output(), c.output);
        EXPECT_EQ(f->layout().order, c.order);
        EXPECT_EQ(f->layout().records, c.records);
        EXPECT_EQ(f->layout().record_length, c.record_length);
        EXPECT_TRUE(d.text().ends_with(c.output ? "OK.  File Unit:1001\n" : "OK.\nOpened File Unit:1001\n"));
        if (c.output) f->write("new");
        CLOSER(u);
        EXPECT_EQ(contents("f"), c.after);
    }
}

TEST_F(Opener, ReadWriteCodeNeedsAnExistingFileAndReadsAndWritesIt) {
    make_file("rw.bin", "abcdef");
    Dialogue d("");
    int u = 0;
    std::string name = "rw.bin";
    OPENFILE(u, "DX", name);
    File* f = unit_file(u);
    char two[2];
    ASSERT_TRUE(f->read(two, 2));
    EXPECT_EQ(std::string(two, 2), "ab");
    f->write("XY");
    ASSERT_TRUE(f->read(two, 2));
    EXPECT_EQ(std::string(two, 2), "ef");
    CLOSER(u);
    EXPECT_EQ(contents("rw.bin"), "abXYef");
}

TEST_F(Opener, RarerCodesTraceAsTheirTableSays) {
    {
        // "IO": kept or created, no "OK" and the trace line stays open.
        make_file("io.txt", "kept");
        Dialogue d("");
        int u = 0;
        std::string name = "io.txt";
        OPENFILE(u, "IO", name);
        EXPECT_EQ(d.text(), "\nTrying to open file io.txt...");
        std::string line;
        EXPECT_TRUE(unit_file(u)->read_line(line));
        EXPECT_EQ(line, "kept");
    }
    {
        // "LO" is refused.
        Dialogue d("");
        int u = 0;
        std::string name = "lo.txt";
        EXPECT_EQ(end_status([&] { OPENFILE(u, "LO", name); }), 1);
        EXPECT_EQ(d.text(), "\nTrying to open file lo.txt...Should not be here [entex - lo]. Please contact " +
                                std::string(kSupportAddress) + "\n\nPress Enter to Close\n");
    }
    {
        // "A " on an existing file that cannot be written: no unit. (The test runs as
        // root in places, so it needs a file that not even root may write.)
        const char* locked = "/sys/kernel/notes";
        const int fd = ::open(locked, O_WRONLY | O_APPEND);
        if (fd >= 0) ::close(fd);
        if (fd >= 0 || !fs::exists(locked)) GTEST_SKIP() << "no file that cannot be written";
        FILEUNITINIT(1000);
        Dialogue d("");
        int u = 0;
        std::string name = locked;
        OPENFILE(u, "A ", name);
        EXPECT_EQ(u, 0);
        EXPECT_FALSE(unit_tables().pool[0].open);
        EXPECT_EQ(d.text(), "\nTrying to open file " + name + "...FAILED.  No File Unit allocated.\n");
    }
}

TEST_F(Opener, SlotDescriptionsAskByName) {
    make_file("in.txt");
    Dialogue d("\nin.txt\n");
    int u = 0;
    OPENER(1, u, "I ", "input   ", 1);
    EXPECT_EQ(u, 993);
    EXPECT_EQ(d.text(),
              "What is the input file name? \nNo file name entered.  Trying file again...\n"
              "\nTrying to open file ...\nCHECK 0008 - \"\" cannot be found\n"
              "What is the input file name? \nTrying to open file in.txt...OK.\nOpened File Unit: 993\n");
}

TEST(TextRoutines, LenslAndCstringendCutWithANul) {
    struct Case {
        std::string text;
        int lensl;
        std::string after;
    };
    const Case cases[] = {
        {"abc  ", 3, std::string("abc\0 ", 5)},
        {"abc", 3, "abc"},
        {"   ", 0, "   "},
        {std::string("ab\0\0", 4), 2, std::string("ab\0\0", 4)},
        {"", 0, ""},
    };
    for (Case c : cases) {
        EXPECT_EQ(LENSL(c.text), c.lensl);
        EXPECT_EQ(c.text, c.after);
    }
    std::string t = "ab cd";
    EXPECT_EQ(CSTRINGEND(t), 2);
    EXPECT_EQ(t, std::string("ab\0cd", 5));
    std::string whole = "abcd";
    EXPECT_EQ(CSTRINGEND(whole), 4);
    EXPECT_EQ(whole, "abcd");
}

TEST(ConsoleQuestions, WriteAndReadPrompts) {
    std::ostringstream out;
    std::istringstream in("typed answer that is long\n");
    ConsoleCapture capture(out, in);
    WRITENOADVANCE("abcdef", 3);
    WRITENOADVANCE("abcdef", 0);
    std::string prompt = "Name:     ";
    WRITEPROMPT(prompt);
    EXPECT_EQ(prompt, std::string("Name:\0    ", 10));
    std::string answer;
    int length = -1;
    READPROMPT(answer, length, 12);
    EXPECT_EQ(answer, "typed answer");
    EXPECT_EQ(length, 12);
    EXPECT_EQ(out.str(), "abcName:");
}

TEST(ConsoleQuestions, AskYesTakesTheFirstCharacter) {
    const std::pair<const char*, bool> cases[] = {
        {"Y\n", true}, {"yes\n", true}, {"n\n", false}, {"\n", false}, {" y\n", false},
    };
    for (const auto& [typed, yes] : cases) {
        std::ostringstream out;
        std::istringstream in(typed);
        ConsoleCapture capture(out, in);
        EXPECT_EQ(ASKYES("Overwrite "), yes) << typed;
        EXPECT_EQ(out.str(), "Overwrite ? ");
    }
}

TEST(ConsoleQuestions, SetFlagsSetsTheFlagsOfTypedLetters) {
    debug_flags().fill(false);
    for (const char* typed : {"aQ\n", "1!\n"}) {
        std::ostringstream out;
        std::istringstream in(typed);
        ConsoleCapture capture(out, in);
        SETFLAGS();
        EXPECT_EQ(out.str(), "Set flags: ");
    }
    for (std::size_t i = 0; i < 26; ++i) EXPECT_EQ(debug_flags()[i], i == 0 || i == 16) << i;
}

TEST(ConsoleQuestions, EndOfInputAtAQuestionEndsTheRun) {
    FILEUNITINIT(1000);
    std::ostringstream out;
    std::istringstream in("");
    ConsoleCapture capture(out, in);
    EXPECT_THROW((void)ASKYES("Go on"), RunEnd);
    EXPECT_EQ(out.str(), "Go on? \nERROR - End of console input while asking \"Go on?\".\n\nPress Enter to Close\n");
}

}  // namespace
}  // namespace zorvel::util
