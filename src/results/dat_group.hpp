#pragma once
// Ordinary ".dat" records that follow one another, folded as a group: a block of nodes (and
// of cells) at a time through every record of the group, so that the running values of a
// block stay in the cache from record to record rather than going to memory and back once
// per record. The records are looked at in place; the reader then moves past each in turn
// with its console lines, so that the outcome and the lines are those of one at a time.
// Each record of a group keeps a few of its pages mapped while the group is folded (the
// kernel maps the page cache's large folios whole), so a group is kept small. Internal to
// the results subsystem.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "results/dat.hpp"
#include "results/dat_io.hpp"
#include "util/file_io.hpp"

namespace zorvel::results::dat_group {

inline constexpr std::size_t kSpan = std::size_t{48} << 20;    // bytes of the file a group spans at most
inline constexpr std::size_t kBlock = std::size_t{256} << 10;  // bytes of one record at a time

// One record of a group: its flags, its values and its time, in place.
struct Member {
    const std::byte* flags = nullptr;
    const std::byte* values = nullptr;
    float time = 0.0f;
};

// The records from the position on (at a record's flag byte), at most members.size() of
// them, that can be folded as a group: each carries its own flags, has a time for which
// ordinary holds, lies whole in the file and is followed by the card of a further record
// that begins in the file. None when fewer than two are.
template <typename Ordinary>
std::size_t gather(util::File& f, std::size_t nc, std::size_t nv, std::span<Member> members, Ordinary&& ordinary) {
    const std::size_t record = 5 + nc + nv + 4;  // flag byte, time, flags, values, next card
    const std::uint64_t at = f.position();
    if (record > kSpan / 2 || f.size() <= at) return 0;
    const std::size_t count = static_cast<std::size_t>(
        std::min<std::uint64_t>(std::min(members.size(), kSpan / record), (f.size() - at) / record));
    if (count < 2) return 0;
    const std::byte* p = f.peek(at, count * record);
    if (p == nullptr) return 0;
    std::size_t g = 0;
    for (; g < count; ++g) {
        const std::byte* r = p + g * record;
        const float t = dat_io::load_real(r + 1);
        std::int32_t card = 0;
        std::memcpy(&card, r + 5 + nc + nv, sizeof card);
        const bool whole = at + (g + 1) * record < f.size();
        if (static_cast<std::int8_t>(r[0]) != 1 || !ordinary(t) || card != kCardTimeRecord || !whole) break;
        members[g] = Member{r + 5, r + 5 + nc, t};
    }
    return g >= 2 ? g : 0;
}

// Hands the bytes of one part of every member (part: Member::flags or Member::values;
// bytes long, blocks a whole number of unit bytes) to take(offset, length) a block at a
// time, the block of every member mapped in before and let go after.
template <typename Take>
void by_blocks(util::File& f, std::span<const Member> members, const std::byte* Member::*part, std::size_t bytes,
               std::size_t unit, Take&& take) {
    const std::size_t block = std::max(kBlock / unit, std::size_t{1}) * unit;
    for (std::size_t off = 0; off < bytes; off += block) {
        const std::size_t len = std::min(block, bytes - off);
        for (const Member& m : members) f.map_in(m.*part + off, len);
        take(off, len);
        for (const Member& m : members) f.let_go(m.*part + off, len);
    }
}

}  // namespace zorvel::results::dat_group
