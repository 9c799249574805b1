#pragma once

#include <functional>

// Runs a step of work later, from the event loop. The polling cycle waits through it instead
// of sleeping, so the window answers between a request and the next. The program uses
// TimerScheduler; tests use a manual clock they advance themselves.
class Scheduler {
  public:
    virtual ~Scheduler() = default;
    // Runs step once after at least ms milliseconds, never from within this call.
    virtual void after(int ms, std::function<void()> step) = 0;
};
