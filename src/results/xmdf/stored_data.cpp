// How much data an HDF5 array really stores (see stored_data.hpp).

#include "results/xmdf/stored_data.hpp"

#include <algorithm>
#include <limits>

#include "results/xmdf/handles.hpp"

namespace zorvel::results::xmdf::h5 {

namespace {

constexpr std::uint64_t kUnbounded = std::numeric_limits<std::uint64_t>::max();
// Deflate codes 258 repeated bytes in no fewer than 2 bits, so one stored byte never
// unpacks to more than 1032.
constexpr std::uint64_t kDeflateRatio = 1032;

// a times b, held at kUnbounded instead of wrapping.
std::uint64_t times(std::uint64_t a, std::uint64_t b) {
    if (a != 0 && b > kUnbounded / a) return kUnbounded;
    return a * b;
}

// The bytes of one element of the array's type in the file; 0 when unreadable.
std::uint64_t element_bytes(hid_t dataset) {
    const TypeHandle type(H5Dget_type(dataset));
    return type ? H5Tget_size(type.get()) : 0;
}

// The bytes of one chunk; 0 for an array that is not chunked.
std::uint64_t chunk_bytes(hid_t dcpl, std::uint64_t element) {
    hsize_t dims[H5S_MAX_RANK];
    const int rank = H5Pget_chunk(dcpl, H5S_MAX_RANK, dims);
    if (rank <= 0) return 0;
    std::uint64_t bytes = element;
    for (int i = 0; i < rank; ++i) bytes = times(bytes, dims[i]);
    return bytes;
}

// The most that the array's filters together multiply its stored bytes by; kUnbounded
// when one of them has no known bound.
std::uint64_t filter_ratio(hid_t dcpl, std::uint64_t element) {
    const int n = H5Pget_nfilters(dcpl);
    if (n < 0) return kUnbounded;
    std::uint64_t ratio = 1;
    for (int i = 0; i < n; ++i) {
        unsigned flags = 0;
        std::size_t n_values = 0;
        unsigned config = 0;
        switch (H5Pget_filter2(dcpl, static_cast<unsigned>(i), &flags, &n_values, nullptr, 0, nullptr, &config)) {
            case H5Z_FILTER_DEFLATE: ratio = times(ratio, kDeflateRatio); break;
            case H5Z_FILTER_SHUFFLE:
            case H5Z_FILTER_FLETCHER32: break;
            case H5Z_FILTER_NBIT: ratio = times(ratio, 8 * std::max<std::uint64_t>(element, 1)); break;
            default: return kUnbounded;
        }
    }
    return ratio;
}

}  // namespace

bool number_too_wide(hid_t dataset) {
    const TypeHandle type(H5Dget_type(dataset));
    if (!type) return false;
    const H5T_class_t cls = H5Tget_class(type.get());
    return (cls == H5T_INTEGER || cls == H5T_FLOAT) && H5Tget_size(type.get()) > kWidestNumber;
}

std::uint64_t stored_data_bound(hid_t dataset, std::uint64_t file_size) {
    const PlistHandle dcpl(H5Dget_create_plist(dataset));
    if (!dcpl) return 0;
    const std::uint64_t stored = std::min<std::uint64_t>(H5Dget_storage_size(dataset), file_size);
    switch (H5Pget_layout(dcpl.get())) {
        case H5D_COMPACT: return stored;
        case H5D_CONTIGUOUS: return H5Pget_external_count(dcpl.get()) == 0 ? stored : 0;
        case H5D_CHUNKED: break;
        default: return 0;
    }
    // The whole extent selected (this HDF5 takes no H5S_ALL here).
    const SpaceHandle space(H5Dget_space(dataset));
    hsize_t chunks = 0;
    if (!space || H5Dget_num_chunks(dataset, space.get(), &chunks) < 0) return 0;
    const std::uint64_t element = element_bytes(dataset);
    const std::uint64_t in_chunks = times(chunks, chunk_bytes(dcpl.get(), element));
    const std::uint64_t ratio = filter_ratio(dcpl.get(), element);
    return ratio == kUnbounded ? in_chunks : std::min(in_chunks, times(stored, ratio));
}

bool declared_data_backed(hid_t dataset, std::uint64_t file_size) {
    const SpaceHandle space(H5Dget_space(dataset));
    const PlistHandle dcpl(H5Dget_create_plist(dataset));
    if (!space || !dcpl) return false;
    hsize_t dims[H5S_MAX_RANK];
    const int rank = H5Sget_simple_extent_dims(space.get(), dims, nullptr);
    if (rank < 0) return false;
    const std::uint64_t element = element_bytes(dataset);
    std::uint64_t row = element;
    for (int i = 1; i < rank; ++i) row = times(row, dims[i]);
    if (rank > 0 && dims[0] == 0) return row <= kNoStepRowBytes;
    const std::uint64_t declared = rank > 0 ? times(row, dims[0]) : element;
    const std::uint64_t needed = std::max(declared, chunk_bytes(dcpl.get(), element));
    return needed <= kUnbackedBytes || needed <= stored_data_bound(dataset, file_size);
}

}  // namespace zorvel::results::xmdf::h5
