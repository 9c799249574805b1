#include "HistoryQuery.h"

#include "HistoryFields.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>

namespace {

constexpr int kProgressUnit = 128;
constexpr qint64 kBlock = 1 << 20; // also the longest line kept whole
const long long kSpanSeconds[] = {600, 1800, 3600, 7200, 10800};

bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

} // namespace

std::optional<long long> HistoryQuery::startSeconds(QDate day, const QString& timeText) {
    if (!day.isValid() || timeText.size() != 5)
        return std::nullopt;
    const QChar h1 = timeText[0], h2 = timeText[1], m1 = timeText[3], m2 = timeText[4];
    if (!(h1 == u' ' || isDigit(h1)) || !isDigit(h2) || timeText[2] != u':' || !isDigit(m1) ||
        !isDigit(m2))
        return std::nullopt;
    const int hour = (h1 == u' ' ? 0 : h1.digitValue()) * 10 + h2.digitValue();
    const int minute = m1.digitValue() * 10 + m2.digitValue();
    if (hour > 23 || minute > 59)
        return std::nullopt;
    return QDate(1970, 1, 1).daysTo(day) * 86400 + hour * 3600 + minute * 60;
}

QString HistoryQuery::dataFilePath(const QString& baseDir, QDate day) {
    return QDir(baseDir).filePath(QStringLiteral("Data/%1/%2/%3.csv")
                                      .arg(day.toString(QStringLiteral("yyyy")),
                                           day.toString(QStringLiteral("MM")),
                                           day.toString(QStringLiteral("dd"))));
}

QString HistoryQuery::spanSuffix(int span) {
    switch (span) {
    case 1:
        return QStringLiteral(" 起,10分钟内数据");
    case 2:
        return QStringLiteral(" 起,30分钟内数据");
    case 3:
        return QStringLiteral(" 起,1小时内数据");
    case 4:
        return QStringLiteral(" 起,2小时内数据");
    case 5:
        return QStringLiteral(" 起,3小时内数据");
    case 6:
        return QStringLiteral(" 起,次日前数据");
    default:
        return QString();
    }
}

namespace {

class RowPlacer {
  public:
    RowPlacer(HistoryQuery::Result& result, const HistoryQuery::Input& input, long long start,
              long long end)
        : m_result(result), m_ticked(input.ticked), m_start(start), m_end(end) {}

    // false when a value beyond the float range ends the query
    bool place(std::string_view line) {
        ++m_result.linesRead;
        m_fields.split(line);
        return placeFields();
    }
    bool placeCut(std::string_view prefix) {
        ++m_result.linesRead;
        m_fields.split(prefix);
        m_fields.dropFieldEndingAt(prefix.data() + prefix.size());
        return placeFields();
    }

  private:
    bool placeFields() {
        const auto key = HistoryFields::parseKey(m_fields.at(0));
        if (!key || *key < m_start || *key > m_end)
            return true;
        ++m_result.rowsInWindow;
        const size_t index = size_t(*key - m_start);
        for (int i = 0; i < HistoryQuery::kInstruments; ++i) {
            if (!m_ticked[i])
                continue;
            if (!placeValue(m_fields.at(2 * i + 2), i, index, m_result.leftMaximum) ||
                !placeValue(m_fields.at(2 * i + 3), i + HistoryQuery::kInstruments, index,
                            m_result.rightMaximum))
                return false;
        }
        return true;
    }

    bool placeValue(std::string_view text, int series, size_t index, double& axisMaximum) {
        float value = 0;
        switch (HistoryFields::parseValue(text, value)) {
        case HistoryFields::Value::Unreadable:
            return true;
        case HistoryFields::Value::Overflow:
            return false;
        case HistoryFields::Value::Read:
            break;
        }
        if (value > axisMaximum)
            axisMaximum += 10;
        m_result.points[series][index] = value;
        m_result.recorded[series][index] = true;
        if (!m_titled[series]) {
            m_titled[series] = true;
            m_result.titles[series] =
                (series < HistoryQuery::kInstruments ? QStringLiteral("压力%1")
                                                     : QStringLiteral("温度%1"))
                    .arg(series % HistoryQuery::kInstruments + 1);
        }
        return true;
    }

    HistoryQuery::Result& m_result;
    const std::array<bool, HistoryQuery::kInstruments>& m_ticked;
    long long m_start;
    long long m_end;
    HistoryFields m_fields;
    std::array<bool, HistoryQuery::kSeries> m_titled{};
};

// Reports the position a 128-byte buffered reader would have reached after a line.
class ProgressTracker {
  public:
    ProgressTracker(const HistoryQuery::Progress& progress, qint64 length)
        : m_progress(progress), m_length(length),
          m_maximum(int(std::min<qint64>(length / kProgressUnit, INT_MAX))) {
        if (m_progress)
            m_progress(0, m_maximum);
    }
    void lineEndsAt(qint64 offset) {
        const qint64 fetched =
            std::min(m_length, (offset + kProgressUnit - 1) / kProgressUnit * kProgressUnit);
        const int position = int(std::min<qint64>(fetched / kProgressUnit, m_maximum));
        if (position != m_position) {
            m_position = position;
            if (m_progress)
                m_progress(m_position, m_maximum);
        }
    }

