#include "HistoryFields.h"

#include <charconv>
#include <cstring>
#include <limits>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

void HistoryFields::split(std::string_view line) {
    m_count = 0;
    if (splitUnquoted(line))
        return;
    m_count = 0;
    const char* p = line.data();
    const char* const end = p + line.size();
    while (p < end && m_count < kKept) {
        const char* start = p;
        while (p < end && *p != ',') {
            if (*p == '"' || *p == '\'') {
                const char* close =
                    static_cast<const char*>(std::memchr(p + 1, *p, size_t(end - p - 1)));
                p = close ? close + 1 : end;
            } else {
                ++p;
            }
        }
        if (p != start)
            m_fields[m_count++] = std::string_view(start, size_t(p - start));
        ++p;
    }
}

bool HistoryFields::addField(const char* start, const char* comma) {
    if (comma != start)
        m_fields[m_count++] = std::string_view(start, size_t(comma - start));
    return m_count == kKept;
}

// The common case: no quote before the last kept field. Sixteen bytes at a time, the
// commas and quotes found by comparison masks.
bool HistoryFields::splitUnquoted(std::string_view line) {
    const char* const base = line.data();
    const char* const end = base + line.size();
    const char* fieldStart = base;
    const char* p = base;
#ifdef __SSE2__
    const __m128i comma = _mm_set1_epi8(',');
    const __m128i quote = _mm_set1_epi8('"');
    const __m128i apostrophe = _mm_set1_epi8('\'');
    for (; end - p >= 16; p += 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        unsigned commas = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, comma)));
        const unsigned quotes = unsigned(_mm_movemask_epi8(
            _mm_or_si128(_mm_cmpeq_epi8(chunk, quote), _mm_cmpeq_epi8(chunk, apostrophe))));
        // Commas before the first quote still split as usual.
        const unsigned beforeQuote = quotes ? (quotes & -quotes) - 1 : 0xFFFFu;
        unsigned usable = commas & beforeQuote;
        while (usable) {
            const char* c = p + __builtin_ctz(usable);
            if (addField(fieldStart, c))
                return true;
            fieldStart = c + 1;
            usable &= usable - 1;
        }
        if (quotes)
            return false;
    }
#endif
    for (; p < end; ++p) {
        if (*p == '"' || *p == '\'')
            return false;
        if (*p == ',') {
            if (addField(fieldStart, p))
                return true;
            fieldStart = p + 1;
        }
    }
    addField(fieldStart, end);
    return true;
}

void HistoryFields::dropFieldEndingAt(const char* end) {
    if (m_count > 0 && m_fields[m_count - 1].data() + m_fields[m_count - 1].size() == end)
        --m_count;
}

namespace {

// Decimal order of magnitude of an unsigned decimal text that from_chars could not hold
// even as a double; only its sign matters (overflow above, underflow below).
long long magnitudeOrder(std::string_view digits) {
    long long order = 0;
    bool seenPoint = false;
    bool seenSignificant = false;
    size_t i = 0;
    for (; i < digits.size() && digits[i] != 'e' && digits[i] != 'E'; ++i) {
        const char c = digits[i];
        if (c == '.') {
            seenPoint = true;
        } else if (!seenSignificant && c == '0') {
            if (seenPoint)
                --order;
        } else if (!seenSignificant) {
            seenSignificant = true;
        } else if (!seenPoint) {
            ++order;
        }
    }
    if (i < digits.size()) {
        ++i;
        bool negative = false;
        if (i < digits.size() && (digits[i] == '+' || digits[i] == '-'))
            negative = digits[i++] == '-';
        long long exponent = 0;
        for (; i < digits.size(); ++i)
            exponent = std::min(exponent * 10 + (digits[i] - '0'), 1000000000LL);
        order += negative ? -exponent : exponent;
    }
    return order;
}

} // namespace

HistoryFields::Value HistoryFields::parseValueSlow(std::string_view text, float& value) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    // Rejects a second sign and the words inf and nan, which from_chars would take.
    if (text.empty() || !(text.front() == '.' || (text.front() >= '0' && text.front() <= '9')))
        return Value::Unreadable;
    const char* end = text.data() + text.size();
    float parsed = 0;
    auto [ptr, ec] = std::from_chars(text.data(), end, parsed, std::chars_format::general);
    if (ptr != end)
        return Value::Unreadable;
    if (ec == std::errc::result_out_of_range) {
        double wide = 0;
        auto [wptr, wec] = std::from_chars(text.data(), end, wide, std::chars_format::general);
        const bool over = wec == std::errc() ? wide > double(std::numeric_limits<float>::max())
                                             : magnitudeOrder(text) > 0;
        if (over)
            return Value::Overflow;
        parsed = wec == std::errc() ? float(wide) : 0.0f; // underflow reads as (nearly) zero
        (void)wptr;
    } else if (ec != std::errc()) {
        return Value::Unreadable;
    }
    value = negative ? -parsed : parsed;
    return Value::Read;
}
