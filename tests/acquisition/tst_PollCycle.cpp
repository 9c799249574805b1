#include "FakePort.h"
#include "FileBytes.h"
#include "ManualScheduler.h"
#include "PollCycle.h"
#include "RecordingDisplay.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QByteArray Poll(int address, char command) {
    return QByteArray("\x04") + '0' + char('0' + address) + 'P' + command + '\x05';
}

QByteArray Reply(const QByteArray& address, char command, const QByteArray& value, char code) {
    QByteArray frame = "\x02" + address + 'P' + command + value + code + '\x03';
    char check = 0;
    for (int i = 1; i < frame.size(); ++i)
        check ^= frame.at(i);
    return frame + check;
}

QByteArray Reply(int address, char command, const QByteArray& value, char code) {
    return Reply(QByteArray::number(address).rightJustified(2, '0'), command, value, code);
}

QList<QByteArray> Lines(const QString& path) {
    QList<QByteArray> lines = FileBytes(path).split('\n');
    lines.removeLast();
    for (QByteArray& line : lines)
        line.chop(1);
    return lines;
}

// Writes, reads and the scheduler's pauses in one list, in the order they happened; a write
// takes writeMs of the manual clock, as the line takes time to send.
struct SequencePort : FakePort {
    QStringList log;
    ManualScheduler* clock = nullptr;
    int writeMs = 0;
    qint64 write(const QByteArray& bytes) override {
        log << "write " + QString::fromLatin1(bytes.mid(1, 4));
        clock->now = clock->now.addMSecs(writeMs);
        return FakePort::write(bytes);
    }
    QByteArray read(qint64 maxBytes) override {
        log << QStringLiteral("read %1").arg(maxBytes);
        return FakePort::read(maxBytes);
    }
};

struct Rig {
    SharedState state;
    RecordingDisplay display;
    SequencePort port;
    Port* current = &port;
    ManualScheduler scheduler;
    QTemporaryDir base;
    QStringList errors;
    std::function<void()> whileErrorShown;
    PollCycle cycle{state,
                    display,
                    base.path(),
                    [this] { return scheduler.now; },
                    scheduler,
                    [this] { return current; },
                    [this](const QString& text) {
                        errors << text;
                        if (whileErrorShown)
                            whileErrorShown();
                    }};

    explicit Rig(std::initializer_list<int> switchedOn = {}) {
        for (int n : switchedOn)
            display.on[n] = true;
        port.clock = &scheduler;
        scheduler.log = &port.log;
        state.PresY0 = -100;
        state.PresYn = 100;
    }
    // One whole cycle, its pauses run on the manual clock.
    void tick() {
        cycle.tick();
        scheduler.runAll();
    }
    QList<QByteArray> rows() const { return Lines(cycle.dailyFileName()).mid(1); }
    bool recorded() const { return QFileInfo::exists(base.filePath("Data")); }
    double leftMin() const { return display.axisMin[CycleDisplay::Left]; }
};

const QString kYellowP = QStringLiteral("P=00ffff");
const QString kGreen = QStringLiteral("=008000");

} // namespace

class TestPollCycle : public QObject {
    Q_OBJECT

  private slots:
    // Each request is followed by its pause; a tick or a command meeting the running cycle
    // waits for it. The last pause is held until the row's moment early in the second.
    void requestsPausesAndReadInOneSequence() {
        Rig rig{8, 2, 5};
        QVERIFY(rig.cycle.tick());
        QVERIFY(rig.display.colorLog.isEmpty()); // yellow only in the step that takes the replies
        QVERIFY(!rig.cycle.tick());
        rig.cycle.runAfterCycle([&] { rig.port.log << "command"; });
        rig.scheduler.runAll();
        const QStringList cycle{"write 02P3", "pause 50", "write 02P4", "pause 50",
                                "write 05P3", "pause 50", "write 05P4", "pause 50",
                                "write 08P3", "pause 50", "write 08P4", "pause 50"};
        QCOMPARE(rig.port.log.mid(0, 15), cycle + QStringList({"pause 30", "read 256", "pause 0"}));
        // The tick that met the running cycle comes right after it, the command before that.
        QCOMPARE(rig.port.log.mid(15, 13), QStringList{"command"} + cycle);
        QCOMPARE(rig.port.log.mid(28).filter("read"), QStringList{"read 256"});
        QCOMPARE(rig.port.writes[0], Poll(2, '3'));
        rig.cycle.runAfterCycle([&] { rig.port.log << "at once"; });
        QCOMPARE(rig.port.log.last(), "at once");
    }

