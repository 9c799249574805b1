#pragma once

#include "Port.h"

#include <QString>
#include <QStringList>

// The serial line as the main window drives it: list, open (which also stores the choice in
// config.ini), close, and the open port for the traffic.
class LinkService {
  public:
    virtual ~LinkService() = default;
    virtual QStringList list() = 0;
    virtual bool open(const QString& name, int baudIndex) = 0;
    virtual void close() = 0;
    // The port for requests and replies; null while no port is open or the open one is lost.
    virtual Port* port() = 0;
    // The open port has failed for good (resource error, hang-up, device gone) and waits to
    // be closed; a line whose instruments merely stay silent is not lost.
    virtual bool lost() { return false; }
};
