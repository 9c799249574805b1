#include "Chart.h"
#include "DailyRecord.h"
#include "Ini.h"
#include "SerialLink.h"
#include "TFrmComSet.h"
#include "TFrmLine.h"
#include "TFrmMain.h"

#include <QAction>
#include <QDialog>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

namespace {

// What the program did on the line: every write and read, with the time it was called.
struct LineEvent {
    qint64 atMs;
    QByteArray written; // empty for a read
    qint64 readSize = 0;
};

class LoggedPort : public Port {
  public:
    Port* inner = nullptr;
    QList<LineEvent>* log = nullptr;
    QElapsedTimer* clock = nullptr;

    bool isOpen() const override { return inner && inner->isOpen(); }
    qint64 write(const QByteArray& bytes) override {
        *log << LineEvent{clock->elapsed(), bytes};
        return inner->write(bytes);
    }
    QByteArray read(qint64 maxBytes) override {
        *log << LineEvent{clock->elapsed(), {}, maxBytes};
        return inner->read(maxBytes);
    }
};

class LoggedLink : public LinkService {
  public:
    explicit LoggedLink(const QString& config) : m_serial(config) {
        m_clock.start();
        m_port.log = &events;
        m_port.clock = &m_clock;
    }
    QStringList list() override { return m_serial.list(); }
    bool open(const QString& name, int baudIndex) override { return m_serial.open(name, baudIndex); }
    void close() override { m_serial.close(); }
    Port* port() override {
        m_port.inner = m_serial.port();
        return m_port.inner ? &m_port : nullptr;
    }

    QList<LineEvent> events;

  private:
    SerialLink m_serial;
    QElapsedTimer m_clock;
    LoggedPort m_port;
};

// The lines of every day's file the run wrote, in day order: near midnight there are two.
QList<QByteArray> RecordLines(const QString& base, int* files) {
    QStringList paths;
    QDirIterator it(base + "/Data", {"*.csv"}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        paths << it.next();
    paths.sort();
    *files = int(paths.size());
    QList<QByteArray> lines;
    for (const QString& path : paths) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            lines << file.readAll().split('\n');
    }
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
    QProcess sim;
    sim.start(qEnvironmentVariable("PRESMON_BUILD_DIR") + "/presmon-sim",
              {"--addresses", addresses.join(','), "--link", link, "--seed", "7"});
    QVERIFY(sim.waitForStarted(5000));
    QVERIFY(sim.waitForReadyRead(5000));

    const QString config = dir.path() + "/config.ini";
    QVERIFY(WriteDefaultConfig(config));
    IniWriteString(config, "comSet", "comid", link);
    for (int n : on)
        IniWriteInteger(config, "OpenOrClose", QString::number(n), 1);

    LoggedLink serial(config);
    QStringList errors;
    TFrmMain* main = nullptr;
    int rowsBeforeHistory = -1;
    int historyChartPoints = -1;
    MainEnvironment env;
    env.baseDir = dir.path();
    env.link = &serial;
    env.pause = [](int ms) { QThread::msleep(ms); };
    env.clock = [] { return QDateTime::currentDateTime(); };
    env.showMessage = [&](const QString& t) { errors << t; };
    env.showError = [&](const QString& t) { errors << t; };
    env.runComSet = [](TFrmComSet&) {};
    // The history window as the operator leaves it open: ticks go on in its modal loop.
    env.runDialog = [&](QDialog&) {
        int files = 0;
        rowsBeforeHistory = int(RecordLines(dir.path(), &files).size());
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
        // Panels are looked at between cycles: within one they turn yellow as requests go out.
        QSignalSpy cycleEnd(&window, &TFrmMain::cycleFinished);
        QVERIFY(cycleEnd.wait(2000));
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
        window.close();
        QTRY_VERIFY(!window.isVisible()); // once a cycle in flight has read its replies
    }
    sim.terminate();
    sim.waitForFinished(5000);

    // The wire: every tick sends the requests in address order, each followed by at least
    // 45 ms before the next request or the one read of up to 256 bytes.
    QList<QByteArray> tickRequests;
    for (int n : on)
        tickRequests << QByteArray("\x04") + '0' + char('0' + n) + "P3\x05"
                     << QByteArray("\x04") + '0' + char('0' + n) + "P4\x05";
    const QList<LineEvent>& line = serial.events;
    int ticks = 0;
    for (qsizetype i = 0; i < line.size();) {
        for (const QByteArray& request : tickRequests) {
            QVERIFY2(i + 1 < line.size(), "a tick ended early");
            QCOMPARE(line[i].written, request);
            const qint64 gap = line[i + 1].atMs - line[i].atMs;
            QVERIFY2(gap >= 45, qPrintable(QStringLiteral("%1 ms after a write").arg(gap)));
            ++i;
        }
        QCOMPARE(line[i].readSize, 256);
        ++i;
        ++ticks;
    }
    QVERIFY2(ticks >= seconds - 2, qPrintable(QString::number(ticks)));

    // The files: one row for every second, numbered without gap or double, each row's time
    // text naming the second of its number, also while the history window was open.
    int files = 0;
    const QList<QByteArray> lines = RecordLines(dir.path(), &files);
    const QRegularExpression row(
        R"(^[0-9A-F]{8,},\d{4}-\d\d-\d\d \d\d:\d\d:\d\d,(-?\d+(\.\d+)?,){16}\r$)");
    QList<qint64> numbers;
    for (const QByteArray& text : lines) {
        if (text.isEmpty())
            continue;
        if (text.size() == 111) // a file's header and CR
            continue;
        QVERIFY2(row.match(QString::fromLatin1(text)).hasMatch(), text.constData());
        const QList<QByteArray> fields = text.split(',');
        numbers << fields[0].toLongLong(nullptr, 16);
        const QDateTime time =
            QDateTime::fromString(QString::fromLatin1(fields[1]), "yyyy-MM-dd hh:mm:ss");
        QCOMPARE(SecondCount(time), numbers.last());
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
