#include "DailyRecord.h"
#include "FileBytes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <ctime>
#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

namespace {

QDateTime At(const QString& text) {
    return QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"));
}

bool WriteAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).absolutePath()) && file.open(QIODevice::WriteOnly) &&
           file.write(bytes) == bytes.size();
}

const QByteArray kRow1 = "65F40708,2024-03-15 08:30:00,12.345,25.6,0.0,0.0,0.0,0.0,0.0,0.0,0.0,"
                         "0.0,0.0,0.0,0.0,0.0,0.0,0.0,";
const QByteArray kRow2 = "65F40709,2024-03-15 08:30:01,12.346,25.6,0.0,0.0,0.0,0.0,0.0,0.0,0.0,"
                         "0.0,0.0,0.0,0.0,0.0,0.0,0.0,";

} // namespace

class TestDailyRecord : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        // A zone far from UTC, so a conversion of the local clock would change the numbers.
        qputenv("TZ", "CST-8");
        tzset();
    }

    void composeStampsRoundedNumberAndTruncatedTime_data() {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<QString>("expected");
        // second reading empty: both readings are the first one
        const auto row = [](const char* name, const char* first, const char* second,
                            const char* expected) {
            QTest::newRow(name) << first << (*second ? second : first) << expected;
        };
        row("below half", "2024-03-15 08:30:00.499", "", "65F40708,2024-03-15 08:30:00,");
        row("tie to even down", "2024-03-15 08:30:00.500", "", "65F40708,2024-03-15 08:30:00,");
        row("tie to even up", "2024-03-15 08:30:01.500", "", "65F4070A,2024-03-15 08:30:01,");
        row("time field one behind", "2024-03-15 08:30:00.600", "",
            "65F40709,2024-03-15 08:30:00,");
        row("rounds into next day", "2024-03-15 23:59:59.600", "", "65F4E100,2024-03-15 23:59:59,");
        row("separate readings", "2024-03-15 08:30:00.999", "2024-03-15 08:30:01.001",
            "65F40709,2024-03-15 08:30:01,");
        row("padded to eight digits", "1970-01-02 00:00:00.000", "",
            "00015180,1970-01-02 00:00:00,");
    }
    void composeStampsRoundedNumberAndTruncatedTime() {
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(QString, expected);
        QList<QDateTime> readings{At(first), At(second)};
        QCOMPARE(ComposeRecordRow([&] { return readings.takeFirst(); }), expected);
        QVERIFY(readings.isEmpty());
    }

    void newFileGetsHeaderOnce() {
        QTemporaryDir base;
        const QString file = DailyFileName(base.path(), QDate(2024, 3, 15));
        QCOMPARE(file, base.path() + "/Data/2024/03/15.csv");

        QVERIFY(AppendRecordRow(file, QString::fromLatin1(kRow1)));
        QVERIFY(AppendRecordRow(file, QString::fromLatin1(kRow2)));

        const QByteArray header = QByteArray::fromHex(
            "cafdbeddb1e0bac52ccab1bce42cd1b9c1a6312ccec2b6c8312cd1b9c1a6322ccec2b6c8322cd1b9c1a6"
            "332ccec2b6c8332cd1b9c1a6342ccec2b6c8342cd1b9c1a6352ccec2b6c8352cd1b9c1a6362ccec2b6c8"
            "362cd1b9c1a6372ccec2b6c8372cd1b9c1a6382ccec2b6c8382c");
        QCOMPARE(header.size(), 110);
        QCOMPARE(RecordHeader(), header);
        QCOMPARE(FileBytes(file), header + "\r\n" + kRow1 + "\r\n" + kRow2 + "\r\n");
    }

    void existingFileIsContinued_data() {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("empty, no header") << QByteArray() << kRow2 + "\r\n";
        QTest::newRow("complete line") << kRow1 + "\r\n" << kRow1 + "\r\n" + kRow2 + "\r\n";
        QTest::newRow("half line of a killed run")
            << kRow1.left(20) << kRow1.left(20) + "\r\n" + kRow2 + "\r\n";
        QTest::newRow("killed between CR and LF")
            << kRow1 + "\r" << kRow1 + "\r\n" + kRow2 + "\r\n";
    }
    void existingFileIsContinued() {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        QTemporaryDir base;
        const QString file = DailyFileName(base.path(), QDate(2024, 3, 15));
        QVERIFY(WriteAll(file, before));
        QVERIFY(AppendRecordRow(file, QString::fromLatin1(kRow2)));
        QCOMPARE(FileBytes(file), after);
    }

    void unwritablePlaceFailsThenRecovers_data() {
        QTest::addColumn<QString>("blocker");
        QTest::newRow("file where Data belongs") << "Data";
        QTest::newRow("file where the month belongs") << "Data/2024/03";
        QTest::newRow("folder where the day file belongs") << "Data/2024/03/15.csv";
    }
    void unwritablePlaceFailsThenRecovers() {
        QFETCH(QString, blocker);
        QTemporaryDir base;
        const QString blockerPath = base.filePath(blocker);
        const bool asFolder = blocker.endsWith(".csv");
        QVERIFY(asFolder ? QDir().mkpath(blockerPath) : WriteAll(blockerPath, "x"));
        const QString file = DailyFileName(base.path(), QDate(2024, 3, 15));

        QString error;
        QVERIFY(!AppendRecordRow(file, QString::fromLatin1(kRow1), &error));
        QVERIFY2(error.contains(QDir::toNativeSeparators(file)), qPrintable(error));

        QVERIFY(asFolder ? QDir(blockerPath).removeRecursively() : QFile::remove(blockerPath));
        error.clear();
        QVERIFY2(AppendRecordRow(file, QString::fromLatin1(kRow2), &error), qPrintable(error));
        QVERIFY(FileBytes(file).endsWith("\r\n" + kRow2 + "\r\n"));
    }

#ifdef Q_OS_UNIX // a file size limit for the process
    // The file may grow by 24 bytes only, as on a disk that fills up part-way through a row.
    void rowThatDoesNotFitIsUndone_data() {
        QTest::addColumn<QByteArray>("before");
        QTest::newRow("row torn") << kRow1 + "\r\n";
        QTest::newRow("new file's header torn") << QByteArray();
    }
    void rowThatDoesNotFitIsUndone() {
        QFETCH(QByteArray, before);
        QTemporaryDir base;
        const QString file = DailyFileName(base.path(), QDate(2024, 3, 15));
        QVERIFY(before.isEmpty() || WriteAll(file, before));
        const auto signalBefore = ::signal(SIGXFSZ, SIG_IGN); // the write fails, the run goes on
        rlimit unlimited{};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &unlimited), 0);
        rlimit small = unlimited;
        small.rlim_cur = rlim_t(before.size() + 24);
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
        const bool appended = AppendRecordRow(file, QString::fromLatin1(kRow2));
        ::setrlimit(RLIMIT_FSIZE, &unlimited);
        ::signal(SIGXFSZ, signalBefore);
        QVERIFY(!appended);
        // Nothing of the row stays; a file the append created goes, so the next gets a header.
        QCOMPARE(QFileInfo::exists(file), !before.isEmpty());
        QCOMPARE(FileBytes(file), before);
        QVERIFY(AppendRecordRow(file, QString::fromLatin1(kRow2)));
        const QByteArray start = before.isEmpty() ? RecordHeader() + "\r\n" : before;
        QCOMPARE(FileBytes(file), start + kRow2 + "\r\n");
    }
#endif
};

QTEST_GUILESS_MAIN(TestDailyRecord)
#include "tst_DailyRecord.moc"
