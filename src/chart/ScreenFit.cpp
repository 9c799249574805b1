#include "ScreenFit.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace {

// One dimension: the position and length of the fitted frame along it.
std::pair<int, int> FitSpan(int start, int length, int areaStart, int areaLength, int minimum) {
    const int fitted = std::max(std::min(length, areaLength), std::min(minimum, length));
    if (fitted > areaLength)
        return {areaStart, fitted};
    return {std::clamp(start, areaStart, areaStart + areaLength - fitted), fitted};
}

// A title bar of about 30 and borders of about 8 logical pixels, what the usual desktops
// draw, until the window system reports the real ones.
constexpr QMargins kEstimatedMargins(8, 31, 8, 8);

// The screen a window opens on unfitted: its parent's, or the primary one.
QScreen* OpeningScreen(const QWidget* window) {
    if (const QWidget* parent = window->parentWidget())
        if (QScreen* screen = parent->screen())
            return screen;
    return QGuiApplication::primaryScreen();
}

} // namespace

QRect FitFrameToArea(const QRect& designedFrame, const QRect& availableArea,
                     const QSize& minimumFrame) {
    if (availableArea.isEmpty() || availableArea.contains(designedFrame))
        return designedFrame;
    const QSize minimum = minimumFrame.isValid() ? minimumFrame : QSize(0, 0);
    const auto [x, width] = FitSpan(designedFrame.x(), designedFrame.width(), availableArea.x(),
                                    availableArea.width(), minimum.width());
    const auto [y, height] = FitSpan(designedFrame.y(), designedFrame.height(), availableArea.y(),
                                     availableArea.height(), minimum.height());
    return QRect(x, y, width, height);
}

QMargins WindowFrameMargins(const QWidget* window) {
    const QRect frame = window->frameGeometry();
    const QRect client = window->geometry();
    if (window->isVisible() && frame != client)
        return QMargins(client.left() - frame.left(), client.top() - frame.top(),
                        frame.right() - client.right(), frame.bottom() - client.bottom());
    if (window->windowFlags().testFlag(Qt::FramelessWindowHint))
        return QMargins();
    return kEstimatedMargins;
}

QScreen* ScreenForFrame(const QWidget* window, const QRect& frame) {
    if (QScreen* under = QGuiApplication::screenAt(frame.center()))
        return under;
    return OpeningScreen(window);
}

QRect FitWindowToScreen(QWidget* window, const QRect& designedFrame) {
    const QMargins margins = WindowFrameMargins(window);
    const QSize decoration(margins.left() + margins.right(), margins.top() + margins.bottom());
    const QScreen* screen = ScreenForFrame(window, designedFrame);
    const QRect area = screen ? screen->availableGeometry() : QRect();
    const QRect fitted = FitFrameToArea(designedFrame, area, window->minimumSize() + decoration);
    const QSize client = (fitted.size() - decoration)
                             .expandedTo(window->minimumSize())
                             .boundedTo(window->maximumSize());
    window->resize(client);
    window->move(fitted.topLeft());
    return QRect(fitted.topLeft(), client + decoration);
}

QRect CentreWindowOnScreen(QWidget* window) {
    const QMargins margins = WindowFrameMargins(window);
    QRect frame(QPoint(0, 0), window->size().grownBy(margins));
    if (const QScreen* screen = OpeningScreen(window))
        frame.moveCenter(screen->availableGeometry().center());
    return FitWindowToScreen(window, frame);
}
