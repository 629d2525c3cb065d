#pragma once
// Plane geometry of the library: distances, orientation and intersection tests,
// point-in-region tests, interpolation in triangles and elements, rasterising of a
// region onto a grid, polygon area and cross-section panels.
//
// Routines without a suffix take 32-bit coordinates, their "_8" twins 64-bit ones;
// distances, side values, areas and interpolated values are 32-bit in both.
// The speed of a vector, VECTOR_MAGNITUDE, lives with the numbers (util/numbers.hpp).
//
// A region is several polygons, one after another in an x list and a y list of equal
// length; part_ends holds each polygon's last vertex position, and one entry that is
// no vertex lies between two polygons (a polygon is closed by repeating its first
// vertex). Layout A counts positions from 0 (position 0 holds no vertex, the first
// polygon starts at 1); layout B counts from 1 (the first polygon starts at 1). In
// both, the last edge ends at position n-1 at the latest. Lists shorter than n are
// used as far as they go.
//
// A grid has nrows rows (y, row 1 nearest y = 0) and ncols columns (x), stored
// column after column: cell (row m, column i), both from 1, is element
// (i-1)*nrows + (m-1). Row m covers (m-1)*dy to m*dy, column i (i-1)*dx to i*dx.

#include <cstdint>
#include <span>

