#pragma once
// What the fuzz harnesses share. Each harness process works in a fresh folder of its own;
// one input is one run of a reader (or of the whole program) with the console silenced.
// A run may end only by returning or through RunEnd (its "ERROR - " line and status);
// any other exception, a crash, a leak or an HDF5 id left open is a finding.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zorvel::driver {
// One run of the whole program from its command-line words to its exit status
// (src/driver/main.cpp), for the harnesses that link the program in.
int run_program(std::span<const std::string> words);
}  // namespace zorvel::driver

namespace zorvel::fuzz {

// Makes and enters the process's work folder (once), after copying into it the files
// named ("target=source" renames), taken from the generated fixtures (ZORVEL_FUZZ_FIXTURES,
// else the build's own) or from tests/data.
void enter_work_folder(const std::vector<std::string>& fixtures = {});
// Writes the bytes as a file of the work folder.
void write_file(const std::string& name, const std::uint8_t* data, std::size_t size);
// Removes every file of the work folder that was not there when it was entered, and
// aborts when a file that was there has changed: a run never writes its inputs.
void restore_work_folder();

// The names of the files that the work folder holds now.
std::vector<std::string> folder_files();
// Aborts when the work folder holds a file that is not one of those named: an error end
// leaves no output behind.
void require_no_output_left(const std::vector<std::string>& before);

// Runs the body with the console silenced and fresh file-unit tables; the exit status
// that a RunEnd carried, or 0 when the body returned.
template <class Body>
int run_silenced(Body&& body);

// What the console was given during the last silenced run.
std::string silenced_output();

// Ends the process with a report: a finding that no sanitizer would catch.
[[noreturn]] void finding(const std::string& what);

// Aborts when any HDF5 id of a file, group, dataset, attribute or named datatype is open.
void require_no_hdf5_ids();

// A reader of the input's bytes: small numbers taken from the front, the rest as text.
class Bytes {
public:
    Bytes(const std::uint8_t* data, std::size_t size) : p_(data), end_(data + size) {}
    bool empty() const { return p_ == end_; }
    // The next byte; 0 when none is left.
    std::uint8_t byte() { return p_ < end_ ? *p_++ : 0; }
    // A number below n from the next byte (0 when none is left).
    std::size_t pick(std::size_t n) { return n == 0 ? 0 : byte() % n; }
    // The bytes left.
    std::string_view rest() const { return {reinterpret_cast<const char*>(p_), static_cast<std::size_t>(end_ - p_)}; }

private:
    const std::uint8_t* p_;
    const std::uint8_t* end_;
};

// Not templated: the silenced console and the unit tables around one run.
class SilentRun {
public:
    SilentRun();
    ~SilentRun();
    SilentRun(const SilentRun&) = delete;
    SilentRun& operator=(const SilentRun&) = delete;
};

}  // namespace zorvel::fuzz

#include "util/run_end.hpp"

template <class Body>
int zorvel::fuzz::run_silenced(Body&& body) {
    const SilentRun silent;
    try {
        body();
    } catch (const util::RunEnd& end) {
        return end.status;
    }
    return 0;
}
