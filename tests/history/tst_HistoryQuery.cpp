#include "HistoryQuery.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QDate kDay(2024, 3, 15);

qint64 secondsAt(QDate day, int hour, int minute) {
    return QDateTime(day, QTime(hour, minute), Qt::UTC).toSecsSinceEpoch();
}

// A row "@N,..." gets the key start + N; other rows are written as they are.
QByteArray fileText(const QStringList& rows, qint64 start) {
    QByteArray text("header,time,p1,t1,p2,t2,\r\n");
    for (const QString& row : rows) {
        const int comma = row.indexOf(u',');
        const QString key = row.startsWith(u'@')
                                ? QString::number(start + row.mid(1, comma - 1).toLongLong(), 16)
                                : row.left(comma);
        text += (key + row.mid(comma)).toLatin1() + "\r\n";
    }
    return text;
}

struct Scenario {
    QTemporaryDir dir;
    HistoryQuery::Input input;
    Scenario(const QString& time, int span, const QStringList& rows, qint64 start) {
        input.day = kDay;
        input.timeText = time;
        input.span = span;
        input.ticked = {true, true, false, false, false, false, false, false};
        input.filePath = dir.filePath(QStringLiteral("15.csv"));
        QFile file(input.filePath);
        if (file.open(QIODevice::WriteOnly))
            file.write(fileText(rows, start));
    }
};

} // namespace

class TestHistoryQuery : public QObject {
    Q_OBJECT
  private slots:
    void timeWindow_data() {
        QTest::addColumn<QString>("time");
        QTest::addColumn<int>("span");
        QTest::addColumn<int>("points");
        QTest::addColumn<qint64>("start");
        QTest::addColumn<QString>("foot");
        QTest::newRow("10 min") << "08:30" << 1 << 601 << secondsAt(kDay, 8, 30)
                                << "查询数据时间段:2024-03-15 08:30 起,10分钟内数据";
        QTest::newRow("30 min") << "08:30" << 2 << 1801 << secondsAt(kDay, 8, 30)
                                << "查询数据时间段:2024-03-15 08:30 起,30分钟内数据";
        QTest::newRow("2 hours") << "10:05" << 4 << 7201 << secondsAt(kDay, 10, 5)
                                 << "查询数据时间段:2024-03-15 10:05 起,2小时内数据";
        QTest::newRow("3 hours") << "22:00" << 5 << 10801 << secondsAt(kDay, 22, 0)
                                 << "查询数据时间段:2024-03-15 22:00 起,3小时内数据";
        QTest::newRow("blank first hour") << " 8:30" << 3 << 3601 << secondsAt(kDay, 8, 30)
                                          << "查询数据时间段:2024-03-15  8:30 起,1小时内数据";
        QTest::newRow("23:55 crosses midnight")
            << "23:55" << 1 << 601 << secondsAt(kDay, 23, 55)
            << "查询数据时间段:2024-03-15 23:55 起,10分钟内数据";
        QTest::newRow("23:59 before next day") << "23:59" << 6 << 60 << secondsAt(kDay, 23, 59)
                                               << "查询数据时间段:2024-03-15 23:59 起,次日前数据";
        QTest::newRow("whole day") << "00:00" << 6 << 86400 << secondsAt(kDay, 0, 0)
                                   << "查询数据时间段:2024-03-15 00:00 起,次日前数据";
    }

    void timeWindow() {
        QFETCH(QString, time);
        QFETCH(int, span);
        QFETCH(int, points);
        QFETCH(qint64, start);
        QFETCH(QString, foot);
        // The last second of the window and the one after it tell where the window ends.
        Scenario s(time, span,
                   {QStringLiteral("@%1,t,7,8,").arg(points - 1),
                    QStringLiteral("@%1,t,9,9,").arg(points)},
                   start);
        const HistoryQuery::Result r = HistoryQuery::run(s.input);
        QCOMPARE(r.outcome, HistoryQuery::Outcome::Ok);
        QCOMPARE(r.foot, foot);
        for (int series : {0, 1, 8, 9})
            QCOMPARE(int(r.points[series].size()), points);
        QVERIFY(r.points[2].empty() && r.points[10].empty());
        QCOMPARE(r.points[0].back(), 7.0f);
        QCOMPARE(r.points[8].back(), 8.0f);
        QCOMPARE(r.rowsInWindow, 1);
    }

