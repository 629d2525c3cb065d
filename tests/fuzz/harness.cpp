// The fuzz harnesses' shared work folder, silenced console and HDF5 id check.

#include "harness.hpp"

#include <hdf5.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>

#include "util/console.hpp"
#include "util/units.hpp"

namespace zorvel::fuzz {

namespace fs = std::filesystem;

namespace {

// The files of the work folder when it was entered, with their sizes.
std::map<std::string, std::uintmax_t>& initial_files() {
    static std::map<std::string, std::uintmax_t> files;
    return files;
}

// The console's streams while a run is silenced: output dropped, input at its end.
struct Silence {
    std::ostringstream out;
    std::istringstream in;
    std::unique_ptr<util::ConsoleCapture> capture;
};

Silence& silence() {
    static Silence s;
    return s;
}

}  // namespace

void finding(const std::string& what) {
    std::fprintf(stderr, "fuzz finding: %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}

std::string silenced_output() { return silence().out.str(); }

void enter_work_folder(const std::vector<std::string>& fixtures) {
    static bool entered = false;
    if (entered) return;
    entered = true;
    std::string tmpl = (fs::temp_directory_path() / "zorvel_fuzz_XXXXXX").string();
    if (::mkdtemp(tmpl.data()) == nullptr) finding("no work folder");
    const char* env = std::getenv("ZORVEL_FUZZ_FIXTURES");
    const fs::path generated = env != nullptr ? fs::path(env) : fs::path(ZORVEL_FIXTURES_DIR);
    for (const std::string& entry : fixtures) {
        // "target=source", or a name kept as it is.
        const std::size_t eq = entry.find('=');
        const std::string target = entry.substr(0, eq);
        const std::string source = eq == std::string::npos ? entry : entry.substr(eq + 1);
        std::error_code ec;
        fs::copy_file(generated / source, fs::path(tmpl) / target, ec);
        if (ec) fs::copy_file(fs::path(ZORVEL_DATA_DIR) / source, fs::path(tmpl) / target, ec);
        if (ec) finding("fixture " + source + " not found");
    }
    fs::current_path(tmpl);
    // The folder goes with the process.
    static const std::string folder = tmpl;
    std::atexit([] {
        std::error_code ec;
        fs::remove_all(folder, ec);
    });
    for (const auto& e : fs::directory_iterator(".")) initial_files()[e.path().filename().string()] = e.file_size();
}

void write_file(const std::string& name, const std::uint8_t* data, std::size_t size) {
    std::ofstream f(name, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!f) finding("could not write " + name);
}

void restore_work_folder() {
    std::vector<fs::path> extra;
    for (const auto& e : fs::directory_iterator(".")) {
        const std::string name = e.path().filename().string();
        const auto it = initial_files().find(name);
        if (it == initial_files().end()) {
            extra.push_back(e.path());
            continue;
        }
        std::error_code ec;
        if (fs::file_size(e.path(), ec) != it->second) finding("the input " + name + " was written");
    }
    for (const fs::path& p : extra) {
        std::error_code ec;
        fs::remove_all(p, ec);
    }
    for (const auto& [name, size] : initial_files())
        if (!fs::exists(name)) finding("the input " + name + " was removed");
}

std::vector<std::string> folder_files() {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(".")) names.push_back(e.path().filename().string());
    return names;
}

void require_no_output_left(const std::vector<std::string>& before) {
    for (const std::string& name : folder_files())
        if (std::find(before.begin(), before.end(), name) == before.end())
            finding("an error end left the output " + name);
}

void require_no_hdf5_ids() {
    const ssize_t open = H5Fget_obj_count(H5F_OBJ_ALL, H5F_OBJ_ALL);
    if (open > 0) finding(std::to_string(open) + " HDF5 id(s) left open after a run");
}

SilentRun::SilentRun() {
    Silence& s = silence();
    s.out.str({});
    s.in.str({});
    s.in.clear();
    s.capture = std::make_unique<util::ConsoleCapture>(s.out, s.in);
    util::FILEUNITINIT(1000);
}

SilentRun::~SilentRun() {
    util::FILEUNITINIT(1000);  // drops (and closes) every file still on a unit
    silence().capture.reset();
}

}  // namespace zorvel::fuzz
