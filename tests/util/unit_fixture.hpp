#pragma once
// Shared by the file-unit and opener tests: each test runs in its own temporary
// folder with fresh unit tables, and talks to the console through captured streams.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <streambuf>
#include <string>

#include "util/console.hpp"
#include "util/run_end.hpp"
#include "util/units.hpp"

namespace zorvel::util::testing {

namespace fs = std::filesystem;

// A console input that runs an action (create a file, a folder) just before the user's
// first answer is read, as a user would before pressing Enter.
class ActBeforeAnswer : public std::streambuf {
public:
    ActBeforeAnswer(std::string text, std::function<void()> act) : text_(std::move(text)), act_(std::move(act)) {}

protected:
    int_type underflow() override {
        if (!started_) {
            started_ = true;
            if (act_) act_();
            setg(text_.data(), text_.data(), text_.data() + text_.size());
        }
        return gptr() < egptr() ? traits_type::to_int_type(*gptr()) : traits_type::eof();
    }

private:
    std::string text_;
    std::function<void()> act_;
    bool started_ = false;
};

// The console for one exchange: what the user types (optionally after an action) and
// everything the program writes.
struct Dialogue {
    explicit Dialogue(std::string answers, std::function<void()> act = nullptr)
        : buf(std::move(answers), std::move(act)), in(&buf), capture(out, in) {}
    std::string text() const { return out.str(); }

    ActBeforeAnswer buf;
    std::istream in;
    std::ostringstream out;
    ConsoleCapture capture;
};

class InTempFolder : public ::testing::Test {
protected:
    void SetUp() override {
        std::string tmpl = (fs::temp_directory_path() / "zorvel_units_XXXXXX").string();
        ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
        dir_ = tmpl;
        old_ = fs::current_path();
        fs::current_path(dir_);
        FILEUNITINIT(1000);
        for (int slot = 1; slot <= kSlotCount; ++slot) CLEARNAME(slot);
    }
    void TearDown() override {
        FILEUNITINIT(1000);  // drops (and closes) every file still on a unit
        fs::current_path(old_);
        fs::remove_all(dir_);
    }

    static void make_file(const std::string& name, const std::string& bytes = "x") {
        std::ofstream(name, std::ios::binary) << bytes;
    }
    static std::string contents(const std::string& name) {
        std::ifstream f(name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(f), {});
    }
    // Runs f, which must end the run; the exit status it ended with.
    template <typename F>
    static int end_status(F&& f) {
        try {
            f();
        } catch (const RunEnd& end) {
            return end.status;
        }
        ADD_FAILURE() << "the run did not end";
        return -1;
    }

    fs::path dir_, old_;
};

}  // namespace zorvel::util::testing
