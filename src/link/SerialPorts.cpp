#include "SerialPorts.h"

#include "Ini.h"

#include <QSerialPortInfo>

QStringList ListSerialPorts() {
    QStringList names;
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : ports)
        names << info.portName();
    return names;
}

bool OpenPort(SerialPort& port, const QString& name, int baudIndex, const QString& configPath) {
    port.close();
    if (!port.open(name, baudIndex))
        return false;
    // The open counts even when the configuration cannot be written.
    IniWriteString(configPath, QStringLiteral("comSet"), QStringLiteral("comid"), name);
    IniWriteInteger(configPath, QStringLiteral("comSet"), QStringLiteral("baudrate"), baudIndex);
    return true;
}
