#include "AlarmEngine.h"
#include "EventLog.h"
#include "TFrmEvents.h"

#include <QDateEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

class TestTFrmEvents : public QObject {
    Q_OBJECT

  private slots:
    // The engine's alarms as the window lists them, and acknowledge reaching the right alarm.
    void listsAlarmsAndAcknowledgesTheChosenOne() {
        QTemporaryDir dir;
        AlarmLimits limits;
        limits.PresLow[2] = {QStringLiteral("5"), true, 5};
        limits.TempHigh[7] = {QStringLiteral("30"), true, 30};
        AlarmEngine engine(limits);
        EventLog log(dir.path());
        AlarmCycle cycle;
        cycle.time = QDateTime(QDate::currentDate(), QTime(7, 0));
        cycle.at[2] = {true, true, 4, QStringLiteral("4"), false, 0, {}};
        cycle.at[7] = {true, false, 0, {}, true, 31, QStringLiteral("31")};
        QVERIFY(log.append(engine.feed(cycle)));
        QVERIFY(log.append(engine.acknowledge(cycle.time, 7, TempHighAlarm)));

        TFrmEvents window(dir.path());
        QList<std::pair<int, int>> acknowledged;
        window.setAcknowledge([&](int address, int kind) { acknowledged.append({address, kind}); });
        window.refresh();
        window.showAlarms(engine.snapshot());

        QCOMPARE(window.ListView2->topLevelItemCount(), 3);
        QCOMPARE(window.ListView2->topLevelItem(0)->text(2), EventText::Acknowledged);
        QCOMPARE(window.ListView1->topLevelItemCount(), 2);
        for (int row = 0; row < 2; ++row) {
            QTreeWidgetItem* item = window.ListView1->topLevelItem(row);
            window.ListView1->setCurrentItem(item);
            const bool acked = item->text(1) == u"7";
            QCOMPARE(window.BtnAck->isEnabled(), !acked);
            window.BtnAck->click();
        }
        QCOMPARE(acknowledged, (QList<std::pair<int, int>>{{2, PresLowAlarm}}));

        window.DateTimePicker1->setDate(QDate::currentDate().addDays(-1));
        QCOMPARE(window.ListView2->topLevelItemCount(), 0);
    }
};

QTEST_MAIN(TestTFrmEvents)
#include "tst_TFrmEvents.moc"
