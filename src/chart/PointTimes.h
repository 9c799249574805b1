#pragma once

#include <QtGlobal>
#include <deque>
#include <optional>

// The clock second of every point of a live chart, kept as runs of consecutive seconds: a
// day of steady one-second ticks is one run of 16 bytes, not 86,400 numbers. Only the last
// `keep` indices are held, as the chart itself holds at most a day of points.
class PointTimes {
  public:
    static constexpr qint64 kDay = 86400;

    explicit PointTimes(qint64 keep = kDay);

    // The second of point `index`, given in the order the points are appended. The same
    // index again is the same tick (the first time stays); a lower one means the chart was
    // emptied and counts from 0 again.
    void record(qint64 index, qint64 second);
    void clear();

    std::optional<qint64> second(qint64 index) const;
    qint64 lastIndex() const { return m_last; } // -1 when empty
    qsizetype runCount() const { return qsizetype(m_runs.size()); }

  private:
    struct Run {
        qint64 index;
        qint64 second; // -1: indices without a time (a point appended past a gap)
    };

    std::deque<Run> m_runs;
    qint64 m_keep;
    qint64 m_first = 0;
    qint64 m_last = -1;
};
