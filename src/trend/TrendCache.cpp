#include "TrendCache.h"

#include "HistoryQuery.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cstring>
#include <limits>

namespace {

constexpr char kMagic[8] = {'P', 'M', 'T', 'R', 'E', 'N', 'D', '1'};

struct Header {
    char magic[8];
    qint64 sourceSize;
    qint64 sourceTime; // ms since the epoch
    qint32 strays;
    qint32 reserved;
};
static_assert(sizeof(Header) == 32);
static_assert(sizeof(TrendDay::Stray) == 72);

constexpr qint64 kCoarseBytes = qint64(TrendDay::kSeries) *
                                (TrendDay::kDaySeconds / TrendDay::kCoarseSeconds) *
                                qint64(sizeof(TrendBlock));
constexpr qint64 kFineBytes = qint64(TrendDay::kSeries) *
                              (TrendDay::kDaySeconds / TrendDay::kFineSeconds) *
                              qint64(sizeof(TrendBlock));

bool readExactly(QFile& file, void* into, qint64 bytes) {
    return file.read(static_cast<char*>(into), bytes) == bytes;
}

} // namespace

TrendCache::TrendCache(QString baseDir) : m_baseDir(std::move(baseDir)) {}

QString TrendCache::dataPath(QDate day) const {
    return HistoryQuery::dataFilePath(m_baseDir, day);
}

QString TrendCache::cachePath(QDate day) const {
    return QDir(m_baseDir).filePath(day.toString(u"'TrendCache/'yyyy/MM/dd'.sum'"));
}

std::optional<TrendDay> TrendCache::load(QDate day, Level level, qint64 size, qint64 mtime) const {
    QFile file(cachePath(day));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    Header header{};
    if (!readExactly(file, &header, sizeof header) ||
        std::memcmp(header.magic, kMagic, sizeof kMagic) != 0 || header.sourceSize != size ||
        header.sourceTime != mtime || header.strays < 0 ||
        file.size() != qint64(sizeof header) + kCoarseBytes + kFineBytes +
                           qint64(header.strays) * qint64(sizeof(TrendDay::Stray)))
        return std::nullopt;
    TrendDay result;
    result.day = day;
    result.blockSeconds = level == Level::Fine ? TrendDay::kFineSeconds : TrendDay::kCoarseSeconds;
    result.blocks.resize(size_t(TrendDay::kSeries) * size_t(result.blocksPerSeries()));
    const qint64 bytes = level == Level::Fine ? kFineBytes : kCoarseBytes;
    if (level == Level::Fine && !file.seek(qint64(sizeof header) + kCoarseBytes))
        return std::nullopt;
    if (!readExactly(file, result.blocks.data(), bytes))
        return std::nullopt;
    result.strays.resize(size_t(header.strays));
    if (!file.seek(qint64(sizeof header) + kCoarseBytes + kFineBytes) ||
        !readExactly(file, result.strays.data(),
                     qint64(header.strays) * qint64(sizeof(TrendDay::Stray))))
        return std::nullopt;
    return result;
}

void TrendCache::store(const TrendDay& fine, const TrendDay& coarse, qint64 size,
                       qint64 mtime) const {
    const QString path = cachePath(fine.day);
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return;
    Header header{};
    std::memcpy(header.magic, kMagic, sizeof kMagic);
    header.sourceSize = size;
    header.sourceTime = mtime;
    header.strays = qint32(fine.strays.size());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.write(reinterpret_cast<const char*>(&header), sizeof header);
    file.write(reinterpret_cast<const char*>(coarse.blocks.data()), kCoarseBytes);
    file.write(reinterpret_cast<const char*>(fine.blocks.data()), kFineBytes);
    file.write(reinterpret_cast<const char*>(fine.strays.data()),
               qint64(fine.strays.size() * sizeof(TrendDay::Stray)));
    file.commit();
}

std::optional<TrendDay> TrendCache::cached(QDate day, Level level) const {
    const QFileInfo info(dataPath(day));
    if (!info.isFile())
        return std::nullopt;
    return load(day, level, info.size(), info.lastModified().toMSecsSinceEpoch());
}

std::optional<TrendDay> TrendCache::day(QDate day, Level level, const std::atomic<bool>* cancel,
                                        bool* rebuilt, Scratch* scratch) const {
    if (rebuilt)
        *rebuilt = false;
    QFile source(dataPath(day));
    const QFileInfo info(source);
    if (!info.isFile())
        return std::nullopt;
    const qint64 size = info.size();
    const qint64 mtime = info.lastModified().toMSecsSinceEpoch();
    if (auto cached = load(day, level, size, mtime))
        return cached;
    if (!source.open(QIODevice::ReadOnly))
        return std::nullopt;
    if (rebuilt)
        *rebuilt = true;
    // Only the bytes that were there when the size was taken: a row appended meanwhile
    // changes the size, so the next look reads the file again. Read, not mapped: the recorder
    // cuts a torn row back off, and a mapping past a file's new end would fault.
    Scratch own;
    Scratch& room = scratch ? *scratch : own;
    // Grown by half again, so a day file growing through the day is not moved every time.
    if (room.bytes.capacity() < size_t(size))
        room.bytes.reserve(size_t(size) + size_t(size) / 2);
    room.bytes.resize(size_t(size));
    qint64 got = 0;
    while (got < size) {
        const qint64 n = source.read(room.bytes.data() + got, size - got);
        if (n <= 0)
            break;
        got += n;
    }
    // A fresh 5.5 MB a day would cost its page faults every time.
    std::vector<float>& seconds = room.seconds;
    seconds.assign(size_t(TrendDay::kSeries) * TrendDay::kDaySeconds,
                   std::numeric_limits<float>::quiet_NaN());
    TrendDay fine;
    fine.day = day;
    if (!TrendDay::placeRows(room.bytes.data(), got, TrendDay::dayStart(day), TrendDay::kDaySeconds,
                             seconds, &fine.strays, cancel))
        return std::nullopt;
    fine.blockSeconds = TrendDay::kFineSeconds;
    fine.blocks = TrendDay::summarise(seconds, TrendDay::kFineSeconds);
    TrendDay coarse;
    coarse.day = day;
    coarse.blockSeconds = TrendDay::kCoarseSeconds;
    coarse.blocks = TrendDay::merge(fine.blocks, TrendDay::kFineSeconds,
                                    TrendDay::kCoarseSeconds / TrendDay::kFineSeconds);
    coarse.strays = fine.strays;
    // A file cut back while it was read is summarised as far as it went, but not kept.
    if (got == size)
        store(fine, coarse, size, mtime);
    return level == Level::Fine ? std::move(fine) : std::move(coarse);
}
