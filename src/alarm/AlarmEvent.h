#pragma once

#include <QDateTime>
#include <QMetaType>
#include <QString>

// One row of the event log: what happened, when, at which instrument (0 for the whole program),
// with the value as the panel showed it and the limit as set, each empty where it does not apply.
struct AlarmEvent {
    QDateTime time;
    int address = 0;
    QString text;
    QString value;
    QString limit;

    bool operator==(const AlarmEvent&) const = default;
};
Q_DECLARE_METATYPE(AlarmEvent)

// The texts of the event log; the operator and other programs read them, so they never change.
namespace EventText {
inline const QString PresHigh = QStringLiteral("压力超上限");
inline const QString PresLow = QStringLiteral("压力超下限");
inline const QString TempHigh = QStringLiteral("温度超上限");
inline const QString TempLow = QStringLiteral("温度超下限");
inline const QString Silent = QStringLiteral("仪表无应答");
inline const QString PresBack = QStringLiteral("压力恢复正常");
inline const QString TempBack = QStringLiteral("温度恢复正常");
inline const QString SilentBack = QStringLiteral("仪表恢复应答");
inline const QString Acknowledged = QStringLiteral("报警确认");
inline const QString LineLost = QStringLiteral("通讯中断");
inline const QString LineBack = QStringLiteral("通讯恢复");
inline const QString RecordFailed = QStringLiteral("数据记录失败");
inline const QString RecordBack = QStringLiteral("数据记录恢复");
inline const QString WroteFullScale = QStringLiteral("写入压力满量程");
inline const QString WroteRelay = QStringLiteral("写入主继电器输出");
inline const QString ProgramStart = QStringLiteral("程序启动");
inline const QString ProgramExit = QStringLiteral("程序退出");
} // namespace EventText
