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
    const int height = clip.height();
    m_steps.assign(size_t(height) + 2, 0.0f);
    m_parts.assign(size_t(height) + 2, 0.0f);
    const double top = clip.top();
    const double bottom = double(clip.bottom()) + 1.0;
    const float weight = 1.0f / kSubsamples;

    size_t run = 0;
    int cursor = runs[0].first;
    const int firstColumn =
        std::max(clip.left(), int(std::floor(samples[size_t(runs.front().first)].x + dx)));
    const int lastColumn =
        std::min(clip.right(), int(std::floor(samples[size_t(runs.back().second - 1)].x + dx)));
    for (int column = firstColumn; column <= lastColumn; ++column) {
        int lo = height;
        int hi = -1;
        // Rows every subsample covers whole: coverage 1 without summing.
        int solidFrom = 0;
        int solidTo = height;
        int valid = 0;
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
            const int rt = int(t);
            const int rz = int(z);
            lo = std::min(lo, rt);
            hi = std::max(hi, rz);
            solidFrom = std::max(solidFrom, rt + 1);
            solidTo = std::min(solidTo, rz);
            ++valid;
            if (rt == rz) {
                m_parts[size_t(rt)] += float(z - t) * weight;
                continue;
            }
            m_parts[size_t(rt)] += float(rt + 1 - t) * weight;
            m_parts[size_t(rz)] += float(z - rz) * weight;
            m_steps[size_t(rt + 1)] += weight;
            m_steps[size_t(rz)] -= weight;
        }
        if (hi < lo)
            continue;
        float whole = 0.0f;
        int runLevel = 0;
        int runStart = lo;
        for (int row = lo; row <= hi + 1; ++row) {
            int level = 0;
            if (row <= hi) {
                whole += m_steps[size_t(row)];
                const float coverage = whole + m_parts[size_t(row)];
                level = std::clamp(int(coverage * kLevels + 0.5f), 0, kLevels);
                m_steps[size_t(row)] = 0.0f;
                m_parts[size_t(row)] = 0.0f;
            }
            if (level != runLevel) {
                if (runLevel > 0)
                    m_levels[size_t(runLevel)].emplace_back(column, clip.top() + runStart, 1,
                                                            row - runStart);
                runLevel = level;
                runStart = row;
            }
            if (row == solidFrom && valid == kSubsamples && solidTo - 1 > row)
                row = solidTo - 1; // nothing to add or clear in between
        }
        m_steps[size_t(hi + 1)] = 0.0f;
    }
}
