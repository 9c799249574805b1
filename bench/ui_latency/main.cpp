// How long the event loop stalls while the program polls: the real main window against
// presmon-sim on a pseudo-terminal, with one and with eight instruments switched on.
//   ui_latency [--ticks N] [--sim PATH]
// A 5 ms repeating timer runs beside the window; each firing later than its period tells how
// long the loop could not answer. max_stall_ms is the longest such delay; blocked_share the
// part of the wall time spent in delays longer than one period (shorter ones are timer jitter
// and go unnoticed by an operator). Each count runs three ways: as the program polls (the
// acquisition on its own thread), as ui_latency_gui_thread (the cycle's steps on timers of the
// window's own thread, as before that thread existed) and as ui_latency_sleeping (each 50 ms
// pause slept on the window's thread, the tick timer at a fixed 1000 ms).
// record_busy_window: with eight instruments, a slot keeps the window's thread busy for 5 s;
// the rows of the seconds around it are counted, on its own thread and on the window's.
#include "Ini.h"
#include "PollCycle.h"
#include "SerialLink.h"
#include "TFrmComSet.h"
#include "TFrmMain.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <cstdio>

namespace {

constexpr int kProbeMs = 5;

// The old way: each request's pause sleeps on the GUI thread and the step runs at once; the
// old cycle read at once after its last pause, so the wait for the row's moment is not slept.
class SleepingScheduler : public Scheduler {
  public:
    void after(int ms, std::function<void()> step) override {
        if (ms == PollCycle::kPauseMs)
            QThread::msleep(ms);
        step();
    }
};

struct Result {
    double maxStallMs = 0;
    double blockedShare = 0;
    int ticks = 0;
    int errors = 0;
    int rowsMissing = 0; // seconds between the first and the last row without a row
};

enum class Mode { Threaded, GuiThread, Sleeping };

// The seconds without a row between the first and last row of the day's file.
int MissingSeconds(const QString& base) {
    QFile file(base +
               QStringLiteral("/Data/%1.csv").arg(QDate::currentDate().toString("yyyy/MM/dd")));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    QList<qint64> numbers;
    for (const QByteArray& line : file.readAll().split('\n').mid(1)) {
        bool ok = false;
        const qint64 n = line.left(line.indexOf(',')).toLongLong(&ok, 16);
        if (ok)
            numbers << n;
    }
    return numbers.size() < 2 ? -1 : int(numbers.last() - numbers.first() + 1 - numbers.size());
}

Result Measure(const QString& simPath, int instruments, int ticks, Mode mode, int busyMs = 0) {
    const bool sleeping = mode == Mode::Sleeping;
    QTemporaryDir dir;
    const QString link = dir.path() + "/ttySIM0";
    QStringList addresses;
    for (int n = 1; n <= instruments; ++n)
        addresses << QString::number(n);
    QProcess sim;
    sim.start(simPath, {"--addresses", addresses.join(','), "--link", link, "--seed", "1"});
    if (!sim.waitForStarted(5000) || !sim.waitForReadyRead(5000)) {
        std::fprintf(stderr, "cannot start %s\n", qPrintable(simPath));
        std::exit(1);
    }
    const QString config = dir.path() + "/config.ini";
    WriteDefaultConfig(config);
    IniWriteString(config, "comSet", "comid", link);
    for (int n = 1; n <= instruments; ++n)
        IniWriteInteger(config, "OpenOrClose", QString::number(n), 1);

    Result result;
    SerialLink serial(config);
    SleepingScheduler sleeper;
    MainEnvironment env;
    env.baseDir = dir.path();
    env.link = &serial;
    env.scheduler = sleeping ? &sleeper : nullptr;
    env.pause = [](int ms) { QThread::msleep(ms); };
    env.clock = [] { return QDateTime::currentDateTime(); };
    env.acquisitionThread = mode == Mode::Threaded;
    env.showMessage = [&](const QString&) { ++result.errors; };
    env.showError = [&](const QString&) { ++result.errors; };
    env.runComSet = [](TFrmComSet&) {};
    env.runDialog = [](QDialog&) {};
    {
        TFrmMain window(env);
        if (sleeping) {
            QObject::disconnect(window.SecCy, &QTimer::timeout, nullptr, nullptr);
            window.SecCy->setSingleShot(false);
            QObject::connect(window.SecCy, &QTimer::timeout, &window, &TFrmMain::SecCyTimer);
        }
        window.show();
        QEventLoop loop;
        int cycles = 0;
        QElapsedTimer wall;
        QElapsedTimer since;
        qint64 blockedNs = 0;
        qint64 maxLateNs = 0;
        QTimer probe;
        probe.setTimerType(Qt::PreciseTimer);
        probe.setInterval(kProbeMs);
        QObject::connect(&probe, &QTimer::timeout, &window, [&] {
            const qint64 lateNs = since.nsecsElapsed() - kProbeMs * 1000000LL;
            since.start();
            maxLateNs = std::max(maxLateNs, lateNs);
            if (lateNs > kProbeMs * 1000000LL)
                blockedNs += lateNs;
        });
        // Measured from the second finished cycle on, once the start-up step is over.
        QObject::connect(&window, &TFrmMain::cycleFinished, &window, [&] {
            ++cycles;
            if (cycles == 2) {
                wall.start();
                since.start();
                probe.start();
                if (busyMs > 0) {
                    QTimer::singleShot(0, &window, [busyMs] {
                        QElapsedTimer busy;
                        busy.start();
                        while (busy.elapsed() < busyMs) {
                        }
                    });
                }
            } else if (cycles == ticks + 2) {
                probe.stop();
                loop.quit();
            }
        });
        QTimer::singleShot((ticks + 10) * 1000, &loop, &QEventLoop::quit);
        loop.exec();
        result.ticks = cycles - 2;
        result.maxStallMs = maxLateNs / 1e6;
        result.blockedShare = wall.isValid() ? double(blockedNs) / wall.nsecsElapsed() : 1.0;
        window.close();
        QElapsedTimer closing;
        closing.start();
        while (window.isVisible() && closing.elapsed() < 3000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    sim.terminate();
    sim.waitForFinished(5000);
    result.rowsMissing = MissingSeconds(dir.path());
    return result;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    int ticks = 20;
    QString simPath = QCoreApplication::applicationDirPath() + "/presmon-sim";
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == "--ticks")
            ticks = std::max(1, args[i + 1].toInt());
        else if (args[i] == "--sim")
            simPath = args[i + 1];
    }
    const std::pair<Mode, const char*> modes[] = {{Mode::Threaded, "ui_latency"},
                                                  {Mode::GuiThread, "ui_latency_gui_thread"},
                                                  {Mode::Sleeping, "ui_latency_sleeping"}};
    for (int instruments : {1, 8}) {
        for (const auto& [mode, name] : modes) {
            const Result r = Measure(simPath, instruments, ticks, mode);
            std::printf("RESULT name=%s instruments=%d max_stall_ms=%.1f blocked_share=%.3f "
                        "ticks=%d errors=%d rows_missing=%d\n",
                        name, instruments, r.maxStallMs, r.blockedShare, r.ticks, r.errors,
                        r.rowsMissing);
            std::fflush(stdout);
        }
    }
    for (Mode mode : {Mode::Threaded, Mode::GuiThread}) {
        const Result r = Measure(simPath, 8, 10, mode, 5000);
        std::printf("RESULT name=record_busy_window thread=%s busy_ms=5000 rows_missing=%d\n",
                    mode == Mode::Threaded ? "own" : "window", r.rowsMissing);
        std::fflush(stdout);
    }
    return 0;
}
