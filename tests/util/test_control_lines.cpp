#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>

#include "unit_fixture.hpp"
#include "util/control_lines.hpp"
#include "util/messages.hpp"

namespace zorvel::util {
namespace {

using testing::Dialogue;

// Each test starts with fresh unit tables (so EXITS pauses) and a clear message block.
class ControlLines : public testing::InTempFolder {
protected:
    void SetUp() override {
        InTempFolder::SetUp();
        DMESSAGECLEAR();
    }
    // A text file opened for reading on a pool unit.
    int open_text(const std::string& name, const std::string& contents) {
        make_file(name, contents);
        Dialogue d("");
        int unit = 0;
        std::string n = name;
        OPENFILE(unit, "I ", n);
        return unit;
    }
};

TEST_F(ControlLines, ReadLineCleansEachLineAndTellsContentFromComments) {
    const int unit = open_text("control.tcf", "  Cell Size == 5 ! metres\n\t \r\n# all comment\nlast\tword\n");
    Dialogue d("");
    std::string line = "old";
    EXPECT_TRUE(READLINE(unit, line));
    EXPECT_EQ(line, "Cell Size == 5");
    EXPECT_FALSE(READLINE(unit, line));  // tab and blank only
    EXPECT_EQ(line, "");
    EXPECT_FALSE(READLINE(unit, line));
    EXPECT_EQ(line, "");
    EXPECT_TRUE(READLINE(unit, line));
    EXPECT_EQ(line, "last word");  // a tab separates words as a blank does
    EXPECT_EQ(d.text(), "");

    EXPECT_EQ(end_status([&] { READLINE(unit, line); }), 1);
    EXPECT_EQ(d.text(),
              "\nERROR 0202 - End-of-file encountered reading text line from file unit number 1001\n"
              "\nPress Enter to Close\n");
    EXPECT_EQ(DMESSAGES.number, 202);
}

TEST_F(ControlLines, ReadLineCutsTheRecordAtTheFieldBeforeCleaning) {
    const int unit = open_text("long.txt", "   abcdefgh\n");
    Dialogue d("");
    std::string line;
    EXPECT_TRUE(READLINE(unit, line, 6));
    EXPECT_EQ(line, "abc");
}

TEST_F(ControlLines, ReadLineFromAUnitWithoutTextInputEndsTheRun) {
    make_file("data.bin");
    int bytes = 0;
    {
        Dialogue open("");
        std::string name = "data.bin";
        OPENFILE(bytes, "BI", name);
    }
    for (const int unit : {bytes, 1500}) {
        Dialogue d("");
        std::string line;
        EXPECT_EQ(end_status([&] { READLINE(unit, line); }), 1);
        EXPECT_EQ(d.text(), "\nERROR 0201 - Reading text line from file unit number " + std::to_string(unit) +
                                "\n\nPress Enter to Close\n");
    }
}

TEST(CsvLines, ColumnOfANamedField) {
    struct Case {
        const char* line;
        const char* name;
        std::int32_t column;
    };
    const Case cases[] = {
        {"X, Y ,\"depth\", Z", "DEPTH", 3},  // quotes and case do not count
        {"X, Y, Z", "depth", -1},
        {"a,,b", "b", 3},             // an empty field is counted
        {"a,,b", "", 2},              // ... and compared
        {"a,b,  ", "", -1},           // fields after the last non-blank one are not reached
        {"a,\tb", "b", 2},            // tabs are removed
        {"", "", -1},
    };
    for (const Case& c : cases) EXPECT_EQ(CSVCOLUMN(c.line, c.name, -1), c.column) << c.line << " / " << c.name;
}

TEST(CsvLines, ValueOfTheNthField) {
    struct Case {
        const char* line;
        std::int32_t n;
        bool read;
        float value;
    };
    const Case cases[] = {
        {"1, 2.5 ,x", 2, true, 2.5f},
        {"-1.5e2,3", 0, true, -150.0f},  // n of 1 or less: the first field
        {" 12 ", 1, true, 12.0f},
        {"+.5", 1, true, 0.5f},
        {"1.0d1", 1, true, 10.0f},
        {"2.0-1", 1, true, 0.2f},        // an exponent given by its sign alone
        {"1,2", 4, false, 0.0f},         // beyond the last field
        {"1,   ,3", 2, false, 0.0f},     // a blank field
        {"1 2", 1, false, 0.0f},         // two numbers, not 12
        {"1.5.2", 1, false, 0.0f},
        {"x", 1, false, 0.0f},
        {"1e", 1, false, 0.0f},
    };
    for (const Case& c : cases) {
        float v = -7.0f;
        EXPECT_EQ(CSVVALUE(c.line, c.n, v), c.read) << c.line;
        EXPECT_FLOAT_EQ(v, c.value) << c.line;
    }
}

TEST(KeywordLines, StringByKeywordOrField) {
    struct Case {
        const char* line;
        const char* keyword;
        std::int32_t n;
        const char* value;
    };
    const Case cases[] = {
        {"Output Name = \"a, b\", c", "OUTPUT name", 0, "a, b"},  // keyword in another case, quoted comma
        {"k = 'it''s, ok', z", "K", 0, "its, ok"},                  // a doubled quote does not close
        {"k = 'mixed\", closes' ,z", "k", 0, "mixed"},               // either quote closes
        {"level=  3 ", "LEVEL", 5, "3"},
        {"x, 'y,z' , w", "missing", 2, "y,z"},
        {"x, 'y,z' , w", "missing", 0, ""},
        {"x, 'y,z' , w", "missing", 4, ""},
        {"x,,w", "missing", 2, ""},
    };
    for (const Case& c : cases) EXPECT_EQ(EXTRACTSTRING(c.line, c.keyword, c.n), c.value) << c.line;
}

TEST(KeywordLines, RestOfTheLineByKeywordOrField) {
    EXPECT_EQ(EXTRACTSTRINGREM("Files = 'a.dat', b.dat", "files", 0), "a.dat, b.dat");
    EXPECT_EQ(EXTRACTSTRINGREM("x, y, 'z'", "files", 2), "y, z");
    EXPECT_EQ(EXTRACTSTRINGREM("x,,y", "files", 2), "");  // the n-th field is empty
    EXPECT_EQ(EXTRACTSTRINGREM("x", "files", 2), "");
}

TEST(KeywordLines, IntegersAndRealsWithTheirFallbacks) {
    std::ostringstream out;
    std::istringstream in;
    ConsoleCapture cap(out, in);
    EXPECT_EQ(EXTRACTINTEGER("Count = 12 more", "count", 0, -1), 12);
    EXPECT_EQ(EXTRACTINTEGER("Count = , 3", "count", 0, -1), -1);  // blank value
    EXPECT_EQ(EXTRACTINTEGER("a, -4", "count", 2, -1), -4);
    EXPECT_FLOAT_EQ(EXTRACTREAL("Level = -1.5e1,x", "LEVEL", 0, 9.0f), -15.0f);
    EXPECT_FLOAT_EQ(EXTRACTREAL("a", "level", 3, 9.0f), 9.0f);
    EXPECT_EQ(out.str(), "");
}

TEST_F(ControlLines, KeywordRoutinesEndTheRunOnBadLines) {
    struct Case {
        std::function<void()> call;
        const char* text;
    };
    const Case cases[] = {
        {[] { EXTRACTSTRING("Cell Size 5", "Cell Size  ", 0); },
         "\nERROR 0203 - No \"=\" sign found after keyword \"Cell Size\".\n"},
        {[] { EXTRACTSTRINGREM("Cell Size 5", "cell size", 0); },
         "\nERROR 0203 - No \"=\" sign found after keyword \"cell size\".\n"},
        {[] { EXTRACTINTEGER("Count = 1.5", "Count", 0, 0); },
         " Could not convert \"1.5\" in column  0 to an integer value for the Count field.\n"},
        {[] { EXTRACTREAL("a, b, x1", "Level", 3, 0.0f); },
         " Could not convert \"x1\" in column  3 to a real value for the Level field.\n"},
    };
    for (const Case& c : cases) {
        Dialogue d("");
        EXPECT_EQ(end_status(c.call), 1);
        EXPECT_EQ(d.text(), std::string(c.text) + "\nPress Enter to Close\n");
    }
}

TEST(Words, NextWordTakesWordsOffTheText) {
    std::string text = "   first \"two words\"   third";
    EXPECT_EQ(NEXTWORD(text), "first");  // leading blanks are skipped
    EXPECT_EQ(text, "\"two words\"   third");
    EXPECT_EQ(NEXTWORD(text), "two words");
    EXPECT_EQ(text, "third");
    EXPECT_EQ(NEXTWORD(text), "third");
    EXPECT_EQ(text, "");
    EXPECT_EQ(NEXTWORD(text), "");
    EXPECT_EQ(text, "");
}

TEST(Words, CountOfPieces) {
    struct Case {
        const char* text;
        const char* separator;
        std::int32_t count;
        const char* after;
    };
    const Case cases[] = {
        {"a,b,c", ",", 3, "a,b,c"},
        {"a\t,b", ",", 2, "a,b"},  // the text loses its tabs
        {"  ", ",", 0, ""},
        {"\t \t", ",", 0, ""},
        {"a,b", "", 0, "a,b"},     // an empty separator
        {"a::b::c", "::", 3, "a::b::c"},
        {"a b  ", " ", 2, "a b"},  // trailing blanks are no pieces
    };
    for (const Case& c : cases) {
        std::string t = c.text;
        EXPECT_EQ(NUMBEROFSUBSTRINGS(t, c.separator), c.count) << c.text;
        EXPECT_EQ(t, c.after) << c.text;
    }
}

TEST(Words, NthPiece) {
    struct Case {
        const char* text;
        const char* separator;
        std::int32_t n;
        const char* piece;
    };
    const Case cases[] = {
        {"a,  b ,c", ",", 2, "b"}, {"a,  b ,c", ",", 3, "c"}, {"a,b,c", ",", 4, ""},
        {"a,b,c", ",", 0, ""},     {"a,,c", ",", 2, ""},       {"a::b::c", "::", 2, "b"},
        {"a,b", "", 1, ""},
    };
    for (const Case& c : cases) EXPECT_EQ(SUBSTRING(c.text, c.separator, c.n), c.piece) << c.text << " " << c.n;
}

}  // namespace
}  // namespace zorvel::util
