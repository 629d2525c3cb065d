// The XF_ routines of the XMDF binding (layout and calling style in binding.hpp).

#include "results/xmdf/binding.hpp"

#include <hdf5.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

#include "results/xmdf/fault_guard.hpp"
#include "results/xmdf/h5_util.hpp"
#include "results/xmdf/handles.hpp"
#include "results/xmdf/objects.hpp"
#include "results/xmdf/step_extremes.hpp"
#include "results/xmdf/stored_data.hpp"
#include "util/begun_outputs.hpp"
#include "util/run_files.hpp"
#include "util/file_io.hpp"
#include "util/memory_cap.hpp"
#include "util/text.hpp"
#include "util/units.hpp"

namespace zorvel::results::xmdf {

namespace {

constexpr std::int32_t kOk = 0;
constexpr std::int32_t kFailed = -1;
constexpr float kLibraryVersion = 1.9f;
constexpr std::int32_t kMaxInt = std::numeric_limits<std::int32_t>::max();
// Values per chunk at most: a timestep larger than this spans several chunks.
constexpr hsize_t kMaxChunkValues = hsize_t{1} << 24;
// Elements per chunk of the one-value-per-step arrays (Times, Mins, Maxs).
constexpr hsize_t kStepChunk = 1024;
// Path bytes that a dataset listing may hold however small its file.
constexpr std::uint64_t kListingBytes = std::uint64_t{16} << 20;

// Thrown inside a routine's body when the file declares sizes that its stored data does
// not back; the routine's edge ends the run for it.
struct NotBacked {};

// Runs a routine's body on the named file under the fault guard and turns its outcome,
// or any exception, into the status; memory that ran out goes on to end the run, and so
// do sizes that nothing in the file backs, before anything is allocated from them.
template <class Body>
void guarded(std::int32_t& status, std::string_view file, Body&& body) {
    setup_hdf5();
    bool backed = true;
    {
        const Hdf5Call call(file);
        try {
            status = body() ? kOk : kFailed;
        } catch (const std::bad_alloc&) {
            throw;
        } catch (const NotBacked&) {
            status = kFailed;
            backed = false;
        } catch (...) {
            status = kFailed;
        }
    }
    if (!backed)
        util::fail("ERROR - Dataset sizes not backed by stored data in xmdf file: \"" + std::string(file) + "\"");
}

// The same for a routine on an open file or group: the name of its file.
template <class Body>
void guarded(std::int32_t& status, std::int32_t id, Body&& body) {
    const OpenObject* object = objects().find(id);
    const OpenObject* file = object == nullptr ? nullptr : objects().find(object->file, ObjectKind::file);
    guarded(status, file == nullptr ? std::string_view() : std::string_view(file->name), body);
}

// True when the name is a file that the binding holds open (an input of the run), which a
// creation over it would destroy.
bool held_open(const std::string& path) {
    util::FileId id;
    if (!util::file_id(path, id)) return false;
    for (const std::string& name : objects().file_names()) {
        util::FileId other;
        if (util::file_id(name, other) && other == id) return true;
    }
    return false;
}

// The parts of a path between its "/" separators, empty parts dropped.
std::vector<std::string> path_parts(std::string_view path) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string_view::npos) end = path.size();
        if (end > start) parts.emplace_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

// File access settings: file locking where the file system allows it.
PlistHandle file_access() {
    PlistHandle fapl(H5Pcreate(H5P_FILE_ACCESS));
#if H5_VERSION_GE(1, 10, 7)
    if (fapl) H5Pset_file_locking(fapl.get(), true, true);
#endif
    return fapl;
}

// The open file of that id.
OpenObject* file_object(std::int32_t id) {
    return objects().find(id, ObjectKind::file);
}

// An open file or group that paths may start from.
OpenObject* parent_object(std::int32_t id) {
    return objects().find(id);
}

// The open group of that id when its "Grouptype" makes it a dataset.
OpenObject* dataset_object(std::int32_t id) {
    OpenObject* group = objects().find(id, ObjectKind::group);
    if (group == nullptr) return nullptr;
    if (!group->role) {
        group->role = h5::role_of(group->group_handle.get());
        if (*group->role != h5::GroupRole::other) {
            const std::optional<std::int32_t> level =
                h5::read_int_attribute(group->group_handle.get(), "DatasetCompression");
            group->compression = level && *level >= 0 && *level <= 9 ? *level : -1;
        }
    }
    return *group->role == h5::GroupRole::other ? nullptr : group;
}

// One of a dataset group's arrays, opened on first use; -1 when the group has none.
hid_t array(OpenObject& group, DatasetHandle& handle, const char* name) {
    if (handle) return handle.get();
    if (!h5::link_exists(group.group_handle.get(), name)) return H5I_INVALID_HID;
    handle = DatasetHandle(H5Dopen2(group.group_handle.get(), name, H5P_DEFAULT));
    return handle.get();
}

// The size of the file that an open object belongs to; 0 when unknown.
std::uint64_t file_size(const OpenObject& object) {
    const OpenObject* file = objects().find(object.file, ObjectKind::file);
    hsize_t size = 0;
    if (file == nullptr || H5Fget_filesize(file->file_handle.get(), &size) < 0) return 0;
    return size;
}

// One of a dataset group's arrays, as array() gives it, for a count or a read: its numbers
// may be no wider than 64 bits and the data it declares must be backed by what the file
// stores, else NotBacked ends the run. The check reads the array's chunk index, so each
// array of an open file is checked once.
hid_t backed_array(OpenObject& group, DatasetHandle& handle, bool& backed, const char* name) {
    const hid_t set = array(group, handle, name);
    if (set < 0 || backed) return set;
    OpenObject* file = objects().find(group.file, ObjectKind::file);
    const std::string place = h5::object_place(set);
    if (file != nullptr && !place.empty() && file->backed_arrays.contains(place)) {
        backed = true;
        return set;
    }
    if (h5::number_too_wide(set) || !h5::declared_data_backed(set, file_size(group))) throw NotBacked{};
    if (file != nullptr && !place.empty()) file->backed_arrays.insert(place);
    backed = true;
    return set;
}

// The Times of a dataset group for a count or a read, checked by backed_array.
hid_t times_array(OpenObject& set) {
    return backed_array(set, set.data.times, set.data.times_backed, "Times");
}

// The Values of a dataset group for a count or a read, checked by backed_array.
hid_t values_array(OpenObject& set) {
    return backed_array(set, set.data.values, set.data.values_backed, "Values");
}

// The Active of a dataset group for a count or a read, checked by backed_array.
hid_t active_array(OpenObject& set) {
    return backed_array(set, set.data.active, set.data.active_backed, "Active");
}

// The shape of an open array, which must have the given rank.
bool shape(hid_t set, int rank, h5::Extent& extent) {
    return set >= 0 && h5::extent_of(set, extent) && extent.rank == rank;
}

// What the paths of a file's dataset listing may hold at most, in bytes: no more than the
// file stores, or 16 MiB.
std::uint64_t listing_bound(const OpenObject& file) {
    return std::max(kListingBytes, file_size(file));
}

// The dataset listing of an open file, made on first use; NotBacked when its paths would
// hold more than listing_bound.
const h5::DatasetPaths* listing(std::int32_t file_id) {
    OpenObject* file = file_object(file_id);
    if (file == nullptr) return nullptr;
    if (!file->paths) {
        h5::DatasetPaths paths;
        switch (h5::list_dataset_groups(file->file_handle.get(), listing_bound(*file), paths)) {
            case h5::WalkEnd::done: break;
            case h5::WalkEnd::failed: return nullptr;
            case h5::WalkEnd::too_large: throw NotBacked{};
        }
        file->paths = std::move(paths);
    }
    return &*file->paths;
}

// The count and slot length of one of the listings; NotBacked when its slots together
// (the buffer a caller sizes from them) would hold more than listing_bound.
bool datasets_info(std::int32_t file_id, bool vectors, std::int32_t& n_paths, std::int32_t& max_path_len) {
    n_paths = 0;
    max_path_len = 0;
    const h5::DatasetPaths* paths = listing(file_id);
    if (paths == nullptr) return false;
    const std::vector<std::string>& list = vectors ? paths->vectors : paths->scalars;
    std::size_t longest = 0;
    for (const std::string& path : list) longest = std::max(longest, path.size());
    if (list.size() > static_cast<std::size_t>(kMaxInt) || longest >= static_cast<std::size_t>(kMaxInt))
        return false;
    if (!list.empty() && list.size() > listing_bound(*file_object(file_id)) / (longest + 1)) throw NotBacked{};
    n_paths = static_cast<std::int32_t>(list.size());
    max_path_len = list.empty() ? 0 : static_cast<std::int32_t>(longest + 1);
    return true;
}

// Fills the caller's slots with the first n paths of one listing, each NUL-ended.
bool dataset_paths(std::int32_t file_id, bool vectors, std::int32_t n_paths, std::int32_t slot,
                   std::span<char> buffer) {
    if (n_paths < 0 || slot < 0) return false;
    const h5::DatasetPaths* paths = listing(file_id);
    if (paths == nullptr) return false;
    const std::vector<std::string>& list = vectors ? paths->vectors : paths->scalars;
    const auto n = static_cast<std::size_t>(n_paths);
    const auto len = static_cast<std::size_t>(slot);
    if (n > list.size() || buffer.size() < n * len) return false;
    for (std::size_t k = 0; k < n; ++k) {
        if (list[k].size() >= len) return false;
        char* out = buffer.data() + k * len;
        std::memset(out, 0, len);
        std::memcpy(out, list[k].data(), list[k].size());
    }
    return true;
}

// Opens, or creates with the "Generic" mark, each group of the parts under loc in turn;
// a dataset met on the way is no folder, and nothing goes inside it.
GroupHandle make_groups(hid_t loc, const std::vector<std::string>& parts, std::size_t count) {
    GroupHandle current(H5Gopen2(loc, ".", H5P_DEFAULT));
    for (std::size_t i = 0; i < count && current; ++i) {
        const char* name = parts[i].c_str();
        if (h5::link_exists(current.get(), name)) {
            current = GroupHandle(H5Gopen2(current.get(), name, H5P_DEFAULT));
            if (current && h5::role_of(current.get()) != h5::GroupRole::other) return GroupHandle();
            continue;
        }
        GroupHandle made(H5Gcreate2(current.get(), name, H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT));
        if (!made || !h5::write_text_attribute(made.get(), h5::kGroupType, h5::kGeneric)) return GroupHandle();
        current = std::move(made);
    }
    return current;
}

// Creation settings of an extendible array: chunk shape and, for levels 1..9, deflate
// (level 0 stores the data as it is, so it is written without a filter).
PlistHandle chunked(int rank, const hsize_t* chunk, std::int32_t compression) {
    PlistHandle dcpl(H5Pcreate(H5P_DATASET_CREATE));
    if (!dcpl || H5Pset_chunk(dcpl.get(), rank, chunk) < 0) return PlistHandle();
    if (compression >= 1 && H5Pset_deflate(dcpl.get(), static_cast<unsigned>(compression)) < 0)
        return PlistHandle();
    return dcpl;
}

// An empty array of one value per timestep.
DatasetHandle make_step_array(hid_t group, const char* name, hid_t file_type) {
    const hsize_t dims = 0;
    const hsize_t max_dims = H5S_UNLIMITED;
    SpaceHandle space(H5Screate_simple(1, &dims, &max_dims));
    PlistHandle dcpl = chunked(1, &kStepChunk, -1);
    if (!space || !dcpl) return DatasetHandle();
    return DatasetHandle(H5Dcreate2(group, name, file_type, space.get(), H5P_DEFAULT, dcpl.get(), H5P_DEFAULT));
}

// An empty array of rows of n values (times components), unlimited in time, one row per chunk.
DatasetHandle make_row_array(hid_t group, const char* name, hid_t file_type, hsize_t n, hsize_t components,
                             std::int32_t compression, const std::uint8_t* fill) {
    const int rank = components > 1 ? 3 : 2;
    const hsize_t dims[3] = {0, n, components};
    const hsize_t max_dims[3] = {H5S_UNLIMITED, n, components};
    const hsize_t chunk[3] = {1, std::min(n, std::max<hsize_t>(1, kMaxChunkValues / components)), components};
    SpaceHandle space(H5Screate_simple(rank, dims, max_dims));
    PlistHandle dcpl = chunked(rank, chunk, compression);
    if (!space || !dcpl) return DatasetHandle();
    if (fill != nullptr) {
        if (H5Pset_fill_value(dcpl.get(), H5T_NATIVE_UINT8, fill) < 0) return DatasetHandle();
    } else if (H5Pset_fill_time(dcpl.get(), H5D_FILL_TIME_NEVER) < 0) {
        return DatasetHandle();
    }
    return DatasetHandle(H5Dcreate2(group, name, file_type, space.get(), H5P_DEFAULT, dcpl.get(), H5P_DEFAULT));
}

// Creates a dataset group, with its attributes and empty step arrays, and opens it.
bool create_dataset(std::int32_t parent_id, std::string_view name, std::string_view units,
                    std::string_view time_units, std::int32_t compression, bool vector, std::int32_t& dataset_id) {
    dataset_id = 0;
    OpenObject* parent = parent_object(parent_id);
    if (parent == nullptr || compression < -1 || compression > 9) return false;
    const std::vector<std::string> parts = path_parts(util::trimmed(name));
    if (parts.empty()) return false;
    GroupHandle folder = make_groups(parent->hid(), parts, parts.size() - 1);
    const char* leaf = parts.back().c_str();
    if (!folder || h5::link_exists(folder.get(), leaf)) return false;

    OpenObject set;
    set.kind = ObjectKind::group;
    set.file = parent->file;
    set.role = vector ? h5::GroupRole::vector : h5::GroupRole::scalar;
    set.compression = compression;
    set.group_handle = GroupHandle(H5Gcreate2(folder.get(), leaf, H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT));
    if (!set.group_handle) return false;
    const hid_t g = set.group_handle.get();
    bool ok = h5::write_text_attribute(g, h5::kGroupType, vector ? h5::kVectorRole : h5::kScalarRole) &&
              h5::write_text_attribute(g, "DatasetUnits", util::trimmed(units)) &&
              h5::write_text_attribute(g, "TimeUnits", util::trimmed(time_units)) &&
              h5::write_int_attribute(g, "DatasetCompression", compression) &&
              h5::write_int_attribute(g, "Data Type", 0);
    if (ok) {
        set.data.times = make_step_array(g, "Times", H5T_IEEE_F64LE);
        set.data.mins = make_step_array(g, "Mins", H5T_IEEE_F32LE);
        set.data.maxs = make_step_array(g, "Maxs", H5T_IEEE_F32LE);
        ok = set.data.times && set.data.mins && set.data.maxs;
    }
    if (ok) dataset_id = objects().add(set);
    if (dataset_id <= 0) {
        // Leave no half-made dataset behind for a reader to list.
        (void)set.close();
        H5Ldelete(folder.get(), leaf, H5P_DEFAULT);
        return false;
    }
    if (OpenObject* file = file_object(parent->file)) file->paths.reset();
    return true;
}

// A file-space selection of rows [first, first + 1) of an array of the given extent.
SpaceHandle select_row(hid_t set, const h5::Extent& extent, hsize_t row) {
    SpaceHandle space(H5Dget_space(set));
    hsize_t start[3] = {row, 0, 0};
    hsize_t count[3] = {1, extent.dims[1], extent.dims[2]};
    if (!space || H5Sselect_hyperslab(space.get(), H5S_SELECT_SET, start, nullptr, count, nullptr) < 0)
        return SpaceHandle();
    return space;
}

// The reused memory space of one timestep's values (n, or n by components).
hid_t row_memory(DataArrays& data, hsize_t n, hsize_t components) {
    const int rank = components > 1 ? 2 : 1;
    if (!data.row_space || data.row_values != n * components || data.row_rank != rank) {
        const hsize_t dims[2] = {n, components};
        data.row_space = SpaceHandle(H5Screate_simple(rank, dims, nullptr));
        data.row_values = data.row_space ? n * components : 0;
        data.row_rank = rank;
    }
    return data.row_space.get();
}

// The reused memory space of one timestep's activity flags.
hid_t flag_memory(DataArrays& data, hsize_t n) {
    if (!data.flag_space || data.row_flags != n) {
        data.flag_space = SpaceHandle(H5Screate_simple(1, &n, nullptr));
        data.row_flags = data.flag_space ? n : 0;
    }
    return data.flag_space.get();
}

// The reused memory space of a single element.
hid_t one_memory(DataArrays& data) {
    if (!data.one_space) {
        const hsize_t one = 1;
        data.one_space = SpaceHandle(H5Screate_simple(1, &one, nullptr));
    }
    return data.one_space.get();
}

// Reads timestep `step` (from 1) of n values of the given number of components.
bool read_values(std::int32_t id, std::int32_t step, std::int32_t n_values, std::int32_t components,
                 std::span<float> out) {
    OpenObject* set = dataset_object(id);
    if (set == nullptr || n_values < 0 || components < 1) return false;
    const bool vector = *set->role == h5::GroupRole::vector;
    if (vector != (components > 1) || (vector && components != 2)) return false;
    const auto n = static_cast<hsize_t>(n_values);
    const auto comps = static_cast<hsize_t>(components);
    if (out.size() < n * comps) return false;
    const hid_t values = values_array(*set);
    h5::Extent extent;
    if (!shape(values, vector ? 3 : 2, extent) || !h5::type_class_is(values, H5T_FLOAT)) return false;
    if (extent.dims[1] != n || (vector && extent.dims[2] != comps)) return false;
    if (step < 1 || static_cast<hsize_t>(step) > extent.dims[0]) return false;
    if (n == 0) return true;
    SpaceHandle file_space = select_row(values, extent, static_cast<hsize_t>(step - 1));
    const hid_t memory = row_memory(set->data, n, comps);
    return file_space && memory >= 0 &&
           H5Dread(values, H5T_NATIVE_FLOAT, memory, file_space.get(), H5P_DEFAULT, out.data()) >= 0;
}

// Grows a one-value-per-step array to `rows` and stores the value at the last row.
bool append_step_value(DataArrays& data, hid_t set, hsize_t row, hid_t memory_type, const void* value) {
    const hsize_t size = row + 1;
    if (H5Dset_extent(set, &size) < 0) return false;
    SpaceHandle space(H5Dget_space(set));
    const hsize_t count = 1;
    const hid_t memory = one_memory(data);
    return space && memory >= 0 &&
           H5Sselect_hyperslab(space.get(), H5S_SELECT_SET, &row, nullptr, &count, nullptr) >= 0 &&
           H5Dwrite(set, memory_type, memory, space.get(), H5P_DEFAULT, value) >= 0;
}

// Appends one timestep of n values (times components) at the time, with its smallest and
// largest value (of the magnitude for vectors).
bool write_values(std::int32_t id, double time, std::int32_t n_values, std::int32_t components,
                  std::span<const float> in) {
    OpenObject* set = dataset_object(id);
    if (set == nullptr || n_values < 1) return false;
    const bool vector = *set->role == h5::GroupRole::vector;
    if (components != (vector ? 2 : 1)) return false;
    const auto n = static_cast<hsize_t>(n_values);
    const auto comps = static_cast<hsize_t>(components);
    if (in.size() < n * comps) return false;

    DataArrays& data = set->data;
    const hid_t g = set->group_handle.get();
    const hid_t times = array(*set, data.times, "Times");
    const hid_t mins = array(*set, data.mins, "Mins");
    const hid_t maxs = array(*set, data.maxs, "Maxs");
    h5::Extent t_extent, min_extent, max_extent;
    if (!shape(times, 1, t_extent) || !shape(mins, 1, min_extent) || !shape(maxs, 1, max_extent)) return false;
    const hsize_t row = t_extent.dims[0];
    if (min_extent.dims[0] != row || max_extent.dims[0] != row) return false;

    hid_t values = array(*set, data.values, "Values");
    if (values < 0 && !h5::link_exists(g, "Values")) {
        data.values = make_row_array(g, "Values", H5T_IEEE_F32LE, n, comps, set->compression, nullptr);
        values = data.values.get();
    }
    h5::Extent extent;
    if (!shape(values, vector ? 3 : 2, extent) || extent.dims[0] != row || extent.dims[1] != n ||
        (vector && extent.dims[2] != comps))
        return false;

    const float* v = in.data();
    const std::size_t count = n * comps;
    float low = std::numeric_limits<float>::infinity();
    float high = -low;
    hsize_t grown[3] = {row + 1, extent.dims[1], extent.dims[2]};
    bool ok = H5Dset_extent(values, grown) >= 0;
    if (ok) {
        merge_range(v, count, vector, low, high);
        extent.dims[0] = row + 1;
        SpaceHandle file_space = select_row(values, extent, row);
        const hid_t memory = row_memory(data, n, comps);
        ok = file_space && memory >= 0 &&
             H5Dwrite(values, H5T_NATIVE_FLOAT, memory, file_space.get(), H5P_DEFAULT, v) >= 0;
    }
    if (vector) {
        low = std::sqrt(low);
        high = std::sqrt(high);
    }
    ok = ok && append_step_value(data, times, row, H5T_NATIVE_DOUBLE, &time) &&
         append_step_value(data, mins, row, H5T_NATIVE_FLOAT, &low) &&
         append_step_value(data, maxs, row, H5T_NATIVE_FLOAT, &high);
    if (!ok) {
        // Put every array back to the steps that were complete before this call.
        grown[0] = row;
        H5Dset_extent(values, grown);
        H5Dset_extent(times, &row);
        H5Dset_extent(mins, &row);
        H5Dset_extent(maxs, &row);
    }
    return ok;
}

// The number of timesteps of a dataset group (the length of its Times).
bool step_count(OpenObject& set, hsize_t& steps) {
    h5::Extent extent;
    if (!shape(array(set, set.data.times, "Times"), 1, extent)) return false;
    steps = extent.dims[0];
    return true;
}

// A count of a backed array as a 32-bit result; false when it does not fit. The run's
// memory cap makes room for the arrays that the caller sizes from it.
bool to_count(hsize_t value, std::int32_t& out) {
    if (value > static_cast<hsize_t>(kMaxInt)) return false;
    out = static_cast<std::int32_t>(value);
    util::count_backed_values(value);
    return true;
}

}  // namespace

