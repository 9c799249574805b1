#include "InstanceLock.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

InstanceLock::InstanceLock(const QString& folder)
    : m_file(QDir(folder).filePath(QStringLiteral("presmon.lock"))) {
    // Only an owner that is gone makes the lock stale, never its age: a run lasts for months.
    m_file.setStaleLockTime(0);
}

namespace {

// This computer's name as a lock file records it (Windows takes COMPUTERNAME, not the DNS
// name), read back from a lock of our own.
QString LocalLockHost() {
    QTemporaryDir dir;
    QLockFile probe(dir.filePath(QStringLiteral("probe.lock")));
    qint64 pid = 0;
    QString host;
    QString app;
    return dir.isValid() && probe.tryLock(0) && probe.getLockInfo(&pid, &host, &app) ? host
                                                                                     : QString();
}

} // namespace

bool InstanceLock::acquire(const std::function<void(const QString&)>& showMessage) {
    if (m_file.tryLock(0))
        return true;
    if (m_file.error() != QLockFile::LockFailedError)
        return true;
    // A lock naming this very process on this computer was left by an earlier run whose
    // process id has come round again (Windows after a restart, Wine after its server ended):
    // its owner is gone, whatever the process list says.
    qint64 pid = 0;
    QString host;
    QString app;
    if (m_file.getLockInfo(&pid, &host, &app) && pid == QCoreApplication::applicationPid() &&
        host == LocalLockHost() && m_file.removeStaleLockFile() && m_file.tryLock(0))
        return true;
    if (showMessage)
        showMessage(busyText());
    return false;
}

QString InstanceLock::busyText() {
    return QStringLiteral("本文件夹中的程序已经在运行，同一文件夹只能运行一个，本次启动结束");
}
