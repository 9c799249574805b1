#include "SerialPorts.h"

#include "Ini.h"

namespace {
constexpr int kRates[] = {1200, 2400, 4800, 9600, 19200};
}

int SerialPort::baudRate(int baudIndex) {
    if (baudIndex < 0 || baudIndex >= int(std::size(kRates)))
        return 0;
    return kRates[baudIndex];
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
