#include "PointTimes.h"

#include <algorithm>

PointTimes::PointTimes(qint64 keep) : m_keep(std::max<qint64>(1, keep)) {}

void PointTimes::clear() {
    m_runs.clear();
    m_first = 0;
    m_last = -1;
}

void PointTimes::record(qint64 index, qint64 second) {
    if (index < 0 || second < 0)
        return;
    if (!m_runs.empty()) {
        if (index == m_last)
            return;
        if (index < m_last)
            clear();
    }
    if (m_runs.empty()) {
        m_runs.push_back({index, second});
        m_first = m_last = index;
        return;
    }
    const Run& tail = m_runs.back();
    const bool timed = tail.second >= 0;
    if (index == m_last + 1 && timed && second == tail.second + (m_last - tail.index) + 1) {
        m_last = index;
    } else {
        if (index > m_last + 1)
            m_runs.push_back({m_last + 1, -1});
        m_runs.push_back({index, second});
        m_last = index;
    }
    if (m_last - m_first + 1 > m_keep) {
        m_first = m_last - m_keep + 1;
        while (m_runs.size() > 1 && m_runs[1].index <= m_first)
            m_runs.pop_front();
    }
}

std::optional<qint64> PointTimes::second(qint64 index) const {
    if (m_runs.empty() || index < m_first || index > m_last)
        return std::nullopt;
    auto after = std::upper_bound(m_runs.begin(), m_runs.end(), index,
                                  [](qint64 i, const Run& run) { return i < run.index; });
    const Run& run = *std::prev(after);
    if (run.second < 0)
        return std::nullopt;
    return run.second + (index - run.index);
}
