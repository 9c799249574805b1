#include "Acquisition.h"

#include "LineSupervisor.h"
#include "Protocol.h"
#include "TimerScheduler.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>

namespace {

// Runs the cycle's steps on the real scheduler and hands the display's changes on after each,
// so the window gets a step's changes together and never half of one.
class FlushingScheduler : public Scheduler {
  public:
    FlushingScheduler(Scheduler& inner, std::function<void()> flush, std::weak_ptr<int> alive)
        : m_inner(inner), m_flush(std::move(flush)), m_alive(std::move(alive)) {}
    void after(int ms, std::function<void()> step) override {
        m_inner.after(ms, [step = std::move(step), flush = m_flush, alive = m_alive] {
            step();
            if (alive.lock())
                flush();
        });
    }

  private:
    Scheduler& m_inner;
    std::function<void()> m_flush;
    std::weak_ptr<int> m_alive;
};

} // namespace

Acquisition::Acquisition(Settings settings)
    : m_settings(std::move(settings)), m_link(m_settings.link), m_events(m_settings.baseDir) {
    qRegisterMetaType<CycleReport>();
    qRegisterMetaType<LineState>();
    qRegisterMetaType<AlarmSnapshot>();
    if (!m_settings.clock)
        m_settings.clock = [] { return QDateTime::currentDateTime(); };
    m_display = std::make_unique<AcquisitionDisplay>(
        m_state, m_settings.clock, [this](const CycleReport& report) { emit reported(report); });
    Scheduler* scheduler = m_settings.scheduler;
    if (!scheduler) {
        m_ownScheduler = std::make_unique<TimerScheduler>();
        scheduler = m_ownScheduler.get();
    }
    m_flushing = std::make_unique<FlushingScheduler>(
        *scheduler, [this] { flush(); }, m_alive);
    m_cycle = std::make_unique<PollCycle>(
        m_state, *m_display, m_settings.baseDir, m_settings.clock, *m_flushing,
        [this] { return m_link ? m_link->port() : nullptr; },
        [this](const QString& text) { emit errorRaised(text); });
    m_display->recordFaultChanged = [this](const QString& reason) {
        logEvent(0, reason.isEmpty() ? EventText::RecordBack : EventText::RecordFailed);
    };
    m_cycle->setFinishedHandler([this] {
        watchCycle();
        flush();
        emit cycleFinished();
    });

    // Re-armed at every tick so that each row falls early in its own second: a fixed period
    // drifts, and a row would now and then share its second with the one before.
    m_tickTimer = new QTimer(this);
    m_tickTimer->setObjectName(QStringLiteral("SecCy"));
    m_tickTimer->setInterval(1000);
    m_tickTimer->setSingleShot(true);
    m_tickTimer->setTimerType(Qt::PreciseTimer);
    connect(m_tickTimer, &QTimer::timeout, this, [this] {
        tick();
        if (m_stopped)
            return;
        m_tickTimer->start(m_cycle->msToNextTick());
        if (!m_deferred.isEmpty()) {
            m_cycle->runAfterCycle([this] {
                for (const auto& change : std::exchange(m_deferred, {}))
                    change();
                rearm();
            });
        }
    });

    // A lost line is closed and retried apart from the cycle.
    m_lineWatch = new QTimer(this);
    m_lineWatch->setObjectName(QStringLiteral("LineWatch"));
    m_lineWatch->setInterval(250);
    if (m_link) {
        m_line = std::make_unique<LineSupervisor>(
            *m_link, [] { return QDeadlineTimer::current().deadline(); },
            [this](const QString& port) {
                if (port.isEmpty())
                    m_notOpened = false;
                if (std::exchange(m_lineDown, !port.isEmpty()) != m_lineDown)
                    logEvent(0, m_lineDown ? EventText::LineLost : EventText::LineBack);
                emit lineStateChanged(port, port.isEmpty() ? LineState::Working
                                            : m_notOpened  ? LineState::NotOpened
                                                           : LineState::Lost);
            });
        connect(m_lineWatch, &QTimer::timeout, this,
                [this] { m_line->check(m_state.PortName, m_state.BaudIndex); });
        m_lineWatch->start();
    }
}

Acquisition::~Acquisition() {
    stop();
}

void Acquisition::start() {
    if (m_thread)
        return;
    m_thread = new QThread;
    m_thread->setObjectName(QStringLiteral("acquisition"));
    const bool watching = m_lineWatch->isActive();
    m_lineWatch->stop();
    moveToThread(m_thread);
    if (m_ownScheduler)
        m_ownScheduler->moveToThread(m_thread);
    // Returns once the thread runs its event dispatcher, so nothing is posted to a wake-up
    // that is still being made.
    std::promise<void> running;
    const QMetaObject::Connection connection = connect(
        m_thread, &QThread::started, m_thread, [&running] { running.set_value(); },
        Qt::DirectConnection);
    m_thread->start();
    running.get_future().wait();
    disconnect(connection);
    if (watching)
        QMetaObject::invokeMethod(m_lineWatch, qOverload<>(&QTimer::start));
}

