#pragma once

#include "Scheduler.h"

#include <QDateTime>
#include <QStringList>
#include <functional>
#include <vector>

// A clock that moves only when the test says so, and the steps due on it. Every pause asked
// for can be logged into the same list as the port's writes and reads, so their order shows.
class ManualScheduler : public Scheduler {
  public:
    QDateTime now = QDateTime(QDate(2024, 3, 15), QTime(8, 30));
    QStringList* log = nullptr;      // gets "pause <ms>" for every step asked for
    std::function<int()> lateness;   // extra ms before each step runs, as a busy loop adds

    void after(int ms, std::function<void()> step) override {
        if (log)
            *log << QStringLiteral("pause %1").arg(ms);
        const int late = lateness ? lateness() : 0;
        m_steps.push_back({now.addMSecs(ms + late), m_next++, std::move(step)});
    }
    QDateTime clock() const { return now; }
    // Runs the steps due within ms, in time order, moving the clock along.
    void advance(qint64 ms) {
        const QDateTime until = now.addMSecs(ms);
        while (runNext(until)) {
        }
        now = until;
    }
    // Runs steps, and the steps they ask for, until none is left.
    void runAll() {
        while (runNext({})) {
        }
    }
    bool idle() const { return m_steps.empty(); }

  private:
    struct Step {
        QDateTime due;
        quint64 order;
        std::function<void()> run;
    };
    bool runNext(const QDateTime& until) {
        auto first = m_steps.end();
        for (auto it = m_steps.begin(); it != m_steps.end(); ++it) {
            if (first == m_steps.end() || it->due < first->due ||
                (it->due == first->due && it->order < first->order))
                first = it;
        }
        if (first == m_steps.end() || (until.isValid() && first->due > until))
            return false;
        Step step = std::move(*first);
        m_steps.erase(first);
        if (step.due > now)
            now = step.due;
        step.run();
        return true;
    }
    std::vector<Step> m_steps;
    quint64 m_next = 0;
};
