#include "AlarmEngine.h"

#include <algorithm>
#include <cmath>

namespace {

int Rank(AlarmState s) {
    switch (s) {
    case AlarmState::ActiveUnacknowledged:
        return 3;
    case AlarmState::ReturnedUnacknowledged:
        return 2;
    case AlarmState::ActiveAcknowledged:
        return 1;
    case AlarmState::Normal:
        break;
    }
    return 0;
}

} // namespace

AlarmState AlarmSnapshot::worst(int address) const {
    AlarmState w = AlarmState::Normal;
    for (const Entry& e : alarms[address]) {
        if (Rank(e.state) > Rank(w))
            w = e.state;
    }
    return w;
}

QString AlarmStatusText(const AlarmEvent& event) {
    QString text;
    if (event.address > 0)
        text = QStringLiteral("仪表%1 ").arg(event.address);
    text += event.text;
    if (!event.value.isEmpty())
        text += QLatin1Char(' ') + event.value;
    if (!event.limit.isEmpty())
        text += QStringLiteral(" (限值 %1)").arg(event.limit);
    text += QLatin1Char(' ') + event.time.toString(QStringLiteral("HH:mm:ss"));
    return text;
}

double AlarmEngine::LastDigitStep(const QString& panelText) {
    const QString t = panelText.trimmed();
    double dummy = 0;
    if (!ParseAlarmNumber(t, &dummy))
        return 1;
    const qsizetype point = t.indexOf(QLatin1Char('.'));
    const qsizetype decimals = point < 0 ? 0 : t.size() - point - 1;
    return std::pow(10.0, -double(decimals));
}

double AlarmEngine::Deadband(double limit, const QString& panelText) {
    return std::max(0.01 * std::fabs(limit), LastDigitStep(panelText));
}

QString AlarmEngine::RaiseText(AlarmKind kind) {
    switch (kind) {
    case PresHighAlarm:
        return EventText::PresHigh;
    case PresLowAlarm:
        return EventText::PresLow;
    case TempHighAlarm:
        return EventText::TempHigh;
    case TempLowAlarm:
        return EventText::TempLow;
    case SilentAlarm:
        break;
    }
    return EventText::Silent;
}

QString AlarmEngine::ReturnText(AlarmKind kind) {
    switch (kind) {
    case PresHighAlarm:
    case PresLowAlarm:
        return EventText::PresBack;
    case TempHighAlarm:
    case TempLowAlarm:
        return EventText::TempBack;
    case SilentAlarm:
        break;
    }
    return EventText::SilentBack;
}

void AlarmEngine::setLimits(const AlarmLimits& limits) {
    m_limits = limits;
    for (int n = 1; n <= AlarmLimits::kInstruments; ++n) {
        for (int k = 0; k < AlarmLimits::kTables; ++k) {
            if (!limits.table(k)[n].on)
                clear(n, AlarmKind(k));
        }
        if (limits.silentSeconds() == 0)
            clear(n, SilentAlarm);
    }
}

void AlarmEngine::clear(int address, AlarmKind kind) {
    m_alarms[address][kind] = Alarm{};
}

void AlarmEngine::raise(int address, AlarmKind kind, const AlarmEvent& event,
                        QList<AlarmEvent>& out) {
    Alarm& a = m_alarms[address][kind];
    a.state = AlarmState::ActiveUnacknowledged;
    a.raised = event;
    a.order = ++m_raiseCount;
    out.append(event);
}

void AlarmEngine::returned(const QDateTime& time, int address, AlarmKind kind, const QString& value,
                           const QString& limit, QList<AlarmEvent>& out) {
    Alarm& a = m_alarms[address][kind];
    if (a.state == AlarmState::ActiveUnacknowledged)
        a.state = AlarmState::ReturnedUnacknowledged;
    else
        a = Alarm{};
    out.append({time, address, ReturnText(kind), value, limit});
}

