// The XMDF binding's table of open objects (see objects.hpp).

#include "results/xmdf/objects.hpp"

#include <limits>
#include <vector>

#include "results/xmdf/binding.hpp"
#include "util/begun_outputs.hpp"

namespace zorvel::results::xmdf {

bool DataArrays::close() {
    bool ok = times.close();
    ok = values.close() && ok;
    ok = mins.close() && ok;
    ok = maxs.close() && ok;
    ok = active.close() && ok;
    ok = row_space.close() && ok;
    ok = flag_space.close() && ok;
    ok = one_space.close() && ok;
    row_values = row_flags = 0;
    row_rank = 0;
    times_backed = values_backed = active_backed = false;
    return ok;
}

bool OpenObject::close() {
    bool ok = data.close();
    ok = group_handle.close() && ok;
    ok = file_handle.close() && ok;
    return ok;
}

std::int32_t ObjectTable::add(OpenObject& object) {
    if (next_id_ == std::numeric_limits<std::int32_t>::max()) return 0;
    const std::int32_t id = next_id_;
    if (object.kind == ObjectKind::file) object.file = id;
    objects_.emplace(id, std::move(object));
    ++next_id_;
    return id;
}

OpenObject* ObjectTable::find(std::int32_t id) {
    const auto it = objects_.find(id);
    return it == objects_.end() ? nullptr : &it->second;
}

OpenObject* ObjectTable::find(std::int32_t id, ObjectKind kind) {
    OpenObject* object = find(id);
    return object != nullptr && object->kind == kind ? object : nullptr;
}

bool ObjectTable::close_group(std::int32_t id) {
    const auto it = objects_.find(id);
    if (it == objects_.end() || it->second.kind != ObjectKind::group) return false;
    const bool ok = it->second.close();
    objects_.erase(it);
    return ok;
}

bool ObjectTable::close_file(std::int32_t id) {
    const auto it = objects_.find(id);
    if (it == objects_.end() || it->second.kind != ObjectKind::file) return false;
    // Groups first: HDF5 only lets go of a file once nothing in it is open.
    std::vector<std::int32_t> groups;
    for (const auto& [gid, object] : objects_)
        if (object.kind == ObjectKind::group && object.file == id) groups.push_back(gid);
    bool ok = true;
    for (const std::int32_t gid : groups) ok = close_group(gid) && ok;
    const auto file = objects_.find(id);
    ok = file->second.close() && ok;
    // A created file closed whole goes onto its name (at once, or at the run's end).
    if (ok) ok = util::complete_begun_output(file->second.begun);
    objects_.erase(file);
    return ok;
}

bool ObjectTable::close_all() {
    // Files last, so that each is flushed once nothing in it is open.
    std::vector<std::int32_t> files;
    for (const auto& [id, object] : objects_)
        if (object.kind == ObjectKind::file) files.push_back(id);
    bool ok = true;
    for (const std::int32_t id : files) ok = close_file(id) && ok;
    for (auto& [id, object] : objects_) ok = object.close() && ok;
    objects_.clear();
    return ok;
}

std::vector<std::string> ObjectTable::file_names() const {
    std::vector<std::string> names;
    for (const auto& [id, object] : objects_)
        if (object.kind == ObjectKind::file) names.push_back(object.name);
    return names;
}

ObjectTable::~ObjectTable() {
    // At the end of the process: close what is still open.
    try {
        (void)close_all();
    } catch (...) {
    }
}

ObjectTable& objects() {
    setup_hdf5();
    static ObjectTable table;
    return table;
}

}  // namespace zorvel::results::xmdf