    void placing_data() {
        QTest::addColumn<QStringList>("rows");
        // "series@index=value" (series 0..15), and the titles that must not be blank
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QStringList>("titled");
        QTest::newRow("window ends inclusive")
            << QStringList{"@-1,t,1,1,", "@0,t,2,2,", "@600,t,3,3,", "@601,t,4,4,"}
            << QStringList{"0@0=2", "0@600=3", "0@599=0", "8@0=2"} << QStringList{"压力1", "温度1"};
        QTest::newRow("later row wins value by value")
            << QStringList{"@5,t,1,2,3,4,", "@5,t,x,6,"}
            << QStringList{"0@5=1", "8@5=6", "1@5=3", "9@5=4"}
            << QStringList{"压力1", "压力2", "温度1", "温度2"};
        QTest::newRow("empty field shifts later values")
            << QStringList{"@1,t,1,2,,3,4,"} << QStringList{"0@1=1", "8@1=2", "1@1=3", "9@1=4"}
            << QStringList{"压力1", "压力2", "温度1", "温度2"};
        QTest::newRow("short row") << QStringList{"@1,t,1,2,3"} << QStringList{"1@1=3", "9@1=0"}
                                   << QStringList{"压力1", "压力2", "温度1"};
        QTest::newRow("quoted stretch keeps commas")
            << QStringList{"@1,\"a,b\",1,'2,3',4,", "@2,t,\"5"}
            << QStringList{"0@1=1", "8@1=0", "1@1=4"} << QStringList{"压力1", "压力2"};
        QTest::newRow("letters, nan and inf do not read")
            << QStringList{"@1,t,12a,5, nan ,inf,", "@2,t,--1,1e,+2.5e1 , -.5,"}
            << QStringList{"0@1=0", "8@1=5", "1@1=0", "9@1=0", "0@2=0", "1@2=25", "9@2=-0.5"}
            << QStringList{"压力2", "温度1", "温度2"};
        QTest::newRow("bad keys skip the row")
            << QStringList{"0x10,t,1,1,", "-5,t,1,1,",  " 10,t,1,1,",   "1FFFFFFFF,t,1,1,",
                           ",t,1,1,",     "+3g,t,1,1,", "header,t,1,1,"}
            << QStringList{"0@0=0"} << QStringList{};
    }

    void placing() {
        QFETCH(QStringList, rows);
        QFETCH(QStringList, expected);
        QFETCH(QStringList, titled);
        const qint64 start = secondsAt(kDay, 8, 30);
        Scenario s(QStringLiteral("08:30"), 1, rows, start);
        const HistoryQuery::Result r = HistoryQuery::run(s.input);
        QCOMPARE(r.outcome, HistoryQuery::Outcome::Ok);
        for (const QString& e : expected) {
            const int at = e.indexOf(u'@'), eq = e.indexOf(u'=');
            const int series = e.left(at).toInt(), index = e.mid(at + 1, eq - at - 1).toInt();
            QCOMPARE(r.points[series][index], e.mid(eq + 1).toFloat());
        }
        QStringList titles;
        for (const QString& t : r.titles)
            if (t != QLatin1String(" "))
                titles << t;
        QCOMPARE(titles, titled);
    }

    void checksInOrder_data() {
        QTest::addColumn<QString>("time");
        QTest::addColumn<bool>("ticked");
        QTest::addColumn<bool>("fileThere");
        QTest::addColumn<QString>("message");
        const QString badTime = QStringLiteral("错误的时间格式1");
        QTest::newRow("24:00") << "24:00" << false << false << badTime;
        QTest::newRow("12:60") << "12:60" << true << true << badTime;
        QTest::newRow("all blank") << "  :  " << true << true << badTime;
        QTest::newRow("blank second hour") << "1 :30" << true << true << badTime;
        QTest::newRow("no box, no file") << "08:30" << false << false << "请选择仪表数据 ";
        QTest::newRow("no box, file") << "08:30" << false << true << "请选择仪表数据 ";
        QTest::newRow("no file") << "08:30" << true << false << "数据文件不存在";
    }

