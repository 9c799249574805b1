#include "AlarmEngine.h"

#include <QtTest>

Q_DECLARE_METATYPE(AlarmKind)
Q_DECLARE_METATYPE(AlarmState)

namespace {

constexpr int kAddress = 3;

QString Describe(const AlarmEvent& e) {
    QString s = e.text;
    if (!e.value.isEmpty())
        s += u' ' + e.value;
    if (!e.limit.isEmpty())
        s += u'/' + e.limit;
    return s;
}

AlarmLimit Limit(const QString& text) {
    AlarmLimit l;
    l.text = text;
    l.on = ParseAlarmNumber(text, &l.value);
    return l;
}

} // namespace

class TestAlarmEngine : public QObject {
    Q_OBJECT

  private slots:
    // One instrument through a script of cycles, one second apart. Tokens: a number is a valid
    // reading with that panel text, "-" no reply, "busy" a paused cycle, "off" switched off,
    // "ack"/"ackall" the operator, "nolimits" all limits taken away.
    void scriptGivesEventsAndState_data() {
        QTest::addColumn<bool>("temperature");
        QTest::addColumn<QString>("high");
        QTest::addColumn<QString>("low");
        QTest::addColumn<int>("silent");
        QTest::addColumn<QString>("script");
        QTest::addColumn<AlarmKind>("kind");
        QTest::addColumn<QString>("events");
        QTest::addColumn<AlarmState>("state");
        using S = AlarmState;
        const auto row = [](const char* name, bool temp, const char* high, const char* low,
                            int silent, const char* script, AlarmKind kind, const char* events,
                            S state) {
            QTest::newRow(name) << temp << QString(high) << QString(low) << silent
                                << QString(script) << kind << QString(events) << state;
        };
        row("first reading beyond rises", false, "12.5", "", 0, "12.4 12.5 12.51", PresHighAlarm,
            "压力超上限 12.51/12.5", S::ActiveUnacknowledged);
        row("panel equal to limit is not beyond", false, "12.3", "", 0, "12.30 12.3", PresHighAlarm,
            "", S::Normal);
        row("hovering inside deadband does not chatter", false, "12.5", "", 0,
            "12.6 12.49 12.6 12.40 12.38 12.6 12.37", PresHighAlarm,
            "压力超上限 12.6/12.5|压力恢复正常 12.37/12.5", S::ReturnedUnacknowledged);
        row("low limit with whole-number panel", false, "", "-3", 0, "-2 -4 -3 -2", PresLowAlarm,
            "压力超下限 -4/-3|压力恢复正常 -2/-3", S::ReturnedUnacknowledged);
        row("temperature high", true, "30", "", 0, "29 31 29.8 28.9", TempHighAlarm,
            "温度超上限 31/30|温度恢复正常 28.9/30", S::ReturnedUnacknowledged);
        row("acknowledged stays until it returns", false, "12.5", "", 0, "12.6 ack 12.7 ack 12.3",
            PresHighAlarm, "压力超上限 12.6/12.5|报警确认 12.6/12.5|压力恢复正常 12.3/12.5",
            S::Normal);
        row("acknowledged while active", false, "12.5", "", 0, "12.6 12.9 ack", PresHighAlarm,
            "压力超上限 12.6/12.5|报警确认 12.6/12.5", S::ActiveAcknowledged);
        row("returned latches until acknowledged", false, "12.5", "", 0, "12.6 12.3 12.2 ackall",
            PresHighAlarm, "压力超上限 12.6/12.5|压力恢复正常 12.3/12.5|报警确认 12.6/12.5",
            S::Normal);
        row("crossing again after return rises afresh", false, "12.5", "", 0, "12.6 12.3 12.7",
            PresHighAlarm, "压力超上限 12.6/12.5|压力恢复正常 12.3/12.5|压力超上限 12.7/12.5",
            S::ActiveUnacknowledged);
        row("nothing to acknowledge", false, "12.5", "", 0, "12.4 ack ackall", PresHighAlarm, "",
            S::Normal);
        row("silent rises after its seconds", false, "", "", 3, "12.4 - - - ", SilentAlarm,
            "仪表无应答/3", S::ActiveUnacknowledged);
        row("silent returns on first reply", false, "", "", 2, "12.4 - - - - 12.4", SilentAlarm,
            "仪表无应答/2|仪表恢复应答/2", S::ReturnedUnacknowledged);
        row("paused cycles do not count", false, "", "", 3, "12.4 - busy busy busy busy - ",
            SilentAlarm, "", S::Normal);
        row("paused count resumes", false, "", "", 3, "12.4 - busy busy - -", SilentAlarm,
            "仪表无应答/3", S::ActiveUnacknowledged);
        row("counted from switching on", false, "", "", 2, "off off off - -", SilentAlarm, "",
            S::Normal);
        row("switching off ends alarms quietly", false, "12.5", "", 2, "12.6 - - - off off 12.4",
            PresHighAlarm, "压力超上限 12.6/12.5|仪表无应答/2", S::Normal);
        row("limit taken away ends its alarm", false, "12.5", "", 0, "12.6 nolimits 12.9",
            PresHighAlarm, "压力超上限 12.6/12.5", S::Normal);
        row("no reply keeps limit state", false, "12.5", "", 0, "12.6 - - 12.0", PresHighAlarm,
            "压力超上限 12.6/12.5|压力恢复正常 12.0/12.5", S::ReturnedUnacknowledged);
    }

