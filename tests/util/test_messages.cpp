#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "util/console.hpp"
#include "util/file_io.hpp"
#include "util/messages.hpp"
#include "util/units.hpp"

namespace zorvel::util {
namespace {

// A text output open on a pool unit, read back once closed.
class UnitFile {
public:
    explicit UnitFile(std::int32_t unit) : unit_(unit) {
        const auto* test = testing::UnitTest::GetInstance()->current_test_info();
        path_ = (std::filesystem::temp_directory_path() /
                 (std::string("zorvel_") + test->name() + "_" + std::to_string(unit) + ".txt"))
                    .string();
        PoolEntry& e = entry();
        e.file = File::open(path_, FileKind::text_out);
        e.open = e.file != nullptr;
    }
    ~UnitFile() { std::filesystem::remove(path_); }
    std::string text() {
        PoolEntry& e = entry();
        if (e.file) e.file->close();
        e.open = false;
        std::ifstream in(path_, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

private:
    PoolEntry& entry() { return unit_tables().pool[static_cast<std::size_t>(unit_ - 1001)]; }
    std::int32_t unit_;
    std::string path_;
};

class Messages : public testing::Test {
protected:
    void SetUp() override {
        FILEUNITINIT(1000);
        std::memset(&DMESSAGES, 0, sizeof DMESSAGES);  // as at program start
        DMESSAGECLEAR();
    }
    std::string issue(std::int32_t n) {
        ConsoleCapture capture(out_, in_);
        DMESSAGE(n);
        return out_.str();
    }
    std::ostringstream out_;
    std::istringstream in_;
};

TEST_F(Messages, ZeroFilledBlockReadsAsBlank) {
    std::memset(&DMESSAGES, 0, sizeof DMESSAGES);
    const char text[] = "CHECK 0008 - Node moved";
    std::memcpy(DMESSAGES.line[0], text, sizeof text - 1);  // the rest of the field stays zero
    EXPECT_EQ(issue(0), "CHECK 0008 - Node moved\n");
    EXPECT_EQ(DMESSAGES.checks, 1);
    EXPECT_EQ(DMESSAGES.number, 8);
}

TEST_F(Messages, ReadErrorMessageOfTheLineReader) {
    set_message_text(DMESSAGES.line[0], "ERROR 0201 - Reading text line from file unit number 1001");
    EXPECT_EQ(issue(1), "\nERROR 0201 - Reading text line from file unit number 1001\n");
    EXPECT_EQ(DMESSAGES.errors, 1);
    EXPECT_EQ(DMESSAGES.number, 201);
    EXPECT_EQ(DMESSAGES.type, 1);
    // The message fields are clear afterwards; counters, number and type stay.
    EXPECT_EQ(message_text(DMESSAGES.line[0]), "");
    EXPECT_EQ(DMESSAGES.line[0][0], ' ');
    EXPECT_EQ(DMESSAGES.x, -99999.0);
    EXPECT_EQ(DMESSAGES.one_line, 0);
}

TEST_F(Messages, ClassifiedByTheFirstWord) {
    struct Case {
        const char* line;
        std::int32_t type, number, errors, warnings, checks;
    };
    const Case cases[] = {
        {"ERROR 0201 - a", 1, 201, 1, 0, 0},  {"WARNING 0010 - b", 2, 10, 0, 1, 0},
        {"CHECK 0008 - c", 3, 8, 0, 0, 1},    {"UNSTABLE 0002 - d", 4, 2, 0, 0, 0},
        {"Error 0201 - e", 0, 0, 0, 0, 0},    {"ERROR - no number", 1, 0, 1, 0, 0},
        {"ERROR", 1, 0, 1, 0, 0},             {"Note 12", 0, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        DMESSAGERESETCOUNTERS();
        set_message_text(DMESSAGES.line[0], c.line);
        EXPECT_EQ(issue(-2), "");
        EXPECT_EQ(DMESSAGES.type, c.type);
        EXPECT_EQ(DMESSAGES.number, c.number);
        EXPECT_EQ(DMESSAGES.errors, c.errors);
        EXPECT_EQ(DMESSAGES.warnings, c.warnings);
        EXPECT_EQ(DMESSAGES.checks, c.checks);
    }
}

TEST_F(Messages, LayoutOfTheLines) {
    const auto fill = [] {
        set_message_text(DMESSAGES.line[0], "WARNING 0004 - First  ");
        set_message_text(DMESSAGES.line[1], "  second");
        set_message_text(DMESSAGES.line[2], "third");
        set_message_text(DMESSAGES.extra[1], "b");
        set_message_text(DMESSAGES.extra[2], "c");
        set_message_text(DMESSAGES.prefix, "P:");
    };
    fill();
    DMESSAGES.one_line = -1;
    EXPECT_EQ(issue(0), "P: WARNING 0004 - First    second  third  ; b; c\n");
    fill();
    out_.str("");
    EXPECT_EQ(issue(2), "\n\nP: WARNING 0004 - First\n  second\nthird\n; b; c\n");
    // Only the first extra field: line 4 is that field as it stands.
    set_message_text(DMESSAGES.line[0], "x");
    set_message_text(DMESSAGES.extra[0], " only");
    out_.str("");
    EXPECT_EQ(issue(0), "x\n only\n");
}

TEST_F(Messages, LogUnitAndCommaSeparatedLog) {
    UnitFile log(1001), csv(1002);
    DMESSAGES.log_unit = 1001;
    DMESSAGES.csv_unit = 1002;
    set_message_text(DMESSAGES.line[0], "WARNING 0042 - Say \"hi\"");
    set_message_text(DMESSAGES.line[1], "second");
    set_message_text(DMESSAGES.extra[0], "e\"1");
    EXPECT_EQ(issue(1), "\nWARNING 0042 - Say \"hi\"\nsecond\ne\"1\n");

    set_message_text(DMESSAGES.line[0], "CHECK 0007 - quiet");
    EXPECT_EQ(issue(-1), "\nWARNING 0042 - Say \"hi\"\nsecond\ne\"1\n");  // log only
    set_message_text(DMESSAGES.line[0], "ERROR123456 - silent");
    issue(-2);  // neither console nor log, but counted and in the comma-separated log
    set_message_text(DMESSAGES.line[0], "just text");
    issue(-2);  // not classified: no comma-separated line
    EXPECT_EQ(DMESSAGES.errors, 1);

    EXPECT_EQ(log.text(), "\nWARNING 0042 - Say \"hi\"\nsecond\ne\"1\nCHECK 0007 - quiet\n");
    EXPECT_EQ(csv.text(),
              " 0042, 2,      -99999.000,      -99999.000, \"WARNING 0042 - Say \"\"hi\"\"  second\", "
              "\"e\"\"1\", \"\", \"\"\n"
              " 0007, 3,      -99999.000,      -99999.000, \"CHECK 0007 - quiet\", \"\", \"\", \"\"\n"
              "*****, 1,      -99999.000,      -99999.000, \"ERROR123456 - silent\", \"\", \"\", \"\"\n");
}

TEST_F(Messages, PositionedWarningAsMifTextAndMidRecord) {
    UnitFile mif(1001), mid(1002), log(1003);
    DMESSAGES.mif_unit_a = 1001;
    DMESSAGES.mid_unit_a = 1002;
    DMESSAGES.mif_unit_b = 1003;  // checks and others: not used by this message
    DMESSAGES.csv_unit = 1003;
    DMESSAGES.box_width = 10.0;
    DMESSAGES.box_height = 2.0;
    set_message_text(DMESSAGES.line[0], "WARNING 0003 - Low \"bank\"");
    set_message_text(DMESSAGES.line[1], "second");
    {
        ConsoleCapture capture(out_, in_);
        DMESSAGEXY(0, 100.0, 200.0);
    }
    EXPECT_EQ(out_.str(), "XY: WARNING 0003 - Low \"bank\"\nsecond\n");
    EXPECT_EQ(DMESSAGES.warnings_xy, 1);
    EXPECT_EQ(DMESSAGES.warnings, 1);
    EXPECT_EQ(DMESSAGES.x, -99999.0);  // cleared after the issue
    EXPECT_EQ(message_text(DMESSAGES.prefix), "");
    EXPECT_EQ(mif.text(),
              "Text\n"
              "\"WARNING 0003 - Low \"\"bank\"\"\\nsecond\"\n"
              "             102.000         198.000         112.000         202.000\n"
              "    Font (\"Arial\",257,0,16776960,0)\n"
              "    Label Line Arrow          100.000         200.000\n");
    EXPECT_EQ(mid.text(), "\"WARNING 0003 - Low \"\"bank\"\"  second  \"\n");
    EXPECT_EQ(log.text(),
              " 0003, 2,         100.000,         200.000, \"WARNING 0003 - Low \"\"bank\"\"  second\", \"\", \"\", \"\"\n");
}

TEST_F(Messages, PositionedCheckOnOneLineGoesToUnitsB) {
    UnitFile mif(1001), mid(1002);
    DMESSAGES.mif_unit_b = 1001;
    DMESSAGES.mid_unit_b = 1002;
    DMESSAGES.mif_unit_a = 1999;  // not open: nothing is written there
    DMESSAGES.box_width = 4.0;
    DMESSAGES.box_height = 1.0;
    DMESSAGES.one_line = -1;
    set_message_text(DMESSAGES.line[0], "CHECK 0001 - a");
    set_message_text(DMESSAGES.line[2], "c");
    {
        ConsoleCapture capture(out_, in_);
        DMESSAGEXY(-2, -1.5, 0.0);
    }
    EXPECT_EQ(out_.str(), "");
    EXPECT_EQ(DMESSAGES.checks_xy, 1);
    EXPECT_EQ(mif.text(),
              "Text\n"
              "\"CHECK 0001 - a  c\"\n"
              "              -0.500          -1.000           3.500           1.000\n"
              "    Font (\"Arial\",257,0,255,16777215)\n"
              "    Label Line Arrow           -1.500           0.000\n");
    EXPECT_EQ(mid.text(), "\"CHECK 0001 - a  c  \"\n");

    DMESSAGERESETCOUNTERS();
    EXPECT_EQ(DMESSAGES.checks_xy, 0);
    EXPECT_EQ(DMESSAGES.checks, 0);
}

TEST_F(Messages, RuleLine) {
    UnitFile unit(1001);
    {
        ConsoleCapture capture(out_, in_);
        DLINE(1001);
        DLINE(0);
    }
    const std::string rule = std::string(80, '_') + "\n";
    EXPECT_EQ(out_.str(), rule + rule);
    EXPECT_EQ(unit.text(), rule);
}

}  // namespace
}  // namespace zorvel::util
