#include "DenseSeries.h"

#include <algorithm>
#include <cmath>

namespace {

// Liang-Barsky: keeps the part of `line` inside `box`; false when nothing is left.
// The raster engine misbehaves on coordinates far outside the device.
bool ClipLine(QLineF& line, const QRectF& box) {
    double t0 = 0.0;
    double t1 = 1.0;
    const double dx = line.dx();
    const double dy = line.dy();
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {line.x1() - box.left(), box.right() - line.x1(), line.y1() - box.top(),
                         box.bottom() - line.y1()};
    for (int k = 0; k < 4; ++k) {
        if (p[k] == 0.0) {
            if (q[k] < 0.0)
                return false;
            continue;
        }
        const double r = q[k] / p[k];
        if (p[k] < 0.0)
            t0 = std::max(t0, r);
        else
            t1 = std::min(t1, r);
        if (t0 > t1)
            return false;
    }
    const QPointF a = line.p1();
    line = QLineF(a.x() + t0 * dx, a.y() + t0 * dy, a.x() + t1 * dx, a.y() + t1 * dy);
    return true;
}

} // namespace

DenseSeries::DenseSeries(QCPAxis* keyAxis, QCPAxis* valueAxis)
    : QCPAbstractPlottable(keyAxis, valueAxis) {}

void DenseSeries::append(float y) {
    if (m_largestKnown && std::isfinite(y) && (!m_hasLargest || y > m_largest)) {
        m_largest = y;
        m_hasLargest = true;
    }
    m_values.push_back(y);
}

void DenseSeries::setValue(int index, float y) {
    float& slot = m_values[size_t(index)];
    if (m_largestKnown) {
        if (std::isfinite(y) && (!m_hasLargest || y >= m_largest)) {
            m_largest = y;
            m_hasLargest = true;
        } else if (slot == m_largest) {
            m_largestKnown = false;
        }
    }
    slot = y;
}

void DenseSeries::clear() {
    m_values.clear();
    m_values.shrink_to_fit();
    m_largestKnown = true;
    m_hasLargest = false;
}

void DenseSeries::setValues(std::vector<float> values) {
    m_values = std::move(values);
    m_largestKnown = false;
}

bool DenseSeries::largestValue(float& largest) const {
    if (!m_largestKnown) {
        m_hasLargest = false;
        for (float v : m_values) {
            if (std::isfinite(v) && (!m_hasLargest || v > m_largest)) {
                m_largest = v;
                m_hasLargest = true;
            }
        }
        m_largestKnown = true;
    }
    if (m_hasLargest)
        largest = m_largest;
    return m_hasLargest;
}

double DenseSeries::selectTest(const QPointF&, bool, QVariant*) const {
    return -1.0;
}

QCPRange DenseSeries::getKeyRange(bool& foundRange, QCP::SignDomain inSignDomain) const {
    const double last = double(m_values.size()) - 1.0;
    double lower = 0.0;
    if (inSignDomain == QCP::sdPositive)
        lower = 1.0;
    foundRange = !m_values.empty() && inSignDomain != QCP::sdNegative && last >= lower;
    return foundRange ? QCPRange(lower, last) : QCPRange();
}

