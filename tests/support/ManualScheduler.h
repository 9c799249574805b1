#pragma once

#include "Scheduler.h"

#include <QDateTime>
#include <QStringList>
#include <map>

// A clock that moves only when the test says so, and the steps due on it. Every pause asked
// for can be logged into the same list as the port's writes and reads, so their order shows.
class ManualScheduler : public Scheduler {
  public:
    QDateTime now = QDateTime(QDate(2024, 3, 15), QTime(8, 30));
    QStringList* log = nullptr;    // gets "pause <ms>" for every step asked for
    std::function<int()> lateness; // extra ms before each step runs, as a busy loop adds

    void after(int ms, std::function<void()> step) override {
        if (log)
            *log << QStringLiteral("pause %1").arg(ms);
        const qint64 due = now.toMSecsSinceEpoch() + ms + (lateness ? lateness() : 0);
        m_steps.emplace(due, std::move(step));
    }
    // Runs the steps due within ms (all of them, and those they ask for, when ms < 0) in time
    // order, moving the clock along.
    void advance(qint64 ms) {
        const qint64 until = now.toMSecsSinceEpoch() + ms;
        while (!m_steps.empty() && (ms < 0 || m_steps.begin()->first <= until)) {
            const auto first = m_steps.begin();
            const std::function<void()> step = std::move(first->second);
            now = QDateTime::fromMSecsSinceEpoch(std::max(first->first, now.toMSecsSinceEpoch()));
            m_steps.erase(first);
            step();
        }
        if (ms >= 0 && until > now.toMSecsSinceEpoch())
            now = QDateTime::fromMSecsSinceEpoch(until);
    }
    void runAll() { advance(-1); }

  private:
    std::multimap<qint64, std::function<void()>> m_steps; // steps due together keep their order
};