namespace {
// Set once setup_hdf5 has run: before that no XMDF file can be open.
bool g_set_up = false;
}  // namespace

void setup_hdf5() {
    static const bool done = [] {
        g_set_up = true;
        // HDF5's own clean-up at exit would close again a file whose close failed, and crash;
        // the open-object table closes what is still open instead.
        H5dont_atexit();
        H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr);
        // Memory that HDF5 lets go of is freed at once, not kept in lists that no exit frees.
        H5set_free_list_limits(0, 0, 0, 0, 0, 0);
        install_fault_guard();
        return true;
    }();
    (void)done;
}

void close_all_files() {
    if (!g_set_up) return;
    std::int32_t status = 0;
    guarded(status, std::string_view(), [] { return objects().close_all(); });
}

void XF_CREATE_FILE(std::string_view name, bool overwrite, std::int32_t& file_id, std::int32_t& status) {
    file_id = 0;
    int begun = -1;
    guarded(status, util::rtrim(name), [&] {
        const std::string path = util::os_name(util::rtrim(name));
        if (path.empty() || held_open(path)) return false;
        // The file is made here, new under a temporary name that is moved onto the name when
        // the run has completed its outputs; a creation that fails part way takes back only
        // what this call made.
        std::string temp;
        begun = util::begin_output(path, overwrite, temp);
        if (begun < 0) return false;
        PlistHandle fapl = file_access();
        OpenObject file;
        file.kind = ObjectKind::file;
        file.name = util::rtrim(name);
        file.writable = true;
        file.begun = begun;
        file.file_handle = FileHandle(H5Fcreate(temp.c_str(), H5F_ACC_TRUNC, H5P_DEFAULT, fapl.get()));
        if (!file.file_handle) return false;
        const hid_t f = file.file_handle.get();
        if (!h5::write_text_dataset(f, "File Type", "Xmdf") ||
            !h5::write_float_dataset(f, "File Version", kLibraryVersion))
            return false;
        file_id = objects().add(file);
        return file_id > 0;
    });
    // A failed creation leaves no file: its handles are closed by now.
    if (status < 0) util::remove_begun_output(begun);
}

