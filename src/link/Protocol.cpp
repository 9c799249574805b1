#include "Protocol.h"

#include <charconv>
#include <string>

namespace {

char blockCheck(QByteArrayView bytes) {
    char x = 0;
    for (char c : bytes)
        x ^= c;
    return x;
}

// Control bytes in a field would make an unreadable message; show them as \xNN instead.
std::string printable(QByteArrayView field) {
    std::string text;
    for (char c : field) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u < 0x7f) {
            text += c;
        } else {
            static const char hex[] = "0123456789ABCDEF";
            text += "\\x";
            text += hex[u >> 4];
            text += hex[u & 0xf];
        }
    }
    return text;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

QByteArrayView trimmed(QByteArrayView field) {
    while (!field.isEmpty() && isBlank(field.front()))
        field = field.sliced(1);
    while (!field.isEmpty() && isBlank(field.back()))
        field.chop(1);
    return field;
}

int32_t parseInteger(QByteArrayView field) {
    const QByteArrayView text = trimmed(field);
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    const qsizetype digitsStart = i;
    int64_t value = 0;
    for (; i < text.size() && isDigit(text[i]); ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > int64_t(INT32_MAX) + 1)
            break;
    }
    const int64_t limit = negative ? int64_t(INT32_MAX) + 1 : int64_t(INT32_MAX);
    if (i == digitsStart || i != text.size() || value > limit)
        throw ConversionError("'" + printable(field) + "' is not a valid integer value");
    return static_cast<int32_t>(negative ? -value : value);
}

float parseFloat(QByteArrayView field) {
    const QByteArrayView text = trimmed(field);
    qsizetype i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    qsizetype digits = 0;
    for (; i < text.size() && isDigit(text[i]); ++i)
        ++digits;
    if (i < text.size() && text[i] == '.') {
        for (++i; i < text.size() && isDigit(text[i]); ++i)
            ++digits;
    }
    if (digits == 0 || i != text.size())
        throw ConversionError("'" + printable(field) + "' is not a valid floating point value");
    // from_chars refuses a leading '+', which the value field may carry.
    const char* begin = text.data();
    const char* end = text.data() + text.size();
    if (*begin == '+')
        ++begin;
    float value = 0;
    std::from_chars(begin, end, value);
    return value;
}

void requireReplySize(QByteArrayView window) {
    if (window.size() < kReplySize)
        throw ConversionError("'" + printable(window) + "' is not a valid integer value");
}

} // namespace

QByteArray BuildPollRequest(int address, char command) {
    QByteArray frame;
    frame.reserve(kPollRequestSize);
    frame += kEot;
    frame += '0';
    frame += static_cast<char>('0' + address);
    frame += 'P';
    frame += command;
    frame += kEnq;
    return frame;
}

QByteArray BuildParameterWrite(int address, char command, char sign, const QByteArray& magnitude,
                               char decimalCode) {
    QByteArray frame;
    frame.reserve(kParameterWriteSize);
    frame += kEot;
    frame += '0';
    frame += static_cast<char>('0' + address);
    frame += kStx;
    frame += 'P';
    frame += command;
    frame += sign;
    frame += magnitude.left(4).rightJustified(4, '0');
    frame += decimalCode;
    frame += kEtx;
    frame += blockCheck(QByteArrayView(frame).sliced(1));
    return frame;
}

bool ReplyValid(QByteArrayView window) {
    return window.size() == kReplySize && blockCheck(window.sliced(1, 11)) == window[12];
}

Reading DecodeReading(QByteArrayView window) {
    requireReplySize(window);
    Reading reading{};
    reading.address = parseInteger(window.sliced(1, 2));
    reading.command = window[4];
    reading.decimalCode = window[10];
    reading.value = parseFloat(window.sliced(5, 5));
    switch (reading.decimalCode) {
    case '1':
        reading.value /= 1000.0f;
        break;
    case '2':
        reading.value /= 100.0f;
        break;
    case '3':
        reading.value /= 10.0f;
        break;
    default:
        break;
    }
    return reading;
}

Parameter DecodeParameter(QByteArrayView window) {
    requireReplySize(window);
    return Parameter{parseInteger(window.sliced(5, 5)), window[10]};
}

QList<QByteArray> FindReplies(QByteArrayView block) {
    QList<QByteArray> replies;
    qsizetype pos = 0;
    while (pos < block.size()) {
        if (block[pos] == kStx && block.size() - pos >= kReplySize) {
            const QByteArrayView window = block.sliced(pos, kReplySize);
            if (ReplyValid(window))
                replies << window.toByteArray();
            pos += kReplySize;
        } else {
            ++pos;
        }
    }
    return replies;
}

std::optional<QByteArray> FirstReply(QByteArrayView block) {
    const qsizetype stx = block.first(qMin<qsizetype>(block.size(), 127)).indexOf(kStx);
    if (stx < 0 || block.size() - stx < kReplySize)
        return std::nullopt;
    const QByteArrayView window = block.sliced(stx, kReplySize);
    if (!ReplyValid(window))
        return std::nullopt;
    return window.toByteArray();
}

bool IsAcknowledged(QByteArrayView received) {
    return received.contains(kAck);
}

QString FormatReading(float value, char decimalCode) {
    int decimals = 0;
    switch (decimalCode) {
    case '1':
        decimals = 3;
        break;
    case '2':
        decimals = 2;
        break;
    case '3':
        decimals = 1;
        break;
    case '4':
        decimals = 0;
        break;
    default:
        return QString();
    }
    QString text = QString::number(double(value), 'f', decimals);
    // A small negative value rounds to zero; "-0.00" would only puzzle the operator.
    if (text.startsWith(u'-') && text.count(u'0') == text.size() - 1 - (decimals ? 1 : 0))
        text.remove(0, 1);
    return text;
}
