#pragma once

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#ifdef Q_OS_LINUX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>
#endif

// A real tmpfs of a few hundred KiB for one test, so that a full disk fails the way it does
// in the field (ENOSPC part-way through a write). Mounting needs root; reason() says why not.
class SmallDisk {
  public:
    explicit SmallDisk(int kib) {
#ifdef Q_OS_LINUX
        const QByteArray options = "size=" + QByteArray::number(kib) + "k,mode=0755";
        if (::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs", 0,
                    options.constData()) == 0)
            m_mounted = true;
        else
            m_reason = QStringLiteral("cannot mount a tmpfs here: ") + std::strerror(errno);
#else
        Q_UNUSED(kib);
        m_reason = QStringLiteral("no tmpfs on this platform");
#endif
    }
    ~SmallDisk() {
#ifdef Q_OS_LINUX
        if (m_mounted)
            ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
#endif
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool mounted() const { return m_mounted; }
    QString reason() const { return m_reason; }
    QString path() const { return m_dir.path(); }
    QString filler() const { return m_dir.filePath(QStringLiteral(".filler")); }

    // Takes every free byte; true when the disk refused more.
    bool fill() {
#ifdef Q_OS_LINUX
        const int fd = ::open(QFile::encodeName(filler()).constData(),
                              O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (fd < 0)
            return false;
        static const char zeros[65536] = {};
        for (size_t chunk = sizeof zeros; chunk > 0; chunk /= 16) {
            while (::write(fd, zeros, chunk) == ssize_t(chunk)) {
            }
        }
        const bool full = errno == ENOSPC;
        ::close(fd);
        return full;
#else
        return false;
#endif
    }
    void release() { QFile::remove(filler()); }

  private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
    QString m_reason;
};
