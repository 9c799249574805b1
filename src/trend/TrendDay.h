#pragma once

#include "TrendBlock.h"

#include <QDate>
#include <QString>
#include <array>
#include <atomic>
#include <vector>

// One day file reduced to blocks of seconds for every series, at one of two resolutions,
// with the rows the file holds for a neighbouring day (a row composed just after midnight
// lands in the previous day's file) kept aside as they are.
class TrendDay {
  public:
    static constexpr int kSeries = 16; // 0..7 pressure of 1..8, 8..15 temperature of 1..8
    static constexpr int kDaySeconds = 86400;
    static constexpr int kFineSeconds = 60;
    static constexpr int kCoarseSeconds = 900;

    struct Stray {
        qint64 second = 0;
        std::array<float, kSeries> values{}; // NaN where the field did not read
    };

    QDate day;
    int blockSeconds = kFineSeconds;
    std::vector<TrendBlock> blocks; // series-major: blocks[series * blocksPerSeries() + b]
    std::vector<Stray> strays;

    int blocksPerSeries() const { return kDaySeconds / blockSeconds; }
    const TrendBlock& block(int series, int b) const {
        return blocks[size_t(series) * size_t(blocksPerSeries()) + size_t(b)];
    }

    static qint64 dayStart(QDate day) { return QDate(1970, 1, 1).daysTo(day) * kDaySeconds; }

    // Places the rows of `bytes` (a day file) whose data number lies in [from, from + count)
    // at seconds[series * count + key - from]; seconds without a row keep what they hold.
    // A later row of the same second wins, value by value; lines without a readable data
    // number, and a last line cut off before its final comma, are skipped. Rows of other
    // seconds go to `strays` when it is given and they lie within a day of [from, from+count).
    // False when cancelled.
    static bool placeRows(const char* bytes, qint64 size, qint64 from, qint64 count,
                          std::vector<float>& seconds, std::vector<Stray>* strays,
                          const std::atomic<bool>* cancel);

    // Blocks of `blockSeconds` for every series over a whole day of `seconds` as placeRows
    // fills them (NaN where no row was).
    static std::vector<TrendBlock> summarise(const std::vector<float>& seconds, int blockSeconds);
    // Blocks `factor` times as long from consecutive ones.
    static std::vector<TrendBlock> merge(const std::vector<TrendBlock>& blocks, int blockSeconds,
                                         int factor);
};
