// Times a whole-day history query over one data file, or writes such a file.
//   history_query FILE [--date yyyy-mm-dd] [--runs N]
//   history_query --generate FILE [yyyy-mm-dd]
#include "HistoryFields.h"
#include "HistoryQuery.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
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

// The header row of a data file, in the GBK code page the recorder writes.
QByteArray headerLine() {
    QByteArray header("\xCA\xFD\xBE\xDD\xB1\xE0\xBA\xC5,\xCA\xB1\xBC\xE4,");
    for (int n = 1; n <= 8; ++n)
        header += "\xD1\xB9\xC1\xA6" + QByteArray::number(n) + ",\xCE\xC2\xB6\xC8" +
                  QByteArray::number(n) + ",";
    return header + "\r\n";
}

int generate(const QString& path, QDate day) {
    QFileInfo(path).dir().mkpath(QStringLiteral("."));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return 1;
    }
    QRandomGenerator random(20240315);
    // Six instruments on with wandering readings, two off as the recorder writes them.
    double pressure[8], temperature[8];
    for (int i = 0; i < 8; ++i) {
        pressure[i] = 5 + 5 * i;
        temperature[i] = 20 + i;
    }
    const long long dayStart = QDate(1970, 1, 1).daysTo(day) * 86400;
    QByteArray out = headerLine();
    out.reserve(12 << 20);
    for (int s = 0; s < 86400; ++s) {
        const QTime time = QTime(0, 0).addSecs(s);
        out += QByteArray::number(dayStart + s, 16).toUpper().rightJustified(8, '0') + ',' +
               day.toString(QStringLiteral("yyyy-MM-dd ")).toLatin1() +
               time.toString(QStringLiteral("hh:mm:ss")).toLatin1() + ',';
        for (int i = 0; i < 8; ++i) {
            if (i >= 6) {
                out += "0.0,0.0,";
                continue;
            }
            pressure[i] = std::clamp(pressure[i] + random.generateDouble() * 0.1 - 0.05, 0.0, 49.0);
            temperature[i] =
                std::clamp(temperature[i] + random.generateDouble() * 0.2 - 0.1, -10.0, 39.0);
            out += QByteArray::number(pressure[i], 'f', 3) + ',' +
                   QByteArray::number(temperature[i], 'f', 1) + ',';
        }
        out += "\r\n";
    }
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
