#include "TrendReader.h"

#include "TrendCache.h"
#include "TrendColumns.h"

#include <QFile>
#include <QThread>
#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

namespace {

bool cancelled(const std::atomic<bool>* cancel) {
    return cancel && cancel->load(std::memory_order_relaxed);
}

} // namespace

qint64 TrendReader::rangeBegin(const Request& request) {
    return TrendDay::dayStart(request.firstDay);
}

qint64 TrendReader::rangeEnd(const Request& request) {
    return TrendDay::dayStart(request.lastDay) + TrendDay::kDaySeconds;
}

TrendReader::Result TrendReader::read(const Request& request, const Progress& progress,
                                      const std::atomic<bool>* cancel,
                                      std::array<TrendCache::Scratch, 2>* keep) {
    Result result;
    if (!request.firstDay.isValid() || !request.lastDay.isValid() ||
        request.firstDay > request.lastDay)
        return result;
    const qint64 rangeFirst = rangeBegin(request);
    const qint64 rangeLast = rangeEnd(request);
    result.begin = std::clamp(request.begin, rangeFirst, rangeLast - 1);
    result.end = std::clamp(request.end, result.begin + 1, rangeLast);
    result.columns = std::max(request.columns, 1);
    result.secondsPerColumn = double(result.end - result.begin) / result.columns;
    const double perColumn = result.secondsPerColumn;
    result.resolution = perColumn >= TrendDay::kCoarseSeconds ? Resolution::Coarse
                        : perColumn >= TrendDay::kFineSeconds ? Resolution::Fine
                                                              : Resolution::Seconds;

    std::vector<TrendColumns> columns;
    for (int s = 0; s < kSeries; ++s)
        columns.emplace_back(result.begin, perColumn, result.columns);
    // The neighbouring columns outside the view, and no second outside the days asked for.
    const qint64 from = std::max(rangeFirst, qint64(std::floor(result.begin - perColumn)));
    const qint64 to = std::min(rangeLast, qint64(std::ceil(result.end + perColumn)));

    const TrendCache cache(request.baseDir);
    const auto addStrays = [&](const TrendDay& day) {
        for (const TrendDay::Stray& stray : day.strays) {
            if (stray.second < from || stray.second >= to)
                continue;
            for (int s = 0; s < kSeries; ++s)
                if (request.series[s] && !std::isnan(stray.values[s]))
                    columns[s].addSecond(stray.second, stray.values[s]);
        }
    };

    // A row of the day before the first may belong to the first (written just after midnight).
    const QDate firstDay =
        QDate(1970, 1, 1)
            .addDays(std::max<qint64>(from - TrendDay::kDaySeconds, 0) / TrendDay::kDaySeconds);
    const QDate lastDay = QDate(1970, 1, 1).addDays((to - 1) / TrendDay::kDaySeconds);
    const int total = int(firstDay.daysTo(lastDay)) + 1;
    const TrendCache::Level level =
        result.resolution == Resolution::Fine ? TrendCache::Level::Fine : TrendCache::Level::Coarse;
    std::vector<float> seconds;
    // Each side of a pair of days keeps its scratch day between pairs.
    std::array<TrendCache::Scratch, 2> own;
    auto& scratch = keep ? *keep : own;
    int done = 0;
    // False when cancelled.
    const auto use = [&](QDate d, const std::optional<TrendDay>& day, bool rebuilt) {
        const qint64 dayStart = TrendDay::dayStart(d);
        const bool inside = dayStart + TrendDay::kDaySeconds > from && dayStart < to;
        if (day) {
            result.daysRebuilt += rebuilt;
            result.daysRead += inside;
            addStrays(*day);
        }
        if (day && inside && result.resolution != Resolution::Seconds) {
            const int per = day->blocksPerSeries();
            for (int s = 0; s < kSeries; ++s) {
                if (!request.series[s])
                    continue;
                for (int b = 0; b < per; ++b) {
                    const TrendBlock& block = day->block(s, b);
                    const qint64 blockStart = dayStart + qint64(b) * day->blockSeconds;
                    if (block.count == 0 || blockStart + day->blockSeconds <= from ||
                        blockStart >= to)
                        continue;
                    columns[s].add(blockStart + block.firstOffset, blockStart + block.lastOffset,
                                   block.min, block.max, block.first, block.last);
                }
            }
        } else if (day && inside) {
            // In second resolution the summary was only wanted for its strays.
            const qint64 lo = std::max(from, dayStart);
            const qint64 hi = std::min(to, dayStart + TrendDay::kDaySeconds);
            seconds.assign(size_t(kSeries) * size_t(hi - lo),
                           std::numeric_limits<float>::quiet_NaN());
            QFile file(cache.dataPath(d));
            if (file.open(QIODevice::ReadOnly)) {
                const QByteArray bytes = file.readAll();
                if (!TrendDay::placeRows(bytes.constData(), bytes.size(), lo, hi - lo, seconds,
                                         nullptr, cancel))
                    return false;
            }
            for (int s = 0; s < kSeries; ++s) {
                if (!request.series[s])
                    continue;
                const float* v = seconds.data() + size_t(s) * size_t(hi - lo);
                for (qint64 i = 0; i < hi - lo; ++i)
                    if (!std::isnan(v[i]))
                        columns[s].addSecond(lo + i, v[i]);
            }
        }
        if (progress)
            progress(++done, total);
        return !cancelled(cancel);
    };
    // Days go in pairs, the second on a thread of its own, so a first reading of the day
    // files takes both cores; the columns do not depend on the order of the days.
    for (QDate d = firstDay; d <= lastDay; d = d.addDays(2)) {
        if (cancelled(cancel)) {
            result.cancelled = true;
            return result;
        }
        const QDate e = d.addDays(1);
        const bool pair = e <= lastDay;
        auto day = cache.cached(d, level);
        auto other = pair ? cache.cached(e, level) : std::nullopt;
        bool rebuilt = false, otherRebuilt = false;
        std::unique_ptr<QThread> helper;
        if (pair && !other) {
            helper.reset(QThread::create(
                [&] { other = cache.day(e, level, cancel, &otherRebuilt, &scratch[1]); }));
            helper->start();
        }
        if (!day)
            day = cache.day(d, level, cancel, &rebuilt, &scratch[0]);
        if (helper)
            helper->wait();
        if (!use(d, day, rebuilt) || (pair && !use(e, other, otherRebuilt))) {
            result.cancelled = true;
            return result;
        }
    }
    for (int s = 0; s < kSeries; ++s)
        result.series[s] = columns[s].take();
    return result;
}
