// Exported routines of plane geometry, and the speed of a vector. Lists are passed as
// the address of their first entry: a region's lists hold n entries, its part ends one
// per polygon, a triangle's corner lists 3 and an element's as many as its corners.

#include "util/exports/abi.hpp"
#include "util/geometry.hpp"
#include "util/numbers.hpp"

using namespace zorvel::util::exports;
namespace u = zorvel::util;

namespace {

// A triangle's three corner values.
template <class T>
std::span<const T, 3> corners(const T* p) {
    return std::span<const T, 3>(p, 3);
}

}  // namespace

extern "C" {

// Distance between two points.
float DISTANCE(const float* x1, const float* y1, const float* x2, const float* y2) {
    return guarded([&] { return u::DISTANCE(*x1, *y1, *x2, *y2); });
}

// Distance between two points of 64-bit coordinates.
float DISTANCE_8(const double* x1, const double* y1, const double* x2, const double* y2) {
    return guarded([&] { return u::DISTANCE_8(*x1, *y1, *x2, *y2); });
}

// Angle between two segments, 0 to 180 degrees.
float ANGLE2D(const double* x1, const double* y1, const double* x2, const double* y2, const double* x3,
              const double* y3, const double* x4, const double* y4) {
    return guarded([&] { return u::ANGLE2D(*x1, *y1, *x2, *y2, *x3, *y3, *x4, *y4); });
}

// True when both coordinates differ by less than the tolerance.
std::int32_t SAME_POINT(const float* x1, const float* y1, const float* x2, const float* y2, const float* tolerance) {
    return guarded([&] { return logical(u::SAME_POINT(*x1, *y1, *x2, *y2, *tolerance)); });
}

// SAME_POINT of 64-bit coordinates.
std::int32_t SAME_POINT_8(const double* x1, const double* y1, const double* x2, const double* y2,
                          const double* tolerance) {
    return guarded([&] { return logical(u::SAME_POINT_8(*x1, *y1, *x2, *y2, *tolerance)); });
}

// Product of the side values of two points to a line.
float SAME_SIDE(const float* xa, const float* ya, const float* xb, const float* yb, const float* x1, const float* y1,
                const float* x2, const float* y2) {
    return guarded([&] { return u::SAME_SIDE(*xa, *ya, *xb, *yb, *x1, *y1, *x2, *y2); });
}

// SAME_SIDE of 64-bit coordinates.
float SAME_SIDE_8(const double* xa, const double* ya, const double* xb, const double* yb, const double* x1,
                  const double* y1, const double* x2, const double* y2) {
    return guarded([&] { return u::SAME_SIDE_8(*xa, *ya, *xb, *yb, *x1, *y1, *x2, *y2); });
}

// True when the point lies on the line through a and b.
std::int32_t INTERSECT_POINT(const float* xa, const float* ya, const float* xb, const float* yb, const float* xp,
                             const float* yp) {
    return guarded([&] { return logical(u::INTERSECT_POINT(*xa, *ya, *xb, *yb, *xp, *yp)); });
}

// True when two segments cross, touch or lie on one line.
std::int32_t INTERSECT_LINE(const float* xa, const float* ya, const float* xb, const float* yb, const float* xc,
                            const float* yc, const float* xd, const float* yd) {
    return guarded([&] { return logical(u::INTERSECT_LINE(*xa, *ya, *xb, *yb, *xc, *yc, *xd, *yd)); });
}

// INTERSECT_LINE of 64-bit coordinates.
std::int32_t INTERSECT_LINE_8(const double* xa, const double* ya, const double* xb, const double* yb,
                              const double* xc, const double* yc, const double* xd, const double* yd) {
    return guarded([&] { return logical(u::INTERSECT_LINE_8(*xa, *ya, *xb, *yb, *xc, *yc, *xd, *yd)); });
}

// Kind of meeting of two segments.
std::int32_t INTERSECT_LINE_V2(const float* x1, const float* y1, const float* x2, const float* y2, const float* x3,
                               const float* y3, const float* x4, const float* y4) {
    return guarded([&] { return u::INTERSECT_LINE_V2(*x1, *y1, *x2, *y2, *x3, *y3, *x4, *y4); });
}

// INTERSECT_LINE_V2 of 64-bit coordinates.
std::int32_t INTERSECT_LINE_V2_8(const double* x1, const double* y1, const double* x2, const double* y2,
                                 const double* x3, const double* y3, const double* x4, const double* y4) {
    return guarded([&] { return u::INTERSECT_LINE_V2_8(*x1, *y1, *x2, *y2, *x3, *y3, *x4, *y4); });
}

// Meeting point of two lines; true when they meet.
std::int32_t INTERSECTION_POINT(const float* x1, const float* y1, const float* x2, const float* y2, const float* x3,
                                const float* y3, const float* x4, const float* y4, float* x, float* y) {
    return guarded([&] { return logical(u::INTERSECTION_POINT(*x1, *y1, *x2, *y2, *x3, *y3, *x4, *y4, *x, *y)); });
}

// INTERSECTION_POINT of 64-bit coordinates.
std::int32_t INTERSECTION_POINT_8(const double* x1, const double* y1, const double* x2, const double* y2,
                                  const double* x3, const double* y3, const double* x4, const double* y4, double* x,
                                  double* y) {
    return guarded(
        [&] { return logical(u::INTERSECTION_POINT_8(*x1, *y1, *x2, *y2, *x3, *y3, *x4, *y4, *x, *y)); });
}

// True when the point lies inside the region (positions 0 to n-1, position 0 no vertex).
std::int32_t INSIDE_POLYGON(const float* xp, const float* yp, const float* x, const float* y, const std::int32_t* n,
                            const float* xmin, const std::int32_t* part_ends, const std::int32_t* part_count) {
    return guarded([&] {
        return logical(u::INSIDE_POLYGON(*xp, *yp, list(x, *n), list(y, *n), *n, *xmin, list(part_ends, *part_count),
                                         *part_count));
    });
}

// INSIDE_POLYGON of 64-bit coordinates.
std::int32_t INSIDE_POLYGON_8(const double* xp, const double* yp, const double* x, const double* y,
                              const std::int32_t* n, const double* xmin, const std::int32_t* part_ends,
                              const std::int32_t* part_count) {
    return guarded([&] {
        return logical(u::INSIDE_POLYGON_8(*xp, *yp, list(x, *n), list(y, *n), *n, *xmin, list(part_ends, *part_count),
                                           *part_count));
    });
}

// Value at the point of the plane through a triangle's corner values; false only for corners on one line.
std::int32_t INTERPOLATE_TRIANGLE(const float* xp, const float* yp, const float* cx, const float* cy, const float* cz,
                                  float* v) {
    return guarded(
        [&] { return logical(u::INTERPOLATE_TRIANGLE(*xp, *yp, corners(cx), corners(cy), corners(cz), *v)); });
}

// INTERPOLATE_TRIANGLE of 64-bit coordinates.
std::int32_t INTERPOLATE_TRIANGLE_8(const double* xp, const double* yp, const double* cx, const double* cy,
                                    const float* cz, float* v) {
    return guarded(
        [&] { return logical(u::INTERPOLATE_TRIANGLE_8(*xp, *yp, corners(cx), corners(cy), corners(cz), *v)); });
}

// Value at the point on the plane through a triangle's corner values, without checks.
void INTERPOLATE_TRIANGLE_NO_CHECKS(const float* xp, const float* yp, const float* cx, const float* cy,
                                    const float* cz, float* v) {
    guarded([&] { u::INTERPOLATE_TRIANGLE_NO_CHECKS(*xp, *yp, corners(cx), corners(cy), corners(cz), *v); });
}

// Value at the point interpolated in a triangle or 4-node element; true when found.
std::int32_t INTERPOLATE_ELEMENT_8(const double* xp, const double* yp, const double* cx, const double* cy,
                                   const float* cz, const std::int32_t* ncorners, const double* xmin, float* v) {
    return guarded([&] {
        return logical(u::INTERPOLATE_ELEMENT_8(*xp, *yp, list(cx, *ncorners), list(cy, *ncorners),
                                                list(cz, *ncorners), *ncorners, *xmin, *v));
    });
}

// Bounding box of the points (of the first point when n is below 2) and the grid cells it covers.
void SET_SUB_GRID_AREA(const float* x, const float* y, const std::int32_t* n, const float* cell,
                       const std::int32_t* nrows, const std::int32_t* ncols, std::int32_t* first_row,
                       std::int32_t* first_col, std::int32_t* last_row, std::int32_t* last_col, float* xmin,
                       float* ymin, float* xmax, float* ymax) {
    guarded([&] {
        const std::int32_t entries = *n < 1 ? 1 : *n;
        u::SET_SUB_GRID_AREA(list(x, entries), list(y, entries), *n, *cell, *nrows, *ncols, *first_row, *first_col,
                             *last_row, *last_col, *xmin, *ymin, *xmax, *ymax);
    });
}

// Water-surface width in a circular section.
float CIRCLE_WIDTH(const float* radius, const float* depth) {
    return guarded([&] { return u::CIRCLE_WIDTH(*radius, *depth); });
}

// Flow area, surface width and wetted length of a cross-section panel.
void HYD_PARAM(const float* x1, const float* z1, const float* x2, const float* z2, const float* level,
               const float* factor, float* area, float* width, float* wetted) {
    guarded([&] { u::HYD_PARAM(*x1, *z1, *x2, *z2, *level, *factor, *area, *width, *wetted); });
}

// HYD_PARAM of the two halves of a panel.
void HYD_PARAM2(const float* x1, const float* z1, const float* factor1, const float* x2, const float* z2,
                const float* factor2, const float* level, float* area1, float* area2, float* width1, float* width2,
                float* wetted1, float* wetted2) {
    guarded([&] {
        u::HYD_PARAM2(*x1, *z1, *factor1, *x2, *z2, *factor2, *level, *area1, *area2, *width1, *width2, *wetted1,
                      *wetted2);
    });
}

// The points moved to the origin (x0, y0) and turned by minus the angle.
void GEO_SHIFT(const double* x, const double* y, const std::int32_t* n, const double* x0, const double* y0,
               const float* angle, float* x_out, float* y_out) {
    guarded([&] { u::GEO_SHIFT(list(x, *n), list(y, *n), *n, *x0, *y0, *angle, list(x_out, *n), list(y_out, *n)); });
}

// Speed of a velocity vector.
float VECTOR_MAGNITUDE(const float* u_component, const float* v_component) {
    return guarded([&] { return u::VECTOR_MAGNITUDE(*u_component, *v_component); });
}

}  // extern "C"