namespace zorvel::util {

// Value reported by the interpolations that find no point.
inline constexpr float kNoValue = -99999.0f;

// Distance between two points; 0 when both differences are below 1.0E-6.
float DISTANCE(float x1, float y1, float x2, float y2);
float DISTANCE_8(double x1, double y1, double x2, double y2);
// Angle between segment (x1,y1)-(x2,y2) and segment (x3,y3)-(x4,y4), 0 to 180 degrees.
float ANGLE2D(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4);
// True when both coordinates differ by less than the tolerance.
bool SAME_POINT(float x1, float y1, float x2, float y2, float tolerance);
bool SAME_POINT_8(double x1, double y1, double x2, double y2, double tolerance);

// Positive when p lies to the left of the direction from a to b.
float CROSS_PRODUCT_8(double xa, double ya, double xb, double yb, double xp, double yp);
// Product of the side values of p1 and p2 to the line a-b: > 0 same side, < 0 opposite, 0 on it.
float SAME_SIDE(float xa, float ya, float xb, float yb, float x1, float y1, float x2, float y2);
float SAME_SIDE_8(double xa, double ya, double xb, double yb, double x1, double y1, double x2, double y2);
// True when p lies exactly on the infinite line through a and b.
bool INTERSECT_POINT(float xa, float ya, float xb, float yb, float xp, float yp);
// True when segments a-b and c-d cross, touch or lie on one line.
bool INTERSECT_LINE(float xa, float ya, float xb, float yb, float xc, float yc, float xd, float yd);
bool INTERSECT_LINE_8(double xa, double ya, double xb, double yb, double xc, double yc, double xd, double yd);
// Kind of meeting of segments 1-2 and 3-4: 3 both, 1 only on the first, 2 only on the
// second, 4 on neither (positions along a segment in (0, 1]); 0 parallel, -1 on one line.
std::int32_t INTERSECT_LINE_V2(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4);
std::int32_t INTERSECT_LINE_V2_8(double x1, double y1, double x2, double y2, double x3, double y3, double x4,
                                 double y4);
// Meeting point of the lines through 1-2 and 3-4; false (x, y untouched) when they do not meet.
bool INTERSECTION_POINT(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4, float& x,
                        float& y);
bool INTERSECTION_POINT_8(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4,
                          double& x, double& y);

// Point in a region of layout A; xmin is at or below the region's smallest x.
bool INSIDE_POLYGON(float xp, float yp, std::span<const float> x, std::span<const float> y, std::int32_t n,
                    float xmin, std::span<const std::int32_t> part_ends, std::int32_t part_count);
bool INSIDE_POLYGON_8(double xp, double yp, std::span<const double> x, std::span<const double> y, std::int32_t n,
                      double xmin, std::span<const std::int32_t> part_ends, std::int32_t part_count);
// As INSIDE_POLYGON_8, and true for a point on an edge.
bool INSIDE_OR_ON_POLYGON_8(double xp, double yp, std::span<const double> x, std::span<const double> y,
                            std::int32_t n, double xmin, std::span<const std::int32_t> part_ends,
                            std::int32_t part_count);
// Point in or on a convex polygon of n vertices given at list entries 0 to n (the last repeats the first).
bool INSIDE_CONVEX_POLYGON_8(double xp, double yp, std::int32_t n, std::span<const double> x,
                             std::span<const double> y);
// Flags (1 inside, 0 outside) for each of the points in a region of layout B; count gets the number inside.
void POINTS_INSIDE_POLYGON(std::span<std::int32_t> flags, std::span<const float> px, std::span<const float> py,
                           std::int32_t npoints, std::int32_t& count, std::span<const float> x,
                           std::span<const float> y, std::int32_t n, std::span<const std::int32_t> part_ends,
                           std::int32_t part_count);
void POINTS_INSIDE_POLYGON_8(std::span<std::int32_t> flags, std::span<const double> px, std::span<const double> py,
                             std::int32_t npoints, std::int32_t& count, std::span<const double> x,
                             std::span<const double> y, std::int32_t n, std::span<const std::int32_t> part_ends,
                             std::int32_t part_count);

// The value at p of the plane through the corner values, for p inside the triangle, on
// an edge or outside it; false and kNoValue when the corners lie on one line.
bool INTERPOLATE_TRIANGLE(float xp, float yp, std::span<const float, 3> cx, std::span<const float, 3> cy,
                          std::span<const float, 3> cz, float& v);
bool INTERPOLATE_TRIANGLE_8(double xp, double yp, std::span<const double, 3> cx, std::span<const double, 3> cy,
                            std::span<const float, 3> cz, float& v);
// The plane through the corner values at p, wherever p lies (the mean of the corner
// values for a triangle without area).
void INTERPOLATE_TRIANGLE_NO_CHECKS(float xp, float yp, std::span<const float, 3> cx, std::span<const float, 3> cy,
                                    std::span<const float, 3> cz, float& v);
void INTERPOLATE_TRIANGLE_NO_CHECKS_8(double xp, double yp, std::span<const double, 3> cx,
                                      std::span<const double, 3> cy, std::span<const float, 3> cz, float& v);
// Interpolation in a triangle or a 4-node element holding p; false when none holds it.
bool INTERPOLATE_ELEMENT_8(double xp, double yp, std::span<const double> cx, std::span<const double> cy,
                           std::span<const float> cz, std::int32_t ncorners, double xmin, float& v);

// Bounding box of the points and the range of grid cells it covers; a first row or
// column that is not positive is given as 0. A cell size that is not positive, or a box
// off the grid, gives an empty range (first above last).
void SET_SUB_GRID_AREA(std::span<const float> x, std::span<const float> y, std::int32_t n, float cell,
                       std::int32_t nrows, std::int32_t ncols, std::int32_t& first_row, std::int32_t& first_col,
                       std::int32_t& last_row, std::int32_t& last_col, float& xmin, float& ymin, float& xmax,
                       float& ymax);

// The grids of the rasterising, each nrows*ncols cells (ints and reals only where written).
struct GridCells {
    std::span<std::int8_t> marks;      // 1 for a cell found inside
    std::span<std::int8_t> crossings;  // work: boundary crossings per cell
    std::span<std::int32_t> ints;      // integer values
    std::span<float> reals;            // real values
    std::int32_t nrows = 0;
    std::int32_t ncols = 0;
};

// What the rasterising does with the cells it finds inside.
struct GridFill {
    std::int32_t row_margin = 0;
    std::int32_t col_margin = 0;
    bool clear_marks = false;
    bool set_values = false;
    bool integer_mode = false;  // set the rounded value in ints
    bool real_mode = false;     // else set the value in reals (else interpolate a triangle)
    float value = 0.0f;
    bool add = false;           // add to the cell instead of replacing it
};

// The cells examined and the number marked.
struct GridBox {
    std::int32_t first_row = 1;
    std::int32_t first_col = 1;
    std::int32_t last_row = 0;
    std::int32_t last_col = 0;
    std::int32_t count = 0;
};

// Marks the cells of the grid that lie inside a region of layout B, and sets or adds
// values in them. A cell size that is not positive, or grids too small for nrows*ncols,
// mark nothing (count 0).
void GRID_INSIDE_POLYGON(GridCells& grid, float dx, float dy, const GridFill& fill, GridBox& box,
                         std::span<const float> x, std::span<const float> y, std::span<const float, 3> corner_values,
                         std::int32_t n, std::span<const std::int32_t> part_ends, std::int32_t part_count);
void GRID_INSIDE_POLYGON_8(GridCells& grid, double dx, double dy, const GridFill& fill, GridBox& box,
                           std::span<const double> x, std::span<const double> y,
                           std::span<const float, 3> corner_values, std::int32_t n,
                           std::span<const std::int32_t> part_ends, std::int32_t part_count);
// Sets or adds a value (or a triangle's interpolation, for n = 5) at every point flagged 1.
void SET_POINT_VALUES_8(std::span<const std::int32_t> flags, std::span<const double> px, std::span<const double> py,
                        std::span<std::int32_t> ints, std::span<float> reals, std::int32_t npoints,
                        bool integer_mode, bool real_mode, float value, bool add, std::span<const double> cx,
                        std::span<const double> cy, std::span<const float, 3> cz, std::int32_t n);

// Area of the polygon of n vertices (closed implicitly), either orientation.
float POLYGON_AREA_8(std::span<const double> x, std::span<const double> y, std::int32_t n);
// Water-surface width in a circular section of radius r filled to depth d.
float CIRCLE_WIDTH(float r, float d);
// Flow area, surface width and wetted length of one cross-section panel under a water level.
void HYD_PARAM(float x1, float z1, float x2, float z2, float level, float factor, float& area, float& width,
               float& wetted);
// HYD_PARAM of the two halves of a panel split at its mid point.
void HYD_PARAM2(float x1, float z1, float factor1, float x2, float z2, float factor2, float level, float& area1,
                float& area2, float& width1, float& width2, float& wetted1, float& wetted2);
// Moves the points so that (x0, y0) becomes the origin and turns them by minus the angle (radians).
void GEO_SHIFT(std::span<const double> x, std::span<const double> y, std::int32_t n, double x0, double y0,
               float angle, std::span<float> x_out, std::span<float> y_out);

}  // namespace zorvel::util
