#pragma once

#include "CycleDisplay.h"
#include "DailyRecord.h"
#include "Port.h"
#include "SharedState.h"

#include <QString>
#include <functional>

// One tick of the main window's once-a-second timer: polls the switched-on instruments,
// shows and keeps their values, and plots and records them.
class PollCycle {
  public:
    // Shows an error to the operator; it may block in a modal loop, during which further
    // ticks run. Those ticks do not show another error until it returns.
    using ErrorFn = std::function<void(const QString& text)>;

    static constexpr int32_t kYellow = 0x00FFFF;
    static constexpr int32_t kGreen = 0x008000;
    static constexpr int kPauseMs = 50;
    static constexpr int kBufferSize = 256;
    static constexpr int kPageWidth = 600;

    PollCycle(SharedState& state, CycleDisplay& display, QString baseDir, Clock clock,
              PauseFn pause, ErrorFn showError);

    // port: the open serial port, or null when there is none.
    void tick(Port* port);

    QString dailyFileName() const { return m_dailyFileName; }
    bool errorShowing() const { return m_errorShowing; }

  private:
    bool poll(Port& port); // true when any instrument is switched on
    bool takeReplies(Port& port);
    void resetChart();
    bool record();
    void showError(const QString& text);

    SharedState& m_state;
    CycleDisplay& m_display;
    QString m_baseDir;
    Clock m_clock;
    PauseFn m_pause;
    ErrorFn m_showError;
    QString m_dailyFileName;
    bool m_errorShowing = false;
};
