#include "PollCycle.h"

#include "Protocol.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

// Blanks and control characters at either end, as a row must not carry them.
QString TrimRow(const QString& row) {
    qsizetype begin = 0;
    qsizetype end = row.size();
    while (begin < end && row.at(begin).unicode() <= 0x20)
        ++begin;
    while (end > begin && row.at(end - 1).unicode() <= 0x20)
        --end;
    return row.mid(begin, end - begin);
}

qint64 MsOfSecond(qint64 ms) {
    return ((ms % 1000) + 1000) % 1000;
}

// The moment a row that could be composed at `earliest` is composed: at once while that falls
// early enough in its second, otherwise kRowOffsetMs into the second that follows.
qint64 RowMoment(qint64 earliest) {
    const qint64 ms = MsOfSecond(earliest);
    if (ms >= PollCycle::kRowOffsetMs && ms <= PollCycle::kLateRowMs)
        return earliest;
    return earliest - ms + (ms < PollCycle::kRowOffsetMs ? 0 : 1000) + PollCycle::kRowOffsetMs;
}

} // namespace

PollCycle::PollCycle(SharedState& state, CycleDisplay& display, QString baseDir, Clock clock,
                     Scheduler& scheduler, PortFn port, ErrorFn showError)
    : m_state(state), m_display(display), m_baseDir(std::move(baseDir)), m_clock(std::move(clock)),
      m_scheduler(scheduler), m_port(std::move(port)), m_showError(std::move(showError)) {}

Port* PollCycle::openPort() const {
    Port* port = m_port ? m_port() : nullptr;
    return port && port->isOpen() ? port : nullptr;
}

// The instruments the next cycle polls: the switches as they stand (a running cycle keeps its
// own copy of those it started with).
int PollCycle::pollCount() const {
    if (m_state.PortBusy)
        return 0;
    int count = 0;
    for (int n = 1; n <= SharedState::kInstruments; ++n)
        count += m_display.isSwitchedOn(n) ? 1 : 0;
    return count;
}

qint64 PollCycle::estimatedPollMs(int instruments) const {
    return qint64(instruments * m_perInstrumentMs + 0.5);
}

qint64 PollCycle::leadMs(qint64 pollMs) const {
    return std::clamp<qint64>(1000 - kSpareMs - pollMs, 0, kLeadMs);
}

bool PollCycle::tick() {
    if (m_running) {
        m_tickDue = true;
        return false;
    }
    const QDateTime start = m_clock();
    const qint64 now = start.toMSecsSinceEpoch();
    m_dailyFileName = DailyFileName(m_baseDir, start.date());

    // Both ends: a wheel zoom must not keep its minimum and hide low temperatures for good.
    m_display.setAxisRange(CycleDisplay::Right, 0, SharedState::TempAxisMax(m_state.TempFull));

    m_running = true;
    // A record switch changed while the cycle runs takes effect after it, as with a tick
    // that blocked the menus: every step works from the switches as they stand now.
    for (int n = 1; n <= SharedState::kInstruments; ++n)
        m_on[n] = m_display.isSwitchedOn(n);
    m_anyOn = false;
    m_polled = 0;
    m_startMs = now;
    m_outcome = Outcome{};
    m_outcome.on = m_on;
    m_rowMs = RowMoment(now + estimatedPollMs(pollCount()));
    if (!openPort()) {
        end(true);
        return true;
    }
    poll(1, '3');
    return true;
}