    void replySetsValueTextAndColour_data() {
        QTest::addColumn<char>("code");
        QTest::addColumn<QByteArray>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<float>("value");
        QTest::newRow("code 1") << '1' << QByteArray("12345") << "12.345" << 12.345f;
        QTest::newRow("code 2") << '2' << QByteArray("01234") << "12.34" << 12.34f;
        QTest::newRow("code 3 negative") << '3' << QByteArray("-0256") << "-25.6" << -25.6f;
        QTest::newRow("code 4") << '4' << QByteArray("01234") << "1234" << 1234.0f;
        QTest::newRow("code 9 keeps text") << '9' << QByteArray("01234") << "7.5" << 1234.0f;
    }
    void replySetsValueTextAndColour() {
        QFETCH(char, code);
        QFETCH(QByteArray, field);
        QFETCH(QString, text);
        QFETCH(float, value);
        Rig rig{5};
        rig.display.texts[5][CycleDisplay::Pressure] = "7.5";
        rig.port.pendingReads << Reply(5, '3', field, code);
        rig.tick();
        QCOMPARE(rig.state.PresValue[5], value);
        QCOMPARE(rig.display.texts[5][CycleDisplay::Pressure], text);
        QCOMPARE(rig.display.colorLog, (QStringList{"5" + kYellowP, "5T=00ffff", "5P" + kGreen}));
        QCOMPARE(rig.display.points[5], QList<float>{value});
    }

    void exampleRowIsRecorded() {
        Rig rig{1, 2};
        rig.port.pendingReads << Reply(1, '3', "12345", '1') + Reply(1, '4', "00256", '3');
        rig.tick();
        QCOMPARE(rig.cycle.dailyFileName(), rig.base.path() + "/Data/2024/03/15.csv");
        QCOMPARE(rig.rows(), QList<QByteArray>{"65F40708,2024-03-15 08:30:00,12.345,25.6,0.0,0.0,"
                                               "0.0,0.0,0.0,0.0,0.0,0.0,0.0,0.0,0.0,0.0,0.0,0.0,"});
        QCOMPARE(rig.display.colors[2][CycleDisplay::Temperature], PollCycle::kYellow);
    }

    void silentInstrumentRepeatsLastValue() {
        Rig rig{1};
        rig.state.LineWidthPress[1] = 3;
        rig.state.LineColorPress[1] = 0x0000FF;
        rig.port.pendingReads << Reply(1, '3', "12345", '1');
        rig.tick();
        rig.tick();
        QCOMPARE(rig.display.colors[1][CycleDisplay::Pressure], PollCycle::kYellow);
        QCOMPARE(rig.display.points[1], (QList<float>{12.345f, 12.345f}));
        QCOMPARE(rig.display.penWidth[1], 3);
        QCOMPARE(rig.display.penColor[1], 0x0000FF);
        const QList<QByteArray> rows = rig.rows();
        QCOMPARE(rows.size(), 2);
        QVERIFY(rows[1].endsWith(
            ",12.345,0.0,0.0,0.0,0.0,0.0,0.0,0.0,0.0,0.0,0.0,0.0,0.0,0.0,0.0,0.0,"));
    }

