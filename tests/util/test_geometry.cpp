#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <numbers>
#include <sstream>
#include <vector>

#include "util/console.hpp"
#include "util/geometry.hpp"
#include "util/run_end.hpp"
#include "util/support.hpp"
#include "util/units.hpp"

namespace zorvel::util {
namespace {

// Runs f, expects it to end the run, and returns what it wrote on the console.
template <typename F>
std::string fatal_text(F f) {
    std::ostringstream out;
    std::istringstream in("");
    ConsoleCapture capture(out, in);
    FILEUNITINIT(1000);
    EXPECT_THROW(f(), RunEnd);
    return out.str();
}

std::string polygon_message(const std::string& routine) {
    return "\nInvalid number of polygons in region sent to " + routine + " - contact " +
           std::string(kSupportAddress) + "\n\nPress Enter to Close\n";
}

TEST(Geometry, DistancesAndAngles) {
    EXPECT_FLOAT_EQ(DISTANCE(0.0f, 0.0f, 1.0e-6f, 0.0f), 1.0e-6f);
    EXPECT_EQ(DISTANCE(0.0f, 0.0f, 0.9e-6f, -0.9e-6f), 0.0f);
    EXPECT_FLOAT_EQ(DISTANCE(1.0f, 1.0f, 4.0f, 5.0f), 5.0f);
    // The differences are formed in 64-bit: far from the origin a 32-bit sum would lose them.
    EXPECT_FLOAT_EQ(DISTANCE_8(1.0e9, 1.0e9, 1.0e9 + 3.0, 1.0e9 + 4.0), 5.0f);

    EXPECT_FLOAT_EQ(ANGLE2D(0, 0, 1, 0, 5, 5, 5, 9), 90.0f);
    EXPECT_FLOAT_EQ(ANGLE2D(0, 0, 2, 1, 2, 1, 0, 0), 180.0f);
    EXPECT_EQ(ANGLE2D(3, 3, 3, 3, 0, 0, 1, 1), 0.0f);
    EXPECT_EQ(ANGLE2D(0, 0, 1, 1, 7, 7, 7 + 1.0e-7, 7), 0.0f);
    // Directions of 170 and -170 degrees are 20 degrees apart, in either order.
    const double c = std::cos(170.0 * std::numbers::pi / 180.0), s = std::sin(170.0 * std::numbers::pi / 180.0);
    EXPECT_NEAR(ANGLE2D(0, 0, c, s, 0, 0, c, -s), 20.0f, 1.0e-4);
    EXPECT_NEAR(ANGLE2D(0, 0, c, -s, 0, 0, c, s), 20.0f, 1.0e-4);

    EXPECT_TRUE(SAME_POINT(1.0f, 2.0f, 1.05f, 1.95f, 0.1f));
    EXPECT_FALSE(SAME_POINT(1.0f, 2.0f, 1.0f, 2.2f, 0.1f));
    EXPECT_TRUE(SAME_POINT_8(1.0, 2.0, 1.0, 2.0 + 1.0e-12, 1.0e-9));
}

TEST(Geometry, SidesAndSegmentTests) {
    EXPECT_GT(CROSS_PRODUCT_8(0, 0, 1, 0, 0.5, 1), 0.0f);  // left of a->b
    EXPECT_LT(CROSS_PRODUCT_8(0, 0, 1, 0, 0.5, -1), 0.0f);
    EXPECT_GT(SAME_SIDE(0, 0, 4, 0, 1, 1, 3, 2), 0.0f);
    EXPECT_LT(SAME_SIDE(0, 0, 4, 0, 1, 1, 3, -2), 0.0f);
    EXPECT_EQ(SAME_SIDE(0, 0, 4, 0, 9, 0, 3, -2), 0.0f);
    EXPECT_LT(SAME_SIDE_8(1.0e9, 0, 1.0e9 + 4, 0, 1.0e9 + 1, 1, 1.0e9 + 3, -2), 0.0f);

    EXPECT_TRUE(INTERSECT_POINT(0, 0, 2, 2, 7, 7));
    EXPECT_FALSE(INTERSECT_POINT(0, 0, 2, 2, 7, 7.001f));

    struct Case {
        float s[8];
        bool meet;
    };
    const Case cases[] = {
        {{0, 0, 2, 2, 0, 2, 2, 0}, true},    // crossing
        {{0, 0, 2, 0, 1, 0, 1, 5}, true},    // touching
        {{0, 0, 1, 1, 3, 0, 3, 5}, false},   // apart
        {{0, 0, 1, 0, 5, 0, 7, 0}, true},    // on one line, even apart
        {{0, 0, 1, 0, 0, 1, 1, 1}, false},   // parallel
    };
    for (const Case& k : cases) {
        const float* s = k.s;
        EXPECT_EQ(INTERSECT_LINE(s[0], s[1], s[2], s[3], s[4], s[5], s[6], s[7]), k.meet);
        EXPECT_EQ(INTERSECT_LINE_8(s[0], s[1], s[2], s[3], s[4], s[5], s[6], s[7]), k.meet);
    }
}

TEST(Geometry, KindOfSegmentMeeting) {
    struct Case {
        float s[8];
        std::int32_t kind;
    };
    const Case cases[] = {
        {{0, 0, 2, 2, 0, 2, 2, 0}, 3},       // both inside
        {{0, 0, 2, 0, 0, -1, 0, 1}, 2},      // at the start of the first, inside the second
        {{0, -1, 0, 1, 0, 0, 2, 0}, 1},      // at the start of the second
        {{0, 0, 2, 0, 2, -1, 2, 1}, 3},      // the end of a segment counts
        {{0, 0, 1, 0, 3, -1, 3, 1}, 2},      // beyond the end of the first
        {{0, 0, 1, 0, 3, 1, 3, 2}, 4},       // on neither
        {{0, 0, 1, 0, 0, 1, 1, 1}, 0},       // parallel
        {{0, 0, 1, 0, 2, 0, 3, 0}, -1},      // on one line
    };
    for (const Case& k : cases) {
        const float* s = k.s;
        SCOPED_TRACE(k.kind);
        EXPECT_EQ(INTERSECT_LINE_V2(s[0], s[1], s[2], s[3], s[4], s[5], s[6], s[7]), k.kind);
        EXPECT_EQ(INTERSECT_LINE_V2_8(s[0], s[1], s[2], s[3], s[4], s[5], s[6], s[7]), k.kind);
    }
}

TEST(Geometry, MeetingPointOfLines) {
    float x = 42.0f, y = 42.0f;
    EXPECT_TRUE(INTERSECTION_POINT(0, 0, 2, 2, 0, 2, 2, 0, x, y));
    EXPECT_FLOAT_EQ(x, 1.0f);
    EXPECT_FLOAT_EQ(y, 1.0f);
    EXPECT_TRUE(INTERSECTION_POINT(3, 0, 3, 1, 0, 0, 1, 2, x, y));  // first line vertical
    EXPECT_FLOAT_EQ(x, 3.0f);
    EXPECT_FLOAT_EQ(y, 6.0f);
    EXPECT_TRUE(INTERSECTION_POINT(0, 1, 2, 2, 4, 9, 4, 0, x, y));  // second line vertical
    EXPECT_FLOAT_EQ(x, 4.0f);
    EXPECT_FLOAT_EQ(y, 3.0f);
    x = y = 42.0f;
    EXPECT_FALSE(INTERSECTION_POINT(0, 0, 1, 1, 0, 1, 1, 2, x, y));  // parallel
    EXPECT_FALSE(INTERSECTION_POINT(1, 0, 1, 1, 2, 0, 2, 1, x, y));  // both vertical
    EXPECT_EQ(x, 42.0f);
    EXPECT_EQ(y, 42.0f);
    double xd = 0, yd = 0;
    EXPECT_TRUE(INTERSECTION_POINT_8(0, 0, 2, 2, 0, 2, 2, 0, xd, yd));
    EXPECT_DOUBLE_EQ(xd, 1.0);
    EXPECT_DOUBLE_EQ(yd, 1.0);
}

// A region of layout A (position 0 holds no vertex) from closed rings; n and part ends follow.
struct RegionA {
    std::vector<float> x{0.0f}, y{0.0f};
    std::vector<std::int32_t> ends;
    void add(std::initializer_list<std::array<float, 2>> ring) {
        if (!ends.empty()) {  // the entry between two polygons
            x.push_back(0.0f);
            y.push_back(0.0f);
        }
        for (const auto& p : ring) {
            x.push_back(p[0]);
            y.push_back(p[1]);
        }
        ends.push_back(static_cast<std::int32_t>(x.size()) - 1);
    }
    std::int32_t n() const { return static_cast<std::int32_t>(x.size()); }
    std::vector<double> xd() const { return {x.begin(), x.end()}; }
    std::vector<double> yd() const { return {y.begin(), y.end()}; }
};

TEST(Geometry, InsidePolygonRayThroughVertices) {
    // A square with a notch whose tip touches the height y = 2 at (3, 2) and turns back.
    RegionA notch;
    notch.add({{0, 0}, {6, 0}, {6, 4}, {4, 4}, {3, 2}, {2, 4}, {0, 4}, {0, 0}});
    EXPECT_TRUE(INSIDE_POLYGON(5, 2, notch.x, notch.y, notch.n(), -1, notch.ends, 1));
    EXPECT_FALSE(INSIDE_POLYGON(3, 3, notch.x, notch.y, notch.n(), -1, notch.ends, 1));
    EXPECT_FALSE(INSIDE_POLYGON(7, 2, notch.x, notch.y, notch.n(), -1, notch.ends, 1));

    // A diamond whose left vertex lies on the ray and is also where its ring starts:
    // the boundary passes through it from below to above, which is one crossing.
    RegionA diamond;
    diamond.add({{-2, 0}, {0, 2}, {2, 0}, {0, -2}, {-2, 0}});
    EXPECT_TRUE(INSIDE_POLYGON(0, 0, diamond.x, diamond.y, diamond.n(), -3, diamond.ends, 1));
    EXPECT_TRUE(INSIDE_POLYGON_8(0, 0, diamond.xd(), diamond.yd(), diamond.n(), -3, diamond.ends, 1));
    EXPECT_FALSE(INSIDE_POLYGON(3, 0, diamond.x, diamond.y, diamond.n(), -3, diamond.ends, 1));
    // The same diamond started at its top vertex gives the same answers.
    RegionA turned;
    turned.add({{0, 2}, {2, 0}, {0, -2}, {-2, 0}, {0, 2}});
    EXPECT_TRUE(INSIDE_POLYGON(0, 0, turned.x, turned.y, turned.n(), -3, turned.ends, 1));
    EXPECT_TRUE(INSIDE_POLYGON(-1, 0.5f, turned.x, turned.y, turned.n(), -3, turned.ends, 1));

    // Too few entries for an edge.
    EXPECT_FALSE(INSIDE_POLYGON(0, 0, std::vector<float>{0, 0}, std::vector<float>{0, 0}, 2, -1,
                                std::vector<std::int32_t>{1}, 1));
}

TEST(Geometry, InsidePolygonOfSeveralParts) {
    RegionA two;
    two.add({{0, 0}, {2, 0}, {2, 2}, {0, 2}, {0, 0}});
    two.add({{5, 0}, {7, 0}, {7, 2}, {5, 2}, {5, 0}});
    // The entry between the polygons must not join them: (3.5, 1) lies in neither.
    for (const auto& [x, y, in] : {std::tuple{1.0f, 1.0f, true}, {6.0f, 1.0f, true}, {3.5f, 1.0f, false},
                                   {8.0f, 1.0f, false}}) {
        EXPECT_EQ(INSIDE_POLYGON(x, y, two.x, two.y, two.n(), -1, two.ends, 2), in) << x;
        EXPECT_EQ(INSIDE_POLYGON_8(x, y, two.xd(), two.yd(), two.n(), -1, two.ends, 2), in) << x;
        EXPECT_EQ(INSIDE_OR_ON_POLYGON_8(x, y, two.xd(), two.yd(), two.n(), -1, two.ends, 2), in) << x;
    }
    EXPECT_EQ(fatal_text([&] { INSIDE_POLYGON(1, 1, two.x, two.y, two.n(), -1, two.ends, 1); }),
              polygon_message("inside_polygon routine [1]"));
    EXPECT_EQ(fatal_text([&] { INSIDE_POLYGON_8(1, 1, two.xd(), two.yd(), two.n(), -1, two.ends, 1); }),
              polygon_message("inside_polygon routine [2]"));
    EXPECT_EQ(fatal_text([&] { INSIDE_OR_ON_POLYGON_8(9, 9, two.xd(), two.yd(), two.n(), -1, two.ends, 1); }),
              polygon_message("inside_polygon routine [1]"));
}

TEST(Geometry, InsideOrOnPolygonTakesEdgesButNotTheirExtensions) {
    RegionA sq;
    sq.add({{0, 0}, {2, 0}, {2, 2}, {0, 2}, {0, 0}});
    const auto x = sq.xd(), y = sq.yd();
    EXPECT_TRUE(INSIDE_OR_ON_POLYGON_8(1, 0, x, y, sq.n(), -1, sq.ends, 1));  // on the bottom edge
    EXPECT_TRUE(INSIDE_OR_ON_POLYGON_8(2, 2, x, y, sq.n(), -1, sq.ends, 1));  // a corner
    EXPECT_FALSE(INSIDE_POLYGON_8(1, 0, x, y, sq.n(), -1, sq.ends, 1));
    // On the line of the bottom edge, behind its start and within the edge's length.
    EXPECT_FALSE(INSIDE_OR_ON_POLYGON_8(-1, 0, x, y, sq.n(), -2, sq.ends, 1));
    EXPECT_FALSE(INSIDE_OR_ON_POLYGON_8(3, 0, x, y, sq.n(), -2, sq.ends, 1));
}

TEST(Geometry, InsideConvexPolygon) {
    const std::vector<double> x{0, 2, 2, 0, 0}, y{0, 0, 2, 2, 0};
    const std::vector<double> xr{0, 0, 2, 2, 0}, yr{0, 2, 2, 0, 0};  // the other orientation
    for (const auto& [px, py, in] : {std::tuple{1.0, 1.0, true}, {2.0, 1.0, true}, {0.0, 0.0, true},
                                     {3.0, 1.0, false}, {1.0, -0.5, false}, {4.0, 0.0, false}}) {
        EXPECT_EQ(INSIDE_CONVEX_POLYGON_8(px, py, 4, x, y), in) << px << "," << py;
        EXPECT_EQ(INSIDE_CONVEX_POLYGON_8(px, py, 4, xr, yr), in) << px << "," << py;
    }
    EXPECT_FALSE(INSIDE_CONVEX_POLYGON_8(1, 1, 0, x, y));
    EXPECT_FALSE(INSIDE_CONVEX_POLYGON_8(1, 1, 1, x, y));
}

TEST(Geometry, PointsInsideRegion) {
    // Layout B: positions from 1; a square, the entry between, a triangle, one entry more.
    const std::vector<float> x{0, 4, 4, 0, 0, 0, 6, 9, 6, 6, 6};
    const std::vector<float> y{0, 0, 4, 4, 0, 0, 0, 0, 3, 0, 0};
    const std::vector<std::int32_t> ends{5, 10};
    const std::vector<float> px{1, 5, 7, 3, -1, 8.5f};
    const std::vector<float> py{1, 1, 1, 5, 2, 2};
    std::vector<std::int32_t> flags(6, 7);
    std::int32_t count = -1;
    POINTS_INSIDE_POLYGON(flags, px, py, 6, count, x, y, 11, ends, 2);
    EXPECT_EQ(flags, (std::vector<std::int32_t>{1, 0, 1, 0, 0, 0}));
    EXPECT_EQ(count, 2);

    const std::vector<double> xd(x.begin(), x.end()), yd(y.begin(), y.end());
    const std::vector<double> pxd(px.begin(), px.end()), pyd(py.begin(), py.end());
    std::fill(flags.begin(), flags.end(), 7);
    POINTS_INSIDE_POLYGON_8(flags, pxd, pyd, 6, count, xd, yd, 11, ends, 2);
    EXPECT_EQ(flags, (std::vector<std::int32_t>{1, 0, 1, 0, 0, 0}));
    EXPECT_EQ(count, 2);

    POINTS_INSIDE_POLYGON(flags, px, py, 0, count, x, y, 11, ends, 2);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(fatal_text([&] { POINTS_INSIDE_POLYGON(flags, px, py, 6, count, x, y, 11, ends, 1); }),
              polygon_message("grid_inside_polygon routine [4]"));
    EXPECT_EQ(fatal_text([&] { POINTS_INSIDE_POLYGON_8(flags, pxd, pyd, 6, count, xd, yd, 11, ends, 1); }),
              polygon_message("grid_inside_polygon routine [5]"));
}

TEST(Geometry, TriangleInterpolation) {
    // Corner values on the plane z = 1 + 2x + 3y.
    const float cx[3] = {0, 4, 0}, cy[3] = {0, 0, 2}, cz[3] = {1, 9, 7};
    const double cxd[3] = {0, 4, 0}, cyd[3] = {0, 0, 2};
    struct Case {
        float x, y;
    };
    // The plane's value wherever the point lies: the triangle need not hold it.
    const Case cases[] = {
        {0, 0}, {4, 0}, {0, 2},     // corners
        {1, 0.5f}, {2, 1}, {2, 0},  // inside, on the hypotenuse, on an edge
        {3, 1}, {-1, 1}, {1, -0.5f},  // outside, beyond each edge
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message() << k.x << "," << k.y);
        const float plane = 1 + 2 * k.x + 3 * k.y;
        float v = 0, v8 = 0, free = 0, free8 = 0;
        EXPECT_TRUE(INTERPOLATE_TRIANGLE(k.x, k.y, cx, cy, cz, v));
        EXPECT_TRUE(INTERPOLATE_TRIANGLE_8(k.x, k.y, cxd, cyd, cz, v8));
        EXPECT_FLOAT_EQ(v, plane);
        EXPECT_FLOAT_EQ(v8, plane);
        INTERPOLATE_TRIANGLE_NO_CHECKS(k.x, k.y, cx, cy, cz, free);
        INTERPOLATE_TRIANGLE_NO_CHECKS_8(k.x, k.y, cxd, cyd, cz, free8);
        EXPECT_NEAR(free, plane, 1.0e-5);
        EXPECT_NEAR(free8, plane, 1.0e-5);
    }
    // A point on the hypotenuse of a triangle far from the origin, whose coordinates are
    // rounded to 32 bits: it lies a little off the edge, and still gets the plane's value.
    {
        const float fx[3] = {500000, 500010, 500000}, fy[3] = {0, 0, 10}, fz[3] = {0, 10, 10};
        const float px = 500003.3f, py = 6.7f;  // stored as 500003.3125 and 6.6999998
        float v = 0;
        EXPECT_TRUE(INTERPOLATE_TRIANGLE(px, py, fx, fy, fz, v));
        EXPECT_NEAR(v, (px - 500000) + py, 1.0e-3);
        const double dx[3] = {500000, 500010, 500000}, dy[3] = {0, 0, 10};
        EXPECT_TRUE(INTERPOLATE_TRIANGLE_8(px, py, dx, dy, fz, v));
        EXPECT_NEAR(v, (px - 500000) + py, 1.0e-3);
    }
    // A triangle without area: no point found, and a defined value without checks.
    const float lx[3] = {0, 1, 2}, ly[3] = {0, 1, 2};
    float v = 0;
    EXPECT_FALSE(INTERPOLATE_TRIANGLE(1, 1, lx, ly, cz, v));
    EXPECT_EQ(v, kNoValue);
    EXPECT_FALSE(INTERPOLATE_TRIANGLE(5, -3, lx, ly, cz, v));
    EXPECT_EQ(v, kNoValue);
    INTERPOLATE_TRIANGLE_NO_CHECKS(1, 1, lx, ly, cz, v);
    EXPECT_FLOAT_EQ(v, 17.0f / 3.0f);
}

TEST(Geometry, ElementInterpolation) {
    const double tx[3] = {0, 4, 0}, ty[3] = {0, 0, 2};
    const float tz[3] = {1, 9, 7};
    float v = 5;
    EXPECT_TRUE(INTERPOLATE_ELEMENT_8(1, 0.5, tx, ty, tz, 3, -1, v));
    EXPECT_FLOAT_EQ(v, 1 + 2 + 1.5f);
    v = 5;
    EXPECT_FALSE(INTERPOLATE_ELEMENT_8(3, 3, tx, ty, tz, 3, -1, v));
    EXPECT_EQ(v, 5.0f);

    // A square with values on z = x + 2y: each pair of triangles holding the point agrees.
    const double qx[4] = {0, 2, 2, 0}, qy[4] = {0, 0, 2, 2};
    const float qz[4] = {0, 2, 6, 4};
    EXPECT_TRUE(INTERPOLATE_ELEMENT_8(0.5, 1.25, qx, qy, qz, 4, -1, v));
    EXPECT_FLOAT_EQ(v, 3.0f);
    EXPECT_FALSE(INTERPOLATE_ELEMENT_8(3, 1, qx, qy, qz, 4, -1, v));
    EXPECT_EQ(v, kNoValue);
    v = 5;
    EXPECT_FALSE(INTERPOLATE_ELEMENT_8(1, 1, qx, qy, qz, 5, -1, v));
    EXPECT_EQ(v, 5.0f);
}

TEST(Geometry, SubGridArea) {
    const std::vector<float> x{2.5f, 7.2f, 4.0f}, y{1.5f, 3.9f, 12.0f};
    std::int32_t r0, c0, r1, c1;
    float xmin, ymin, xmax, ymax;
    SET_SUB_GRID_AREA(x, y, 3, 2.0f, 5, 10, r0, c0, r1, c1, xmin, ymin, xmax, ymax);
    EXPECT_EQ(std::tie(xmin, ymin, xmax, ymax), std::tie(x[0], y[0], x[1], y[2]));
    EXPECT_EQ(c0, 2);
    EXPECT_EQ(r0, 1);
    EXPECT_EQ(c1, 4);
    EXPECT_EQ(r1, 5);  // int(12/2)+1 = 7 held to the grid's 5 rows

    // A box reaching left of and below the origin: first column int(-5)+1 and first row
    // int(-1)+1 are not positive, and are given as 0.
    const std::vector<float> xl{-5.0f, 3.0f}, yl{-1.0f, 1.0f};
    SET_SUB_GRID_AREA(xl, yl, 2, 1.0f, 5, 10, r0, c0, r1, c1, xmin, ymin, xmax, ymax);
    EXPECT_EQ(c0, 0);
    EXPECT_EQ(r0, 0);
    EXPECT_EQ(c1, 4);
    EXPECT_EQ(r1, 2);

    // Off the grid to the right or to the left, or a cell size of 0: an empty range.
    const std::vector<float> xr{50.0f, 60.0f}, xw{-5.0f, -3.0f};
    SET_SUB_GRID_AREA(xr, y, 2, 1.0f, 5, 10, r0, c0, r1, c1, xmin, ymin, xmax, ymax);
    EXPECT_GT(c0, c1);
    SET_SUB_GRID_AREA(xw, y, 2, 1.0f, 5, 10, r0, c0, r1, c1, xmin, ymin, xmax, ymax);
    EXPECT_GT(c0, c1);
    SET_SUB_GRID_AREA(x, y, 3, 0.0f, 5, 10, r0, c0, r1, c1, xmin, ymin, xmax, ymax);
    EXPECT_GT(c0, c1);
    EXPECT_GT(r0, r1);
    EXPECT_EQ(xmax, 7.2f);  // the box is still given

    // Fewer than two points: the box of the first.
    SET_SUB_GRID_AREA(x, y, 1, 1.0f, 5, 10, r0, c0, r1, c1, xmin, ymin, xmax, ymax);
    EXPECT_EQ(std::tie(xmin, xmax), std::tie(x[0], x[0]));
}

// A grid of nrows x ncols with every cell value at a given start.
struct TestGrid {
    std::int32_t nrows, ncols;
    std::vector<std::int8_t> marks, crossings;
    std::vector<std::int32_t> ints;
    std::vector<float> reals;
    TestGrid(std::int32_t r, std::int32_t c)
        : nrows(r), ncols(c), marks(r * c, 0), crossings(r * c, 0), ints(r * c, 0), reals(r * c, 0.0f) {}
    GridCells cells() { return {marks, crossings, ints, reals, nrows, ncols}; }
    std::size_t at(std::int32_t m, std::int32_t i) const { return (i - 1) * nrows + (m - 1); }
    // The marks row by row from the top, "#" for a marked cell.
    std::string picture() const {
        std::string s;
        for (std::int32_t m = nrows; m >= 1; --m) {
            for (std::int32_t i = 1; i <= ncols; ++i) s += marks[at(m, i)] ? '#' : '.';
            s += '\n';
        }
        return s;
    }
};

TEST(Geometry, GridInsideRectangleAndTriangle) {
    // Rectangle from (2, 2) to (6, 5), layout B with one entry more.
    const std::vector<float> x{2, 6, 6, 2, 2, 2}, y{2, 2, 5, 5, 2, 2};
    const std::vector<std::int32_t> ends{5};
    const float corners[3] = {0, 0, 0};
    TestGrid g(7, 8);
    GridCells cells = g.cells();
    GridFill fill;
    fill.set_values = true;
    fill.integer_mode = true;
    fill.value = 2.5f;  // rounds to 3
    GridBox box;
    GRID_INSIDE_POLYGON(cells, 1.0f, 1.0f, fill, box, x, y, corners, 6, ends, 1);
    EXPECT_EQ(g.picture(),
              "........\n"
              "........\n"
              "..####..\n"
              "..####..\n"
              "..####..\n"
              "........\n"
              "........\n");
    EXPECT_EQ(box.count, 12);
    EXPECT_EQ(std::tie(box.first_row, box.first_col, box.last_row, box.last_col), std::make_tuple(3, 3, 6, 7));
    EXPECT_EQ(g.ints[g.at(3, 3)], 3);
    EXPECT_EQ(g.ints[g.at(2, 3)], 0);

    // Adding a negative half rounds away from zero; the 64-bit twin marks the same cells.
    fill.add = true;
    fill.value = -2.5f;
    const std::vector<double> xd(x.begin(), x.end()), yd(y.begin(), y.end());
    const std::string before = g.picture();
    GRID_INSIDE_POLYGON_8(cells, 1.0, 1.0, fill, box, xd, yd, corners, 6, ends, 1);
    EXPECT_EQ(g.picture(), before);
    EXPECT_EQ(box.count, 12);
    EXPECT_EQ(g.ints[g.at(4, 5)], 0);

    // Margins hold the box off the grid's edges; a crossing left of the box counts in
    // its first column, one right of it is dropped.
    fill = GridFill{};
    fill.col_margin = 4;
    TestGrid m(7, 8);
    GridCells mcells = m.cells();
    GRID_INSIDE_POLYGON(mcells, 1.0f, 1.0f, fill, box, x, y, corners, 6, ends, 1);
    EXPECT_EQ(std::tie(box.first_col, box.last_col, box.count), std::make_tuple(4, 4, 3));
    EXPECT_EQ(m.picture(),
              "........\n"
              "........\n"
              "...#....\n"
              "...#....\n"
              "...#....\n"
              "........\n"
              "........\n");

    // A triangle (three corners, the first again, one entry more) interpolated at the
    // upper-right corner of each marked cell, on the plane z = x + y.
    const std::vector<float> tx{0, 6, 0, 0, 0}, ty{0, 0, 6, 0, 0};
    const float tz[3] = {0, 6, 6};
    TestGrid t(6, 6);
    GridCells tcells = t.cells();
    fill = GridFill{};
    fill.set_values = true;
    GRID_INSIDE_POLYGON(tcells, 1.0f, 1.0f, fill, box, tx, ty, tz, 5, std::vector<std::int32_t>{4}, 1);
    EXPECT_EQ(t.picture(),
              "......\n"
              "#.....\n"
              "##....\n"
              "###...\n"
              "####..\n"
              "#####.\n");
    EXPECT_EQ(box.count, 15);
    for (std::int32_t m = 1; m <= 6; ++m)
        for (std::int32_t i = 1; i <= 6; ++i)
            if (t.marks[t.at(m, i)]) {
                EXPECT_FLOAT_EQ(t.reals[t.at(m, i)], static_cast<float>(i + m)) << m << "," << i;
            }
}

TEST(Geometry, GridRefusalsAndLimits) {
    const std::vector<float> x{2, 6, 6, 2, 2, 2}, y{2, 2, 5, 5, 2, 2};
    const std::vector<std::int32_t> ends{5};
    const float corners[3] = {0, 0, 0};
    TestGrid g(7, 8);
    GridCells cells = g.cells();
    GridFill fill;
    fill.set_values = true;
    fill.real_mode = true;
    fill.value = 1.0f;
    GridBox box;
    // A cell size of 0 marks nothing.
    GRID_INSIDE_POLYGON(cells, 0.0f, 1.0f, fill, box, x, y, corners, 6, ends, 1);
    EXPECT_EQ(box.count, 0);
    EXPECT_GT(box.first_col, box.last_col);
    EXPECT_EQ(g.picture().find('#'), std::string::npos);

    // A region reaching beyond the grid is cut at it.
    const std::vector<float> wx{-3, 20, 20, -3, -3, -3}, wy{-3, -3, 2, 2, -3, -3};
    GRID_INSIDE_POLYGON(cells, 1.0f, 1.0f, fill, box, wx, wy, corners, 6, ends, 1);
    EXPECT_EQ(box.count, 16);
    EXPECT_EQ(std::tie(box.first_row, box.first_col, box.last_row, box.last_col), std::make_tuple(1, 1, 3, 8));
    EXPECT_EQ(g.reals[g.at(2, 8)], 1.0f);

    // Grids smaller than nrows x ncols are refused.
    GridCells small = cells;
    small.marks = small.marks.first(10);
    GRID_INSIDE_POLYGON(small, 1.0f, 1.0f, fill, box, x, y, corners, 6, ends, 1);
    EXPECT_EQ(box.count, 0);

    const std::vector<float> x2{0, 1, 1, 0, 0, 0, 3, 4, 4, 3, 3, 3}, y2{0, 0, 1, 1, 0, 0, 0, 0, 1, 1, 0, 0};
    EXPECT_EQ(fatal_text([&] {
                  GRID_INSIDE_POLYGON(cells, 1.0f, 1.0f, fill, box, x2, y2, corners, 12,
                                      std::vector<std::int32_t>{5, 11}, 1);
              }),
              polygon_message("grid_inside_polygon routine [1]"));
}

TEST(Geometry, PointValues) {
    const std::vector<std::int32_t> flags{1, 0, 1};
    const std::vector<double> px{1, 2, 5}, py{0.5, 0.5, 5};
    std::vector<std::int32_t> ints{10, 10, 10};
    std::vector<float> reals{1, 1, 1};
    const std::vector<double> cx{0, 4, 0, 0, 0}, cy{0, 0, 2, 0, 0};
    const float cz[3] = {1, 9, 7};
    SET_POINT_VALUES_8(flags, px, py, ints, reals, 3, true, false, 1.5f, true, cx, cy, cz, 5);
    EXPECT_EQ(ints, (std::vector<std::int32_t>{12, 10, 12}));
    SET_POINT_VALUES_8(flags, px, py, ints, reals, 3, false, true, 2.0f, false, cx, cy, cz, 5);
    EXPECT_EQ(reals, (std::vector<float>{2, 1, 2}));
    // Interpolation: every flagged point gets the plane's value, also one outside the
    // triangle (z = 1 + 2x + 3y, 26 at (5, 5)); the point without a flag keeps its value.
    SET_POINT_VALUES_8(flags, px, py, ints, reals, 3, false, false, 0.0f, true, cx, cy, cz, 5);
    EXPECT_EQ(reals, (std::vector<float>{2 + 4.5f, 1, 2 + 26}));
}

TEST(Geometry, AreasAndSections) {
    const std::vector<double> sx{0, 1, 1, 0}, sy{0, 0, 1, 1};
    const std::vector<double> rx{0, 0, 1, 1}, ry{0, 1, 1, 0};
    EXPECT_FLOAT_EQ(POLYGON_AREA_8(sx, sy, 4), 1.0f);
    EXPECT_FLOAT_EQ(POLYGON_AREA_8(rx, ry, 4), 1.0f);
    EXPECT_FLOAT_EQ(POLYGON_AREA_8(std::vector<double>{0, 4, 0}, std::vector<double>{0, 0, 3}, 3), 6.0f);
    EXPECT_EQ(POLYGON_AREA_8(sx, sy, 0), 0.0f);

    EXPECT_FLOAT_EQ(CIRCLE_WIDTH(1.5f, 1.5f), 3.0f);
    EXPECT_EQ(CIRCLE_WIDTH(1.5f, 0.0f), 0.0f);
    EXPECT_EQ(CIRCLE_WIDTH(1.5f, 3.0f), 0.0f);
    EXPECT_FLOAT_EQ(CIRCLE_WIDTH(2.0f, 1.0f), 2.0f * std::sqrt(3.0f));

    struct Case {
        float x1, z1, x2, z2, level, factor, area, width, wetted;
    };
    const Case cases[] = {
        {0, 1, 4, 1, 1, 1, 0, 4, 4},        // both ends at the level
        {0, 0, 4, 2, 3, 1, 8, 4, std::sqrt(20.0f)},  // both below
        {0, 4, 4, 5, 3, 1, 0, 0, 0},        // both above
        {0, 0, 4, 4, 2, 1, 2, 2, std::sqrt(8.0f)},  // only the first end wet
        {0, 4, 4, 0, 2, 1, 2, 2, std::sqrt(8.0f)},  // only the second
        {0, 0, 4, 2, 3, 0, 0, 0, 0},        // no factor
    };
    for (const Case& k : cases) {
        float a = -1, w = -1, l = -1;
        HYD_PARAM(k.x1, k.z1, k.x2, k.z2, k.level, k.factor, a, w, l);
        EXPECT_FLOAT_EQ(a, k.area) << k.z1 << "," << k.z2;
        EXPECT_FLOAT_EQ(w, k.width) << k.z1 << "," << k.z2;
        EXPECT_FLOAT_EQ(l, k.wetted) << k.z1 << "," << k.z2;
    }
    float a1, a2, w1, w2, l1, l2;
    HYD_PARAM2(0, 0, 1, 4, 4, 1, 2, a1, a2, w1, w2, l1, l2);  // halves from (0,0)-(2,2) and (2,2)-(4,4)
    EXPECT_FLOAT_EQ(a1, 2.0f);
    EXPECT_FLOAT_EQ(w1, 2.0f);
    EXPECT_FLOAT_EQ(l1, std::sqrt(8.0f));
    EXPECT_EQ(std::tie(a2, w2), std::make_tuple(0.0f, 0.0f));
    HYD_PARAM2(0, 0, 0, 4, 4, 1, 5, a1, a2, w1, w2, l1, l2);
    EXPECT_EQ(a1, 0.0f);
    EXPECT_FLOAT_EQ(a2, 2.0f * (5.0f - 3.0f));

    std::vector<float> xo(2), yo(2);
    GEO_SHIFT(std::vector<double>{1000001, 1000000}, std::vector<double>{500000, 500002}, 2, 1000000, 500000,
              static_cast<float>(std::numbers::pi / 2), xo, yo);
    EXPECT_NEAR(xo[0], 0.0f, 1.0e-6);
    EXPECT_NEAR(yo[0], -1.0f, 1.0e-6);
    EXPECT_NEAR(xo[1], 2.0f, 1.0e-6);
    EXPECT_NEAR(yo[1], 0.0f, 1.0e-6);
}

}  // namespace
}  // namespace zorvel::util