// Requests from instrument `address` on, starting with `command`; each write is followed by a
// pause step, after which polling resumes with the next request.
void PollCycle::poll(int address, char command) {
    for (int n = address; n <= SharedState::kInstruments; ++n, command = '3') {
        if (command == '3') {
            if (!m_on[n]) {
                m_state.PresValue[n] = 0;
                m_display.setPanelText(n, CycleDisplay::Pressure, QStringLiteral("0.0"));
                m_state.TempValue[n] = 0;
                m_display.setPanelText(n, CycleDisplay::Temperature, QStringLiteral("0.0"));
                continue;
            }
            m_anyOn = true;
            if (m_state.PortBusy)
                continue;
            ++m_polled;
        }
        Port* port = openPort();
        if (!port) {
            // The line went away under the cycle: as with no port, nothing is shown or recorded.
            end(true);
            return;
        }
        // A failed or timed-out write is not an error here: the instrument just stays silent.
        port->write(BuildPollRequest(n, command));
        const int next = command == '3' ? n : n + 1;
        const char nextCommand = command == '3' ? '4' : '3';
        later(kPauseMs, [this, next, nextCommand] { poll(next, nextCommand); });
        return;
    }

    const qint64 now = m_clock().toMSecsSinceEpoch();
    // Two requests and their pauses take at least 100 ms; a machine that slept meanwhile
    // must not make the next ticks start seconds early.
    if (m_polled > 0)
        m_perInstrumentMs = std::clamp(double(now - m_startMs) / m_polled, 100.0, 1000.0);
    if (!m_anyOn) {
        collect();
        return;
    }
    // A clock set back meanwhile must not hold the row for as long as it went back.
    if (now > m_rowMs || m_rowMs - now > kMaxWaitMs)
        m_rowMs = RowMoment(now);
    // Never a second row in one second, whatever brought this cycle so close to the last.
    const qint64 nextFree = (m_lastRowSecond + 1) * 1000 + kRowOffsetMs;
    if (m_rowMs < nextFree && nextFree - now <= kMaxWaitMs)
        m_rowMs = nextFree;
    if (m_rowMs > now)
        later(int(m_rowMs - now), [this] { collect(); });
    else
        collect();
}

void PollCycle::collect() {
    // The yellow of the requests goes up in the step that takes the replies, so no repaint
    // falls between them: only an instrument that did not answer is ever seen yellow.
    for (int n = 1; n <= SharedState::kInstruments; ++n) {
        if (m_on[n]) {
            m_display.setPanelColor(n, CycleDisplay::Pressure, kYellow);
            m_display.setPanelColor(n, CycleDisplay::Temperature, kYellow);
        }
    }
    QString error;
    bool complete = true;
    if (!m_state.PortBusy) {
        Port* port = openPort();
        if (!port) {
            end(true);
            return;
        }
        m_outcome.asked = true;
        complete = takeReplies(*port, &error);
    }
    if (complete) {
        if (!m_anyOn || m_state.HistoryOpen)
            resetChart();
        // The history window no longer stops the record: only the main chart stays empty.
        if (m_anyOn)
            complete = record(&error);
    }
    end(complete, error);
}

bool PollCycle::takeReplies(Port& port, QString* error) {
    QByteArray buffer(kBufferSize, '\0');
    const QByteArray received = port.read(kBufferSize);
    std::memcpy(buffer.data(), received.constData(),
                static_cast<size_t>(std::min<qsizetype>(received.size(), kBufferSize)));

    try {
        for (const QByteArray& window : FindReplies(buffer)) {
            const Reading reading = DecodeReading(window);
            if (reading.address < 1 || reading.address > SharedState::kInstruments)
                continue;
            CycleDisplay::Quantity quantity;
            if (reading.command == '3') {
                quantity = CycleDisplay::Pressure;
                m_state.PresValue[reading.address] = reading.value;
                m_outcome.presAnswered[reading.address] = true;
            } else if (reading.command == '4') {
                quantity = CycleDisplay::Temperature;
                m_state.TempValue[reading.address] = reading.value;
                m_outcome.tempAnswered[reading.address] = true;
            } else {
                continue;
            }
            const QString text = FormatReading(reading.value, reading.decimalCode);
            if (!text.isEmpty())
                m_display.setPanelText(reading.address, quantity, text);
            m_display.setPanelColor(reading.address, quantity, kGreen);
        }
    } catch (const ConversionError& e) {
        *error = QString::fromUtf8(e.what());
        return false;
    }
    return true;
}

void PollCycle::resetChart() {
    m_display.setAxisMinimum(CycleDisplay::Bottom, 0);
    m_display.setAxisMaximum(CycleDisplay::Bottom, kPageWidth);
    m_state.PointCount = 0;
    for (int series = 1; series <= 2 * SharedState::kInstruments; ++series)
        m_display.clearSeries(series);
}

