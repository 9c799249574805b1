#pragma once

#include <QString>
#include <QStringList>
#include <array>

// One limit as config.ini holds it. text is the entry as written (trimmed), kept also when it
// does not read as a number, so the settings dialog can show the operator what is there; on
// is true only for a number.
struct AlarmLimit {
    QString text;
    bool on = false;
    double value = 0;

    bool operator==(const AlarmLimit&) const = default;
};

// The [Alarm] section: limits per instrument address 1..8 (index 0 unused) in the unit the
// panel shows, and Silent, the seconds a switched-on instrument may go without a valid reply
// before its communication alarm rises (0: off).
struct AlarmLimits {
    static constexpr int kInstruments = 8;
    using PerAddress = std::array<AlarmLimit, kInstruments + 1>;

    PerAddress PresHigh;
    PerAddress PresLow;
    PerAddress TempHigh;
    PerAddress TempLow;
    AlarmLimit Silent;

    // The four tables by index in the order of AlarmKind: PresHigh, PresLow, TempHigh, TempLow.
    static constexpr int kTables = 4;
    PerAddress& table(int k) {
        return k == 0 ? PresHigh : k == 1 ? PresLow : k == 2 ? TempHigh : TempLow;
    }
    const PerAddress& table(int k) const {
        return k == 0 ? PresHigh : k == 1 ? PresLow : k == 2 ? TempHigh : TempLow;
    }

    // Silent in whole seconds, 0 when off.
    int silentSeconds() const { return Silent.on ? int(Silent.value) : 0; }
    bool operator==(const AlarmLimits&) const = default;
};

// A decimal number as a panel shows it: optional sign, digits, optional point and digits
// ("12.5", "-3", "0.125", ".5"); blanks around it are allowed. No exponent, no hex, no
// thousands separator, no "inf" or "nan": a limit must mean what it reads as.
bool ParseAlarmNumber(const QString& text, double* value);
// Whole seconds for Silent, 0..kMaxSilentSeconds.
constexpr int kMaxSilentSeconds = 86400;
bool ParseSilentSeconds(const QString& text, int* seconds);

// Reads the 33 keys of [Alarm]. A missing or empty key is off. A key whose text does not read
// as a number (or Silent outside 0..86400 whole seconds) is off too and its name is added
// to *badKeys, so the caller can say so once.
AlarmLimits ReadAlarmLimits(const QString& configPath, QStringList* badKeys = nullptr);

// The status-line text for keys ReadAlarmLimits found unreadable, empty when there are none.
QString BadAlarmKeysText(const QStringList& badKeys);

// Writes the keys whose text differs from what config.ini holds now (an off limit as an empty
// value), so a file without [Alarm] stays byte for byte the same unless a limit is set.
// Returns false when a write fails.
bool WriteAlarmLimits(const QString& configPath, const AlarmLimits& limits);

// The key name of a limit: "PresHigh3" and the like.
QString AlarmKey(const QString& prefix, int address);
