#pragma once

#include "LinkService.h"

class Acquisition;

// The serial line as the window's port steps and dialogs see it: every call is carried out on
// the acquisition thread, which owns the port, and waits there for its result. The window
// never touches the port itself.
class AcquisitionLink : public LinkService {
  public:
    explicit AcquisitionLink(Acquisition& acquisition);

    QStringList list() override;
    // Also makes name and baudIndex the port that a lost line is retried on.
    bool open(const QString& name, int baudIndex) override;
    void close() override;
    Port* port() override;
    bool lost() override;

  private:
    class RemotePort : public Port {
      public:
        explicit RemotePort(Acquisition& acquisition) : m_acquisition(acquisition) {}
        bool isOpen() const override;
        qint64 write(const QByteArray& bytes) override;
        QByteArray read(qint64 maxBytes) override;

      private:
        Acquisition& m_acquisition;
    };

    Acquisition& m_acquisition;
    RemotePort m_port;
};
