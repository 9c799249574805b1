#include "DailyRecord.h"
#include "FaultHarness.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

using namespace faults;

// The day's file cannot be reached for a few seconds of a recording run, then can again.
class TestDiskFaults : public QObject {
    Q_OBJECT
  private slots:
    void recordingResumesAfterBlockedFile_data();
    void recordingResumesAfterBlockedFile();
};

namespace {

enum class Block { DataFolder, MonthFolder, DayFile };

// The path that is put out of reach for a block; the day's file and its folders lie below
// baseDir/Data. As root no permission keeps the program out, so a file stands where a folder
// must be, or a folder where the file must be.
QString BlockedPath(const QString& baseDir, Block block) {
    const QString day = TodayFile(baseDir);
    switch (block) {
    case Block::DataFolder:
        return baseDir + "/Data";
    case Block::MonthFolder:
        return QFileInfo(day).absolutePath();
    case Block::DayFile:
        return day;
    }
    return {};
}

bool PutBlock(const QString& path, Block block) {
    if (!QFile::rename(path, path + ".kept"))
        return false;
    if (block == Block::DayFile)
        return QDir().mkdir(path);
    QFile stone(path);
    return stone.open(QIODevice::WriteOnly) && stone.write("not a folder") > 0;
}

bool LiftBlock(const QString& path, Block block) {
    const bool removed = block == Block::DayFile ? QDir().rmdir(path) : QFile::remove(path);
    return removed && QFile::rename(path + ".kept", path);
}

struct Tick {
    bool blocked;
    QDateTime end;
};

} // namespace

void TestDiskFaults::recordingResumesAfterBlockedFile_data() {
    QTest::addColumn<int>("block");
    QTest::newRow("Data is a file") << int(Block::DataFolder);
    QTest::newRow("month folder is a file") << int(Block::MonthFolder);
    QTest::newRow("day's file is a folder") << int(Block::DayFile);
}

void TestDiskFaults::recordingResumesAfterBlockedFile() {
    QFETCH(int, block);
    const Block kind = Block(block);

    QTemporaryDir dir;
    const QString link = dir.path() + "/ttySIM0";
    Simulator sim(link);
    QVERIFY(sim.start({"--addresses", "1,2", "--seed", "5"}));
    QVERIFY(WriteConfig(dir.path(), link, {1, 2}));

    WatchedLink serial(dir.path() + "/config.ini");
    ErrorBoxes boxes;
    QStringList messages;
    QList<Tick> ticks;
    bool blocked = false;
    int boxesAtLift = 0;
    int ticksWhileBoxOpen = 0;
    boxes.modalMs = 2500;
    const auto ticksSince = [&](qsizetype from, bool whileBlocked) {
        return std::count_if(ticks.begin() + from, ticks.end(),
                             [&](const Tick& t) { return t.blocked == whileBlocked; });
    };
    const QDateTime started = QDateTime::currentDateTime();
    {
        TFrmMain window(Environment(dir.path(), &serial, boxes, messages));
        connect(&window, &TFrmMain::cycleFinished, &window, [&] {
            ticks << Tick{blocked, QDateTime::currentDateTime()};
            ticksWhileBoxOpen += boxes.depth > 0 ? 1 : 0;
        });
        window.show();
        const QString path = BlockedPath(dir.path(), kind);
        QTRY_VERIFY_WITH_TIMEOUT(ticks.size() >= 2 && QFileInfo::exists(path), kDeadlineMs);
        QVERIFY(PutBlock(path, kind));
        blocked = true;
        // Blocked past the box's life, and the timer goes on while the box waits for OK.
        QTRY_VERIFY_WITH_TIMEOUT(ticksSince(0, true) >= 3 && ticksWhileBoxOpen > 0, kDeadlineMs);
        QVERIFY(LiftBlock(path, kind));
        blocked = false;
        boxesAtLift = boxes.shown;
        const qsizetype atLift = ticks.size();
        QTRY_VERIFY_WITH_TIMEOUT(ticksSince(atLift, false) >= 3 && boxes.depth == 0, kDeadlineMs);
        window.close();
    }
    sim.stop();

    int blockedTicks = 0;
    for (const Tick& t : ticks)
        blockedTicks += t.blocked ? 1 : 0;
    QVERIFY(blockedTicks >= 1);
    QVERIFY(boxes.shown >= 1);
    QVERIFY2(boxes.maxDepth <= 1, "error boxes were stacked");
    // Rows resume as soon as the disk takes them, not when OK is clicked, and without a word.
    QCOMPARE(boxes.shown, boxesAtLift);
    QVERIFY(!boxes.texts.first().isEmpty());
    QVERIFY(messages.isEmpty());

    const DayFile day = DayFile::read(TodayFile(dir.path()));
    QVERIFY(day.endsWithLineEnd);
    QVERIFY(!day.bareLineFeed);
    QCOMPARE(day.headers(), 1);
    QCOMPARE(day.lines.first(), RecordHeader());
    QList<qint64> numbers;
    for (qsizetype i = 1; i < day.lines.size(); ++i) {
        QVERIFY2(WellFormedRow(day.lines[i]), day.lines[i].constData());
        numbers << DataNumber(day.lines[i]);
        if (numbers.size() > 1)
            QVERIFY(numbers.last() > numbers[numbers.size() - 2]);
    }
    // Every tick that could write wrote its row, within its own run (after the tick before
    // ended), and no blocked tick did.
    QCOMPARE(numbers.size(), ticks.size() - blockedTicks);
    int k = 0;
    QDateTime since = started;
    for (const Tick& t : ticks) {
        const qint64 from = SecondCount(since);
        since = t.end;
        if (t.blocked)
            continue;
        const qint64 end = SecondCount(t.end);
        QVERIFY2(numbers[k] <= end && numbers[k] >= from,
                 qPrintable(QStringLiteral("row %1 at %2, tick ran %3 to %4")
                                .arg(k)
                                .arg(numbers[k])
                                .arg(from)
                                .arg(end)));
        ++k;
    }
    qInfo("%d ticks, %d of them blocked, %d error boxes, %d rows", int(ticks.size()), blockedTicks,
          boxes.shown, int(numbers.size()));
}

QTEST_MAIN(TestDiskFaults)
#include "tst_DiskFaults.moc"
