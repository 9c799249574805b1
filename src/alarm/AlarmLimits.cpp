#include "AlarmLimits.h"

#include "Ini.h"

#include <QRegularExpression>
#include <cmath>

namespace {

const QString kSection = QStringLiteral("Alarm");

template <typename Limits, typename Fn> void ForEachKey(Limits& limits, Fn fn) {
    static const char* const prefixes[] = {"PresHigh", "PresLow", "TempHigh", "TempLow"};
    for (int t = 0; t < AlarmLimits::kTables; ++t) {
        for (int n = 1; n <= AlarmLimits::kInstruments; ++n)
            fn(AlarmKey(QString::fromLatin1(prefixes[t]), n), limits.table(t)[n]);
    }
    fn(QStringLiteral("Silent"), limits.Silent);
}

} // namespace

bool ParseAlarmNumber(const QString& text, double* value) {
    static const QRegularExpression pattern(QStringLiteral("^[+-]?(\\d+(\\.\\d*)?|\\.\\d+)$"));
    const QString trimmed = text.trimmed();
    if (!pattern.match(trimmed).hasMatch())
        return false;
    bool ok = false;
    const double v = trimmed.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return false;
    if (value)
        *value = v;
    return true;
}

bool ParseSilentSeconds(const QString& text, int* seconds) {
    static const QRegularExpression pattern(QStringLiteral("^\\+?\\d{1,9}$"));
    const QString trimmed = text.trimmed();
    if (!pattern.match(trimmed).hasMatch())
        return false;
    const int v = trimmed.toInt();
    if (v > kMaxSilentSeconds)
        return false;
    if (seconds)
        *seconds = v;
    return true;
}

QString AlarmKey(const QString& prefix, int address) {
    return prefix + QString::number(address);
}

AlarmLimits ReadAlarmLimits(const QString& configPath, QStringList* badKeys) {
    AlarmLimits limits;
    ForEachKey(limits, [&](const QString& key, AlarmLimit& limit) {
        limit.text = IniReadString(configPath, kSection, key).trimmed();
        if (limit.text.isEmpty())
            return;
        if (key == QLatin1String("Silent")) {
            int seconds = 0;
            if (ParseSilentSeconds(limit.text, &seconds)) {
                limit.value = seconds;
                limit.on = seconds > 0;
            } else if (badKeys) {
                badKeys->append(key);
            }
            return;
        }
        limit.on = ParseAlarmNumber(limit.text, &limit.value);
        if (!limit.on && badKeys)
            badKeys->append(key);
    });
    return limits;
}

QString BadAlarmKeysText(const QStringList& badKeys) {
    if (badKeys.isEmpty())
        return {};
    return QStringLiteral("config.ini 的 [Alarm] 中 %1 不是有效数字，该报警未启用")
        .arg(badKeys.join(QStringLiteral("、")));
}

bool WriteAlarmLimits(const QString& configPath, const AlarmLimits& limits) {
    bool ok = true;
    ForEachKey(limits, [&](const QString& key, const AlarmLimit& limit) {
        const QString text = limit.text.trimmed();
        if (IniReadString(configPath, kSection, key).trimmed() == text)
            return;
        ok = IniWriteString(configPath, kSection, key, text) && ok;
    });
    return ok;
}
