#include "MainCycleDisplay.h"

#include "Chart.h"
#include "ChartReadout.h"
#include "ColorValue.h"
#include "DailyRecord.h"
#include "TFrmMain.h"

#include <QLabel>

namespace {

Chart::Axis ChartAxis(CycleDisplay::Axis axis) {
    switch (axis) {
    case CycleDisplay::Left:
        return Chart::Left;
    case CycleDisplay::Right:
        return Chart::Right;
    case CycleDisplay::Bottom:
        break;
    }
    return Chart::Bottom;
}

} // namespace

bool MainCycleDisplay::isSwitchedOn(int address) const {
    return m_window.isSwitchedOn(address);
}

QString MainCycleDisplay::panelText(int address, Quantity quantity) const {
    return m_window.panel(address, quantity == Temperature)->text();
}

void MainCycleDisplay::setPanelText(int address, Quantity quantity, const QString& text) {
    m_window.panel(address, quantity == Temperature)->setText(text);
}

void MainCycleDisplay::setPanelColor(int address, Quantity quantity, int32_t color) {
    m_window.setPanelColor(address, quantity == Temperature, color);
}

void MainCycleDisplay::setAxisRange(Axis axis, double min, double max) {
    m_window.Chart1->setAxisRange(ChartAxis(axis), min, max);
}

void MainCycleDisplay::setAxisMinimum(Axis axis, double min) {
    m_window.Chart1->setAxisMinimum(ChartAxis(axis), min);
}

void MainCycleDisplay::setAxisMaximum(Axis axis, double max) {
    m_window.Chart1->setAxisMaximum(ChartAxis(axis), max);
}

void MainCycleDisplay::clearSeries(int series) {
    m_window.Chart1->clearSeries(series - 1);
    // The times go with the points: a reset after one point would leave the new point 0
    // reading the old one's time.
    m_window.Chart1Readout->times().clear();
}

void MainCycleDisplay::setSeriesPen(int series, int width, int32_t color) {
    m_window.Chart1->setSeriesPen(series - 1, width, ColorValue::ToQColor(color));
}

void MainCycleDisplay::appendPoint(int series, float y) {
    m_window.Chart1->appendPoint(series - 1, y);
    // All sixteen series get their point of a tick together; the first one times it.
    PointTimes& times = m_window.Chart1Readout->times();
    const qint64 index = m_window.Chart1->pointCount(series - 1) - 1;
    if (index != times.lastIndex()) {
        const MainEnvironment& env = m_window.environment();
        times.record(index, SecondCount(env.clock ? env.clock() : QDateTime::currentDateTime()));
    }
}

void MainCycleDisplay::setRecordFault(const QString& reason) {
    m_window.RecordStatus->setText(reason.isEmpty() ? QString()
                                                    : QStringLiteral("数据记录失败: ") + reason);
}