QCPRange DenseSeries::getValueRange(bool& foundRange, QCP::SignDomain inSignDomain,
                                    const QCPRange& inKeyRange) const {
    size_t begin = 0;
    size_t end = m_values.size();
    if (inKeyRange != QCPRange()) {
        begin = size_t(std::clamp(std::ceil(inKeyRange.lower), 0.0, double(end)));
        end = size_t(std::clamp(std::floor(inKeyRange.upper) + 1.0, double(begin), double(end)));
    }
    foundRange = false;
    double lo = 0.0;
    double hi = 0.0;
    for (size_t i = begin; i < end; ++i) {
        const double v = m_values[i];
        if (!std::isfinite(v) || (inSignDomain == QCP::sdPositive && v <= 0.0) ||
            (inSignDomain == QCP::sdNegative && v >= 0.0))
            continue;
        if (!foundRange) {
            lo = hi = v;
            foundRange = true;
        } else {
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
    }
    return QCPRange(lo, hi);
}

void DenseSeries::draw(QCPPainter* painter) {
    QCPAxis* keys = mKeyAxis.data();
    QCPAxis* values = mValueAxis.data();
    if (!keys || !values || m_values.empty() || mPen.style() == Qt::NoPen)
        return;
    const QRect area = keys->axisRect()->rect();
    const QCPRange range = keys->range();
    const double oversampling = std::clamp(m_oversampling, 1.0, 16.0);
    ReduceColumns(m_values, range.lower, range.upper, int(area.width() * oversampling), m_columns);
    if (m_columns.empty())
        return;

    // Both axes are linear, so two probes give the whole mapping.
    const double x0 = keys->coordToPixel(0.0);
    const double xStep = keys->coordToPixel(1.0) - x0;
    const double y0 = values->coordToPixel(0.0);
    const double yStep = values->coordToPixel(1.0) - y0;
    const double left = area.left() + 0.5 / oversampling;
    const double margin = mPen.widthF() + 2.0;
    const QRectF box = QRectF(area).adjusted(-margin, -margin, margin, margin);

    m_lines.clear();
    m_spans.clear();
    m_bars.clear();
    auto addLine = [&](double xa, double ya, double xb, double yb) {
        if (!std::isfinite(ya) || !std::isfinite(yb))
            return;
        QLineF line(xa, ya, xb, yb);
        if ((box.contains(line.p1()) && box.contains(line.p2())) || ClipLine(line, box))
            m_lines.push_back(line);
    };

    // More points than columns: each column becomes one upright bar from its minimum to
    // its maximum, stretched to the previous column's last value so neighbours join.
    // Bars are filled rectangles, far cheaper to rasterise than stroked segments, and
    // at one pixel apart they look the same as the joins they replace.
    const bool dense =
        size_t(m_columns.back().lastIndex - m_columns.front().firstIndex + 1) > m_columns.size() &&
        mPen.style() == Qt::SolidLine;
    const double penWidth = std::max(1.0, mPen.widthF());
    // On screen the bars sit on whole pixels; an enlarged printout needs the fine ones.
    const bool snap = oversampling == 1.0;
    const ColumnExtent* previous = nullptr;
    for (const ColumnExtent& c : m_columns) {
        if (!dense) {
            if (previous)
                addLine(x0 + xStep * previous->lastIndex, y0 + yStep * previous->last,
                        x0 + xStep * c.firstIndex, y0 + yStep * c.first);
            previous = &c;
            continue;
        }
        float lo = c.min;
        float hi = c.max;
        if (previous && c.column - previous->column == 1) {
            lo = std::min(lo, previous->last);
            hi = std::max(hi, previous->last);
        } else if (previous) {
            addLine(x0 + xStep * previous->lastIndex, y0 + yStep * previous->last,
                    x0 + xStep * c.firstIndex, y0 + yStep * c.first);
        }
        previous = &c;
        const double x = left + c.column / oversampling;
        if (!(lo <= hi) || x < box.left() || x > box.right())
            continue;
        double ya = y0 + yStep * lo;
        double yb = y0 + yStep * hi;
        if (ya > yb)
            std::swap(ya, yb);
        ya = std::max(ya - penWidth / 2, box.top());
        yb = std::min(yb + penWidth / 2, box.bottom());
        double xa = x - penWidth / 2;
        if (snap) {
            const int top = int(std::lround(ya));
            const int bottom = int(std::lround(yb));
            if (top < bottom)
                m_bars.emplace_back(int(std::lround(xa)), top, int(std::lround(penWidth)),
                                    bottom - top);
        } else if (ya < yb) {
            m_spans.emplace_back(xa, ya, penWidth, yb - ya);
        }
    }
    if (m_lines.empty() && m_spans.empty() && m_bars.empty())
        return;

    painter->setPen(Qt::NoPen);
    painter->setBrush(mPen.color());
    if (!m_bars.empty()) {
        // Whole-pixel rectangles take the raster engine's plain fill.
        painter->setAntialiasing(false);
        painter->drawRects(m_bars.data(), int(m_bars.size()));
    }
    if (!m_spans.empty()) {
        applyDefaultAntialiasingHint(painter);
        painter->drawRects(m_spans.data(), int(m_spans.size()));
    }
    if (!m_lines.empty()) {
        applyDefaultAntialiasingHint(painter);
        QPen pen = mPen;
        // Separate segments need round ends to meet cleanly at the points.
        if (pen.widthF() > 1.0)
            pen.setCapStyle(Qt::RoundCap);
        painter->setPen(pen);
        painter->setBrush(Qt::NoBrush);
        painter->drawLines(m_lines.data(), int(m_lines.size()));
    }
}

void DenseSeries::drawLegendIcon(QCPPainter* painter, const QRectF& rect) const {
    applyDefaultAntialiasingHint(painter);
    painter->setPen(mPen);
    const double y = rect.center().y();
    painter->drawLine(QLineF(rect.left(), y, rect.right(), y));
}
