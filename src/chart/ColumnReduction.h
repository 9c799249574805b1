#pragma once

#include <span>
#include <vector>

// One pixel column of a dense series: the values of its first and last point and
// the extremes in between. `column` counts from the left edge of the plot area and
// may lie outside it for the neighbours kept so that lines run into the edges.
struct ColumnExtent {
    int column;
    int firstIndex;
    int lastIndex;
    float first;
    float last;
    float min;
    float max;
};

// Maps the points x = index of `y` onto `pixelWidth` columns spanning [xMin, xMax)
// and summarises each column that holds a point. The point just before xMin and the
// one just after xMax are included, in their own columns. Non-finite values take no
// part in min and max. `out` is reused to avoid allocations on every redraw.
void ReduceColumns(std::span<const float> y, double xMin, double xMax, int pixelWidth,
                   std::vector<ColumnExtent>& out);
std::vector<ColumnExtent> ReduceColumns(std::span<const float> y, double xMin, double xMax,
                                        int pixelWidth);
