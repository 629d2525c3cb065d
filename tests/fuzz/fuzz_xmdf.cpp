// Fuzz harness of XMDF reading: the input describes an ".xmdf" file, which is built with
// the HDF5 C library in valid but odd forms (datasets at the root or deep down, wrong
// group types, arrays missing or of the wrong rank, type or size, strings for numbers,
// huge declared sizes without data), and the whole program then runs one of a few
// command lines on it. Byte-level damage to HDF5 files is not fuzzed here: a fault of
// the library on a damaged file ends the process by design.

#include <hdf5.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "harness.hpp"
#include "results/xmdf/binding.hpp"

using namespace zorvel;

namespace {

const char* const kFile = "in.xmdf";

const std::vector<std::vector<std::string>> kCommandLines = {
    {"-max", kFile, "-typeh", "-b"},       {"-min", kFile, "-s1", "-b"},
    {"-max", kFile, "-v1", "-b"},          {"-max", kFile, "-typeh", "-t2", "-b"},
    {"-times", kFile, "-typeh", "-b"},     {"-xnfo", kFile, "-b"},
    {"-conv", kFile, "-b"},                {"-avg", kFile, "-typed", "-b"},
    {"-k2", kFile, "-typeV", "-b"},        {"-con", kFile, kFile, "-typeh", "-b"},
    {"-max", kFile, "-path", "run/Temporal/Water Level", "-b"},
    {"-ensight", kFile, "-b"},
};

const char* const kPaths[] = {
    "run/Temporal/Water Level", "run/Maximums/Water Level", "run/Temporal/Vector Velocity",
    "run/Times/Time of Peak h", "run/Times/Duration Above 0.3m", "Water Level",
    "run/Temporal/Depth",       "run/a/b/Water Level",      "run/Minimums/Velocity",
    "run/Temporal/Unknown",     "run/Times/Time of First Depth > 0.1m", "run",
};
const char* const kGroupTypes[] = {"DATASET SCALAR", "DATASET VECTOR", "Generic", "", "DATASET"};

// Declared lengths of an array's dimensions; the last two are huge, one the largest that a
// 32-bit count holds, one beyond it.
const hsize_t kDims[] = {1, 2, 3, 6, 0, 4, (hsize_t{1} << 31) - 1, (hsize_t{1} << 32) + 5};

// A fixed-length text attribute, or (numeric) an integer attribute in its place.
void text_attribute(hid_t on, const char* name, const std::string& text, bool numeric) {
    const hid_t space = H5Screate(H5S_SCALAR);
    if (numeric) {
        const std::int32_t v = 7;
        const hid_t a = H5Acreate2(on, name, H5T_STD_I32LE, space, H5P_DEFAULT, H5P_DEFAULT);
        H5Awrite(a, H5T_NATIVE_INT32, &v);
        H5Aclose(a);
    } else {
        const hid_t type = H5Tcopy(H5T_C_S1);
        H5Tset_size(type, text.size() + 1);
        const hid_t a = H5Acreate2(on, name, type, space, H5P_DEFAULT, H5P_DEFAULT);
        H5Awrite(a, type, text.c_str());
        H5Aclose(a);
        H5Tclose(type);
    }
    H5Sclose(space);
}

// Creates every group on the way to the path (parents first); the group itself, open.
hid_t make_groups(hid_t file, const std::string& path) {
    std::size_t at = 0;
    hid_t g = -1;
    while (true) {
        const std::size_t slash = path.find('/', at);
        const std::string part = path.substr(0, slash);
        // What lies on the way may be a dataset: H5Oclose closes either kind.
        if (g >= 0) H5Oclose(g);
        if (H5Lexists(file, part.c_str(), H5P_DEFAULT) > 0)
            g = H5Oopen(file, part.c_str(), H5P_DEFAULT);
        else
            g = H5Gcreate2(file, part.c_str(), H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT);
        if (g < 0 || slash == std::string::npos) return g;
        at = slash + 1;
    }
}

// One array of a dataset group in the form the bytes ask for.
void make_array(hid_t group, const char* name, fuzz::Bytes& in) {
    const std::uint8_t form = in.byte();
    if (form % 8 == 7) return;  // missing
    const int rank = 1 + static_cast<int>(in.pick(4));
    hsize_t dims[4];
    hsize_t max_dims[4];
    hsize_t chunk[4];
    hsize_t count = 1;
    bool huge = false;
    for (int i = 0; i < rank; ++i) {
        dims[i] = kDims[in.pick(std::size(kDims))];
        max_dims[i] = H5S_UNLIMITED;
        chunk[i] = 1;
        huge = huge || dims[i] > 1024;
        count *= dims[i] > 0 ? dims[i] : 1;
    }
    hid_t type = H5T_IEEE_F32LE;
    hid_t memory = H5T_NATIVE_FLOAT;
    hid_t string_type = -1;
    switch ((form / 8) % 5) {
        case 1: type = H5T_IEEE_F64LE; memory = H5T_NATIVE_FLOAT; break;
        case 2: type = H5T_STD_I32LE; memory = H5T_NATIVE_FLOAT; break;
        case 3: type = H5T_STD_U8LE; memory = H5T_NATIVE_FLOAT; break;
        case 4:
            string_type = H5Tcopy(H5T_C_S1);
            H5Tset_size(string_type, 8);
            type = memory = string_type;
            break;
        default: break;
    }
    const hid_t space = H5Screate_simple(rank, dims, max_dims);
    const hid_t plist = H5Pcreate(H5P_DATASET_CREATE);
    H5Pset_chunk(plist, rank, chunk);
    const hid_t set = H5Dcreate2(group, name, type, space, H5P_DEFAULT, plist, H5P_DEFAULT);
    // Small arrays get values from the bytes; huge ones stay without data.
    if (set >= 0 && !huge && count > 0) {
        if (string_type >= 0) {
            std::vector<char> text(count * 8, '\0');
            for (std::size_t i = 0; i < count; ++i) std::snprintf(&text[i * 8], 8, "%d", in.byte());
            H5Dwrite(set, memory, H5S_ALL, H5S_ALL, H5P_DEFAULT, text.data());
        } else {
            std::vector<float> values(count);
            for (float& v : values) {
                const std::uint8_t b = in.byte();
                v = b == 255 ? __builtin_nanf("") : b == 254 ? 1e30f : static_cast<float>(b) / 4.0f;
            }
            H5Dwrite(set, memory, H5S_ALL, H5S_ALL, H5P_DEFAULT, values.data());
        }
    }
    if (set >= 0) H5Dclose(set);
    H5Pclose(plist);
    H5Sclose(space);
    if (string_type >= 0) H5Tclose(string_type);
}

// Builds the described file; false when HDF5 could not create it.
bool build_file(fuzz::Bytes& in) {
    const hid_t file = H5Fcreate(kFile, H5F_ACC_TRUNC, H5P_DEFAULT, H5P_DEFAULT);
    if (file < 0) return false;
    const std::uint8_t header = in.byte();
    const hid_t scalar = H5Screate(H5S_SCALAR);
    if (header % 4 != 3) {
        const hid_t type = H5Tcopy(H5T_C_S1);
        H5Tset_size(type, 5);
        const hid_t set = H5Dcreate2(file, "File Type", type, scalar, H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT);
        H5Dwrite(set, type, H5S_ALL, H5S_ALL, H5P_DEFAULT, header % 4 == 2 ? "Xmxx" : "Xmdf");
        H5Dclose(set);
        H5Tclose(type);
    }
    if (header / 4 % 3 != 2) {
        const hsize_t one = header / 4 % 3 == 1 ? 3 : 1;
        const hid_t space = H5Screate_simple(1, &one, nullptr);
        const float version[3] = {1.9f, 2.0f, 3.0f};
        const hid_t set = H5Dcreate2(file, "File Version", H5T_IEEE_F32LE, space, H5P_DEFAULT, H5P_DEFAULT,
                                     H5P_DEFAULT);
        H5Dwrite(set, H5T_NATIVE_FLOAT, H5S_ALL, H5S_ALL, H5P_DEFAULT, version);
        H5Dclose(set);
        H5Sclose(space);
    }
    H5Sclose(scalar);
    for (int k = 0; k < 6 && !in.empty(); ++k) {
        const std::string path = kPaths[in.pick(std::size(kPaths))];
        const hid_t group = make_groups(file, path);
        if (group < 0) continue;
        const std::uint8_t attrs = in.byte();
        if (attrs % 8 != 7 && H5Aexists(group, "Grouptype") == 0)
            text_attribute(group, "Grouptype", kGroupTypes[attrs % std::size(kGroupTypes)], attrs % 8 == 6);
        if (attrs / 8 % 4 != 3 && H5Aexists(group, "TimeUnits") == 0)
            text_attribute(group, "TimeUnits", attrs / 8 % 4 == 1 ? "Seconds" : "Hours", attrs / 8 % 4 == 2);
        if (H5Iget_type(group) == H5I_GROUP) {
            for (const char* name : {"Times", "Values", "Active", "Mins", "Maxs"})
                if (H5Lexists(group, name, H5P_DEFAULT) == 0) make_array(group, name, in);
        }
        H5Oclose(group);
    }
    return H5Fclose(file) >= 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::enter_work_folder();
    results::xmdf::setup_hdf5();
    fuzz::Bytes in(data, size);
    const std::vector<std::string>& words = kCommandLines[in.pick(kCommandLines.size())];
    if (build_file(in)) {
        const std::vector<std::string> before = fuzz::folder_files();
        int status = 0;
        fuzz::run_silenced([&] { status = driver::run_program(words); });
        fuzz::require_no_hdf5_ids();
        if (status != 0) fuzz::require_no_output_left(before);
    }
    fuzz::restore_work_folder();
    return 0;
}
