#include "util/geometry.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <string>
#include <string_view>

#include "util/support.hpp"
#include "util/units.hpp"

namespace zorvel::util {

namespace {

constexpr float kTiny = 1.0e-6f;  // a difference below this counts as none

// n held to the number of entries the lists really have.
std::int32_t held(std::int32_t n, std::size_t size) {
    return static_cast<std::int32_t>(
        std::min<std::int64_t>(std::max<std::int32_t>(n, 0), static_cast<std::int64_t>(size)));
}

// Ends the run for a region that holds more polygons than its part count.
[[noreturn]] void too_many_polygons(std::string_view routine) {
    fail("Invalid number of polygons in region sent to " + std::string(routine) + " - contact " +
         std::string(kSupportAddress));
}

// Visits the polygons of a region: visit(first, last) receives the positions of each
// polygon's first and last vertex (as the layout counts them) and returns true to stop.
// A part end that does not lie ahead of its polygon's start, or beyond the last usable
// position, leaves the polygon running to position n-1. Ends the run when a further
// polygon would start after the part count is used up.
template <typename Visit>
void for_each_polygon(std::int32_t n, std::span<const std::int32_t> part_ends, std::int32_t part_count,
                      std::string_view routine, Visit&& visit) {
    const std::int32_t last_end = n - 1;
    const std::int32_t parts = held(part_count, part_ends.size());
    std::int32_t start = 1;
    std::int32_t k = 0;
    while (start + 1 <= last_end) {
        std::int32_t end = last_end;
        bool closed = false;
        if (k < parts && part_ends[static_cast<std::size_t>(k)] > start &&
            part_ends[static_cast<std::size_t>(k)] <= last_end) {
            end = part_ends[static_cast<std::size_t>(k)];
            closed = true;
        }
        if (visit(start, end) || !closed) return;
        ++k;
        start = end + 2;
        if (start + 1 <= last_end && k >= parts) too_many_polygons(routine);
    }
}

// int(v / size) + 1, the grid routines' cell number, kept within a billion either way
// so that a coordinate far off the grid stays off it; a value that is not a number
// counts as far beyond the grid.
template <typename T>
std::int32_t cell_number(T v, T size) {
    const T q = std::trunc(v / size);
    if (!(q < T(1.0e9))) return 1000000000;
    if (q < T(-1.0e9)) return -1000000000;
    return static_cast<std::int32_t>(q) + 1;
}

// The value rounded to the nearest integer, halves away from zero, held to 32 bits.
std::int32_t rounded(float v) {
    const double r = std::round(static_cast<double>(v));
    if (!(r == r)) return 0;
    return static_cast<std::int32_t>(std::clamp(r, -2147483648.0, 2147483647.0));
}

// Sum held to 32 bits.
std::int32_t added(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(std::int64_t{a} + b, INT32_MIN, INT32_MAX));
}

// The differences in T, their magnitudes and the rest in 32-bit.
template <typename T>
float distance_t(T x1, T y1, T x2, T y2) {
    const float a = static_cast<float>(std::abs(x2 - x1));
    const float b = static_cast<float>(std::abs(y2 - y1));
    if (a < kTiny && b < kTiny) return 0.0f;
    return std::sqrt(a * a + b * b);
}

// The coordinate differences in T, the products in 32-bit.
template <typename T>
float same_side_t(T xa, T ya, T xb, T yb, T x1, T y1, T x2, T y2) {
    const float bxa = static_cast<float>(xb - xa);
    const float bya = static_cast<float>(yb - ya);
    const float s1 = static_cast<float>(y1 - ya) * bxa - static_cast<float>(x1 - xa) * bya;
    const float s2 = bxa * static_cast<float>(y2 - yb) - bya * static_cast<float>(x2 - xb);
    return s1 * s2;
}

// Segments a-b and c-d cross, touch or lie on one line.
template <typename T>
bool intersect_line_t(T xa, T ya, T xb, T yb, T xc, T yc, T xd, T yd) {
    return same_side_t(xa, ya, xb, yb, xc, yc, xd, yd) <= 0.0f && same_side_t(xc, yc, xd, yd, xa, ya, xb, yb) <= 0.0f;
}

// Kind of meeting of two segments, computed in T throughout.
template <typename T>
std::int32_t intersect_v2_t(T x1, T y1, T x2, T y2, T x3, T y3, T x4, T y4) {
    const T d = (y4 - y3) * (x2 - x1) - (x4 - x3) * (y2 - y1);
    const T na = (x4 - x3) * (y1 - y3) - (y4 - y3) * (x1 - x3);
    const T nb = (x2 - x1) * (y1 - y3) - (x1 - x3) * (y2 - y1);
    if (d == T(0)) return (na == T(0) && nb == T(0)) ? -1 : 0;
    const T ua = na / d;
    const T ub = nb / d;
    const bool on_a = ua > T(0) && ua <= T(1);
    const bool on_b = ub > T(0) && ub <= T(1);
    return on_a && on_b ? 3 : on_a ? 1 : on_b ? 2 : 4;
}

// Meeting point of two infinite lines, all comparisons exact.
template <typename T>
bool intersection_t(T x1, T y1, T x2, T y2, T x3, T y3, T x4, T y4, T& x, T& y) {
    if (x1 == x2) {
        if (x3 == x4) return false;
        x = x1;
        y = y3 + (y4 - y3) / (x4 - x3) * (x1 - x3);
        return true;
    }
    if (x3 != x4) {
        const T m1 = (y2 - y1) / (x2 - x1);
        const T m2 = (y4 - y3) / (x4 - x3);
        if (m1 == m2) return false;
        const T xm = (y1 - y3 - x1 * m1 + x3 * m2) / (m2 - m1);
        x = xm;
        y = y3 + m2 * (xm - x3);
        return true;
    }
    x = x3;
    y = y1 + (y2 - y1) / (x2 - x1) * (x3 - x1);
    return true;
}

// The height from which the boundary comes into a polygon's first vertex: the start
// of the polygon's last edge that is not horizontal, when that edge ends at yp.
template <typename T>
T height_before_start(std::span<const T> y, std::int32_t first, std::int32_t last, T yp) {
    for (std::int32_t j = last - 1; j >= first; --j) {
        const T ya = y[static_cast<std::size_t>(j)];
        const T yb = y[static_cast<std::size_t>(j) + 1];
        if (ya != yb) return yb == yp ? ya : yp;
    }
    return yp;
}

// Ray test of a region of layout A (list index = position); with on_edge a point on an
// edge is inside at once.
template <typename T>
bool inside_polygon_t(T xp, T yp, std::span<const T> x, std::span<const T> y, std::int32_t n, T xmin,
                      std::span<const std::int32_t> part_ends, std::int32_t part_count, bool on_edge,
                      std::string_view routine) {
    n = held(n, std::min(x.size(), y.size()));
    const T xr = xmin - T(10);
    std::int32_t crossings = 0;
    bool on = false;
    for_each_polygon(n, part_ends, part_count, routine, [&](std::int32_t first, std::int32_t last) {
        bool remembered = false;
        T from = yp;  // height of the start of the last edge that ended at yp
        for (std::int32_t i = first; i < last; ++i) {
            const std::size_t a = static_cast<std::size_t>(i);
            const T xa = x[a], ya = y[a], xb = x[a + 1], yb = y[a + 1];
            if (on_edge && std::abs(CROSS_PRODUCT_8(xa, ya, xb, yb, xp, yp)) < kTiny &&
                (xp - xa) * (xb - xa) + (yp - ya) * (yb - ya) >= T(0) &&
                DISTANCE_8(xp, yp, xa, ya) <= DISTANCE_8(xb, yb, xa, ya)) {
                on = true;
                return true;
            }
            if (ya == yb) continue;
            if (yb == yp) {
                from = ya;
                remembered = true;
                continue;
            }
            if (ya == yp && xa <= xp) {
                if (!remembered) {
                    from = height_before_start(y, first, last, yp);
                    remembered = true;
                }
                if ((from < yp && yb > yp) || (from > yp && yb < yp)) ++crossings;
                continue;
            }
            if (intersect_line_t(xa, ya, xb, yb, xr, yp, xp, yp)) ++crossings;
        }
        return false;
    });
    return on || crossings % 2 == 1;
}

// True for r with int(r) = 0 (truncation toward zero).
template <typename T>
bool truncates_to_zero(T r) {
    return r > T(-1) && r < T(1);
}

// Crossing counts of a ray to the left of each point over a region of layout B, made odd/even flags.
template <typename T>
void points_inside_t(std::span<std::int32_t> flags, std::span<const T> px, std::span<const T> py,
                     std::int32_t npoints, std::int32_t& count, std::span<const T> x, std::span<const T> y,
                     std::int32_t n, std::span<const std::int32_t> part_ends, std::int32_t part_count,
                     std::string_view routine) {
    npoints = held(npoints, std::min({flags.size(), px.size(), py.size()}));
    n = held(n, std::min(x.size(), y.size()));
    count = 0;
    for (std::int32_t k = 0; k < npoints; ++k) flags[static_cast<std::size_t>(k)] = 0;
    if (n < 1) return;
    const T xmin = *std::min_element(x.begin(), x.begin() + n);
    const T ymin = *std::min_element(y.begin(), y.begin() + n);
    const T x0 = xmin - T(1);
    const T y0 = ymin - T(1);
    for (std::int32_t k = 0; k < npoints; ++k) {
        const std::size_t p = static_cast<std::size_t>(k);
        const T xk = px[p], yk = py[p];
        if (!(yk >= ymin && xk >= xmin)) continue;
        const T ky = yk - y0;
        const T kx = xk - x0;
        for_each_polygon(n, part_ends, part_count, routine, [&](std::int32_t first, std::int32_t last) {
            for (std::int32_t i = first; i < last; ++i) {
                const std::size_t a = static_cast<std::size_t>(i) - 1;  // layout B: position 1 is entry 0
                const T xa = x[a], ya = y[a], xb = x[a + 1], yb = y[a + 1];
                const bool a_below = truncates_to_zero((ya - y0) / ky);
                const bool b_below = truncates_to_zero((yb - y0) / ky);
                if (a_below == b_below) continue;
                T t = xa;
                if (xa != xb) {
                    const T s = (yb - ya) / (xb - xa);
                    t = (yk - ya + xa * s) / s;
                }
                if ((t - x0) / kx < T(1)) ++flags[p];
            }
            return false;
        });
    }
    for (std::int32_t k = 0; k < npoints; ++k) {
        std::int32_t& f = flags[static_cast<std::size_t>(k)];
        f = (f % 2 != 0) ? 1 : 0;
        count += f;
    }
}

// Signed barycentric weights of p in the triangle; false when the triangle has no area.
template <typename T>
bool plane_weights(T xp, T yp, std::span<const T, 3> cx, std::span<const T, 3> cy, double (&w)[3]) {
    const double x1 = cx[0], y1 = cy[0], x2 = cx[1], y2 = cy[1], x3 = cx[2], y3 = cy[2];
    const double px = xp, py = yp;
    const double d = (x2 - x1) * (y3 - y1) - (x3 - x1) * (y2 - y1);
    if (d == 0.0 || !std::isfinite(d)) return false;
    w[0] = ((x2 - px) * (y3 - py) - (x3 - px) * (y2 - py)) / d;
    w[1] = ((x3 - px) * (y1 - py) - (x1 - px) * (y3 - py)) / d;
    w[2] = ((x1 - px) * (y2 - py) - (x2 - px) * (y1 - py)) / d;
    return true;
}

// The corner values weighted, as a 32-bit real.
float weighted(const double (&w)[3], std::span<const float, 3> cz) {
    return static_cast<float>(w[0] * cz[0] + w[1] * cz[1] + w[2] * cz[2]);
}

// The value at any point (inside the triangle, on an edge or outside it) of the plane
// through the three corners; none for corners on one line.
template <typename T>
bool interpolate_t(T xp, T yp, std::span<const T, 3> cx, std::span<const T, 3> cy, std::span<const float, 3> cz,
                   float& v) {
    double w[3];
    if (!plane_weights(xp, yp, cx, cy, w)) {
        v = kNoValue;
        return false;
    }
    v = weighted(w, cz);
    return true;
}

// The plane's value anywhere; the mean of the corner values for a triangle without area.
template <typename T>
void interpolate_no_checks_t(T xp, T yp, std::span<const T, 3> cx, std::span<const T, 3> cy,
                             std::span<const float, 3> cz, float& v) {
    double w[3];
    if (plane_weights(xp, yp, cx, cy, w))
        v = weighted(w, cz);
    else
        v = static_cast<float>((static_cast<double>(cz[0]) + cz[1] + cz[2]) / 3.0);
}

// Replaces the cell's value, or adds to it.
template <typename T>
void set_cell(T v, bool add, T& cell) {
    cell = add ? cell + v : v;
}

// Rasterising of a region of layout B onto the grid, by scanlines at the top of each row.
template <typename T>
void grid_t(GridCells& grid, T dx, T dy, const GridFill& fill, GridBox& box, std::span<const T> x,
            std::span<const T> y, std::span<const float, 3> corner_values, std::int32_t n,
            std::span<const std::int32_t> part_ends, std::int32_t part_count) {
    box = GridBox{};
    n = held(n, std::min(x.size(), y.size()));
    const std::int32_t nrows = grid.nrows;
    const std::int32_t ncols = grid.ncols;
    if (n < 1 || nrows < 1 || ncols < 1 || !(dx > T(0)) || !(dy > T(0))) return;
    const std::size_t cells = static_cast<std::size_t>(nrows) * static_cast<std::size_t>(ncols);
    const bool interpolate = !fill.integer_mode && !fill.real_mode && n == 5;
    if (grid.marks.size() < cells || grid.crossings.size() < cells) return;
    if (fill.set_values && fill.integer_mode && grid.ints.size() < cells) return;
    if (fill.set_values && !fill.integer_mode && (fill.real_mode || interpolate) && grid.reals.size() < cells) return;

    const auto [xlo, xhi] = std::minmax_element(x.begin(), x.begin() + n);
    const auto [ylo, yhi] = std::minmax_element(y.begin(), y.begin() + n);
    const auto low = [](std::int32_t cell, std::int32_t margin) { return std::max({cell, margin, 1}); };
    const auto high = [](std::int32_t cell, std::int32_t count, std::int32_t margin) {
        return static_cast<std::int32_t>(
            std::min<std::int64_t>({cell, std::int64_t{count} - margin, count}));
    };
    box.first_row = low(cell_number(*ylo, dy), fill.row_margin);
    box.last_row = high(cell_number(*yhi, dy), nrows, fill.row_margin);
    box.first_col = low(cell_number(*xlo, dx), fill.col_margin);
    box.last_col = high(cell_number(*xhi, dx), ncols, fill.col_margin);
    if (box.first_row > box.last_row || box.first_col > box.last_col) return;

    const auto at = [nrows](std::int32_t m, std::int32_t i) {
        return static_cast<std::size_t>(i - 1) * static_cast<std::size_t>(nrows) + static_cast<std::size_t>(m - 1);
    };
    for (std::int32_t i = box.first_col; i <= box.last_col; ++i)
        for (std::int32_t m = box.first_row; m <= box.last_row; ++m) {
            grid.crossings[at(m, i)] = 0;
            if (fill.clear_marks) grid.marks[at(m, i)] = 0;
        }

    // Boundary crossings of the scanline at the top of each row, counted in the cell
    // they fall in (or the box's first column when they lie left of it).
    const auto bump = [&](std::int32_t m, std::int32_t i) {
        std::int8_t& c = grid.crossings[at(m, i)];
        c = static_cast<std::int8_t>(static_cast<std::uint8_t>(c) + 1u);  // only the parity is used
    };
    for_each_polygon(n, part_ends, part_count, "grid_inside_polygon routine [1]",
                     [&](std::int32_t first, std::int32_t last) {
                         for (std::int32_t p = first; p < last; ++p) {
                             const std::size_t a = static_cast<std::size_t>(p) - 1;
                             const T xa = x[a], ya = y[a], xb = x[a + 1], yb = y[a + 1];
                             const std::int32_t ra = std::clamp(cell_number(ya, dy), box.first_row, box.last_row + 1);
                             const std::int32_t rb = std::clamp(cell_number(yb, dy), box.first_row, box.last_row + 1);
                             if (ra == rb) continue;
                             const T s = xa == xb ? T(0) : (yb - ya) / (xb - xa);
                             for (std::int32_t m = std::min(ra, rb); m < std::max(ra, rb); ++m) {
                                 const T t = xa == xb ? xa : (T(m) * dy - ya + xa * s) / s;
                                 const std::int32_t g = cell_number(t, dx);
                                 if (g < box.first_col)
                                     bump(m, box.first_col);
                                 else if (g <= box.last_col)
                                     bump(m, g);
                             }
                         }
                         return false;
                     });

    const std::int32_t whole = rounded(fill.value);
    for (std::int32_t m = box.first_row; m <= box.last_row; ++m) {
        bool inside = false;
        for (std::int32_t i = box.first_col; i <= box.last_col; ++i) {
            const std::size_t c = at(m, i);
            if ((grid.crossings[c] & 1) != 0) inside = !inside;
            if (!inside) continue;
            grid.marks[c] = 1;
            ++box.count;
            if (!fill.set_values) continue;
            if (fill.integer_mode) {
                grid.ints[c] = fill.add ? added(grid.ints[c], whole) : whole;
            } else if (fill.real_mode) {
                set_cell(fill.value, fill.add, grid.reals[c]);
            } else if (interpolate) {
                float v;
                interpolate_no_checks_t(T(i) * dx, T(m) * dy, x.template first<3>(), y.template first<3>(),
                                        corner_values, v);
                set_cell(v, fill.add, grid.reals[c]);
            }
        }
    }
}

}  // namespace

