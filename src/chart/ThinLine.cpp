#include "ThinLine.h"

#include "PixelBlend.h"

#include <algorithm>
#include <cmath>
#include <limits>

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

namespace {

using columns::Floor;

// The scratch pixels a thin line lights, with the rows written per column for the strips.
class ThinCanvas {
  public:
    // bits: the clip's top left pixel.
    // top and bottom: per column, the rows lit; none when the pixels need no strips.
    ThinCanvas(uchar* bits, qsizetype stride, const QRect& clip, const QRgb* shades, int* top,
               int* bottom)
        : m_bits(bits), m_stride(stride), m_width(clip.width()), m_height(clip.height()),
          m_top(top), m_bottom(bottom), m_mark(top != nullptr), m_shades(shades) {
        if (!m_mark)
            return;
        std::fill(m_top, m_top + m_width, std::numeric_limits<int>::max());
        std::fill(m_bottom, m_bottom + m_width, std::numeric_limits<int>::min());
    }

    // Per nearness, what a whole pixel step of a gentle segment lights.
    void setFlat(const uchar* flat) { m_flat = flat; }

    // A segment in clip pixels, pixel centres at whole numbers.
    void segment(double xa, double ya, double xb, double yb) {
        if (!std::isfinite(xa + ya + xb + yb)) // an axis without extent maps nowhere
            return;
        if (std::abs(xb - xa) >= std::abs(yb - ya))
            along<false>(xa, ya, xb, yb);
        else
            along<true>(ya, xa, yb, xb);
    }

    // A point with no neighbour to join: the pixels around it, by nearness.
    void dot(double x, double y) {
        if (!std::isfinite(x + y))
            return;
        const double column = std::floor(x);
        const double row = std::floor(y);
        if (column < -1.0 || column >= m_width || row < -1.0 || row >= m_height)
            return;
        const int i = int(column);
        const int j = int(row);
        const double fx = x - column;
        const double fy = y - row;
        for (int k = 0; k < 2; ++k) {
            const double wx = k ? fx : 1.0 - fx;
            const int above = int(wx * (1.0 - fy) * 255.0 + 0.5);
            const int below = int(wx * fy * 255.0 + 0.5);
            if (litColumn(i + k, j, above, below) && m_mark) {
                m_top[i + k] = std::min(m_top[i + k], std::max(j, 0));
                m_bottom[i + k] = std::max(m_bottom[i + k], std::min(j + 2, m_height));
            }
        }
    }

  private:
    // Steps along the segment's longer axis u, lighting the two pixels across it, v, that
    // are nearest the line. Steep: u is y.
    template <bool Steep> void along(double ua, double va, double ub, double vb) {
        if (ua == ub)
            return;
        if (ua > ub) {
            std::swap(ua, ub);
            std::swap(va, vb);
        }
        const int uLimit = Steep ? m_height : m_width;
        const int vLimit = Steep ? m_width : m_height;
        const double slope = (vb - va) / (ub - ua);
        const int first = Pixel(ua, 0, uLimit - 1);
        const int last = Pixel(ub, 0, uLimit - 1);
        // The end steps cover part of a pixel, those between the whole of one.
        const double firstShare = std::min(ub, first + 0.5) - std::max(ua, first - 0.5);
        const double lastShare = std::min(ub, last + 0.5) - std::max(ua, last - 0.5);
        // The line's position across at each step's pixel centre, in 16.16 fixed point.
        constexpr double kOne = 65536.0;
        long long v = (long long)Floor((va + (first - ua) * slope) * kOne + 0.5);
        const long long step = (long long)Floor(slope * kOne + 0.5);
        const long long vEnd = v + step * (last - first);
        const long long lowest = std::min(v, vEnd) >> 16;
        const long long highest = std::max(v, vEnd) >> 16;
        const bool inside = lowest >= 0 && highest + 1 < vLimit;
        int vLow = int(std::clamp(lowest, -2LL, (long long)vLimit));
        int vHigh = int(std::clamp(highest + 1, -2LL, (long long)vLimit));
        for (int k = first; k <= last; ++k, v += step) {
            const int f = int((v >> 8) & 0xff);
            int near = cover<Steep>(255 - f);
            int far = cover<Steep>(f);
            if (k == first || k == last) {
                const double share = k == first ? firstShare : lastShare;
                if (share <= 0.0)
                    continue;
                near = int(near * share + 0.5);
                far = int(far * share + 0.5);
            }
            if (inside)
                pair<Steep, false>(k, int(v >> 16), near, far);
            else
                pair<Steep, true>(k, int(std::clamp(v >> 16, -2LL, (long long)vLimit)), near, far);
        }
        if (!Steep || !m_mark || vLow > vHigh)
            return;
        const int top = first;
        const int bottom = last + 1;
        for (int i = std::max(vLow, 0); i <= std::min(vHigh, m_width - 1); ++i) {
            m_top[i] = std::min(m_top[i], top);
            m_bottom[i] = std::max(m_bottom[i], bottom);
        }
    }

