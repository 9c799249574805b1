#include "CoverageRaster.h"

#include <algorithm>
#include <cmath>

void CoverageRaster::build(const LineEnvelope& envelope, double dx, double dy, const QRect& clip) {
    for (auto& rects : m_levels)
        rects.clear();
    const auto& samples = envelope.samples();
    const auto& runs = envelope.runs();
    if (runs.empty() || clip.isEmpty())
        return;
    const double top = clip.top();
    const double bottom = double(clip.bottom()) + 1.0;

    size_t run = 0;
    int cursor = runs[0].first;
    const int firstColumn =
        std::max(clip.left(), int(std::floor(samples[size_t(runs.front().first)].x + dx)));
    const int lastColumn =
        std::min(clip.right(), int(std::floor(samples[size_t(runs.back().second - 1)].x + dx)));
    double spanTop[kSubsamples];
    double spanBottom[kSubsamples];
    int breaks[4 * kSubsamples];
    for (int column = firstColumn; column <= lastColumn; ++column) {
        int spans = 0;
        int breakCount = 0;
        for (int k = 0; k < kSubsamples; ++k) {
            const double x = column + (k + 0.5) / kSubsamples - dx;
            while (run < runs.size() && samples[size_t(runs[run].second - 1)].x < x) {
                if (++run < runs.size())
                    cursor = runs[run].first;
            }
            if (run == runs.size())
                break;
            const auto [first, last] = runs[run];
            if (x < samples[size_t(first)].x)
                continue; // in a gap
            while (cursor + 1 < last && samples[size_t(cursor + 1)].x < x)
                ++cursor;
            const auto& a = samples[size_t(cursor)];
            const auto& b = samples[size_t(std::min(cursor + 1, last - 1))];
            const double f = b.x > a.x ? (x - a.x) / (b.x - a.x) : 0.0;
            const double t = std::max(top, a.top + (b.top - a.top) * f + dy) - top;
            const double z = std::min(bottom, a.bottom + (b.bottom - a.bottom) * f + dy) - top;
            if (!(t < z))
                continue;
            spanTop[spans] = t;
            spanBottom[spans] = z;
            ++spans;
            // Coverage only changes at the rows holding a span's ends.
            breaks[breakCount++] = int(t);
            breaks[breakCount++] = int(t) + 1;
            breaks[breakCount++] = int(z);
            breaks[breakCount++] = int(z) + 1;
        }
        if (spans == 0)
            continue;
        for (int i = 1; i < breakCount; ++i) { // a handful, mostly in order already
            const int row = breaks[i];
            int j = i;
            for (; j > 0 && breaks[j - 1] > row; --j)
                breaks[j] = breaks[j - 1];
            breaks[j] = row;
        }
        int runLevel = 0;
        int runStart = 0;
        for (int i = 0; i < breakCount; ++i) {
            const int row = breaks[i];
            if (i > 0 && row == breaks[i - 1])
                continue;
            // Every row from here to the next break is covered alike.
            float coverage = 0.0f;
            for (int k = 0; k < spans; ++k)
                coverage += float(std::max(0.0, std::min(spanBottom[k], row + 1.0) -
                                                    std::max(spanTop[k], double(row))));
            const int level = std::clamp(int(coverage * kLevels / kSubsamples + 0.5f), 0, kLevels);
            if (level != runLevel) {
                // Pieces of at most kPiece rows: Qt hands taller fills to its thread pool,
                // whose hand-over costs more than filling a one-pixel column.
                for (int from = runStart; runLevel > 0 && from < row; from += kPiece)
                    m_levels[size_t(runLevel)].emplace_back(column, clip.top() + from, 1,
                                                            std::min(kPiece, row - from));
                runLevel = level;
                runStart = row;
            }
        }
        // The last break lies past every span, so the final run is closed above.
    }
}
