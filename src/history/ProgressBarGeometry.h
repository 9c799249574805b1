#pragma once

#include <QColor>
#include <QList>
#include <QPoint>
#include <QRect>
#include <QString>

// The measurements of the gradient progress bar, apart from any painting so that they
// can be checked directly. Lengths run along the bar: from the left end of a horizontal
// bar, from the bottom of a vertical one.
namespace ProgressBarGeometry {

struct Block {
    QRect rect;
    int colourOffset; // along the bar, for the gradient styles
};

// The control shrunk by 2 on each side when it has a bevel.
QRect barArea(const QRect& control, bool bevel);
int barLength(const QRect& bar, bool horizontal);
// Never negative nor longer than the bar; an empty range fills all above Min, nothing else.
int filledLength(int min, int max, int position, int length);
QRect filledRect(const QRect& bar, bool horizontal, int filled);
// truncate(2 * thickness / 3) + 2, the thickness being the bar's height (horizontal) or width.
int blockPitch(const QRect& bar, bool horizontal);
// The whole blocks whose closing boundary lies strictly inside the filled part, and with
// final set one more block from the last pitch's end to the far end of the bar.
QList<Block> blocks(const QRect& bar, bool horizontal, int filled, bool final);
// Top-left corners of the glyph copies (to be clipped to the bar).
QList<QPoint> glyphTiles(const QRect& bar, bool horizontal, int filled, QSize glyph, bool final);
QColor gradientColor(const QColor& begin, const QColor& end, int offset, int span);
// The part of the control that changes when the filled part's end moves from one length
// to another, widened by 2 and by extra (a block pitch or glyph size) on each side.
QRect changedStrip(const QRect& control, const QRect& bar, bool horizontal, int from, int to,
                   int extra);
QString text(int min, int max, int position, bool percent);

} // namespace ProgressBarGeometry