void XF_OPEN_FILE(std::string_view name, bool read_only, std::int32_t& file_id, std::int32_t& status) {
    file_id = 0;
    // A file read is never one of the run's outputs.
    if (read_only) util::note_read(util::os_name(util::rtrim(name)));
    guarded(status, util::rtrim(name), [&] {
        const std::string path = util::os_name(util::rtrim(name));
        if (path.empty()) return false;
        PlistHandle fapl = file_access();
        OpenObject file;
        file.kind = ObjectKind::file;
        file.name = util::rtrim(name);
        file.writable = !read_only;
        file.file_handle = FileHandle(H5Fopen(path.c_str(), read_only ? H5F_ACC_RDONLY : H5F_ACC_RDWR, fapl.get()));
        if (!file.file_handle) return false;
        file_id = objects().add(file);
        return file_id > 0;
    });
}

void XF_CLOSE_FILE(std::int32_t file_id, std::int32_t& status) {
    guarded(status, file_id, [&] { return objects().close_file(file_id); });
}

void discard_file(std::int32_t file_id) {
    int begun = -1;
    if (OpenObject* file = objects().find(file_id, ObjectKind::file)) std::swap(begun, file->begun);
    std::int32_t status = 0;
    XF_CLOSE_FILE(file_id, status);
    util::remove_begun_output(begun);
}

