#include "FakePort.h"
#include "LineSupervisor.h"

#include <QTest>

namespace {

// A line whose port can fail and whose opens succeed once the device is back.
class FakeLink : public LinkService {
  public:
    FakePort fake;
    bool failed = false;
    bool deviceThere = true;
    QStringList opens;

    QStringList list() override { return {}; }
    bool open(const QString& name, int baudIndex) override {
        opens << QStringLiteral("%1@%2").arg(name).arg(baudIndex);
        fake.open = deviceThere;
        failed = false;
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
    // Checked every 250 ms for ten seconds; the line fails at 1 s and the device is back at
    // backAtMs. Every report and every open is logged with its time.
    void lostLine_closedShownAndRetried_data() {
        QTest::addColumn<bool>("fails");
        QTest::addColumn<int>("backAtMs");
        QTest::addColumn<QStringList>("reports");
        QTest::addColumn<QStringList>("opens");
        QTest::newRow("silent instruments on a live line") << false << 0 << QStringList{}
                                                           << QStringList{};
        QTest::newRow("back before the first retry")
            << true << 2000 << QStringList{"1000 lost ttyUSB0", "3000 fine"}
            << QStringList{"3000 ttyUSB0@4"};
        QTest::newRow("back after three retries")
            << true << 6500 << QStringList{"1000 lost ttyUSB0", "7000 fine"}
            << QStringList{"3000 ttyUSB0@4", "5000 ttyUSB0@4", "7000 ttyUSB0@4"};
    }
    void lostLine_closedShownAndRetried() {
        QFETCH(bool, fails);
        QFETCH(int, backAtMs);
        qint64 now = 0;
        FakeLink link;
        QStringList reports;
        QStringList opens;
        LineSupervisor supervisor(
            link, [&] { return now; },
            [&](const QString& port) {
                reports << QStringLiteral("%1 %2").arg(now).arg(port.isEmpty() ? "fine"
                                                                             : "lost " + port);
            });
        for (; now <= 10000; now += 250) {
            if (now == 1000 && fails) {
                link.failed = true;
                link.deviceThere = false;
            }
            if (now == backAtMs)
                link.deviceThere = true;
            const qsizetype before = link.opens.size();
            supervisor.check("ttyUSB0", 4);
            if (link.opens.size() > before)
                opens << QStringLiteral("%1 %2").arg(now).arg(link.opens.last());
            // The cycle never sees the failed port: it is closed at the check that finds it.
            QVERIFY(!link.lost());
            QCOMPARE(supervisor.isLost(), link.port() == nullptr);
        }
        QTEST(reports, "reports");
        QTEST(opens, "opens");
    }

    // The operator chose a port in the settings while the line was down: the state clears.
    void lostLine_reopenedByOperator_clears() {
        qint64 now = 0;
        FakeLink link;
        QStringList reports;
        LineSupervisor supervisor(link, [&] { return now; },
                                  [&](const QString& port) { reports << port; });
        link.failed = true;
        supervisor.check("ttyUSB0", 3);
        now = 500;
        link.open("ttyUSB1", 3);
        supervisor.check("ttyUSB1", 3);
        QCOMPARE(reports, QStringList({"ttyUSB0", ""}));
        QCOMPARE(link.opens, QStringList{"ttyUSB1@3"});
    }
};

QTEST_GUILESS_MAIN(TstLineSupervisor)
#include "tst_LineSupervisor.moc"
