#pragma once
// Ordinary ".dat" records that follow one another, folded as a group: a block of nodes (and
// of cells) at a time through every record of the group, so that the running values of a
// block stay in the cache from record to record rather than going to memory and back once
// per record. The block of every record is read into the fold buffer (dat_io::fold_buffer),
// where it is folded while it is still in the cache; the reader then moves past each record
// in turn with its console lines, so that the outcome and the lines are those of one at a
// time. Internal to the results subsystem.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "results/dat.hpp"
#include "results/dat_io.hpp"
#include "util/file_io.hpp"

namespace zorvel::results::dat_group {

// Most records in a group.
inline constexpr std::size_t kMost = 4;
// Bytes of one record's block: the blocks of a whole group and the running values of a
// block stay within the processor's cache.
inline constexpr std::size_t kBlock = std::size_t{256} << 10;
static_assert(kMost * kBlock <= dat_io::kFoldBytes);

// One record of a group: where its flags and its values begin in the file, and its time.
struct Member {
    std::uint64_t flags = 0;
    std::uint64_t values = 0;
    float time = 0.0f;
};

// The records from the position on (at a record's flag byte), at most members.size() of
// them, that can be folded as a group: each carries its own flags, has a time for which
// ordinary holds, lies whole in the file and is followed by the card of a further record
// that begins in the file. None when fewer than two are.
template <typename Ordinary>
std::size_t gather(util::File& f, std::size_t nc, std::size_t nv, std::span<Member> members, Ordinary&& ordinary) {
    const std::uint64_t record = 5 + std::uint64_t{nc} + nv + 4;  // flag byte, time, flags, values, next card
    const std::uint64_t at = f.position();
    if (f.size() <= at) return 0;
    const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(members.size(), (f.size() - at) / record));
    if (count < 2) return 0;
    std::size_t g = 0;
    for (; g < count; ++g) {
        const std::uint64_t r = at + g * record;
        std::byte head[5];
        std::int32_t card = 0;
        if (!f.read_at(r, head, sizeof head) || !f.read_at(r + 5 + nc + nv, &card, sizeof card)) break;
        const float t = dat_io::load_real(head + 1);
        const bool whole = r + record < f.size();
        if (static_cast<std::int8_t>(head[0]) != 1 || !ordinary(t) || card != kCardTimeRecord || !whole) break;
        members[g] = Member{r + 5, r + 5 + nc, t};
    }
    return g >= 2 ? g : 0;
}

// Hands the bytes of one part of every member (part: Member::flags or Member::values;
// bytes long, blocks a whole number of unit bytes) to take(blocks, offset, length) a block
// at a time, blocks[k] the block of member k as read into the fold buffer.
template <typename Take>
void by_blocks(util::File& f, std::span<const Member> members, std::uint64_t Member::*part, std::size_t bytes,
               std::size_t unit, Take&& take) {
    if (members.size() > kMost) return;
    const std::size_t block = std::max(kBlock / unit, std::size_t{1}) * unit;
    std::byte* buffer = dat_io::fold_buffer();
    std::array<const std::byte*, kMost> blocks{};
    for (std::size_t off = 0; off < bytes; off += block) {
        const std::size_t len = std::min(block, bytes - off);
        for (std::size_t k = 0; k < members.size(); ++k) {
            std::byte* to = buffer + k * block;
            dat_io::read_at(f, members[k].*part + off, to, len);
            blocks[k] = to;
        }
        take(std::span<const std::byte* const>(blocks.data(), members.size()), off, len);
    }
}

}  // namespace zorvel::results::dat_group
