#include "Chart.h"

#include <QPainter>
#include <qcustomplot.h>

// Interface first so dependants can build; the drawing arrives in the next step.

Chart::Chart(QWidget* parent) : QWidget(parent), m_plot(new QCustomPlot(this)) {}
Chart::~Chart() = default;
int Chart::addSeries(Axis /*vertical*/, const QString& /*title*/) {
    return 0;
}
int Chart::seriesCount() const {
    return 0;
}
void Chart::appendPoint(int /*series*/, float /*y*/) {}
void Chart::clearSeries(int /*series*/) {}
void Chart::setPointValue(int /*series*/, int /*index*/, float /*y*/) {}
int Chart::pointCount(int /*series*/) const {
    return 0;
}
float Chart::pointValue(int /*series*/, int /*index*/) const {
    return 0.0f;
}
void Chart::setSeriesPen(int /*series*/, int /*width*/, const QColor& /*color*/) {}
QPen Chart::seriesPen(int /*series*/) const {
    return QPen();
}
void Chart::setSeriesTitle(int /*series*/, const QString& /*title*/) {}
QString Chart::seriesTitle(int /*series*/) const {
    return QString();
}
bool Chart::setAxisMinimum(Axis /*axis*/, double /*min*/) {
    return false;
}
bool Chart::setAxisMaximum(Axis /*axis*/, double /*max*/) {
    return false;
}
void Chart::setAxisRange(Axis /*axis*/, double /*min*/, double /*max*/) {}
double Chart::axisMinimum(Axis /*axis*/) const {
    return 0.0;
}
double Chart::axisMaximum(Axis /*axis*/) const {
    return 0.0;
}
void Chart::setAxisAutoMaximum(Axis /*axis*/, bool /*on*/) {}
bool Chart::axisAutoMaximum(Axis /*axis*/) const {
    return false;
}
void Chart::setAxisTitle(Axis /*axis*/, const QString& /*title*/) {}
void Chart::setAxisGridVisible(Axis /*axis*/, bool /*on*/) {}
void Chart::setAxisGridColor(Axis /*axis*/, const QColor& /*color*/) {}
void Chart::setAxisLineDotted(Axis /*axis*/, bool /*on*/) {}
void Chart::setTitle(const QString& /*title*/) {}
void Chart::setTitleVisible(bool /*on*/) {}
void Chart::setFoot(const QStringList& /*lines*/) {}
QStringList Chart::foot() const {
    return QStringList();
}
void Chart::setFootAlignment(Qt::Alignment /*alignment*/) {}
void Chart::setLegendVisible(bool /*on*/) {}
void Chart::setLegendAlignment(Qt::Alignment /*alignment*/) {}
void Chart::render(QPainter* /*painter*/, const QRect& /*target*/) {}
QCustomPlot* Chart::plot() const {
    return m_plot;
}
