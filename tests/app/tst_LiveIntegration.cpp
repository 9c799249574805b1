#include "../faults/FaultHarness.h"
#include "Chart.h"

#include <QAction>
#include <QDirIterator>
#include <QLabel>
#include <QSignalSpy>

using namespace faults;

namespace {

// The lines of every day's file the run wrote, in day order: near midnight there are two.
QList<QByteArray> RecordLines(const QString& base) {
    QStringList paths;
    for (QDirIterator it(base + "/Data", {"*.csv"}, QDir::Files, QDirIterator::Subdirectories);
         it.hasNext();)
        paths << it.next();
    paths.sort();
    QList<QByteArray> lines;
    for (const QString& path : paths)
        lines << DayFile::read(path).bytes.split('\n');
    return lines;
}

} // namespace

// The real program's start-up and polling cycle against the instrument simulator on a
// pseudo-terminal: from the serial line to the panels, the chart and the day's files.
class TestLiveIntegration : public QObject {
    Q_OBJECT
  private slots:
    void recordsEverySecond_data();
    void recordsEverySecond();
};

void TestLiveIntegration::recordsEverySecond_data() {
    QTest::addColumn<QList<int>>("on");
    QTest::addColumn<int>("seconds");
    QTest::addColumn<int>("historyMs"); // how long the history window stays open mid-run
    QTest::newRow("two instruments, history window open a while") << QList<int>{1, 2} << 10 << 3500;
    QTest::newRow("eight instruments for a minute")
        << QList<int>{1, 2, 3, 4, 5, 6, 7, 8} << 60 << 0;
}

void TestLiveIntegration::recordsEverySecond() {
    QFETCH(QList<int>, on);
    QFETCH(int, seconds);
    QFETCH(int, historyMs);
    QStringList addresses;
    for (int n : on)
        addresses << QString::number(n);

    QTemporaryDir dir;
    const QString link = dir.path() + "/ttySIM0";
    Simulator sim(link);
    QVERIFY(sim.start({"--addresses", addresses.join(','), "--seed", "7"}));
    const QString config = dir.path() + "/config.ini";
    QVERIFY(WriteConfig(dir.path(), link, on));

    WatchedLink serial(config);
    ErrorBoxes boxes;
    boxes.modalMs = 0;
    QStringList errors;
    TFrmMain* main = nullptr;
    int rowsBeforeHistory = -1;
    int historyChartPoints = -1;
    MainEnvironment env = Environment(dir.path(), &serial, boxes, errors);
    // The history window as the operator leaves it open: ticks go on in its modal loop.
    env.runDialog = [&](QDialog&) {
        rowsBeforeHistory = int(RecordLines(dir.path()).size());
        QTest::qWait(historyMs);
        historyChartPoints = main->Chart1->pointCount(0);
    };
    {
        TFrmMain window(env);
        main = &window;
        window.show();
        QTest::qWait(seconds * 1000 / 2);
        if (historyMs > 0) {
            window.muPrint->trigger();
            QVERIFY(!window.state().HistoryOpen);
        }
        QTest::qWait(seconds * 1000 - seconds * 1000 / 2);
        // Panels are looked at once a cycle has taken its replies.
        QSignalSpy cycleEnd(&window, &TFrmMain::cycleFinished);
        QVERIFY(cycleEnd.wait(2000));
        errors << boxes.texts;
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join('\n')));
        QVERIFY(window.polling());
        QCOMPARE(window.curveWindows().size(), on.size());
        for (int n = 1; n <= 8; ++n) {
            const bool switchedOn = on.contains(n);
            QCOMPARE(window.panelColor(n, false) == 0x008000, switchedOn);
            QCOMPARE(window.panelColor(n, true) == 0x008000, switchedOn);
            QCOMPARE(window.state().PresValue[n] != 0.0f, switchedOn);
            if (!switchedOn)
                QCOMPARE(window.panel(n, false)->text(), QStringLiteral("0.0"));
        }
        QVERIFY(window.Chart1->pointCount(0) >= 2);
        window.close();
        QTRY_VERIFY(!window.isVisible()); // once a cycle in flight has read its replies
    }
    sim.stop();

    // The wire: every tick sends the requests in address order, each followed by at least
    // 45 ms before the next request or the one read of up to 256 bytes.
    QList<QByteArray> tickRequests;
    for (int n : on)
        tickRequests << QByteArray("\x04") + '0' + char('0' + n) + "P3\x05"
                     << QByteArray("\x04") + '0' + char('0' + n) + "P4\x05";
    const QList<QPair<qint64, QByteArray>>& line = serial.watched.log;
    int ticks = 0;
    for (qsizetype i = 0; i < line.size(); ++ticks) {
        for (const QByteArray& request : tickRequests + QList<QByteArray>{"read 256"}) {
            QVERIFY2(i < line.size(), "a tick ended early");
            QCOMPARE(line[i].second, request);
            const qint64 gap = i + 1 < line.size() ? line[i + 1].first - line[i].first : 0;
            QVERIFY2(request == "read 256" || gap >= 45, qPrintable(QString::number(gap)));
            ++i;
        }
    }
    QVERIFY2(ticks >= seconds - 2, qPrintable(QString::number(ticks)));

    // The files: one row for every second, numbered without gap or double, each row's time
    // text naming the second of its number, also while the history window was open.
    const QList<QByteArray> lines = RecordLines(dir.path());
    QList<qint64> numbers;
    for (const QByteArray& text : lines) {
        if (text.isEmpty() || text == RecordHeader() + '\r')
            continue;
        QVERIFY2(text.endsWith('\r') && WellFormedRow(text.chopped(1)), text.constData());
        const QList<QByteArray> fields = text.split(',');
        numbers << fields[0].toLongLong(nullptr, 16);
        const QString time = QString::fromLatin1(fields[1]);
        QCOMPARE(SecondCount(QDateTime::fromString(time, "yyyy-MM-dd hh:mm:ss")), numbers.last());
        if (numbers.size() > 1)
            QCOMPARE(numbers.last(), numbers[numbers.size() - 2] + 1);
        for (int n = 1; n <= 8; ++n) {
            if (!on.contains(n))
                QCOMPARE(fields[2 * n], QByteArray("0.0"));
        }
    }
    QCOMPARE(numbers.size(), ticks);
    if (historyMs > 0) {
        QCOMPARE(historyChartPoints, 0);
        QVERIFY(lines.size() - rowsBeforeHistory >= historyMs / 1000);
    }
    // The port that opened is stored whole in the configuration.
    QCOMPARE(IniReadString(config, "comSet", "comid"), link);
}

QTEST_MAIN(TestLiveIntegration)
#include "tst_LiveIntegration.moc"
