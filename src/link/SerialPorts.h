#pragma once

#include "SerialPort.h"

#include <QString>
#include <QStringList>

// The serial ports of the computer in enumeration order, as names that OpenPort accepts.
QStringList ListSerialPorts();

// Closes the port, opens the name afresh with the baud index and, on success only, stores both
// in comSet/comid and comSet/baudrate of the configuration file. Shows no message.
bool OpenPort(SerialPort& port, const QString& name, int baudIndex, const QString& configPath);