float DISTANCE(float x1, float y1, float x2, float y2) { return distance_t(x1, y1, x2, y2); }
float DISTANCE_8(double x1, double y1, double x2, double y2) { return distance_t(x1, y1, x2, y2); }

float ANGLE2D(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4) {
    const double tiny = kTiny;
    const auto none = [tiny](double dx, double dy) { return std::abs(dx) < tiny && std::abs(dy) < tiny; };
    if (none(x2 - x1, y2 - y1) || none(x4 - x3, y4 - y3)) return 0.0f;
    constexpr double kDegrees = 180.0 / std::numbers::pi;
    const float t1 = static_cast<float>(std::atan2(y2 - y1, x2 - x1) * kDegrees);
    const float t2 = static_cast<float>(std::atan2(y4 - y3, x4 - x3) * kDegrees);
    const float w = std::abs(t2 - t1);
    return w > 180.0f ? 360.0f - w : w;
}

bool SAME_POINT(float x1, float y1, float x2, float y2, float tolerance) {
    return std::abs(x1 - x2) < tolerance && std::abs(y1 - y2) < tolerance;
}

bool SAME_POINT_8(double x1, double y1, double x2, double y2, double tolerance) {
    return std::abs(x1 - x2) < tolerance && std::abs(y1 - y2) < tolerance;
}

