#include "AcquisitionDisplay.h"

AcquisitionDisplay::AcquisitionDisplay(const SharedState& state, Clock clock, Sink sink)
    : m_state(state), m_clock(std::move(clock)), m_sink(std::move(sink)) {
    for (int n = 1; n <= SharedState::kInstruments; ++n) {
        m_pressText[n] = QStringLiteral("0.0");
        m_tempText[n] = QStringLiteral("0.0");
    }
}

DisplayOp& AcquisitionDisplay::queue(DisplayOp::Kind kind, int index) {
    DisplayOp op;
    op.kind = kind;
    op.index = index;
    m_ops << op;
    return m_ops.last();
}

QString AcquisitionDisplay::panelText(int address, Quantity quantity) const {
    return quantity == Temperature ? m_tempText[address] : m_pressText[address];
}

void AcquisitionDisplay::setPanelText(int address, Quantity quantity, const QString& text) {
    QString& kept = quantity == Temperature ? m_tempText[address] : m_pressText[address];
    if (kept == text)
        return;
    kept = text;
    DisplayOp& op = queue(DisplayOp::PanelText, address);
    op.quantity = quantity;
    op.text = text;
}

void AcquisitionDisplay::setPanelColor(int address, Quantity quantity, int32_t color) {
    DisplayOp& op = queue(DisplayOp::PanelColor, address);
    op.quantity = quantity;
    op.color = color;
}

void AcquisitionDisplay::setAxisRange(Axis axis, double min, double max) {
    DisplayOp& op = queue(DisplayOp::AxisRange, axis);
    op.x = min;
    op.y = max;
}

void AcquisitionDisplay::setAxisMinimum(Axis axis, double min) {
    queue(DisplayOp::AxisMinimum, axis).x = min;
}

void AcquisitionDisplay::setAxisMaximum(Axis axis, double max) {
    queue(DisplayOp::AxisMaximum, axis).x = max;
}

void AcquisitionDisplay::clearSeries(int series) {
    queue(DisplayOp::ClearSeries, series);
}

void AcquisitionDisplay::setSeriesPen(int series, int width, int32_t color) {
    DisplayOp& op = queue(DisplayOp::SeriesPen, series);
    op.quantity = width;
    op.color = color;
}

void AcquisitionDisplay::appendPoint(int series, float y) {
    DisplayOp& op = queue(DisplayOp::AppendPoint, series);
    op.x = y;
    op.second = SecondCount(m_clock());
}

void AcquisitionDisplay::setRecordFault(const QString& reason) {
    queue(DisplayOp::RecordFault, 0).text = reason;
    if (recordFaultChanged)
        recordFaultChanged(reason);
}

void AcquisitionDisplay::flush() {
    if (m_ops.isEmpty() && m_state.PresValue == m_sentPres && m_state.TempValue == m_sentTemp)
        return;
    CycleReport report;
    report.ops = std::exchange(m_ops, {});
    report.presValue = m_sentPres = m_state.PresValue;
    report.tempValue = m_sentTemp = m_state.TempValue;
    report.pointCount = m_state.PointCount;
    if (m_sink)
        m_sink(report);
}
