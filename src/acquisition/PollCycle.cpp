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

} // namespace

PollCycle::PollCycle(SharedState& state, CycleDisplay& display, QString baseDir, Clock clock,
                     PauseFn pause, ErrorFn showError)
    : m_state(state), m_display(display), m_baseDir(std::move(baseDir)), m_clock(std::move(clock)),
      m_pause(std::move(pause)), m_showError(std::move(showError)) {}

void PollCycle::tick(Port* port) {
    m_dailyFileName = DailyFileName(m_baseDir, m_clock().date());

    // Computed wide: a damaged TempFull must neither overflow nor ask for a maximum below 0.
    const qint64 tempMax = (static_cast<qint64>(m_state.TempFull) + 1) * 40;
    m_display.setAxisMaximum(CycleDisplay::Right,
                             static_cast<double>(std::max<qint64>(0, tempMax)));

    if (port && port->isOpen()) {
        const bool anySwitchedOn = poll(*port);
        if (!m_state.PortBusy && !takeReplies(*port))
            return;
        if (!anySwitchedOn || m_state.HistoryOpen) {
            resetChart();
        } else if (!record()) {
            return;
        }
    }
    m_display.setAxisRange(CycleDisplay::Left, m_state.PresY0, m_state.PresYn);
}

bool PollCycle::poll(Port& port) {
    bool anySwitchedOn = false;
    for (int n = 1; n <= SharedState::kInstruments; ++n) {
        if (m_display.isSwitchedOn(n)) {
            anySwitchedOn = true;
            m_display.setPanelColor(n, CycleDisplay::Pressure, kYellow);
            m_display.setPanelColor(n, CycleDisplay::Temperature, kYellow);
            if (m_state.PortBusy)
                continue;
            // A failed or timed-out write is not an error here: the instrument just stays silent.
            for (char command : {'3', '4'}) {
                port.write(BuildPollRequest(n, command));
                if (m_pause)
                    m_pause(kPauseMs);
            }
        } else {
            m_state.PresValue[n] = 0;
            m_display.setPanelText(n, CycleDisplay::Pressure, QStringLiteral("0.0"));
            m_state.TempValue[n] = 0;
            m_display.setPanelText(n, CycleDisplay::Temperature, QStringLiteral("0.0"));
        }
    }
    return anySwitchedOn;
}

bool PollCycle::takeReplies(Port& port) {
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
            } else if (reading.command == '4') {
                quantity = CycleDisplay::Temperature;
                m_state.TempValue[reading.address] = reading.value;
            } else {
                continue;
            }
            const QString text = FormatReading(reading.value, reading.decimalCode);
            if (!text.isEmpty())
                m_display.setPanelText(reading.address, quantity, text);
            m_display.setPanelColor(reading.address, quantity, kGreen);
        }
    } catch (const ConversionError& e) {
        showError(QString::fromUtf8(e.what()));
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

bool PollCycle::record() {
    QString row = ComposeRecordRow(m_clock);

    ++m_state.PointCount;
    if (m_state.PointCount % kPageWidth == 0) {
        m_display.setAxisMaximum(CycleDisplay::Bottom, m_state.PointCount + kPageWidth);
        m_display.setAxisMinimum(CycleDisplay::Bottom, m_state.PointCount);
    }

    constexpr int temperatureSeries = SharedState::kInstruments;
    for (int n = 1; n <= SharedState::kInstruments; ++n) {
        row += m_display.panelText(n, CycleDisplay::Pressure) + QLatin1Char(',');
        row += m_display.panelText(n, CycleDisplay::Temperature) + QLatin1Char(',');
        m_display.setSeriesPen(n, m_state.LineWidthPress[n], m_state.LineColorPress[n]);
        m_display.setSeriesPen(n + temperatureSeries, m_state.LineWidthTemp[n],
                               m_state.LineColorTemp[n]);
        m_display.appendPoint(n, m_state.PresValue[n]);
        m_display.appendPoint(n + temperatureSeries, m_state.TempValue[n]);
    }

    QString error;
    if (!AppendRecordRow(m_dailyFileName, TrimRow(row), &error)) {
        showError(error);
        return false;
    }
    return true;
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
