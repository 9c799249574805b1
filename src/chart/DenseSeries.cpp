#include "DenseSeries.h"

#include <algorithm>
#include <cmath>

DenseSeries::DenseSeries(QCPAxis* keyAxis, QCPAxis* valueAxis)
    : QCPAbstractPlottable(keyAxis, valueAxis) {}

bool DenseSeries::largestValue(float& largest) const {
    const ValueExtent e = m_store.extent(m_store.firstRepresented(), m_store.count());
    if (e.empty())
        return false;
    largest = e.max;
    return true;
}

double DenseSeries::selectTest(const QPointF&, bool, QVariant*) const {
    return -1.0;
}

QCPRange DenseSeries::getKeyRange(bool& foundRange, QCP::SignDomain inSignDomain) const {
    const double last = double(m_store.count()) - 1.0;
    double lower = double(m_store.firstRepresented());
    if (inSignDomain == QCP::sdPositive)
        lower = std::max(lower, 1.0);
    foundRange = m_store.count() > 0 && inSignDomain != QCP::sdNegative && last >= lower;
    return foundRange ? QCPRange(lower, last) : QCPRange();
}

QCPRange DenseSeries::getValueRange(bool& foundRange, QCP::SignDomain inSignDomain,
                                    const QCPRange& inKeyRange) const {
    long long begin = m_store.firstRepresented();
    long long end = m_store.count();
    if (inKeyRange != QCPRange()) {
        begin = (long long)std::clamp(std::ceil(inKeyRange.lower), double(begin), double(end));
        end = (long long)std::clamp(std::floor(inKeyRange.upper) + 1.0, double(begin), double(end));
    }
    const ValueExtent e = m_store.extent(begin, end);
    foundRange = !e.empty() && !(inSignDomain == QCP::sdPositive && e.max <= 0.0f) &&
                 !(inSignDomain == QCP::sdNegative && e.min >= 0.0f);
    if (!foundRange)
        return QCPRange();
    // The extremes only: a sign domain clips them rather than searching for the nearest value.
    double lo = e.min;
    double hi = e.max;
    if (inSignDomain == QCP::sdPositive)
        lo = std::max(lo, double(std::numeric_limits<float>::min()));
    if (inSignDomain == QCP::sdNegative)
        hi = std::min(hi, -double(std::numeric_limits<float>::min()));
    return QCPRange(lo, hi);
}

namespace {

// The image the painter paints on, when pixels can go straight into it: the painter maps
// one to one onto it and blends plainly.
QImage* DirectTarget(QPainter* painter) {
    QPaintDevice* device = painter->device();
    if (!device || device->devType() != QInternal::Image)
        return nullptr;
    auto* image = static_cast<QImage*>(device);
    const bool plain = image->format() == QImage::Format_ARGB32_Premultiplied &&
                       painter->deviceTransform().type() == QTransform::TxNone &&
                       painter->opacity() == 1.0 &&
                       painter->compositionMode() == QPainter::CompositionMode_SourceOver;
    return plain ? image : nullptr;
}

} // namespace

