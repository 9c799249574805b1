#include "../faults/FaultHarness.h"
#include "AlarmLook.h"
#include "AlarmSnapshot.h"
#include "EventLog.h"
#include "TFrmEvents.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

using namespace faults;

namespace {

void SetValues(const QString& file, const QByteArray& lines) {
    QFile f(file);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(lines);
}

QStringList EventTexts(const QString& base) {
    QStringList texts;
    const QList<AlarmEvent> events = EventLog::ReadDay(base, QDate::currentDate());
    for (auto it = events.rbegin(); it != events.rend(); ++it)
        texts << QStringLiteral("%1 %2 %3").arg(it->address).arg(it->text, it->value).trimmed();
    return texts;
}

} // namespace

// The real program against the simulator with limits in config.ini: a reading beyond its limit
// raises an alarm and writes its event, the reading back inside writes the return, a silent
// instrument raises its communication alarm after Silent seconds, and an acknowledgement is
// logged and stops the sound. Without limits nothing of it shows or is written.
class TestAlarmIntegration : public QObject {
    Q_OBJECT
  private slots:
    void limitsRaiseLogAndAcknowledge();
    void withoutLimitsNothingChanges();
};

void TestAlarmIntegration::limitsRaiseLogAndAcknowledge() {
    QTemporaryDir dir;
    const QString link = dir.path() + "/ttySIM0";
    const QString values = dir.path() + "/values";
    SetValues(values, "1 pres 50\n2 pres 10\n");
    Simulator sim(link);
    QVERIFY(sim.start({"--addresses", "1,2", "--codes", "23", "--values", values}));
    const QString config = dir.path() + "/config.ini";
    QVERIFY(WriteConfig(dir.path(), link, {1, 2}));
    QVERIFY(IniWriteString(config, "Alarm", "PresHigh1", "80"));
    QVERIFY(IniWriteString(config, "Alarm", "Silent", "3"));

    WatchedLink serial(config);
    ErrorBoxes boxes;
    QStringList messages;
    MainEnvironment env = Environment(dir.path(), &serial, boxes, messages);
    int beeps = 0;
    env.beep = [&beeps] { ++beeps; };
    // 报警记录 as the operator uses it: 全部确认.
    env.runDialog = [](QDialog& dialog) {
        if (auto* events = qobject_cast<TFrmEvents*>(&dialog))
            events->BtnAckAll->click();
    };
    {
        TFrmMain window(env);
        window.show();
        QTRY_VERIFY_WITH_TIMEOUT(window.panel(1, false)->text() == "50.00", kDeadlineMs);
        QCOMPARE(beeps, 0);

        SetValues(values, "1 pres 95.5\n2 pres 10\n");
        QTRY_VERIFY_WITH_TIMEOUT(EventTexts(dir.path()).contains("1 压力超上限 95.50"),
                                 kDeadlineMs);
        QTRY_VERIFY(window.AlarmStatus->text().contains(QStringLiteral("压力超上限")));
        QTRY_VERIFY(beeps > 0);
        // The panel still tells the line's state, also while its box blinks.
        QTest::qWait(2 * AlarmLook::kBlinkMs);
        QCOMPARE(window.panel(1, false)->palette().color(QPalette::Window), QColor(0, 128, 0));

        SetValues(values, "1 pres 50\n2 silent\n");
        QTRY_VERIFY_WITH_TIMEOUT(EventTexts(dir.path()).contains("1 压力恢复正常 50.00"),
                                 kDeadlineMs);
        QTRY_VERIFY_WITH_TIMEOUT(EventTexts(dir.path()).contains("2 仪表无应答"), kDeadlineMs);
        // Latched: back inside, still shown until acknowledged.
        QVERIFY(!window.AlarmStatus->text().isEmpty());

        window.muEvents->trigger();
        QTRY_VERIFY(EventTexts(dir.path()).filter(QStringLiteral("报警确认")).size() == 2);
        QTRY_VERIFY(!window.AlarmBeep->isActive()); // the active silence alarm is seen: no sound
        const int heard = beeps;
        QTest::qWait(2500);
        QCOMPARE(beeps, heard);
        window.close();
        QTRY_VERIFY(!window.isVisible());
    }
    const QStringList events = EventTexts(dir.path());
    QCOMPARE(events.first(), QStringLiteral("0 程序启动"));
    QCOMPARE(events.last(), QStringLiteral("0 程序退出"));
    QVERIFY2(boxes.texts.isEmpty(), qPrintable(boxes.texts.join('\n')));
}

void TestAlarmIntegration::withoutLimitsNothingChanges() {
    QTemporaryDir dir;
    const QString link = dir.path() + "/ttySIM0";
    Simulator sim(link);
    QVERIFY(sim.start({"--addresses", "1"}));
    QVERIFY(WriteConfig(dir.path(), link, {1}));
    const QByteArray before = DayFile::read(dir.path() + "/config.ini").bytes;
    WatchedLink serial(dir.path() + "/config.ini");
    ErrorBoxes boxes;
    QStringList messages;
    MainEnvironment env = Environment(dir.path(), &serial, boxes, messages);
    {
        TFrmMain window(env);
        window.show();
        QTRY_VERIFY_WITH_TIMEOUT(DayFile::read(TodayFile(dir.path())).lines.size() >= 3,
                                 kDeadlineMs);
        QVERIFY(window.AlarmStatus->text().isEmpty());
        window.close();
        QTRY_VERIFY(!window.isVisible());
    }
    QVERIFY(!QFileInfo::exists(dir.path() + "/Events"));
    QCOMPARE(DayFile::read(dir.path() + "/config.ini").bytes, before);
}

QTEST_MAIN(TestAlarmIntegration)
#include "tst_AlarmIntegration.moc"