float CROSS_PRODUCT_8(double xa, double ya, double xb, double yb, double xp, double yp) {
    return static_cast<float>((xb - xa) * (yp - ya) - (xp - xa) * (yb - ya));
}

float SAME_SIDE(float xa, float ya, float xb, float yb, float x1, float y1, float x2, float y2) {
    return same_side_t(xa, ya, xb, yb, x1, y1, x2, y2);
}

float SAME_SIDE_8(double xa, double ya, double xb, double yb, double x1, double y1, double x2, double y2) {
    return same_side_t(xa, ya, xb, yb, x1, y1, x2, y2);
}

bool INTERSECT_POINT(float xa, float ya, float xb, float yb, float xp, float yp) {
    return SAME_SIDE(xa, ya, xb, yb, xp, yp, xp, yp) == 0.0f;
}

bool INTERSECT_LINE(float xa, float ya, float xb, float yb, float xc, float yc, float xd, float yd) {
    return intersect_line_t(xa, ya, xb, yb, xc, yc, xd, yd);
}

bool INTERSECT_LINE_8(double xa, double ya, double xb, double yb, double xc, double yc, double xd, double yd) {
    return intersect_line_t(xa, ya, xb, yb, xc, yc, xd, yd);
}

std::int32_t INTERSECT_LINE_V2(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4) {
    return intersect_v2_t(x1, y1, x2, y2, x3, y3, x4, y4);
}