void XF_GET_LIBRARY_VERSION_FILE(std::int32_t file_id, float& version, std::int32_t& status) {
    version = 0.0f;
    guarded(status, file_id, [&] {
        const OpenObject* file = file_object(file_id);
        if (file == nullptr) return false;
        const hid_t f = file->file_handle.get();
        if (!h5::link_exists(f, "File Version")) return false;
        const DatasetHandle set(H5Dopen2(f, "File Version", H5P_DEFAULT));
        if (!set) return false;
        if (h5::number_too_wide(set.get())) throw NotBacked{};
        const std::optional<float> stored = h5::read_single_float(set.get());
        if (!stored) return false;
        version = *stored;
        return true;
    });
}

void XF_GET_SCALAR_DATASETS_INFO(std::int32_t file_id, std::int32_t& n_paths, std::int32_t& max_path_len,
                                 std::int32_t& status) {
    guarded(status, file_id, [&] { return datasets_info(file_id, false, n_paths, max_path_len); });
}

void XF_GET_VECTOR_DATASETS_INFO(std::int32_t file_id, std::int32_t& n_paths, std::int32_t& max_path_len,
                                 std::int32_t& status) {
    guarded(status, file_id, [&] { return datasets_info(file_id, true, n_paths, max_path_len); });
}

