// Small reads and writes of HDF5 objects for the XMDF binding (see h5_util.hpp).

#include "results/xmdf/h5_util.hpp"

#include <cstring>
#include <set>

#include "results/xmdf/handles.hpp"

namespace zorvel::results::xmdf::h5 {

namespace {

// Deeper than any real layout; stops a walk that a cycle of hard links would make endless.
constexpr int kMaxDepth = 64;

// Text as stored in a fixed or variable string: up to the first NUL, trailing blanks off.
std::string clean_text(const char* text, std::size_t size) {
    std::size_t n = 0;
    while (n < size && text[n] != '\0') ++n;
    while (n > 0 && text[n - 1] == ' ') --n;
    return std::string(text, n);
}

// True when the dataspace holds exactly one element (a scalar or a one-element array).
bool holds_one_element(hid_t space) {
    return space >= 0 && H5Sget_simple_extent_npoints(space) == 1;
}

// A fixed-length, NUL-terminated string type long enough for the text.
TypeHandle fixed_text_type(std::string_view text) {
    TypeHandle type(H5Tcopy(H5T_C_S1));
    if (!type || H5Tset_size(type.get(), text.size() + 1) < 0 ||
        H5Tset_strpad(type.get(), H5T_STR_NULLTERM) < 0)
        return TypeHandle();
    return type;
}

// Collects the names of the hard links of one group, in the iteration order.
herr_t collect_hard_link(hid_t, const char* name, const H5L_info_t* info, void* data) {
    try {
        if (info->type == H5L_TYPE_HARD) static_cast<std::vector<std::string>*>(data)->emplace_back(name);
        return 0;
    } catch (...) {
        return -1;
    }
}

// A walk over a file's groups: its bound, the path bytes kept so far, where each group
// met lies in the file, and the listing it makes.
struct Walk {
    std::uint64_t max_bytes = 0;
    std::uint64_t kept = 0;
    std::set<std::string> seen;
    DatasetPaths& paths;
};

// Adds a dataset group's path to a listing, within the walk's bound.
WalkEnd keep(Walk& w, std::vector<std::string>& list, const std::string& path) {
    w.kept += path.size() + 1;
    if (w.kept > w.max_bytes) return WalkEnd::too_large;
    list.push_back(path);
    return WalkEnd::done;
}

// Depth-first walk of one group, whose path the buffer holds: each group not met before
// (hard links can lead to a group twice, or round in a cycle) is listed by its role, then
// entered.
WalkEnd walk(hid_t group, std::string& path, int depth, Walk& w) {
    if (depth > kMaxDepth) return WalkEnd::done;
    std::vector<std::string> names;
    hsize_t index = 0;
    if (H5Literate(group, H5_INDEX_NAME, H5_ITER_INC, &index, collect_hard_link, &names) < 0) return WalkEnd::failed;
    const std::size_t base = path.size();
    for (const std::string& name : names) {
        hid_t raw = H5Oopen(group, name.c_str(), H5P_DEFAULT);
        if (raw < 0) continue;  // a link that leads nowhere readable is not a dataset
        if (H5Iget_type(raw) != H5I_GROUP) {
            H5Oclose(raw);
            continue;
        }
        GroupHandle child(raw);
        const std::string place = object_place(child.get());
        if (!place.empty() && !w.seen.insert(place).second) continue;
        path.resize(base);
        if (base + 1 + name.size() > w.max_bytes) return WalkEnd::too_large;
        if (base > 0) path += '/';
        path += name;
        WalkEnd end = WalkEnd::done;
        switch (role_of(child.get())) {
            case GroupRole::scalar: end = keep(w, w.paths.scalars, path); break;
            case GroupRole::vector: end = keep(w, w.paths.vectors, path); break;
            case GroupRole::other: break;
        }
        if (end == WalkEnd::done) end = walk(child.get(), path, depth + 1, w);
        if (end != WalkEnd::done) return end;
    }
    path.resize(base);
    return WalkEnd::done;
}

// The attribute of that name when it holds a single value of that type class, with its
// type; no attribute when it is missing or holds anything else.
AttributeHandle single_attribute(hid_t obj, const char* name, H5T_class_t cls, TypeHandle& type) {
    if (H5Aexists(obj, name) <= 0) return AttributeHandle();
    AttributeHandle attr(H5Aopen(obj, name, H5P_DEFAULT));
    if (!attr) return attr;
    type = TypeHandle(H5Aget_type(attr.get()));
    SpaceHandle space(H5Aget_space(attr.get()));
    if (!type || H5Tget_class(type.get()) != cls || !holds_one_element(space.get())) return AttributeHandle();
    return attr;
}

}  // namespace

std::optional<std::string> read_text_attribute(hid_t obj, const char* name) {
    TypeHandle type;
    AttributeHandle attr = single_attribute(obj, name, H5T_STRING, type);
    if (!attr) return std::nullopt;
    const htri_t variable = H5Tis_variable_str(type.get());
    if (variable < 0) return std::nullopt;
    if (variable > 0) {
        TypeHandle memtype(H5Tcopy(H5T_C_S1));
        if (!memtype || H5Tset_size(memtype.get(), H5T_VARIABLE) < 0 ||
            H5Tset_cset(memtype.get(), H5Tget_cset(type.get())) < 0)
            return std::nullopt;
        char* text = nullptr;
        if (H5Aread(attr.get(), memtype.get(), &text) < 0) return std::nullopt;
        std::optional<std::string> result;
        try {
            if (text != nullptr) result = clean_text(text, std::strlen(text));
            else result = std::string();
        } catch (...) {
        }
        H5free_memory(text);
        return result;
    }
    const std::size_t size = H5Tget_size(type.get());
    if (size == 0) return std::nullopt;
    std::string buffer(size, '\0');
    if (H5Aread(attr.get(), type.get(), buffer.data()) < 0) return std::nullopt;
    return clean_text(buffer.data(), size);
}

bool write_text_attribute(hid_t obj, const char* name, std::string_view text) {
    TypeHandle type = fixed_text_type(text);
    SpaceHandle space(H5Screate(H5S_SCALAR));
    if (!type || !space) return false;
    AttributeHandle attr(H5Acreate2(obj, name, type.get(), space.get(), H5P_DEFAULT, H5P_DEFAULT));
    if (!attr) return false;
    const std::string stored(text);
    const bool written = H5Awrite(attr.get(), type.get(), stored.c_str()) >= 0;
    return attr.close() && written;
}

bool write_int_attribute(hid_t obj, const char* name, std::int32_t value) {
    SpaceHandle space(H5Screate(H5S_SCALAR));
    if (!space) return false;
    AttributeHandle attr(H5Acreate2(obj, name, H5T_STD_I32LE, space.get(), H5P_DEFAULT, H5P_DEFAULT));
    if (!attr) return false;
    const bool written = H5Awrite(attr.get(), H5T_NATIVE_INT32, &value) >= 0;
    return attr.close() && written;
}

std::optional<std::int32_t> read_int_attribute(hid_t obj, const char* name) {
    TypeHandle type;
    const AttributeHandle attr = single_attribute(obj, name, H5T_INTEGER, type);
    // A wider one is no integer that a reader takes, and its conversion would take a buffer
    // of its width.
    if (!attr || H5Tget_size(type.get()) > sizeof(std::int64_t)) return std::nullopt;
    std::int32_t value = 0;
    if (H5Aread(attr.get(), H5T_NATIVE_INT32, &value) < 0) return std::nullopt;
    return value;
}

bool write_text_dataset(hid_t loc, const char* name, std::string_view text) {
    TypeHandle type = fixed_text_type(text);
    const hsize_t one = 1;
    SpaceHandle space(H5Screate_simple(1, &one, nullptr));
    if (!type || !space) return false;
    DatasetHandle set(H5Dcreate2(loc, name, type.get(), space.get(), H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT));
    if (!set) return false;
    const std::string stored(text);
    const bool written = H5Dwrite(set.get(), type.get(), H5S_ALL, H5S_ALL, H5P_DEFAULT, stored.c_str()) >= 0;
    return set.close() && written;
}

bool write_float_dataset(hid_t loc, const char* name, float value) {
    const hsize_t one = 1;
    SpaceHandle space(H5Screate_simple(1, &one, nullptr));
    if (!space) return false;
    DatasetHandle set(H5Dcreate2(loc, name, H5T_IEEE_F32LE, space.get(), H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT));
    if (!set) return false;
    const bool written = H5Dwrite(set.get(), H5T_NATIVE_FLOAT, H5S_ALL, H5S_ALL, H5P_DEFAULT, &value) >= 0;
    return set.close() && written;
}

std::optional<float> read_single_float(hid_t dataset) {
    SpaceHandle space(H5Dget_space(dataset));
    if (!holds_one_element(space.get())) return std::nullopt;
    if (!type_class_is(dataset, H5T_FLOAT) && !type_class_is(dataset, H5T_INTEGER)) return std::nullopt;
    float value = 0.0f;
    if (H5Dread(dataset, H5T_NATIVE_FLOAT, H5S_ALL, H5S_ALL, H5P_DEFAULT, &value) < 0) return std::nullopt;
    return value;
}

bool link_exists(hid_t loc, const char* name) {
    return H5Lexists(loc, name, H5P_DEFAULT) > 0;
}

bool extent_of(hid_t dataset, Extent& extent) {
    SpaceHandle space(H5Dget_space(dataset));
    if (!space) return false;
    const int rank = H5Sget_simple_extent_ndims(space.get());
    if (rank < 0 || rank > 3) return false;
    extent = Extent{};
    extent.rank = rank;
    return rank == 0 || H5Sget_simple_extent_dims(space.get(), extent.dims, nullptr) == rank;
}

bool type_class_is(hid_t dataset, H5T_class_t cls) {
    TypeHandle type(H5Dget_type(dataset));
    return type && H5Tget_class(type.get()) == cls;
}

GroupRole role_of(hid_t group) {
    const std::optional<std::string> role = read_text_attribute(group, kGroupType);
    if (!role) return GroupRole::other;
    if (*role == kScalarRole) return GroupRole::scalar;
    if (*role == kVectorRole) return GroupRole::vector;
    return GroupRole::other;
}

std::string object_place(hid_t object) {
#if H5_VERSION_GE(1, 12, 0)
    H5O_info2_t info;
    if (H5Oget_info3(object, &info, H5O_INFO_BASIC) < 0) return std::string();
    return std::string(reinterpret_cast<const char*>(&info.token), sizeof info.token);
#else
    H5O_info_t info;
    if (H5Oget_info2(object, &info, H5O_INFO_BASIC) < 0) return std::string();
    return std::string(reinterpret_cast<const char*>(&info.addr), sizeof info.addr);
#endif
}

WalkEnd list_dataset_groups(hid_t file, std::uint64_t max_bytes, DatasetPaths& paths) {
    paths = DatasetPaths{};
    GroupHandle root(H5Gopen2(file, "/", H5P_DEFAULT));
    if (!root) return WalkEnd::failed;
    Walk w{max_bytes, 0, {}, paths};
    w.seen.insert(object_place(root.get()));
    std::string path;
    return walk(root.get(), path, 0, w);
}

}  // namespace zorvel::results::xmdf::h5
