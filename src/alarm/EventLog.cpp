#include "EventLog.h"

#include "DailyRecord.h"
#include "Gbk.h"

#include <QDir>
#include <QFile>
#include <algorithm>

namespace {

const QString kTimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

QString Field(QString text) {
    return text.replace(u',', u' ').replace(u'\r', u' ').replace(u'\n', u' ');
}

} // namespace

QString EventLog::FileName(const QString& baseDir, const QDate& day) {
    return QDir(baseDir).filePath(day.toString(QStringLiteral("'Events/'yyyy/MM/dd'.csv'")));
}

QByteArray EventLog::Header() {
    return GbkEncode(u"时间,仪表,事件,数值,限值");
}

QByteArray EventLog::ComposeRow(const AlarmEvent& event) {
    const QString row = event.time.toString(kTimeFormat) + u',' +
                        (event.address > 0 ? QString::number(event.address) : QString()) + u',' +
                        Field(event.text) + u',' + Field(event.value) + u',' + Field(event.limit);
    return GbkEncode(row);
}

bool EventLog::ParseRow(const QByteArray& line, AlarmEvent* event) {
    const QStringList fields = GbkDecode(line).split(u',');
    if (fields.size() != 5)
        return false;
    AlarmEvent e;
    e.time = QDateTime::fromString(fields[0], kTimeFormat);
    if (!e.time.isValid() || fields[2].isEmpty())
        return false;
    if (!fields[1].isEmpty()) {
        bool ok = false;
        e.address = fields[1].toInt(&ok);
        if (!ok || e.address < 1 || e.address > 8)
            return false;
    }
    e.text = fields[2];
    e.value = fields[3];
    e.limit = fields[4];
    *event = e;
    return true;
}

QList<AlarmEvent> EventLog::ReadDay(const QString& baseDir, const QDate& day, QString* error) {
    QFile file(FileName(baseDir, day));
    if (!file.exists())
        return {};
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return {};
    }
    const QByteArray bytes = file.readAll();
    QList<AlarmEvent> events;
    qsizetype start = 0;
    while (start < bytes.size()) {
        const qsizetype end = bytes.indexOf('\n', start);
        // A last line without its end is a row the disk took only in part.
        if (end < 0)
            break;
        QByteArray line = bytes.mid(start, end - start);
        if (line.endsWith('\r'))
            line.chop(1);
        AlarmEvent e;
        if (ParseRow(line, &e))
            events.append(e);
        start = end + 1;
    }
    std::reverse(events.begin(), events.end());
    return events;
}

bool EventLog::append(const AlarmEvent& event, QString* reason) {
    return AppendCsvLine(FileName(m_baseDir, event.time.date()), Header(), ComposeRow(event),
                         reason);
}

bool EventLog::append(const QList<AlarmEvent>& events, QString* reason) {
    for (const AlarmEvent& e : events) {
        if (!append(e, reason))
            return false;
    }
    return true;
}
