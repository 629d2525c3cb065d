#pragma once
// The XMDF binding's table of open objects. Every id that the XF_ routines hand
// out is a positive 32-bit integer that stands for one open file or group here;
// the HDF5 ids (hid_t, 64-bit) stay inside their owners and never reach a caller.
// Ids are never used twice in a run, so a stale id is simply unknown.
// A dataset group keeps its HDF5 datasets open, once opened, until it is closed.

#include <hdf5.h>

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "results/xmdf/h5_util.hpp"
#include "results/xmdf/handles.hpp"

namespace zorvel::results::xmdf {

enum class ObjectKind { file, group };

// The HDF5 datasets of one dataset group and the memory spaces reused for its steps.
struct DataArrays {
    DatasetHandle times;
    DatasetHandle values;
    DatasetHandle mins;
    DatasetHandle maxs;
    DatasetHandle active;
    SpaceHandle row_space;   // one timestep of values
    hsize_t row_values = 0;  // values per node times components that row_space holds
    int row_rank = 0;
    SpaceHandle flag_space;  // one timestep of activity flags
    hsize_t row_flags = 0;
    SpaceHandle one_space;   // a single element
    // Arrays found backed by the data their file stores (checked once, before a read).
    bool times_backed = false;
    bool values_backed = false;
    bool active_backed = false;

    // Closes every id; false when any close failed.
    bool close();
};

// One open file or group. Member order closes datasets before the group before the file.
struct OpenObject {
    ObjectKind kind = ObjectKind::file;
    std::int32_t file = 0;  // id of the open file that the object belongs to
    std::string name;       // a file: its name as the caller gave it
    FileHandle file_handle;
    GroupHandle group_handle;

    // A file: opened for writing; its dataset listing, kept until a dataset is created;
    // where the arrays found backed by its stored data lie, so that no group opened again
    // checks them again.
    bool writable = false;
    int begun = -1;  // a created file: its entry among the run's begun outputs
    std::optional<h5::DatasetPaths> paths;
    std::set<std::string> backed_arrays;

    // A group: its role, looked up on first use, and the deflate level of new arrays (-1 none).
    std::optional<h5::GroupRole> role;
    std::int32_t compression = -1;
    DataArrays data;

    hid_t hid() const { return kind == ObjectKind::file ? file_handle.get() : group_handle.get(); }
    // Closes the object's ids; false when any close failed.
    bool close();
};

class ObjectTable {
public:
    ObjectTable() = default;
    ObjectTable(const ObjectTable&) = delete;
    ObjectTable& operator=(const ObjectTable&) = delete;
    ~ObjectTable();

    // Takes the object and gives its id; 0 (and the object left with the caller) when no id is left.
    std::int32_t add(OpenObject& object);
    // The open object of that id (and kind); nullptr when there is none.
    OpenObject* find(std::int32_t id);
    OpenObject* find(std::int32_t id, ObjectKind kind);
    // Closes and forgets a group; false when unknown, not a group, or a close failed.
    bool close_group(std::int32_t id);
    // Closes and forgets a file with every group still open in it; false likewise.
    bool close_file(std::int32_t id);
    // Closes and forgets every file with its groups, and any group left; false when a close failed.
    bool close_all();
    // The names of the open files, as their callers gave them.
    std::vector<std::string> file_names() const;

private:
    std::unordered_map<std::int32_t, OpenObject> objects_;
    std::int32_t next_id_ = 1;
};

// The process's table; HDF5 is set up and silenced before it first exists.
ObjectTable& objects();

}  // namespace zorvel::results::xmdf
