#include "SerialPort.h"

#include "SerialPorts.h"

#include <windows.h>

struct SerialPort::Device {
    HANDLE handle = INVALID_HANDLE_VALUE;
    bool gone = false;
};

namespace {

// The errors with which the communications calls fail once the device has gone away (an
// adapter pulled, a driver stopped); any other failure leaves the line to be tried again.
bool deviceGone(DWORD error) {
    switch (error) {
    case ERROR_BAD_COMMAND:
    case ERROR_DEVICE_REMOVED:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_ACCESS_DENIED:
    case ERROR_INVALID_HANDLE:
    case ERROR_GEN_FAILURE:
    case ERROR_IO_DEVICE:
    case ERROR_NOT_READY:
    case ERROR_FILE_NOT_FOUND:
    case ERROR_BROKEN_PIPE:
        return true;
    default:
        return false;
    }
}

// A line error (framing, overrun) makes a driver with abort-on-error refuse every read and
// write until the error is cleared; that is a live line, so only a failed clear counts.
bool failedForGood(HANDLE handle, DWORD error) {
    if (error == ERROR_OPERATION_ABORTED) {
        DWORD errors = 0;
        if (ClearCommError(handle, &errors, nullptr))
            return false;
        error = GetLastError();
    }
    return deviceGone(error) || error == ERROR_OPERATION_ABORTED;
}

} // namespace

SerialPort::SerialPort() = default;

SerialPort::~SerialPort() {
    close();
}

bool SerialPort::open(const QString& name, int baudIndex) {
    close();
    m_name = name;
    // COM10 and above open only in the device namespace; COM1..COM9 open there as well.
    const QString device =
        name.startsWith(QLatin1String("\\\\")) || name.isEmpty() ? name : "\\\\.\\" + name;
    const QByteArray path = device.toLocal8Bit();
    const HANDLE handle = CreateFileA(path.constData(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    m_port = std::make_unique<Device>();
    m_port->handle = handle;
    // A failure from here on leaves the port open but unconfigured, as the caller expects.
    DCB line{};
    line.DCBlength = sizeof(line);
    if (!GetCommState(handle, &line))
        return false;
    if (const int rate = baudRate(baudIndex); rate != 0)
        line.BaudRate = DWORD(rate);
    line.ByteSize = 8;
    line.Parity = NOPARITY;
    line.StopBits = ONESTOPBIT;
    if (!SetCommState(handle, &line))
        return false;
    // Reads return at once with what has arrived; a write may take 2 s plus 50 ms a byte.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    timeouts.WriteTotalTimeoutMultiplier = 50;
    timeouts.WriteTotalTimeoutConstant = 2000;
    SetCommTimeouts(handle, &timeouts);
    return true;
}

void SerialPort::close() {
    if (m_port && m_port->handle != INVALID_HANDLE_VALUE)
        CloseHandle(m_port->handle);
    m_port.reset();
}

bool SerialPort::lost() const {
    if (!isOpen())
        return false;
    if (m_port->gone)
        return true;
    DWORD errors = 0;
    if (!ClearCommError(m_port->handle, &errors, nullptr) && deviceGone(GetLastError()))
        m_port->gone = true;
    return m_port->gone;
}

QString SerialPort::name() const {
    return m_name;
}

bool SerialPort::isOpen() const {
    return m_port && m_port->handle != INVALID_HANDLE_VALUE;
}

qint64 SerialPort::write(const QByteArray& bytes) {
    if (!isOpen())
        return -1;
    DWORD written = 0;
    if (!WriteFile(m_port->handle, bytes.constData(), DWORD(bytes.size()), &written, nullptr)) {
        if (failedForGood(m_port->handle, GetLastError()))
            m_port->gone = true;
        return -1;
    }
    // A timed-out write returns what went out; the rest is dropped, not sent later.
    return qint64(written);
}

QByteArray SerialPort::read(qint64 maxBytes) {
    if (!isOpen() || maxBytes <= 0)
        return {};
    QByteArray bytes(qsizetype(std::min<qint64>(maxBytes, 1 << 16)), Qt::Uninitialized);
    DWORD got = 0;
    if (!ReadFile(m_port->handle, bytes.data(), DWORD(bytes.size()), &got, nullptr)) {
        if (failedForGood(m_port->handle, GetLastError()))
            m_port->gone = true;
        return {};
    }
    bytes.truncate(qsizetype(got));
    return bytes;
}

QStringList ListSerialPorts() {
    QStringList names;
    HKEY key = nullptr;
    // Opened for reading only: a computer without serial ports has no such key, and none is made.
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return names;
    for (DWORD index = 0;; ++index) {
        wchar_t valueName[256];
        DWORD nameLength = DWORD(std::size(valueName));
        wchar_t data[256];
        DWORD dataSize = sizeof(data);
        DWORD type = 0;
        const LONG result = RegEnumValueW(key, index, valueName, &nameLength, nullptr, &type,
                                          reinterpret_cast<BYTE*>(data), &dataSize);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        if (result != ERROR_SUCCESS || type != REG_SZ)
            continue;
        // The data is the port's name, such as COM1; it need not end in a terminating zero.
        QString port = QString::fromWCharArray(data, int(dataSize / sizeof(wchar_t)));
        while (port.endsWith(QChar(0)))
            port.chop(1);
        names << port;
    }
    RegCloseKey(key);
    return names;
}

QString PlatformPortName(const QString& name) {
    return name;
}