    // What a whole pixel step of the given nearness lights: a steep segment's points
    // each cover their own rows, a gentle one's pile up in the same pixels.
    template <bool Steep> int cover(int nearness) const {
        return Steep ? nearness : m_flat[nearness];
    }

    // Pixels (u, v) and (u, v + 1) along the segment; a gentle segment marks its column's
    // rows as it goes, a steep one leaves that to its end.
    template <bool Steep, bool Checked> inline void pair(int u, int v, int near, int far) {
        if constexpr (Steep) {
            if constexpr (Checked) {
                light(v, u, near);
                light(v + 1, u, far);
            } else {
                uchar* row = m_bits + qsizetype(u) * m_stride;
                blend(reinterpret_cast<QRgb*>(row)[v], near);
                blend(reinterpret_cast<QRgb*>(row)[v + 1], far);
            }
        } else {
            if constexpr (Checked) {
                light(u, v, near);
                light(u, v + 1, far);
                if (!m_mark || v + 1 < 0 || v >= m_height)
                    return;
            } else {
                QRgb* p = reinterpret_cast<QRgb*>(m_bits + qsizetype(v) * m_stride) + u;
                blend(*p, near);
                blend(*reinterpret_cast<QRgb*>(reinterpret_cast<uchar*>(p) + m_stride), far);
                if (!m_mark)
                    return;
            }
            m_top[u] = std::min(m_top[u], std::max(v, 0));
            m_bottom[u] = std::max(m_bottom[u], std::min(v + 2, m_height));
        }
    }

    // Blended over what is there, so a pixel lit twice is darker, as in the toolkit's line.
    void blend(QRgb& p, int amount) { p = Over(m_shades[amount], p); }

    static int Pixel(double v, int low, int high) {
        return int(std::clamp(Floor(v + 0.5), double(low), double(high)));
    }

    void light(int x, int y, int amount) {
        if (amount <= 0 || unsigned(x) >= unsigned(m_width) || unsigned(y) >= unsigned(m_height))
            return;
        blend(*reinterpret_cast<QRgb*>(m_bits + qsizetype(y) * m_stride +
                                       qsizetype(x) * qsizetype(sizeof(QRgb))),
              amount);
    }
    // Rows y and y + 1 of column x; false when the column lies outside.
    bool litColumn(int x, int y, int above, int below) {
        if (unsigned(x) >= unsigned(m_width))
            return false;
        light(x, y, above);
        light(x, y + 1, below);
        return y + 1 >= 0 && y < m_height;
    }

    uchar* m_bits;
    qsizetype m_stride;
    int m_width;
    int m_height;
    int* m_top;
    int* m_bottom;
    bool m_mark;
    const QRgb* m_shades;
    const uchar* m_flat = nullptr;
};

} // namespace

// Points `spacing` pixels apart, closer than a pixel, are each a stroke of their own with
// its length held to 1/64 pixel and its coverage rounded down, blended one over the
// other: per nearness, what a whole pixel step lights once they have all been blended.
void FlatCover(double spacing, uchar* flat) {
    for (int a = 0; a < 256; ++a)
        flat[a] = uchar(a);
    if (!(spacing > 0.0 && spacing < 1.0))
        return;
    const double length = spacing * 64.0;
    const double whole = std::floor(length);
    const double longer = length - whole; // share of strokes one 64th longer
    const double strokes = 1.0 / spacing;
    for (int a = 0; a < 256; ++a) {
        const double shortCover = std::floor(a * whole / 64.0) / 255.0;
        const double longCover = std::floor(a * (whole + 1.0) / 64.0) / 255.0;
        const double clear = std::pow(1.0 - shortCover, strokes * (1.0 - longer)) *
                             std::pow(1.0 - longCover, strokes * longer);
        flat[a] = uchar(std::lround(255.0 * (1.0 - clear)));
    }
}

void StrokeThin(const ThinPolyline& line, uchar* bits, qsizetype stride, const QRect& clip,
                const QRgb* shades, const uchar* flat, int* top, int* bottom) {
    ThinCanvas canvas(bits, stride, clip, shades, top, bottom);
    canvas.setFlat(flat);
    const double dx = clip.left();
    const double dy = clip.top();
    const QPointF* p = line.points.data();
    int start = 0;
    for (int end : line.runEnds) {
        if (end - start == 1)
            canvas.dot(p[start].x() - dx, p[start].y() - dy);
        for (int k = start; k + 1 < end; ++k)
            canvas.segment(p[k].x() - dx, p[k].y() - dy, p[k + 1].x() - dx, p[k + 1].y() - dy);
        start = end;
    }
}
