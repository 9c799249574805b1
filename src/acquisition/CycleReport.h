#pragma once

#include "SharedState.h"

#include <QList>
#include <QMetaType>
#include <QString>

// One thing the polling cycle did to the display, as a plain value that can cross from the
// acquisition thread to the window.
struct DisplayOp {
    enum Kind {
        PanelText,   // address, quantity, text
        PanelColor,  // address, quantity, color
        AxisRange,   // axis, x = min, y = max
        AxisMinimum, // axis, x
        AxisMaximum, // axis, x
        ClearSeries, // series
        SeriesPen,   // series, width, color
        AppendPoint, // series, x = value, second = the tick's data number
        RecordFault, // text
    };
    Kind kind = PanelText;
    int index = 0;    // address, axis or series
    int quantity = 0; // CycleDisplay::Quantity, or a pen's width
    qint32 color = 0;
    double x = 0;
    double y = 0;
    qint64 second = 0;
    QString text;
};

// What the acquisition thread reports after a step of its work: the display's changes in the
// order the cycle made them, and the latest values as they then stood (the curve windows
// sample those).
struct CycleReport {
    QList<DisplayOp> ops;
    SharedState::PerAddress<float> presValue{};
    SharedState::PerAddress<float> tempValue{};
    qint32 pointCount = 0;
};

// The line's state as the status bar shows it.
enum class LineState { Working, Lost, NotOpened };

Q_DECLARE_METATYPE(CycleReport)
Q_DECLARE_METATYPE(LineState)
