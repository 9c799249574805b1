#pragma once

#include "CycleDisplay.h"
#include "CycleReport.h"
#include "DailyRecord.h"

#include <functional>

// The display as the polling cycle sees it on the acquisition thread: the record switches and
// panel texts are its own copies (a row repeats the texts its own cycle showed), and every
// change is queued until flush() hands the batch on in one piece, so the window never paints
// half a step (a yellow request without the green reply of the same step).
class AcquisitionDisplay : public CycleDisplay {
  public:
    using Sink = std::function<void(const CycleReport&)>;

    AcquisitionDisplay(const SharedState& state, Clock clock, Sink sink);

    void setSwitch(int address, bool on) { m_on[address] = on; }
    // Told whenever the daily record's fault changes (empty: rows go in again).
    std::function<void(const QString& reason)> recordFaultChanged;

    bool isSwitchedOn(int address) const override { return m_on[address]; }
    QString panelText(int address, Quantity quantity) const override;
    void setPanelText(int address, Quantity quantity, const QString& text) override;
    void setPanelColor(int address, Quantity quantity, int32_t color) override;
    void setAxisRange(Axis axis, double min, double max) override;
    void setAxisMinimum(Axis axis, double min) override;
    void setAxisMaximum(Axis axis, double max) override;
    void clearSeries(int series) override;
    void setSeriesPen(int series, int width, int32_t color) override;
    void appendPoint(int series, float y) override;
    void setRecordFault(const QString& reason) override;

    // Hands what was queued since the last flush to the sink, with the latest values; does
    // nothing when nothing changed.
    void flush();

  private:
    DisplayOp& queue(DisplayOp::Kind kind, int index);

    const SharedState& m_state;
    Clock m_clock;
    Sink m_sink;
    SharedState::PerAddress<bool> m_on{};
    SharedState::PerAddress<QString> m_pressText;
    SharedState::PerAddress<QString> m_tempText;
    QList<DisplayOp> m_ops;
    SharedState::PerAddress<float> m_sentPres{};
    SharedState::PerAddress<float> m_sentTemp{};
};
