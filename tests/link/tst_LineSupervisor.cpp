#include "FakePort.h"
#include "LineSupervisor.h"

#include <QTest>

namespace {

// A line whose port can fail; opens are logged and succeed while the device is there.
class FakeLink : public LinkService {
  public:
    FakePort fake;
    bool failed = false;
    bool deviceThere = true;
    bool halfOpens = false; // an absent device still opens but takes no line settings
    QStringList log;
    qint64 now = 0;

    QStringList list() override { return {}; }
    bool open(const QString& name, int baudIndex) override {
        log << QStringLiteral("%1 open %2@%3").arg(now).arg(name).arg(baudIndex);
        failed = false;
        fake.open = deviceThere || halfOpens;
        return deviceThere;
    }
    void close() override { fake.open = false; }
    Port* port() override { return fake.open && !failed ? &fake : nullptr; }
    bool lost() override { return fake.open && failed; }
};

} // namespace

class TstLineSupervisor : public QObject {
    Q_OBJECT
  private slots:
    // Checked every 250 ms for 8 s; the line fails at 1 s, the device is back at backMs, and
    // at operatorMs the operator opens a port in the settings; at cancelMs a port that did not
    // open is handed over for retries (the port dialog cancelled). Reports are logged with times.
    void lostLine_closedShownAndRetried_data() {
        QTest::addColumn<bool>("fails");
        QTest::addColumn<int>("backMs");
        QTest::addColumn<int>("operatorMs");
        QTest::addColumn<bool>("halfOpens");
        QTest::addColumn<int>("cancelMs");
        QTest::addColumn<QStringList>("log");
        QTest::newRow("silent instruments on a live line")
            << false << 0 << -1 << false << -1 << QStringList{};
        QTest::newRow("back before the first retry")
            << true << 2000 << -1 << false << -1
            << QStringList{"1000 lost ttyUSB0", "3000 open ttyUSB0@4", "3000 fine"};
        QTest::newRow("back after three retries")
            << true << 6500 << -1 << false << -1
            << QStringList{"1000 lost ttyUSB0", "3000 open ttyUSB0@4", "5000 open ttyUSB0@4",
                           "7000 open ttyUSB0@4", "7000 fine"};
        QTest::newRow("reopened by the operator")
            << true << 1500 << 1500 << false << -1
            << QStringList{"1000 lost ttyUSB0", "1500 open ttyUSB1@3", "1500 fine"};
        // A failed reopen that left the port open must not pass for the line being back.
        QTest::newRow("reopens half way while away")
            << true << 6500 << -1 << true << -1
            << QStringList{"1000 lost ttyUSB0", "3000 open ttyUSB0@4", "5000 open ttyUSB0@4",
                           "7000 open ttyUSB0@4", "7000 fine"};
        QTest::newRow("cancelled port retried 2 s later")
            << false << 2000 << -1 << false << 1000
            << QStringList{"1000 lost ttyUSB0", "3000 open ttyUSB0@4", "3000 fine"};
    }
    void lostLine_closedShownAndRetried() {
        QFETCH(bool, fails);
        QFETCH(int, backMs);
        QFETCH(int, operatorMs);
        FakeLink link;
        QFETCH(bool, halfOpens);
        QFETCH(int, cancelMs);
        link.halfOpens = halfOpens;
        qint64& now = link.now;
        QStringList& log = link.log;
        LineSupervisor supervisor(
            link, [&] { return now; },
            [&](const QString& port) {
                log << QStringLiteral("%1 %2").arg(now).arg(port.isEmpty() ? "fine"
                                                                           : "lost " + port);
            });
        for (; now <= 8000; now += 250) {
            link.failed = link.failed || (fails && now == 1000);
            link.deviceThere = now < 1000 || now >= backMs;
            if (now == operatorMs)
                link.open("ttyUSB1", 3);
            if (now == cancelMs) {
                link.close();
                supervisor.retry("ttyUSB0");
            }
            supervisor.check("ttyUSB0", 4);
            // The failed port is closed at the check that finds it, never left for the cycle.
            QVERIFY(!link.lost());
        }
        QTEST(log, "log");
    }
};

QTEST_GUILESS_MAIN(TstLineSupervisor)
#include "tst_LineSupervisor.moc"
