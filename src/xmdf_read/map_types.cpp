#include "xmdf_read/map_types.hpp"

#include <array>

#include "util/text.hpp"

namespace zorvel::xmdf_read {

namespace {

struct MapOutputType {
    std::string_view code;
    std::string_view description;
};

constexpr std::array<MapOutputType, N_MAP_OUTPUT_TYPES> kTypes = {{
    {"h", "Water Level"},
    {"d", "Depth"},
    {"v", "Velocity"},
    {"q", "Unit Flow"},
    {"n", "Manning n"},
    {"n2", "Manning n2"},
    {"eVis", "Viscosity Coeff"},
    {"R", "Flow Regime"},
    {"E", "Energy"},
    {"Fr", "Froude No"},
    {"Haz", "Hazard"},
    {"ZH", "Bathymetry"},
    {"S1", "Morphology"},
    {"ME%", "Mass Error %"},
    {"SS", "Source Flow"},
    {"WI10", "Wind"},
    {"AP", "Atmospheric Pressure"},
    {"FLC", "Form Loss Coeff"},
    {"CWF", "Cell Width Factor"},
    {"Cr", "Courant No."},
    {"RC", "Route Category"},
    {"Time", "Time Outputs"},
    {"BSS", "Bed Shear Stress"},
    {"SP", "Stream Power"},
    {"MB1", "MB1"},
    {"MB2", "MB2"},
    {"ZUK0", "ZUK0"},
    {"ZUK1", "ZUK1"},
    {"029", "029"},
    {"030", "030"},
    {"UD1", "UD1"},
    {"UD2", "UD2"},
    {"UD3", "UD3"},
    {"UD4", "UD4"},
    {"UD5", "UD5"},
    {"UD6", "UD6"},
    {"UD7", "UD7"},
    {"UD8", "UD8"},
    {"UD9", "UD9"},
    {"UD10", "UD10"},
    {"Z0", "Z0"},
    {"Z1", "Z1"},
    {"Z2", "Z2"},
    {"Z3", "Z3"},
    {"Z4", "Z4"},
    {"Z5", "Z5"},
    {"Z6", "Z6"},
    {"Z7", "Z7"},
    {"Z8", "Z8"},
    {"Z9", "Z9"},
    {"v", "Vector Velocity"},
    {"q", "Vector Unit Flow"},
    {"W", "Vector Wind"},
    {"n/a", "054"},
    {"n/a", "055"},
    {"n/a", "056"},
    {"n/a", "057"},
    {"n/a", "058"},
    {"n/a", "059"},
    {"n/a", "060"},
}};

// True for a row number of the table.
bool valid_row(int row) { return row >= 1 && row <= N_MAP_OUTPUT_TYPES; }

}  // namespace

std::string_view map_type_code(int row) {
    return valid_row(row) ? kTypes[static_cast<std::size_t>(row - 1)].code : std::string_view();
}

std::string_view map_type_description(int row) {
    return valid_row(row) ? kTypes[static_cast<std::size_t>(row - 1)].description
                          : std::string_view();
}

int map_type_by_description(std::string_view name) {
    for (int row = 1; row <= N_MAP_OUTPUT_TYPES; ++row)
        if (util::ASAME(name, map_type_description(row))) return row;
    return 0;
}

int map_type_by_code(std::string_view code) {
    const std::string cut = util::fit(code, util::kTypeCodeLen);
    int found = 0;
    for (int row = 1; row <= N_MAP_OUTPUT_TYPES; ++row)
        if (util::ASAME(cut, map_type_code(row))) found = row;
    return found;
}

}  // namespace zorvel::xmdf_read
