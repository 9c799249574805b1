#pragma once

#include "TrendDay.h"

#include <QString>
#include <atomic>
#include <optional>

// Day summaries kept beside the data folder (TrendCache/yyyy/mm/dd.sum), so a range read
// once opens at once. The day files stay the only record: a summary holds the size and time
// of the file it was made from and is made again whenever they differ; a missing, damaged or
// unwritable cache only costs the time of reading the day file.
class TrendCache {
  public:
    enum class Level { Fine, Coarse };

    // Room for one day file and its seconds, kept by a caller that reads many days.
    struct Scratch {
        std::vector<char> bytes;
        std::vector<float> seconds;
    };

    explicit TrendCache(QString baseDir);

    QString dataPath(QDate day) const;
    QString cachePath(QDate day) const;

    // The day's summary at `level`; nothing when the day has no file, it cannot be read or
    // the read was cancelled. `rebuilt` tells whether the day file itself was read.
    std::optional<TrendDay> day(QDate day, Level level, const std::atomic<bool>* cancel = nullptr,
                                bool* rebuilt = nullptr, Scratch* scratch = nullptr) const;

    // The summary only when the cache holds it for the day file as it is now.
    std::optional<TrendDay> cached(QDate day, Level level) const;

  private:
    std::optional<TrendDay> load(QDate day, Level level, qint64 size, qint64 mtime) const;
    void store(const TrendDay& fine, const TrendDay& coarse, qint64 size, qint64 mtime) const;

    QString m_baseDir;
};