void XF_GET_SCALAR_DATASET_PATHS(std::int32_t file_id, std::int32_t n_paths, std::int32_t max_path_len,
                                 std::span<char> paths, std::int32_t& status) {
    guarded(status, file_id, [&] { return dataset_paths(file_id, false, n_paths, max_path_len, paths); });
}

void XF_GET_VECTOR_DATASET_PATHS(std::int32_t file_id, std::int32_t n_paths, std::int32_t max_path_len,
                                 std::span<char> paths, std::int32_t& status) {
    guarded(status, file_id, [&] { return dataset_paths(file_id, true, n_paths, max_path_len, paths); });
}

void XF_OPEN_GROUP(std::int32_t parent_id, std::string_view path, std::int32_t& group_id, std::int32_t& status) {
    group_id = 0;
    guarded(status, parent_id, [&] {
        const OpenObject* parent = parent_object(parent_id);
        const std::string name = util::trimmed(path);
        if (parent == nullptr || name.empty()) return false;
        OpenObject group;
        group.kind = ObjectKind::group;
        group.file = parent->file;
        group.group_handle = GroupHandle(H5Gopen2(parent->hid(), name.c_str(), H5P_DEFAULT));
        if (!group.group_handle) return false;
        group_id = objects().add(group);
        return group_id > 0;
    });
}