    void lateReplyForSwitchedOffInstrumentCountsOnce() {
        Rig rig{1};
        rig.port.pendingReads << Reply(3, '4', "00215", '3');
        rig.tick();
        QCOMPARE(rig.state.TempValue[3], 21.5f);
        QCOMPARE(rig.display.points[3 + 8], QList<float>{21.5f});
        QVERIFY(rig.rows().at(0).endsWith(",0.0,21.5," + QByteArray("0.0,").repeated(10)));
        rig.tick();
        QCOMPARE(rig.state.TempValue[3], 0.0f);
        QCOMPARE(rig.display.texts[3][CycleDisplay::Temperature], "0.0");
        QCOMPARE(rig.display.points[3 + 8], (QList<float>{21.5f, 0.0f}));
    }

    // A switch turned on while a cycle runs waits for the next one: the cycle in flight never
    // polled that instrument, so its read step must not colour it as unanswered.
    void switchOnMidCycleWaitsForTheNextCycle() {
        Rig rig{1};
        rig.cycle.tick();
        rig.display.on[2] = true;
        rig.scheduler.runAll();
        QVERIFY(!rig.display.colorLog.join(' ').contains("2P"));
        QVERIFY(!rig.port.log.contains("write 02P3"));
    }

    void foreignRepliesAreDropped() {
        Rig rig{1};
        rig.port.pendingReads << Reply(9, '3', "00001", '4') + Reply(1, '1', "00002", '4') +
                                     Reply(0, '4', "00003", '4');
        rig.tick();
        QCOMPARE(rig.state.PresValue, SharedState::PerAddress<float>{});
        QCOMPARE(rig.state.TempValue, SharedState::PerAddress<float>{});
        QVERIFY(!rig.display.colorLog.join(' ').contains(kGreen));
    }

    void portBusySendsNothingButRecords() {
        Rig rig{2};
        rig.display.texts[2][CycleDisplay::Pressure] = "3.25";
        rig.state.PortBusy = true;
        rig.port.pendingReads << Reply(2, '3', "00001", '4');
        rig.tick();
        rig.tick();
        QVERIFY(rig.port.writes.isEmpty());
        QVERIFY(rig.port.readSizes.isEmpty());
        QCOMPARE(rig.display.colors[2][CycleDisplay::Pressure], PollCycle::kYellow);
        QCOMPARE(rig.rows().size(), 2);
        QVERIFY(rig.rows().at(1).contains(",0.0,0.0,3.25,0.0,"));
    }

    void historyOpenKeepsChartEmptyButRecords() {
        Rig rig{1};
        rig.state.HistoryOpen = true;
        rig.tick();
        rig.port.pendingReads << Reply(1, '3', "00100", '4');
        rig.tick();
        QCOMPARE(rig.display.texts[1][CycleDisplay::Pressure], "100");
        QCOMPARE(rig.display.colors[1][CycleDisplay::Pressure], PollCycle::kGreen);
        QCOMPARE(rig.state.PointCount, 0);
        QCOMPARE(rig.display.clears, 32);
        QCOMPARE(rig.rows().size(), 2);
        QVERIFY(rig.rows().at(1).contains(",100,0.0,"));

        rig.state.HistoryOpen = false;
        rig.tick();
        QCOMPARE(rig.display.points[1], QList<float>{100.0f});
        QCOMPARE(rig.rows().size(), 3);
    }

    void nothingSwitchedOnResetsChartAndRecordsNothing() {
        Rig rig{4};
        for (int i = 0; i < 1200; ++i) // from here a maximum of 600 set first is refused
            rig.tick();
        QCOMPARE(rig.display.axisMin[CycleDisplay::Bottom], 1200.0);
        rig.display.on[4] = false;
        rig.state.PresY0 = 10;
        rig.state.PresYn = 20;
        rig.tick();
        QCOMPARE(rig.state.PointCount, 0);
        QCOMPARE(rig.display.axisMin[CycleDisplay::Bottom], 0.0);
        QCOMPARE(rig.display.axisMax[CycleDisplay::Bottom], 600.0);
        QVERIFY(rig.display.points[4].isEmpty());
        QCOMPARE(rig.display.texts[4][CycleDisplay::Pressure], "0.0");
        QCOMPARE(rig.leftMin(), 10.0);
        QCOMPARE(rig.rows().size(), 1200);
    }