    void checksInOrder() {
        QFETCH(QString, time);
        QFETCH(bool, ticked);
        QFETCH(bool, fileThere);
        QFETCH(QString, message);
        Scenario s(time, 1, {}, 0);
        s.input.ticked = {false, false, false, ticked, false, false, false, false};
        if (!fileThere)
            s.input.filePath = s.dir.filePath(QStringLiteral("16.csv"));
        int progressCalls = 0;
        const HistoryQuery::Result r =
            HistoryQuery::run(s.input, [&](int, int) { ++progressCalls; });
        QCOMPARE(r.message, message);
        QVERIFY(!r.seriesRebuilt());
        QVERIFY(r.foot.isEmpty());
        QCOMPARE(progressCalls, 0);
    }

    void maximaGrowAcrossQueries() {
        const qint64 start = secondsAt(kDay, 8, 30);
        Scenario s(
            QStringLiteral("08:30"), 1,
            {"@1,t,63.0,45,", "@2,t,63.0,12,", "@3,t,1000,55,", "@4,t,80,60,", "@700,t,900,900,"},
            start);
        HistoryQuery::Result r = HistoryQuery::run(s.input);
        // once per value above the maximum (not one equal to it), never lowered, rows outside
        // the window do nothing
        QCOMPARE(r.leftMaximum, 80.0);
        QCOMPARE(r.rightMaximum, 60.0);
        s.input.leftMaximum = r.leftMaximum;
        s.input.rightMaximum = r.rightMaximum;
        r = HistoryQuery::run(s.input);
        QCOMPARE(r.leftMaximum, 90.0);
        QCOMPARE(r.rightMaximum, 60.0);
    }

    void overflowEndsQueryKeepingEarlierValues() {
        const qint64 start = secondsAt(kDay, 8, 30);
        Scenario s(QStringLiteral("08:30"), 1, {"@1,t,5,6,", "@2,t,7,1e39,", "@3,t,9,9,"}, start);
        const HistoryQuery::Result r = HistoryQuery::run(s.input);
        QCOMPARE(r.outcome, HistoryQuery::Outcome::ReadFailed);
        QVERIFY(r.message.startsWith(QStringLiteral("浮点数溢出")));
        QVERIFY(r.seriesRebuilt());
        QCOMPARE(r.points[0][1], 5.0f);
        QCOMPARE(r.points[0][2], 7.0f);
        QCOMPARE(r.points[0][3], 0.0f);
        QVERIFY(!r.foot.isEmpty());
    }

    void progressCountsWholeLoads() {
        const qint64 start = secondsAt(kDay, 0, 0);
        for (int rows : {0, 2000}) {
            QStringList lines;
            for (int i = 0; i < rows; ++i)
                lines << QStringLiteral("@%1,t,%2,1.5,").arg(i).arg(i % 50);
            Scenario s(QStringLiteral("00:00"), 6, lines, start);
            const qint64 length = QFileInfo(s.input.filePath).size();
            QList<int> positions;
            int maximum = -1;
            const HistoryQuery::Result r = HistoryQuery::run(s.input, [&](int position, int max) {
                positions << position;
                maximum = max;
            });
            QCOMPARE(r.outcome, HistoryQuery::Outcome::Ok);
            QCOMPARE(maximum, int(length / 128));
            QCOMPARE(positions.first(), 0);
            QCOMPARE(positions.last(), maximum);
            for (int i = 1; i < positions.size(); ++i)
                QVERIFY(positions[i] > positions[i - 1]);
            QCOMPARE(r.linesRead, rows + 1);
            QCOMPARE(r.titles[0], rows ? QStringLiteral("压力1") : QStringLiteral(" "));
            QCOMPARE(int(r.points[0].size()), 86400);
        }
    }

    void overlongLineKeepsItsFieldsAndTheNextLine() {
        const qint64 start = secondsAt(kDay, 8, 30);
        const QString junk(3 << 20, u'x');
        Scenario s(QStringLiteral("08:30"), 1,
                   {"@1,t,5,6,7," + junk + ",8,", "@2,t," + junk, "@3,t,9,"}, start);
        const HistoryQuery::Result r = HistoryQuery::run(s.input);
        QCOMPARE(r.outcome, HistoryQuery::Outcome::Ok);
        QCOMPARE(r.linesRead, 4);
        QCOMPARE(r.points[0][1], 5.0f);
        QCOMPARE(r.points[9][1], 0.0f);
        QCOMPARE(r.points[0][3], 9.0f);
    }
};

QTEST_APPLESS_MAIN(TestHistoryQuery)
#include "tst_HistoryQuery.moc"
