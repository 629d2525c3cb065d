#include "xmdf_read/data_group.hpp"

#include "results/xmdf/binding.hpp"
#include "util/numbers.hpp"
#include "util/text.hpp"
#include "util/units.hpp"

namespace zorvel::xmdf_read {

namespace xf = results::xmdf;

DataGroup& data_group() {
    static DataGroup group;
    return group;
}

bool open_data_group(const XmdfFile& file, bool is_vector, std::int32_t dataset) {
    DataGroup& g = data_group();
    if (g.id > 0) (void)close_data_group();
    const DatasetList& list = file.list(is_vector);
    if (!valid_dataset(list, dataset)) return false;
    std::int32_t status = 0;
    xf::XF_OPEN_GROUP(file.file_id, dataset_path(list, dataset), g.id, status);
    if (status < 0 || g.id <= 0) {
        g = DataGroup{};
        return false;
    }
    g.file_id = file.file_id;
    g.is_vector = is_vector;
    g.dataset = dataset;
    return true;
}

bool data_group_holds(const XmdfFile& file, bool is_vector, std::int32_t dataset) {
    const DataGroup& g = data_group();
    return g.id > 0 && g.file_id == file.file_id && g.is_vector == is_vector && g.dataset == dataset;
}

std::int32_t close_data_group() {
    DataGroup& g = data_group();
    std::int32_t status = 0;
    xf::XF_CLOSE_GROUP(g.id, status);
    g = DataGroup{};
    return status;
}

std::string name_of(const XmdfFile& file) { return util::trimmed(file.file_name); }

const std::string& dataset_path(const DatasetList& list, std::int32_t k) {
    return list.paths[static_cast<std::size_t>(k - 1)];
}

bool valid_dataset(const DatasetList& list, std::int32_t k) {
    return k >= 1 && k <= list.n_paths && static_cast<std::size_t>(k) <= list.paths.size();
}

void group_open_failed(const XmdfFile& file, const DatasetList& list, std::int32_t dataset) {
    const std::string path = valid_dataset(list, dataset) ? dataset_path(list, dataset) : std::string();
    util::fail("ERROR - Unable to open group [XF_OPEN_GROUP] \"" + path + "\" in " + name_of(file));
}

void no_such_file(std::int32_t file, std::string_view routine) {
    util::fail("ERROR - No XMDF file number " + util::AINTEGER(file) + " [" + std::string(routine) + "]");
}

XmdfFile& file_record(XmdfTable& table, std::int32_t file, std::string_view routine) {
    if (file < 1 || file > table.n_xmdf || static_cast<std::size_t>(file) > table.files.size())
        no_such_file(file, routine);
    return table.file(file);
}

}  // namespace zorvel::xmdf_read