std::int32_t INTERSECT_LINE_V2_8(double x1, double y1, double x2, double y2, double x3, double y3, double x4,
                                 double y4) {
    return intersect_v2_t(x1, y1, x2, y2, x3, y3, x4, y4);
}

bool INTERSECTION_POINT(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4, float& x,
                        float& y) {
    return intersection_t(x1, y1, x2, y2, x3, y3, x4, y4, x, y);
}

bool INTERSECTION_POINT_8(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4,
                          double& x, double& y) {
    return intersection_t(x1, y1, x2, y2, x3, y3, x4, y4, x, y);
}

bool INSIDE_POLYGON(float xp, float yp, std::span<const float> x, std::span<const float> y, std::int32_t n,
                    float xmin, std::span<const std::int32_t> part_ends, std::int32_t part_count) {
    return inside_polygon_t(xp, yp, x, y, n, xmin, part_ends, part_count, false, "inside_polygon routine [1]");
}

bool INSIDE_POLYGON_8(double xp, double yp, std::span<const double> x, std::span<const double> y, std::int32_t n,
                      double xmin, std::span<const std::int32_t> part_ends, std::int32_t part_count) {
    return inside_polygon_t(xp, yp, x, y, n, xmin, part_ends, part_count, false, "inside_polygon routine [2]");
}

