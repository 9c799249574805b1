// Times a whole-day history query over one data file, or writes such a file.
//   history_query FILE [--date yyyy-mm-dd] [--runs N]
//   history_query --generate FILE [yyyy-mm-dd]
#include "HistoryFields.h"
#include "HistoryQuery.h"
#include "RecorderDay.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

// Median of several pandas.read_csv runs in milliseconds, or -1 without python3 and pandas.
double pandasReadCsvMs(const QString& file) {
    const char* script = "import sys, time, statistics\n"
                         "import pandas as pd\n"
                         "ts = []\n"
                         "for _ in range(7):\n"
                         "    t = time.perf_counter()\n"
                         "    pd.read_csv(sys.argv[1], encoding='gbk')\n"
                         "    ts.append((time.perf_counter() - t) * 1000)\n"
                         "print(statistics.median(ts))\n";
    for (const char* python : {"/usr/bin/python3", "python3"}) {
        QProcess p;
        p.start(QString::fromLatin1(python),
                {QStringLiteral("-c"), QString::fromLatin1(script), file});
        if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit ||
            p.exitCode() != 0)
            continue;
        bool ok = false;
        const double ms = QString::fromLatin1(p.readAllStandardOutput()).trimmed().toDouble(&ok);
        if (ok)
            return ms;
    }
    return -1;
}

int generate(const QString& path, QDate day) {
    QFileInfo(path).dir().mkpath(QStringLiteral("."));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return 1;
    }
    // Six instruments on with wandering readings, two off as the recorder writes them.
    const QByteArray out = RecorderDay(day, 6);
    if (file.write(out) != out.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return 1;
    }
    std::printf("wrote %s: 86400 rows, %lld bytes\n", qPrintable(path), (long long)out.size());
    return 0;
}

QDate dayOfFirstRow(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QDate();
    HistoryFields fields;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine(1 << 20);
        fields.split(std::string_view(line.constData(), size_t(line.size())));
        if (const auto key = HistoryFields::parseKey(fields.at(0)))
            return QDate(1970, 1, 1).addDays(*key / 86400);
    }
    return QDate();
}

double threadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.value(0) == QLatin1String("--generate") && args.size() >= 2) {
        const QDate day =
            args.size() >= 3 ? QDate::fromString(args[2], Qt::ISODate) : QDate(2024, 3, 15);
        if (!day.isValid()) {
            std::fprintf(stderr, "bad date %s\n", qPrintable(args[2]));
            return 2;
        }
        return generate(args[1], day);
    }
    QString path;
    QDate day;
    int runs = 9;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--date") && i + 1 < args.size())
            day = QDate::fromString(args[++i], Qt::ISODate);
        else if (args[i] == QLatin1String("--runs") && i + 1 < args.size())
            runs = std::max(1, args[++i].toInt());
        else
            path = args[i];
    }
    if (path.isEmpty()) {
        std::fprintf(stderr, "usage: history_query FILE [--date yyyy-mm-dd] [--runs N]\n"
                             "       history_query --generate FILE [yyyy-mm-dd]\n");
        return 2;
    }
    if (!day.isValid())
        day = dayOfFirstRow(path);
    if (!day.isValid()) {
        std::fprintf(stderr, "no day: give --date or a file with data rows\n");
        return 2;
    }

    HistoryQuery::Input input;
    input.day = day;
    input.timeText = QStringLiteral("00:00");
    input.span = 6;
    input.ticked.fill(true);
    input.filePath = path;

    std::vector<double> times;
    std::vector<double> cpuTimes;
    long long rows = 0;
    long long progressCalls = 0;
    for (int r = 0; r < runs; ++r) {
        QElapsedTimer timer;
        const double cpuStart = threadCpuMs();
        timer.start();
        const HistoryQuery::Result result =
            HistoryQuery::run(input, [&](int, int) { ++progressCalls; });
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
        cpuTimes.push_back(threadCpuMs() - cpuStart);
        if (result.outcome != HistoryQuery::Outcome::Ok) {
            std::fprintf(stderr, "query failed: %s\n", qPrintable(result.message));
            return 1;
        }
        rows = result.rowsInWindow;
    }
    std::sort(times.begin(), times.end());
    std::sort(cpuTimes.begin(), cpuTimes.end());
    // On a shared machine the CPU time shows what the wall time hides behind other load.
    std::printf("day %s, %d runs, wall min %.2f max %.2f ms, cpu median %.2f ms, "
                "%lld progress calls per run\n",
                qPrintable(day.toString(Qt::ISODate)), runs, times.front(), times.back(),
                cpuTimes[cpuTimes.size() / 2], progressCalls / runs);
    const double ours = times[times.size() / 2];
    // The reference figure: pandas reading the same file on the same machine, when present.
    const double pandas = pandasReadCsvMs(path);
    if (pandas > 0)
        std::printf("BASELINE name=pandas_read_csv ms=%.2f ratio=%.1f\n", pandas, pandas / ours);
    else
        std::printf("BASELINE name=pandas_read_csv unavailable (python3-pandas not installed)\n");
    std::printf("RESULT name=history_query rows=%lld ms=%.2f\n", rows, ours);
    return 0;
}
