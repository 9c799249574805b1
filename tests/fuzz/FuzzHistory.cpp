#include "FuzzEntries.h"
#include "HistoryFields.h"
#include "HistoryQuery.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTime>
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <optional>
#include <string_view>
#include <vector>

// Input layout: byte 0 picks the span (low three bits, 0 and 7 are out of range) and the day
// (the rest), byte 1 the ticked instruments, then the time text (UTF-8) up to the first line
// feed, then the data file's bytes.

namespace {

const QDate kDays[] = {QDate(2024, 3, 5), QDate(1970, 1, 1), QDate(1969, 12, 31), QDate(2106, 2, 7),
                       QDate(9999, 12, 31)};

const QString& filePath() {
    static QTemporaryDir dir;
    static const QString path = dir.path() + QStringLiteral("/05.csv");
    return path;
}

void checkStart(QDate day, const QString& timeText) {
    const std::optional<long long> start = HistoryQuery::startSeconds(day, timeText);
    if (!start)
        return;
    // Only "hh:mm" on the day's clock, the first hour position possibly blank.
    QString padded = timeText;
    if (!padded.isEmpty() && padded[0] == u' ')
        padded[0] = u'0';
    const QTime time = QTime::fromString(padded, QStringLiteral("hh:mm"));
    FUZZ_CHECK(time.isValid());
    FUZZ_CHECK(*start ==
               QDate(1970, 1, 1).daysTo(day) * 86400 + time.msecsSinceStartOfDay() / 1000);
}

// The splitting rule, one byte at a time, against the reader's vectorised split.
std::vector<std::string_view> referenceSplit(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t p = 0;
    while (p < line.size() && fields.size() < size_t(HistoryFields::kKept)) {
        const size_t start = p;
        while (p < line.size() && line[p] != ',') {
            if (line[p] == '"' || line[p] == '\'') {
                const size_t close = line.find(line[p], p + 1);
                p = close == std::string_view::npos ? line.size() : close + 1;
            } else {
                ++p;
            }
        }
        if (p != start)
            fields.push_back(line.substr(start, p - start));
        ++p;
    }
    return fields;
}

bool hexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

void checkKey(std::string_view text) {
    uint64_t value = 0;
    bool fits = !text.empty();
    for (char c : text) {
        if (!hexDigit(c) || value > 0xFFFFFFFFu) {
            fits = false;
            break;
        }
        value = value * 16 + uint64_t(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
    }
    fits = fits && value <= 0xFFFFFFFFu;
    const std::optional<uint32_t> key = HistoryFields::parseKey(text);
    FUZZ_CHECK(key.has_value() == fits);
    FUZZ_CHECK(!key || *key == value);
}

// Plain decimals take a shortcut; it must round as the general conversion does.
void checkValue(std::string_view text) {
    float value = 0;
    const HistoryFields::Value kind = HistoryFields::parseValue(text, value);
    if (kind == HistoryFields::Value::Read)
        FUZZ_CHECK(std::isfinite(value));
    size_t i = !text.empty() && text[0] == '-';
    size_t digits = 0, points = 0;
    for (; i < text.size(); ++i) {
        if (text[i] >= '0' && text[i] <= '9')
            ++digits;
        else if (text[i] == '.' && points++ == 0)
            continue;
        else
            return;
    }
    if (digits == 0 || text.size() > 60)
        return;
    float expected = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), expected);
    if (error != std::errc() || end != text.data() + text.size())
        return; // beyond the float range
    FUZZ_CHECK(kind == HistoryFields::Value::Read);
    FUZZ_CHECK(value == expected);
}

void checkLine(std::string_view line) {
    HistoryFields fields;
    fields.split(line);
    const std::vector<std::string_view> expected = referenceSplit(line);
    FUZZ_CHECK(fields.count() == int(expected.size()));
    for (int i = 0; i < fields.count(); ++i) {
        FUZZ_CHECK(fields.at(i).data() == expected[size_t(i)].data());
        FUZZ_CHECK(fields.at(i).size() == expected[size_t(i)].size());
        checkValue(fields.at(i));
    }
    checkKey(fields.at(0));
}

} // namespace

int presmon::fuzz::History(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    const QByteArray input =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype lineEnd = input.indexOf('\n', 2);
    const QString timeText =
        QString::fromUtf8(input.sliced(2, (lineEnd < 0 ? input.size() : lineEnd) - 2));
    const QByteArray contents = lineEnd < 0 ? QByteArray() : input.sliced(lineEnd + 1);

    HistoryQuery::Input query;
    query.span = data[0] & 7;
    query.day = kDays[(data[0] >> 3) % std::size(kDays)];
    for (int i = 0; i < HistoryQuery::kInstruments; ++i)
        query.ticked[i] = (data[1] >> i) & 1;
    query.timeText = timeText;
    query.filePath = filePath();
    checkStart(query.day, timeText);
    {
        QFile file(query.filePath);
        FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        FUZZ_CHECK(file.write(contents) == contents.size());
    }

    int lines = 0;
    for (qsizetype from = 0; from <= contents.size() && lines < 64; ++lines) {
        qsizetype end = contents.indexOf('\n', from);
        if (end < 0)
            end = contents.size();
        checkLine(std::string_view(contents.constData() + from, size_t(end - from)));
        from = end + 1;
    }

    QList<std::pair<int, int>> reports;
    const HistoryQuery::Result result = HistoryQuery::run(query, [&](int position, int maximum) {
        reports.append({position, maximum});
    });

    using Outcome = HistoryQuery::Outcome;
    const std::optional<long long> start = HistoryQuery::startSeconds(query.day, timeText);
    FUZZ_CHECK((result.outcome == Outcome::BadTime) == !start);
    if (!result.seriesRebuilt()) {
        for (const auto& points : result.points)
            FUZZ_CHECK(points.empty());
        FUZZ_CHECK(reports.isEmpty());
        return 0;
    }
    FUZZ_CHECK(result.outcome == Outcome::Ok ||
               result.message.startsWith(QStringLiteral("浮点数溢出")));

    // One point per second of the window for every ticked instrument, none for the others.
    const long long dayEnd = QDate(1970, 1, 1).daysTo(query.day) * 86400 + 86399;
    const long long windowEnd =
        query.span == 6 ? dayEnd
                        : *start + std::array{600, 1800, 3600, 7200, 10800}[query.span - 1];
    for (int series = 0; series < HistoryQuery::kSeries; ++series) {
        const bool ticked = query.ticked[series % HistoryQuery::kInstruments];
        const auto& points = result.points[series];
        FUZZ_CHECK(points.size() == (ticked ? size_t(windowEnd - *start + 1) : 0));
        for (float value : points)
            FUZZ_CHECK(!std::isnan(value));
    }
    FUZZ_CHECK(result.leftMaximum >= query.leftMaximum);
    FUZZ_CHECK(result.rightMaximum >= query.rightMaximum);
    FUZZ_CHECK(result.rowsInWindow <= result.linesRead);
    FUZZ_CHECK(result.linesRead <= contents.count('\n') + 1);

    // Progress in 128-byte steps of this file, never backwards, complete when all was read.
    const int maximum = int(contents.size() / 128);
    FUZZ_CHECK(!reports.isEmpty());
    int last = 0;
    for (const auto& [position, reportedMaximum] : reports) {
        FUZZ_CHECK(reportedMaximum == maximum);
        FUZZ_CHECK(position >= last && position <= maximum);
        last = position;
    }
    if (result.outcome == Outcome::Ok)
        FUZZ_CHECK(last == maximum);
    return 0;
}
