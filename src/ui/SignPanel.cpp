#include "SignPanel.h"

#include <QMouseEvent>

SignPanel::SignPanel(QWidget* parent) : QLabel(QStringLiteral("+"), parent) {
    setFixedSize(25, 21);
    setAlignment(Qt::AlignCenter);
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    setLineWidth(1);
    setCursor(Qt::PointingHandCursor);
    QFont big = font();
    big.setPointSize(big.pointSize() + 5);
    big.setBold(true);
    setFont(big);
}

void SignPanel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
    QLabel::mouseReleaseEvent(event);
}