    void nothingSwitchedOnLeavesNoTrace() {
        Rig rig;
        rig.tick();
        QVERIFY(!rig.recorded());
        QVERIFY(rig.port.writes.isEmpty());
        QCOMPARE(rig.port.readSizes, QList<qint64>{256});
    }

    void withoutPortOnlyAxesAreSet() {
        Rig rig{1};
        rig.state.TempFull = 2;
        rig.state.PresY0 = 5;
        rig.state.PresYn = 50;
        rig.current = nullptr;
        rig.tick();
        rig.current = &rig.port;
        rig.port.open = false;
        rig.tick();
        QVERIFY(rig.display.colorLog.isEmpty());
        QVERIFY(rig.port.readSizes.isEmpty());
        QVERIFY(!rig.recorded());
        QCOMPARE(rig.display.axisMax[CycleDisplay::Right], 120.0);
        QCOMPARE(rig.leftMin(), 5.0);
        QCOMPARE(rig.display.axisMax[CycleDisplay::Left], 50.0);
    }

    void bottomAxisPagesEvery600Points_data() {
        QTest::addColumn<int>("ticks");
        QTest::addColumn<double>("min");
        QTest::addColumn<double>("max");
        QTest::newRow("599") << 599 << 0.0 << 600.0;
        QTest::newRow("600") << 600 << 600.0 << 1200.0;
        QTest::newRow("1199") << 1199 << 600.0 << 1200.0;
        QTest::newRow("1200") << 1200 << 1200.0 << 1800.0;
    }
    void bottomAxisPagesEvery600Points() {
        QFETCH(int, ticks);
        QFETCH(double, min);
        QFETCH(double, max);
        Rig rig{8};
        for (int i = 0; i < ticks; ++i)
            rig.tick();
        QCOMPARE(rig.state.PointCount, ticks);
        QCOMPARE(rig.display.points[16].size(), ticks);
        QCOMPARE(rig.display.axisMin[CycleDisplay::Bottom], min);
        QCOMPARE(rig.display.axisMax[CycleDisplay::Bottom], max);
    }

    void axesFollowSettings_data() {
        QTest::addColumn<int>("tempFull");
        QTest::addColumn<int>("y0");
        QTest::addColumn<int>("yn");
        QTest::addColumn<double>("tempMax");
        QTest::newRow("smallest temperature scale") << 0 << -100 << 100 << 40.0;
        QTest::newRow("380 item ends at 360") << 8 << -100 << 100 << 360.0;
        QTest::newRow("largest temperature scale") << 9 << -100 << 100 << 400.0;
        QTest::newRow("damaged temperature scale") << -7 << -100 << 100 << 0.0;
        QTest::newRow("overflowing temperature scale")
            << 2147483647 << -100 << 100 << 85899345920.0;
        QTest::newRow("pressure wholly below") << 0 << -500 << -100 << 40.0;
        QTest::newRow("pressure wholly above") << 0 << 2000 << 3000 << 40.0;
    }
    void axesFollowSettings() {
        QFETCH(int, tempFull);
        QFETCH(int, y0);
        QFETCH(int, yn);
        QFETCH(double, tempMax);
        Rig rig{1};
        rig.tick();
        rig.state.TempFull = tempFull;
        rig.display.axisMin[CycleDisplay::Right] = 30; // zoomed in by the wheel
        rig.state.PresY0 = y0;
        rig.state.PresYn = yn;
        rig.tick();
        QCOMPARE(rig.display.axisMin[CycleDisplay::Right], 0.0);
        QCOMPARE(rig.display.axisMax[CycleDisplay::Right], tempMax);
        QCOMPARE(rig.leftMin(), double(y0));
        QCOMPARE(rig.display.axisMax[CycleDisplay::Left], double(yn));
    }

