#pragma once

#include <QRgb>

// A premultiplied colour scaled by alpha/255, as Qt's own blending does.
inline QRgb Scaled(QRgb c, uint alpha) {
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