bool INSIDE_OR_ON_POLYGON_8(double xp, double yp, std::span<const double> x, std::span<const double> y,
                            std::int32_t n, double xmin, std::span<const std::int32_t> part_ends,
                            std::int32_t part_count) {
    return inside_polygon_t(xp, yp, x, y, n, xmin, part_ends, part_count, true, "inside_polygon routine [1]");
}

bool INSIDE_CONVEX_POLYGON_8(double xp, double yp, std::int32_t n, std::span<const double> x,
                             std::span<const double> y) {
    const std::size_t entries = std::min(x.size(), y.size());
    if (n <= 0 || entries < 2) return false;
    n = held(n, entries - 1);
    float first = 0.0f;
    for (std::int32_t k = 0; k < n; ++k) {
        const std::size_t i = static_cast<std::size_t>(k);
        const float c = CROSS_PRODUCT_8(x[i], y[i], x[i + 1], y[i + 1], xp, yp);
        if (std::abs(c) < kTiny && (x[i] - xp) * (x[i + 1] - xp) + (y[i] - yp) * (y[i + 1] - yp) <= 0.0) return true;
        if (k == 0)
            first = c;
        else if (!(first * c > 0.0f))
            return false;
    }
    return n >= 2;
}

void POINTS_INSIDE_POLYGON(std::span<std::int32_t> flags, std::span<const float> px, std::span<const float> py,
                           std::int32_t npoints, std::int32_t& count, std::span<const float> x,
                           std::span<const float> y, std::int32_t n, std::span<const std::int32_t> part_ends,
                           std::int32_t part_count) {
    points_inside_t(flags, px, py, npoints, count, x, y, n, part_ends, part_count, "grid_inside_polygon routine [4]");
}

