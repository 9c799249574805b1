#include "TrendDay.h"

#include "HistoryFields.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace {

constexpr float kNoValue = std::numeric_limits<float>::quiet_NaN();

// A value beyond the float range would end a history query; here it is only a value that
// did not read, so one damaged field never stops a trend.
bool readValue(std::string_view text, float& value) {
    return HistoryFields::parseValue(text, value) == HistoryFields::Value::Read;
}

// The row as the recorder writes it: a hexadecimal data number, the time, then sixteen plain
// decimals, each followed by a comma. Reads the data number and the values in one pass and
// gives up (false) on anything else, which then takes the general way; where it succeeds it
// reads exactly what that way reads.
bool fastRow(const char* p, const char* end, uint32_t& key, float* values) {
    static constexpr double kInverse[] = {1e0, 1e-1, 1e-2, 1e-3, 1e-4, 1e-5, 1e-6, 1e-7};
    uint64_t k = 0;
    const char* start = p;
    for (; p < end && *p != ','; ++p) {
        const char c = *p;
        const unsigned digit = c >= '0' && c <= '9'   ? unsigned(c - '0')
                               : c >= 'A' && c <= 'F' ? unsigned(c - 'A' + 10)
                               : c >= 'a' && c <= 'f' ? unsigned(c - 'a' + 10)
                                                      : 16u;
        if (digit > 15 || p - start >= 8)
            return false;
        k = k * 16 + digit;
    }
    if (p == start || p == end)
        return false;
    key = uint32_t(k);
    ++p;
    const char* time = p;
    while (p < end && *p != ',' && *p != '"' && *p != '\'')
        ++p;
    if (p == time || p == end || *p != ',')
        return false;
    ++p;
    // Every scan below stops at the line's end: the caller hands in lines that end before a
    // line break or, the last one, with a comma.
    for (int i = 0; i < TrendDay::kSeries; ++i) {
        if (p >= end)
            return false;
        const bool negative = *p == '-';
        p += negative;
        const char* digits = p;
        uint64_t mantissa = 0;
        while (unsigned(*p - '0') < 10u)
            mantissa = mantissa * 10 + unsigned(*p++ - '0');
        const long whole = p - digits;
        long fraction = 0;
        if (*p == '.') {
            const char* f = ++p;
            while (unsigned(*p - '0') < 10u)
                mantissa = mantissa * 10 + unsigned(*p++ - '0');
            fraction = p - f;
            if (whole + fraction == 0)
                return false;
        } else if (whole == 0) {
            return false;
        }
        // A mantissa below 2^24 over at most 10^7 lies at least 2^-48 (relative) away from any
        // point halfway between two floats, and the double product is within 2^-52 of it, so
        // it rounds to the float a full parse gives, without a division.
        if (*p != ',' || whole + fraction > 18 || fraction > 7 || mantissa >= (1u << 24))
            return false;
        const float v = float(double(mantissa) * kInverse[fraction]);
        values[i] = negative ? -v : v;
        ++p;
    }
    return true;
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
        const char* line = p;
        p = next;
        // Pressure and temperature of each instrument side by side, as the row holds them.
        float row[kSeries];
        uint32_t fastKey = 0;
        if (fastRow(line, lineEnd, fastKey, row)) {
            const qint64 at = qint64(fastKey) - from;
            if (at >= 0 && at < count) {
                for (int i = 0; i < kSeries / 2; ++i) {
                    seconds[size_t(i) * size_t(count) + size_t(at)] = row[2 * i];
                    seconds[size_t(i + kSeries / 2) * size_t(count) + size_t(at)] = row[2 * i + 1];
                }
                continue;
            }
        }
        fields.split(std::string_view(line, size_t(lineEnd - line)));
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
            const float* v = values + size_t(b) * size_t(blockSeconds);
            int first = 0;
            while (first < blockSeconds && std::isnan(v[first]))
                ++first;
            if (first == blockSeconds)
                continue;
            int last = blockSeconds - 1;
            while (std::isnan(v[last]))
                --last;
            // Comparisons with NaN are false, so the seconds without a value drop out.
            float lo = v[first], hi = v[first];
            int count = 0;
            for (int i = first; i <= last; ++i) {
                const float y = v[i];
                lo = y < lo ? y : lo;
                hi = y > hi ? y : hi;
                count += y == y;
            }
            TrendBlock& out = blocks[size_t(s) * size_t(perSeries) + size_t(b)];
            out = {lo, hi, v[first], v[last], uint16_t(first), uint16_t(last), uint16_t(count), 0};
        }
    }
    return blocks;
}

std::vector<TrendBlock> TrendDay::merge(const std::vector<TrendBlock>& blocks, int blockSeconds,
                                        int factor) {
    const int perSeries = kDaySeconds / blockSeconds;
    const int outPer = perSeries / factor;
    std::vector<TrendBlock> out(size_t(kSeries) * size_t(outPer));
    for (int s = 0; s < kSeries; ++s)
        for (int b = 0; b < outPer; ++b) {
            TrendBlock& m = out[size_t(s) * size_t(outPer) + size_t(b)];
            for (int k = 0; k < factor; ++k) {
                const TrendBlock& in =
                    blocks[size_t(s) * size_t(perSeries) + size_t(b * factor + k)];
                if (in.count == 0)
                    continue;
                const auto offset = uint16_t(k * blockSeconds);
                if (m.count == 0) {
                    m = in;
                    m.firstOffset = uint16_t(in.firstOffset + offset);
                } else {
                    m.min = std::min(m.min, in.min);
                    m.max = std::max(m.max, in.max);
                    m.count = uint16_t(m.count + in.count);
                }
                m.last = in.last;
                m.lastOffset = uint16_t(in.lastOffset + offset);
            }
        }
    return out;
}
