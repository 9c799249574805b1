#include "FaultHarness.h"

#include <QElapsedTimer>
#include <QLabel>

using namespace faults;

// The line's far end vanishes in the middle of a run and comes back on the same path.
class TestPortLoss : public QObject {
    Q_OBJECT
  private slots:
    void survivesVanishingPortAndResumesAfterReopen();
};

namespace {

QStringList PanelTexts(const TFrmMain& window) {
    QStringList texts;
    for (int n = 1; n <= 2; ++n)
        texts << window.panel(n, false)->text() << window.panel(n, true)->text();
    return texts;
}

QStringList RowTexts(const QByteArray& row) {
    const QList<QByteArray> f = row.split(',');
    return {QString::fromLatin1(f[2]), QString::fromLatin1(f[3]), QString::fromLatin1(f[4]),
            QString::fromLatin1(f[5])};
}

} // namespace

void TestPortLoss::survivesVanishingPortAndResumesAfterReopen() {
    QTemporaryDir dir;
    const QString link = dir.path() + "/ttySIM0";
    auto sim = std::make_unique<Simulator>(link);
    QVERIFY(sim->start({"--addresses", "1,2", "--seed", "3"}));
    QVERIFY(WriteConfig(dir.path(), link, {1, 2}));

    WatchedLink serial(dir.path() + "/config.ini", link);
    ErrorBoxes boxes;
    QStringList messages;
    const QString file = TodayFile(dir.path());
    int ticks = 0;
    int comSetRuns = 0;
    std::function<void(TFrmComSet&)> onComSet;
    MainEnvironment env = Environment(dir.path(), &serial, boxes, messages);
    env.runComSet = [&](TFrmComSet& d) {
        ++comSetRuns;
        if (onComSet)
            onComSet(d);
    };
    TFrmMain window(env);
    connect(window.SecCy, &QTimer::timeout, &window, [&] { ++ticks; });
    window.show();
    QTest::qWait(1300);
    // The same measure while the line is healthy, for comparison.
    const qint64 cpuHealthy = CpuMs();
    QElapsedTimer healthy;
    healthy.start();
    QTest::qWait(2000);
    const qint64 healthyCpuMs = CpuMs() - cpuHealthy;
    const qint64 healthyMs = healthy.elapsed();
    QVERIFY(window.SecCy->isActive());
    for (int n = 1; n <= 2; ++n)
        QCOMPARE(window.panelColor(n, false), 0x008000);
    const qsizetype rowsBefore = DayFile::read(file).lines.size() - 1;
    QVERIFY(rowsBefore >= 2);

    // The far end dies without a word.
    const QStringList frozen = PanelTexts(window);
    sim->kill();
    const int ticksAtKill = ticks;
    const qint64 cpuAtKill = CpuMs();
    QElapsedTimer outage;
    outage.start();
    QTest::qWait(2000);
    // The hang-up may keep the event loop busy for a moment; after that it must be calm.
    const qint64 cpuLaterStart = CpuMs();
    QElapsedTimer later;
    later.start();
    QTest::qWait(2000);
    const qint64 laterMs = later.elapsed();
    const qint64 laterCpuMs = CpuMs() - cpuLaterStart;
    const qint64 outageMs = outage.elapsed();
    const qint64 cpuMs = CpuMs() - cpuAtKill;
    const int outageTicks = ticks - ticksAtKill;
    qInfo("healthy line: %lld ms CPU in %lld ms; port gone for %lld ms: %d ticks, %lld ms CPU "
          "(%lld ms in its last %lld ms), port %s",
          healthyCpuMs, healthyMs, outageMs, outageTicks, cpuMs, laterCpuMs, laterMs,
          serial.port() ? "still open" : "closed");
    QVERIFY2(cpuMs < outageMs / 2, "the program spins while the line is dead");
    QVERIFY2(laterCpuMs < laterMs / 10, "the program keeps spinning while the line is dead");
    // The timer goes on at its pace: a dead line must not stall the window.
    QVERIFY2(outageTicks >= outageMs / 1000 - 1, qPrintable(QString::number(outageTicks)));
    QCOMPARE(PanelTexts(window), frozen);
    QVERIFY(messages.isEmpty());
    QCOMPARE(boxes.shown, 0);
    // Rows written during the outage, if the port stayed open, repeat the last values.
    const DayFile during = DayFile::read(file);
    for (qsizetype i = 1 + rowsBefore; i < during.lines.size(); ++i) {
        QVERIFY2(WellFormedRow(during.lines[i]), during.lines[i].constData());
        QCOMPARE(RowTexts(during.lines[i]), frozen);
    }
    const qsizetype rowsAtReopen = during.lines.size() - 1;

    // A new simulator on the same path; the operator confirms that path in the settings.
    sim = std::make_unique<Simulator>(link);
    QVERIFY(sim->start({"--addresses", "1,2", "--seed", "4"}));
    onComSet = [&](TFrmComSet& d) {
        if (d.ComboBox1->findText(link) < 0)
            d.ComboBox1->addItem(link);
        d.ComboBox1->setCurrentText(link);
        d.Confirmed = true;
    };
    const int opensBefore = serial.opens;
    window.muComSetClick();
    QCOMPARE(comSetRuns, 1);
    QCOMPARE(serial.opens, opensBefore + 1);
    QVERIFY(serial.port());
    QVERIFY(!window.state().PortBusy);
    QTest::qWait(3300);
    for (int n = 1; n <= 2; ++n) {
        QCOMPARE(window.panelColor(n, false), 0x008000);
        QCOMPARE(window.panelColor(n, true), 0x008000);
    }
    QVERIFY(PanelTexts(window) != frozen);
    window.close();
    sim->stop();

    const DayFile after = DayFile::read(file);
    QVERIFY(after.endsWithLineEnd);
    QCOMPARE(after.headers(), 1);
    const qsizetype newRows = after.lines.size() - 1 - rowsAtReopen;
    QVERIFY2(newRows >= 2, qPrintable(QString::number(newRows)));
    bool fresh = false;
    for (qsizetype i = 1 + rowsAtReopen; i < after.lines.size(); ++i) {
        QVERIFY2(WellFormedRow(after.lines[i]), after.lines[i].constData());
        fresh = fresh || RowTexts(after.lines[i]) != frozen;
    }
    QVERIFY2(fresh, "no fresh values after the port was opened again");
    qInfo("%lld rows before the loss, %lld during it, %lld after the reopen", rowsBefore,
          rowsAtReopen - rowsBefore, newRows);
}

QTEST_MAIN(TestPortLoss)
#include "tst_PortLoss.moc"
