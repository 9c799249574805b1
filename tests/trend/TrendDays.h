#pragma once

#include <QByteArray>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTime>

// Day files as the recorder writes them, for the trend suites.
namespace TrendDays {

inline qint64 dayStart(QDate day) {
    return QDate(1970, 1, 1).daysTo(day) * 86400;
}

inline QByteArray header() {
    return QByteArray("\xCA\xFD\xBE\xDD\xB1\xE0\xBA\xC5,\xCA\xB1\xBC\xE4,\r\n");
}

// Instrument 1 reads `pressure` and `pressure` / 2; the others are off.
inline QByteArray row(qint64 second, double pressure) {
    const QDateTime time = QDateTime::fromSecsSinceEpoch(second, Qt::UTC);
    QByteArray out = QByteArray::number(second, 16).toUpper().rightJustified(8, '0') + ',' +
                     time.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")).toLatin1() + ',' +
                     QByteArray::number(pressure, 'f', 3) + ',' +
                     QByteArray::number(pressure / 2, 'f', 3) + ',';
    for (int i = 1; i < 8; ++i)
        out += "0.0,0.0,";
    return out + "\r\n";
}

inline QString path(const QString& base, QDate day) {
    return QDir(base).filePath(day.toString(QStringLiteral("'Data'/yyyy/MM/dd'.csv'")));
}

inline bool write(const QString& base, QDate day, const QByteArray& bytes,
                  QIODevice::OpenMode mode = QIODevice::WriteOnly | QIODevice::Truncate) {
    const QString file = path(base, day);
    QDir().mkpath(QFileInfo(file).absolutePath());
    QFile f(file);
    return f.open(mode) && f.write(bytes) == bytes.size();
}

} // namespace TrendDays
