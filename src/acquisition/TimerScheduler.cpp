#include "TimerScheduler.h"

#include <QTimer>

void TimerScheduler::after(int ms, std::function<void()> step) {
    QTimer::singleShot(ms, Qt::PreciseTimer, &m_context, std::move(step));
}
