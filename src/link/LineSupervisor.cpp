#include "LineSupervisor.h"

LineSupervisor::LineSupervisor(LinkService& link, std::function<qint64()> clockMs,
                               std::function<void(const QString& lostPort)> report)
    : m_link(link), m_clockMs(std::move(clockMs)), m_report(std::move(report)) {}

void LineSupervisor::check(const QString& name, int baudIndex) {
    const qint64 now = m_clockMs();
    if (!m_lost) {
        if (!m_link.lost())
            return;
        m_link.close();
        m_nextTryMs = now + kRetryMs;
        setLost(true, name);
        return;
    }
    // Whoever brought the line back (this retry or the operator's port settings) ends it.
    if (m_link.port()) {
        setLost(false, name);
        return;
    }
    if (now < m_nextTryMs)
        return;
    m_nextTryMs = now + kRetryMs;
    if (m_link.open(name, baudIndex) && m_link.port())
        setLost(false, name);
    else
        m_link.close(); // failed at once, or opened but not configured: not a line to poll
}

void LineSupervisor::retry(const QString& name) {
    m_nextTryMs = m_clockMs() + kRetryMs;
    setLost(true, name);
}

void LineSupervisor::setLost(bool lost, const QString& name) {
    m_lost = lost;
    if (m_report)
        m_report(lost ? name : QString());
}