  private:
    const HistoryQuery::Progress& m_progress;
    qint64 m_length;
    int m_maximum;
    int m_position = 0;
};

QString overflowMessage() {
    return QStringLiteral("浮点数溢出: 数值超出单精度浮点数的范围");
}

QString readFailure(const QFile& file) {
    return QStringLiteral("读取数据文件 \"%1\" 时发生输入/输出错误: %2")
        .arg(QDir::toNativeSeparators(file.fileName()), file.errorString());
}

// Reads the whole file in large blocks and hands every line, without its line end, to
// the placer. A line longer than one block is cut to its first block.
QString readLines(QFile& file, RowPlacer& placer, ProgressTracker& progress) {
    auto buffer = std::make_unique<char[]>(size_t(kBlock));
    qint64 held = 0;         // bytes in the buffer
    qint64 bufferOffset = 0; // file offset of buffer[0]
    bool skipping = false;   // inside the rest of a cut line
    bool atEnd = false;
    while (!atEnd) {
        const qint64 got = file.read(buffer.get() + held, kBlock - held);
        if (got < 0)
            return readFailure(file);
        atEnd = got == 0;
        held += got;
        const char* p = buffer.get();
        const char* const end = p + held;
        while (p < end) {
            const char* nl = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
            if (!nl) {
                if (atEnd) {
                    // last line without a line end
                    if (!skipping && !placer.place(std::string_view(p, size_t(end - p))))
                        return overflowMessage();
                    progress.lineEndsAt(bufferOffset + (end - buffer.get()));
                    p = end;
                } else if (p == buffer.get() && held == kBlock) {
                    if (!skipping && !placer.placeCut(std::string_view(p, size_t(held))))
                        return overflowMessage();
                    skipping = true;
                    p = end;
                }
                break;
            }
            if (!skipping) {
                const char* lineEnd = nl > p && nl[-1] == '\r' ? nl - 1 : nl;
                if (!placer.place(std::string_view(p, size_t(lineEnd - p))))
                    return overflowMessage();
            }
            skipping = false;
            p = nl + 1;
            progress.lineEndsAt(bufferOffset + (p - buffer.get()));
        }
        const qint64 consumed = p - buffer.get();
        held -= consumed;
        std::memmove(buffer.get(), p, size_t(held));
        bufferOffset += consumed;
    }
    return QString();
}

} // namespace

HistoryQuery::Result HistoryQuery::run(const Input& input, const Progress& progress) {
    Result result;
    result.leftMaximum = input.leftMaximum;
    result.rightMaximum = input.rightMaximum;

    const auto start = startSeconds(input.day, input.timeText);
    if (!start) {
        result.outcome = Outcome::BadTime;
        result.message = QStringLiteral("错误的时间格式1");
        return result;
    }
    if (std::none_of(input.ticked.begin(), input.ticked.end(), [](bool on) { return on; })) {
        result.outcome = Outcome::NoInstrument;
        result.message = QStringLiteral("请选择仪表数据 ");
        return result;
    }
    if (!QFileInfo(input.filePath).isFile()) {
        result.outcome = Outcome::NoFile;
        result.message = QStringLiteral("数据文件不存在");
        return result;
    }

    if (input.span < 1 || input.span > 6) {
        result.outcome = Outcome::NoSpan;
        return result;
    }
    const long long end = input.span == 6 ? QDate(1970, 1, 1).daysTo(input.day) * 86400 + 86399
                                          : *start + kSpanSeconds[input.span - 1];
    result.foot = QStringLiteral("查询数据时间段:") +
                  input.day.toString(QStringLiteral("yyyy-MM-dd ")) + input.timeText +
                  spanSuffix(input.span);

    const size_t count = size_t(end - *start + 1);
    for (int i = 0; i < kSeries; ++i) {
        result.titles[i] = QStringLiteral(" ");
        if (input.ticked[i % kInstruments]) {
            result.points[i].assign(count, 0.0f);
            result.recorded[i].assign(count, false);
        }
    }

    QFile file(input.filePath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        result.outcome = Outcome::ReadFailed;
        result.message = QStringLiteral("打开数据文件 \"%1\" 时发生输入/输出错误: %2")
                             .arg(QDir::toNativeSeparators(input.filePath), file.errorString());
        return result;
    }
    ProgressTracker tracker(progress, file.size());
    RowPlacer placer(result, input, *start, end);
    const QString failure = readLines(file, placer, tracker);
    if (!failure.isEmpty()) {
        result.outcome = Outcome::ReadFailed;
        result.message = failure;
    }
    return result;
}
