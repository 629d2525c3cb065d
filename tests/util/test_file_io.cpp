#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <numeric>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "util/file_io.hpp"
#include "unit_fixture.hpp"

namespace zorvel::util {
namespace {

using FileIo = testing::InTempFolder;

constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;

// A sparse file whose only data are stamps: at each stamp's offset, the offset itself
// as 8 bytes. Any stretch read back is checked against the stamps it covers, so bytes
// from the wrong place are caught; the rest must be zeros.
class StampedFile {
public:
    StampedFile(const std::string& name, std::uint64_t size, std::vector<std::uint64_t> extra = {}) : size_(size) {
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        EXPECT_GE(fd, 0);
        EXPECT_EQ(::ftruncate(fd, static_cast<off_t>(size)), 0);
        for (std::uint64_t at = 32; at + 8 <= size; at += 64 * 1024) extra.push_back(at);
        for (std::uint64_t at : extra) {
            EXPECT_EQ(::pwrite(fd, &at, 8, static_cast<off_t>(at)), 8);
            stamps_[at] = at;
        }
        ::close(fd);
    }
    std::uint64_t size() const { return size_; }

    // Checks n bytes read back from offset at.
    void expect_bytes(const std::byte* p, std::uint64_t at, std::uint64_t n) const {
        ASSERT_NE(p, nullptr);
        std::uint64_t checked = 0;
        for (auto it = stamps_.lower_bound(at >= 7 ? at - 7 : 0); it != stamps_.end() && it->first < at + n; ++it) {
            for (std::uint64_t k = 0; k < 8; ++k) {
                const std::uint64_t o = it->first + k;
                if (o < at || o >= at + n) continue;
                ASSERT_EQ(static_cast<std::uint8_t>(p[o - at]), static_cast<std::uint8_t>(it->second >> (8 * k)))
                    << "offset " << o;
                ++checked;
            }
        }
        if (checked == 0 && n > 0) {
            EXPECT_EQ(p[0], std::byte{0}) << "offset " << at;
        }
    }

private:
    std::uint64_t size_;
    std::map<std::uint64_t, std::uint64_t> stamps_;
};

// A memory figure of the process in KiB from /proc/self/status (key with its colon, as
// "VmRSS:" for all it has resident, "RssFile:" for its file-backed pages); -1 when missing.
long status_kib(const std::string& key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.starts_with(key)) return std::stol(line.substr(key.size()));
    return -1;
}

// Writes and reads across several buffer lengths, mixing single characters, small
// writes, writes of about a quarter of the buffer (the least that bypasses it) and writes
// larger than the buffer, as the format writers and readers do.
TEST_F(FileIo, BytesSurviveTheBufferBoundaries) {
    std::vector<std::uint32_t> big(File::kBufferSize / 2);  // 2 MiB in one write
    std::iota(big.begin(), big.end(), 7u);
    const std::string quarter(File::kBufferSize / 4, 'q');
    const std::string under(File::kBufferSize / 4 - 1, 'u');
    {
        auto out = File::open("big.bin", FileKind::bytes_out);
        ASSERT_TRUE(out);
        for (std::size_t i = 0; i < File::kBufferSize - 3; ++i) out->put(static_cast<char>(i));
        out->write("abcdef", 6);
        out->write(big.data(), big.size() * sizeof big[0]);
        out->write(quarter);
        out->put('|');
        out->write(under);
        out->write(quarter);
        out->write("\nlast line\r\n", 12);
        EXPECT_EQ(out->position(), File::kBufferSize + 3 + big.size() * 4 + 3 * quarter.size() + 12);
        EXPECT_TRUE(out->close());
    }
    auto in = File::open("big.bin", FileKind::bytes_in);
    ASSERT_TRUE(in);
    ASSERT_TRUE(in->skip(File::kBufferSize - 4));
    char c[7];
    ASSERT_TRUE(in->read(c, 7));
    EXPECT_EQ(std::string(c + 1, 6), "abcdef");
    std::vector<std::uint32_t> back(big.size());
    ASSERT_TRUE(in->read(back.data(), back.size() * 4));
    EXPECT_EQ(back, big);
    std::string middle(3 * quarter.size(), '\0');
    ASSERT_TRUE(in->read(middle.data(), middle.size()));
    EXPECT_EQ(middle, quarter + "|" + under + quarter);
    std::string line;
    ASSERT_TRUE(in->read_line(line));
    EXPECT_EQ(line, "");
    ASSERT_TRUE(in->read_line(line));
    EXPECT_EQ(line, "last line");
    EXPECT_TRUE(in->at_end());
    EXPECT_FALSE(in->read(c, 1));
}

// Text lines are bounded: a line of exactly the bound (with or without "\r\n") is read,
// one byte more ends the run naming the file and the line, and a device that never
// ends a line (/dev/zero) ends the same way after one bound's worth of reading.
TEST_F(FileIo, ALineLongerThanTheBoundEndsTheRun) {
    const std::string longest(File::kMaxLine, 'a');
    make_file("ok.txt", "first\n" + longest + "\r\n" + longest);
    auto ok = File::open("ok.txt", FileKind::text_in);
    ASSERT_TRUE(ok);
    std::string line;
    ASSERT_TRUE(ok->read_line(line));
    ASSERT_TRUE(ok->read_line(line));
    EXPECT_EQ(line.size(), File::kMaxLine);
    ASSERT_TRUE(ok->read_line(line));
    EXPECT_EQ(line.size(), File::kMaxLine);
    EXPECT_EQ(ok->lines_read(), 3u);
    EXPECT_FALSE(ok->read_line(line));
    auto in_place = File::open("ok.txt", FileKind::text_in);
    std::string_view view;
    ASSERT_TRUE(in_place->next_line(view));
    ASSERT_TRUE(in_place->next_line(view));
    EXPECT_EQ(view.size(), File::kMaxLine);
    ASSERT_TRUE(in_place->next_line(view));
    EXPECT_EQ(view.size(), File::kMaxLine);
    EXPECT_FALSE(in_place->next_line(view));

    struct Case {
        const char* name;
        std::string bytes;
        const char* message;
    };
    const Case cases[] = {
        {"over.2dm", "MESH2D\nND 1\n" + longest + "b\n", "ERROR - Line too long in file: \"over.2dm\", line 3"},
        {"no_end.sup", longest + "bb", "ERROR - Line too long in file: \"no_end.sup\", line 1"},
        {"/dev/zero", "", "ERROR - Line too long in file: \"/dev/zero\", line 1"},
    };
    for (const Case& c : cases) {
        for (const bool whole : {true, false}) {
            SCOPED_TRACE(std::string(c.name) + (whole ? " read whole" : " in place"));
            if (!c.bytes.empty()) make_file(c.name, c.bytes);
            auto in = File::open(c.name, FileKind::text_in);
            ASSERT_TRUE(in);
            testing::Dialogue console("");
            EXPECT_EQ(end_status([&] {
                          while (whole ? in->read_line(line) : in->next_line(view)) {
                          }
                      }),
                      1);
            EXPECT_NE(console.text().find(std::string("\n") + c.message + "\n"), std::string::npos)
                << console.text();
            EXPECT_LE(line.capacity(), 2 * File::kMaxLine + 64);
        }
    }
}

// Lines handed out in place are the lines read whole, wherever they lie against the
// buffer: short and empty lines, "\r\n" ends, lines across a buffer's end, lines nearly as
// long as the bound and a last line without its end.
TEST_F(FileIo, LinesInPlaceAreTheLinesReadWhole) {
    std::string text;
    for (int i = 0; i < 40000; ++i) {
        text += std::string(static_cast<std::size_t>(i % 97), static_cast<char>('a' + i % 26));
        text += i % 3 == 0 ? "\r\n" : "\n";
        if (i % 10000 == 5) text += std::string(File::kMaxLine - 5, 'x') + "\n\n";
    }
    text += "last";
    make_file("lines.txt", text);
    auto whole = File::open("lines.txt", FileKind::text_in);
    auto in_place = File::open("lines.txt", FileKind::text_in);
    ASSERT_TRUE(whole && in_place);
    std::string line;
    std::string_view view;
    std::size_t lines = 0;
    std::string last;
    while (whole->read_line(line)) {
        ASSERT_TRUE(in_place->next_line(view)) << "line " << lines + 1;
        ASSERT_EQ(view, line) << "line " << lines + 1;
        last = line;
        ++lines;
    }
    EXPECT_FALSE(in_place->next_line(view));
    EXPECT_EQ(last, "last");
    EXPECT_EQ(in_place->lines_read(), lines);
    EXPECT_EQ(lines, 40000u + 8u + 1u);
}

// A read at an offset reads bytes anywhere in a regular file without moving the position:
// reads, views and skips go on from where they stood. Bytes beyond the end are never read,
// and a pipe cannot be read at an offset.
TEST_F(FileIo, ReadsAtAnOffsetDoNotMoveOn) {
    const std::uint64_t far_at = 40 * kMiB;
    const StampedFile file("at.bin", 2 * far_at + 333, {far_at - 5});
    const std::uint64_t size = file.size();
    auto in = File::open("at.bin", FileKind::bytes_in);
    ASSERT_TRUE(in);
    std::vector<std::byte> got(3 * kMiB);
    ASSERT_TRUE(in->read(got.data(), 13));
    ASSERT_TRUE(in->read_at(far_at - 100, got.data(), 3 * kMiB));
    file.expect_bytes(got.data(), far_at - 100, 3 * kMiB);
    EXPECT_EQ(in->position(), 13u);
    file.expect_bytes(in->view(8), 13, 8);
    ASSERT_TRUE(in->skip(far_at - 21));
    ASSERT_TRUE(in->read_at(0, got.data(), 64));
    file.expect_bytes(got.data(), 0, 64);
    ASSERT_TRUE(in->read(got.data(), 16));
    file.expect_bytes(got.data(), far_at, 16);
    ASSERT_TRUE(in->read_at(size - 10, got.data(), 10));
    file.expect_bytes(got.data(), size - 10, 10);
    EXPECT_FALSE(in->read_at(size - 10, got.data(), 11));
    EXPECT_FALSE(in->read_at(size + 1, got.data(), 1));
    EXPECT_EQ(in->position(), far_at + 16);

    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ASSERT_EQ(::write(fds[1], "abc", 3), 3);
    ::close(fds[1]);
    auto pipe = File::open("/dev/fd/" + std::to_string(fds[0]), FileKind::bytes_in);
    ASSERT_TRUE(pipe);
    EXPECT_FALSE(pipe->read_at(0, got.data(), 1));
    ::close(fds[0]);
}

// Views, reads and skips in one walk over a file many times the read buffer: views served
// from the read buffer, views read past it, a view larger than any before, a return to
// the start and the end of the file.
TEST_F(FileIo, ViewsFollowTheFileInAnyMixOfCalls) {
    const std::uint64_t window = 40 * kMiB;
    const StampedFile file("big.bin", 3 * window + 777, {window - 5, 2 * window - 3});
    auto in = File::open("big.bin", FileKind::bytes_in);
    ASSERT_TRUE(in);
    enum Op { view, read, skip_to, rewind };
    struct Step {
        Op op;
        std::uint64_t n;  // bytes, or the offset to skip to
    };
    const std::uint64_t size = file.size();
    const std::vector<Step> steps = {
        {read, 13},                   // fills the read buffer
        {view, 100},                  // served from the buffer
        {view, 3 * kMiB},             // past the read buffer
        {read, 8},
        {skip_to, window - 7},
        {read, 16},
        {view, 8 * kMiB},
        {view, window + 16 * kMiB},   // larger than any view before
        {read, 2 * kMiB},             // larger than the read buffer
        {rewind, 0},
        {view, 64 * 1024 + 8},        // back at the start
        {skip_to, 2 * window - 8},
        {view, 16},
        {read, 5},
        {skip_to, size - 10},
        {view, 10},                   // the last bytes
    };
    std::uint64_t pos = 0;
    std::vector<std::byte> got;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        SCOPED_TRACE(i);
        const Step& s = steps[i];
        switch (s.op) {
            case view:
                file.expect_bytes(in->view(s.n), pos, s.n);
                pos += s.n;
                break;
            case read:
                got.assign(s.n, std::byte{0xEE});
                ASSERT_TRUE(in->read(got.data(), s.n));
                file.expect_bytes(got.data(), pos, s.n);
                pos += s.n;
                break;
            case skip_to:
                ASSERT_TRUE(in->skip(s.n - pos));
                pos = s.n;
                break;
            case rewind:
                ASSERT_TRUE(in->rewind());
                pos = 0;
                break;
        }
        ASSERT_EQ(in->position(), pos);
        EXPECT_EQ(in->at_end(), pos == size);
    }
    // Past the end: nothing, the position at the end, whichever way it is asked.
    EXPECT_EQ(in->view(1), nullptr);
    EXPECT_EQ(in->position(), size);
    ASSERT_TRUE(in->rewind());
    ASSERT_TRUE(in->skip(size - 4));
    EXPECT_EQ(in->view(8), nullptr);
    EXPECT_EQ(in->position(), size);
    std::byte b[2];
    EXPECT_FALSE(in->read(b, 1));
    EXPECT_FALSE(in->skip(1));
    EXPECT_TRUE(in->close());
}

