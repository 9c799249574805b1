#pragma once

#include <QColor>
#include <QPen>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <vector>

class QCustomPlot;
class QCPAxis;
class QCPTextElement;
class QCPLayoutGrid;
class DenseSeries;
class QPainter;

// A line chart with left, right and bottom axes, a legend, a title and a foot of
// text lines. Series are dense float arrays whose x is the point index. Every
// mutating call schedules one coalesced redraw; callers never replot.
class Chart : public QWidget {
    Q_OBJECT
  public:
    enum Axis { Left, Right, Bottom };
    explicit Chart(QWidget* parent = nullptr);
    ~Chart() override;

    int addSeries(Axis vertical, const QString& title = QString()); // returns index 0,1,2,...
    int seriesCount() const;
    void appendPoint(int series, float y); // x = number of points held before
    void clearSeries(int series);
    // Replaces all points at once; x is the index. One axis update for the whole array.
    void setSeriesValues(int series, std::vector<float> values);
    void setPointValue(int series, int index, float y);
    int pointCount(int series) const; // points since the last reset: the x of the next one
    float pointValue(int series, int index) const; // NaN for a point no longer held
    // Oldest x still held at full resolution; older points have been dropped.
    int firstHeldPoint(int series) const;
    // Each series keeps its newest `fullResolutionPoints` points as values (a day unless
    // set). Older ones are dropped, or with summariseOlder kept only as a summary fine
    // enough to draw them at screen resolution. x stays the index since the last reset.
    void setRetention(int fullResolutionPoints, bool summariseOlder);
    void setSeriesPen(int series, int width, const QColor& color);
    QPen seriesPen(int series) const;
    void setSeriesTitle(int series, const QString& title);
    QString seriesTitle(int series) const;
    bool setAxisMinimum(Axis axis, double min); // refused (false) when above the current maximum
    bool setAxisMaximum(Axis axis, double max); // refused (false) when below the current minimum
    // Both ends in the order that keeps min <= max throughout; an end that would cross the
    // other is skipped, so a reversed pair changes one end only.
    void setAxisRange(Axis axis, double min, double max);
    double axisMinimum(Axis axis) const;
    double axisMaximum(Axis axis) const;
    void setAxisAutoMaximum(Axis axis, bool on); // Bottom: maximum follows the largest x
    bool axisAutoMaximum(Axis axis) const;
    void setAxisTitle(Axis axis, const QString& title);
    void setAxisGridVisible(Axis axis, bool on);
    void setAxisGridColor(Axis axis, const QColor& color);
    void setAxisLineDotted(Axis axis, bool on);
    void setTitle(const QString& title);
    void setTitleVisible(bool on);
    void setFoot(const QStringList& lines);
    QStringList foot() const;
    void setFootAlignment(Qt::Alignment alignment);
    void setLegendVisible(bool on);
    void setLegendAlignment(Qt::Alignment alignment); // Qt::AlignLeft puts the legend at the left
    // Moves the legend into a column of its own left of the axes, so it hides no curve.
    void placeLegendBesidePlot();
    // Back to the ranges the program last set, undoing the operator's zoom and pan (also
    // what a double-click on the chart does).
    void restoreAxisRanges();
    void render(QPainter* painter, const QRect& target); // whole chart stretched into target
    QCustomPlot* plot() const;

  private:
    struct AxisState {
        double min = 0.0;
        double max = 10.0;
        bool autoMax = false;
    };

    QCPAxis* qcpAxis(Axis axis) const;
    DenseSeries* series(int index) const;
    static bool validAxis(Axis axis);
    void applyRange(Axis axis);
    void followData();
    void updateLayout();
    void scheduleReplot();

    QCustomPlot* m_plot = nullptr;
    QCPTextElement* m_title = nullptr;
    QCPTextElement* m_foot = nullptr;
    QList<DenseSeries*> m_series;
    AxisState m_axes[3];
    // The ranges as the program's own calls left them, as if the operator never zoomed.
    AxisState m_programmed[3];
    QStringList m_footLines;
    int m_fullResolution = 86400;
    bool m_summariseOlder = false;
    bool m_titleVisible = true;
    bool m_applying = false;
};
