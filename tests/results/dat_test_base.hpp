#pragma once
// Test support: a fixture with fresh file units, a captured console and a temp folder.

#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "results/dat_bytes.hpp"
#include "util/console.hpp"
#include "util/run_end.hpp"
#include "util/units.hpp"

namespace zorvel::results::testing {

class DatTest : public ::testing::Test {
protected:
    void SetUp() override {
        util::FILEUNITINIT(1000);
        capture_ = std::make_unique<util::ConsoleCapture>(out_, in_);
    }
    void TearDown() override {
        util::FILEUNITINIT(1000);  // closes what a test left open
        capture_.reset();
    }
    std::string console_text() const { return out_.str(); }
    void clear_console() { out_.str(""); }

    TempDir dir_;
    std::ostringstream out_;
    std::istringstream in_;

private:
    std::unique_ptr<util::ConsoleCapture> capture_;
};

// Runs the call, expecting it to end the run with status 1; gives the console text.
template <typename F>
std::string expect_error_end(F&& call, std::ostringstream& out) {
    out.str("");
    try {
        call();
        ADD_FAILURE() << "the run did not end";
    } catch (const util::RunEnd& end) {
        EXPECT_EQ(end.status, 1);
    }
    return out.str();
}

inline constexpr const char* kPressEnter = "\nPress Enter to Close\n";

}  // namespace zorvel::results::testing
