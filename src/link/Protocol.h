#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <cstdint>
#include <optional>
#include <stdexcept>

inline constexpr char kEot = 0x04;
inline constexpr char kEnq = 0x05;
inline constexpr char kStx = 0x02;
inline constexpr char kEtx = 0x03;
inline constexpr char kAck = 0x06;

inline constexpr int kPollRequestSize = 6;
inline constexpr int kParameterWriteSize = 14;
inline constexpr int kReplySize = 13;

// A reply passed the block check but a field in it is not a number.
class ConversionError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

QByteArray BuildPollRequest(int address, char command);
// magnitude: at most four digits, padded on the left with '0'; longer text keeps its first four
// so that the frame stays 14 bytes.
QByteArray BuildParameterWrite(int address, char command, char sign, const QByteArray& magnitude,
                               char decimalCode);

// True when byte 12 is the XOR of bytes 1..11; false for a window that is not 13 bytes long.
bool ReplyValid(QByteArrayView window);

struct Reading {
    int address;
    char command;
    float value;
    char decimalCode;
};
Reading DecodeReading(QByteArrayView window);

struct Parameter {
    int32_t value;
    char decimalCode;
};
Parameter DecodeParameter(QByteArrayView window);

// The valid 13-byte windows of the cycle's zero-filled receive buffer, in buffer order.
QList<QByteArray> FindReplies(QByteArrayView block);
// The reply to a parameter read: the window at the first STX, if it is complete and valid.
std::optional<QByteArray> FirstReply(QByteArrayView block);
bool IsAcknowledged(QByteArrayView received);

// "0.000", "0.00", "0.0" or "0" for the codes '1'..'4'; an empty text for any other code,
// meaning the display keeps its text.
QString FormatReading(float value, char decimalCode);
