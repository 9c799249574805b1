#pragma once

#include "CycleDisplay.h"
#include "DailyRecord.h"
#include "Port.h"
#include "Scheduler.h"
#include "SharedState.h"

#include <QList>
#include <QString>
#include <functional>
#include <memory>

// One tick of the main window's once-a-second timer: polls the switched-on instruments,
// shows and keeps their values, and plots and records them. The pauses between requests are
// steps on the scheduler, so the event loop runs while a cycle waits for the line.
class PollCycle {
  public:
    // Shows an error to the operator; it may block in a modal loop, during which further
    // ticks run. Those ticks do not show another error until it returns.
    using ErrorFn = std::function<void(const QString& text)>;
    // The open port, or null; asked afresh at every step, as the line may be closed meanwhile.
    using PortFn = std::function<Port*()>;

    static constexpr int32_t kYellow = 0x00FFFF;
    static constexpr int32_t kGreen = 0x008000;
    static constexpr int kPauseMs = 50;
    static constexpr int kBufferSize = 256;
    static constexpr int kPageWidth = 600;
    // A row is composed this far into its second, so the rounded data number and the
    // truncated time text name the same second; one composed later than kLateRowMs waits
    // for the next second rather than risk a duplicate.
    static constexpr int kRowOffsetMs = 100;
    static constexpr int kLateRowMs = 450;
    static constexpr int kMaxWaitMs = 2000; // longer only when the clock was set back
    // A tick starts up to kLeadMs earlier than its requests need, to absorb a late timer,
    // but leaves kSpareMs of its second free so the next tick never meets it still running.
    static constexpr int kLeadMs = 100;
    static constexpr int kSpareMs = 50;

    PollCycle(SharedState& state, CycleDisplay& display, QString baseDir, Clock clock,
              Scheduler& scheduler, PortFn port, ErrorFn showError);

    // Starts a cycle. A tick that comes while one is running is not run beside it: it is
    // merged into one tick right after the running cycle ends, as an overdue timer fires
    // once when a blocked loop returns. Returns false then.
    bool tick();
    bool running() const { return m_running; }
    // Runs action at once, or, while a cycle is running, right after its read and the work
    // that follows it: whoever takes the line over then never meets a cycle in flight.
    void runAfterCycle(std::function<void()> action);
    // Called at the end of every cycle, whether it recorded or not.
    void setFinishedHandler(std::function<void()> handler) { m_finished = std::move(handler); }
    // Milliseconds from now to the next tick, so that its row falls early in the next second;
    // planned from the instruments switched on now (which that tick will poll), each taking
    // as long as one did in the cycle before.
    int msToNextTick() const;
    // Whether a tick planned now, polling the switches as they stand, still gets the next
    // second its row; false when a change came too late in the second for that.
    bool nextRowInTime() const;

    // What the last cycle learned of the instruments, for the alarms: whether it asked the
    // line at all (not with the port held by a dialog or closed), and which replies came.
    struct Outcome {
        bool asked = false;
        SharedState::PerAddress<bool> on{};
        SharedState::PerAddress<bool> presAnswered{};
        SharedState::PerAddress<bool> tempAnswered{};
    };
    const Outcome& outcome() const { return m_outcome; }

    QString dailyFileName() const { return m_dailyFileName; }
    bool errorShowing() const { return m_errorShowing; }

  private:
    Port* openPort() const;
    int pollCount() const;
    struct TickPlan {
        qint64 now = 0;
        qint64 delay = 0;       // from now to the planned start of the next tick
        bool inTimeNow = false; // starting at once still gets the next second its row
    };
    TickPlan plan() const;
    qint64 estimatedPollMs(int instruments) const;
    qint64 leadMs(qint64 pollMs) const;
    void poll(int address, char command);
    void collect();
    bool takeReplies(Port& port, QString* error);
    void resetChart();
    bool record(QString* error);
    void end(bool setPressureAxis, const QString& error = {});
    void later(int ms, std::function<void()> step);
    void showError(const QString& text);

    SharedState& m_state;
    CycleDisplay& m_display;
    QString m_baseDir;
    Clock m_clock;
    Scheduler& m_scheduler;
    PortFn m_port;
    ErrorFn m_showError;
    std::function<void()> m_finished;
    QList<std::function<void()>> m_afterCycle;
    std::shared_ptr<int> m_alive = std::make_shared<int>(0); // pending steps check it
    QString m_dailyFileName;
    bool m_errorShowing = false;
    bool m_running = false;
    bool m_tickDue = false;
    bool m_anyOn = false;
    SharedState::PerAddress<bool> m_on{}; // the record switches at the cycle's start
    Outcome m_outcome;
    int m_polled = 0;
    qint64 m_startMs = 0;
    qint64 m_rowMs = 0;             // when this cycle's row is due, ms since the epoch
    qint64 m_lastRowSecond = 0;     // of the last row composed, s since the epoch
    double m_perInstrumentMs = 110; // two requests and their pauses, measured
    QString m_recordFaultReason;    // empty while rows go in; a failed append always says why
};
