#pragma once
// Small reads and writes of HDF5 objects that the XMDF binding is built from:
// text and integer attributes, one-value datasets, extents, the "Grouptype" role of
// a group and the walk that finds every dataset group of a file. Every routine
// reports failure by its result; only std::bad_alloc can leave one, and the
// binding's edge catches it.

#include <hdf5.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zorvel::results::xmdf::h5 {

inline constexpr const char* kGroupType = "Grouptype";
inline constexpr const char* kGeneric = "Generic";
inline constexpr const char* kScalarRole = "DATASET SCALAR";
inline constexpr const char* kVectorRole = "DATASET VECTOR";

// What a group's "Grouptype" attribute makes of it.
enum class GroupRole { other, scalar, vector };

// The shape of an HDF5 dataset, up to rank 3.
struct Extent {
    int rank = 0;
    hsize_t dims[3] = {0, 0, 0};
};

// The full paths (no leading "/") of a file's dataset groups, depth first in name order.
struct DatasetPaths {
    std::vector<std::string> scalars;
    std::vector<std::string> vectors;
};

// The text of a string attribute, cut at its first NUL and without trailing blanks;
// nullopt when the attribute is missing, not a single text, or unreadable.
std::optional<std::string> read_text_attribute(hid_t obj, const char* name);
// Stores a NUL-terminated fixed-length text attribute.
bool write_text_attribute(hid_t obj, const char* name, std::string_view text);
// Stores a 32-bit integer attribute.
bool write_int_attribute(hid_t obj, const char* name, std::int32_t value);
// A single integer attribute; nullopt when missing, not an integer or wider than 64 bits.
std::optional<std::int32_t> read_int_attribute(hid_t obj, const char* name);

// Stores a NUL-terminated fixed-length text as a dataset of one element.
bool write_text_dataset(hid_t loc, const char* name, std::string_view text);
// Stores one 32-bit real as a dataset of one element.
bool write_float_dataset(hid_t loc, const char* name, float value);
// The value of an open dataset that holds exactly one number; nullopt otherwise.
std::optional<float> read_single_float(hid_t dataset);

// True when a link of that name exists directly in the group.
bool link_exists(hid_t loc, const char* name);
// The dataset's current shape; false when unreadable or of rank above 3.
bool extent_of(hid_t dataset, Extent& extent);
// True when the dataset's element type is of that class.
bool type_class_is(hid_t dataset, H5T_class_t cls);

// The role that the group's "Grouptype" attribute gives it.
GroupRole role_of(hid_t group);
// Where an object lies in its file, the same through every link to it; empty when unknown.
std::string object_place(hid_t object);

// How a walk over a file's groups ended: listed, failed, or stopped because its paths
// would hold more bytes than the bound.
enum class WalkEnd { done, failed, too_large };

// Walks the whole file, each group once however many links lead to it. It stops with
// too_large when the paths kept (each with one byte more), or the path of one group,
// would exceed max_bytes.
WalkEnd list_dataset_groups(hid_t file, std::uint64_t max_bytes, DatasetPaths& paths);

}  // namespace zorvel::results::xmdf::h5
