#pragma once
// The dataset group that the XMDF readers opened last (the readers' shared
// data_group_id), with the file and dataset it holds. The timestep reader keeps
// it open from its first call to its last; the other readers open their groups
// into it too, each closing the group it replaces.

#include <cstdint>
#include <string>
#include <string_view>

#include "xmdf_read/catalogue.hpp"

namespace zorvel::xmdf_read {

struct DataGroup {
    std::int32_t id = 0;  // 0: no group held
    std::int32_t file_id = 0;
    bool is_vector = false;
    std::int32_t dataset = 0;
};

// The readers' one shared group.
DataGroup& data_group();

// Opens the dataset into the shared group, closing the group held before; false
// (and no group held) when the group did not open.
bool open_data_group(const XmdfFile& file, bool is_vector, std::int32_t dataset);
// True when the shared group holds that dataset of that file.
bool data_group_holds(const XmdfFile& file, bool is_vector, std::int32_t dataset);
// Closes the shared group; the status of XF_CLOSE_GROUP (negative for a failure).
std::int32_t close_data_group();

// The file's name as messages show it (trailing blanks dropped).
std::string name_of(const XmdfFile& file);

// The path of dataset k of the list (1..n_paths); the caller has checked k.
const std::string& dataset_path(const DatasetList& list, std::int32_t k);
// True when k names a dataset of the list.
bool valid_dataset(const DatasetList& list, std::int32_t k);

// Ends the run: the group of the dataset did not open.
[[noreturn]] void group_open_failed(const XmdfFile& file, const DatasetList& list, std::int32_t dataset);
// Ends the run: the table has no record of that number (a caller's mistake).
[[noreturn]] void no_such_file(std::int32_t file, std::string_view routine);
// The record of that number; ends the run when the table has none.
XmdfFile& file_record(XmdfTable& table, std::int32_t file, std::string_view routine);

}  // namespace zorvel::xmdf_read
