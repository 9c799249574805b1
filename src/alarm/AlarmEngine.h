#pragma once

#include "AlarmEvent.h"
#include "AlarmLimits.h"
#include "AlarmSnapshot.h"

#include <QDateTime>
#include <QList>
#include <array>

// One instrument as the polling cycle left it, after the replies were taken.
struct AlarmReading {
    bool on = false;        // switched on in this cycle
    bool presValid = false; // a valid pressure reply came in this cycle
    float pres = 0;         // PresValue
    QString presText;       // the pressure panel's text
    bool tempValid = false;
    float temp = 0;
    QString tempText;
};

struct AlarmCycle {
    QDateTime time; // the cycle's local time
    // Nothing was asked this cycle: PortBusy was set, or the port was not open. Silence then
    // means nothing, so the communication alarm's count stands still.
    bool paused = false;
    std::array<AlarmReading, 9> at{}; // [address 1..8]
};

// Watches the limits of config.ini over the polling cycle's readings and says what to log.
// Pure logic, no clock of its own: it lives on the acquisition thread and is fed once a cycle.
//
// Crossing: a reading strictly above its high limit (below its low limit) raises the alarm at
// once. The reading compared is the panel's text read as a number when it reads as one, so a
// panel that shows exactly the limit is at the limit, not beyond it by a float's rounding.
//
// Deadband: a raised limit alarm returns only when the reading is back inside by
// max(1 % of the limit's magnitude, one step of the panel's last digit): with a high limit of
// 12.5 and a panel of two decimals, a reading of 12.37 returns it, 12.38 does not. A value
// that hovers at the limit therefore raises one alarm, not one a second.
//
// Silent: the seconds since the last valid reply (either value) of a switched-on instrument,
// counted over cycles that asked (not paused) from the later of that reply and the switching
// on. At Silent seconds `仪表无应答` rises; the first valid reply returns it.
//
// Latching: a raised alarm stays until it is acknowledged, also after it returned (the four
// states of AlarmState). A returned alarm that crosses again is raised afresh.
//
// Switching an instrument off ends all its alarms silently: the operator chose to stop
// watching it, so neither returns nor acknowledgements are logged.
class AlarmEngine {
  public:
    AlarmEngine() = default;
    explicit AlarmEngine(const AlarmLimits& limits) : m_limits(limits) {}

    // New limits take effect at the next cycle. An alarm whose limit was switched off ends
    // silently, like one of an instrument switched off.
    void setLimits(const AlarmLimits& limits);
    const AlarmLimits& limits() const { return m_limits; }

    // Returns the events to log for this cycle, in address order.
    QList<AlarmEvent> feed(const AlarmCycle& cycle);

    // `报警确认` for one alarm that is unacknowledged, with its raising value and limit;
    // nothing when there is none. An active alarm becomes acknowledged; a returned one normal.
    QList<AlarmEvent> acknowledge(const QDateTime& time, int address, AlarmKind kind);
    QList<AlarmEvent> acknowledgeAll(const QDateTime& time);

    AlarmSnapshot snapshot() const;

    // One step of the panel's last digit: 0.01 for "12.34", 1 for "12", 1 for unreadable text.
    static double LastDigitStep(const QString& panelText);
    static double Deadband(double limit, const QString& panelText);
    static QString RaiseText(AlarmKind kind);
    static QString ReturnText(AlarmKind kind);

  private:
    struct Alarm {
        AlarmState state = AlarmState::Normal;
        AlarmEvent raised;
        qint64 order = 0; // when raised, for the newest
    };

    void raise(int address, AlarmKind kind, const AlarmEvent& event, QList<AlarmEvent>& out);
    void clear(int address, AlarmKind kind);
    void checkLimit(const QDateTime& time, int address, AlarmKind kind, float value,
                    const QString& text, QList<AlarmEvent>& out);
    void returned(const QDateTime& time, int address, AlarmKind kind, const QString& value,
                  const QString& limit, QList<AlarmEvent>& out);

    AlarmLimits m_limits;
    std::array<std::array<Alarm, kAlarmKinds>, 9> m_alarms{};
    std::array<bool, 9> m_wasOn{};
    std::array<qint64, 9> m_silentMs{};
    QDateTime m_lastCycle;
    qint64 m_raiseCount = 0;
};