void XF_CLOSE_GROUP(std::int32_t id, std::int32_t& status) {
    guarded(status, id, [&] { return objects().close_group(id); });
}

void XF_GET_DATASET_NUMVALS(std::int32_t id, std::int32_t& n_values, std::int32_t& status) {
    n_values = 0;
    guarded(status, id, [&] {
        OpenObject* set = dataset_object(id);
        if (set == nullptr) return false;
        const bool vector = *set->role == h5::GroupRole::vector;
        h5::Extent extent;
        return shape(values_array(*set), vector ? 3 : 2, extent) && to_count(extent.dims[1], n_values);
    });
}

void XF_GET_DATASET_NUMACTIVE(std::int32_t id, std::int32_t& n_active, std::int32_t& status) {
    n_active = 0;
    guarded(status, id, [&] {
        OpenObject* set = dataset_object(id);
        if (set == nullptr) return false;
        const hid_t active = active_array(*set);
        if (active < 0) return !h5::link_exists(set->group_handle.get(), "Active");
        h5::Extent extent;
        return shape(active, 2, extent) && to_count(extent.dims[1], n_active);
    });
}

void XF_GET_DATASET_TIME_UNITS(std::int32_t id, std::string& time_units, std::int32_t& status) {
    time_units.clear();
    guarded(status, id, [&] {
        OpenObject* set = dataset_object(id);
        if (set == nullptr) return false;
        const std::optional<std::string> units = h5::read_text_attribute(set->group_handle.get(), "TimeUnits");
        if (!units) return false;
        time_units = util::fit(*units, util::kNameLen);
        return true;
    });
}

