// Times the trend window reading and drawing a month and a year of full day files.
//   trend [--dir SCRATCH] [--keep] [--show]
// Writes 366 days (8 instruments, one row a second, missing days, gaps and spikes) under
// SCRATCH/Data unless --keep finds them there, then prints one RESULT line per figure;
// --show opens the window on a month of them instead.
#include "Chart.h"
#include "ColorValue.h"
#include "SharedState.h"
#include "TFrmTrend.h"
#include "TrendCache.h"
#include "TrendDay.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <qcustomplot.h>
#include <random>
#include <vector>

namespace {

const QDate kLast(2026, 11, 30);
constexpr int kYear = 366;
constexpr int kMonth = 31;

char* putFixed(char* p, long long milli, int decimals) {
    if (milli < 0) {
        *p++ = '-';
        milli = -milli;
    }
    const long long scale = decimals == 3 ? 1000 : 10;
    char digits[24];
    int n = 0;
    long long whole = milli / scale;
    do
        digits[n++] = char('0' + whole % 10);
    while ((whole /= 10) > 0);
    while (n)
        *p++ = digits[--n];
    *p++ = '.';
    long long fraction = milli % scale;
    for (long long d = scale / 10; d > 0; d /= 10) {
        *p++ = char('0' + fraction / d);
        fraction %= d;
    }
    return p;
}

char* putTwo(char* p, int v) {
    *p++ = char('0' + v / 10);
    *p++ = char('0' + v % 10);
    return p;
}

// One day as the recorder writes it; no file on every 45th day, a 20-minute gap and a
// one-second spike of one instrument on every other.
bool writeDay(const QString& base, QDate day, int index, std::mt19937& random) {
    if (index % 45 == 17)
        return true;
    const QString path = QDir(base).filePath(day.toString(u"'Data'/yyyy/MM/dd'.csv'"));
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray out("\xCA\xFD\xBE\xDD\xB1\xE0\xBA\xC5,\xCA\xB1\xBC\xE4,");
    for (int n = 1; n <= 8; ++n)
        out += "\xD1\xB9\xC1\xA6" + QByteArray::number(n) + ",\xCE\xC2\xB6\xC8" +
               QByteArray::number(n) + ",";
    out += "\r\n";
    std::vector<char> buffer(size_t(86400) * 160);
    char* p = buffer.data();
    long long pressure[8], temperature[8];
    for (int i = 0; i < 8; ++i) {
        pressure[i] = 5000 + 5000 * i;
        temperature[i] = 200 + 10 * i;
    }
    std::uniform_int_distribution<int> step(-50, 50), noise(-1, 1), when(0, 86399);
    // Temperatures follow the day (warmest in the afternoon) with a little noise.
    static const std::vector<int> daily = [] {
        std::vector<int> v(1440);
        for (int m = 0; m < 1440; ++m)
            v[size_t(m)] = int(std::lround(40 * std::sin((m - 540) * 6.2832 / 1440)));
        return v;
    }();
    const int gap = when(random), spike = when(random);
    const qint64 start = TrendDay::dayStart(day);
    const QByteArray date = day.toString(u"yyyy-MM-dd ").toLatin1();
    for (int s = 0; s < 86400; ++s) {
        for (int i = 0; i < 8; ++i) {
            pressure[i] = std::clamp<long long>(pressure[i] + step(random), 0, 49000);
            temperature[i] = 200 + 10 * i + daily[size_t(s / 60)] + noise(random);
        }
        if (s >= gap && s < gap + 1200)
            continue;
        const unsigned key = unsigned(start + s);
        for (int shift = 28; shift >= 0; shift -= 4)
            *p++ = "0123456789ABCDEF"[(key >> shift) & 15];
        *p++ = ',';
        p = std::copy(date.begin(), date.end(), p);
        p = putTwo(p, s / 3600);
        *p++ = ':';
        p = putTwo(p, s / 60 % 60);
        *p++ = ':';
        p = putTwo(p, s % 60);
        *p++ = ',';
        for (int i = 0; i < 8; ++i) {
            p = putFixed(p, s == spike && i == index % 8 ? 99999 : pressure[i], 3);
            *p++ = ',';
            p = putFixed(p, temperature[i], 1);
            *p++ = ',';
        }
        *p++ = '\r';
        *p++ = '\n';
    }
    return file.write(out) == out.size() &&
           file.write(buffer.data(), p - buffer.data()) == p - buffer.data();
}

// One pandas.read_csv pass over the files, in ms; -1 without pandas.
double pandasMs(const QStringList& files) {
    const char* script = "import sys, time\n"
                         "import pandas as pd\n"
                         "t = time.perf_counter()\n"
                         "for f in sys.argv[1:]:\n"
                         "    pd.read_csv(f, encoding='gbk')\n"
                         "print((time.perf_counter() - t) * 1000)\n";
    for (const char* python : {"/usr/bin/python3", "python3"}) {
        QProcess p;
        p.start(QString::fromLatin1(python),
                QStringList{QStringLiteral("-c"), QString::fromLatin1(script)} + files);
        if (!p.waitForFinished(600000) || p.exitStatus() != QProcess::NormalExit ||
            p.exitCode() != 0)
            continue;
        bool ok = false;
        const double ms = p.readAllStandardOutput().trimmed().toDouble(&ok);
        if (ok)
            return ms;
    }
    return -1;
}

double statusMb(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field))).trimmed().split(' ').value(0).toDouble() / 1024;
    return -1;
}

