#include "SerialLink.h"

#include "SerialPorts.h"

QStringList SerialLink::list() {
    return ListSerialPorts();
}

bool SerialLink::open(const QString& name, int baudIndex) {
    return OpenPort(m_port, name, baudIndex, m_configPath);
}
