#pragma once

#include "LinkService.h"

#include <QString>
#include <functional>

// Keeps the one serial line alive on an unattended run: a port that has failed is closed (so
// the cycle records nothing rather than rows of frozen values) and the configured port is
// tried again every kRetryMs until it opens. The owner calls check() often, a few times a
// second; nothing happens to a healthy line, nor to a port that was never open unless the
// owner asks for retries.
class LineSupervisor {
  public:
    static constexpr qint64 kRetryMs = 2000;

    // clockMs: a monotonic clock in milliseconds. report: the port's name when the line is
    // lost, the empty text once it works again.
    LineSupervisor(LinkService& link, std::function<qint64()> clockMs,
                   std::function<void(const QString& lostPort)> report);

    // name, baudIndex: the configured port, tried while the line is lost.
    void check(const QString& name, int baudIndex);
    // A configured port that did not open, with nobody there to choose another: shown and
    // tried again every kRetryMs by check(), as a lost line is.
    void retry(const QString& name);
    bool isLost() const { return m_lost; }

  private:
    void setLost(bool lost, const QString& name);

    LinkService& m_link;
    std::function<qint64()> m_clockMs;
    std::function<void(const QString&)> m_report;
    bool m_lost = false;
    qint64 m_nextTryMs = 0;
};
