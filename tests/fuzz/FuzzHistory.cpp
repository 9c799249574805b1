#include "FuzzEntries.h"
#include "HistoryQuery.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTime>
#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

// Input layout: byte 0 picks the span (low three bits, 0 and 7 are out of range) and the day
// (the rest), byte 1 the ticked instruments, then the time text (UTF-8) up to the first line
// feed, then the data file's bytes.

namespace {

const QDate kDays[] = {QDate(2024, 3, 5), QDate(1970, 1, 1), QDate(1969, 12, 31), QDate(2106, 2, 7),
                       QDate(9999, 12, 31)};

const QString& filePath() {
    static QTemporaryDir dir;
    static const QString path = dir.path() + QStringLiteral("/05.csv");
    return path;
}

void checkStart(QDate day, const QString& timeText) {
    const std::optional<long long> start = HistoryQuery::startSeconds(day, timeText);
    if (!start)
        return;
    // Only "hh:mm" on the day's clock, the first hour position possibly blank.
    QString padded = timeText;
    if (!padded.isEmpty() && padded[0] == u' ')
        padded[0] = u'0';
    const QTime time = QTime::fromString(padded, QStringLiteral("hh:mm"));
    FUZZ_CHECK(time.isValid());
    FUZZ_CHECK(*start ==
               QDate(1970, 1, 1).daysTo(day) * 86400 + time.msecsSinceStartOfDay() / 1000);
}

} // namespace

int presmon::fuzz::History(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    const QByteArray input =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype lineEnd = input.indexOf('\n', 2);
    const QString timeText =
        QString::fromUtf8(input.sliced(2, (lineEnd < 0 ? input.size() : lineEnd) - 2));
    const QByteArray contents = lineEnd < 0 ? QByteArray() : input.sliced(lineEnd + 1);

    HistoryQuery::Input query;
    query.span = data[0] & 7;
    query.day = kDays[(data[0] >> 3) % std::size(kDays)];
    for (int i = 0; i < HistoryQuery::kInstruments; ++i)
        query.ticked[i] = (data[1] >> i) & 1;
    query.timeText = timeText;
    query.filePath = filePath();
    checkStart(query.day, timeText);
    {
        QFile file(query.filePath);
        FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        FUZZ_CHECK(file.write(contents) == contents.size());
    }

    QList<std::pair<int, int>> reports;
    const HistoryQuery::Result result = HistoryQuery::run(query, [&](int position, int maximum) {
        reports.append({position, maximum});
    });

    using Outcome = HistoryQuery::Outcome;
    const std::optional<long long> start = HistoryQuery::startSeconds(query.day, timeText);
    FUZZ_CHECK((result.outcome == Outcome::BadTime) == !start);
    if (!result.seriesRebuilt()) {
        for (const auto& points : result.points)
            FUZZ_CHECK(points.empty());
        FUZZ_CHECK(reports.isEmpty());
        return 0;
    }
    FUZZ_CHECK(result.outcome == Outcome::Ok ||
               result.message == QStringLiteral("Floating point overflow"));

    // One point per second of the window for every ticked instrument, none for the others.
    const long long dayEnd = QDate(1970, 1, 1).daysTo(query.day) * 86400 + 86399;
    const long long windowEnd =
        query.span == 6 ? dayEnd
                        : *start + std::array{600, 1800, 3600, 7200, 10800}[query.span - 1];
    for (int series = 0; series < HistoryQuery::kSeries; ++series) {
        const bool ticked = query.ticked[series % HistoryQuery::kInstruments];
        const auto& points = result.points[series];
        FUZZ_CHECK(points.size() == (ticked ? size_t(windowEnd - *start + 1) : 0));
        for (float value : points)
            FUZZ_CHECK(!std::isnan(value));
    }
    FUZZ_CHECK(result.leftMaximum >= query.leftMaximum);
    FUZZ_CHECK(result.rightMaximum >= query.rightMaximum);
    FUZZ_CHECK(result.rowsInWindow <= result.linesRead);
    FUZZ_CHECK(result.linesRead <= contents.count('\n') + 1);

    // Progress in 128-byte steps of this file, never backwards, complete when all was read.
    const int maximum = int(contents.size() / 128);
    FUZZ_CHECK(!reports.isEmpty());
    int last = 0;
    for (const auto& [position, reportedMaximum] : reports) {
        FUZZ_CHECK(reportedMaximum == maximum);
        FUZZ_CHECK(position >= last && position <= maximum);
        last = position;
    }
    if (result.outcome == Outcome::Ok)
        FUZZ_CHECK(last == maximum);
    return 0;
}
