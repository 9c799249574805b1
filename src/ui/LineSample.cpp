#include "LineSample.h"

#include <QPainter>

LineSample::LineSample(QWidget* parent) : QWidget(parent), m_pen(Qt::black, 2) {
    m_pen.setCapStyle(Qt::FlatCap);
    resize(sizeHint());
}

void LineSample::setPen(int width, const QColor& color) {
    m_pen.setWidth(width);
    m_pen.setColor(color);
    update();
}

void LineSample::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(m_pen);
    const int y = height() / 2;
    painter.drawLine(0, y, width(), y);
}
