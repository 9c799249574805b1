#pragma once

#include <QMargins>
#include <QRect>
#include <QSize>

class QScreen;
class QWidget;

// Fitting top-level windows and dialogs into the screen they open on.
//
// The windows have designed frames (position and size) made for a large desktop. On a small
// screen or at a high scale factor the designed frame may run past the screen's available
// area (the screen less task bars and docks); then the window is moved inside and, where
// that is not enough, shrunk, so that its title bar and its controls stay reachable.
//
// All rectangles are frames in logical (device-independent) pixels, as QScreen reports them.

// The designed frame when the available area holds it. Otherwise the frame moved inside the
// area, and shrunk only in a dimension that is larger than the area, though never below
// minimumFrame (an empty size means no minimum). A frame that stays larger than the area in a
// dimension starts at the area's left or top edge, so the title bar and the window's left
// side are on screen. An empty area gives the designed frame back unchanged.
QRect FitFrameToArea(const QRect& designedFrame, const QRect& availableArea,
                     const QSize& minimumFrame = QSize());

// The frame's margins around the client area: the real ones once the window system has
// decorated the window, before that an estimate of a usual title bar and border.
QMargins WindowFrameMargins(const QWidget* window);

// The screen a top-level window will open on: the one under the frame's centre, else the
// parent's, else the primary screen. May be null when no screen exists.
QScreen* ScreenForFrame(const QWidget* window, const QRect& frame);

// Places `window` (a top-level window or dialog, shown or not) with `designedFrame` as its
// frame, fitted to the available area of the screen it opens on. The window's client size
// becomes the fitted frame less its margins, bounded by its minimum and maximum sizes; a
// fixed-size window is only moved. Returns the frame that was applied.
QRect FitWindowToScreen(QWidget* window, const QRect& designedFrame);

// The same for a window designed to stand centred on its screen at its current client size
// (after resize() or adjustSize()).
QRect CentreWindowOnScreen(QWidget* window);