// Views of a file many times their length keep about one view's memory resident, whichever
// way the bytes come in: no page of the file stays in the process behind the reader.
TEST_F(FileIo, ViewsOfALongFileKeepOneViewResident) {
    const StampedFile file("long.bin", 192 * kMiB);
    auto in = File::open("long.bin", FileKind::bytes_in);
    ASSERT_TRUE(in);
    ASSERT_NE(in->view(kMiB), nullptr);  // the view buffer is made
    const long before = status_kib("VmRSS:");
    ASSERT_GE(before, 0);
    long most = before;
    std::uint64_t sum = 0;
    for (std::uint64_t at = kMiB; at < file.size(); at += kMiB) {
        const std::byte* p = in->view(kMiB);
        ASSERT_NE(p, nullptr);
        for (std::uint64_t k = 0; k < kMiB; k += 4096) sum += static_cast<std::uint8_t>(p[k + 34]);  // every page
        most = std::max(most, status_kib("VmRSS:"));
    }
    EXPECT_GT(sum, 0u);
    EXPECT_LT(most - before, 16 * 1024) << "KiB resident while reading a file of " << file.size() / kMiB << " MiB";
    EXPECT_LT(status_kib("RssFile:"), 16 * 1024);
}

// Inputs that are no regular file (here a pipe) are viewed through a buffer of the File too.
TEST_F(FileIo, ViewsOfAPipeComeFromABuffer) {
    ASSERT_EQ(::mkfifo("pipe", 0644), 0);
    const std::size_t total = 3 * kMiB + 5;
    const auto byte_at = [](std::uint64_t o) { return static_cast<std::byte>((o * 7 + o / 4096) & 0xFF); };
    std::thread writer([&] {
        std::vector<std::byte> data(total);
        for (std::size_t o = 0; o < total; ++o) data[o] = byte_at(o);
        const int fd = ::open("pipe", O_WRONLY);
        for (std::size_t done = 0; fd >= 0 && done < total;) {
            const ssize_t put = ::write(fd, data.data() + done, std::min<std::size_t>(total - done, 100000));
            if (put <= 0) break;
            done += static_cast<std::size_t>(put);
        }
        if (fd >= 0) ::close(fd);
    });
    auto in = File::open("pipe", FileKind::bytes_in);
    ASSERT_TRUE(in);
    const auto expect_from = [&](const std::byte* p, std::uint64_t at, std::uint64_t n) {
        ASSERT_NE(p, nullptr);
        for (std::uint64_t k = 0; k < n; ++k) ASSERT_EQ(p[k], byte_at(at + k)) << "offset " << at + k;
    };
    std::byte four[4];
    ASSERT_TRUE(in->read(four, 4));
    expect_from(four, 0, 4);
    expect_from(in->view(2 * kMiB), 4, 2 * kMiB);
    expect_from(in->view(10), 4 + 2 * kMiB, 10);
    expect_from(in->view(kMiB - 14), 14 + 2 * kMiB, kMiB - 14);
    EXPECT_EQ(in->position(), 3 * kMiB);
    EXPECT_EQ(in->view(6), nullptr);  // five bytes are left
    EXPECT_TRUE(in->at_end());
    writer.join();
}

