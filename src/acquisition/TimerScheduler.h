#pragma once

#include "Scheduler.h"

#include <QObject>

// Steps on single-shot precise timers of the scheduler's thread. Steps still pending when
// the scheduler is destroyed never run.
class TimerScheduler : public Scheduler {
  public:
    void after(int ms, std::function<void()> step) override;
    // The steps then run on that thread; call from the thread the scheduler is on.
    void moveToThread(QThread* thread) { m_context.moveToThread(thread); }

  private:
    QObject m_context;
};
