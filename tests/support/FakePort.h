#pragma once

#include "Port.h"

#include <QList>

// Records every write and hands out scripted replies, one queued chunk per read.
class FakePort : public Port {
  public:
    bool open = true;
    QList<QByteArray> writes;
    QList<QByteArray> pendingReads; // each read() takes the front chunk (cut to maxBytes)
    QList<qint64> readSizes;        // the maxBytes of every read() call

    bool isOpen() const override { return open; }
    qint64 write(const QByteArray& bytes) override {
        writes << bytes;
        return bytes.size();
    }
    QByteArray read(qint64 maxBytes) override {
        readSizes << maxBytes;
        if (pendingReads.isEmpty())
            return {};
        QByteArray chunk = pendingReads.takeFirst();
        if (chunk.size() > maxBytes) {
            pendingReads.prepend(chunk.mid(maxBytes));
            chunk.truncate(maxBytes);
        }
        return chunk;
    }
};

// Records requested pauses instead of sleeping.
struct PauseRecorder {
    QList<int> pauses;
    PauseFn fn() {
        return [this](int ms) { pauses << ms; };
    }
};
