#include "Chart.h"
#include "ColorValue.h"
#include "Ini.h"
#include "SerialLink.h"
#include "TFrmComSet.h"
#include "TFrmLine.h"
#include "TFrmMain.h"

#include <QAction>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

// The real program's start-up and polling cycle against the instrument simulator on a
// pseudo-terminal: from the serial line to the panels, the chart and the day's file.
class TestLiveIntegration : public QObject {
    Q_OBJECT
  private slots:
    void recordsSimulatedInstrumentsEverySecond();
};

void TestLiveIntegration::recordsSimulatedInstrumentsEverySecond() {
    QTemporaryDir dir;
    const QString link = dir.path() + "/ttySIM0";
    QProcess sim;
    sim.start(qEnvironmentVariable("PRESMON_BUILD_DIR") + "/presmon-sim",
              {"--addresses", "1,2", "--link", link, "--seed", "7"});
    QVERIFY(sim.waitForStarted(5000));
    QVERIFY(sim.waitForReadyRead(5000));

    const QString config = dir.path() + "/config.ini";
    QVERIFY(WriteDefaultConfig(config));
    IniWriteString(config, "comSet", "comid", link);
    IniWriteInteger(config, "OpenOrClose", "1", 1);
    IniWriteInteger(config, "OpenOrClose", "2", 1);

    SerialLink serial(config);
    QStringList errors;
    MainEnvironment env;
    env.baseDir = dir.path();
    env.link = &serial;
    env.pause = [](int ms) { QThread::msleep(ms); };
    env.clock = [] { return QDateTime::currentDateTime(); };
    env.showMessage = [&](const QString& t) { errors << t; };
    env.showError = [&](const QString& t) { errors << t; };
    env.runComSet = [](TFrmComSet&) {};
    env.runDialog = [](QDialog&) {};
    const QDate day = QDate::currentDate();
    {
        TFrmMain window(env);
        window.show();
        QTest::qWait(4600);
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join('\n')));
        QVERIFY(window.SecCy->isActive());
        QCOMPARE(window.curveWindows().size(), 2);
        for (int n = 1; n <= 2; ++n) {
            QCOMPARE(window.panelColor(n, false), 0x008000);
            QCOMPARE(window.panelColor(n, true), 0x008000);
            QVERIFY(window.state().PresValue[n] != 0.0f);
        }
        QCOMPARE(window.panel(3, false)->text(), QStringLiteral("0.0"));
        QVERIFY(window.Chart1->pointCount(0) >= 3);
        window.close();
    }
    sim.terminate();
    sim.waitForFinished(5000);

    // The day could have turned during the run; the rows are then in the next day's file.
    QFile csv(dir.path() + QStringLiteral("/Data/%1.csv").arg(day.toString("yyyy/MM/dd")));
    if (!csv.exists())
        csv.setFileName(dir.path() +
                        QStringLiteral("/Data/%1.csv").arg(day.addDays(1).toString("yyyy/MM/dd")));
    QVERIFY(csv.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = csv.readAll().split('\n');
    QVERIFY(lines.size() >= 4);
    QCOMPARE(lines[0].size(), 111); // header and CR
    const QRegularExpression row(
        R"(^[0-9A-F]{8,},\d{4}-\d\d-\d\d \d\d:\d\d:\d\d,(-?\d+(\.\d+)?,){16}\r$)");
    int rows = 0;
    for (int i = 1; i < lines.size(); ++i) {
        if (lines[i].isEmpty())
            continue;
        ++rows;
        QVERIFY2(row.match(QString::fromLatin1(lines[i])).hasMatch(), lines[i].constData());
        const QList<QByteArray> fields = lines[i].split(',');
        QCOMPARE(fields[6], QByteArray("0.0")); // instrument 3 is off
    }
    QVERIFY(rows >= 3);
    // The port that opened is stored whole in the configuration.
    QCOMPARE(IniReadString(config, "comSet", "comid"), link);
}

QTEST_MAIN(TestLiveIntegration)
#include "tst_LiveIntegration.moc"
