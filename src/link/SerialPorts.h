#pragma once

#include "SerialPort.h"

#include <QString>
#include <QStringList>

// The serial ports of the computer in enumeration order, as names that OpenPort accepts: the
// system's port list on Linux, the values of HKLM\HARDWARE\DEVICEMAP\SERIALCOMM on Windows.
QStringList ListSerialPorts();

// The name that is kept and opened for a configured or chosen port: the whole name on every
// platform. A cut one names another port or none (COM12 would open COM1, ttyUSB0 nothing).
QString PlatformPortName(const QString& name);

// Closes the port, opens the name afresh with the baud index and, on success only, stores both
// in comSet/comid and comSet/baudrate of the configuration file. Shows no message.
bool OpenPort(SerialPort& port, const QString& name, int baudIndex, const QString& configPath);
