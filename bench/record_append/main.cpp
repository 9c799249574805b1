// What flushing each row through to the device costs: a day-file row appended as the recorder
// appends it (open, one write, flush to the device, close) against the same append without the
// flush, taken in turns in one run into files in the given folder (default: a temporary folder
// beside the program, so on the disk the program records to).
//   record_append [--rows N] [--dir DIR]
#include "DailyRecord.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

const QByteArray kRow = "6B1942DA,2026-12-09 12:00:26,63.75,22.2,67.42,21.3,71.90,21.0,"
                        "0.0,0.0,0.0,0.0,0.0,0.0,0.0,0.0,0.0,0.0,";

bool AppendWithoutFlush(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return false;
    return file.write(kRow + "\r\n") == kRow.size() + 2;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    int rows = 200;
    QString base = QCoreApplication::applicationDirPath();
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == "--rows")
            rows = std::max(1, args[i + 1].toInt());
        else if (args[i] == "--dir")
            base = args[i + 1];
    }
    QTemporaryDir dir(base + "/record_append-XXXXXX");
    if (!dir.isValid())
        return 1;
    const QString synced = DailyFileName(dir.path(), QDate(2026, 12, 9));
    const QString plain = dir.filePath("plain.csv");
    std::vector<double> syncedMs, plainMs;
    for (int r = 0; r < rows; ++r) {
        QElapsedTimer t;
        t.start();
        if (!AppendRecordRow(synced, QString::fromLatin1(kRow)))
            return 1;
        syncedMs.push_back(t.nsecsElapsed() / 1e6);
        t.start();
        if (!AppendWithoutFlush(plain))
            return 1;
        plainMs.push_back(t.nsecsElapsed() / 1e6);
    }
    const double a = Median(syncedMs), b = Median(plainMs);
    std::printf("RESULT name=record_append rows=%d flushed_ms=%.3f unflushed_ms=%.3f ratio=%.1f "
                "flushed_max_ms=%.3f\n",
                rows, a, b, b > 0 ? a / b : 0.0,
                *std::max_element(syncedMs.begin(), syncedMs.end()));
    return 0;
}
