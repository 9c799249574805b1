#include "ColumnReduction.h"

#include <algorithm>
#include <cmath>
#include <limits>

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
