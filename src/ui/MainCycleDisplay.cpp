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

void MainCycleDisplay::apply(const DisplayOp& op) {
    const bool temperature = op.quantity == CycleDisplay::Temperature;
    const Chart::Axis axis = ChartAxis(CycleDisplay::Axis(op.index));
    switch (op.kind) {
    case DisplayOp::PanelText:
        m_window.panel(op.index, temperature)->setText(op.text);
        break;
    case DisplayOp::PanelColor:
        m_window.setPanelColor(op.index, temperature, op.color);
        break;
    case DisplayOp::AxisRange:
        m_window.Chart1->setAxisRange(axis, op.x, op.y);
        break;
    case DisplayOp::AxisMinimum:
        m_window.Chart1->setAxisMinimum(axis, op.x);
        break;
    case DisplayOp::AxisMaximum:
        m_window.Chart1->setAxisMaximum(axis, op.x);
        break;
    case DisplayOp::ClearSeries:
        m_window.Chart1->clearSeries(op.index - 1);
        // The times go with the points: a reset after one point would leave the new point 0
        // reading the old one's time.
        m_window.Chart1Readout->times().clear();
        break;
    case DisplayOp::SeriesPen:
        m_window.Chart1->setSeriesPen(op.index - 1, op.quantity, ColorValue::ToQColor(op.color));
        break;
    case DisplayOp::AppendPoint:
        appendPoint(op.index, float(op.x), op.second);
        break;
    case DisplayOp::RecordFault:
        m_window.RecordStatus->setText(
            op.text.isEmpty() ? QString() : QStringLiteral("数据记录失败: ") + op.text);
        break;
    }
}

void MainCycleDisplay::appendPoint(int series, float y, qint64 second) {
    m_window.Chart1->appendPoint(series - 1, y);
    // All sixteen series get their point of a tick together; the first one times it.
    PointTimes& times = m_window.Chart1Readout->times();
    const qint64 index = m_window.Chart1->pointCount(series - 1) - 1;
    if (index != times.lastIndex())
        times.record(index, second);
}
