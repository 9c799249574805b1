#pragma once

#include "Scheduler.h"

#include <QObject>

// Steps on single-shot precise timers of the calling (GUI) thread. Steps still pending when
// the scheduler is destroyed never run.
class TimerScheduler : public Scheduler {
  public:
    void after(int ms, std::function<void()> step) override;

  private:
    QObject m_context;
};
