#pragma once

#include "PointTimes.h"

#include <QColor>
#include <QList>
#include <QObject>
#include <QPoint>
#include <QString>
#include <functional>
#include <optional>

class Chart;
class QLabel;
class QWidget;

// Reads values off a chart: while the pointer is over the plot, a thin vertical cursor
// stands on the point under it and a small box lists the point's clock time and, in each
// pen's colour, the value of every series there. It only reads the chart: no axis, point
// or pen changes, and it is drawn over the plot, so neither replots nor prints show it.
class ChartReadout : public QObject {
    Q_OBJECT
  public:
    struct Line {
        int series = -1;
        QString title;
        QColor color;
        float value = 0.0f;
        bool recorded = true; // false: the point only stands in for a second with no record
    };
    struct Reading {
        qint64 index = -1;
        std::optional<qint64> second; // seconds since 1970 on the local clock, as recorded
        QList<Line> lines;
        bool isEmpty() const { return lines.isEmpty(); }
    };

    explicit ChartReadout(Chart* chart); // owned by the chart

    // Live charts record the second of each point here as it is appended.
    PointTimes& times() { return m_times; }
    // History charts: point x stands for `start` + x seconds (replaces the recorded times).
    void setStartSecond(qint64 start);
    // Only series passing the filter are listed (all by default).
    void setSeriesFilter(std::function<bool(int series)> filter);
    // Tells which points hold a recorded value (all by default); the others are listed as
    // having none rather than with the value that fills their place.
    void setRecordedFilter(std::function<bool(int series, qint64 index)> recorded);

    // The series with a point at `index`; empty where no listed series has one.
    Reading readingAt(qint64 index) const;
    // What the pointer shows now; empty while it is off the plot or over no point.
    const Reading& current() const { return m_current; }
    QString text() const; // the box's text as shown (rich text)
    int cursorX() const;  // the cursor's x in plot pixels, -1 when hidden

    static QString timeText(qint64 second);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void follow();
    void hide();

    Chart* m_chart;
    const QObject* m_plot; // the chart's plot, the object watched
    QWidget* m_cursor;
    QLabel* m_box;
    PointTimes m_times;
    std::optional<qint64> m_start;
    std::function<bool(int)> m_filter;
    std::function<bool(int, qint64)> m_recorded;
    std::optional<QPoint> m_pointer;
    Reading m_current;
};
