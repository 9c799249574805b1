#include "ColumnReduction.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace columns {

long long NextColumnStart(long long i, long long end, double xMin, double scale) {
    const int column = ColumnOf(double(i), xMin, scale);
    // Estimated from the column's right edge, then corrected for rounding.
    const double edge = std::clamp(xMin + (double(column) + 1.0) / scale, double(i), double(end));
    long long next = (long long)edge;
    next = std::clamp(next + (double(next) < edge), i + 1, end); // ceiling
    while (next > i + 1 && ColumnOf(double(next - 1), xMin, scale) > column)
        --next;
    while (next < end && ColumnOf(double(next), xMin, scale) == column)
        ++next;
    return next;
}

} // namespace columns

void ReduceColumns(std::span<const float> y, double xMin, double xMax, int pixelWidth,
                   std::vector<ColumnExtent>& out) {
    out.clear();
    const auto count = static_cast<long long>(y.size());
    if (count == 0 || pixelWidth <= 0 || !(xMax > xMin) || !std::isfinite(xMin) ||
        !std::isfinite(xMax))
        return;
    const double scale = pixelWidth / (xMax - xMin);

    // One neighbour beyond each end, so the curve reaches the edges of the plot area.
    long long begin = std::max(0LL, (long long)std::ceil(std::max(xMin, -1.0)) - 1);
    long long end = std::min(count, (long long)std::floor(std::min(xMax, double(count))) + 2);
    const float* data = y.data();
    for (long long i = begin; i < end;) {
        const long long next = columns::NextColumnStart(i, end, xMin, scale);
        long long first = i;
        while (first < next && !std::isfinite(data[first]))
            ++first;
        if (first < next) {
            long long last = next - 1;
            while (!std::isfinite(data[last]))
                --last;
            float lo = data[first];
            float hi = lo;
            for (long long k = first + 1; k <= last; ++k) {
                lo = data[k] < lo ? data[k] : lo;
                hi = data[k] > hi ? data[k] : hi;
            }
            out.push_back({columns::ColumnOf(double(i), xMin, scale), int(first), int(last),
                           data[first], data[last], lo, hi});
        }
        i = next;
    }
}

std::vector<ColumnExtent> ReduceColumns(std::span<const float> y, double xMin, double xMax,
                                        int pixelWidth) {
    std::vector<ColumnExtent> out;
    ReduceColumns(y, xMin, xMax, pixelWidth, out);
    return out;
}
