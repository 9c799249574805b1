#pragma once

#include "MainEnvironment.h"
#include "SerialPort.h"

// The production serial line: the platform's serial port and port list, the choice stored in
// config.ini on every successful open.
class SerialLink : public LinkService {
  public:
    explicit SerialLink(QString configPath) : m_configPath(std::move(configPath)) {}

    QStringList list() override;
    bool open(const QString& name, int baudIndex) override;
    void close() override { m_port.close(); }
    Port* port() override { return m_port.isOpen() && !m_port.lost() ? &m_port : nullptr; }
    bool lost() override { return m_port.lost(); }

  private:
    QString m_configPath;
    SerialPort m_port;
};
