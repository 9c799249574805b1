#pragma once

#include <QFile>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>
#ifdef Q_OS_LINUX
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>
#endif

// A real tmpfs of a few hundred KiB, so that a full disk fails as in the field (ENOSPC part-way
// through a write). Mounting needs root; reason() says why it did not happen.
class SmallDisk {
  public:
    explicit SmallDisk(int kib) {
#ifdef Q_OS_LINUX
        const QByteArray options = "size=" + QByteArray::number(kib) + "k,mode=0755";
        m_mounted = ::mount("tmpfs", QFile::encodeName(path()), "tmpfs", 0, options) == 0;
        m_reason = QStringLiteral("cannot mount a tmpfs here: ") + std::strerror(errno);
#endif
    }
    ~SmallDisk() {
#ifdef Q_OS_LINUX
        if (m_mounted)
            ::umount2(QFile::encodeName(path()), MNT_DETACH);
#endif
    }

    bool mounted() const {
        return m_mounted;
    }
    QString reason() const {
        return m_reason;
    }
    QString path() const {
        return m_dir.path();
    }

    // Takes every free byte; true when the disk refused more.
    bool fill() {
        QFile filler(m_dir.filePath(QStringLiteral(".filler")));
        if (!filler.open(QIODevice::Append | QIODevice::Unbuffered))
            return false;
        for (qint64 chunk = 65536; chunk > 0; chunk /= 16) {
            while (filler.write(QByteArray(chunk, '\0')) == chunk) {
            }
        }
        return errno == ENOSPC;
    }
    void release() {
        QFile::remove(m_dir.filePath(QStringLiteral(".filler")));
    }

  private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
    QString m_reason = QStringLiteral("no tmpfs on this platform");
};
