#pragma once

#include <QByteArray>
#include <QDate>
#include <QRandomGenerator>
#include <QString>
#include <QTime>
#include <algorithm>

// A recorder's whole day as its file holds it: a header row in GBK, then one row a second.
// The first `on` instruments wander from a fixed seed, so every run reads the same bytes;
// the rest read 0.0 as the recorder writes switched-off instruments.
inline QByteArray RecorderDay(QDate day, int on) {
    QByteArray out("\xCA\xFD\xBE\xDD\xB1\xE0\xBA\xC5,\xCA\xB1\xBC\xE4,");
    for (int n = 1; n <= 8; ++n)
        out += "\xD1\xB9\xC1\xA6" + QByteArray::number(n) + ",\xCE\xC2\xB6\xC8" +
               QByteArray::number(n) + ",";
    out += "\r\n";
    out.reserve(12 << 20);
    QRandomGenerator random(20240315);
    double pressure[8], temperature[8];
    for (int i = 0; i < 8; ++i) {
        pressure[i] = 5 + 5 * i;
        temperature[i] = 20 + i;
    }
    const long long dayStart = QDate(1970, 1, 1).daysTo(day) * 86400;
    const QByteArray date = day.toString(QStringLiteral("yyyy-MM-dd ")).toLatin1();
    for (int s = 0; s < 86400; ++s) {
        out += QByteArray::number(dayStart + s, 16).toUpper().rightJustified(8, '0') + ',' + date +
               QTime(0, 0).addSecs(s).toString(QStringLiteral("hh:mm:ss")).toLatin1() + ',';
        for (int i = 0; i < 8; ++i) {
            if (i >= on) {
                out += "0.0,0.0,";
                continue;
            }
            pressure[i] = std::clamp(pressure[i] + random.generateDouble() * 0.1 - 0.05, 0.0, 49.0);
            temperature[i] =
                std::clamp(temperature[i] + random.generateDouble() * 0.2 - 0.1, -10.0, 39.0);
            out += QByteArray::number(pressure[i], 'f', 3) + ',' +
                   QByteArray::number(temperature[i], 'f', 1) + ',';
        }
        out += "\r\n";
    }
    return out;
}
