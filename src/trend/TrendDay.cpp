#include "TrendDay.h"

#include "HistoryFields.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace {

constexpr float kNoValue = std::numeric_limits<float>::quiet_NaN();

// A value beyond the float range would end a history query; here it is only a value that
// did not read, so one damaged field never stops a trend.
bool readValue(std::string_view text, float& value) {
    return HistoryFields::parseValue(text, value) == HistoryFields::Value::Read;
}

} // namespace

bool TrendDay::placeRows(const char* bytes, qint64 size, qint64 from, qint64 count,
                         std::vector<float>& seconds, std::vector<Stray>* strays,
                         const std::atomic<bool>* cancel) {
    HistoryFields fields;
    const char* p = bytes;
    const char* const end = bytes + size;
    long long lines = 0;
    while (p < end) {
        if (cancel && (++lines & 0x3FFF) == 0 && cancel->load(std::memory_order_relaxed))
            return false;
        const char* nl = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
        const char* lineEnd = nl ? nl : end;
        const char* next = nl ? nl + 1 : end;
        if (lineEnd > p && lineEnd[-1] == '\r')
            --lineEnd;
        // A row is whole once its last comma is written; a torn one would place cut values.
        if (!nl && (lineEnd == p || lineEnd[-1] != ','))
            break;
        fields.split(std::string_view(p, size_t(lineEnd - p)));
        p = next;
        const auto key = HistoryFields::parseKey(fields.at(0));
        if (!key)
            continue;
        const qint64 at = qint64(*key) - from;
        if (at >= 0 && at < count) {
            for (int i = 0; i < kSeries / 2; ++i) {
                float value = 0;
                if (readValue(fields.at(2 * i + 2), value))
                    seconds[size_t(i) * size_t(count) + size_t(at)] = value;
                if (readValue(fields.at(2 * i + 3), value))
                    seconds[size_t(i + kSeries / 2) * size_t(count) + size_t(at)] = value;
            }
        } else if (strays && at >= -kDaySeconds && at < count + kDaySeconds) {
            Stray stray;
            stray.second = qint64(*key);
            stray.values.fill(kNoValue);
            for (int i = 0; i < kSeries / 2; ++i) {
                readValue(fields.at(2 * i + 2), stray.values[size_t(i)]);
                readValue(fields.at(2 * i + 3), stray.values[size_t(i + kSeries / 2)]);
            }
            strays->push_back(stray);
        }
    }
    return true;
}

std::vector<TrendBlock> TrendDay::summarise(const std::vector<float>& seconds, int blockSeconds) {
    const int perSeries = kDaySeconds / blockSeconds;
    std::vector<TrendBlock> blocks(size_t(kSeries) * size_t(perSeries));
    for (int s = 0; s < kSeries; ++s) {
        const float* values = seconds.data() + size_t(s) * kDaySeconds;
        for (int b = 0; b < perSeries; ++b) {
            TrendBlock& out = blocks[size_t(s) * size_t(perSeries) + size_t(b)];
            const float* v = values + size_t(b) * size_t(blockSeconds);
            for (int i = 0; i < blockSeconds; ++i) {
                const float y = v[i];
                if (std::isnan(y))
                    continue;
                if (out.count == 0) {
                    out.min = out.max = out.first = y;
                    out.firstOffset = uint16_t(i);
                } else {
                    out.min = std::min(out.min, y);
                    out.max = std::max(out.max, y);
                }
                out.last = y;
                out.lastOffset = uint16_t(i);
                ++out.count;
            }
        }
    }
    return blocks;
}
