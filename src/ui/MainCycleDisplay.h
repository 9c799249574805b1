#pragma once

#include "CycleDisplay.h"

class TFrmMain;

// The main window's panels, record switches and chart as the polling cycle sees them.
class MainCycleDisplay : public CycleDisplay {
  public:
    explicit MainCycleDisplay(TFrmMain& window) : m_window(window) {}

    bool isSwitchedOn(int address) const override;
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

  private:
    TFrmMain& m_window;
};
