#include "FaultHarness.h"
#include "FileBytes.h"
#include "SmallDisk.h"

#include <QLabel>

using namespace faults;

namespace {

const QString kRow = QStringLiteral("65F40708,2024-03-15 08:30:00,12.345,25.6,0.0,0.0,0.0,0.0,0.0,"
                                    "0.0,0.0,0.0,0.0,0.0,0.0,0.0,0.0,0.0,");

} // namespace

// The program's folder lies on a small disk that fills up while it records.
class TestFullDisk : public QObject {
    Q_OBJECT
  private slots:
    void rowThatDoesNotFit_isCutBack_data();
    void rowThatDoesNotFit_isCutBack();
    void fullDiskWhileRecording_keepsSettingsAndWholeRows();
};

void TestFullDisk::rowThatDoesNotFit_isCutBack_data() {
    QTest::addColumn<int>("rowsBefore");
    QTest::newRow("new day's file") << 0;
    // The file's last page has room for part of a row only.
    QTest::newRow("row torn at the page end") << 40;
}

void TestFullDisk::rowThatDoesNotFit_isCutBack() {
    QFETCH(int, rowsBefore);
    SmallDisk disk(128);
    if (!disk.mounted())
        QSKIP(qPrintable(disk.reason()));
    const QString file = DailyFileName(disk.path(), QDate(2024, 3, 15));
    for (int i = 0; i < rowsBefore; ++i)
        QVERIFY(AppendRecordRow(file, kRow));
    const QByteArray before = FileBytes(file);
    QVERIFY(rowsBefore == 0 || before.size() % 4096 > 4096 - kRow.size());
    QVERIFY(disk.fill());

    QString error;
    QVERIFY(!AppendRecordRow(file, kRow, &error));
    // The operator reads the reason in Chinese, not the C library's English.
    QVERIFY2(error.contains(QStringLiteral("磁盘空间已满")), qPrintable(error));
    QCOMPARE(QFileInfo::exists(file), rowsBefore > 0);
    QCOMPARE(FileBytes(file), before);

    disk.release();
    QVERIFY(AppendRecordRow(file, kRow));
    const QByteArray start = rowsBefore ? before : RecordHeader() + "\r\n";
    QCOMPARE(FileBytes(file), start + kRow.toLatin1() + "\r\n");
}

// What the operator met: starting or quitting on a full disk left config.ini holding one entry.
void TestFullDisk::fullDiskWhileRecording_keepsSettingsAndWholeRows() {
    SmallDisk disk(512);
    if (!disk.mounted())
        QSKIP(qPrintable(disk.reason()));
    QTemporaryDir lineDir;
    const QString link = lineDir.path() + "/ttySIM0";
    Simulator sim(link);
    QVERIFY(sim.start({"--addresses", "1,2,3,4,5,6,7,8", "--seed", "9"}));
    QVERIFY(WriteConfig(disk.path(), link, {1, 2, 3, 4, 5, 6, 7, 8}));
    const QByteArray settings = FileBytes(disk.path() + "/config.ini");
    QVERIFY(disk.fill());
    WatchedLink serial(disk.path() + "/config.ini");
    ErrorBoxes boxes;
    boxes.modalMs = 0;
    QStringList messages;
    {
        // The port's opening stores comid and baudrate, each a settings write on a full disk.
        TFrmMain window(Environment(disk.path(), &serial, boxes, messages));
        window.show();
        QSignalSpy ticks(&window, &TFrmMain::cycleFinished);
        const auto* recordStatus = window.findChild<QLabel*>("RecordStatus");
        QTRY_VERIFY_WITH_TIMEOUT(recordStatus->text().startsWith(QStringLiteral("数据记录失败: ")),
                                 kDeadlineMs);
        const qsizetype firstFailure = ticks.size();
        // Two more ticks on the full disk, still the one box.
        QTRY_VERIFY_WITH_TIMEOUT(ticks.size() >= firstFailure + 2, kDeadlineMs);
        QCOMPARE(FileBytes(disk.path() + "/config.ini"), settings);
        QVERIFY(!QFileInfo::exists(TodayFile(disk.path())));
        // One box per fault, never one per tick: the record's, and the settings' as the port's
        // opening could not store comid.
        QCOMPARE(boxes.texts.filter(QStringLiteral("写入数据文件")).size(), 1);
        QCOMPARE(boxes.texts.filter(QStringLiteral("设置无法保存")).size(), boxes.shown - 1);
        disk.release();
        QTRY_COMPARE_WITH_TIMEOUT(recordStatus->text(), QString(), kDeadlineMs);
        QTRY_VERIFY_WITH_TIMEOUT(DayFile::read(TodayFile(disk.path())).lines.size() >= 3,
                                 kDeadlineMs);
        QVERIFY(disk.fill()); // and full again for the shutdown writes
        window.muExitClick();
    }
    sim.stop();
    QCOMPARE(FileBytes(disk.path() + "/config.ini"), settings);
    const DayFile day = DayFile::read(TodayFile(disk.path()));
    QVERIFY(day.endsWithLineEnd && day.lines.size() >= 3);
    QCOMPARE(day.lines.first(), RecordHeader());
    for (qsizetype i = 1; i < day.lines.size(); ++i)
        QVERIFY2(WellFormedRow(day.lines[i]), day.lines[i].constData());
}

QTEST_MAIN(TestFullDisk)
#include "tst_FullDisk.moc"
