// Shows the alarm settings dialog, the event window or a row of instrument boxes in alarm with
// sample data, and saves the screen once they are drawn: the pictures of the operator's guide.
// usage: alarm-shots alarmset|events|look OUT.png

#include "AlarmEngine.h"
#include "AlarmLook.h"
#include "EventLog.h"
#include "Ini.h"
#include "TFrmAlarmSet.h"
#include "TFrmEvents.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>

namespace {

AlarmLimit Limit(const QString& text) {
    AlarmLimit l{text, true, 0};
    ParseAlarmNumber(text, &l.value);
    return l;
}

// A morning of instrument 3 going high, instrument 6 going silent and instrument 2 low.
AlarmSnapshot SampleDay(const QString& baseDir, AlarmEngine& engine) {
    AlarmLimits limits;
    limits.PresHigh[3] = Limit(QStringLiteral("85"));
    limits.PresLow[2] = Limit(QStringLiteral("62.5"));
    limits.TempHigh[1] = Limit(QStringLiteral("30"));
    limits.Silent = Limit(QStringLiteral("10"));
    engine.setLimits(limits);
    EventLog log(baseDir);
    QDateTime t(QDate::currentDate(), QTime(8, 0));
    log.append({t, 0, EventText::ProgramStart, {}, {}});
    const auto cycle = [&](int seconds, double p2, double p3, bool six) {
        t = t.addSecs(seconds);
        AlarmCycle c;
        c.time = t;
        for (int n = 1; n <= 6; ++n) {
            AlarmReading& r = c.at[n];
            r.on = true;
            const double p = n == 2 ? p2 : n == 3 ? p3 : 50 + 10 * n;
            r.presValid = r.tempValid = n != 6 || six;
            r.pres = float(p);
            r.presText = QString::number(p, 'f', 2);
            r.temp = 20 + n;
            r.tempText = QString::number(20 + n, 'f', 1);
        }
        log.append(engine.feed(c));
    };
    cycle(1, 70, 80, true);
    cycle(600, 70, 85.12, true);
    cycle(1, 70, 86.40, true);
    cycle(300, 70, 83.90, true);
    cycle(900, 70, 86.02, true);
    log.append(engine.acknowledge(t, 3, PresHighAlarm));
    for (int i = 0; i < 12; ++i)
        cycle(1, 66, 86, false);
    cycle(1200, 62.31, 86, false);
    cycle(2, 61.8, 86, false);
    cycle(30, 63.4, 86, false);
    return engine.snapshot();
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 3)
        return 2;
    const QString what = QString::fromLocal8Bit(argv[1]);
    const QString out = QString::fromLocal8Bit(argv[2]);
    QTemporaryDir dir;
    AlarmEngine engine;
    const AlarmSnapshot snapshot = SampleDay(dir.path(), engine);

    std::unique_ptr<QWidget> window;
    if (what == u"alarmset") {
        const QString config = dir.filePath(QStringLiteral("config.ini"));
        WriteDefaultConfig(config);
        AlarmLimits limits = engine.limits();
        limits.PresHigh[1] = Limit(QStringLiteral("70"));
        limits.PresLow[1] = Limit(QStringLiteral("50"));
        limits.TempLow[4] = Limit(QStringLiteral("-3"));
        WriteAlarmLimits(config, limits);
        window = std::make_unique<TFrmAlarmSet>(config);
    } else if (what == u"events") {
        auto* events = new TFrmEvents(dir.path());
        events->setAcknowledge([](int, int) {});
        events->setAcknowledgeAll([] {});
        events->setSilence([] {});
        events->showAlarms(snapshot);
        window.reset(events);
    } else {
        window = std::make_unique<QWidget>();
        window->setWindowTitle(QStringLiteral("AlarmLook"));
        window->resize(8 * 121 + 4, 127);
        const AlarmState states[] = {AlarmState::Normal,
                                     AlarmState::ReturnedUnacknowledged,
                                     AlarmState::ActiveUnacknowledged,
                                     AlarmState::Normal,
                                     AlarmState::ActiveAcknowledged,
                                     AlarmState::ActiveUnacknowledged,
                                     AlarmState::Normal,
                                     AlarmState::Normal};
        const QColor colours[] = {Qt::green,         Qt::green,  QColor(0, 128, 0), Qt::yellow,
                                  QColor(0, 128, 0), Qt::yellow, Qt::lightGray,     Qt::lightGray};
        for (int n = 1; n <= 8; ++n) {
            auto* box = new QGroupBox(QStringLiteral("仪表地址%1").arg(n), window.get());
            box->setObjectName(QStringLiteral("GroupBox%1").arg(9 - n));
            box->setGeometry(2 + (n - 1) * 121, 4, 121, 119);
            for (int t = 0; t < 2; ++t) {
                auto* p = new QLabel(QStringLiteral("86.02"), box);
                p->setGeometry(8, t == 0 ? 40 : 88, 105, 25);
                p->setFrameStyle(QFrame::Panel | QFrame::Sunken);
                p->setAlignment(Qt::AlignCenter);
                p->setAutoFillBackground(true);
                QPalette pal = p->palette();
                pal.setColor(QPalette::Window,
                             colours[n - 1] == Qt::green ? QColor(0, 128, 0) : colours[n - 1]);
                p->setPalette(pal);
            }
            // Even boxes are caught in the blink's other phase.
            AlarmLook::Apply(box, states[n - 1], n % 2 == 0);
        }
    }
    window->move(20, 20);
    window->show();
    QTimer::singleShot(1500, window.get(), [&] {
        QApplication::primaryScreen()->grabWindow(0).save(out);
        app.quit();
    });
    return app.exec();
}
