#include "Ini.h"

#include "Gbk.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QMutex>
#include <QSaveFile>

#include <algorithm>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

constexpr qsizetype kValueLimit = 2047;

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

QString trimBlanks(QStringView text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin).toString();
}

QString decode(QByteArrayView bytes) {
    return GbkDecode(bytes);
}

QByteArray encode(QStringView text) {
    return GbkEncode(text);
}

// One line of the file, split once so that reads and writes agree on what it is.
struct Line {
    enum Kind { Other, Section, Entry } kind = Other;
    QString name;     // section or key name, blanks trimmed
    QByteArray value; // raw bytes behind '=' (entries only)
};

Line classify(const QByteArray& raw) {
    Line line;
    const QByteArray& bytes = raw;
    const QByteArray text = bytes.trimmed();
    if (text.isEmpty() || text.startsWith(';') || text.startsWith('#'))
        return line;
    if (text.startsWith('[')) {
        const qsizetype close = text.indexOf(']');
        if (close > 0) {
            line.kind = Line::Section;
            line.name = trimBlanks(decode(text.sliced(1, close - 1)));
        }
        return line;
    }
    const qsizetype eq = bytes.indexOf('=');
    if (eq < 0)
        return line;
    line.kind = Line::Entry;
    line.name = trimBlanks(decode(bytes.first(eq)));
    line.value = bytes.sliced(eq + 1);
    return line;
}

bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// The raw lines of the file without their line ending; no lines for a missing file.
struct IniFile {
    bool readable = true;
    QList<QByteArray> lines;
    QByteArray newline = "\r\n";
};

IniFile load(const QString& path) {
    IniFile file;
    QFile f(path);
    if (!f.exists())
        return file;
    if (!f.open(QIODevice::ReadOnly)) {
        file.readable = false;
        return file;
    }
    const QByteArray all = f.readAll();
    f.close();
    if (all.isEmpty())
        return file;
    file.lines = all.split('\n');
    if (all.endsWith('\n'))
        file.lines.removeLast();
    for (QByteArray& line : file.lines) {
        if (line.endsWith('\r'))
            line.chop(1);
    }
    // Keep the line ending the file already uses.
    if (all.contains('\n') && !all.contains("\r\n"))
        file.newline = "\n";
    return file;
}

// The section's header line and the line after its body; header is -1 when it is missing.
struct SectionSpan {
    qsizetype header = -1;
    qsizetype end = -1;
};

SectionSpan findSection(const QList<QByteArray>& lines, const QString& section) {
    SectionSpan span;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const Line line = classify(lines[i]);
        if (line.kind != Line::Section)
            continue;
        if (span.header >= 0) {
            span.end = i;
            return span;
        }
        if (sameName(line.name, section))
            span.header = i;
    }
    if (span.header >= 0)
        span.end = lines.size();
    return span;
}

// Names are matched blank-trimmed, as the file's own names are read.
QString readValue(const QString& path, const QString& sectionName, const QString& keyName) {
    const QString section = trimBlanks(sectionName);
    const QString key = trimBlanks(keyName);
    const IniFile file = load(path);
    const SectionSpan span = findSection(file.lines, section);
    if (span.header < 0)
        return QString();
    for (qsizetype i = span.header + 1; i < span.end; ++i) {
        const Line line = classify(file.lines[i]);
        if (line.kind != Line::Entry || !sameName(line.name, key))
            continue;
        QByteArray value = line.value.trimmed();
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front())
            value = value.sliced(1, value.size() - 2);
        if (value.size() > kValueLimit) {
            value.truncate(kValueLimit);
            // Do not leave the lead byte of a two-byte character dangling at the cut.
            qsizetype lead = 0;
            for (qsizetype j = 0; j < value.size(); ++j) {
                if (lead == 0 && static_cast<unsigned char>(value[j]) >= 0x81)
                    lead = 1;
                else
                    lead = 0;
            }
            if (lead)
                value.chop(1);
        }
        return decode(value);
    }
    return QString();
}