// An input that another program cuts short while it is read simply ends early: reads,
// views and reads at an offset past the new end give nothing, and the position stays
// within the file.
TEST_F(FileIo, AFileCutShortWhileReadEndsItsData) {
    const StampedFile file("shrinking.bin", 8 * kMiB);
    auto in = File::open("shrinking.bin", FileKind::bytes_in);
    ASSERT_TRUE(in);
    file.expect_bytes(in->view(4 * kMiB), 0, 4 * kMiB);
    ASSERT_EQ(::truncate("shrinking.bin", 5 * kMiB), 0);
    std::vector<std::byte> got(2 * kMiB);
    EXPECT_FALSE(in->read_at(4 * kMiB, got.data(), 2 * kMiB));
    ASSERT_TRUE(in->read_at(4 * kMiB, got.data(), kMiB));
    file.expect_bytes(got.data(), 4 * kMiB, kMiB);
    EXPECT_EQ(in->view(2 * kMiB), nullptr);
    EXPECT_LE(in->position(), 5 * kMiB);
    EXPECT_TRUE(in->at_end());
    EXPECT_FALSE(in->skip(1));
    EXPECT_FALSE(in->read(got.data(), 1));
}

TEST_F(FileIo, KeptFilesAreNotRemovedByADiscard) {
    make_file("kept.txt", "before");
    make_file("appended.txt", "before");
    auto kept = File::open("kept.txt", FileKind::text_out, Existing::keep, false);
    auto appended = File::open("appended.txt", FileKind::text_out, Existing::append, false);
    auto made = File::open("made.txt", FileKind::text_out, Existing::keep, false);
    ASSERT_TRUE(kept && appended && made);
    EXPECT_FALSE(kept->created());
    EXPECT_FALSE(appended->created());
    EXPECT_TRUE(made->created());
    appended->write(std::string(File::kBufferSize + 10, 'x'));  // partly on disk already
    kept->discard();
    appended->discard();
    made->discard();
    EXPECT_EQ(contents("kept.txt"), "before");
    EXPECT_EQ(contents("appended.txt"), "before");
    EXPECT_FALSE(std::filesystem::exists("made.txt"));
    EXPECT_FALSE(File::open("missing.txt", FileKind::bytes_out, Existing::require, true));
}

}  // namespace
}  // namespace zorvel::util
