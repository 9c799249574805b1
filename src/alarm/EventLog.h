#pragma once

#include "AlarmEvent.h"

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>

// The event log: one file a day, <baseDir>/Events/yyyy/mm/dd.csv beside Data/, GBK, CR LF,
// header "时间,仪表,事件,数值,限值", one whole row per event flushed to the device, the day
// chosen by the event's own time. Opened for one append and closed again.
class EventLog {
  public:
    explicit EventLog(QString baseDir) : m_baseDir(std::move(baseDir)) {}

    static QString FileName(const QString& baseDir, const QDate& day);
    static QByteArray Header();
    // The row in GBK without its line end. A comma or line break inside a field would split
    // the row, so each becomes a blank.
    static QByteArray ComposeRow(const AlarmEvent& event);
    // The rows of a day, newest (last written) first. Lines that are not whole rows (a torn
    // row, the header) are skipped. A missing file is an empty day, not an error.
    static QList<AlarmEvent> ReadDay(const QString& baseDir, const QDate& day,
                                     QString* error = nullptr);
    static bool ParseRow(const QByteArray& line, AlarmEvent* event);

    // Appends the events in order; stops at the first that fails and returns false with the
    // system's reason. The caller logs `数据记录失败` the way it reports the daily record's.
    bool append(const QList<AlarmEvent>& events, QString* reason = nullptr);
    bool append(const AlarmEvent& event, QString* reason = nullptr);

  private:
    QString m_baseDir;
};
