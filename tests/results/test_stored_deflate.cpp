// The level-0 deflate stream against zlib itself: the same checksum, and a stream
// that zlib inflates back to the data, for sizes around every block and lane edge.

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <random>
#include <vector>

#include "results/xmdf/stored_deflate.hpp"

namespace xf = zorvel::results::xmdf;

namespace {

std::vector<unsigned char> random_bytes(std::size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::vector<unsigned char> data(n);
    for (auto& b : data) b = static_cast<unsigned char>(gen());
    return data;
}

}  // namespace

TEST(StoredDeflate, MatchesZlibChecksumAndInflatesBack) {
    for (const std::size_t n : {0u, 1u, 15u, 16u, 17u, 4095u, 4096u, 65535u, 65536u, 200000u, 3 * 65535u + 7}) {
        for (const bool all_high : {false, true}) {
            // All bytes 255 is the worst case for the lane sums.
            std::vector<unsigned char> data = all_high ? std::vector<unsigned char>(n, 255) : random_bytes(n, 7);
            EXPECT_EQ(xf::adler32_of(data.data(), n), adler32(1, data.data(), static_cast<uInt>(n))) << n;

            std::vector<unsigned char> stream(xf::stored_deflate_size(n) + 8, 0xEE);
            xf::stored_deflate(data.data(), n, stream.data());
            for (std::size_t k = xf::stored_deflate_size(n); k < stream.size(); ++k)
                ASSERT_EQ(stream[k], 0xEE) << "wrote past its size, n=" << n;
            std::vector<unsigned char> back(n + 1);
            uLongf back_size = static_cast<uLongf>(back.size());
            ASSERT_EQ(uncompress(back.data(), &back_size, stream.data(), static_cast<uLong>(xf::stored_deflate_size(n))),
                      Z_OK) << n;
            ASSERT_EQ(back_size, n);
            back.resize(n);
            EXPECT_EQ(back, data) << n;
        }
    }
}

TEST(StoredDeflate, WriterTakesBlocksOfAnySizeUpToTheLimit) {
    const std::vector<unsigned char> data = random_bytes(100000, 3);
    const std::size_t piece = 65528;
    std::vector<unsigned char> stream(xf::stored_deflate_size(data.size(), piece));
    xf::StoredDeflateWriter writer(stream.data());
    writer.block(data.data(), piece, false);
    writer.block(data.data() + piece, data.size() - piece, true);
    writer.finish();
    EXPECT_EQ(writer.size(), stream.size());
    std::vector<unsigned char> back(data.size());
    uLongf back_size = static_cast<uLongf>(back.size());
    ASSERT_EQ(uncompress(back.data(), &back_size, stream.data(), static_cast<uLong>(stream.size())), Z_OK);
    EXPECT_EQ(back, data);
}