    void scriptGivesEventsAndState() {
        QFETCH(bool, temperature);
        QFETCH(QString, high);
        QFETCH(QString, low);
        QFETCH(int, silent);
        QFETCH(QString, script);
        QFETCH(AlarmKind, kind);
        QFETCH(QString, events);
        QFETCH(AlarmState, state);

        AlarmLimits limits;
        (temperature ? limits.TempHigh : limits.PresHigh)[kAddress] = Limit(high);
        (temperature ? limits.TempLow : limits.PresLow)[kAddress] = Limit(low);
        limits.Silent = Limit(QString::number(silent));
        AlarmEngine engine(limits);

        QDateTime time(QDate(2026, 3, 15), QTime(8, 30));
        QStringList log;
        for (const QString& token : script.split(u' ', Qt::SkipEmptyParts)) {
            QList<AlarmEvent> out;
            if (token == u"ack") {
                out = engine.acknowledge(time, kAddress, kind);
            } else if (token == u"ackall") {
                out = engine.acknowledgeAll(time);
            } else if (token == u"nolimits") {
                engine.setLimits({});
            } else {
                AlarmCycle cycle;
                cycle.time = time;
                cycle.paused = token == u"busy";
                AlarmReading& r = cycle.at[kAddress];
                r.on = token != u"off";
                bool number = false;
                const float value = token.toFloat(&number);
                (temperature ? r.tempValid : r.presValid) = number;
                (temperature ? r.temp : r.pres) = value;
                (temperature ? r.tempText : r.presText) = token;
                cycle.at[5].on = true; // a neighbour that answers at the limit stays quiet
                cycle.at[5].presValid = cycle.at[5].tempValid = true;
                cycle.at[5].presText = cycle.at[5].tempText = QStringLiteral("0");
                out = engine.feed(cycle);
                time = time.addSecs(1);
            }
            for (const AlarmEvent& e : out) {
                QCOMPARE(e.address, kAddress);
                log << Describe(e);
            }
        }
        QCOMPARE(log.join(u'|'), events);
        const AlarmSnapshot snap = engine.snapshot();
        QCOMPARE(snap.at(kAddress, kind).state, state);
        QCOMPARE(snap.worst(kAddress), state);
        const bool unacknowledged = state == AlarmState::ActiveUnacknowledged ||
                                    state == AlarmState::ReturnedUnacknowledged;
        QCOMPARE(snap.anyUnacknowledged, unacknowledged);
        QCOMPARE(snap.newestUnacknowledged.text.isEmpty(), !unacknowledged);
    }

    void newestUnacknowledgedIsTheLastRaised() {
        AlarmLimits limits;
        limits.PresHigh[2] = Limit(QStringLiteral("10"));
        limits.TempLow[7] = Limit(QStringLiteral("5"));
        AlarmEngine engine(limits);
        AlarmCycle cycle;
        cycle.time = QDateTime(QDate(2026, 3, 15), QTime(9, 0));
        cycle.at[2] = {true, true, 11, QStringLiteral("11"), false, 0, {}};
        engine.feed(cycle);
        cycle.time = cycle.time.addSecs(1);
        cycle.at[7] = {true, false, 0, {}, true, 4, QStringLiteral("4")};
        engine.feed(cycle);
        QCOMPARE(engine.snapshot().newestUnacknowledged.address, 7);
        engine.acknowledge(cycle.time, 7, TempLowAlarm);
        QCOMPARE(engine.snapshot().newestUnacknowledged.address, 2);
        QCOMPARE(engine.snapshot().worst(7), AlarmState::ActiveAcknowledged);
    }
};

QTEST_GUILESS_MAIN(TestAlarmEngine)
#include "tst_AlarmEngine.moc"
