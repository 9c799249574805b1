#include "CoverageRaster.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

// A premultiplied colour scaled by alpha/255, as Qt's own blending does.
QRgb Scaled(QRgb c, uint alpha) {
    uint t = (c & 0xff00ff) * alpha;
    t = ((t + ((t >> 8) & 0xff00ff) + 0x800080) >> 8) & 0xff00ff;
    uint u = ((c >> 8) & 0xff00ff) * alpha;
    u = (u + ((u >> 8) & 0xff00ff) + 0x800080) & 0xff00ff00;
    return u | t;
}

// Source-over of a premultiplied pixel, as the raster engine blends, with what lies below
// scaled by (256 - alpha) / 256 instead of (255 - alpha) / 255: within a level, and exact
// where nothing covers it.
inline QRgb Over(QRgb source, QRgb destination) {
    if (!destination)
        return source;
    const uint keep = 256 - qAlpha(source);
    const uint rb = (((destination & 0xff00ff) * keep) >> 8) & 0xff00ff;
    const uint ag = (((destination >> 8) & 0xff00ff) * keep) & 0xff00ff00;
    return source + (rb | ag);
}

// floor() without a library call, for values far inside the range of long long.
inline double Floor(double v) {
    const double t = double((long long)v);
    return t > v ? t - 1.0 : t;
}

// An image draw costs about as much as blending this many mostly clear pixels, so
// neighbouring columns share one draw unless that adds more clear pixels than this.
constexpr long long kDrawCost = 2500;

// One image to compute coverage in, shared by every series of the thread and left clear
// after each: a series keeps only the pixels of its strips.
QImage& Scratch(const QSize& size) {
    thread_local QImage image;
    if (image.width() < size.width() || image.height() < size.height()) {
        image = QImage(size.expandedTo(image.size()), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
    }
    return image;
}

} // namespace

bool CoverageRaster::finish(QImage& scratch, QPainter* painter) {
    long long area = 0;
    for (const QRect& s : m_strips) {
        painter->drawImage(s.topLeft() + m_area.topLeft(), scratch, s);
        area += (long long)s.width() * s.height();
    }
    // A tall dense band is not kept: its copy would cost memory for every series, and
    // computing it again costs little beside blending it.
    const bool keep = area <= kKeptPixels;
    m_offsets.clear();
    m_pixels.clear();
    for (const QRect& s : m_strips) {
        m_offsets.push_back(m_pixels.size());
        for (int y = s.top(); y <= s.bottom(); ++y) {
            QRgb* row = reinterpret_cast<QRgb*>(scratch.scanLine(y)) + s.left();
            if (keep)
                m_pixels.insert(m_pixels.end(), row, row + s.width());
            std::memset(row, 0, size_t(s.width()) * sizeof(QRgb));
        }
    }
    if (!keep)
        m_strips.clear();
    if (m_pixels.capacity() > 2 * m_pixels.size() + 4096)
        m_pixels.shrink_to_fit();
    return keep;
}

void CoverageRaster::begin(const QRect& clip) {
    m_strips.clear();
    m_used.clear();
    m_offsets.clear();
    m_pixels.clear();
    m_area = clip;
    if (int(m_top.size()) < clip.width()) {
        m_top.resize(size_t(clip.width()));
        m_bottom.resize(size_t(clip.width()));
    }
}

bool CoverageRaster::draw(QPainter* painter, const LineEnvelope& envelope, double dx, double dy,
                          const QRect& clip, QRgb color) {
    begin(clip);
    if (clip.isEmpty())
        return true;
    QImage& scratch = Scratch(clip.size());
    const auto& samples = envelope.samples();
    const auto& runs = envelope.runs();
    if (runs.empty())
        return true;
    const double top = clip.top();
    const double bottom = double(clip.bottom()) + 1.0;
    auto* bits = scratch.bits();
    const qsizetype stride = scratch.bytesPerLine();

    size_t run = 0;
    int cursor = runs[0].first;
    const int firstColumn =
        std::max(clip.left(), int(std::floor(samples[size_t(runs.front().first)].x + dx)));
    const int lastColumn =
        std::min(clip.right(), int(std::floor(samples[size_t(runs.back().second - 1)].x + dx)));
    // The pixel for each coverage, and per row the coverage the column's spans add up to.
    QRgb shades[256];
    for (uint a = 0; a < 256; ++a)
        shades[a] = Scaled(color, a);
    const int rows = clip.height();
    m_coverage.assign(size_t(rows) + 1, 0.0f);
    m_steps.assign(size_t(rows) + 1, 0.0f);
    float* coverage = m_coverage.data();
    float* steps = m_steps.data();
    constexpr float kScale = 255.0f / kSubsamples;
    int events[3 * kSubsamples];
    for (int column = firstColumn; column <= lastColumn; ++column) {
        int eventCount = 0;
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
            // This sample's share of its end rows, and the whole rows between them as a
            // step up and down, so only these rows need looking at.
            const int it = int(t);
            const int iz = std::min(int(z), rows - 1);
            events[eventCount++] = it;
            if (it == iz) {
                coverage[it] += float(z - t);
            } else {
                coverage[it] += float(it + 1 - t);
                steps[it + 1] += 1.0f;
                steps[iz] -= 1.0f;
                coverage[iz] += float(std::min(z, double(rows)) - iz);
                events[eventCount++] = it + 1;
                events[eventCount++] = iz;
            }
        }
        if (eventCount == 0)
            continue;
        for (int i = 1; i < eventCount; ++i) { // a handful, mostly in order already
            const int row = events[i];
            int j = i;
            for (; j > 0 && events[j - 1] > row; --j)
                events[j] = events[j - 1];
            events[j] = row;
        }
        const int x = column - clip.left();
        uchar* pixelColumn = bits + qsizetype(x) * qsizetype(sizeof(QRgb));
        int written = -1;
        int lastRow = 0;
        float whole = 0.0f;
        for (int i = 0; i < eventCount; ++i) {
            const int row = events[i];
            if (i > 0 && row == events[i - 1])
                continue;
            whole += steps[row];
            const int alpha = std::min(255, int((coverage[row] + whole) * kScale + 0.5f));
            coverage[row] = 0.0f;
            steps[row] = 0.0f;
            if (alpha > 0) {
                *reinterpret_cast<QRgb*>(pixelColumn + qsizetype(row) * stride) = shades[alpha];
                written = written < 0 ? row : written;
                lastRow = row + 1;
            }
            // Up to the next event every row is covered alike.
            int j = i + 1;
            while (j < eventCount && events[j] == row)
                ++j;
            const int next = j < eventCount ? events[j] : row + 1;
            const int inner = std::min(255, int(whole * kScale + 0.5f));
            if (inner <= 0 || next <= row + 1)
                continue;
            const QRgb shade = shades[inner];
            for (int r = row + 1; r < next; ++r)
                *reinterpret_cast<QRgb*>(pixelColumn + qsizetype(r) * stride) = shade;
            written = written < 0 ? row + 1 : written;
            lastRow = next;
        }
        if (written < 0)
            continue;
        m_top[size_t(x)] = written;
        m_bottom[size_t(x)] = lastRow;
        m_used.push_back(x);
    }
    gatherStrips();
    return finish(scratch, painter);
}

