#include "TgrdProgressBar.h"

#include "ProgressBarGeometry.h"

#include <QBitmap>
#include <QPaintEvent>
#include <QPainter>

namespace G = ProgressBarGeometry;

TgrdProgressBar::TgrdProgressBar(QWidget* parent) : QWidget(parent) {
    resize(150, 16);
    // Every pixel is painted from the off-screen picture.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TgrdProgressBar::setMin(int value) {
    if (value > m_max || value == m_min)
        return;
    m_min = value;
    update();
}

void TgrdProgressBar::setMax(int value) {
    if (value < m_min || value == m_max)
        return;
    m_max = value;
    update();
}

void TgrdProgressBar::setPosition(int value) {
    if (value == m_position)
        return;
    const int oldFilled = filledFor(m_position);
    const int newFilled = filledFor(value);
    const bool oldFinal = pictureFinal(m_position);
    const bool newFinal = pictureFinal(value);
    const QString oldText = textFor(m_position);
    const QString newText = textFor(value);
    m_position = value;
    // Many positions map to one pixel; those changes must cost nothing.
    if (oldFilled == newFilled && oldFinal == newFinal && oldText == newText)
        return;
    QRegion changed;
    if (oldFilled != newFilled || oldFinal != newFinal) {
        int extra = 0;
        if (m_style == sRectangles || m_style == sExRectangles)
            extra = G::blockPitch(bar(), horizontal());
        else if (m_style == sPictures)
            extra = horizontal() ? m_glyph.width() : m_glyph.height();
        changed += G::changedStrip(rect(), bar(), horizontal(), oldFilled, newFilled, extra);
    }
    if (oldText != newText)
        changed += textRect();
    repaint(changed);
}

void TgrdProgressBar::setStyle(TgrdPBStyle value) {
    if (value == m_style)
        return;
    m_style = value;
    update();
}

void TgrdProgressBar::setOrientation(TgrdPBOrientation value) {
    if (value == m_orientation)
        return;
    m_orientation = value;
    update();
}

void TgrdProgressBar::setBeginColor(const QColor& value) {
    if (value == m_beginColor)
        return;
    m_beginColor = value;
    if (m_style != sPictures)
        update();
}

void TgrdProgressBar::setEndColor(const QColor& value) {
    if (value == m_endColor)
        return;
    m_endColor = value;
    if (m_style == sExSolid || m_style == sExRectangles)
        update();
}

void TgrdProgressBar::setBevelOuter(TgrdBevelOuter value) {
    if (value == m_bevelOuter)
        return;
    m_bevelOuter = value;
    update();
}

void TgrdProgressBar::setBarBevelOuter(TgrdBevelOuter value) {
    if (value == m_barBevelOuter)
        return;
    m_barBevelOuter = value;
    update();
}

void TgrdProgressBar::setShowText(bool value) {
    if (value == m_showText)
        return;
    m_showText = value;
    update();
}

void TgrdProgressBar::setShowTextStyle(TgrdShowTextStyle value) {
    if (value == m_showTextStyle)
        return;
    m_showTextStyle = value;
    if (m_showText)
        update();
}

void TgrdProgressBar::setGlyph(const QPixmap& value) {
    m_glyph = value;
    prepareGlyph();
    if (!m_glyph.isNull()) {
        if (horizontal())
            resize(width(), m_glyph.height() + 4);
        else
            resize(m_glyph.width() + 4, height());
    }
    if (m_style == sPictures)
        update();
}

void TgrdProgressBar::setTransparentGlyph(bool value) {
    if (value == m_transparentGlyph)
        return;
    m_transparentGlyph = value;
    prepareGlyph();
    if (m_style == sPictures)
        update();
}

void TgrdProgressBar::prepareGlyph() {
    m_drawnGlyph = m_glyph;
    if (m_transparentGlyph && !m_glyph.isNull()) {
        // the colour of the bottom-left pixel marks what is transparent
        const QImage image = m_glyph.toImage();
        const QColor key = image.pixelColor(0, image.height() - 1);
        m_drawnGlyph.setMask(m_glyph.createMaskFromColor(key, Qt::MaskInColor));
    }
}

QRect TgrdProgressBar::bar() const {
    return G::barArea(rect(), m_bevelOuter != bvNone);
}

int TgrdProgressBar::filledFor(int position) const {
    return G::filledLength(m_min, m_max, position, G::barLength(bar(), horizontal()));
}