int digitValue(QChar c, int base) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (base == 16 && u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (base == 16 && u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

// A file that is marked read-only stays unwritten even for a user whom the system would let
// write it (root), as a read-only attribute would; MakeWritable lifts the mark.
bool markedReadOnly(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists())
        return false;
    const QFileDevice::Permissions permissions = info.permissions();
#ifdef Q_OS_UNIX
    const bool owner = info.ownerId() == ::geteuid() || ::geteuid() == 0;
    if (owner)
        return !(permissions & QFileDevice::WriteOwner);
    return !info.isWritable();
#else
    // Windows reports the read-only attribute as the missing owner write permission.
    return !(permissions & QFileDevice::WriteOwner);
#endif
}

bool writeAt(QFile& file, qint64 offset, QByteArrayView bytes) {
    return file.seek(offset) && file.write(bytes.data(), bytes.size()) == bytes.size() &&
           file.flush();
}

// For a file whose folder takes no new file: the part that needs new space is written first
// and cut off again when it does not fit, so a full disk leaves the old bytes as they were.
bool writeInPlace(const QString& path, const QByteArray& out) {
    QFile file(path);
    if (!file.exists() || !file.open(QIODevice::ReadWrite | QIODevice::Unbuffered))
        return false;
    const QByteArray old = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return false;
    const qint64 oldSize = old.size();
    if (out.size() > oldSize && !writeAt(file, oldSize, QByteArrayView(out).sliced(oldSize))) {
        file.resize(oldSize);
        return false;
    }
    const qint64 common = std::min<qint64>(oldSize, out.size());
    if (!writeAt(file, 0, QByteArrayView(out).first(common)) ||
        (out.size() < oldSize && !file.resize(out.size()))) {
        // Overwriting takes no new space, so this is a real I/O error: put back what was there.
        writeAt(file, 0, old);
        file.resize(oldSize);
        return false;
    }
    return true;
}

// All or nothing: the new text goes to a temporary file that replaces the old one only when
// every byte of it was written; a full disk otherwise renames a short file over the settings.
bool replaceFile(const QString& path, const QByteArray& out) {
    QSaveFile save(path);
    if (!save.open(QIODevice::WriteOnly))
        return writeInPlace(path, out);
    if (save.write(out) != out.size() || !save.flush() || save.error() != QFileDevice::NoError) {
        save.cancelWriting();
        return false;
    }
    return save.commit();
}

// A name must read back as itself: it survives GBK, no byte of it ends its part of the line
// (a GBK trail byte can be ']'), and a key does not start like a comment or a section header,
// which would hide the entry or turn it into a header.
bool validName(const QString& name, char forbidden, bool key) {
    const QString trimmed = trimBlanks(name);
    const QByteArray bytes = encode(trimmed);
    if (trimmed.isEmpty() || decode(bytes) != trimmed || bytes.contains('\n') ||
        bytes.contains('\r') || bytes.contains(forbidden))
        return false;
    const QByteArray lead = bytes.trimmed();
    return !key || !(lead.startsWith(';') || lead.startsWith('#') || lead.startsWith('['));
}

} // namespace

int32_t ParseIniInteger(const QString& text) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && isBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-'))
        negative = text[i++] == u'-';
    int base = 10;
    if (i + 1 < n && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X')) {
        base = 16;
        i += 2;
    } else if (i < n && (text[i] == u'$' || text[i] == u'x' || text[i] == u'X')) {
        base = 16;
        i += 1;
    }
    if (i == n)
        return 0;
    const int64_t limit = negative ? int64_t(INT32_MAX) + 1 : int64_t(INT32_MAX);
    int64_t value = 0;
    for (; i < n; ++i) {
        const int digit = digitValue(text[i], base);
        if (digit < 0)
            return 0;
        value = value * base + digit;
        if (value > limit)
            return 0;
    }
    return static_cast<int32_t>(negative ? -value : value);
}

QString IniReadString(const QString& path, const QString& section, const QString& key) {
    return readValue(path, section, key);
}

int32_t IniReadInteger(const QString& path, const QString& section, const QString& key) {
    return ParseIniInteger(readValue(path, section, key));
}

namespace {

QMutex g_observerLock;
IniWriteObserver g_observer;

bool writeValue(const QString& path, const QString& section, const QString& key,
                const QString& text);

} // namespace

