#include "SerialPort.h"

#include "SerialPorts.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QSerialPort>
#include <QSerialPortInfo>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#endif

struct SerialPort::Device : QSerialPort {};

namespace {

#ifdef Q_OS_UNIX
// QSerialPort resolves a bare name below /dev and takes a path as it is; do the same here.
QByteArray systemLocation(const QString& name) {
    if (name.startsWith(u'/') || name.startsWith(u"./") || name.startsWith(u"../"))
        return name.toLocal8Bit();
    return QByteArrayLiteral("/dev/") + name.toLocal8Bit();
}

// QSerialPort applies its own rate while opening; this is the rate the driver had before.
bool driverSpeed(const QString& name, speed_t* speed) {
    const int fd = ::open(systemLocation(name).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return false;
    termios tio{};
    const bool ok = ::tcgetattr(fd, &tio) == 0;
    if (ok)
        *speed = ::cfgetospeed(&tio);
    ::close(fd);
    return ok;
}

bool restoreSpeed(int fd, speed_t speed) {
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0)
        return false;
    ::cfsetispeed(&tio, speed);
    ::cfsetospeed(&tio, speed);
    return ::tcsetattr(fd, TCSANOW, &tio) == 0;
}
#endif

} // namespace

SerialPort::SerialPort() = default;

SerialPort::~SerialPort() {
    close();
}

bool SerialPort::open(const QString& name, int baudIndex) {
    close();
    m_name = name;
    const int rate = baudRate(baudIndex);
#ifdef Q_OS_UNIX
    speed_t keptSpeed = B9600;
    const bool keepSpeed = rate == 0 && driverSpeed(name, &keptSpeed);
#endif
    m_port = std::make_unique<Device>();
    m_port->setPortName(name);
    if (!m_port->open(QIODevice::ReadWrite)) {
        m_port.reset();
        return false;
    }
    // A failure from here on leaves the port open but unconfigured, as the caller expects.
    if (rate != 0 && !m_port->setBaudRate(rate))
        return false;
#ifdef Q_OS_UNIX
    if (keepSpeed && !restoreSpeed(m_port->handle(), keptSpeed))
        return false;
#endif
    return m_port->setDataBits(QSerialPort::Data8) && m_port->setParity(QSerialPort::NoParity) &&
           m_port->setStopBits(QSerialPort::OneStop);
}

void SerialPort::close() {
    if (m_port)
        m_port->close();
    m_port.reset();
}

bool SerialPort::lost() const {
    if (!isOpen())
        return false;
    if (m_port->error() == QSerialPort::ResourceError)
        return true;
#ifdef Q_OS_UNIX
    pollfd line{m_port->handle(), POLLIN, 0};
    if (::poll(&line, 1, 0) > 0 && (line.revents & (POLLHUP | POLLERR | POLLNVAL)))
        return true;
    return !QFileInfo::exists(QFile::decodeName(systemLocation(m_name)));
#else
    // Windows reports a removed device as a resource error at the next read or write.
    return false;
#endif
}

QString SerialPort::name() const {
    return m_name;
}

bool SerialPort::isOpen() const {
    return m_port && m_port->isOpen();
}

qint64 SerialPort::write(const QByteArray& bytes) {
    if (!isOpen())
        return -1;
    const qint64 queued = m_port->write(bytes);
    if (queued < 0)
        return -1;
    const QDeadlineTimer deadline(2000 + 50 * bytes.size());
    while (m_port->bytesToWrite() > 0) {
        const qint64 remaining = deadline.remainingTime();
        if (remaining <= 0 || !m_port->waitForBytesWritten(int(remaining)))
            break;
    }
    const qint64 unsent = m_port->bytesToWrite();
    if (unsent > 0) {
        // Like a timed-out device write: what did not go out is dropped, not sent later.
        m_port->clear(QSerialPort::Output);
        return queued - unsent;
    }
    return queued;
}

QByteArray SerialPort::read(qint64 maxBytes) {
    if (!isOpen() || maxBytes <= 0)
        return {};
    // Without a running event loop nothing moves bytes from the device into QSerialPort's
    // buffer; a zero wait does so without blocking.
    for (int i = 0; i < 8 && m_port->bytesAvailable() < maxBytes; ++i) {
        if (!m_port->waitForReadyRead(0))
            break;
    }
    if (!isOpen())
        return {};
    return m_port->read(maxBytes);
}

QStringList ListSerialPorts() {
    QStringList names;
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : ports)
        names << info.portName();
    return names;
}

QString PlatformPortName(const QString& name) {
    return name;
}