bool TgrdProgressBar::pictureFinal(int position) const {
    return m_style == sPictures && position == m_max && position != m_min;
}

QString TgrdProgressBar::textFor(int position) const {
    return m_showText ? G::text(m_min, m_max, position, m_showTextStyle == stsPercent) : QString();
}

QRect TgrdProgressBar::textRect() const {
    const QString widest =
        m_showTextStyle == stsPercent ? QStringLiteral("100 %") : QString::number(m_max);
    const QFontMetrics metrics(font());
    QSize size(metrics.horizontalAdvance(widest) + 4, metrics.height() + 2);
    if (!horizontal())
        size.transpose();
    QRect r(QPoint(0, 0), size);
    r.moveCenter(rect().center());
    return r.intersected(rect());
}

void TgrdProgressBar::paintEvent(QPaintEvent* event) {
    QPixmap picture(size() * devicePixelRatioF());
    picture.setDevicePixelRatio(devicePixelRatioF());
    {
        QPainter offscreen(&picture);
        paintPicture(offscreen);
    }
    QPainter painter(this);
    painter.setClipRegion(event->region());
    painter.drawPixmap(0, 0, picture);
}

void TgrdProgressBar::drawBevel(QPainter& painter, const QRect& r, TgrdBevelOuter bevel) const {
    if (bevel == bvNone || r.isEmpty())
        return;
    const QColor dark = palette().color(QPalette::Dark);
    const QColor light = palette().color(QPalette::Light);
    const QColor topLeft = bevel == bvLowered ? dark : light;
    const QColor bottomRight = bevel == bvLowered ? light : dark;
    painter.setPen(topLeft);
    painter.drawLine(r.topLeft(), r.topRight());
    painter.drawLine(r.topLeft(), r.bottomLeft());
    painter.setPen(bottomRight);
    painter.drawLine(r.bottomLeft(), r.bottomRight());
    painter.drawLine(r.topRight(), r.bottomRight());
}

void TgrdProgressBar::paintPicture(QPainter& painter) {
    painter.fillRect(rect(), palette().color(backgroundRole()));
    drawBevel(painter, rect(), m_bevelOuter);
    const QRect area = bar();
    const bool across = horizontal();
    const int length = G::barLength(area, across);
    const int filled = filledFor(m_position);
    if (m_position != m_min && filled > 0) {
        const QRect part = G::filledRect(area, across, filled);
        switch (m_style) {
        case sSolid:
            painter.fillRect(part, m_beginColor);
            drawBevel(painter, part, m_barBevelOuter);
            break;
        case sExSolid:
            for (int i = 0; i < filled; ++i) {
                painter.setPen(G::gradientColor(m_beginColor, m_endColor, i, length));
                if (across)
                    painter.drawLine(area.x() + i, area.top(), area.x() + i, area.bottom());
                else
                    painter.drawLine(area.left(), area.bottom() - i, area.right(),
                                     area.bottom() - i);
            }
            drawBevel(painter, part, m_barBevelOuter);
            break;
        case sRectangles:
        case sExRectangles:
            for (const G::Block& block : G::blocks(area, across, filled, m_position >= m_max)) {
                painter.fillRect(block.rect, m_style == sRectangles
                                                 ? m_beginColor
                                                 : G::gradientColor(m_beginColor, m_endColor,
                                                                    block.colourOffset, length));
                drawBevel(painter, block.rect, m_barBevelOuter);
            }
            break;
        case sPictures:
            if (!m_drawnGlyph.isNull()) {
                painter.save();
                painter.setClipRect(area);
                for (const QPoint& at :
                     G::glyphTiles(area, across, filled, m_glyph.size(), pictureFinal(m_position)))
                    painter.drawPixmap(at, m_drawnGlyph);
                painter.restore();
            }
            break;
        }
    }
    if (!m_showText)
        return;
    const QString shown = textFor(m_position);
    painter.setFont(font());
    painter.setPen(palette().color(QPalette::WindowText));
    if (across) {
        painter.drawText(rect(), Qt::AlignCenter, shown);
    } else {
        painter.save();
        painter.translate(rect().center());
        painter.rotate(270);
        QRect turned(0, 0, height(), width());
        turned.moveCenter(QPoint(0, 0));
        painter.drawText(turned, Qt::AlignCenter, shown);
        painter.restore();
    }
}
