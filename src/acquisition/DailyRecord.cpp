#include "DailyRecord.h"

#include "Gbk.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>

QString DailyFileName(const QString& baseDir, const QDate& day) {
    return QDir(baseDir).filePath(QStringLiteral("Data/%1/%2/%3.csv")
                                      .arg(day.toString(QStringLiteral("yyyy")),
                                           day.toString(QStringLiteral("MM")),
                                           day.toString(QStringLiteral("dd"))));
}

qint64 SecondCount(const QDateTime& localTime) {
    constexpr qint64 msPerDay = 86400 * 1000;
    const qint64 days = QDate(1970, 1, 1).daysTo(localTime.date());
    const qint64 ms = days * msPerDay + localTime.time().msecsSinceStartOfDay();
    qint64 seconds = ms / 1000;
    qint64 rest = ms % 1000;
    if (rest < 0) {
        rest += 1000;
        --seconds;
    }
    if (rest > 500 || (rest == 500 && seconds % 2 != 0))
        ++seconds;
    return seconds;
}

QString ComposeRecordRow(const Clock& clock) {
    const QString number =
        QString::number(SecondCount(clock()), 16).toUpper().rightJustified(8, QLatin1Char('0'));
    const QString time = clock().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    return number + QLatin1Char(',') + time + QLatin1Char(',');
}

void EnsureDirectory(const QString& path) {
    if (!QFileInfo(path).isDir())
        QDir().mkdir(path);
}

QByteArray RecordHeader() {
    static const QByteArray header = [] {
        return GbkEncode(
            QStringLiteral("数据编号,时间,压力1,温度1,压力2,温度2,压力3,温度3,压力4,温度4,"
                           "压力5,温度5,压力6,温度6,压力7,温度7,压力8,温度8,"));
    }();
    return header;
}

namespace {

// A run killed in the middle of a write can leave a line without its end; the next row
// must not be glued onto it.
QByteArray MissingLineEnd(const QString& fileName, qint64 size) {
    if (size <= 0)
        return {};
    QFile probe(fileName);
    if (!probe.open(QIODevice::ReadOnly) || !probe.seek(size - 1))
        return {};
    const QByteArray last = probe.read(1);
    if (last == "\n")
        return {};
    return last == "\r" ? QByteArray("\n") : QByteArray("\r\n");
}

// A short write is followed by one for the rest, which fails with the system's own reason
// (a full disk) where the short count alone says nothing.
bool WriteWhole(QFile& file, const QByteArray& bytes) {
    for (qint64 done = 0; done < bytes.size();) {
        const qint64 written = file.write(bytes.constData() + done, bytes.size() - done);
        if (written <= 0)
            return false;
        done += written;
    }
    return file.flush();
}

// The reason for a failed open or write. Windows words the system's reason in the user's
// language already; elsewhere the common ones are put into Chinese.
QString FailureReason(const QFile& file, int error) {
    switch (error) {
    case ENOSPC:
        return QStringLiteral("磁盘空间已满");
#ifdef EDQUOT
    case EDQUOT:
        return QStringLiteral("超出磁盘配额");
#endif
    case EACCES:
    case EPERM:
        return QStringLiteral("没有写入权限");
    case EROFS:
        return QStringLiteral("磁盘为只读");
    case EIO:
        return QStringLiteral("磁盘读写错误");
    case EFBIG:
        return QStringLiteral("文件过大");
    case ENOENT:
    case ENOTDIR:
        return QStringLiteral("文件夹不存在或无法创建");
    default:
        break;
    }
    return file.errorString();
}

} // namespace

bool AppendCsvLine(const QString& fileName, const QByteArray& header, const QByteArray& line,
                   QString* reason) {
    // The directories follow the file's own path, not today's date: a tick that crosses
    // midnight into a new month still writes into the folder of the day it started on.
    const QFileInfo info(fileName);
    const QString monthDir = info.absolutePath();
    const QString yearDir = QFileInfo(monthDir).absolutePath();
    EnsureDirectory(QFileInfo(yearDir).absolutePath());
    EnsureDirectory(yearDir);
    EnsureDirectory(monthDir);

    const bool headerDue = !info.exists();
    const qint64 sizeBefore = headerDue ? 0 : info.size();
    const QByteArray lineEnd = headerDue ? QByteArray() : MissingLineEnd(fileName, sizeBefore);

    // One write for the whole line, so a reader never meets a header without its first row
    // or a row in two pieces that were written at different times.
    QByteArray bytes = headerDue ? header + "\r\n" : lineEnd;
    bytes += line + "\r\n";
    QFile file(fileName);
    errno = 0;
    bool ok = file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered);
    if (ok)
        ok = WriteWhole(file, bytes) && SyncToDevice(file.handle());
    const int error = errno;
    if (!ok && reason)
        *reason = FailureReason(file, error);
    // A row the disk took only in part is cut back off, so the next row starts on a line of its
    // own; a file this append created goes again, so that the next one writes the header.
    if (!ok && file.isOpen()) {
        file.resize(sizeBefore);
        file.close();
        if (headerDue)
            file.remove();
    }
    file.close();
    return ok;
}

bool AppendRecordRow(const QString& fileName, const QString& row, QString* error) {
    QString reason;
    const bool ok = AppendCsvLine(fileName, RecordHeader(), row.toLatin1(), &reason);
    if (!ok && error)
        *error = QStringLiteral("写入数据文件 %1 失败: %2")
                     .arg(QDir::toNativeSeparators(fileName), reason);
    return ok;
}
