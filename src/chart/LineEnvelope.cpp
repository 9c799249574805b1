#include "LineEnvelope.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
// Far beyond the box values are pinned, so huge readings stay finite arithmetic.
constexpr double kFar = 1.0e7;

} // namespace

void LineEnvelope::addSegment(double xa, double ya, double xb, double yb, bool capA, bool capB) {
    if (xa > xb) {
        std::swap(xa, xb);
        std::swap(ya, yb);
        std::swap(capA, capB);
    }
    Element e{xa, ya, xb, yb, 0.0, 0.0, 0.0, false, capA, capB};
    const double dx = xb - xa;
    if (dx > 0.0) {
        const double dy = yb - ya;
        const double along = m_radius / std::sqrt(dx * dx + dy * dy);
        e.nx = dy * along;
        e.ny = -dx * along; // towards the top of the device
        e.slope = dy / dx;
    }
    m_elements.push_back(e);
}

void LineEnvelope::addCap(double x, double direction) {
    // Enough points on the round end that its chords stay within a few hundredths of a pixel.
    for (double f : {0.5, 0.866, 0.98, 1.0})
        m_keys.push_back(x + direction * f * m_radius);
}

// Inlined: it runs for every sample an element reaches.
[[gnu::always_inline]] inline void LineEnvelope::cover(const Element& e, Sample& s) const {
    const double r = m_radius;
    const double r2 = r * r;
    if (e.box) {
        const double d = std::max({0.0, e.x1 - s.x, s.x - e.x2});
        if (d == 0.0) {
            s.top = std::min(s.top, e.y1 - r);
            s.bottom = std::max(s.bottom, e.y2 + r);
        } else if (d * d <= r2 + 1e-9) {
            const double h = std::sqrt(std::max(0.0, r2 - d * d));
            s.top = std::min(s.top, e.y1 - h);
            s.bottom = std::max(s.bottom, e.y2 + h);
        }
        return;
    }
    if (e.x2 > e.x1) {
        // The straight sides of the stroke, shifted by the pen along the normal.
        if (s.x >= e.x1 + e.nx && s.x <= e.x2 + e.nx)
            s.top = std::min(s.top, e.y1 + e.ny + (s.x - e.x1 - e.nx) * e.slope);
        if (s.x >= e.x1 - e.nx && s.x <= e.x2 - e.nx)
            s.bottom = std::max(s.bottom, e.y1 - e.ny + (s.x - e.x1 + e.nx) * e.slope);
    }
    // The round ends, unless the span already reaches past them.
    for (int end = 0; end < 2; ++end) {
        if (!(end ? e.capEnd : e.capStart))
            continue;
        const double y = end ? e.y2 : e.y1;
        if (y - r >= s.top && y + r <= s.bottom)
            continue;
        const double d = s.x - (end ? e.x2 : e.x1);
        if (d * d <= r2 + 1e-9) {
            const double h = std::sqrt(std::max(0.0, r2 - d * d));
            s.top = std::min(s.top, y - h);
            s.bottom = std::max(s.bottom, y + h);
        }
    }
}

// Inlined: it runs for every column's first and last point.
[[gnu::always_inline]] inline double LineEnvelope::deviceY(float v) const {
    return std::clamp(m_map.y0 + m_map.yStep * double(v), m_yLow, m_yHigh);
}

int JumpStep(std::span<const float> pts, float change) {
    if (pts.size() < 2)
        return -1;
    // Most columns have no such step: the largest one first, in independent lanes, and
    // where it lies only when it is large enough.
    constexpr size_t kLanes = 8;
    float lanes[kLanes] = {};
    const size_t steps = pts.size() - 1;
    size_t k = 0;
    for (; k + kLanes <= steps; k += kLanes)
        for (size_t l = 0; l < kLanes; ++l) {
            const float step = std::abs(pts[k + l + 1] - pts[k + l]);
            lanes[l] = lanes[l] < step ? step : lanes[l]; // NaN compares false
        }
    for (; k < steps; ++k) {
        const float step = std::abs(pts[k + 1] - pts[k]);
        lanes[0] = lanes[0] < step ? step : lanes[0];
    }
    float largest = 0.0f;
    for (float lane : lanes)
        largest = std::max(largest, lane);
    if (!(largest > 0.0f) || 2.0f * largest < std::abs(change))
        return -1;
    for (k = 0; k < steps; ++k)
        if (std::abs(pts[k + 1] - pts[k]) == largest)
            return int(k);
    return -1;
}

bool LineEnvelope::addStep(const ColumnExtent& c, std::span<const float> pts) {
    const Mapping& map = m_map;
    const auto y = [this](float v) { return deviceY(v); };
    // A column that gets most of its rise in one step is a jump at that step's x, not a
    // slope across the column.
    const int at = JumpStep(pts, c.last - c.first);
    if (at < 0)
        return false;
    const double xa = map.x0 + map.xStep * (c.firstIndex + at);
    const double xb = xa + map.xStep;
    const double ya = y(pts[size_t(at)]);
    const double yb = y(pts[size_t(at) + 1]);
    addSegment(map.x0 + map.xStep * c.firstIndex, y(c.first), xa, ya);
    addSegment(xa, ya, xb, yb);
    addSegment(xb, yb, map.x0 + map.xStep * c.lastIndex, y(c.last));
    // The jump's sides are steep cliffs in the outline; samples on its round ends keep
    // them where they are instead of ramping to the next column sample.
    addCap(xa, -1.0);
    addCap(xb, +1.0);
    m_keys.push_back(xa);
    m_keys.push_back(xb);
    return true;
}