void POINTS_INSIDE_POLYGON_8(std::span<std::int32_t> flags, std::span<const double> px, std::span<const double> py,
                             std::int32_t npoints, std::int32_t& count, std::span<const double> x,
                             std::span<const double> y, std::int32_t n, std::span<const std::int32_t> part_ends,
                             std::int32_t part_count) {
    points_inside_t(flags, px, py, npoints, count, x, y, n, part_ends, part_count, "grid_inside_polygon routine [5]");
}

bool INTERPOLATE_TRIANGLE(float xp, float yp, std::span<const float, 3> cx, std::span<const float, 3> cy,
                          std::span<const float, 3> cz, float& v) {
    return interpolate_t(xp, yp, cx, cy, cz, v);
}

bool INTERPOLATE_TRIANGLE_8(double xp, double yp, std::span<const double, 3> cx, std::span<const double, 3> cy,
                            std::span<const float, 3> cz, float& v) {
    return interpolate_t(xp, yp, cx, cy, cz, v);
}

void INTERPOLATE_TRIANGLE_NO_CHECKS(float xp, float yp, std::span<const float, 3> cx, std::span<const float, 3> cy,
                                    std::span<const float, 3> cz, float& v) {
    interpolate_no_checks_t(xp, yp, cx, cy, cz, v);
}

void INTERPOLATE_TRIANGLE_NO_CHECKS_8(double xp, double yp, std::span<const double, 3> cx,
                                      std::span<const double, 3> cy, std::span<const float, 3> cz, float& v) {
    interpolate_no_checks_t(xp, yp, cx, cy, cz, v);
}

