#pragma once

#include "CycleDisplay.h"
#include "CycleReport.h"

class TFrmMain;

// Carries out on the main window's panels and chart what the polling cycle reported, in the
// order the cycle did it.
class MainCycleDisplay {
  public:
    explicit MainCycleDisplay(TFrmMain& window) : m_window(window) {}

    void apply(const DisplayOp& op);

  private:
    void appendPoint(int series, float y, qint64 second);

    TFrmMain& m_window;
};
