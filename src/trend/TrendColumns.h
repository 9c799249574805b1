#pragma once

#include "TrendColumn.h"

#include <vector>

// Gathers seconds and blocks of seconds into pixel columns of a time range, one column
// beyond each edge included so that lines run into the edges. A block goes whole to the
// column of its first second: blocks are only used when they are narrower than a column.
class TrendColumns {
  public:
    TrendColumns(qint64 begin, double secondsPerColumn, int count);

    void add(qint64 firstSecond, qint64 lastSecond, float min, float max, float first, float last);
    void addSecond(qint64 second, float value) { add(second, second, value, value, value, value); }

    std::vector<TrendColumn> take() const;

  private:
    long long columnOf(qint64 second) const;

    qint64 m_begin;
    double m_perColumn;
    int m_count;
    std::vector<TrendColumn> m_slots; // slot = column + 1
    std::vector<char> m_used;
};
