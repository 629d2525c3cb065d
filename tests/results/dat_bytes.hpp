#pragma once
// Test support: ".dat" files packed byte by byte, independent of the code under
// test, and files put on pool units without the opener.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

#include <unistd.h>

#include "util/file_io.hpp"
#include "util/units.hpp"

namespace zorvel::results::testing {

// A ".dat" byte stream built item by item (little-endian).
class DatBytes {
public:
    DatBytes& i32(std::int32_t v) { return raw(&v, 4); }
    DatBytes& card(std::int32_t v) { return i32(v); }
    DatBytes& f32(float v) { return raw(&v, 4); }
    DatBytes& i8(std::int8_t v) { return raw(&v, 1); }
    DatBytes& name40(const std::string& name) {
        std::string field = name;
        field.resize(40, ' ');
        return raw(field.data(), 40);
    }
    // The header as a writer lays it out.
    DatBytes& header(std::int32_t nnodes, std::int32_t ncells, bool vector, const std::string& name) {
        card(3000).card(100).i32(3).card(110).i32(4).card(120).i32(1).card(vector ? 140 : 130);
        return card(170).i32(nnodes).card(180).i32(ncells).card(190).name40(name);
    }
    // A time record with its card; no flags when flags is empty (flag byte 0 unless given).
    DatBytes& record(float time, std::initializer_list<std::int8_t> flags, std::initializer_list<float> values) {
        return record(time, std::vector<std::int8_t>(flags), std::vector<float>(values));
    }
    DatBytes& record(float time, const std::vector<std::int8_t>& flags, const std::vector<float>& values) {
        card(200).i8(flags.empty() ? 0 : 1).f32(time);
        for (std::int8_t f : flags) i8(f);
        for (float v : values) f32(v);
        return *this;
    }
    DatBytes& end() { return card(210); }
    DatBytes& raw(const void* p, std::size_t n) {
        bytes_.append(static_cast<const char*>(p), n);
        return *this;
    }
    const std::string& bytes() const { return bytes_; }
    std::size_t size() const { return bytes_.size(); }
    // The stream without its last n bytes.
    DatBytes cut(std::size_t n) const {
        DatBytes d;
        d.bytes_ = bytes_.substr(0, bytes_.size() - n);
        return d;
    }

private:
    std::string bytes_;
};

// A fresh folder for one test's files, removed afterwards.
class TempDir {
public:
    TempDir() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        path_ = std::filesystem::temp_directory_path() /
                ("zorvel_" + std::string(info->test_suite_name()) + "_" + info->name() + "_" +
                 std::to_string(::getpid()));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempDir() { std::filesystem::remove_all(path_); }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    // Writes the bytes into the folder and gives the file's name.
    std::string write(const std::string& name, const DatBytes& d) const {
        std::ofstream(file(name), std::ios::binary) << d.bytes();
        return file(name);
    }

private:
    std::filesystem::path path_;
};

inline std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Opens the file on the first free pool unit and gives the unit.
inline int put_on_unit(const std::string& path, util::FileKind kind) {
    for (util::PoolEntry& p : util::unit_tables().pool) {
        if (p.open) continue;
        p.file = util::File::open(path, kind);
        EXPECT_NE(p.file, nullptr) << path;
        p.open = true;
        return p.unit;
    }
    ADD_FAILURE() << "no free unit";
    return 0;
}

inline int open_in(const std::string& path) { return put_on_unit(path, util::FileKind::bytes_in); }
inline int open_out(const std::string& path) { return put_on_unit(path, util::FileKind::bytes_out); }

// Closes the file on a unit (flushing an output) and frees the unit.
inline void close_unit(int unit) {
    for (util::PoolEntry& p : util::unit_tables().pool) {
        if (p.unit != unit || !p.open) continue;
        p.file->close();
        p.file.reset();
        p.open = false;
    }
}

}  // namespace zorvel::results::testing