void DenseSeries::draw(QCPPainter* painter) {
    QCPAxis* keys = mKeyAxis.data();
    QCPAxis* values = mValueAxis.data();
    if (!keys || !values || m_store.count() == 0 || mPen.style() == Qt::NoPen)
        return;
    const QRect area = keys->axisRect()->rect();
    const QCPRange range = keys->range();
    const double oversampling = std::clamp(m_oversampling, 1.0, 16.0);
    // Both axes are linear, so two probes give the whole mapping.
    LineEnvelope::Mapping map;
    map.x0 = keys->coordToPixel(0.0);
    map.xStep = keys->coordToPixel(1.0) - map.x0;
    map.y0 = values->coordToPixel(0.0);
    map.yStep = values->coordToPixel(1.0) - map.y0;
    const QColor color = mPen.color();
    bool raster = oversampling == 1.0 && painter->paintEngine() &&
                  painter->paintEngine()->type() == QPaintEngine::Raster;
    // Whole device pixels from here on; the antialiased painter's half-pixel shift is added
    // to the outline instead.
    if (raster)
        painter->setAntialiasing(false);
    // On a raster device the series is drawn in its pixels, also where the painter scales
    // (a display scaled by the system): one column a device pixel, the pen as wide there.
    const QTransform device = raster ? painter->deviceTransform() : QTransform();
    raster = raster && device.type() <= QTransform::TxScale && device.m11() == device.m22() &&
             device.m11() > 0.0;
    QRect clip = area;
    double xMin = range.lower;
    double xMax = range.upper;
    int columns = std::max(1, int(std::lround(area.width() * oversampling)));
    double penWidth = mPen.widthF();
    QRectF box =
        QRectF(area).adjusted(-penWidth - 2.0, -penWidth - 2.0, penWidth + 2.0, penWidth + 2.0);
    double gridOrigin = area.left() - 0.5 / oversampling;
    if (raster) {
        if (painter->hasClipping())
            clip &= painter->clipBoundingRect().toAlignedRect();
        const double scale = device.m11();
        // Device positions with pixel centres at whole numbers, as the logical ones are
        // once the half-pixel shift is applied.
        const auto x = [&](double v) { return (v + 0.5) * scale + device.dx() - 0.5; };
        const auto y = [&](double v) { return (v + 0.5) * scale + device.dy() - 0.5; };
        const int left = int(std::lround(area.left() * scale + device.dx()));
        const int right = int(std::lround((area.right() + 1) * scale + device.dx()));
        columns = std::max(1, right - left);
        // The columns' edges, back in the axis' coordinates.
        xMin = keys->pixelToCoord((left - device.dx()) / scale - 0.5);
        xMax = keys->pixelToCoord((right - device.dx()) / scale - 0.5);
        if (scale != 1.0 || device.dx() != 0.0 || device.dy() != 0.0) {
            map = {x(map.x0), map.xStep * scale, y(map.y0), map.yStep * scale};
            clip = device.mapRect(QRectF(clip)).toAlignedRect();
            box = device.mapRect(box);
            penWidth *= scale;
        }
        gridOrigin = left - 0.5;
    } else {
        // Columns centred on the positions the axis gives whole pixels, so a column is a
        // pixel of the device once the antialiased painter's half-pixel shift is applied.
        const double half = 0.5 * range.size() / columns;
        xMin -= half;
        xMax -= half;
    }

    // The picture only depends on these, so while none changes (a replot for another
    // series, an expose) the last one is blended again as it is.
    const DrawnKey key{m_store.revision(), xMin,     xMax,           map.x0, map.xStep, map.y0,
                       map.yStep,          penWidth, color.rgba64(), clip,   columns};
    // Drawing in device pixels: the painter maps them one to one until restored.
    struct Unscaled {
        QPainter* painter;
        explicit Unscaled(QPainter* p, const QTransform& device) : painter(p) {
            if (!painter)
                return;
            painter->save();
            painter->setWorldTransform(device.inverted() * painter->worldTransform());
        }
        ~Unscaled() {
            if (painter)
                painter->restore();
        }
    } unscaled(raster && !device.isIdentity() ? painter : nullptr, device);
    const bool thin = raster && penWidth <= 1.0;
    QImage* target = thin ? DirectTarget(painter) : nullptr;
    if (target)
        clip &= target->rect();
    if (raster && !target && m_drawn && key == *m_drawn) {
        m_raster.paintKept(painter);
        return;
    }
    m_drawn.reset();

    const auto points = [this](int first, int last) { return m_store.held(first, last); };
    if (thin) {
        // The toolkit strokes pens this thin as a lighter line than their outline gives.
        // Few enough points, with their neighbours outside, are their own polyline.
        const double first = std::max(std::ceil(xMin) - 1.0, double(m_store.firstHeld()));
        const double last = std::min(std::floor(xMax) + 1.0, double(m_store.count() - 1));
        const std::span<const float> held = first <= last && last - first < 2.0 * columns
                                                ? m_store.held((long long)first, (long long)last)
                                                : std::span<const float>();
        if (!held.empty()) {
            m_thin.build(held, (long long)first, map, box);
        } else {
            m_store.reduce(xMin, xMax, columns, m_columns);
            m_thin.build(m_columns, map, box, points);
        }
        if (m_raster.drawThin(painter, m_thin, clip, qPremultiply(color.rgba()), target))
            m_drawn = key;
        return;
    }
    m_store.reduce(xMin, xMax, columns, m_columns);
    if (m_columns.empty())
        return;

    m_envelope.build(m_columns, map, penWidth, raster ? 1.0 : 1.0 / oversampling, gridOrigin, box,
                     points);
    if (m_envelope.runs().empty())
        return;

    painter->setPen(Qt::NoPen);
    if (raster) {
        // A mostly level outline is blended straight into the layer's image, a row at a
        // time, which costs less than drawing strips of it. Elsewhere the strips cost less:
        // blending column by column into the layer was slower with many series.
        QImage* direct = m_envelope.levelShare() >= 0.5 ? DirectTarget(painter) : nullptr;
        if (direct)
            clip &= direct->rect();
        if (m_raster.draw(painter, m_envelope, 0.5, 0.5, clip, qPremultiply(color.rgba()), direct))
            m_drawn = key;
        return;
    }

    // Elsewhere (a printer's picture) the outline goes out as polygons for the device to
    // fill antialiased at its own resolution.
    painter->setAntialiasing(true);
    painter->setBrush(color);
    const auto& samples = m_envelope.samples();
    for (const auto& [first, last] : m_envelope.runs()) {
        m_polygon.clear();
        for (int i = first; i < last; ++i)
            m_polygon.append(QPointF(samples[size_t(i)].x, samples[size_t(i)].top));
        for (int i = last - 1; i >= first; --i)
            m_polygon.append(QPointF(samples[size_t(i)].x, samples[size_t(i)].bottom));
        painter->drawPolygon(m_polygon);
    }
}

void DenseSeries::drawLegendIcon(QCPPainter* painter, const QRectF& rect) const {
    applyDefaultAntialiasingHint(painter);
    painter->setPen(mPen);
    const double y = rect.center().y();
    painter->drawLine(QLineF(rect.left(), y, rect.right(), y));
}