bool INTERPOLATE_ELEMENT_8(double xp, double yp, std::span<const double> cx, std::span<const double> cy,
                           std::span<const float> cz, std::int32_t ncorners, double xmin, float& v) {
    if (ncorners != 3 && ncorners != 4) return false;
    const std::size_t k = static_cast<std::size_t>(ncorners);
    if (cx.size() < k || cy.size() < k || cz.size() < k) return false;
    // The triangle of corners i, j, l: inside test on a ring of the corners written twice.
    const auto in_triangle = [&](std::size_t i, std::size_t j, std::size_t l, bool& inside, float& value) {
        const double rx[6] = {cx[i], cx[j], cx[l], cx[i], cx[j], cx[l]};
        const double ry[6] = {cy[i], cy[j], cy[l], cy[i], cy[j], cy[l]};
        const std::int32_t ends[1] = {4};
        inside = INSIDE_POLYGON_8(xp, yp, rx, ry, 5, xmin, ends, 1);
        if (!inside) return false;
        const double tx[3] = {cx[i], cx[j], cx[l]};
        const double ty[3] = {cy[i], cy[j], cy[l]};
        const float tz[3] = {cz[i], cz[j], cz[l]};
        return INTERPOLATE_TRIANGLE_8(xp, yp, tx, ty, tz, value);
    };
    bool inside = false;
    if (ncorners == 3) {
        float value = v;
        const bool found = in_triangle(0, 1, 2, inside, value);
        if (inside) v = value;
        return found;
    }
    float sum = 0.0f;
    std::int32_t found = 0;
    for (std::size_t j = 0; j < 4; ++j) {
        std::size_t others[3];
        std::size_t o = 0;
        for (std::size_t i = 0; i < 4; ++i)
            if (i != j) others[o++] = i;
        float value = 0.0f;
        if (in_triangle(others[0], others[1], others[2], inside, value)) {
            sum += value;
            ++found;
        }
    }
    if (found == 0) {
        v = kNoValue;
        return false;
    }
    v = sum / static_cast<float>(found);
    return true;
}

void SET_SUB_GRID_AREA(std::span<const float> x, std::span<const float> y, std::int32_t n, float cell,
                       std::int32_t nrows, std::int32_t ncols, std::int32_t& first_row, std::int32_t& first_col,
                       std::int32_t& last_row, std::int32_t& last_col, float& xmin, float& ymin, float& xmax,
                       float& ymax) {
    first_row = first_col = 1;
    last_row = last_col = 0;
    const std::size_t entries = std::min(x.size(), y.size());
    if (entries == 0) {
        xmin = ymin = xmax = ymax = 0.0f;
        return;
    }
    const std::int32_t m = n < 2 ? 1 : held(n, entries);
    const auto [xlo, xhi] = std::minmax_element(x.begin(), x.begin() + m);
    const auto [ylo, yhi] = std::minmax_element(y.begin(), y.begin() + m);
    xmin = *xlo;
    xmax = *xhi;
    ymin = *ylo;
    ymax = *yhi;
    if (!(cell > 0.0f)) return;
    // A first cell left of or below the grid's first one is given as 0; a last one
    // beyond the grid as the grid's last.
    first_col = std::max(cell_number(xmin, cell), 0);
    first_row = std::max(cell_number(ymin, cell), 0);
    last_col = std::min(cell_number(xmax, cell), ncols);
    last_row = std::min(cell_number(ymax, cell), nrows);
}

void GRID_INSIDE_POLYGON(GridCells& grid, float dx, float dy, const GridFill& fill, GridBox& box,
                         std::span<const float> x, std::span<const float> y, std::span<const float, 3> corner_values,
                         std::int32_t n, std::span<const std::int32_t> part_ends, std::int32_t part_count) {
    grid_t(grid, dx, dy, fill, box, x, y, corner_values, n, part_ends, part_count);
}

void GRID_INSIDE_POLYGON_8(GridCells& grid, double dx, double dy, const GridFill& fill, GridBox& box,
                           std::span<const double> x, std::span<const double> y,
                           std::span<const float, 3> corner_values, std::int32_t n,
                           std::span<const std::int32_t> part_ends, std::int32_t part_count) {
    grid_t(grid, dx, dy, fill, box, x, y, corner_values, n, part_ends, part_count);
}

