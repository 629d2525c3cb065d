#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <numeric>
#include <vector>

#include "util/file_io.hpp"
#include "unit_fixture.hpp"

namespace zorvel::util {
namespace {

using FileIo = testing::InTempFolder;

// Writes and reads across several buffer lengths, mixing single characters, small
// writes and writes larger than the buffer, as the format writers and readers do.
TEST_F(FileIo, BytesSurviveTheBufferBoundaries) {
    std::vector<std::uint32_t> big(File::kBufferSize / 2);  // 2 MiB in one write
    std::iota(big.begin(), big.end(), 7u);
    {
        auto out = File::open("big.bin", FileKind::bytes_out);
        ASSERT_TRUE(out);
        for (std::size_t i = 0; i < File::kBufferSize - 3; ++i) out->put(static_cast<char>(i));
        out->write("abcdef", 6);
        out->write(big.data(), big.size() * sizeof big[0]);
        out->write("\nlast line\r\n", 12);
        EXPECT_EQ(out->position(), File::kBufferSize + 3 + big.size() * 4 + 12);
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
    std::string line;
    ASSERT_TRUE(in->read_line(line));
    EXPECT_EQ(line, "");
    ASSERT_TRUE(in->read_line(line));
    EXPECT_EQ(line, "last line");
    EXPECT_TRUE(in->at_end());
    EXPECT_FALSE(in->read(c, 1));
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