void AlarmEngine::checkLimit(const QDateTime& time, int address, AlarmKind kind, float value,
                             const QString& text, QList<AlarmEvent>& out) {
    const AlarmLimit& limit = m_limits.table(kind)[address];
    if (!limit.on)
        return;
    const bool high = kind == PresHighAlarm || kind == TempHighAlarm;
    double v = 0;
    if (!ParseAlarmNumber(text, &v))
        v = double(value);
    const Alarm& a = m_alarms[address][kind];
    if (IsAlarmActive(a.state)) {
        const double band = Deadband(limit.value, text);
        // The comparison allows for the float of a value with no readable text.
        const double slack = 1e-9 * std::max(1.0, std::fabs(limit.value));
        if (high ? v <= limit.value - band + slack : v >= limit.value + band - slack)
            returned(time, address, kind, text, limit.text, out);
    } else if (high ? v > limit.value : v < limit.value) {
        raise(address, kind, {time, address, RaiseText(kind), text, limit.text}, out);
    }
}

QList<AlarmEvent> AlarmEngine::feed(const AlarmCycle& cycle) {
    QList<AlarmEvent> out;
    qint64 elapsed = 0;
    if (m_lastCycle.isValid() && cycle.time.isValid())
        elapsed = std::max<qint64>(0, m_lastCycle.msecsTo(cycle.time));
    m_lastCycle = cycle.time;
    const int silentSeconds = m_limits.silentSeconds();

    for (int n = 1; n <= AlarmLimits::kInstruments; ++n) {
        const AlarmReading& r = cycle.at[n];
        if (!r.on) {
            if (m_wasOn[n]) {
                for (int k = 0; k < kAlarmKinds; ++k)
                    clear(n, AlarmKind(k));
            }
            m_wasOn[n] = false;
            m_silentMs[n] = 0;
            continue;
        }
        if (!m_wasOn[n])
            m_silentMs[n] = 0;
        else if (!cycle.paused)
            m_silentMs[n] += elapsed;
        m_wasOn[n] = true;

        if (r.presValid || r.tempValid) {
            m_silentMs[n] = 0;
            if (IsAlarmActive(m_alarms[n][SilentAlarm].state))
                returned(cycle.time, n, SilentAlarm, {}, m_limits.Silent.text, out);
        } else if (silentSeconds > 0 && !cycle.paused &&
                   m_silentMs[n] >= qint64(silentSeconds) * 1000 &&
                   !IsAlarmActive(m_alarms[n][SilentAlarm].state)) {
            raise(n, SilentAlarm, {cycle.time, n, EventText::Silent, {}, m_limits.Silent.text},
                  out);
        }
        if (r.presValid) {
            checkLimit(cycle.time, n, PresHighAlarm, r.pres, r.presText, out);
            checkLimit(cycle.time, n, PresLowAlarm, r.pres, r.presText, out);
        }
        if (r.tempValid) {
            checkLimit(cycle.time, n, TempHighAlarm, r.temp, r.tempText, out);
            checkLimit(cycle.time, n, TempLowAlarm, r.temp, r.tempText, out);
        }
    }
    return out;
}

QList<AlarmEvent> AlarmEngine::acknowledge(const QDateTime& time, int address, AlarmKind kind) {
    if (address < 1 || address > AlarmLimits::kInstruments || kind < 0 || kind >= kAlarmKinds)
        return {};
    Alarm& a = m_alarms[address][kind];
    if (!IsAlarmUnacknowledged(a.state))
        return {};
    const AlarmEvent event{time, address, EventText::Acknowledged, a.raised.value, a.raised.limit};
    if (a.state == AlarmState::ActiveUnacknowledged)
        a.state = AlarmState::ActiveAcknowledged;
    else
        a = Alarm{};
    return {event};
}

QList<AlarmEvent> AlarmEngine::acknowledgeAll(const QDateTime& time) {
    QList<AlarmEvent> out;
    for (int n = 1; n <= AlarmLimits::kInstruments; ++n) {
        for (int k = 0; k < kAlarmKinds; ++k)
            out += acknowledge(time, n, AlarmKind(k));
    }
    return out;
}

AlarmSnapshot AlarmEngine::snapshot() const {
    AlarmSnapshot s;
    qint64 newest = 0;
    for (int n = 1; n <= AlarmLimits::kInstruments; ++n) {
        for (int k = 0; k < kAlarmKinds; ++k) {
            const Alarm& a = m_alarms[n][k];
            s.alarms[n][k] = {a.state, a.raised};
            if (IsAlarmUnacknowledged(a.state)) {
                s.anyUnacknowledged = true;
                if (a.order > newest) {
                    newest = a.order;
                    s.newestUnacknowledged = a.raised;
                }
            }
        }
    }
    return s;
}
