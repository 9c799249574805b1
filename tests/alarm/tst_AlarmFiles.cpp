#include "AlarmLimits.h"
#include "EventLog.h"
#include "FileBytes.h"
#include "Gbk.h"
#include "Ini.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

namespace {

bool WriteAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).absolutePath()) && file.open(QIODevice::WriteOnly) &&
           file.write(bytes) == bytes.size();
}

QDateTime At(const char* text) {
    return QDateTime::fromString(QString::fromLatin1(text), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

} // namespace

class TestAlarmFiles : public QObject {
    Q_OBJECT

  private slots:
    void readLimits_data() {
        QTest::addColumn<QString>("ini");
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("on");
        QTest::addColumn<double>("value");
        QTest::addColumn<QStringList>("bad");
        const auto row = [](const char* name, const char* ini, const char* key, bool on,
                            double value, QStringList bad) {
            QTest::newRow(name) << QString::fromUtf8(ini) << QString(key) << on << value << bad;
        };
        row("no section", "[Main]\r\nCaption=x\r\n", "PresHigh3", false, 0, {});
        row("decimal", "[Alarm]\r\nPresHigh3=12.5\r\n", "PresHigh3", true, 12.5, {});
        row("names ignore case", "[alarm]\r\npreslow8 = -3\r\n", "PresLow8", true, -3, {});
        row("empty is off", "[Alarm]\r\nTempHigh1=\r\n", "TempHigh1", false, 0, {});
        row("exponent is not a panel number", "[Alarm]\r\nTempLow2=1e3\r\n", "TempLow2", false, 0,
            {"TempLow2"});
        row("comma is not a point", "[Alarm]\r\nTempLow2=12,5\r\n", "TempLow2", false, 0,
            {"TempLow2"});
        row("inf is not a limit", "[Alarm]\r\nPresHigh1=inf\r\nPresLow1=-nan\r\n", "PresHigh1",
            false, 0, {"PresHigh1", "PresLow1"});
        row("silent seconds", "[Alarm]\r\nSilent=30\r\n", "Silent", true, 30, {});
        row("silent zero is off", "[Alarm]\r\nSilent=0\r\n", "Silent", false, 0, {});
        row("silent negative", "[Alarm]\r\nSilent=-5\r\n", "Silent", false, 0, {"Silent"});
        row("silent fraction", "[Alarm]\r\nSilent=2.5\r\n", "Silent", false, 0, {"Silent"});
    }

    void readLimits() {
        QFETCH(QString, ini);
        QFETCH(QString, key);
        QFETCH(bool, on);
        QFETCH(double, value);
        QFETCH(QStringList, bad);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("config.ini"));
        QVERIFY(WriteAll(path, GbkEncode(ini)));
        QStringList badKeys;
        const AlarmLimits limits = ReadAlarmLimits(path, &badKeys);
        const AlarmLimit& l = key == u"Silent" ? limits.Silent
                                               : (key.startsWith(u"PresHigh")  ? limits.PresHigh
                                                  : key.startsWith(u"PresLow") ? limits.PresLow
                                                  : key.startsWith(u"TempHigh")
                                                      ? limits.TempHigh
                                                      : limits.TempLow)[key.right(1).toInt()];
        QCOMPARE(l.on, on);
        if (on)
            QCOMPARE(l.value, value);
        QCOMPARE(badKeys, bad);
        QCOMPARE(BadAlarmKeysText(badKeys).isEmpty(), bad.isEmpty());
    }

    void writeLeavesDefaultAloneAndRoundTrips() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("config.ini"));
        QVERIFY(WriteDefaultConfig(path));
        const QByteArray before = FileBytes(path);
        AlarmLimits limits = ReadAlarmLimits(path);
        QVERIFY(WriteAlarmLimits(path, limits));
        QCOMPARE(FileBytes(path), before);

        limits.PresHigh[3] = {QStringLiteral("12.5"), true, 12.5};
        limits.Silent = {QStringLiteral("30"), true, 30};
        QVERIFY(WriteAlarmLimits(path, limits));
        const QByteArray after = FileBytes(path);
        QVERIFY(after.startsWith(before));
        QCOMPARE(after.count("="), before.count("=") + 2);
        QCOMPARE(ReadAlarmLimits(path), limits);

        limits.PresHigh[3] = {};
        QVERIFY(WriteAlarmLimits(path, limits));
        QCOMPARE(ReadAlarmLimits(path), limits);
    }

    void eventRowsAreWholeGbkLines() {
        QTemporaryDir dir;
        EventLog log(dir.path());
        const QString file = EventLog::FileName(dir.path(), QDate(2026, 3, 15));
        QCOMPARE(file, dir.filePath(QStringLiteral("Events/2026/03/15.csv")));
        QVERIFY(log.append(AlarmEvent{At("2026-03-15 08:30:05"), 3, EventText::PresHigh,
                                      QStringLiteral("12.60"), QStringLiteral("12.5")}));
        QVERIFY(log.append(AlarmEvent{At("2026-03-15 08:31:00"), 0, EventText::LineLost, {}, {}}));
        QCOMPARE(FileBytes(file), GbkEncode(u"时间,仪表,事件,数值,限值\r\n"
                                            u"2026-03-15 08:30:05,3,压力超上限,12.60,12.5\r\n"
                                            u"2026-03-15 08:31:00,,通讯中断,,\r\n"));
    }

    void readDayNewestFirstSkippingTornRow() {
        QTemporaryDir dir;
        const QString file = EventLog::FileName(dir.path(), QDate(2026, 3, 15));
        // A killed run left the second row without its end; the next append completes it.
        QVERIFY(WriteAll(file, EventLog::Header() + "\r\n" +
                                   GbkEncode(u"2026-03-15 08:00:00,1,仪表无应答,,30\r\n"
                                             u"2026-03-15 08:00:01,2,压")));
        EventLog log(dir.path());
        const QList<AlarmEvent> written = {
            {At("2026-03-15 09:00:00"), 2, EventText::Acknowledged, QStringLiteral("1,5"), {}},
            {At("2026-03-15 23:59:59"), 0, EventText::ProgramExit, {}, {}},
            {At("2026-03-16 00:00:00"), 0, EventText::ProgramStart, {}, {}},
        };
        QVERIFY(log.append(written));
        const QList<AlarmEvent> day = EventLog::ReadDay(dir.path(), QDate(2026, 3, 15));
        QCOMPARE(day.size(), 3);
        QCOMPARE(day[0], written[1]);
        QCOMPARE(day[1].value, QStringLiteral("1 5"));
        QCOMPARE(day[2].text, EventText::Silent);
        QCOMPARE(day[2].limit, QStringLiteral("30"));
        QCOMPARE(EventLog::ReadDay(dir.path(), QDate(2026, 3, 16)), QList{written[2]});
        QVERIFY(EventLog::ReadDay(dir.path(), QDate(2026, 3, 17)).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestAlarmFiles)
#include "tst_AlarmFiles.moc"
