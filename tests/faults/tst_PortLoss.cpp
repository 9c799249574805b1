#include "FaultHarness.h"

#include <QElapsedTimer>
#include <QLabel>

using namespace faults;

// The line's far end vanishes in the middle of a run, as an unplugged adapter does, and
// comes back on the same path; instrument 3 is switched on but never answers.
class TestPortLoss : public QObject {
    Q_OBJECT
  private slots:
    void lostLineIsClosedShownAndReopened();
};

void TestPortLoss::lostLineIsClosedShownAndReopened() {
    QTemporaryDir dir;
    const QString link = dir.path() + "/ttySIM0";
    auto sim = std::make_unique<Simulator>(link);
    QVERIFY(sim->start({"--addresses", "1,2", "--seed", "3"}));
    QVERIFY(WriteConfig(dir.path(), link, {1, 2, 3}));

    WatchedLink serial(dir.path() + "/config.ini");
    ErrorBoxes boxes;
    QStringList messages;
    QStringList offered;
    const QString file = TodayFile(dir.path());
    MainEnvironment env = Environment(dir.path(), &serial, boxes, messages);
    env.runComSet = [&](TFrmComSet& d) {
        for (int i = 0; i < d.ComboBox1->count(); ++i)
            offered << d.ComboBox1->itemText(i);
        offered << "selected " + d.ComboBox1->currentText();
    };
    TFrmMain window(env);
    window.show();
    // Two rows in, with the silent instrument 3 asked every tick.
    QTRY_VERIFY_WITH_TIMEOUT(window.panelColor(1, false) == 0x008000 &&
                                 DayFile::read(file).lines.size() >= 3,
                             kDeadlineMs);
    QCOMPARE(window.LineStatus->text(), QString()); // a silent instrument is no lost line
    const qsizetype rowsBefore = DayFile::read(file).lines.size() - 1;
    QVERIFY(rowsBefore >= 1);

    sim->kill();
    QElapsedTimer outage;
    outage.start();
    QTRY_VERIFY_WITH_TIMEOUT(!window.LineStatus->text().isEmpty(), kDeadlineMs);
    const qint64 shownMs = outage.elapsed();
    QCOMPARE(window.LineStatus->text(), QStringLiteral("通讯中断: %1, 正在重新连接").arg(link));
    QVERIFY(!serial.port());
    const qint64 cpuStart = CpuMs();
    QTest::qWait(3000);
    const qint64 cpuMs = CpuMs() - cpuStart;
    QVERIFY2(cpuMs < 300, "the program spins while the line is dead");
    // The operator may pick the lost port again, though the system does not list it.
    window.muComSetClick();
    QTRY_VERIFY_WITH_TIMEOUT(!offered.isEmpty(), kDeadlineMs);
    QVERIFY(offered.contains(link) && offered.last() == "selected " + link);
    // No rows of frozen values; one cycle may have been under way at the loss.
    const qsizetype rowsAtRestart = DayFile::read(file).lines.size() - 1;
    QVERIFY2(rowsAtRestart - rowsBefore <= 1, qPrintable(QString::number(rowsAtRestart)));

    sim = std::make_unique<Simulator>(link);
    QVERIFY(sim->start({"--addresses", "1,2", "--seed", "4"}));
    QElapsedTimer back;
    back.start();
    QTRY_VERIFY_WITH_TIMEOUT(window.LineStatus->text().isEmpty(), kDeadlineMs);
    const qint64 clearedMs = back.elapsed();
    QTRY_VERIFY_WITH_TIMEOUT(window.panelColor(2, true) == 0x008000 &&
                                 DayFile::read(file).lines.size() - 1 >= rowsAtRestart + 2,
                             kDeadlineMs);
    window.close();
    sim->stop();
    QVERIFY(messages.isEmpty());
    QCOMPARE(boxes.shown, 0);

    const DayFile after = DayFile::read(file);
    QVERIFY(after.endsWithLineEnd);
    const qsizetype newRows = after.lines.size() - 1 - rowsAtRestart;
    QVERIFY2(newRows >= 2, qPrintable(QString::number(newRows)));
    for (qsizetype i = 1; i < after.lines.size(); ++i)
        QVERIFY2(WellFormedRow(after.lines[i]), after.lines[i].constData());
    qInfo("loss shown after %lld ms; %lld ms CPU in 3 s while lost; %lld rows during the loss; "
          "line back %lld ms after the simulator restarted, %lld rows since",
          shownMs, cpuMs, rowsAtRestart - rowsBefore, clearedMs, newRows);
}

QTEST_MAIN(TestPortLoss)
#include "tst_PortLoss.moc"
