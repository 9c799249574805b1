#include "FuzzEntries.h"
#include "Ini.h"

#include <QFile>
#include <QList>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <utility>

// Input layout: the file's bytes, then, each after a 0x1E byte, the section, key and value
// (UTF-8) of one write. Fewer parts only read.

namespace {

constexpr char kSeparator = 0x1e;
constexpr qsizetype kValueLimit = 2047;

QString decode(QByteArrayView bytes) {
    QStringDecoder decoder("GBK");
    return decoder(bytes);
}

QByteArray encode(const QString& text) {
    QStringEncoder encoder("GBK");
    return encoder(text);
}

bool blank(QChar c) {
    return c == u' ' || c == u'\t';
}

QString trimBlanks(QString text) {
    while (!text.isEmpty() && blank(text.front()))
        text.remove(0, 1);
    while (!text.isEmpty() && blank(text.back()))
        text.chop(1);
    return text;
}

bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// The section and key names of the file's entries, as an editor of the file would see them.
QList<std::pair<QString, QString>> entries(const QByteArray& file) {
    QList<std::pair<QString, QString>> found;
    QString section;
    for (QByteArray line : file.split('\n')) {
        if (found.size() >= 16)
            break;
        if (line.endsWith('\r'))
            line.chop(1);
        const QByteArray text = line.trimmed();
        if (text.startsWith('[')) {
            const qsizetype close = text.indexOf(']');
            if (close > 0)
                section = trimBlanks(decode(text.sliced(1, close - 1)));
        } else if (!text.startsWith(';') && !text.startsWith('#') && line.contains('=')) {
            const QString key = trimBlanks(decode(line.first(line.indexOf('='))));
            if (!section.isEmpty() && !key.isEmpty())
                found.append({section, key});
        }
    }
    return found;
}

// What a read returns for a written value: line breaks became blanks, blanks around the
// value and one pair of quotes go, and at most 2047 bytes come back without a split character.
bool readsAsWritten(const QString& written, const QString& read) {
    QString value = written;
    value.replace(u'\r', u' ').replace(u'\n', u' ');
    QByteArray bytes = encode(value).trimmed();
    if (bytes.size() >= 2 && (bytes.front() == '"' || bytes.front() == '\'') &&
        bytes.back() == bytes.front())
        bytes = bytes.sliced(1, bytes.size() - 2);
    if (bytes.size() <= kValueLimit)
        return read == decode(bytes);
    return read == decode(bytes.first(kValueLimit)) || read == decode(bytes.first(kValueLimit - 1));
}

const QString& filePath() {
    static QTemporaryDir dir;
    static const QString path = dir.path() + QStringLiteral("/config.ini");
    return path;
}

} // namespace

int presmon::fuzz::Ini(const uint8_t* data, size_t size) {
    const QByteArray input =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    const QList<QByteArray> parts = input.split(kSeparator);
    const QByteArray contents = parts.value(0);
    const QString& path = filePath();
    {
        QFile file(path);
        FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        FUZZ_CHECK(file.write(contents) == contents.size());
    }

    const QList<std::pair<QString, QString>> names = entries(contents);
    QStringList before;
    for (const auto& [section, key] : names) {
        before << IniReadString(path, section, key);
        const int32_t number = IniReadInteger(path, section, key);
        FUZZ_CHECK(number == ParseIniInteger(before.back()));
    }
    if (parts.size() < 4)
        return 0;

    const QString section = QString::fromUtf8(parts[1]);
    const QString key = QString::fromUtf8(parts[2]);
    const QString value = QString::fromUtf8(parts[3]);
    const bool written = IniWriteString(path, section, key, value);

    const auto unusable = [](const QString& name, QChar forbidden) {
        return trimBlanks(name).isEmpty() || name.contains(u'\r') || name.contains(u'\n') ||
               name.contains(forbidden);
    };
    if (unusable(section, u']') || unusable(key, u'=')) {
        FUZZ_CHECK(!written);
        return 0;
    }
    if (!written) {
        // A name the file could not give back; the file stays as it was.
        QFile file(path);
        FUZZ_CHECK(file.open(QIODevice::ReadOnly) && file.readAll() == contents);
        return 0;
    }
    if (!readsAsWritten(value, IniReadString(path, section, key))) {
        std::fprintf(stderr, "section '%s' key '%s' value '%s' read '%s'\n", qPrintable(section),
                     qPrintable(key), qPrintable(value),
                     qPrintable(IniReadString(path, section, key)));
        FUZZ_CHECK(!"a written value reads back as written");
    }
    for (qsizetype i = 0; i < names.size(); ++i) {
        const auto& [otherSection, otherKey] = names[i];
        if (sameName(otherSection, trimBlanks(section)) && sameName(otherKey, trimBlanks(key)))
            continue;
        if (IniReadString(path, otherSection, otherKey) != before[i]) {
            std::fprintf(stderr, "entry [%s] %s changed from '%s' to '%s'\n",
                         qPrintable(otherSection), qPrintable(otherKey), qPrintable(before[i]),
                         qPrintable(IniReadString(path, otherSection, otherKey)));
            FUZZ_CHECK(!"a write leaves other entries alone");
        }
    }
    return 0;
}
