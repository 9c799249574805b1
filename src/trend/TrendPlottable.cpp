#include "TrendPlottable.h"

#include "ValueExtent.h"

#include <algorithm>
#include <cmath>

TrendPlottable::TrendPlottable(QCPAxis* keyAxis, QCPAxis* valueAxis)
    : QCPAbstractPlottable(keyAxis, valueAxis) {}

void TrendPlottable::setColumns(std::vector<TrendColumn> columns) {
    m_columns = std::move(columns);
}

const TrendColumn* TrendPlottable::columnAt(double key) const {
    if (m_columns.empty() || !keyAxis())
        return nullptr;
    const double x = keyAxis()->coordToPixel(key);
    const TrendColumn* best = nullptr;
    double distance = 1.5;
    for (const TrendColumn& c : m_columns) {
        const double d = std::abs(keyAxis()->coordToPixel(keyOf(c)) - x);
        if (d < distance) {
            distance = d;
            best = &c;
        }
    }
    return best;
}

double TrendPlottable::selectTest(const QPointF&, bool, QVariant*) const {
    return -1;
}

QCPRange TrendPlottable::getKeyRange(bool& foundRange, QCP::SignDomain) const {
    foundRange = !m_columns.empty();
    if (!foundRange)
        return {};
    return {double(m_columns.front().firstSecond), double(m_columns.back().lastSecond)};
}

QCPRange TrendPlottable::getValueRange(bool& foundRange, QCP::SignDomain, const QCPRange&) const {
    ValueExtent extent;
    for (const TrendColumn& c : m_columns) {
        extent.add(c.min);
        extent.add(c.max);
    }
    foundRange = !extent.empty();
    return foundRange ? QCPRange(extent.min, extent.max) : QCPRange(0, 0);
}

void TrendPlottable::draw(QCPPainter* painter) {
    QCPAxis* key = keyAxis();
    QCPAxis* value = valueAxis();
    if (!key || !value || m_columns.empty())
        return;
    painter->setPen(pen());
    painter->setBrush(Qt::NoBrush);
    applyDefaultAntialiasingHint(painter);
    QPolygonF run;
    const auto flush = [&] {
        if (run.size() == 1) // a lone second still shows
            run.append(run.front() + QPointF(0.5, 0));
        if (!run.isEmpty())
            painter->drawPolyline(run);
        run.clear();
    };
    const TrendColumn* previous = nullptr;
    for (const TrendColumn& c : m_columns) {
        if (previous && c.firstSecond - previous->lastSecond > 1)
            flush();
        const double x = key->coordToPixel(keyOf(c));
        run.append(QPointF(x, value->coordToPixel(c.first)));
        if (c.min != c.max) {
            // The extremes in the order that keeps the span from doubling back.
            const bool upFirst = std::abs(c.first - c.min) <= std::abs(c.first - c.max);
            run.append(QPointF(x, value->coordToPixel(upFirst ? c.min : c.max)));
            run.append(QPointF(x, value->coordToPixel(upFirst ? c.max : c.min)));
        }
        if (c.last != c.first || c.min != c.max)
            run.append(QPointF(x, value->coordToPixel(c.last)));
        previous = &c;
    }
    flush();
}

void TrendPlottable::drawLegendIcon(QCPPainter* painter, const QRectF& rect) const {
    painter->setPen(pen());
    painter->drawLine(QLineF(rect.left(), rect.center().y(), rect.right(), rect.center().y()));
}
