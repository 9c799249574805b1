#include "ColumnReduction.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Far-off neighbours are pinned so the column stays an int; the drawing clips them.
constexpr double kColumnLimit = 1.0e9;

int ColumnOf(double x, double xMin, double scale) {
    const double c = std::floor((x - xMin) * scale);
    return int(std::clamp(c, -kColumnLimit, kColumnLimit));
}

} // namespace

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
    if (begin >= end)
        return;

    const float* data = y.data();
    long long i = begin;
    while (i < end) {
        const int column = ColumnOf(double(i), xMin, scale);
        // First index of the next column, estimated and then corrected for rounding.
        long long next = (long long)std::ceil(xMin + (double(column) + 1.0) / scale);
        next = std::clamp(next, i + 1, end);
        while (next > i + 1 && ColumnOf(double(next - 1), xMin, scale) > column)
            --next;
        while (next < end && ColumnOf(double(next), xMin, scale) == column)
            ++next;

        // Independent accumulators keep the loop free of a dependency chain.
        constexpr int kLanes = 8;
        float lo[kLanes];
        float hi[kLanes];
        std::fill(lo, lo + kLanes, std::numeric_limits<float>::infinity());
        std::fill(hi, hi + kLanes, -std::numeric_limits<float>::infinity());
        long long k = i;
        for (; k + kLanes <= next; k += kLanes) {
            for (int l = 0; l < kLanes; ++l) {
                const float v = data[k + l];
                lo[l] = v < lo[l] ? v : lo[l];
                hi[l] = v > hi[l] ? v : hi[l];
            }
        }
        for (int l = 0; k < next; ++k, ++l) {
            const float v = data[k];
            lo[l] = v < lo[l] ? v : lo[l];
            hi[l] = v > hi[l] ? v : hi[l];
        }
        for (int l = 1; l < kLanes; ++l) {
            lo[0] = lo[l] < lo[0] ? lo[l] : lo[0];
            hi[0] = hi[l] > hi[0] ? hi[l] : hi[0];
        }
        out.push_back({column, int(i), int(next - 1), data[i], data[next - 1], lo[0], hi[0]});
        i = next;
    }
}

std::vector<ColumnExtent> ReduceColumns(std::span<const float> y, double xMin, double xMax,
                                        int pixelWidth) {
    std::vector<ColumnExtent> out;
    ReduceColumns(y, xMin, xMax, pixelWidth, out);
    return out;
}
