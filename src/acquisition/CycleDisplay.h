#pragma once

#include <QString>
#include <cstdint>

// What the polling cycle needs of the main window: the record switches, the value panels
// and the main chart. Addresses are 1..8; series are 1..16 (pressure of address n is
// series n, its temperature series n + 8); colours are values 0x00BBGGRR.
class CycleDisplay {
  public:
    enum Quantity { Pressure, Temperature };
    enum Axis { Left, Right, Bottom };

    virtual ~CycleDisplay() = default;

    virtual bool isSwitchedOn(int address) const = 0;

    virtual QString panelText(int address, Quantity quantity) const = 0;
    virtual void setPanelText(int address, Quantity quantity, const QString& text) = 0;
    virtual void setPanelColor(int address, Quantity quantity, int32_t color) = 0;

    // The chart refuses a minimum above its maximum and a maximum below its minimum;
    // setAxisRange applies both ends so that neither is refused.
    virtual void setAxisRange(Axis axis, double min, double max) = 0;
    virtual void setAxisMinimum(Axis axis, double min) = 0;
    virtual void setAxisMaximum(Axis axis, double max) = 0;

    virtual void clearSeries(int series) = 0;
    virtual void setSeriesPen(int series, int width, int32_t color) = 0;
    // The point's x is the number of points the series held before.
    virtual void appendPoint(int series, float y) = 0;

    // Why the daily record cannot be written, while that lasts; empty once rows go in again.
    virtual void setRecordFault(const QString& reason) = 0;
};
