#pragma once
// Operations on whole result records: making a record, folding one record into a
// running maximum or minimum, and the check that every allocation passes through.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <span>
#include <stdexcept>
#include <vector>

#include "results/mesh_2dm.hpp"
#include "results/res_type.hpp"

namespace zorvel::results {

// A fresh record whose arrays hold nnodes nodes and ncells cells (none for a
// negative count); its counts stay 0. Ends the run when memory runs out.
RES_TYPE NEW_RES(std::int32_t ncells, std::int32_t nnodes);

// Ends the run with the out-of-memory message when an allocation status is not 0.
void CHECK_ALLOC(std::int32_t status);

// Makes an array of n entries equal to value (default entries unless given; none for
// n <= 0) and gives the allocation status for CHECK_ALLOC: 0 when it was made, 1 when
// memory ran out.
template <typename T>
std::int32_t allocate_array(std::vector<T>& array, std::int64_t n, const T& value = T{}) noexcept {
    try {
        array.assign(n > 0 ? static_cast<std::size_t>(n) : 0, value);
        return 0;
    } catch (const std::bad_alloc&) {
        return 1;
    } catch (const std::length_error&) {
        return 1;
    }
}

// Makes a zeroed array n entries (none for n <= 0), each value; the status for CHECK_ALLOC.
// Entries of value 0 are left as the zeroed pages they come in, untouched.
template <typename T>
std::int32_t allocate_array(util::ZeroedArray<T>& array, std::int64_t n, const T& value = T{}) noexcept {
    const std::int32_t status = array.allocate(n);
    static constexpr T zero{};
    if (status == 0 && std::memcmp(&value, &zero, sizeof(T)) != 0) std::fill(array.begin(), array.end(), value);
    return status;
}

// The first n entries (none for n <= 0) of a work array kept from call to call, grown
// through CHECK_ALLOC when it holds fewer (a grown array starts value-initialised).
template <typename T>
std::span<T> work_array(std::vector<T>& array, std::int64_t n) {
    const std::size_t k = n > 0 ? static_cast<std::size_t>(n) : 0;
    if (array.size() < k) CHECK_ALLOC(allocate_array(array, n));
    return std::span<T>(array.data(), k);
}

// The size of an activity flag as a merge compares it: its absolute value as an
// unsigned byte (so -1 counts as wet, and -128 as 128).
inline std::uint8_t flag_magnitude(std::int8_t flag) {
    const auto u = static_cast<std::uint8_t>(flag);
    return std::min(u, static_cast<std::uint8_t>(0u - u));
}

// Folds record a into the running maximum b; where a wins, b's source becomes tag.
// With wet_only (water levels on a mesh whose cells are not its nodes) only the
// corners of a's wet cells are compared; a mesh without element records for a's
// cells cannot say which nodes are wet, and then every node is compared.
// Comparisons are strict: ties keep b, and a NaN never wins.
void RES_MAX(const RES_TYPE& a, RES_TYPE& b, const MESH_TYPE& mesh, bool wet_only, std::int32_t tag);
// Folds record a into the running minimum b, as RES_MAX does for the maximum.
void RES_MIN(const RES_TYPE& a, RES_TYPE& b, const MESH_TYPE& mesh, bool wet_only, std::int32_t tag);

}  // namespace zorvel::results
