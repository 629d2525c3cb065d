#include <gtest/gtest.h>

#include <string>

#include "util/text.hpp"

namespace zorvel::util {
namespace {

TEST(Text, FieldsAndTrimming) {
    EXPECT_EQ(fit("abcdef   ", 4), "abcd");
    EXPECT_EQ(fit("ab   ", 4), "ab");
    EXPECT_EQ(trimmed("  a b \t  "), "  a b \t");  // leading blanks and a tab stay
    EXPECT_EQ(trimmed("   "), "");
    EXPECT_EQ(TRIMF("   "), "");
    EXPECT_EQ(TRIMF("  a b  "), "a b");
    EXPECT_EQ(TRIMF("\t a"), "\t a");  // a leading tab stays
    EXPECT_EQ(SS256("x  "), "x");
    EXPECT_EQ(SS256(std::string(300, 'y')), std::string(256, 'y'));
}

TEST(Text, CharacterRemoval) {
    EXPECT_EQ(REMOVEQUOTES("\"it's\" here  "), "its here");
    EXPECT_EQ(REMOVETABS("a\tb\t "), "ab");
    EXPECT_EQ(REMOVETABS("a \t"), "a");
    EXPECT_EQ(REMOVESPACES("  a b\tc  "), "ab\tc");
    EXPECT_EQ(DOUBLEQUOTE("say \"hi\""), "say \"\"hi\"\"");
    EXPECT_EQ(ALPHANUMERICONLY("a-b c!", '_'), "a_b_c_");
    EXPECT_EQ(ALPHANUMERICONLY("a-b c!", '\0'), "abc");
    EXPECT_EQ(ALPHANUMERICONLY("x y", ' '), "x y");
    EXPECT_EQ(ALPHANUMERICONLY("!?", ' '), "X");  // blank outcome
    EXPECT_EQ(ALPHANUMERICONLY("", '_'), "X");
    EXPECT_EQ(ALPHANUMERICONLY("\xe9t\xe9", '\0'), "t");  // ASCII letters only
    EXPECT_EQ(CLEANATTRIBUTENAME("Max Value_2 (m/s)"), "MaxValue_2ms");
    EXPECT_EQ(CLEANATTRIBUTENAME(" - "), "X");
}

TEST(Text, CaseMapping) {
    EXPECT_EQ(UPPERCASE("  mIxed 9_z  "), "  MIXED 9_Z");
    EXPECT_EQ(LOWERCASE("  MIxed 9_Z"), "  mixed 9_z");
    EXPECT_EQ(UPPERCASE("\xe9\xff{`@["), "\xe9\xff{`@[");  // only a to z change
    EXPECT_EQ(LOWERCASE("\xc9\xff{`@["), "\xc9\xff{`@[");
}

TEST(Text, BlankAndComparison) {
    std::string tabs = "\t \t";
    EXPECT_TRUE(BLANK(tabs));
    EXPECT_EQ(tabs, "\t \t");  // the argument is left as it was
    EXPECT_TRUE(BLANK(""));
    EXPECT_FALSE(BLANK("a\tb"));

    EXPECT_TRUE(ASAME("\"\tmy_Name\"  ", "MY_NAME"));
    EXPECT_FALSE(ASAMECS("\"\tmy_Name\"  ", "MY_NAME"));
    EXPECT_TRUE(ASAMECS("  'my_Name'", "my_Name   "));
    EXPECT_FALSE(ASAME("name", "name2"));
    EXPECT_TRUE(ASAME("", "   "));
    // Only the first 1000 characters take part.
    EXPECT_TRUE(ASAME(std::string(1000, 'a') + "b", std::string(1000, 'A') + "c"));
}

TEST(Text, FlagSearch) {
    EXPECT_TRUE(FLAGEXISTS("-conv", "con"));
    EXPECT_TRUE(FLAGEXISTS("zorvel -MAX a.dat", "-max"));
    EXPECT_FALSE(FLAGEXISTS("-min", "-max"));
    EXPECT_TRUE(FLAGEXISTS("anything", ""));
    EXPECT_TRUE(FLAGEXISTS("", "  "));
    EXPECT_FALSE(FLAGEXISTS("a-b", " -b"));  // the flag keeps its leading blanks
    EXPECT_TRUE(FLAGEXISTS("a -b", " -b"));
    EXPECT_FALSE(FLAGEXISTS("ab", "abc"));

    std::string rest = "old";
    EXPECT_TRUE(FLAGEXISTSRET("Read GIS Z  ==  file.mif", "read gis z", rest));
    EXPECT_EQ(rest, "  ==  file.mif");
    EXPECT_TRUE(FLAGEXISTSRET("abc", "", rest));
    EXPECT_EQ(rest, "abc");
    EXPECT_FALSE(FLAGEXISTSRET("abc", "x", rest));
    EXPECT_EQ(rest, "");
}

TEST(Text, Replacement) {
    EXPECT_EQ(REPLACE("Depth > 0.1 > x", ">", "Above"), "Depth Above 0.1 > x");
    EXPECT_EQ(REPLACE("AbCabc", "abc", "-"), "-abc");  // case ignored, rest kept
    EXPECT_EQ(REPLACE("name", "", "pre_"), "pre_name");
    EXPECT_EQ(REPLACE("name", "  ", "  x  "), "  xname");  // leading blanks of the replacement kept
    EXPECT_EQ(REPLACE("name", "z", "y"), "name");

    EXPECT_EQ(REPLACEALL("Depth > 0.1 > 0.2", ">", "Above"), "Depth Above 0.1 Above 0.2");
    EXPECT_EQ(REPLACEALL("a/b/c/", "/", "_"), "a_b_c_");
    EXPECT_EQ(REPLACEALL("x/Y/z", "y", "why"), "x/why/z");
    // A replacement holding the search text ends, and so does a blank search text.
    EXPECT_EQ(REPLACEALL("aXa", "a", "AA"), "AAXAA");
    EXPECT_EQ(REPLACEALL("abc", "", "z"), "abc");
    // The search goes on after the inserted text: what it forms with the next character stays.
    EXPECT_EQ(REPLACEALL("abb", "ab", "a"), "ab");
    EXPECT_EQ(REPLACEALL("a-b-c", "-", "  "), "abc");  // a blank replacement is empty once trimmed
}

TEST(Text, ControlLineTests) {
    struct Case {
        const char* line;
        bool comment;
        const char* after;
    };
    const Case comments[] = {
        {"   ! note", true, ""},
        {"# note", true, ""},
        {"", true, ""},
        {"  Read GIS == a.mif  # note ! more", false, "Read GIS == a.mif"},
        {"a ! b # c", false, "a"},
        {"\"quoted # hash\"", false, "\"quoted"},
        {"plain", false, "plain"},
    };
    for (const Case& c : comments) {
        SCOPED_TRACE(c.line);
        std::string line = c.line;
        EXPECT_EQ(COMMENTLINE(line), c.comment);
        EXPECT_EQ(line, c.after);
    }

    std::string n = "  -1.5 2";
    EXPECT_TRUE(NUMBERLINE(n));
    EXPECT_EQ(n, "-1.5 2");
    for (const char* t : {"   ", ".5", "7 x"}) {
        n = t;
        EXPECT_TRUE(NUMBERLINE(n)) << t;
    }
    for (const char* t : {"+1", "x1", "\t1"}) {
        n = t;
        EXPECT_FALSE(NUMBERLINE(n)) << t;
    }

    std::string p = "  0123  ";
    EXPECT_TRUE(POSITIVEINTEGERNUMBER(p));
    EXPECT_EQ(p, "0123");
    for (const char* t : {"", "   ", "-1", "+1", "1 2", "1.0", "12a"}) {
        p = t;
        EXPECT_FALSE(POSITIVEINTEGERNUMBER(p)) << t;
    }
}

TEST(Text, ReadAndWriteCommands) {
    EXPECT_TRUE(READGIS("read mi z shape == a.mif", "Z Shape  "));
    EXPECT_TRUE(READGIS("Read GIS Z Shape == a.shp", "Z Shape"));
    EXPECT_FALSE(READGIS("Read GIS Code == a.shp", "Z Shape"));
    EXPECT_TRUE(READGIS("Read MID Zpts == a.mid", ""));  // "Read MI" is found in "Read MID"
    EXPECT_TRUE(WRITEGIS("Write GIS Zpts == out.shp", "Zpts"));
    EXPECT_TRUE(WRITEGIS("write mi zpts == out.mif", "zpts"));
    EXPECT_FALSE(WRITEGIS("Read GIS Zpts == a.shp", "Zpts"));
    EXPECT_TRUE(READROWCOL("Read RowCol Mat == a.csv", "Mat"));
    EXPECT_TRUE(READROWCOL("Read MID Mat == a.mid", "mat"));
    EXPECT_FALSE(READROWCOL("Read MI Mat == a.mif", "Mat"));
}

TEST(Text, CheckLineSplits) {
    struct Case {
        const char* line;
        const char* command;
        const char* separator;
        int column;
        bool result;
        const char* head;
        const char* rest;
    };
    const Case cases[] = {
        {"Timestep == 2.5", "timestep", "==", 0, true, "Timestep ", " 2.5"},
        {"Timestep == 2.5", "start", "==", 0, false, "Timestep ", " 2.5"},
        {"Timestep 2.5", "timestep", "==", 0, true, "Timestep 2.5", ""},     // whole line tested
        {"Timestep 2.5", "timestep", "==", 4, false, "Time", "step 2.5"},   // not found: the column
        {"Timestep 2.5", "time", "==", 4, true, "Time", "step 2.5"},
        {"ABCDEFGH", "cd", "", 4, true, "ABCD", "EFGH"},                   // blank separator
        {"ABCDEFGH", "cd", " ", 3, false, "ABC", "DEFGH"},
        {"ab", "a", "", 10, true, "ab", ""},                               // column past the end
        {"== 2.5", "*", "==", 0, false, "", " 2.5"},                        // blank head refused
        {"x == 2.5", "*", "==", 0, true, "x ", " 2.5"},
        {"     x", "*", "", 3, false, "", "  x"},
        {"     x", "*", "", 0, true, "", "     x"},                        // allowed: column 0
        {"", "*", "==", 0, true, "", ""},
        {"", "", "==", 0, true, "", ""},
        {"", "abc", "==", 0, false, "", ""},
        {"key:  value", "KEY", ": ", 0, true, "key", " value"},            // trailing blank of separator
        {"key:", "key", ": ", 0, true, "key", ""},                         // matches the field's padding
        {"key:value", "key", ": ", 0, true, "key:value", ""},
        {"Timestep 2.5", "time", "==", -3, true, "Timestep 2.5", ""},     // a negative column is 0
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.line) + " | " + c.command + " | " + c.separator + " | " +
                     std::to_string(c.column));
        std::string rest = "old", head = "old";
        EXPECT_EQ(CHECKLINE(c.line, c.command, c.separator, c.column, rest, head), c.result);
        EXPECT_EQ(head, rtrim(c.head));
        EXPECT_EQ(rest, rtrim(c.rest));
    }
}

}  // namespace
}  // namespace zorvel::util
