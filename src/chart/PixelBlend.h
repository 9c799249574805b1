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
