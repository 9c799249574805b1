#pragma once

#include "AlarmEvent.h"

#include <QMetaType>
#include <array>

// What each alarm can watch at one instrument. The values are the `kind` of the acknowledge
// callbacks, so they stay as they are.
enum AlarmKind : int { PresHighAlarm = 0, PresLowAlarm, TempHighAlarm, TempLowAlarm, SilentAlarm };
constexpr int kAlarmKinds = 5;

// The four states of alarm-management practice. Only an acknowledgement ends a latched alarm.
enum class AlarmState {
    Normal,
    ActiveUnacknowledged,   // beyond the limit, nobody has seen it: sound, blinking
    ActiveAcknowledged,     // beyond the limit, seen: steady, no sound
    ReturnedUnacknowledged, // back inside, not yet seen: still shown, still sounds
};

inline bool IsAlarmActive(AlarmState s) {
    return s == AlarmState::ActiveUnacknowledged || s == AlarmState::ActiveAcknowledged;
}
inline bool IsAlarmUnacknowledged(AlarmState s) {
    return s == AlarmState::ActiveUnacknowledged || s == AlarmState::ReturnedUnacknowledged;
}

// A plain copy of every alarm, made by the engine for the window after each change.
struct AlarmSnapshot {
    struct Entry {
        AlarmState state = AlarmState::Normal;
        AlarmEvent raised; // the event that raised it; empty while Normal
        bool operator==(const Entry&) const = default;
    };
    std::array<std::array<Entry, kAlarmKinds>, 9> alarms{}; // [address 1..8][kind]
    // The newest alarm nobody has acknowledged yet, for the status line; empty when none.
    AlarmEvent newestUnacknowledged;
    bool anyUnacknowledged = false; // the beep sounds while this holds

    const Entry& at(int address, AlarmKind kind) const { return alarms[address][kind]; }
    // The most pressing state of an instrument, for its group box: unacknowledged before
    // acknowledged, active before returned.
    AlarmState worst(int address) const;
    bool operator==(const AlarmSnapshot&) const = default;
};
Q_DECLARE_METATYPE(AlarmSnapshot)

// "仪表3 压力超上限 12.60 (限值 12.5) 10:15:02", for the status line.
QString AlarmStatusText(const AlarmEvent& event);