    // A conversion error or an unwritable record shows one error, leaves the pressure axis for
    // the next tick and the tick after it works again.
    void failedTickIsAbandonedThenRecovers_data() {
        QTest::addColumn<QByteArray>("bad"); // empty: the Data folder is blocked instead
        QTest::addColumn<QString>("error");
        QTest::newRow("value not a number") << Reply(1, '4', "1x2y3", '3') << "not a valid";
        QTest::newRow("address not a number") << Reply("0?", '4', "00100", '3') << "not a valid";
        QTest::newRow("record not writable") << QByteArray() << "15.csv";
    }
    void failedTickIsAbandonedThenRecovers() {
        QFETCH(QByteArray, bad);
        QFETCH(QString, error);
        Rig rig{1, 2};
        rig.state.PresY0 = 7;
        QFile blocker(rig.base.filePath("Data"));
        QVERIFY(!bad.isEmpty() || blocker.open(QIODevice::WriteOnly));
        blocker.close();
        rig.port.pendingReads << Reply(1, '3', "00011", '4') + bad + Reply(2, '3', "00022", '4');
        rig.tick();
        QCOMPARE(rig.errors.size(), 1);
        QVERIFY2(rig.errors[0].contains(error), qPrintable(rig.errors[0]));
        QCOMPARE(rig.state.PresValue[1], 11.0f);
        QCOMPARE(rig.leftMin(), -100.0);
        if (!bad.isEmpty()) {
            QCOMPARE(rig.state.PresValue[2], 0.0f);
            QCOMPARE(rig.state.PointCount, 0);
            QVERIFY(!rig.recorded());
        }
        blocker.remove();
        rig.tick();
        QCOMPARE(rig.errors.size(), 1);
        QCOMPARE(rig.rows().size(), 1);
        QCOMPARE(rig.leftMin(), 7.0);
    }

    void errorBoxesDoNotPileUp() {
        Rig rig{1};
        const QByteArray bad = Reply(1, '3', "abcde", '4');
        int nestedTicks = 0;
        rig.whileErrorShown = [&] {
            QVERIFY(rig.cycle.errorShowing());
            for (; nestedTicks < 3; ++nestedTicks) {
                rig.port.pendingReads << bad;
                rig.tick();
            }
        };
        rig.port.pendingReads << bad;
        rig.tick();
        QCOMPARE(nestedTicks, 3);
        QCOMPARE(rig.errors.size(), 1);
        QVERIFY(!rig.cycle.errorShowing());

        rig.port.pendingReads << bad;
        rig.tick();
        QCOMPARE(rig.errors.size(), 2);
    }

    // A lasting write fault is shown once and stays on show until a row goes in again.
    void recordFaultShownOncePerEpisode() {
        Rig rig{1};
        QFile blocker(rig.base.filePath("Data"));
        for (int episode = 1; episode <= 2; ++episode) {
            QDir(rig.base.path()).rename("Data", QStringLiteral("Data.%1").arg(episode));
            QVERIFY(blocker.open(QIODevice::WriteOnly));
            blocker.close();
            for (int i = 0; i < 3; ++i)
                rig.tick();
            QCOMPARE(rig.errors.size(), episode);
            QVERIFY(!rig.display.recordFault.isEmpty());
            QVERIFY(blocker.remove());
            rig.tick();
            QCOMPARE(rig.display.recordFault, QString());
            QCOMPARE(rig.rows().size(), 1);
        }
    }

    void lineClosedDuringCycleRecordsNothing() {
        Rig rig{1, 2};
        rig.cycle.tick();
        rig.current = nullptr; // the port is asked for afresh at every step
        rig.scheduler.runAll();
        QCOMPARE(rig.port.log, (QStringList{"write 01P3", "pause 50"}));
        QVERIFY(!rig.recorded());
    }

