#include "FuzzEntries.h"
#include "Protocol.h"

#include <QList>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Where needle occurs in hay at or after from; -1 when it does not.
qsizetype find(QByteArrayView hay, QByteArrayView needle, qsizetype from) {
    const auto it = std::search(hay.begin() + from, hay.end(), needle.begin(), needle.end());
    return it == hay.end() ? -1 : it - hay.begin();
}

void checkFormat(float value, char decimalCode) {
    const QString text = FormatReading(value, decimalCode);
    const int decimals = decimalCode == '1'   ? 3
                         : decimalCode == '2' ? 2
                         : decimalCode == '3' ? 1
                         : decimalCode == '4' ? 0
                                              : -1;
    if (decimals < 0) {
        FUZZ_CHECK(text.isEmpty());
        return;
    }
    FUZZ_CHECK(!text.isEmpty());
    if (!std::isfinite(value))
        return;
    bool ok = false;
    const double shown = text.toDouble(&ok);
    FUZZ_CHECK(ok);
    // Rounded to the shown decimals, never a sign on a zero.
    const double step = std::pow(10.0, -decimals);
    FUZZ_CHECK(std::fabs(shown - double(value)) <=
               step / 2 * (1 + 1e-9) + std::fabs(value) * 1e-15);
    FUZZ_CHECK(!(text.startsWith(u'-') && shown == 0));
    const qsizetype point = text.indexOf(u'.');
    FUZZ_CHECK(decimals == 0 ? point < 0 : point >= 0 && text.size() - point - 1 == decimals);
}

void checkReading(const QByteArray& window) {
    try {
        const Reading reading = DecodeReading(window);
        // Two characters of address and five of value bound what a reply can carry; an address
        // outside 1..8 must be left for the caller to skip.
        FUZZ_CHECK(reading.address >= -9 && reading.address <= 99);
        FUZZ_CHECK(reading.command == window[4]);
        FUZZ_CHECK(reading.decimalCode == window[10]);
        FUZZ_CHECK(std::isfinite(reading.value) && std::fabs(reading.value) <= 99999.0f);
        checkFormat(reading.value, reading.decimalCode);
    } catch (const ConversionError& e) {
        FUZZ_CHECK(std::strlen(e.what()) > 0);
    }
}

} // namespace

int presmon::fuzz::Protocol(const uint8_t* data, size_t size) {
    const QByteArrayView block(reinterpret_cast<const char*>(data), qsizetype(size));

    // The polling cycle's scan: valid 13-byte windows at an STX, in buffer order, apart.
    const QList<QByteArray> replies = FindReplies(block);
    qsizetype from = 0;
    for (const QByteArray& window : replies) {
        FUZZ_CHECK(window.size() == kReplySize);
        FUZZ_CHECK(window[0] == kStx);
        FUZZ_CHECK(ReplyValid(window));
        const qsizetype at = find(block, window, from);
        FUZZ_CHECK(at >= 0);
        from = at + kReplySize;
        checkReading(window);
    }

    // The same bytes sent as back-to-back frames: every frame must be found, whatever it holds.
    QByteArray frames;
    QList<QByteArray> sent;
    for (qsizetype i = 0; i + 11 <= block.size() && sent.size() < 20; i += 11) {
        QByteArray frame(1, kStx);
        frame += block.sliced(i, 11).toByteArray();
        char check = 0;
        for (qsizetype j = 1; j < frame.size(); ++j)
            check ^= frame[j];
        frame += check;
        FUZZ_CHECK(ReplyValid(frame));
        sent << frame;
        frames += frame;
    }
    FUZZ_CHECK(FindReplies(frames) == sent);

    // The parameter read: the window at the first STX of the first 127 bytes.
    if (const std::optional<QByteArray> reply = FirstReply(block)) {
        FUZZ_CHECK(reply->size() == kReplySize);
        FUZZ_CHECK(reply->front() == kStx);
        FUZZ_CHECK(ReplyValid(*reply));
        const qsizetype at = find(block, *reply, 0);
        FUZZ_CHECK(at >= 0 && at < 127);
        FUZZ_CHECK(block.first(at).indexOf(kStx) < 0);
        try {
            const Parameter parameter = DecodeParameter(*reply);
            FUZZ_CHECK(parameter.value >= -9999 && parameter.value <= 99999);
            FUZZ_CHECK(parameter.decimalCode == (*reply)[10]);
        } catch (const ConversionError&) {
        }
    }
    if (!sent.isEmpty())
        FUZZ_CHECK(FirstReply(frames) == sent.front());

    FUZZ_CHECK(IsAcknowledged(block) ==
               (std::find(block.begin(), block.end(), kAck) != block.end()));

    // Any float and code the display could be handed.
    if (size >= 5) {
        float value;
        std::memcpy(&value, data + size - 5, sizeof value);
        checkFormat(value, char(data[size - 1]));
    }
    return 0;
}
