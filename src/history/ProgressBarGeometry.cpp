#include "ProgressBarGeometry.h"

#include <QtMath>
#include <algorithm>

namespace ProgressBarGeometry {

QRect barArea(const QRect& control, bool bevel) {
    return bevel ? control.adjusted(2, 2, -2, -2) : control;
}

int barLength(const QRect& bar, bool horizontal) {
    return std::max(0, horizontal ? bar.width() : bar.height());
}

int filledLength(int min, int max, int position, int length) {
    if (position <= min || length <= 0)
        return 0;
    if (max <= min || position >= max)
        return length;
    // 64 bits: a position in the millions times a bar of hundreds of pixels overflows int
    return int(qint64(position - min) * length / (qint64(max) - min));
}

QRect filledRect(const QRect& bar, bool horizontal, int filled) {
    if (horizontal)
        return QRect(bar.x(), bar.y(), filled, bar.height());
    return QRect(bar.x(), bar.y() + bar.height() - filled, bar.width(), filled);
}

int blockPitch(const QRect& bar, bool horizontal) {
    return 2 * std::max(0, horizontal ? bar.height() : bar.width()) / 3 + 2;
}

QList<Block> blocks(const QRect& bar, bool horizontal, int filled, bool final) {
    QList<Block> result;
    const int pitch = blockPitch(bar, horizontal);
    const int length = barLength(bar, horizontal);
    const int bottom = bar.y() + bar.height() - 1; // vertical stacks start one pixel up
    int k = 1;
    for (; k * pitch < filled; ++k) {
        const int from = (k - 1) * pitch;
        const QRect r = horizontal ? QRect(bar.x() + from, bar.y(), pitch - 2, bar.height())
                                   : QRect(bar.x(), bottom - k * pitch + 2, bar.width(), pitch - 2);
        result.append({r, k * pitch});
    }
    if (final) {
        const int from = (k - 1) * pitch;
        const QRect r = horizontal ? QRect(bar.x() + from, bar.y(), length - from, bar.height())
                                   : QRect(bar.x(), bar.y(), bar.width(), bottom - from - bar.y());
        if (!r.isEmpty())
            result.append({r, from});
    }
    return result;
}

QList<QPoint> glyphTiles(const QRect& bar, bool horizontal, int filled, QSize glyph, bool final) {
    QList<QPoint> result;
    const int step = horizontal ? glyph.width() : glyph.height();
    if (step <= 0)
        return result;
    const int bottom = bar.y() + bar.height();
    int i = 0;
    for (; (i + 1) * step <= filled; ++i)
        result.append(horizontal ? QPoint(bar.x() + i * step, bar.y())
                                 : QPoint(bar.x(), bottom - (i + 1) * step));
    if (final)
        result.append(horizontal ? QPoint(bar.x() + i * step, bar.y())
                                 : QPoint(bar.x(), bottom - (i + 1) * step));
    return result;
}

QColor gradientColor(const QColor& begin, const QColor& end, int offset, int span) {
    if (span <= 0)
        return begin;
    auto channel = [&](int b, int e) {
        return std::clamp(int(std::trunc(double(offset) * (e - b) / span + b)), 0, 255);
    };
    return QColor(channel(begin.red(), end.red()), channel(begin.green(), end.green()),
                  channel(begin.blue(), end.blue()));
}

QRect changedStrip(const QRect& control, const QRect& bar, bool horizontal, int from, int to,
                   int extra) {
    const int low = std::min(from, to) - 2 - extra;
    const int high = std::max(from, to) + 2 + extra;
    QRect strip;
    if (horizontal) {
        strip = QRect(bar.x() + low, control.y(), high - low, control.height());
    } else {
        const int bottom = bar.y() + bar.height();
        strip = QRect(control.x(), bottom - high, control.width(), high - low);
    }
    return strip.intersected(control);
}

QString text(int min, int max, int position, bool percent) {
    if (!percent)
        return QString::number(position);
    qint64 value;
    if (max > min)
        value = qRound64(double(qint64(position) - min) * 100.0 / (double(max) - min));
    else
        value = position > min ? 100 : 0; // no fraction of an empty range
    return QString::number(value) + QStringLiteral(" %");
}

} // namespace ProgressBarGeometry
