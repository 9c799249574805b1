#pragma once

#include "CycleDisplay.h"

#include <QList>
#include <QStringList>
#include <array>

// Keeps the state the cycle leaves on the main window and logs colour changes in order.
// Axis ends are refused the way the chart refuses them, so an ordering mistake shows.
class RecordingDisplay : public CycleDisplay {
  public:
    static constexpr int32_t kButtonFace = -1;

    std::array<bool, 9> on{};
    std::array<std::array<QString, 2>, 9> texts;
    std::array<std::array<int32_t, 2>, 9> colors;
    QStringList colorLog; // "<address><P|T>=<colour hex>"
    std::array<double, 3> axisMin{-100, 0, 0};
    std::array<double, 3> axisMax{100, 40, 600};
    std::array<QList<float>, 17> points;
    std::array<int, 17> penWidth{};
    std::array<int32_t, 17> penColor{};
    int clears = 0;

    RecordingDisplay() {
        for (auto& pair : texts)
            pair.fill(QStringLiteral("0.0"));
        for (auto& pair : colors)
            pair.fill(kButtonFace);
    }

    bool isSwitchedOn(int address) const override { return on.at(address); }
    QString panelText(int address, Quantity quantity) const override {
        return texts.at(address).at(quantity);
    }
    void setPanelText(int address, Quantity quantity, const QString& text) override {
        texts.at(address).at(quantity) = text;
    }
    void setPanelColor(int address, Quantity quantity, int32_t color) override {
        colors.at(address).at(quantity) = color;
        colorLog << QStringLiteral("%1%2=%3")
                        .arg(address)
                        .arg(quantity == Pressure ? 'P' : 'T')
                        .arg(color, 6, 16, QLatin1Char('0'));
    }
    void setAxisRange(Axis axis, double min, double max) override {
        axisMin.at(axis) = min;
        axisMax.at(axis) = max;
    }
    void setAxisMinimum(Axis axis, double min) override {
        if (min <= axisMax.at(axis))
            axisMin.at(axis) = min;
    }
    void setAxisMaximum(Axis axis, double max) override {
        if (max >= axisMin.at(axis))
            axisMax.at(axis) = max;
    }
    void clearSeries(int series) override {
        points.at(series).clear();
        ++clears;
    }
    void setSeriesPen(int series, int width, int32_t color) override {
        penWidth.at(series) = width;
        penColor.at(series) = color;
    }
    void appendPoint(int series, float y) override { points.at(series) << y; }
    void setRecordFault(const QString& reason) override { recordFault = reason; }

    QString recordFault;
};
