#include "ThinLine.h"

#include <algorithm>
#include <cmath>

namespace {

// Far beyond the box values are pinned, so huge readings stay finite arithmetic.
constexpr double kFar = 1.0e6;

} // namespace

void ThinPolyline::build(std::span<const float> values, long long firstIndex,
                         const LineEnvelope::Mapping& map, const QRectF& box) {
    points.clear();
    runEnds.clear();
    spacing = std::abs(map.xStep);
    const double low = box.top() - kFar;
    const double high = box.bottom() + kFar;
    double x = map.x0 + map.xStep * double(firstIndex);
    for (float v : values) {
        if (std::isfinite(v)) {
            points.emplace_back(x, std::clamp(map.y0 + map.yStep * double(v), low, high));
        } else {
            endRun();
        }
        x += map.xStep;
    }
    endRun();
}

void ThinPolyline::endRun() {
    if (!points.empty() && (runEnds.empty() || runEnds.back() != int(points.size())))
        runEnds.push_back(int(points.size()));
}

template <class At>
bool ThinPolyline::spike(const ColumnExtent& c, const LineEnvelope::Mapping& map,
                         const LineEnvelope::PointSource& source, const At& at) {
    // A column that leaves its level to one side and comes back is a spike: its way out
    // and its way back are both strokes, at the spike's own x.
    const float up = c.max - std::max(c.first, c.last);
    const float down = std::min(c.first, c.last) - c.min;
    const float swing = c.max - c.min;
    // Only where many points share a pixel: with a few, the stroke between the extremes
    // already looks the same.
    if (!source || c.lastIndex - c.firstIndex < 16 || std::abs(map.yStep * double(swing)) < 3.0 ||
        std::abs(c.last - c.first) > 0.25f * swing || std::min(up, down) > 0.25f * swing)
        return false;
    const std::span<const float> pts = source(c.firstIndex, c.lastIndex);
    if (pts.empty())
        return false;
    const float extreme = up > down ? c.max : c.min;
    int peak = -1;
    for (size_t k = 0; k < pts.size() && peak < 0; ++k)
        if (pts[k] == extreme)
            peak = int(k);
    if (peak < 0)
        return false;
    const int count = int(pts.size());
    points.push_back(at(c.firstIndex, c.first));
    for (int k = std::max(peak - 1, 1); k <= std::min(peak + 1, count - 2); ++k)
        if (std::isfinite(pts[size_t(k)]))
            points.push_back(at(c.firstIndex + k, pts[size_t(k)]));
    if (count > 1)
        points.push_back(at(c.lastIndex, c.last));
    return true;
}

void ThinPolyline::build(const std::vector<ColumnExtent>& columns, const LineEnvelope::Mapping& map,
                         const QRectF& box, const LineEnvelope::PointSource& source) {
    points.clear();
    runEnds.clear();
    spacing = std::abs(map.xStep);
    const double low = box.top() - kFar;
    const double high = box.bottom() + kFar;
    const auto at = [&](long long index, float v) {
        return QPointF(map.x0 + map.xStep * double(index),
                       std::clamp(map.y0 + map.yStep * double(v), low, high));
    };
    const ColumnExtent* previous = nullptr;
    for (const ColumnExtent& c : columns) {
        if (!previous || previous->lastIndex + 1 != c.firstIndex)
            endRun();
        previous = &c;
        if (spike(c, map, source, at))
            continue;
        if (c.min < std::min(c.first, c.last) || c.max > std::max(c.first, c.last)) {
            // A column that swings beyond its ends is the stroke from one extreme to the
            // other, the one nearer the line so far first; its own ends lie on that stroke.
            const long long middle = (c.firstIndex + c.lastIndex) / 2;
            QPointF bottom = at(middle, c.min);
            QPointF top = at(middle, c.max);
            const bool inRun =
                !points.empty() && (runEnds.empty() || runEnds.back() != int(points.size()));
            const double from = inRun ? points.back().y() : at(c.firstIndex, c.first).y();
            if (std::abs(from - top.y()) < std::abs(from - bottom.y()))
                std::swap(bottom, top);
            points.push_back(bottom);
            points.push_back(top);
            continue;
        }
        points.push_back(at(c.firstIndex, c.first));
        if (c.lastIndex == c.firstIndex)
            continue;
        // A column that makes most of its change in one step is a jump at that step's x,
        // not a slope across the column.
        const int count = c.lastIndex - c.firstIndex + 1;
        std::span<const float> pts;
        if (count > 2 && std::abs(map.yStep * double(c.last - c.first)) > 1.0 && source &&
            !(pts = source(c.firstIndex, c.lastIndex)).empty()) {
            const int step = JumpStep(pts, c.last - c.first);
            if (step > 0)
                points.push_back(at(c.firstIndex + step, pts[size_t(step)]));
            if (step >= 0 && step + 2 < count)
                points.push_back(at(c.firstIndex + step + 1, pts[size_t(step + 1)]));
        }
        points.push_back(at(c.lastIndex, c.last));
    }
    endRun();
}