// Composes and appends the row and, unless the history window is open, plots its points.
// A failed append is shown once per fault: the error comes back only for the first failure
// after a row was written.
bool PollCycle::record(QString* error) {
    m_lastRowSecond = m_clock().toMSecsSinceEpoch() / 1000;
    QString row = ComposeRecordRow(m_clock);
    // A row goes into the file of the day its time names: rows are composed early in their
    // second by a tick that started late in the second before, so the first row of a day
    // would otherwise always land in the previous day's file, where no query looks for it.
    const QDate rowDay = QDate::fromString(row.section(QLatin1Char(','), 1, 1).left(10),
                                           QStringLiteral("yyyy-MM-dd"));
    if (rowDay.isValid())
        m_dailyFileName = DailyFileName(m_baseDir, rowDay);
    const bool plot = !m_state.HistoryOpen;

    if (plot) {
        ++m_state.PointCount;
        if (m_state.PointCount % kPageWidth == 0) {
            m_display.setAxisMaximum(CycleDisplay::Bottom, m_state.PointCount + kPageWidth);
            m_display.setAxisMinimum(CycleDisplay::Bottom, m_state.PointCount);
        }
    }

    constexpr int temperatureSeries = SharedState::kInstruments;
    for (int n = 1; n <= SharedState::kInstruments; ++n) {
        row += m_display.panelText(n, CycleDisplay::Pressure) + QLatin1Char(',');
        row += m_display.panelText(n, CycleDisplay::Temperature) + QLatin1Char(',');
        if (!plot)
            continue;
        m_display.setSeriesPen(n, m_state.LineWidthPress[n], m_state.LineColorPress[n]);
        m_display.setSeriesPen(n + temperatureSeries, m_state.LineWidthTemp[n],
                               m_state.LineColorTemp[n]);
        m_display.appendPoint(n, m_state.PresValue[n]);
        m_display.appendPoint(n + temperatureSeries, m_state.TempValue[n]);
    }

    QString reason;
    if (!AppendRecordRow(m_dailyFileName, TrimRow(row), &reason)) {
        if (m_recordFaultReason.isEmpty())
            *error = reason;
        if (reason != m_recordFaultReason)
            m_display.setRecordFault(reason);
        m_recordFaultReason = reason;
        return false;
    }
    if (!m_recordFaultReason.isEmpty()) {
        m_recordFaultReason.clear();
        m_display.setRecordFault({});
    }
    return true;
}

void PollCycle::end(bool setPressureAxis, const QString& error) {
    if (setPressureAxis)
        m_display.setAxisRange(CycleDisplay::Left, m_state.PresY0, m_state.PresYn);
    m_running = false;
    if (std::exchange(m_tickDue, false))
        later(0, [this] { tick(); });
    if (!error.isEmpty())
        showError(error);
    if (m_finished)
        m_finished();
    const QList<std::function<void()>> actions = std::exchange(m_afterCycle, {});
    for (const auto& action : actions)
        action();
}

void PollCycle::runAfterCycle(std::function<void()> action) {
    if (m_running)
        m_afterCycle << std::move(action);
    else
        action();
}

PollCycle::TickPlan PollCycle::plan() const {
    TickPlan p;
    p.now = m_clock().toMSecsSinceEpoch();
    const qint64 rowMs = m_rowMs != 0 ? m_rowMs : RowMoment(p.now);
    const qint64 pollMs = estimatedPollMs(pollCount());
    p.delay = rowMs + 1000 - pollMs - leadMs(pollMs) - p.now;
    // Planned afresh between cycles (more instruments switched on, the port back from a
    // dialog), the next second's row may still be had by starting at once.
    const qint64 nextSecond = rowMs - MsOfSecond(rowMs) + 1000;
    p.inTimeNow = !m_running && p.now + pollMs <= nextSecond + kLateRowMs - kSpareMs;
    return p;
}

bool PollCycle::nextRowInTime() const {
    const TickPlan p = plan();
    return p.delay >= 0 || p.inTimeNow;
}

int PollCycle::msToNextTick() const {
    const TickPlan p = plan();
    // A tick met by a running cycle, or a step of the clock, lands on the next second that
    // fits instead of firing at once or much later.
    constexpr qint64 kMin = 200;
    if (p.delay < kMin && p.inTimeNow)
        return int(std::max<qint64>(p.delay, 0));
    if (p.delay < kMin || p.delay > kMin + 2000)
        return int(kMin + MsOfSecond(p.delay - kMin));
    return int(p.delay);
}

void PollCycle::later(int ms, std::function<void()> step) {
    std::weak_ptr<int> alive = m_alive;
    m_scheduler.after(ms, [alive, step = std::move(step)] {
        if (alive.lock())
            step();
    });
}

void PollCycle::showError(const QString& text) {
    if (m_errorShowing || !m_showError)
        return;
    // Reset even if the sink throws, or no error would ever be shown again.
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{m_errorShowing};
    m_errorShowing = true;
    m_showError(text);
}