void SetIniWriteObserver(IniWriteObserver observer) {
    QMutexLocker lock(&g_observerLock);
    g_observer = std::move(observer);
}

bool IniWriteString(const QString& path, const QString& sectionName, const QString& keyName,
                    const QString& text) {
    if (!validName(sectionName, ']', false) || !validName(keyName, '=', true))
        return false;
    const bool saved = writeValue(path, trimBlanks(sectionName), trimBlanks(keyName), text);
    IniWriteObserver observer;
    {
        QMutexLocker lock(&g_observerLock);
        observer = g_observer;
    }
    if (observer)
        observer(path, saved);
    return saved;
}

namespace {

bool writeValue(const QString& path, const QString& section, const QString& key,
                const QString& text) {
    if (markedReadOnly(path))
        return false;
    IniFile file = load(path);
    if (!file.readable)
        return false;
    // A line break inside the value would start a new entry of its own.
    QString value = text;
    value.replace(u'\r', u' ').replace(u'\n', u' ');
    const QByteArray encodedValue = encode(value);

    const SectionSpan span = findSection(file.lines, section);
    if (span.header < 0) {
        file.lines << "[" + encode(section) + "]" << encode(key) + "=" + encodedValue;
    } else {
        qsizetype lastContent = span.header;
        bool replaced = false;
        for (qsizetype i = span.header + 1; i < span.end && !replaced; ++i) {
            const Line line = classify(file.lines[i]);
            if (line.kind == Line::Entry && sameName(line.name, key)) {
                const qsizetype eq = file.lines[i].indexOf('=');
                file.lines[i] = file.lines[i].first(eq + 1) + encodedValue;
                replaced = true;
            } else if (!file.lines[i].trimmed().isEmpty()) {
                lastContent = i;
            }
        }
        if (!replaced)
            file.lines.insert(lastContent + 1, encode(key) + "=" + encodedValue);
    }

    QByteArray out;
    for (const QByteArray& line : file.lines)
        out += line + file.newline;

    // Written beside the old file and renamed over it, so a crash never leaves half a file;
    // QSaveFile keeps the old file's permissions.
    return replaceFile(path, out);
}

} // namespace

bool IniWriteInteger(const QString& path, const QString& section, const QString& key,
                     int32_t number) {
    return IniWriteString(path, section, key, QString::number(number));
}

bool WriteDefaultConfig(const QString& path) {
    bool ok = IniWriteString(path, QStringLiteral("caption"), QStringLiteral("title"),
                             QStringLiteral("压力仪表监控软件"));
    ok &= IniWriteString(path, QStringLiteral("ComSet"), QStringLiteral("baudrate"),
                         QStringLiteral("3"));
    ok &= IniWriteString(path, QStringLiteral("ComSet"), QStringLiteral("comid"), QString());
    for (int n = 1; n <= 8; ++n) {
        const QString key = QString::number(n);
        ok &= IniWriteString(path, QStringLiteral("LineWidthPress"), key, QStringLiteral("1"));
        ok &= IniWriteString(path, QStringLiteral("LineColorPress"), key, QStringLiteral("255"));
        ok &= IniWriteString(path, QStringLiteral("LineWidthTemp"), key, QStringLiteral("1"));
        ok &= IniWriteString(path, QStringLiteral("LineColorTemp"), key, QStringLiteral("255"));
        ok &= IniWriteString(path, QStringLiteral("OpenOrClose"), key, QStringLiteral("0"));
        ok &= IniWriteString(path, QStringLiteral("mSet"), QStringLiteral("PresFull") + key,
                             QStringLiteral("50"));
    }
    ok &= IniWriteString(path, QStringLiteral("mSet"), QStringLiteral("TempFull"),
                         QStringLiteral("1"));
    ok &=
        IniWriteString(path, QStringLiteral("mSet"), QStringLiteral("PresY0"), QStringLiteral("0"));
    ok &= IniWriteString(path, QStringLiteral("mSet"), QStringLiteral("PresYn"),
                         QStringLiteral("1000"));
    return ok;
}

QString ExecutableDir() {
    return QCoreApplication::applicationDirPath();
}

QString ConfigPath() {
    return ExecutableDir() + QStringLiteral("/config.ini");
}