    // Ticks placed by the cycle itself, with timers firing late and writes taking time, give
    // one row for every second, whose time text names the second of its data number.
    void everySecondGetsOneRow_data() {
        QTest::addColumn<int>("instruments");
        QTest::addColumn<int>("lateMs");
        QTest::newRow("one instrument") << 1 << 0;
        QTest::newRow("eight") << 8 << 2;
        QTest::newRow("eight, busy event loop") << 8 << 6;
    }
    void everySecondGetsOneRow() {
        QFETCH(int, instruments);
        QFETCH(int, lateMs);
        Rig rig;
        for (int n = 1; n <= instruments; ++n)
            rig.display.on[n] = true;
        rig.port.writeMs = 6; // 9600 baud
        rig.scheduler.now = rig.scheduler.now.addMSecs(537);
        QRandomGenerator random(instruments);
        rig.scheduler.lateness = [&] { return int(random.bounded(lateMs + 1)); };
        std::function<void()> secCy = [&] {
            rig.cycle.tick();
            rig.scheduler.after(rig.cycle.msToNextTick(), secCy);
        };
        rig.scheduler.after(1000, secCy);
        rig.scheduler.advance(60 * 1000);

        const QList<QByteArray> rows = rig.rows();
        QVERIFY(rows.size() >= 58);
        for (qsizetype i = 1; i < rows.size(); ++i) {
            const qint64 number = rows[i].left(8).toLongLong(nullptr, 16);
            QCOMPARE(number, rows[i - 1].left(8).toLongLong(nullptr, 16) + 1);
            const QString text = QString::fromLatin1(rows[i].mid(9, 19));
            QCOMPARE(SecondCount(QDateTime::fromString(text, "yyyy-MM-dd hh:mm:ss")), number);
        }
    }

    void cycleRightAfterARowTakesTheNextSecond() {
        Rig rig{1};
        rig.tick();
        rig.tick(); // at once, while the first row's second lasts
        const QList<QByteArray> rows = rig.rows();
        QCOMPARE(rows[1].left(8).toLongLong(nullptr, 16),
                 rows[0].left(8).toLongLong(nullptr, 16) + 1);
    }

    void clockSetBackDoesNotHoldRows() {
        Rig rig{1};
        rig.tick();
        const QDateTime setBack = rig.scheduler.now.addSecs(-3600);
        rig.scheduler.now = setBack;
        rig.tick();
        QVERIFY(rig.scheduler.now < setBack.addSecs(2));
        QCOMPARE(rig.rows().size(), 2);
    }

    // A row goes into the file of the day its time field names, whenever the tick started.
    void rowGoesIntoTheDayItsTimeNames_data() {
        QTest::addColumn<QDateTime>("start");
        QTest::addColumn<QByteArray>("number");
        QTest::newRow("within a month")
            << QDateTime({2024, 3, 15}, {23, 59, 59, 600}) << QByteArray("65F4E100");
        QTest::newRow("last day of a month")
            << QDateTime({2024, 3, 31}, {23, 59, 59, 600}) << QByteArray("6609F900");
        QTest::newRow("last second of a day")
            << QDateTime({2024, 3, 15}, {23, 59, 58, 700}) << QByteArray("65F4E0FF");
    }
    void rowGoesIntoTheDayItsTimeNames() {
        QFETCH(QDateTime, start);
        QFETCH(QByteArray, number);
        Rig rig{1};
        rig.scheduler.now = start;
        rig.tick();
        QVERIFY(rig.errors.isEmpty());
        const QList<QByteArray> rows = rig.rows();
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].left(9), number + ',');
        QCOMPARE(
            rig.cycle.dailyFileName(),
            DailyFileName(rig.base.path(), QDate::fromString(rows[0].mid(9, 10), "yyyy-MM-dd")));
    }
};

QTEST_GUILESS_MAIN(TestPollCycle)
#include "tst_PollCycle.moc"
