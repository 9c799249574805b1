#pragma once

#include "Port.h"

#include <QString>
#include <memory>

// The one serial line, used without an event loop: reads return at once with what has arrived,
// writes block until done or the write time-out ends. QSerialPort on Linux (SerialPort.cpp),
// the Win32 communications calls on Windows (SerialPortWin.cpp).
class SerialPort : public Port {
  public:
    SerialPort();
    ~SerialPort() override;
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // Opens the name (ttyUSB0 or a full device path; COM1 or COM12 on Windows) with 8N1 and the
    // rate of baudIndex 0..4 (1200..19200); another index keeps the driver's rate. False when
    // the open or the line settings fail; in the second case the port stays open.
    bool open(const QString& name, int baudIndex);
    void close();
    QString name() const;

    bool isOpen() const override;
    // The open port has failed for good: a resource error (the device was removed), a hang-up,
    // or, on a system with device files, its path has gone; on Windows a call failed with a
    // device-gone error. Silence on a live line is not.
    bool lost() const;
    qint64 write(const QByteArray& bytes) override;
    QByteArray read(qint64 maxBytes) override;

    static int baudRate(int baudIndex); // 0 for an index outside 0..4

  private:
    struct Device; // the platform's open port
    std::unique_ptr<Device> m_port;
    QString m_name;
};
