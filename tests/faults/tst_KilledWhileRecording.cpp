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

// Runs the program copied into dir until done() holds, then kills it with SIGKILL.
bool RunAndKill(const QString& dir, const std::function<bool()>& done, QString* why) {
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(dir + "/presmon", {});
    if (!program.waitForStarted(kDeadlineMs)) {
        *why = "did not start";
        return false;
    }
    QTest::qWaitFor([&] { return done() || program.state() != QProcess::Running; }, kDeadlineMs);
    if (program.state() != QProcess::Running)
        *why = QStringLiteral("ended on its own with %1").arg(program.exitCode());
    else if (!done())
        *why = "fewer rows than awaited";
    program.kill();
    return program.waitForFinished(kDeadlineMs) && why->isEmpty();
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
    // The program runs until the file holds this many well-formed rows after line `from`.
    const auto rows = [&](qsizetype from, int count) {
        return [=] {
            QList<qint64> numbers;
            CheckRows(DayFile::read(file), from, &numbers);
            return numbers.size() >= count;
        };
    };

    QString why;
    QVERIFY2(RunAndKill(dir.path(), rows(1, 10), &why), qPrintable(why));
    const DayFile first = DayFile::read(file);
    QVERIFY2(first.endsWithLineEnd, "the kill left half a row");
    QVERIFY(!first.bareLineFeed);
    QCOMPARE(first.lines.first(), RecordHeader());
    QCOMPARE(first.headers(), 1);
    QList<qint64> numbers;
    QCOMPARE(CheckRows(first, 1, &numbers), 0);
    // Every row the run wrote is there, each in a second of its own. Whether a busy machine
    // let a second go by without a tick is not the kill's doing (the live test counts ticks).
    QVERIFY(numbers.size() >= 10);
    for (int i = 1; i < numbers.size(); ++i)
        QVERIFY2(numbers[i] > numbers[i - 1],
                 qPrintable(QStringLiteral("row %1 after %2").arg(numbers[i]).arg(numbers[i - 1])));
    const int rowsFirstRun = int(numbers.size());

    // The next start goes on in the same file.
    QVERIFY2(RunAndKill(dir.path(), rows(1, rowsFirstRun + 2), &why), qPrintable(why));
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
    QVERIFY2(RunAndKill(dir.path(), rows(halfRow + 1, 2), &why), qPrintable(why));
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
