#pragma once

#include "AcquisitionDisplay.h"
#include "AlarmEngine.h"
#include "CycleReport.h"
#include "EventLog.h"
#include "LinkService.h"
#include "PollCycle.h"
#include "Scheduler.h"
#include "SharedState.h"

#include <QObject>
#include <QThread>
#include <atomic>
#include <functional>
#include <future>
#include <memory>

class LineSupervisor;
class QThread;
class QTimer;
class TimerScheduler;

// The serial line, its supervisor, the polling cycle and the daily record, on a thread of
// their own so that nothing the window does (a print job, a modal box, a long repaint) delays
// a tick. Everything here is owned by that thread; the window reaches it only through the
// commands below, which run there, and hears from it only through the signals, which carry
// copies. Without start() it all stays on the creating thread and the commands run at once,
// which the window's tests use with a manual scheduler.
class Acquisition : public QObject {
    Q_OBJECT
  public:
    struct Settings {
        QString baseDir;
        LinkService* link = nullptr;    // used on the acquisition thread only
        Scheduler* scheduler = nullptr; // null: precise timers of the acquisition thread
        Clock clock;
    };
    explicit Acquisition(Settings settings);
    ~Acquisition() override;

    // Moves the work onto its own thread and starts that thread's event loop.
    void start();
    // Lets a cycle in flight end, closes the port and ends the thread; the window's shutdown
    // writes come after this returns. Safe to call more than once.
    void stop();
    bool threaded() const { return m_thread != nullptr; }

    // Runs work on the acquisition thread: at once when called there (or when not threaded),
    // otherwise queued behind what is already waiting. Nothing is run once stopped.
    void post(std::function<void(Acquisition&)> work);
    // The same, waiting for the result; the window uses it for the port steps and dialogs. A
    // stopped acquisition returns the default value.
    template <typename R> R call(std::function<R(Acquisition&)> work);

    // The following run on the acquisition thread (through post or call).
    PollCycle& cycle() { return *m_cycle; }
    LinkService& link() { return *m_link; }
    QTimer* tickTimer() const { return m_tickTimer; } // the once-a-second timer
    QTimer* lineWatch() const { return m_lineWatch; }
    void tick();
    void startTicking();
    void stopTicking();
    // Changes taking effect between cycles: the caller waits for the cycle with runAfterCycle.
    void setSwitch(int address, bool on);
    void setPortBusy(bool busy);
    void setHistoryOpen(bool open);
    // The pens of the points the cycle hands over and the axis ranges, taken from the window's
    // state.
    void setChartSettings(const SharedState& from);
    void resetChart(); // the bottom axis back to its first page, the point count to 0
    void setPort(const QString& name, int baudIndex);
    void retryPort(const QString& name);
    // The alarm limits; while any is set, the event log records the program's events too.
    // The first call is the program's start.
    void setAlarmLimits(const AlarmLimits& limits);
    void acknowledge(int address, int kind);
    void acknowledgeAll();
    // A frame the window's dialog sends: a parameter written into an instrument is logged.
    void noteWrite(const QByteArray& frame);
    // Runs action once the cycle in flight has ended, then guiAction on the window's thread.
    void afterCycle(std::function<void(Acquisition&)> action, QObject* context,
                    std::function<void()> guiAction);

  signals:
    void reported(const CycleReport& report);
    void lineStateChanged(const QString& port, LineState state);
    void errorRaised(const QString& text);
    void cycleFinished();
    void alarmsChanged(const AlarmSnapshot& snapshot);

  private:
    void flush();
    void rearm();
    // Applies a change that makes the cycle poll more (a switch on, the port back from a
    // dialog) between cycles, or after the next one when that one's row would be lost to it.
    void widenPolling(std::function<void()> change);
    void narrowPolling(std::function<void()> change);
    SharedState::PerAddress<bool> switches() const;
    void shutDownHere();
    void watchCycle();
    void logEvent(int address, const QString& text, const QString& value = {});
    void logEvents(const QList<AlarmEvent>& events);
    void publishAlarms();

    Settings m_settings;
    SharedState m_state; // this thread's copy: switches' values, flags, port, chart settings
    std::unique_ptr<AcquisitionDisplay> m_display;
    std::unique_ptr<TimerScheduler> m_ownScheduler;
    std::unique_ptr<Scheduler> m_flushing; // runs the cycle's steps, then flushes the display
    std::unique_ptr<PollCycle> m_cycle;
    std::unique_ptr<LineSupervisor> m_line;
    LinkService* m_link = nullptr;
    QTimer* m_tickTimer = nullptr;
    QTimer* m_lineWatch = nullptr;
    QThread* m_thread = nullptr;
    std::shared_ptr<int> m_alive = std::make_shared<int>(0); // pending steps check it
    QList<std::function<void()>> m_deferred; // widenings that wait for the next cycle
    bool m_stopped = false;                  // read on the acquisition thread only
    bool m_notOpened = false;                // the retried port was never open this time
    AlarmEngine m_alarms;
    EventLog m_events;
    AlarmSnapshot m_snapshot; // as last reported
    bool m_watching = false;  // a limit is set: alarms are evaluated, events logged
    bool m_started = false;   // the limits of the start have come
    bool m_lineDown = false;
    bool m_eventLogFailing = false;
    std::atomic<bool> m_ended{
        false}; // the thread has ended: nothing more runs, calls give defaults
};

template <typename R> R Acquisition::call(std::function<R(Acquisition&)> work) {
    if (m_ended)
        return R{};
    if (!m_thread || QThread::currentThread() == m_thread)
        return work(*this);
    // A promise rather than a blocking queued call: the hand-over is then plain C++ that the
    // thread sanitizer can follow, and a call dropped unrun ends in a broken promise, not a hang.
    auto done = std::make_shared<std::promise<R>>();
    std::future<R> result = done->get_future();
    QMetaObject::invokeMethod(
        this, [this, work = std::move(work), done] { done->set_value(work(*this)); },
        Qt::QueuedConnection);
    try {
        return result.get();
    } catch (const std::future_error&) {
        return R{};
    }
}