void Acquisition::post(std::function<void(Acquisition&)> work) {
    if (m_ended)
        return;
    if (!m_thread || QThread::currentThread() == m_thread) {
        if (m_stopped)
            return;
        work(*this);
        flush();
        return;
    }
    QMetaObject::invokeMethod(
        this,
        [this, work = std::move(work)] {
            if (m_stopped)
                return;
            work(*this);
            flush();
        },
        Qt::QueuedConnection);
}

void Acquisition::stop() {
    if (m_ended)
        return;
    if (!m_thread) {
        if (!m_stopped)
            shutDownHere();
        return;
    }
    if (QThread::currentThread() != m_thread) {
        // The thread's last work hands over through a promise, which the thread sanitizer sees,
        // besides the thread's end, which it does not see inside Qt.
        std::promise<void> done;
        QMetaObject::invokeMethod(
            this,
            [this, &done] {
                auto finish = [this, &done] {
                    QThread* thread = m_thread;
                    if (!m_stopped)
                        shutDownHere();
                    done.set_value();
                    thread->quit();
                };
                m_cycle->runAfterCycle(finish);
            },
            Qt::QueuedConnection);
        done.get_future().wait();
        m_thread->wait();
        m_ended = true;
        delete m_thread;
        m_thread = nullptr;
    }
}

void Acquisition::shutDownHere() {
    logEvent(0, EventText::ProgramExit);
    m_stopped = true;
    m_tickTimer->stop();
    m_lineWatch->stop();
    if (m_link)
        m_link->close();
    flush();
    // Back to the program's main thread, where it is destroyed.
    if (m_thread && QCoreApplication::instance()) {
        QThread* home = QCoreApplication::instance()->thread();
        if (m_ownScheduler)
            m_ownScheduler->moveToThread(home);
        moveToThread(home);
    }
}

void Acquisition::flush() {
    m_display->flush();
}

void Acquisition::tick() {
    if (m_stopped)
        return;
    m_cycle->tick(); // one meeting a running cycle follows right after it
    flush();
}

void Acquisition::startTicking() {
    if (!m_stopped && !m_tickTimer->isActive())
        m_tickTimer->start();
}

void Acquisition::stopTicking() {
    m_tickTimer->stop();
}

void Acquisition::widenPolling(std::function<void()> change) {
    if (!m_deferred.isEmpty()) { // keeps its place behind those already waiting
        m_deferred << std::move(change);
        return;
    }
    const SharedState::PerAddress<bool> on = switches();
    const bool busy = m_state.PortBusy;
    change();
    if (!m_tickTimer->isActive() || m_cycle->running() || m_cycle->nextRowInTime()) {
        rearm();
        return;
    }
    // Too late in this second to poll the wider set before the next row is due: the next tick
    // runs as it was planned and makes its row, and the change follows it.
    for (int n = 1; n <= SharedState::kInstruments; ++n)
        m_display->setSwitch(n, on[n]);
    m_state.PortBusy = busy;
    m_deferred << std::move(change);
}

SharedState::PerAddress<bool> Acquisition::switches() const {
    SharedState::PerAddress<bool> on{};
    for (int n = 1; n <= SharedState::kInstruments; ++n)
        on[n] = m_display->isSwitchedOn(n);
    return on;
}

void Acquisition::rearm() {
    // The next tick is planned from the instruments it will poll: a jump from 3 to 8, or the
    // end of a dialog's hold on the port, must not start it too late for its row.
    if (m_tickTimer->isActive() && !m_cycle->running())
        m_tickTimer->start(m_cycle->msToNextTick());
}

void Acquisition::setSwitch(int address, bool on) {
    if (address < 1 || address > SharedState::kInstruments)
        return;
    if (on) {
        widenPolling([this, address] { m_display->setSwitch(address, true); });
        return;
    }
    narrowPolling([this, address] {
        m_display->setSwitch(address, false);
        m_state.PresValue[address] = 0;
        m_state.TempValue[address] = 0;
    });
}

void Acquisition::setPortBusy(bool busy) {
    if (!busy) {
        widenPolling([this] { m_state.PortBusy = false; });
        return;
    }
    narrowPolling([this] { m_state.PortBusy = true; });
}

void Acquisition::narrowPolling(std::function<void()> change) {
    // Polling less never costs a row, but a change must not overtake one still waiting.
    if (!m_deferred.isEmpty()) {
        m_deferred << std::move(change);
        return;
    }
    change();
    rearm();
}

void Acquisition::setHistoryOpen(bool open) {
    m_state.HistoryOpen = open;
}

