#include <gtest/gtest.h>

#include <set>
#include <string>

#include "xmdf_read/map_types.hpp"

namespace {

using namespace zorvel::xmdf_read;

TEST(MapTypes, TableShape) {
    EXPECT_EQ(map_type_code(1), "h");
    EXPECT_EQ(map_type_description(1), "Water Level");
    EXPECT_EQ(map_type_description(24), "Stream Power");
    EXPECT_EQ(map_type_code(31), "UD1");
    EXPECT_EQ(map_type_description(40), "UD10");
    EXPECT_EQ(map_type_code(41), "Z0");
    EXPECT_EQ(map_type_code(50), "Z9");
    EXPECT_EQ(map_type_description(53), "Vector Wind");
    EXPECT_EQ(map_type_code(60), "n/a");
    EXPECT_EQ(map_type_description(60), "060");
    EXPECT_EQ(map_type_code(0), "");
    EXPECT_EQ(map_type_description(61), "");
    std::set<std::string> descriptions;
    for (int row = 1; row <= N_MAP_OUTPUT_TYPES; ++row) {
        EXPECT_LE(map_type_code(row).size(), 4u) << row;
        EXPECT_LE(map_type_description(row).size(), 40u) << row;
        descriptions.emplace(map_type_description(row));
    }
    EXPECT_EQ(descriptions.size(), 60u);
}

TEST(MapTypes, CodeLookupLastMatchWins) {
    const struct {
        const char* code;
        const char* description;
    } cases[] = {
        {"h", "Water Level"},     {"H", "Water Level"},    {"v", "Vector Velocity"},
        {"V", "Vector Velocity"}, {"q", "Vector Unit Flow"}, {"n/a", "060"},
        {"ME%", "Mass Error %"},  {"Time", "Time Outputs"}, {"WI10", "Wind"},
        {"\"d\"", "Depth"},       {" d ", "Depth"},         {"Velocity", ""},
        {"XYZ", ""},              {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(map_type_description(map_type_by_code(c.code)), c.description) << c.code;
}

TEST(MapTypes, DescriptionLookupFirstMatch) {
    EXPECT_EQ(map_type_by_description("velocity"), 3);
    EXPECT_EQ(map_type_by_description("VELOCITY"), 3);
    EXPECT_EQ(map_type_by_description("Vector Velocity"), 51);
    EXPECT_EQ(map_type_by_description("Courant No."), 20);
    EXPECT_EQ(map_type_by_description("mass error %"), 14);
    EXPECT_EQ(map_type_by_description("  Depth  "), 2);
    EXPECT_EQ(map_type_by_description("Max Value"), 0);
    EXPECT_EQ(map_type_by_description(""), 0);
}

}  // namespace
