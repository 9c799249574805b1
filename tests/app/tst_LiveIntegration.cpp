#include "../faults/FaultHarness.h"
#include "Chart.h"
#include "ColorValue.h"
#include "Protocol.h"
#include "TFrmLine.h"

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
    void switchedOffMidCycleTakesEffectAfterIt_data();
    void switchedOffMidCycleTakesEffectAfterIt();
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
    // The panels as a repaint would find them, sampled all through the run: a switched-on
    // panel is yellow exactly when the last read brought no reply for it.
    int samples = 0, yellow = 0;
    QStringList wrongColours;
    QTimer sampler;
    sampler.setInterval(3);
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        if (serial.watched.unclaimedReads.isEmpty())
            return;
        QByteArray buffer = serial.watched.unclaimedReads.last().leftJustified(256, '\0');
        QSet<int> answered;
        for (const QByteArray& reply : FindReplies(buffer)) {
            const Reading reading = DecodeReading(reply);
            answered << reading.address * 2 + (reading.command == '4');
        }
        for (int n : on) {
            for (bool temperature : {false, true}) {
                const bool isYellow = main->panelColor(n, temperature) == 0x00FFFF;
                ++samples;
                yellow += isYellow;
                if (isYellow == answered.contains(n * 2 + temperature))
                    wrongColours << QStringLiteral("%1%2").arg(n).arg(temperature ? 'T' : 'P');
            }
        }
    });
    {
        TFrmMain window(env);
        main = &window;
        window.show();
        sampler.start();
        QTest::qWait(seconds * 1000 / 2);
        if (historyMs > 0) {
            window.muPrint->trigger();
            QVERIFY(!window.state().HistoryOpen);
        }
        QTest::qWait(seconds * 1000 - seconds * 1000 / 2);
        // Panels are looked at between cycles: within one they turn yellow as requests go out.
        QSignalSpy cycleEnd(&window, &TFrmMain::cycleFinished);
        QVERIFY(cycleEnd.wait(2000));
        errors << boxes.texts;
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join('\n')));
        QVERIFY(window.SecCy->isActive());
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
        sampler.stop();
        qInfo("panels yellow in %d of %d samples", yellow, samples);
        QVERIFY2(wrongColours.isEmpty(), qPrintable(wrongColours.mid(0, 20).join(' ')));
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

void TestLiveIntegration::switchedOffMidCycleTakesEffectAfterIt_data() {
    QTest::addColumn<QString>("command");
    QTest::newRow("record switch") << "muAp2";
    QTest::newRow("curve window closed") << "window";
    QTest::newRow("close all") << "muCloseAll";
}

// The command comes while the cycle waits for the replies to its last request.
void TestLiveIntegration::switchedOffMidCycleTakesEffectAfterIt() {
    QFETCH(QString, command);
    QTemporaryDir dir;
    Simulator sim(dir.path() + "/ttySIM0");
    QVERIFY(sim.start({"--addresses", "1,2"}) &&
            WriteConfig(dir.path(), dir.path() + "/ttySIM0", {1, 2}));
    WatchedLink serial(dir.path() + "/config.ini");
    ErrorBoxes boxes;
    QStringList errors;
    TFrmMain window(Environment(dir.path(), &serial, boxes, errors));
    QSignalSpy cycleEnd(&window, &TFrmMain::cycleFinished);
    const auto waiting = [&] { // sent its last request, not yet read
        return cycleEnd.size() > 0 &&
               serial.watched.log.last().second == "\x04" + QByteArray("02P4\x05");
    };
    for (QDeadlineTimer patience(20000); !waiting() && !patience.hasExpired();)
        QTest::qWait(1);
    QVERIFY(waiting());
    if (command == "window")
        window.curveWindows().last()->parentWidget()->close();
    else
        window.findChild<QAction*>(command)->trigger();
    const qsizetype rows = RecordLines(dir.path()).size();
    QVERIFY(cycleEnd.wait(5000));
    QCOMPARE(window.panelColor(2, false), ColorValue::kButtonFace);
    QCOMPARE(window.Chart1->pointCount(0) == 0, command == "muCloseAll");
    QVERIFY(cycleEnd.wait(5000));
    QCOMPARE(window.panelColor(2, true), ColorValue::kButtonFace);
    QCOMPARE(window.panel(2, true)->text(), QStringLiteral("0.0"));
    QCOMPARE(RecordLines(dir.path()).size(), rows + (command == "muCloseAll" ? 1 : 2));
}

QTEST_MAIN(TestLiveIntegration)
#include "tst_LiveIntegration.moc"
