#include "FakePort.h"
#include "FaultHarness.h"

#include <QAction>
#include <QRandomGenerator>

using namespace faults;

// config.ini turned to rubbish, marked read-only, or deleted while the program runs.
class TestDamagedConfig : public QObject {
    Q_OBJECT
  private slots:
    void startsOnRandomBytesWithEmptyValues();
    void realProgramStartsOnRandomBytes();
    void writesThroughReadOnlyMark();
    void survivesDeletionDuringRun();
};

namespace {

// A port that is always there and never answers.
class QuietLink : public LinkService {
  public:
    FakePort fakePort;
    bool isOpen = false;
    QStringList opened;

    QStringList list() override { return {QStringLiteral("ttyFAKE")}; }
    bool open(const QString& name, int) override {
        opened << name;
        isOpen = true;
        return true;
    }
    void close() override { isOpen = false; }
    Port* port() override { return isOpen ? &fakePort : nullptr; }
};

bool WriteRandomBytes(const QString& path, int size, quint32 seed) {
    QRandomGenerator random(seed);
    QByteArray bytes(size, '\0');
    random.fillRange(reinterpret_cast<quint32*>(bytes.data()), size / 4);
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == size;
}

} // namespace

void TestDamagedConfig::startsOnRandomBytesWithEmptyValues() {
    QTemporaryDir dir;
    const QString config = dir.path() + "/config.ini";
    QVERIFY(WriteRandomBytes(config, 1 << 20, 17));

    QuietLink link;
    ErrorBoxes boxes;
    QStringList messages;
    {
        TFrmMain window(Environment(dir.path(), &link, boxes, messages));
        window.show();
        QTRY_VERIFY_WITH_TIMEOUT(window.polling(), kDeadlineMs);
        // Nothing in the rubbish reads as a setting: every value falls back to empty or 0.
        QCOMPARE(window.windowTitle(), QString());
        QCOMPARE(window.state().PresY0, 0);
        QCOMPARE(window.state().PresYn, 0);
        QCOMPARE(window.state().TempFull, 0);
        for (int n = 1; n <= 8; ++n)
            QVERIFY(!window.isSwitchedOn(n));
        QCOMPARE(link.opened, QStringList{"ttyFAKE"}); // the first-run choice of a port
        QVERIFY(window.polling());
        QVERIFY(messages.isEmpty());
        QCOMPARE(boxes.shown, 0);
        window.close();
    }
    // The shutdown writes land in the damaged file and read back.
    QCOMPARE(IniReadInteger(config, "OpenOrClose", "1"), 0);
    QCOMPARE(IniReadString(config, "mSet", "PresYn"), QStringLiteral("0"));
    QVERIFY(!QFile::exists(dir.path() + "/Data")); // nothing switched on, nothing recorded
}

void TestDamagedConfig::realProgramStartsOnRandomBytes() {
    QTemporaryDir dir;
    QVERIFY(QFile::copy(buildDir() + "/presmon", dir.path() + "/presmon"));
    QVERIFY(WriteRandomBytes(dir.path() + "/config.ini", 1 << 20, 23));
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    program.setProcessEnvironment(env);
    program.start(dir.path() + "/presmon", {});
    QVERIFY(program.waitForStarted(kDeadlineMs));
    // Without a stored port the program waits in the port choice (or the no-port box).
    QVERIFY(!program.waitForFinished(2000));
    QCOMPARE(program.state(), QProcess::Running);
    program.kill();
    QVERIFY(program.waitForFinished(5000));
}

void TestDamagedConfig::writesThroughReadOnlyMark() {
    QTemporaryDir dir;
    const QString config = dir.path() + "/config.ini";
    QVERIFY(WriteConfig(dir.path(), "ttyFAKE", {1}));
    QVERIFY(QFile::setPermissions(config, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    // The mark holds even for root, so the start-up has something to undo.
    QVERIFY(!IniWriteInteger(config, "OpenOrClose", "2", 1));

    QuietLink link;
    ErrorBoxes boxes;
    QStringList messages;
    {
        TFrmMain window(Environment(dir.path(), &link, boxes, messages));
        window.show();
        QVERIFY(QFileInfo(config).permissions() & QFile::WriteOwner);
        QTest::qWait(200);
        QVERIFY(window.isSwitchedOn(1));
        window.muAp[3]->trigger();
        QVERIFY(window.isSwitchedOn(3));
        // written once a cycle in flight has ended, as the switch's other effects
        QTRY_COMPARE_WITH_TIMEOUT(IniReadInteger(config, "OpenOrClose", "3"), 1, kDeadlineMs);
        window.muAp[1]->trigger();
        window.close();
    }
    QCOMPARE(IniReadInteger(config, "OpenOrClose", "1"), 0);
    QCOMPARE(IniReadInteger(config, "OpenOrClose", "3"), 1);
    QVERIFY(messages.isEmpty());
    QCOMPARE(boxes.shown, 0);
}

void TestDamagedConfig::survivesDeletionDuringRun() {
    QTemporaryDir dir;
    const QString config = dir.path() + "/config.ini";
    QVERIFY(WriteConfig(dir.path(), "ttyFAKE", {1}));
    QVERIFY(IniWriteInteger(config, "mSet", "PresYn", 750));

    QuietLink link;
    ErrorBoxes boxes;
    QStringList messages;
    const QString file = TodayFile(dir.path());
    {
        TFrmMain window(Environment(dir.path(), &link, boxes, messages));
        window.show();
        QTRY_VERIFY_WITH_TIMEOUT(DayFile::read(file).lines.size() >= 2, kDeadlineMs);
        const qsizetype before = DayFile::read(file).lines.size();
        QVERIFY(QFile::remove(config));
        // Switching an instrument on writes its mark: the file comes back with that entry.
        window.muAp[3]->trigger();
        QVERIFY(window.isSwitchedOn(3));
        QTRY_COMPARE_WITH_TIMEOUT(IniReadInteger(config, "OpenOrClose", "3"), 1, kDeadlineMs);
        // Recording never needed the file: rows keep coming.
        QTRY_VERIFY_WITH_TIMEOUT(DayFile::read(file).lines.size() >= before + 2, kDeadlineMs);
        QVERIFY(window.polling());
        window.close();
    }
    // The shutdown puts back what the run holds in memory.
    QCOMPARE(IniReadInteger(config, "OpenOrClose", "1"), 1);
    QCOMPARE(IniReadInteger(config, "OpenOrClose", "3"), 1);
    QCOMPARE(IniReadInteger(config, "mSet", "PresYn"), 750);
    QVERIFY(messages.isEmpty());
    QCOMPARE(boxes.shown, 0);
    const DayFile day = DayFile::read(file);
    QVERIFY(day.endsWithLineEnd);
    for (qsizetype i = 1; i < day.lines.size(); ++i)
        QVERIFY2(WellFormedRow(day.lines[i]), day.lines[i].constData());
}

QTEST_MAIN(TestDamagedConfig)
#include "tst_DamagedConfig.moc"