void LineEnvelope::build(const std::vector<ColumnExtent>& columns, const Mapping& map,
                         double penWidth, double columnWidth, double gridOrigin, const QRectF& box,
                         const PointSource& points) {
    m_elements.clear();
    m_gaps.clear();
    m_quiet.clear();
    m_keys.clear();
    m_xs.clear();
    m_samples.clear();
    m_runs.clear();
    m_levelShare = 0.0;
    if (columns.empty() || !(columnWidth > 0.0))
        return;
    // A zero-width pen is the thinnest line the device shows.
    m_radius = std::max(penWidth, 1.0) / 2.0;
    const double r = m_radius;
    m_map = map;
    m_yLow = box.top() - kFar;
    m_yHigh = box.bottom() + kFar;
    const auto y = [this](float v) { return deviceY(v); };

    const bool thin = r <= 0.75;
    // A run of level columns joined end to end is one element: the same outline, without
    // an element and samples for every column (a steady reading, a step's plateau).
    int level = -1;    // the element of the current level run, or -1
    double levelX = 0; // where it starts
    const auto endLevel = [&] {
        if (level < 0)
            return;
        const Element& e = m_elements[size_t(level)];
        m_keys.push_back(e.x2);
        // Only this element reaches its inside: no samples needed there. The grid sample
        // on either side of that stays beyond the neighbours' reach (r), being at most half a
        // column from it.
        const double margin = r + columnWidth / 2.0;
        if (e.x2 - margin > levelX + margin)
            m_quiet.emplace_back(levelX + margin, e.x2 - margin);
        level = -1;
    };
    const ColumnExtent* previous = nullptr;
    bool previousCapped = false; // whether the previous column drew its last point's round end
    double previousX = 0.0;
    double previousY = 0.0;
    bool previousBox = false; // whether the previous column was drawn as a box, and its span
    double previousLow = 0.0;
    double previousHigh = 0.0;
    for (const ColumnExtent& c : columns) {
        const bool joined = previous && previous->lastIndex + 1 == c.firstIndex;
        const bool flat = c.first == c.last && c.min == c.first && c.max == c.first;
        // A level column joined at the same height carries on the level run, at once.
        if (level >= 0 && joined && flat && y(c.first) == previousY) {
            previousX = map.x0 + map.xStep * c.lastIndex;
            m_elements[size_t(level)].x2 = previousX;
            previous = &c;
            continue;
        }
        endLevel();
        const double xf = map.x0 + map.xStep * c.firstIndex;
        const double xl = map.x0 + map.xStep * c.lastIndex;
        const double yf = y(c.first);
        const double yl = y(c.last);
        const bool monotone =
            c.min >= std::min(c.first, c.last) && c.max <= std::max(c.first, c.last);
        const int count = c.lastIndex - c.firstIndex + 1;
        // A column drawn as its extremes (a box): with thin pens a few points may be drawn
        // as their own segments instead.
        const bool drawnAsBox = !monotone && !(thin && count <= kFewPoints);
        const double yMin = y(c.min);
        const double yMax = y(c.max);
        const double boxLow = std::min(yMin, yMax);
        const double boxHigh = std::max(yMin, yMax);
        // Between two boxes that each hold the other's end of the join, the join's stroke
        // lies inside theirs (but for a sliver as wide as the step between the points): it
        // is left out, which spares most of a noisy day's elements.
        const bool joinInside = previousBox && drawnAsBox && previousY >= boxLow &&
                                previousY <= boxHigh && yf >= previousLow && yf <= previousHigh;
        if (joined && !joinInside) {
            // The previous column's last point already has its round end, mostly.
            addSegment(previousX, previousY, xf, yf, !previousCapped, true);
        } else if (!joined) {
            if (previous)
                addCap(previousX, +1.0);
            addCap(xf, -1.0);
            const int previousEnd = previous ? previous->column + previous->span - 1 : 0;
            if (previous && c.column - previousEnd >= 2) {
                const double from = gridOrigin + (previousEnd + 1) * columnWidth;
                const double to = gridOrigin + c.column * columnWidth;
                m_gaps.emplace_back(from, to);
                m_keys.push_back(from);
                m_keys.push_back(to);
            }
        }
        bool capped = true;
        previousBox = false;
        std::span<const float> pts;
        if (!monotone && thin && count <= kFewPoints && points &&
            !(pts = points(c.firstIndex, c.lastIndex)).empty()) {
            // A few points zigzag: with a thin pen their own strokes leave white between them.
            capped = std::isfinite(pts[size_t(count - 2)]);
            bool capHere = joined; // whether point k already has its round end
            for (int k = 0; k + 1 < count; ++k) {
                const float a = pts[size_t(k)];
                const float b = pts[size_t(k + 1)];
                const double xa = map.x0 + map.xStep * (c.firstIndex + k);
                const bool drawn = std::isfinite(a) && std::isfinite(b);
                if (drawn)
                    addSegment(xa, y(a), xa + map.xStep, y(b), !capHere, true);
                capHere = drawn;
                // The tips need a sample of their own; between them the sides are straight.
                if (k > 0 && (a - pts[size_t(k - 1)]) * (b - a) <= 0.0f)
                    m_keys.push_back(xa);
            }
        } else if (monotone) {
            // A single point joined on the left is already the join's round end.
            if (!(count > kFewPoints && std::abs(yl - yf) > 1.0 && points &&
                  addStep(c, points(c.firstIndex, c.lastIndex))) &&
                !(joined && count == 1)) {
                addSegment(xf, yf, xl, yl, !joined, true);
                if (flat) {
                    level = int(m_elements.size()) - 1;
                    levelX = xf;
                    Element& e = m_elements.back();
                    e.nx = 0.0; // level, however long it grows (it may start as one point)
                    e.ny = -r;
                    e.slope = 0.0;
                }
            }
        } else {
            m_elements.push_back({std::min(xf, xl), boxLow, std::max(xf, xl), boxHigh, 0.0, 0.0,
                                  0.0, true, false, false});
            previousBox = true;
            previousLow = boxLow;
            previousHigh = boxHigh;
        }
        m_keys.push_back(xf);
        if (xl != xf && level < 0)
            m_keys.push_back(xl);
        previous = &c;
        previousCapped = capped;
        previousX = xl;
        previousY = yl;
    }
    endLevel();
    addCap(previousX, +1.0);

    double from = kInf;
    double to = -kInf;
    for (const Element& e : m_elements) {
        from = std::min(from, e.left() - r);
        to = std::max(to, e.right() + r);
    }
    from = std::max(from, box.left());
    to = std::min(to, box.right());
    if (!(from <= to))
        return;
    // Every half column, so a gap of a column always holds an uncovered sample.
    const double step = columnWidth / 2.0;
    // The keys come nearly sorted (only round ends reach back), so insertion is linear.
    for (size_t i = 1; i < m_keys.size(); ++i) {
        const double key = m_keys[i];
        size_t j = i;
        for (; j > 0 && m_keys[j - 1] > key; --j)
            m_keys[j] = m_keys[j - 1];
        m_keys[j] = key;
    }
    auto key = m_keys.begin();
    auto quiet = m_quiet.begin();
    for (double k = std::ceil((from - gridOrigin) / step),
                last = std::floor((to - gridOrigin) / step);
         k <= last; ++k) {
        double x = gridOrigin + k * step;
        while (quiet != m_quiet.end() && quiet->second < x)
            ++quiet;
        if (quiet != m_quiet.end() && x > quiet->first) {
            k = std::floor((quiet->second - gridOrigin) / step);
            continue;
        }
        for (; key != m_keys.end() && *key < x; ++key)
            m_xs.push_back(*key);
        m_xs.push_back(x);
    }
    m_xs.insert(m_xs.end(), key, m_keys.end());
    const double near = columnWidth * 0.02;
    for (double x : m_xs) {
        if (x < from || x > to || (!m_samples.empty() && x - m_samples.back().x < near))
            continue;
        m_samples.push_back({x, kInf, -kInf});
    }

    // Elements come nearly in order of their left ends, so the first sample is found by
    // stepping from the previous element's.
    auto first = m_samples.begin();
    for (const Element& e : m_elements) {
        const double left = e.left() - r;
        while (first != m_samples.begin() && std::prev(first)->x >= left)
            --first;
        while (first != m_samples.end() && first->x < left)
            ++first;
        for (auto it = first; it != m_samples.end() && it->x <= e.right() + r; ++it)
            cover(e, *it);
    }

    auto gap = m_gaps.begin();
    for (Sample& s : m_samples) {
        while (gap != m_gaps.end() && gap->second <= s.x)
            ++gap;
        if (gap != m_gaps.end() && s.x > gap->first)
            s.top = kInf;
    }

    int start = -1;
    double width = 0.0;
    for (int i = 0; i < int(m_samples.size()); ++i) {
        Sample& s = m_samples[size_t(i)];
        s.top = std::max(s.top, box.top());
        s.bottom = std::min(s.bottom, box.bottom());
        const bool covered = s.top <= s.bottom;
        if (covered && start >= 0) {
            const Sample& p = m_samples[size_t(i - 1)];
            width += s.x - p.x;
        }
        if (covered && start < 0)
            start = i;
        if (!covered && start >= 0) {
            m_runs.emplace_back(start, i);
            start = -1;
        }
    }
    if (start >= 0)
        m_runs.emplace_back(start, int(m_samples.size()));
    double quietWidth = 0.0;
    for (const auto& [a, b] : m_quiet)
        quietWidth += b - a;
    m_levelShare = width > 0.0 ? std::min(1.0, quietWidth / width) : 0.0;
}
