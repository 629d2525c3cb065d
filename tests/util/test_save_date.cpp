#include <gtest/gtest.h>

#include <fcntl.h>
#include <string>
#include <sys/stat.h>

#include "unit_fixture.hpp"
#include "util/save_date.hpp"

namespace zorvel::util {
namespace {

using testing::Dialogue;

class SaveDate : public testing::InTempFolder {
protected:
    // A file whose last modification lies at the given second.
    static void file_at(const std::string& name, std::int64_t seconds) {
        make_file(name);
        const timespec times[2] = {{static_cast<time_t>(seconds), 0}, {static_cast<time_t>(seconds), 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, name.c_str(), times, 0), 0);
    }
    // Opens the pair on pool units (1001 and 1002) and a log output (1003).
    void open_units() {
        Dialogue d("");
        std::string mif = "a.mif", mid = "a.mid", log = "check.log";
        OPENFILE(mif_unit, "I ", mif);
        OPENFILE(mid_unit, "I ", mid);
        OPENFILE(log_unit, "O ", log);
    }
    std::string log_text() {
        CLOSER(log_unit);
        return contents("check.log");
    }
    int mif_unit = 0, mid_unit = 0, log_unit = 0;
};

constexpr const char* kChecking = "Checking save date is later than that of a.mid...";

TEST_F(SaveDate, PassesWhenTheMidIsNotLater) {
    for (const std::int64_t mid_time : {1000, 999}) {
        file_at("a.mif", 1000);
        file_at("a.mid", mid_time);
        for (const bool error_mode : {false, true}) {
            Dialogue d("");
            int u1 = 0, u2 = 0;
            EXPECT_TRUE(CHECKMISAVEDATE("a.mif  ", "a.mid  ", u1, u2, error_mode, 0));
            EXPECT_EQ(d.text(), std::string(kChecking) + "OK\n\n");
        }
    }
}

TEST_F(SaveDate, LaterMidIsAWarningThatKeepsTheUnitsOpen) {
    file_at("a.mif", 1000);
    file_at("a.mid", 1001);
    open_units();
    Dialogue d("");
    EXPECT_TRUE(CHECKMISAVEDATE("a.mif", "a.mid", mif_unit, mid_unit, false, log_unit));
    const std::string report = "WARNING 0004 - Save date of \"a.mid\" file is later than that of \"a.mif\"";
    EXPECT_EQ(d.text(), std::string(kChecking) + "NOT OK\n\n" + report + "\n");
    EXPECT_EQ(mif_unit, 1001);
    EXPECT_EQ(mid_unit, 1002);
    EXPECT_EQ(log_text(), report + "\n");
}

TEST_F(SaveDate, LaterMidInErrorModeClosesTheUnitsAndAsksForAReExport) {
    file_at("a.mif", 1000);
    file_at("a.mid", 1001);
    open_units();
    Dialogue d("\n");
    EXPECT_FALSE(CHECKMISAVEDATE("a.mif", "a.mid", mif_unit, mid_unit, true, log_unit));
    EXPECT_EQ(d.text(), std::string(kChecking) +
                            "NOT OK\n\n...Closed File Unit:1001\n...Closed File Unit:1002\n"
                            "ERROR 0004 - Save date of \"a.mid\" file is later than that of \"a.mif\"\n"
                            "Re-export mif file and press Enter, or close window.\n");
    EXPECT_EQ(mif_unit, 0);
    EXPECT_EQ(mid_unit, 0);
    EXPECT_EQ(log_text(), "");
}

TEST_F(SaveDate, TimesBeyondThirtyTwoBitsCompareInFull) {
    const std::int64_t late = (std::int64_t{1} << 32) + 10;  // 10 once cut to 32 bits
    std::int64_t seen = 0;
    file_at("a.mif", late);
    if (!modification_time("a.mif", seen) || seen != late) GTEST_SKIP() << "file system keeps no such time";
    file_at("a.mid", 100);
    Dialogue d("");
    int u1 = 0, u2 = 0;
    EXPECT_TRUE(CHECKMISAVEDATE("a.mif", "a.mid", u1, u2, true, 0));
    EXPECT_EQ(d.text(), std::string(kChecking) + "OK\n\n");
}

TEST_F(SaveDate, AFileWithoutATimeIsReportedAsAWarning) {
    struct Case {
        const char* mif;
        const char* mid;
    };
    file_at("a.mif", 1000);
    file_at("a.mid", 1000);
    open_units();
    std::string logged;
    for (const Case& c : {Case{"a.mif", "none.mid"}, Case{"none.mif", "a.mid"}}) {
        Dialogue d("");
        const std::string report = "WARNING 0004 - Could not access save date of \"" + std::string(c.mif) +
                                   "\" to check with \"" + c.mid + "\"";
        EXPECT_TRUE(CHECKMISAVEDATE(c.mif, c.mid, mif_unit, mid_unit, false, log_unit));
        EXPECT_EQ(d.text(), "Checking save date is later than that of " + std::string(c.mid) + "...NOT OK\n\n" +
                                report + "\n");
        logged += report + "\n";
    }
    EXPECT_EQ(log_text(), logged);
}

TEST_F(SaveDate, AFileWithoutATimeEndsTheRunInErrorMode) {
    file_at("a.mif", 1000);
    file_at("a.mid", 1000);
    open_units();
    Dialogue d("");
    int u2 = 0;
    EXPECT_EQ(end_status([&] { CHECKMISAVEDATE("a.mif", "none.mid", mif_unit, u2, true, log_unit); }), 1);
    const std::string report = "ERROR 0004 - Could not access save date of \"a.mif\" to check with \"none.mid\"";
    const std::string note = "NOTE - If using KESTRA.exe, use CHECK MI SAVE DATE == WARNING or OFF to suppress check";
    EXPECT_EQ(d.text(), "Checking save date is later than that of none.mid...NOT OK\n\n" + report + "\n\n" + note +
                            "\n\n\nPress Enter to Close\n");
}

}  // namespace
}  // namespace zorvel::util
