#pragma once

#include <array>
#include <charconv>
#include <cstdint>
#include <optional>
#include <string_view>

// Splitting and reading of one line of a daily data file. Works on views into the
// caller's buffer so that a day of rows costs no heap allocation.
class HistoryFields {
  public:
    // Field 0 (data number) and fields 2..17 (pressure and temperature of 1..8) are
    // all a query reads; later fields are not kept.
    static constexpr int kKept = 18;

    enum class Value { Read, Unreadable, Overflow };

    // Commas split, blanks stay, empty pieces give no field, and a double quote or an
    // apostrophe shields commas up to the next same character (quotes stay in the field).
    void split(std::string_view line);
    // Marks the last field as cut off when the line was longer than the reader's buffer.
    void dropFieldEndingAt(const char* end);

    int count() const { return m_count; }
    std::string_view at(int index) const {
        return index >= 0 && index < m_count ? m_fields[index] : std::string_view();
    }

    // One or more hexadecimal digits fitting 32 unsigned bits, nothing else.
    static std::optional<uint32_t> parseKey(std::string_view text) {
        uint32_t key = 0;
        const char* end = text.data() + text.size();
        // Unsigned from_chars takes neither sign, prefix nor blanks: a full match is the rule.
        auto [ptr, ec] = std::from_chars(text.data(), end, key, 16);
        if (text.empty() || ec != std::errc() || ptr != end)
            return std::nullopt;
        return key;
    }

    // Decimal with optional sign, '.', optional exponent and blanks around; no inf/nan.
    static Value parseValue(std::string_view text, float& value) {
        const bool negative = !text.empty() && text.front() == '-';
        if (fastDecimal(negative ? text.substr(1) : text, value)) {
            if (negative)
                value = -value;
            return Value::Read;
        }
        return parseValueSlow(text, value);
    }

  private:
    // Short plain decimals as the recorder writes them ("12.345"). A mantissa below 2^24
    // and a divisor up to 1e10 are both exact floats, so the one division rounds exactly
    // as from_chars does; anything else takes the general way.
    static bool fastDecimal(std::string_view text, float& value) {
        static constexpr float kPow10[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f,
                                           1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
        uint32_t mantissa = 0;
        int fraction = -1;
        bool digit = false;
        for (const char c : text) {
            if (c >= '0' && c <= '9') {
                mantissa = mantissa * 10 + uint32_t(c - '0');
                if (mantissa >= (1u << 24))
                    return false;
                digit = true;
                if (fraction >= 0 && ++fraction > 10)
                    return false;
            } else if (c == '.' && fraction < 0) {
                fraction = 0;
            } else {
                return false;
            }
        }
        if (!digit)
            return false;
        value = fraction > 0 ? float(mantissa) / kPow10[fraction] : float(mantissa);
        return true;
    }
    static Value parseValueSlow(std::string_view text, float& value);
    bool splitUnquoted(std::string_view line);
    bool addField(const char* start, const char* comma); // true when all kept fields are found
    std::array<std::string_view, kKept> m_fields{};
    int m_count = 0;
};
