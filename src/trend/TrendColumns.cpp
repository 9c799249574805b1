#include "TrendColumns.h"

#include <algorithm>
#include <cmath>

TrendColumns::TrendColumns(qint64 begin, double secondsPerColumn, int count)
    : m_begin(begin), m_perColumn(secondsPerColumn > 0 ? secondsPerColumn : 1.0),
      m_count(std::max(count, 1)), m_slots(size_t(m_count) + 2), m_used(size_t(m_count) + 2) {}

long long TrendColumns::columnOf(qint64 second) const {
    const double c = std::floor(double(second - m_begin) / m_perColumn);
    return (long long)std::clamp(c, -2.0, double(m_count) + 1.0);
}

void TrendColumns::add(qint64 firstSecond, qint64 lastSecond, float min, float max, float first,
                       float last) {
    const long long column = columnOf(firstSecond);
    if (column < -1 || column > m_count)
        return;
    TrendColumn& slot = m_slots[size_t(column + 1)];
    if (!m_used[size_t(column + 1)]) {
        m_used[size_t(column + 1)] = 1;
        slot = {int(column), min, max, first, last, firstSecond, lastSecond};
        return;
    }
    slot.min = std::min(slot.min, min);
    slot.max = std::max(slot.max, max);
    // Rows of a neighbouring day's file may come after later seconds.
    if (firstSecond < slot.firstSecond) {
        slot.firstSecond = firstSecond;
        slot.first = first;
    }
    if (lastSecond >= slot.lastSecond) {
        slot.lastSecond = lastSecond;
        slot.last = last;
    }
}

std::vector<TrendColumn> TrendColumns::take() const {
    std::vector<TrendColumn> out;
    for (size_t i = 0; i < m_slots.size(); ++i)
        if (m_used[i])
            out.push_back(m_slots[i]);
    return out;
}