void XF_GET_DATASET_NUM_TIMES(std::int32_t id, std::int32_t& n_times, std::int32_t& status) {
    n_times = 0;
    guarded(status, id, [&] {
        OpenObject* set = dataset_object(id);
        h5::Extent extent;
        return set != nullptr && shape(times_array(*set), 1, extent) && to_count(extent.dims[0], n_times);
    });
}

void XF_GET_DATASET_TIMES(std::int32_t id, std::int32_t n_times, std::span<double> times, std::int32_t& status) {
    guarded(status, id, [&] {
        OpenObject* set = dataset_object(id);
        if (set == nullptr || n_times < 0 || times.size() < static_cast<std::size_t>(n_times)) return false;
        const hid_t stored = times_array(*set);
        h5::Extent extent;
        if (!shape(stored, 1, extent) || !h5::type_class_is(stored, H5T_FLOAT)) return false;
        const auto n = static_cast<hsize_t>(n_times);
        if (n > extent.dims[0]) return false;
        if (n == 0) return true;
        SpaceHandle file_space(H5Dget_space(stored));
        SpaceHandle memory(H5Screate_simple(1, &n, nullptr));
        const hsize_t start = 0;
        return file_space && memory &&
               H5Sselect_hyperslab(file_space.get(), H5S_SELECT_SET, &start, nullptr, &n, nullptr) >= 0 &&
               H5Dread(stored, H5T_NATIVE_DOUBLE, memory.get(), file_space.get(), H5P_DEFAULT, times.data()) >= 0;
    });
}

void XF_READ_SCALAR_VALUES_TIMESTEP(std::int32_t id, std::int32_t step, std::int32_t n_values,
                                    std::span<float> values, std::int32_t& status) {
    guarded(status, id, [&] { return read_values(id, step, n_values, 1, values); });
}

void XF_READ_VECTOR_VALUES_TIMESTEP(std::int32_t id, std::int32_t step, std::int32_t n_values,
                                    std::int32_t n_components, std::span<float> values, std::int32_t& status) {
    guarded(status, id, [&] { return read_values(id, step, n_values, n_components, values); });
}