void SET_POINT_VALUES_8(std::span<const std::int32_t> flags, std::span<const double> px, std::span<const double> py,
                        std::span<std::int32_t> ints, std::span<float> reals, std::int32_t npoints,
                        bool integer_mode, bool real_mode, float value, bool add, std::span<const double> cx,
                        std::span<const double> cy, std::span<const float, 3> cz, std::int32_t n) {
    npoints = held(npoints, std::min({flags.size(), px.size(), py.size()}));
    const bool interpolate = !integer_mode && !real_mode && n == 5 && cx.size() >= 3 && cy.size() >= 3;
    if (integer_mode)
        npoints = held(npoints, ints.size());
    else if (real_mode || interpolate)
        npoints = held(npoints, reals.size());
    const std::int32_t whole = rounded(value);
    for (std::int32_t k = 0; k < npoints; ++k) {
        const std::size_t p = static_cast<std::size_t>(k);
        if (flags[p] != 1) continue;
        if (integer_mode) {
            ints[p] = add ? added(ints[p], whole) : whole;
        } else if (real_mode) {
            set_cell(value, add, reals[p]);
        } else if (interpolate) {
            float v;
            if (INTERPOLATE_TRIANGLE_8(px[p], py[p], cx.first<3>(), cy.first<3>(), cz, v)) set_cell(v, add, reals[p]);
        }
    }
}

float POLYGON_AREA_8(std::span<const double> x, std::span<const double> y, std::int32_t n) {
    n = held(n, std::min(x.size(), y.size()));
    double sum = 0.0;
    for (std::int32_t k = 0; k < n; ++k) {
        const std::size_t i = static_cast<std::size_t>(k);
        const std::size_t prev = k == 0 ? static_cast<std::size_t>(n - 1) : i - 1;
        sum += (x[prev] + x[i]) * (y[prev] - y[i]);
    }
    return static_cast<float>(std::abs(sum) / 2.0);
}

float CIRCLE_WIDTH(float r, float d) {
    if (d > 2.0f * r - 1.0e-5f || d < 1.0e-5f) return 0.0f;
    return 2.0f * std::sqrt(std::max(0.0f, r * r - (d - r) * (d - r)));
}

void HYD_PARAM(float x1, float z1, float x2, float z2, float level, float factor, float& area, float& width,
               float& wetted) {
    area = width = wetted = 0.0f;
    if (!(factor > 0.0f)) return;
    const float w = x2 - x1;
    const bool wet1 = z1 <= level;
    const bool wet2 = z2 <= level;
    if (wet1 && wet2) {
        width = w;
        area = (level - (z1 + z2) / 2.0f) * w;
        wetted = DISTANCE(x1, z1, x2, z2);
    } else if (wet1) {
        const float part = w * (level - z1) / (z2 - z1);
        area = (level - z1) * part / 2.0f;
        width = part;
        wetted = DISTANCE(x1, z1, x1 + part, level);
    } else if (wet2) {
        const float part = w * (level - z2) / (z1 - z2);
        area = (level - z2) * part / 2.0f;
        width = part;
        wetted = DISTANCE(x2 - part, level, x2, z2);
    }
}

void HYD_PARAM2(float x1, float z1, float factor1, float x2, float z2, float factor2, float level, float& area1,
                float& area2, float& width1, float& width2, float& wetted1, float& wetted2) {
    const float xm = (x1 + x2) / 2.0f;
    const float zm = (z1 + z2) / 2.0f;
    HYD_PARAM(x1, z1, xm, zm, level, factor1, area1, width1, wetted1);
    HYD_PARAM(xm, zm, x2, z2, level, factor2, area2, width2, wetted2);
}

void GEO_SHIFT(std::span<const double> x, std::span<const double> y, std::int32_t n, double x0, double y0,
               float angle, std::span<float> x_out, std::span<float> y_out) {
    n = held(n, std::min({x.size(), y.size(), x_out.size(), y_out.size()}));
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    for (std::int32_t k = 0; k < n; ++k) {
        const std::size_t i = static_cast<std::size_t>(k);
        const double dx = x[i] - x0;
        const double dy = y[i] - y0;
        x_out[i] = static_cast<float>(c * dx + s * dy);
        y_out[i] = static_cast<float>(c * dy - s * dx);
    }
}

}  // namespace zorvel::util
