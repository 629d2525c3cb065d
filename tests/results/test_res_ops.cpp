// Running maxima and minima of result records, and the allocation check.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <sstream>
#include <vector>

#include "results/res_fields.hpp"
#include "results/res_ops.hpp"
#include "util/console.hpp"
#include "util/run_end.hpp"
#include "util/units.hpp"

namespace zorvel::results {
namespace {

using testing::flags_of;
using testing::scalar;
using testing::sources_of;
using testing::values_of;

// A mesh whose elements have the given corner words (node numbers from 1).
MESH_TYPE mesh_of(std::vector<std::array<std::int32_t, 4>> corners) {
    MESH_TYPE mesh;
    for (const auto& c : corners) {
        mesh_cell cell;
        cell.kind = c[3] == 0 ? 3 : 4;
        std::copy(c.begin(), c.end(), cell.nodes.begin());
        mesh.CELLS.push_back(cell);
    }
    mesh.ncells = static_cast<std::int32_t>(mesh.CELLS.size());
    return mesh;
}

const MESH_TYPE kNoMesh;

TEST(ResOps, ScalarMergesAreStrictSoTheFirstInputKeepsTies) {
    RES_TYPE max = scalar({-99999, -99999, -99999}, {0, 0});
    RES_MAX(scalar({1, 5, NAN}, {-1, 0}), max, kNoMesh, false, 1);
    RES_MAX(scalar({2, 5, 3}, {0, 0}), max, kNoMesh, false, 2);
    EXPECT_EQ(values_of(max), (std::vector<float>{2, 5, 3}));
    EXPECT_EQ(sources_of(max), (std::vector<int>{2, 1, 2}));
    EXPECT_EQ(flags_of(max), (std::vector<int>{1, 0}));

    RES_TYPE min = scalar({99999, 99999, 99999}, {1, 1});
    RES_MIN(scalar({1, 5, 3}, {-1, 0}), min, kNoMesh, false, 1);
    RES_MIN(scalar({1, 4, NAN}, {1, 1}), min, kNoMesh, false, 2);
    EXPECT_EQ(values_of(min), (std::vector<float>{1, 4, 3}));
    EXPECT_EQ(sources_of(min), (std::vector<int>{1, 2, 1}));
    EXPECT_EQ(flags_of(min), (std::vector<int>{1, 0}));
}

TEST(ResOps, WaterLevelsCountOnlyAtCornersOfWetCells) {
    // Cell 1 a triangle on nodes 1 2 3, cell 2 a quadrilateral on nodes 3 4 5 6.
    const MESH_TYPE mesh = mesh_of({{1, 3, 2, 0}, {3, 6, 5, 4}});
    RES_TYPE max = scalar({0, 0, 0, 0, 0, 0, 0}, {0, 0});
    RES_MAX(scalar({1, 1, 1, 1, 1, 1, 9}, {1, 0}), max, mesh, true, 1);
    EXPECT_EQ(values_of(max), (std::vector<float>{1, 1, 1, 0, 0, 0, 0}));
    RES_MAX(scalar({2, 2, 2, 2, 2, 2, 9}, {0, -1}), max, mesh, true, 2);
    EXPECT_EQ(values_of(max), (std::vector<float>{1, 1, 2, 2, 2, 2, 0}));
    EXPECT_EQ(sources_of(max), (std::vector<int>{1, 1, 2, 2, 2, 2, 0}));

    RES_TYPE min = scalar({5, 5, 5, 5, 5, 5, 5}, {1, 1});
    RES_MIN(scalar({0, 0, 0, 0, 0, 0, 0}, {0, 1}), min, mesh, true, 3);
    EXPECT_EQ(values_of(min), (std::vector<float>{5, 5, 0, 0, 0, 0, 5}));
    EXPECT_EQ(flags_of(min), (std::vector<int>{0, 1}));

    // Any flag but 0 is wet, as other writers store them: 2 wets the triangle's corners.
    RES_MAX(scalar({3, 3, 3, 3, 3, 3, 9}, {2, 0}), max, mesh, true, 6);
    EXPECT_EQ(values_of(max), (std::vector<float>{3, 3, 3, 2, 2, 2, 0}));

    // A finite-volume result compares every node, whatever the flags.
    RES_TYPE fv = scalar({3, 3}, {0, 0});
    fv.is_fv = true;
    RES_TYPE out = scalar({0, 0}, {0, 0});
    RES_MAX(fv, out, mesh, true, 4);
    EXPECT_EQ(values_of(out), (std::vector<float>{3, 3}));

    // Without element records the wet nodes are unknown: every node is compared.
    RES_TYPE unread = scalar({0, 0, 0}, {0, 0});
    RES_MAX(scalar({1, 2, 3}, {0, 0}), unread, kNoMesh, true, 5);
    EXPECT_EQ(values_of(unread), (std::vector<float>{1, 2, 3}));
}

TEST(ResOps, VectorsTakeBothComponentsOfTheFasterOne) {
    RES_TYPE max = scalar({0, 0}, {});
    max.is_vector = true;
    RES_TYPE a = scalar({3, 0}, {});
    a.is_vector = true;
    a.y[0] = 4;        // speed 5
    a.y[1] = 1.0e-7f;  // below the speed threshold: speed 0
    RES_TYPE b = a;
    testing::set_nodes(b, {{-4.9f, 0.5f, 0}, {0, 2, 0}});  // speeds just under 5, and 2
    RES_MAX(a, max, kNoMesh, true, 1);
    RES_MAX(b, max, kNoMesh, true, 2);
    EXPECT_EQ(max.value[0], 3);
    EXPECT_EQ(max.y[0], 4);
    EXPECT_EQ(max.source[0], 1);
    EXPECT_EQ(max.value[1], 0);
    EXPECT_EQ(max.y[1], 2);
    EXPECT_EQ(max.source[1], 2);

    RES_TYPE min = a;
    RES_MIN(b, min, kNoMesh, false, 2);
    EXPECT_EQ(min.value[0], -4.9f);
    EXPECT_EQ(min.y[0], 0.5f);
    EXPECT_EQ(min.y[1], 1.0e-7f);  // speed 0 is not beaten
}

TEST(ResOps, NewRecordsAndTheAllocationCheck) {
    const RES_TYPE r = NEW_RES(2, 5);
    EXPECT_EQ(r.value.size(), 5u);
    EXPECT_EQ(r.y.size(), 5u);
    EXPECT_EQ(r.source.size(), 5u);
    EXPECT_EQ(r.value[4], 0.0f) << "fresh node arrays read 0";
    EXPECT_EQ(r.CELL.size(), 2u);
    EXPECT_EQ(r.nnodes, 0);
    EXPECT_EQ(r.ncells, 0);
    EXPECT_TRUE(NEW_RES(-1, -3).value.empty());

    util::ZeroedArray<float> none;
    EXPECT_EQ(none.allocate(std::int64_t{1} << 62), 1);
    EXPECT_TRUE(none.empty());
    std::vector<std::array<float, 4>> huge;
    EXPECT_EQ(allocate_array(huge, std::int64_t{1} << 62), 1);
    EXPECT_EQ(allocate_array(huge, 3), 0);
    EXPECT_EQ(huge.size(), 3u);

    std::ostringstream out;
    std::istringstream in;
    util::ConsoleCapture capture(out, in);
    util::FILEUNITINIT(1000);
    CHECK_ALLOC(0);
    EXPECT_EQ(out.str(), "");
    EXPECT_THROW(CHECK_ALLOC(1), util::RunEnd);
    EXPECT_EQ(out.str(), "\nERROR - Could not allocate enough memory (RAM).\n\nPress Enter to Close\n");
}

}  // namespace
}  // namespace zorvel::results