void XF_READ_ACTIVITY_TIMESTEP(std::int32_t id, std::int32_t step, std::int32_t n_flags,
                               std::span<std::int32_t> flags, std::int32_t& status) {
    guarded(status, id, [&] {
        OpenObject* set = dataset_object(id);
        if (set == nullptr || n_flags < 0 || flags.size() < static_cast<std::size_t>(n_flags)) return false;
        hsize_t steps = 0;
        if (!step_count(*set, steps) || step < 1 || static_cast<hsize_t>(step) > steps) return false;
        const auto n = static_cast<hsize_t>(n_flags);
        const hid_t active = active_array(*set);
        h5::Extent extent;
        if (active < 0 && h5::link_exists(set->group_handle.get(), "Active")) return false;
        if (active >= 0) {
            if (!shape(active, 2, extent) || !h5::type_class_is(active, H5T_INTEGER)) return false;
            if (extent.dims[1] != n) return false;
        }
        // Without flags stored for the step, every cell counts as active.
        if (active < 0 || static_cast<hsize_t>(step) > extent.dims[0]) {
            std::fill_n(flags.begin(), n, 1);
            return true;
        }
        if (n == 0) return true;
        SpaceHandle file_space = select_row(active, extent, static_cast<hsize_t>(step - 1));
        const hid_t memory = flag_memory(set->data, n);
        return file_space && memory >= 0 &&
               H5Dread(active, H5T_NATIVE_INT32, memory, file_space.get(), H5P_DEFAULT, flags.data()) >= 0;
    });
}

void XF_CREATE_GENERIC_GROUP(std::int32_t file_id, std::string_view path, std::int32_t& group_id,
                             std::int32_t& status) {
    group_id = 0;
    guarded(status, file_id, [&] {
        const OpenObject* parent = parent_object(file_id);
        if (parent == nullptr) return false;
        const std::vector<std::string> parts = path_parts(util::trimmed(path));
        if (parts.empty()) return false;
        OpenObject group;
        group.kind = ObjectKind::group;
        group.file = parent->file;
        // An existing path is opened again, unless it is (or lies in) a dataset.
        group.group_handle = make_groups(parent->hid(), parts, parts.size());
        if (!group.group_handle) return false;
        group.role = h5::GroupRole::other;
        group_id = objects().add(group);
        return group_id > 0;
    });
}

void XF_CREATE_SCALAR_DATASET(std::int32_t group_id, std::string_view name, std::string_view units,
                              std::string_view time_units, std::int32_t compression, std::int32_t& dataset_id,
                              std::int32_t& status) {
    guarded(status, group_id,
            [&] { return create_dataset(group_id, name, units, time_units, compression, false, dataset_id); });
}

void XF_CREATE_VECTOR_DATASET(std::int32_t group_id, std::string_view name, std::string_view units,
                              std::string_view time_units, std::int32_t compression, std::int32_t& dataset_id,
                              std::int32_t& status) {
    guarded(status, group_id,
            [&] { return create_dataset(group_id, name, units, time_units, compression, true, dataset_id); });
}

void XF_WRITE_SCALAR_TIMESTEP(std::int32_t dataset_id, double time, std::int32_t n_values,
                              std::span<const float> values, std::int32_t& status) {
    guarded(status, dataset_id, [&] { return write_values(dataset_id, time, n_values, 1, values); });
}

void XF_WRITE_VECTOR_TIMESTEP(std::int32_t dataset_id, double time, std::int32_t n_values,
                              std::int32_t n_components, std::span<const float> values, std::int32_t& status) {
    guarded(status, dataset_id, [&] { return write_values(dataset_id, time, n_values, n_components, values); });
}

void XF_WRITE_ACTIVITY_TIMESTEP(std::int32_t dataset_id, std::int32_t n_flags, std::span<const std::int8_t> flags,
                                std::int32_t& status) {
    guarded(status, dataset_id, [&] {
        OpenObject* set = dataset_object(dataset_id);
        if (set == nullptr || n_flags < 0 || flags.size() < static_cast<std::size_t>(n_flags)) return false;
        hsize_t steps = 0;
        if (!step_count(*set, steps) || steps == 0) return false;  // no timestep appended yet
        if (n_flags == 0) return true;
        const auto n = static_cast<hsize_t>(n_flags);
        const hid_t g = set->group_handle.get();
        hid_t active = array(*set, set->data.active, "Active");
        if (active < 0 && !h5::link_exists(g, "Active")) {
            const std::uint8_t all_active = 1;  // steps without stored flags read as active
            set->data.active = make_row_array(g, "Active", H5T_STD_U8LE, n, 1, set->compression, &all_active);
            active = set->data.active.get();
        }
        h5::Extent extent;
        if (!shape(active, 2, extent) || extent.dims[1] != n || extent.dims[0] > steps) return false;
        if (extent.dims[0] < steps) {
            const hsize_t grown[2] = {steps, n};
            if (H5Dset_extent(active, grown) < 0) return false;
            extent.dims[0] = steps;
        }
        SpaceHandle file_space = select_row(active, extent, steps - 1);
        const hid_t memory = flag_memory(set->data, n);
        // The bytes go in as they are: a flag of -1 stays the byte 255.
        return file_space && memory >= 0 &&
               H5Dwrite(active, H5T_NATIVE_UINT8, memory, file_space.get(), H5P_DEFAULT, flags.data()) >= 0;
    });
}

}  // namespace zorvel::results::xmdf
