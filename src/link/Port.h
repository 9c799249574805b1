#pragma once

#include <QByteArray>
#include <functional>

// The one serial line as the polling cycle and the dialogs see it. Production code uses
// SerialPort (QSerialPort); tests use an in-memory fake or a pseudo-terminal.
class Port {
  public:
    virtual ~Port() = default;
    virtual bool isOpen() const = 0;
    // Blocks until written or the write time-out (2 s + 50 ms per byte) ends; -1 on failure.
    virtual qint64 write(const QByteArray& bytes) = 0;
    // Returns at once with what has arrived, at most maxBytes, possibly nothing.
    virtual QByteArray read(qint64 maxBytes) = 0;
};

// A fixed pause between writing a request and reading the answer. The program blocks the
// GUI thread for it; tests record the requested pauses and return at once.
using PauseFn = std::function<void(int ms)>;
