#include "FaultHarness.h"

#include <QFileInfo>

using namespace faults;

// The real program, recording against the simulator, is killed without warning and started
// again on the same day's file.
class TestKilledWhileRecording : public QObject {
    Q_OBJECT
  private slots:
    void keepsEveryRowBeforeTheKillAndAppendsCleanly();
};

namespace {

// Runs the program copied into dir for ms milliseconds, then kills it with SIGKILL.
bool RunAndKill(const QString& dir, int ms, QString* why) {
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(dir + "/presmon", {});
    if (!program.waitForStarted(5000)) {
        *why = "did not start";
        return false;
    }
    QTest::qWait(ms);
    if (program.state() != QProcess::Running) {
        *why = QStringLiteral("ended on its own with %1").arg(program.exitCode());
        return false;
    }
    program.kill();
    return program.waitForFinished(5000);
}

// Rows after the header; a row glued to a half row shows as a malformed line here.
int CheckRows(const DayFile& day, int from, QList<qint64>* numbers) {
    int bad = 0;
    for (qsizetype i = from; i < day.lines.size(); ++i) {
        if (!WellFormedRow(day.lines[i])) {
            ++bad;
            continue;
        }
        *numbers << DataNumber(day.lines[i]);
    }
    return bad;
}

} // namespace

void TestKilledWhileRecording::keepsEveryRowBeforeTheKillAndAppendsCleanly() {
    QTemporaryDir dir;
    QVERIFY(QFile::copy(buildDir() + "/presmon", dir.path() + "/presmon"));
    const QString link = dir.path() + "/ttySIM0";
    Simulator sim(link);
    QVERIFY(sim.start({"--addresses", "1,2", "--seed", "9"}));
    QVERIFY(WriteConfig(dir.path(), link, {1, 2}));
    const QString file = TodayFile(dir.path());

    QString why;
    QVERIFY2(RunAndKill(dir.path(), 10500, &why), qPrintable(why));
    const DayFile first = DayFile::read(file);
    QVERIFY2(first.endsWithLineEnd, "the kill left half a row");
    QVERIFY(!first.bareLineFeed);
    QCOMPARE(first.lines.first(), RecordHeader());
    QCOMPARE(first.headers(), 1);
    QList<qint64> numbers;
    QCOMPARE(CheckRows(first, 1, &numbers), 0);
    // About one row a second from the first tick on, none missing in between.
    QVERIFY2(numbers.size() >= 8 && numbers.size() <= 11,
             qPrintable(QString::number(numbers.size())));
    for (int i = 1; i < numbers.size(); ++i)
        QVERIFY2(numbers[i] - numbers[i - 1] >= 1 && numbers[i] - numbers[i - 1] <= 2,
                 qPrintable(QStringLiteral("gap of %1 s").arg(numbers[i] - numbers[i - 1])));
    const int rowsFirstRun = int(numbers.size());

    // The next start goes on in the same file.
    QVERIFY2(RunAndKill(dir.path(), 3500, &why), qPrintable(why));
    const DayFile second = DayFile::read(file);
    QVERIFY(second.bytes.startsWith(first.bytes)); // nothing written earlier was touched
    QVERIFY(second.endsWithLineEnd);
    QCOMPARE(second.headers(), 1);
    numbers.clear();
    QCOMPARE(CheckRows(second, 1, &numbers), 0);
    QVERIFY(numbers.size() >= rowsFirstRun + 2);

    // A kill in the middle of a write leaves a row without its end; emulate that one.
    {
        QFile f(file);
        QVERIFY(f.open(QIODevice::Append));
        QVERIFY(f.write("6A000000,2024-01-01 00:") > 0);
    }
    const qsizetype halfRow = second.lines.size();
    QVERIFY2(RunAndKill(dir.path(), 3500, &why), qPrintable(why));
    const DayFile third = DayFile::read(file);
    QVERIFY(third.endsWithLineEnd);
    QVERIFY(!third.bareLineFeed);
    QCOMPARE(third.headers(), 1);
    QCOMPARE(third.lines[halfRow], QByteArray("6A000000,2024-01-01 00:")); // on its own line
    numbers.clear();
    QCOMPARE(CheckRows(third, halfRow + 1, &numbers), 0);
    QVERIFY(numbers.size() >= 2);
    qInfo("first run %d rows, file now %lld lines, %lld bytes", rowsFirstRun, third.lines.size(),
          third.bytes.size());
    sim.stop();
}

QTEST_MAIN(TestKilledWhileRecording)
#include "tst_KilledWhileRecording.moc"
