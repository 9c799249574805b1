#include "AlarmLook.h"

#include <QGroupBox>

namespace {

constexpr const char* kRed = "#d00000";

QString Sheet(const QGroupBox* box, bool frame, const QString& title) {
    const QString self = box->objectName().isEmpty()
                             ? QStringLiteral("QGroupBox")
                             : QStringLiteral("QGroupBox#") + box->objectName();
    // The rules name the box alone, so the labels and panels inside keep their palettes.
    const QString border = frame ? QStringLiteral("2px solid %1").arg(QLatin1String(kRed))
                                 : QStringLiteral("1px solid palette(mid)");
    return QStringLiteral("%1 { border: %2; border-radius: 3px; margin-top: 7px; }"
                          "%1::title { subcontrol-origin: margin; left: 8px; padding: 0 2px; %3 }")
        .arg(self, border, title);
}

} // namespace

bool AlarmLook::Blinks(AlarmState state) {
    return IsAlarmUnacknowledged(state);
}

void AlarmLook::Apply(QGroupBox* box, AlarmState state, bool blinkOn) {
    const QString red = QLatin1String(kRed);
    QString sheet;
    switch (state) {
    case AlarmState::ActiveUnacknowledged:
        sheet = Sheet(box, true,
                      blinkOn ? QStringLiteral("color: white; background: %1;").arg(red)
                              : QStringLiteral("color: %1;").arg(red));
        break;
    case AlarmState::ActiveAcknowledged:
        sheet = Sheet(box, true, QStringLiteral("color: %1;").arg(red));
        break;
    case AlarmState::ReturnedUnacknowledged:
        sheet = Sheet(box, false, blinkOn ? QStringLiteral("color: %1;").arg(red) : QString());
        break;
    case AlarmState::Normal:
        break;
    }
    // Setting a sheet re-polishes the box and all inside it; a blink that did not change the
    // look must not cost that every half second.
    if (box->styleSheet() != sheet)
        box->setStyleSheet(sheet);
    box->setProperty("alarmState", int(state));
}
