#pragma once
// How much data an HDF5 array of an ".xmdf" input really stores. An array may declare
// dimensions far beyond its stored bytes (chunks never written read as fill values),
// and compression makes real data smaller than what it unpacks to. Before a count
// leaves the binding or a read reaches HDF5, what the array declares (and the chunk a
// read unpacks) is compared with the most that its stored bytes can unpack to:
//   compact, contiguous  the stored bytes (no more than the file's size)
//   chunked              the stored chunks times the bytes of a chunk, and, for filters of
//                        known reach, no more than the stored bytes times their largest
//                        ratio (deflate 1032, n-bit 8 per byte of an element, shuffle and
//                        checksum 1); szip, scale-offset and filters of other libraries
//                        can reach further, so only the chunk count bounds them
//   virtual, external    nothing (their data lies in other files)
// The width of an array's numbers is checked as well: a reader converts the elements it
// reads through a buffer of their declared width, and a damaged type may declare gigabytes
// for one number.

#include <hdf5.h>

#include <cstddef>
#include <cstdint>

namespace zorvel::results::xmdf::h5 {

// The widest number that a reader takes: 64 bits.
inline constexpr std::size_t kWidestNumber = 8;

// True when the array's elements are numbers (integers or reals) wider than kWidestNumber.
bool number_too_wide(hid_t dataset);

// What an array that stores no timestep yet may declare for one, nothing stored behind
// it: such an array is only counted, never read, and a run still writing leaves them.
inline constexpr std::uint64_t kNoStepRowBytes = std::uint64_t{16} << 20;
// What any other array may declare with nothing stored behind it: a little, for small
// arrays that their writer never filled.
inline constexpr std::uint64_t kUnbackedBytes = std::uint64_t{1} << 20;

// The most bytes of data that the array's stored bytes unpack to; 0 when unreadable.
std::uint64_t stored_data_bound(hid_t dataset, std::uint64_t file_size);

// True when the data that the array declares is backed. Its first dimension counts
// timesteps: with none, one timestep's worth must be no more than kNoStepRowBytes;
// otherwise all it declares, and one chunk of it, no more than kUnbackedBytes or than
// what its stored bytes unpack to.
bool declared_data_backed(hid_t dataset, std::uint64_t file_size);

}  // namespace zorvel::results::xmdf::h5