void Acquisition::setChartSettings(const SharedState& from) {
    m_state.LineWidthPress = from.LineWidthPress;
    m_state.LineColorPress = from.LineColorPress;
    m_state.LineWidthTemp = from.LineWidthTemp;
    m_state.LineColorTemp = from.LineColorTemp;
    m_state.TempFull = from.TempFull;
    m_state.PresY0 = from.PresY0;
    m_state.PresYn = from.PresYn;
}

void Acquisition::resetChart() {
    m_state.PointCount = 0;
}

void Acquisition::setPort(const QString& name, int baudIndex) {
    m_state.PortName = name;
    m_state.BaudIndex = baudIndex;
}

void Acquisition::retryPort(const QString& name) {
    if (!m_line)
        return;
    m_notOpened = true;
    m_line->retry(name);
}

void Acquisition::afterCycle(std::function<void(Acquisition&)> action, QObject* context,
                             std::function<void()> guiAction) {
    m_cycle->runAfterCycle(
        [this, action = std::move(action), context, guiAction = std::move(guiAction)] {
            if (action)
                action(*this);
            // Whatever this changed reaches the window before the window's own part runs.
            flush();
            if (guiAction && context)
                QMetaObject::invokeMethod(context, guiAction);
        });
}

void Acquisition::setAlarmLimits(const AlarmLimits& limits) {
    m_alarms.setLimits(limits);
    m_watching = false;
    for (int n = 1; n <= SharedState::kInstruments; ++n) {
        m_watching = m_watching || limits.PresHigh[n].on || limits.PresLow[n].on ||
                     limits.TempHigh[n].on || limits.TempLow[n].on;
    }
    m_watching = m_watching || limits.silentSeconds() > 0;
    if (!std::exchange(m_started, true))
        logEvent(0, EventText::ProgramStart);
    publishAlarms();
}

void Acquisition::acknowledge(int address, int kind) {
    if (kind < 0 || kind >= kAlarmKinds)
        return;
    logEvents(m_alarms.acknowledge(m_settings.clock(), address, AlarmKind(kind)));
    publishAlarms();
}

void Acquisition::acknowledgeAll() {
    logEvents(m_alarms.acknowledgeAll(m_settings.clock()));
    publishAlarms();
}

void Acquisition::noteWrite(const QByteArray& frame) {
    // EOT '0' address STX 'P' command sign four digits decimal code ETX check
    if (frame.size() != 14 || frame[0] != '\x04' || frame[3] != '\x02' || frame[4] != 'P')
        return;
    const char command = frame[5];
    if (command != '1' && command != '2')
        return;
    const int address = frame[2] - '0';
    bool ok = false;
    const int magnitude = frame.mid(7, 4).toInt(&ok);
    const char code = frame[11];
    if (!ok || code < '1' || code > '4')
        return;
    static constexpr float kScale[] = {1000.0f, 100.0f, 10.0f, 1.0f};
    const float value = (frame[6] == '-' ? -1.0f : 1.0f) * float(magnitude) / kScale[code - '1'];
    logEvent(address, command == '1' ? EventText::WroteFullScale : EventText::WroteRelay,
             FormatReading(value, code));
}

void Acquisition::watchCycle() {
    if (!m_watching && m_snapshot == AlarmSnapshot{})
        return;
    const PollCycle::Outcome& outcome = m_cycle->outcome();
    AlarmCycle cycle;
    cycle.time = m_settings.clock();
    cycle.paused = !outcome.asked;
    for (int n = 1; n <= SharedState::kInstruments; ++n) {
        AlarmReading& at = cycle.at[n];
        at.on = outcome.on[n];
        at.presValid = outcome.presAnswered[n];
        at.pres = m_state.PresValue[n];
        at.presText = m_display->panelText(n, CycleDisplay::Pressure);
        at.tempValid = outcome.tempAnswered[n];
        at.temp = m_state.TempValue[n];
        at.tempText = m_display->panelText(n, CycleDisplay::Temperature);
    }
    logEvents(m_alarms.feed(cycle));
    publishAlarms();
}

void Acquisition::logEvent(int address, const QString& text, const QString& value) {
    AlarmEvent event;
    event.time = m_settings.clock();
    event.address = address;
    event.text = text;
    event.value = value;
    logEvents({event});
}

void Acquisition::logEvents(const QList<AlarmEvent>& events) {
    // Without limits nothing is watched, and presmon writes only what it always wrote.
    if (!m_watching || events.isEmpty())
        return;
    QString reason;
    if (m_events.append(events, &reason)) {
        m_eventLogFailing = false;
        return;
    }
    if (!std::exchange(m_eventLogFailing, true))
        emit errorRaised(
            QStringLiteral("写入事件记录 %1 失败: %2")
                .arg(EventLog::FileName(m_settings.baseDir, events.first().time.date()), reason));
}

void Acquisition::publishAlarms() {
    const AlarmSnapshot snapshot = m_alarms.snapshot();
    if (snapshot == m_snapshot)
        return;
    m_snapshot = snapshot;
    emit alarmsChanged(snapshot);
}
