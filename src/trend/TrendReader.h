#pragma once

#include "TrendCache.h"
#include "TrendColumn.h"
#include "TrendDay.h"

#include <QDate>
#include <QString>
#include <array>
#include <atomic>
#include <functional>
#include <vector>

// Reduces the day files of a range of days into pixel columns of minimum and maximum for
// each series. Wide views come from the cached day summaries (a column costs the same for a
// month as for a year); a view narrow enough for minute blocks to show is read from the
// day files second by second.
class TrendReader {
  public:
    static constexpr int kSeries = TrendDay::kSeries;
    static constexpr int kMaxDays = 366;

    enum class Resolution { Seconds, Fine, Coarse };

    struct Request {
        QString baseDir;
        QDate firstDay;
        QDate lastDay;
        // The view in seconds since 1970 on the local clock, [begin, end); cut to the days.
        qint64 begin = 0;
        qint64 end = 0;
        int columns = 800;
        std::array<bool, kSeries> series{};
    };

    struct Result {
        qint64 begin = 0; // of the view as read
        qint64 end = 0;
        double secondsPerColumn = 1;
        int columns = 0;
        Resolution resolution = Resolution::Coarse;
        std::array<std::vector<TrendColumn>, kSeries> series;
        int daysRead = 0;    // days with a file
        int daysRebuilt = 0; // of those, summaries made from the file just now
        bool cancelled = false;
    };

    // done and total in days; called from the reading thread.
    using Progress = std::function<void(int done, int total)>;

    // `scratch`, two days' room a caller can keep from one read to the next, so that the
    // memory a first reading takes is taken once.
    static Result read(const Request& request, const Progress& progress = {},
                       const std::atomic<bool>* cancel = nullptr,
                       std::array<TrendCache::Scratch, 2>* scratch = nullptr);

    // The whole range of a request: first day 00:00:00 to the day after the last.
    static qint64 rangeBegin(const Request& request);
    static qint64 rangeEnd(const Request& request);
};
