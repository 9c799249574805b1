#include "AcquisitionLink.h"

#include "Acquisition.h"

AcquisitionLink::AcquisitionLink(Acquisition& acquisition)
    : m_acquisition(acquisition), m_port(acquisition) {}

QStringList AcquisitionLink::list() {
    return m_acquisition.call<QStringList>([](Acquisition& a) { return a.link().list(); });
}

bool AcquisitionLink::open(const QString& name, int baudIndex) {
    return m_acquisition.call<bool>([name, baudIndex](Acquisition& a) {
        a.setPort(name, baudIndex);
        return a.link().open(name, baudIndex);
    });
}

void AcquisitionLink::close() {
    m_acquisition.call<bool>([](Acquisition& a) {
        a.link().close();
        return true;
    });
}

Port* AcquisitionLink::port() {
    const bool open =
        m_acquisition.call<bool>([](Acquisition& a) { return a.link().port() != nullptr; });
    return open ? &m_port : nullptr;
}

bool AcquisitionLink::lost() {
    return m_acquisition.call<bool>([](Acquisition& a) { return a.link().lost(); });
}

bool AcquisitionLink::RemotePort::isOpen() const {
    return m_acquisition.call<bool>([](Acquisition& a) {
        Port* port = a.link().port();
        return port && port->isOpen();
    });
}

qint64 AcquisitionLink::RemotePort::write(const QByteArray& bytes) {
    return m_acquisition.call<qint64>([&bytes](Acquisition& a) -> qint64 {
        Port* port = a.link().port();
        if (!port)
            return -1;
        const qint64 written = port->write(bytes);
        if (written == bytes.size())
            a.noteWrite(bytes);
        return written;
    });
}

QByteArray AcquisitionLink::RemotePort::read(qint64 maxBytes) {
    return m_acquisition.call<QByteArray>([maxBytes](Acquisition& a) {
        Port* port = a.link().port();
        return port ? port->read(maxBytes) : QByteArray();
    });
}