namespace {

// The scratch pixels a thin line lights, with the rows written per column for the strips.
class ThinCanvas {
  public:
    // bits: the clip's top left pixel.
    // top and bottom: per column, the rows lit; none when the pixels need no strips.
    ThinCanvas(uchar* bits, qsizetype stride, const QRect& clip, QRgb color, int* top, int* bottom)
        : m_bits(bits), m_stride(stride), m_width(clip.width()), m_height(clip.height()),
          m_top(top), m_bottom(bottom), m_mark(top != nullptr) {
        for (uint a = 0; a < 256; ++a)
            m_shades[a] = Scaled(color, a);
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
    QRgb m_shades[256];
    const uchar* m_flat = nullptr;
};

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

} // namespace

bool CoverageRaster::drawThin(QPainter* painter, const ThinPolyline& line, const QRect& clip,
                              QRgb color, QImage* target) {
    begin(clip);
    if (clip.isEmpty() || line.points.empty())
        return true;
    QImage& scratch = target ? *target : Scratch(clip.size());
    // The target is being painted on, so its pixels are its painter's own: no detaching.
    uchar* bits = const_cast<uchar*>(scratch.constBits());
    if (target)
        bits += qsizetype(clip.top()) * scratch.bytesPerLine() +
                qsizetype(clip.left()) * qsizetype(sizeof(QRgb));
    ThinCanvas canvas(bits, scratch.bytesPerLine(), clip, color, target ? nullptr : m_top.data(),
                      target ? nullptr : m_bottom.data());
    if (line.spacing != m_flatSpacing) {
        FlatCover(line.spacing, m_flat);
        m_flatSpacing = line.spacing;
    }
    canvas.setFlat(m_flat);
    const double dx = clip.left();
    const double dy = clip.top();
    int start = 0;
    for (int end : line.runEnds) {
        const QPointF* p = line.points.data();
        if (end - start == 1)
            canvas.dot(p[start].x() - dx, p[start].y() - dy);
        for (int k = start; k + 1 < end; ++k)
            canvas.segment(p[k].x() - dx, p[k].y() - dy, p[k + 1].x() - dx, p[k + 1].y() - dy);
        start = end;
    }
    if (target)
        return false;
    for (int x = 0; x < clip.width(); ++x)
        if (m_top[size_t(x)] < m_bottom[size_t(x)])
            m_used.push_back(x);
    gatherStrips();
    return finish(scratch, painter);
}

void CoverageRaster::gatherStrips() {
    // Greedy: a column joins the current strip while that costs fewer clear pixels than
    // another draw would.
    QRect strip;
    for (int x : m_used) {
        const int t = m_top[size_t(x)];
        const int b = m_bottom[size_t(x)];
        if (!strip.isNull()) {
            const int top = std::min(strip.top(), t);
            const int bottom = std::max(strip.bottom() + 1, b);
            const long long joined = (long long)(x - strip.left() + 1) * (bottom - top);
            const long long apart =
                (long long)strip.width() * strip.height() + (long long)(b - t) + kDrawCost;
            if (joined <= apart) {
                strip = QRect(strip.left(), top, x - strip.left() + 1, bottom - top);
                continue;
            }
            m_strips.push_back(strip);
        }
        strip = QRect(x, t, 1, b - t);
    }
    if (!strip.isNull())
        m_strips.push_back(strip);
}

void CoverageRaster::paintKept(QPainter* painter) const {
    for (size_t i = 0; i < m_strips.size(); ++i) {
        const QRect& s = m_strips[i];
        const QImage strip(reinterpret_cast<const uchar*>(m_pixels.data() + m_offsets[i]),
                           s.width(), s.height(), qsizetype(s.width()) * qsizetype(sizeof(QRgb)),
                           QImage::Format_ARGB32_Premultiplied);
        painter->drawImage(s.topLeft() + m_area.topLeft(), strip);
    }
}
