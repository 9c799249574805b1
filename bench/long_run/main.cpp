// A month of once-a-second ticks without waiting: eight instruments into the main chart (16
// series, paged 600 points at a time as the polling cycle does) and into eight curve windows
// (each showing everything since it opened). Prints the resident memory and the redraw time
// of all nine charts after the first day and after the last. Readings wander around a level
// (mean-reverting, as a regulated pressure does); with --walk they drift freely, so a month
// squeezed into the window draws taller columns than a day and the redraw grows with them.
//   long_run [--days N] [--walk] [--screenshots DIR] [--detail] [--profile]
// --detail splits the time into the tick and each kind of chart; --profile keeps ticking and
// redrawing for 20 s after the last day, for a profiler started late (perf record -D).
#include "Chart.h"
#include "CpuTime.h"
#include "SharedState.h"
#include "TFrmLine.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>
#include <qcustomplot.h>
#include <random>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kDay = 86400;

double ResidentMb() {
    QFile statm("/proc/self/statm");
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.value(1).toDouble() * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// The main chart and eight curve windows with their shared state, fed one tick at a time.
struct Rig {
    explicit Rig(float pullToLevel) : pull(pullToLevel), random(2024) {
        state.TempFull = 0;
        state.PresY0 = 0;
        state.PresYn = 50;
        for (int n = 1; n <= SharedState::kInstruments; ++n) {
            state.LineWidthPress[n] = 1 + (n - 1) % 5;
            state.LineWidthTemp[n] = 1 + n % 5;
            state.LineColorPress[n] = 0x0000FF;
            state.LineColorTemp[n] = 0x008000;
            pressure[n] = 5.0f * n;
            temperature[n] = 20.0f + n;
        }
        main.resize(800, 500);
        main.setAxisRange(Chart::Left, 0, 50);
        main.setAxisRange(Chart::Right, 0, 40);
        main.setAxisRange(Chart::Bottom, 0, 600);
        for (int s = 0; s < 16; ++s) {
            main.addSeries(s < 8 ? Chart::Left : Chart::Right);
            main.setSeriesPen(s, 1 + s % 5, s < 8 ? Qt::blue : Qt::darkGreen);
        }
        for (int n = 1; n <= SharedState::kInstruments; ++n) {
            windows.push_back(std::make_unique<TFrmLine>(state, nullptr));
            windows.back()->setInstrument(n);
        }
        main.show();
        for (auto& w : windows)
            w->show();
        QApplication::processEvents();
        for (auto& w : windows)
            w->Timer1->stop(); // ticked by hand
    }

    void tick() {
        for (int n = 1; n <= 8; ++n) {
            pressure[n] += pull * (5.0f * n - pressure[n]) + 0.05f * noise(random);
            temperature[n] += pull * (20.0f + n - temperature[n]) + 0.02f * noise(random);
            pressure[n] = std::clamp(pressure[n], 0.0f, 49.0f);
            temperature[n] = std::clamp(temperature[n], 0.0f, 39.0f);
            state.PresValue[n] = pressure[n] + 0.2f * noise(random);
            state.TempValue[n] = temperature[n];
            main.appendPoint(n - 1, state.PresValue[n]);
            main.appendPoint(n + 7, state.TempValue[n]);
        }
        // The polling cycle's paging of the main chart's time axis.
        if (++pointCount % 600 == 0) {
            main.setAxisMaximum(Chart::Bottom, pointCount + 600);
            main.setAxisMinimum(Chart::Bottom, pointCount);
        }
        for (auto& w : windows)
            w->Timer1Timer();
    }

    void redraw() {
        main.plot()->replot(QCustomPlot::rpImmediateRefresh);
        for (auto& w : windows)
            w->Chart1->plot()->replot(QCustomPlot::rpImmediateRefresh);
    }

    // Measured with the main chart's page half full: its cost follows the points in the
    // page, and the ticks measured on day 1 would shift the paging later.
    void alignPage() {
        while (pointCount % 600 != 300)
            tick();
        redraw(); // lays the charts out
    }

    // Live, every redraw follows a new tick, so no chart can reuse a kept picture.
    void tickAndRedraw() {
        tick();
        redraw();
    }

    float pull;
    SharedState state;
    Chart main;
    std::vector<std::unique_ptr<TFrmLine>> windows;
    std::mt19937 random;
    std::normal_distribution<float> noise{0.0f, 1.0f};
    float pressure[9] = {};
    float temperature[9] = {};
    int pointCount = 0;
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int daysAt = int(args.indexOf("--days"));
    const int days = daysAt > 0 ? std::max(1, args.value(daysAt + 1).toInt()) : 30;
    const float pull = args.contains("--walk") ? 0.0f : 0.002f;

    Rig rig(pull);
    double rssDay1 = 0, redrawDay1 = 0;
    QElapsedTimer wall;
    wall.start();
    for (int day = 1; day <= days; ++day) {
        for (int second = 0; second < kDay; ++second)
            rig.tick();
        if (day != 1 && day != days)
            continue;
        rig.alignPage();
        const double ms = MedianMs(31, [&] { rig.tickAndRedraw(); });
        if (args.contains("--detail")) {
            // Where the time goes: the tick alone, then each kind of chart after a tick.
            const double tickMs = MedianMs(31, [&] { rig.tick(); });
            const double mainMs =
                MedianMs(31,
                         [&] {
                             rig.tick();
                             rig.main.plot()->replot(QCustomPlot::rpImmediateRefresh);
                         }) -
                tickMs;
            const double curveMs =
                MedianMs(31,
                         [&] {
                             rig.tick();
                             for (auto& w : rig.windows)
                                 w->Chart1->plot()->replot(QCustomPlot::rpImmediateRefresh);
                         }) -
                tickMs;
            std::printf("day %d: tick %.2f ms, main chart %.2f ms, eight curve windows %.2f ms\n",
                        day, tickMs, mainMs, curveMs);
        }
        const double rss = ResidentMb();
        QApplication::processEvents(); // queued replots and deferred deletes
        const Chart& curve = *rig.windows[0]->Chart1;
        std::printf("day %d: rss %.1f MB, a tick and redraw of nine charts %.2f ms CPU (main %d "
                    "points a series, %d held; curve window %d points, %d held), %.0f s so far\n",
                    day, rss, ms, rig.main.pointCount(0),
                    rig.main.pointCount(0) - rig.main.firstHeldPoint(0), curve.pointCount(0),
                    curve.pointCount(0) - curve.firstHeldPoint(0), wall.elapsed() / 1000.0);
        std::fflush(stdout);
        if (day == 1) {
            rssDay1 = rss;
            redrawDay1 = ms;
        }
        if (day != days)
            continue;
        const int shotsAt = int(args.indexOf("--screenshots"));
        if (shotsAt > 0) {
            const QString dir = args.value(shotsAt + 1);
            rig.main.grab().save(dir + "/long_run-main.png");
            rig.windows[0]->grab().save(dir + "/long_run-curve.png");
        }
        // Day 1 and the last day are far apart in time, and a slow spell of the shared cores
        // at either skews their ratio. So the last day is also timed side by side, round by
        // round, with a fresh rig one day in (the same readings as day 1 was).
        double sideDay1 = redrawDay1, sideLast = ms;
        if (days > 1) {
            Rig fresh(pull);
            for (int second = 0; second < kDay; ++second)
                fresh.tick();
            fresh.alignPage();
            rig.redraw();
            std::vector<double> first, last;
            for (int round = 0; round < 31; ++round) {
                last.push_back(CpuMs([&] { rig.tickAndRedraw(); }));
                first.push_back(CpuMs([&] { fresh.tickAndRedraw(); }));
            }
            sideDay1 = Median(first);
            sideLast = Median(last);
            std::printf("side by side: day 1 %.2f ms, day %d %.2f ms (%.2fx)\n", sideDay1, days,
                        sideLast, sideLast / sideDay1);
        }
        std::printf("RESULT name=long_run days=%d rss_mb_day1=%.1f rss_mb_day%d=%.1f "
                    "redraw_ms_day1=%.2f redraw_ms_day%d=%.2f redraw_ratio_side_by_side=%.2f\n",
                    days, rssDay1, days, rss, redrawDay1, days, ms, sideLast / sideDay1);
    }
    // --profile: ticks and redraws for a while after the last day, for a profiler started late.
    if (args.contains("--profile")) {
        QElapsedTimer spent;
        spent.start();
        int rounds = 0;
        while (spent.elapsed() < 20000) {
            rig.tick();
            rig.redraw();
            ++rounds;
        }
        std::printf("profile: %d ticks and redraws in %.1f s\n", rounds, spent.elapsed() / 1000.0);
    }
    return 0;
}
