#pragma once

#include <algorithm>
#include <cmath>
#include <span>
#include <vector>

// One pixel column of a series: its first and last finite point and the extremes of its
// finite values. `column` counts from the left edge of the plot area and may lie outside
// it for the neighbours kept so that lines run into the edges. A column without a finite
// value is left out, so a gap of at least a column stays visible; the drawing joins two
// columns only when no point lies between the last of one and the first of the next.
// From a series' store, a run of whole columns all of one value (a steady reading) comes as
// one entry `span` columns wide.
struct ColumnExtent {
    int column;
    int firstIndex;
    int lastIndex;
    float first;
    float last;
    float min;
    float max;
    int span = 1;
};

// Maps the points x = index of `y` onto `pixelWidth` columns spanning [xMin, xMax)
// and summarises each column that holds a finite point. The point just before xMin and
// the one just after xMax are included, in their own columns. This is the plain scan over
// every point; SeriesStore gives the same columns from its summary.
void ReduceColumns(std::span<const float> y, double xMin, double xMax, int pixelWidth,
                   std::vector<ColumnExtent>& out);
std::vector<ColumnExtent> ReduceColumns(std::span<const float> y, double xMin, double xMax,
                                        int pixelWidth);

namespace columns {

// floor() by truncation, for values far inside the range of long long: std::floor is a
// library call on the baseline instruction set.
inline double Floor(double v) {
    const double t = double((long long)v);
    return t > v ? t - 1.0 : t;
}
// The column of x, pinned so that far-off neighbours still fit an int; inline, as it is
// asked for every point of a sparse range.
inline int ColumnOf(double x, double xMin, double scale) {
    constexpr double kColumnLimit = 1.0e9;
    return int(Floor(std::clamp((x - xMin) * scale, -kColumnLimit, kColumnLimit)));
}
// The first index in [from, end] whose position reaches `bound`, a column's left edge, or
// end: estimated from the edge's position by `inverse` (1 / scale), then checked against
// the expression ColumnOf floors, with no floor or division per check. Inline, as it is
// asked for every column of a dense range.
inline long long EdgeIndex(double bound, long long from, long long end, double xMin, double scale,
                           double inverse) {
    const double edge = std::clamp(xMin + bound * inverse, double(from), double(end));
    long long next = (long long)edge;
    next = std::clamp(next + (double(next) < edge), from, end); // the ceiling
    while (next > from && (double(next - 1) - xMin) * scale >= bound)
        --next;
    while (next < end && (double(next) - xMin) * scale < bound)
        ++next;
    return next;
}
// The first index after i (i < end) that lies in a later column than i, or end.
inline long long NextColumnStart(long long i, long long end, double xMin, double scale) {
    const double bound = double(ColumnOf(double(i), xMin, scale)) + 1.0;
    return EdgeIndex(bound, i + 1, end, xMin, scale, 1.0 / scale);
}

} // namespace columns