// Wall time from 显示 to the chart drawn at the window's size.
double showRange(TFrmTrend& window, QDate first) {
    window.DateEdit1->setDate(first);
    window.DateEdit2->setDate(kLast);
    QEventLoop loop;
    QObject::connect(&window, &TFrmTrend::drawn, &loop, &QEventLoop::quit);
    QElapsedTimer timer;
    timer.start();
    window.Button1Click();
    loop.exec();
    window.Chart1->plot()->replot(QCustomPlot::rpImmediateRefresh);
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    // Let the re-read at the final plot width (if any) end before the next timing.
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 300 || window.reading()) {
        QCoreApplication::processEvents();
        QThread::msleep(5);
    }
    return ms;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    QTemporaryDir scratch;
    QString base = scratch.path();
    const int dirAt = int(args.indexOf(QStringLiteral("--dir")));
    if (dirAt > 0 && dirAt + 1 < args.size())
        base = args[dirAt + 1];
    const QDate first = kLast.addDays(1 - kYear);
    if (!args.contains(QStringLiteral("--keep")) ||
        !QFileInfo::exists(QDir(base).filePath(kLast.toString(u"'Data'/yyyy/MM/dd'.csv'")))) {
        std::mt19937 random(20261130);
        QElapsedTimer timer;
        timer.start();
        for (int d = 0; d < kYear; ++d)
            if (!writeDay(base, first.addDays(d), d, random)) {
                std::fprintf(stderr, "cannot write under %s\n", qPrintable(base));
                return 1;
            }
        std::printf("wrote %d days under %s in %.1f s\n", kYear, qPrintable(base),
                    timer.elapsed() / 1000.0);
    }
    QStringList monthFiles;
    for (QDate d = kLast.addDays(1 - kMonth); d <= kLast; d = d.addDays(1)) {
        const QString f = QDir(base).filePath(d.toString(u"'Data'/yyyy/MM/dd'.csv'"));
        if (QFileInfo::exists(f))
            monthFiles << f;
    }

    SharedState state;
    for (int n = 1; n <= 8; ++n)
        state.LineWidthPress[n] = state.LineWidthTemp[n] = 1;
    TFrmTrend::setClock([] { return kLast; });
    TFrmTrend window(state, base);
    for (QCheckBox* box : window.CheckBoxes)
        box->setChecked(true);
    window.show();
    QCoreApplication::processEvents();

    if (args.contains(QStringLiteral("--show"))) {
        // For a look: a month holding a day without a file, instruments 1 and 2.
        for (int i = 2; i < 8; ++i)
            window.CheckBoxes[i]->setChecked(false);
        state.LineColorPress[1] = ColorValue::Rgb(220, 0, 0);
        state.LineColorPress[2] = ColorValue::Rgb(0, 0, 220);
        state.LineColorTemp[1] = ColorValue::Rgb(0, 150, 0);
        state.LineColorTemp[2] = ColorValue::Rgb(200, 120, 0);
        window.DateEdit1->setDate(kLast.addDays(-40));
        window.DateEdit2->setDate(kLast.addDays(-10));
        window.Button1Click();
        return app.exec();
    }
    const QString cache = QDir(base).filePath(QStringLiteral("TrendCache"));
    std::vector<double> cold, pandas, warm, year;
    // Taking turns, so a busy spell of the shared cores falls on both sides alike.
    for (int r = 0; r < 3; ++r) {
        QDir(cache).removeRecursively();
        cold.push_back(showRange(window, kLast.addDays(1 - kMonth)));
        pandas.push_back(pandasMs(monthFiles));
    }
    for (int r = 0; r < 5; ++r)
        warm.push_back(showRange(window, kLast.addDays(1 - kMonth)));
    const double rssMonth = statusMb("VmRSS:");
    const double yearCold = showRange(window, first);
    for (int r = 0; r < 5; ++r)
        year.push_back(showRange(window, first));
    const double rssYear = statusMb("VmRSS:");

    // The CPU time of making one day's summary from its file, on this thread alone: what the
    // wall times above spend per day when the cores are free.
    std::vector<double> perDay;
    for (int r = 0; r < 7; ++r) {
        const QDate d = kLast.addDays(-r);
        QFile::remove(TrendCache(base).cachePath(d));
        timespec a{}, b{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &a);
        TrendCache(base).day(d, TrendCache::Level::Coarse);
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &b);
        perDay.push_back(double(b.tv_sec - a.tv_sec) * 1e3 + double(b.tv_nsec - a.tv_nsec) / 1e6);
    }
    std::printf("one day file summarised: %.1f ms CPU (median of 7)\n", median(perDay));
    std::printf("plot %d px wide; %lld month files; year cold (summaries made) %.0f ms; "
                "rss after the month %.1f MB, after the year %.1f MB, peak %.1f MB\n",
                window.Chart1->plot()->axisRect()->width(), (long long)monthFiles.size(), yearCold,
                rssMonth, rssYear, statusMb("VmHWM:"));
    std::printf("RESULT name=trend_31d_cold ms=%.1f pandas_ms=%.1f\n", median(cold),
                median(pandas));
    std::printf("RESULT name=trend_31d_warm ms=%.1f\n", median(warm));
    std::printf("RESULT name=trend_366d_warm ms=%.1f rss_mb=%.1f\n", median(year), rssYear);
    return 0;
}
