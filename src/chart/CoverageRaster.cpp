#include "CoverageRaster.h"

#include "PixelBlend.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

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

// The pixel the clip's top left corner is drawn into: in the painter's own image (a target)
// at the clip, in the scratch at its origin. A target is being painted on, so its pixels
// are its painter's own: no detaching.
uchar* ClipPixels(QImage& image, const QRect& clip, bool target) {
    uchar* bits = const_cast<uchar*>(image.constBits());
    if (target)
        bits += qsizetype(clip.top()) * image.bytesPerLine() +
                qsizetype(clip.left()) * qsizetype(sizeof(QRgb));
    return bits;
}

} // namespace

const QRgb* CoverageRaster::shadesOf(QRgb color) {
    if (color != m_shadeColor) {
        for (uint a = 0; a < 256; ++a)
            m_shadeTable[a] = Scaled(color, a);
        m_shadeColor = color;
    }
    return m_shadeTable;
}

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
    uchar* bits = scratch.bits();
    const qsizetype stride = scratch.bytesPerLine();
    if (keep) {
        for (const QRect& s : m_strips) {
            m_offsets.push_back(m_pixels.size());
            for (int y = s.top(); y <= s.bottom(); ++y) {
                const QRgb* row = reinterpret_cast<const QRgb*>(bits + y * stride) + s.left();
                m_pixels.insert(m_pixels.end(), row, row + s.width());
            }
        }
    }
    // Back to clear: only the rows each column wrote, fewer than the strips hold around them.
    for (int x : m_used) {
        uchar* p =
            bits + qsizetype(m_top[size_t(x)]) * stride + qsizetype(x) * qsizetype(sizeof(QRgb));
        for (int y = m_top[size_t(x)]; y < m_bottom[size_t(x)]; ++y, p += stride)
            *reinterpret_cast<QRgb*>(p) = 0;
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
                          const QRect& clip, QRgb color, QImage* target) {
    begin(clip);
    if (clip.isEmpty())
        return true;
    const auto& samples = envelope.samples();
    const auto& runs = envelope.runs();
    if (runs.empty())
        return true;
    QImage& scratch = target ? *target : Scratch(clip.size());
    uchar* bits = ClipPixels(scratch, clip, target != nullptr);
    const qsizetype stride = scratch.bytesPerLine();
    const double top = clip.top();
    const double bottom = double(clip.bottom()) + 1.0;

    size_t run = 0;
    int cursor = runs[0].first;
    const int firstColumn =
        std::max(clip.left(), int(std::floor(samples[size_t(runs.front().first)].x + dx)));
    const int lastColumn =
        std::min(clip.right(), int(std::floor(samples[size_t(runs.back().second - 1)].x + dx)));
    // The pixel for each coverage, and per row the coverage the column's spans add up to.
    const QRgb* shades = shadesOf(color);
    const int rows = clip.height();
    // Zero between draws as between columns: each column clears the rows it added to.
    if (m_coverage.size() < size_t(rows) + 1) {
        m_coverage.resize(size_t(rows) + 1, 0.0f);
        m_steps.resize(size_t(rows) + 1, 0.0f);
    }
    m_shades.resize(size_t(rows));
    float* coverage = m_coverage.data();
    float* steps = m_steps.data();
    QRgb* columnShades = m_shades.data();
    constexpr float kScale = 255.0f / kSubsamples;
    int events[3 * kSubsamples];
    for (int column = firstColumn; column <= lastColumn; ++column) {
        int eventCount = 0;
        int pair = -1; // the sample all subsamples fall after, while they share one
        for (int k = 0; k < kSubsamples; ++k) {
            const double x = column + (k + 0.5) / kSubsamples - dx;
            while (run < runs.size() && samples[size_t(runs[run].second - 1)].x < x) {
                if (++run < runs.size())
                    cursor = runs[run].first;
            }
            if (run == runs.size())
                break;
            const auto [first, last] = runs[run];
            if (x < samples[size_t(first)].x) {
                pair = -2;
                continue; // in a gap
            }
            while (cursor + 1 < last && samples[size_t(cursor + 1)].x < x)
                ++cursor;
            pair = (k == 0 || pair == cursor) && cursor + 1 < last ? cursor : -2;
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
        // Where the outline runs level between samples, the columns up to the last of them
        // are this one again: a level line costs a row fill, not a column each.
        int through = x;
        if (pair >= 0) {
            const auto& a = samples[size_t(pair)];
            // Level as far as the samples after it keep a's span, within the run.
            size_t level = size_t(pair);
            const size_t runEnd = size_t(runs[run].second);
            while (level + 1 < runEnd && samples[level + 1].top == a.top &&
                   samples[level + 1].bottom == a.bottom)
                ++level;
            if (level > size_t(pair))
                through =
                    std::min(clip.right(), int(std::floor(samples[level].x + dx -
                                                          (kSubsamples - 0.5) / kSubsamples))) -
                    clip.left();
            through = std::max(through, x);
        }
        // A column that stands for no others goes straight to its pixels; one that does is
        // worked out in per-row shades first, then copied along each row.
        const bool alone = through == x;
        uchar* const pixelColumn = bits + qsizetype(x) * qsizetype(sizeof(QRgb));
        const auto put = [&](int from, int to, QRgb shade) {
            uchar* at = pixelColumn + qsizetype(from) * stride;
            for (int row = from; row < to; ++row, at += stride) {
                auto* p = reinterpret_cast<QRgb*>(at);
                *p = target ? Over(shade, *p) : shade;
            }
        };
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
            // Shades are set even when clear: the rows between the first and last written go
            // out whole.
            if (!alone)
                columnShades[row] = shades[alpha];
            else if (alpha > 0)
                put(row, row + 1, shades[alpha]);
            if (alpha > 0) {
                written = written < 0 ? row : written;
                lastRow = row + 1;
            }
            // Up to the next event every row is covered alike.
            int j = i + 1;
            while (j < eventCount && events[j] == row)
                ++j;
            const int next = j < eventCount ? events[j] : row + 1;
            const int inner = std::min(255, int(whole * kScale + 0.5f));
            if (next <= row + 1)
                continue;
            if (!alone)
                std::fill(columnShades + row + 1, columnShades + next, shades[inner]);
            if (inner <= 0)
                continue;
            if (alone)
                put(row + 1, next, shades[inner]);
            written = written < 0 ? row + 1 : written;
            lastRow = next;
        }
        if (written < 0)
            continue;
        if (!alone) {
            uchar* rowStart = pixelColumn + qsizetype(written) * stride;
            for (int row = written; row < lastRow; ++row, rowStart += stride) {
                auto* p = reinterpret_cast<QRgb*>(rowStart);
                const QRgb shade = columnShades[row];
                if (target) {
                    for (int c = x; c <= through; ++c, ++p)
                        *p = Over(shade, *p);
                } else {
                    std::fill(p, p + (through - x + 1), shade);
                }
            }
        }
        if (!target) {
            for (int c = x; c <= through; ++c) {
                m_top[size_t(c)] = written;
                m_bottom[size_t(c)] = lastRow;
                m_used.push_back(c);
            }
        }
        column += through - x;
    }
    if (target)
        return false;
    gatherStrips();
    return finish(scratch, painter);
}

bool CoverageRaster::drawThin(QPainter* painter, const ThinPolyline& line, const QRect& clip,
                              QRgb color, QImage* target) {
    begin(clip);
    if (clip.isEmpty() || line.points.empty())
        return true;
    QImage& scratch = target ? *target : Scratch(clip.size());
    uchar* bits = ClipPixels(scratch, clip, target != nullptr);
    if (line.spacing != m_flatSpacing) {
        FlatCover(line.spacing, m_flat);
        m_flatSpacing = line.spacing;
    }
    StrokeThin(line, bits, scratch.bytesPerLine(), clip, shadesOf(color), m_flat,
               target ? nullptr : m_top.data(), target ? nullptr : m_bottom.data());
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
